// A channel's output branches: an undoable vector whose Insert, Set and
// Remove hold the channel's synth and output lock across the change and the
// upkeep after it, so a thread taking the same lock never sees a branch
// without its graph filters. A branch that cannot be built into the graph
// does not stay: the change is taken back and its failure returned, so the
// step that made it fails as a whole. UI thread.
#pragma once

#include "engine/mixer/COutputBranch.h"
#include "engine/mixer/IChannelVectOwner.h"
#include "model/CHeapLockGuard.h"
#include "model/CUndoVector.h"

template <>
struct CUndoPtrTraits<COutputBranch> {
    static void Destroy(COutputBranch* p) { DestroyOutputBranch(p); }
};

template <class T>
class COutputVect : public CUndoVector<T> {
public:
    explicit COutputVect(IChannelVectOwner* owner) : m_owner(owner) {}

    HRESULT Insert(const int& index, const T& branch) override
    {
        CHeapLockGuard guard(m_owner->GetSynthOutputLock());
        HRESULT hr = CUndoVector<T>::Insert(index, branch);
        if (FAILED(hr))
            return hr;
        if (FAILED(hr = AttachBranch(index))) {
            CUndoVector<T>::Remove(index);
            return hr;
        }
        m_owner->BuildOutputParams();
        m_owner->RefreshChannelParams();
        return m_owner->OnRoutingChanged();
    }
    HRESULT Set(const int& index, const T& branch) override
    {
        CHeapLockGuard guard(m_owner->GetSynthOutputLock());
        if (!this->IsValidIndex(index))
            return E_INVALIDARG;
        HRESULT hr = DetachBranch(index);
        if (FAILED(hr))
            return hr;
        const T old = (*this)[index];
        CUndoVector<T>::Set(index, branch);
        if (FAILED(hr = AttachBranch(index))) {
            // Back to the old branch, built again.
            CUndoVector<T>::Set(index, old);
            AttachBranch(index);
            return hr;
        }
        m_owner->BuildOutputParams();
        m_owner->RefreshChannelParams();
        return m_owner->OnRoutingChanged();
    }
    HRESULT Remove(const int& index) override
    {
        CHeapLockGuard guard(m_owner->GetSynthOutputLock());
        if (!this->IsValidIndex(index))
            return E_INVALIDARG;
        HRESULT hr = DetachBranch(index);
        if (FAILED(hr))
            return hr;
        CUndoVector<T>::Remove(index);
        m_owner->BuildOutputParams();
        return m_owner->OnRoutingChanged();
    }

private:
    HRESULT AttachBranch(int index)
    {
        T branch = (*this)[index];
        if (branch == nullptr)
            return E_UNEXPECTED;
        const HRESULT hr = branch->AddToGraph();
        if (FAILED(hr))
            return hr;
        m_owner->SetCurrentOutput(m_owner->GetCurrentOutput());
        return S_OK;
    }
    HRESULT DetachBranch(int index)
    {
        T branch = (*this)[index];
        if (branch == nullptr)
            return E_UNEXPECTED;
        const HRESULT hr = branch->RemoveFromGraph();
        if (FAILED(hr))
            return hr;
        m_owner->SetCurrentOutput(m_owner->GetCurrentOutput());
        return S_OK;
    }

    IChannelVectOwner* m_owner;
};
