// A channel's soft synths (the channel plays element 0): an undoable vector
// whose Insert, Set and Remove hold the channel's synth and output lock
// across the change and the upkeep after it. Attaching a synth makes its
// filter, gives it its parameter group and editor callback, registers its
// loop clips and tells the MIDI-effect chain; detaching undoes that and
// hands the filter to the document's keep-alive set before it leaves the
// graph. A synth that cannot be attached does not stay: what was done of the
// attach is undone, the change is taken back and the failure returned, so
// the step that made it fails as a whole. UI thread.
#pragma once

#include "engine/mixer/CControlParamSet.h"
#include "engine/mixer/CParamCallbackProxy.h"
#include "engine/mixer/IChannelVectOwner.h"
#include "engine/mixer/ISynthWrap.h"
#include "model/CHeapLockGuard.h"
#include "model/CUndoVector.h"
#include "platform/com/CComPtr.h"
#include "platform/media/MediaParams.h"

template <class T>
class CSynthVect : public CUndoVector<T> {
public:
    explicit CSynthVect(IChannelVectOwner* owner) : m_owner(owner) {}

    HRESULT Insert(const int& index, const T& wrap) override
    {
        CHeapLockGuard guard(m_owner->GetSynthOutputLock());
        HRESULT hr = CUndoVector<T>::Insert(index, wrap);
        if (FAILED(hr))
            return hr;
        if (FAILED(hr = AttachSynth(index))) {
            CUndoVector<T>::Remove(index);
            return hr;
        }
        return m_owner->MarkGraphDirty();
    }
    HRESULT Set(const int& index, const T& wrap) override
    {
        CHeapLockGuard guard(m_owner->GetSynthOutputLock());
        if (!this->IsValidIndex(index))
            return E_INVALIDARG;
        HRESULT hr = DetachSynth(index);
        if (FAILED(hr))
            return hr;
        const T old = (*this)[index];
        CUndoVector<T>::Set(index, wrap);
        if (FAILED(hr = AttachSynth(index))) {
            CUndoVector<T>::Set(index, old);
            AttachSynth(index);
            return hr;
        }
        return m_owner->MarkGraphDirty();
    }
    HRESULT Remove(const int& index) override
    {
        CHeapLockGuard guard(m_owner->GetSynthOutputLock());
        if (!this->IsValidIndex(index))
            return E_INVALIDARG;
        HRESULT hr = DetachSynth(index);
        if (FAILED(hr))
            return hr;
        CUndoVector<T>::Remove(index);
        return m_owner->MarkGraphDirty();
    }

private:
    HRESULT AttachSynth(int index)
    {
        T wrap = (*this)[index];
        if (wrap == nullptr)
            return E_UNEXPECTED;
        HRESULT hr;
        if (wrap->GetFilter() == nullptr && FAILED(hr = wrap->CreateFilter()))
            return hr;
        CControlParamSet* params = m_owner->GetParamSet();
        const GUID clsid = wrap->GetClsid();
        const GUID instance = wrap->GetInstanceGuid();
        if (wrap->GetPlugIn() != nullptr && params != nullptr) {
            // A synth without name lists still has its media parameters.
            ISynthNameLists* lists = wrap->GetNameLists();
            hr = lists ? params->AddControllerParams(clsid, instance, lists)
                       : params->AddPlugInParams(clsid, instance, wrap->GetPlugIn());
            if (FAILED(hr))
                return hr;
            mvcom::CComPtr<IMediaParamsSetUICallback> set;
            if (SUCCEEDED(wrap->GetPlugIn()->QueryInterface(IID_IMediaParamsSetUICallback,
                                                            reinterpret_cast<void**>(set.Put())))) {
                CParamCallbackProxy* proxy = nullptr;
                if (FAILED(hr = params->AddUICallback({clsid, instance}, &proxy)) ||
                    FAILED(hr = set->SetUICallback(proxy))) {
                    params->RemoveUICallback({clsid, instance});
                    params->RemoveParamGroup(clsid, instance);
                    return hr;
                }
            }
            if (wrap->IsLoopClipPlayer())
                m_owner->RegisterAllLoopClips();
        }
        m_owner->NotifySynthChanged(wrap->GetFilter());
        return S_OK;
    }

    HRESULT DetachSynth(int index)
    {
        T wrap = (*this)[index];
        if (wrap == nullptr)
            return E_UNEXPECTED;
        m_owner->CloseSynthPropertyPage(wrap);
        CControlParamSet* params = m_owner->GetParamSet();
        const GroupKey key{wrap->GetClsid(), wrap->GetInstanceGuid()};
        HRESULT hr;
        IBaseFilter* filter = wrap->GetFilter();
        mvcom::CComPtr<IMediaParamsSetUICallback> set;
        if (filter && SUCCEEDED(filter->QueryInterface(IID_IMediaParamsSetUICallback,
                                                       reinterpret_cast<void**>(set.Put())))) {
            if (FAILED(hr = set->SetUICallback(nullptr)))
                return hr;
            if (params && FAILED(hr = params->RemoveUICallback(key)))
                return hr;
        }
        if (params)
            params->RemoveParamGroup(key.classId, key.instanceId);
        if (filter)
            m_owner->KeepObjectAlive(filter);
        m_owner->NotifySynthChanged(nullptr);
        return wrap->RemoveFromGraph();
    }

    IChannelVectOwner* m_owner;
};
