#include "engine/mixer/CMfxChain.h"

#include <utility>

#include "engine/mixer/IMfxChainOwner.h"
#include "engine/mixer/IStepSeqPlugIn.h"
#include "model/RunProjectEdit.h"
#include "model/CHResultException.h"
#include "model/CKelPersistArchive.h"
#include "model/CMvCommand.h"
#include "model/CUndoHistory.h"
#include "model/CUndoInsertPtrStep.h"
#include "model/CUndoInsertStep.h"
#include "model/CUndoRemovePtrStep.h"
#include "model/CUndoRemoveStep.h"
#include "model/SubmitUndoStep.h"
#include "platform/com/CComPtr.h"
#include "platform/sync/ThreadAffinity.h"

namespace {

CString Text(const char* format, auto... args)
{
    CString text;
    text.Format(format, args...);
    return text;
}

// A saved effect: at least its chunk header.
constexpr ULONGLONG kMinSavedEffect = 12;

}  // namespace

CMfxChain::CMfxChain(IMfxChainOwner* owner)
    : CKelPersistObject(MakeKelVersionWord(kMajor, 0)), m_effects(this), m_order(this), m_owner(owner)
{
}

CMfxChain::~CMfxChain() = default;

IMfxFilterWrap* CMfxChain::GetAt(int position) const
{
    return m_order.IsValidIndex(position) ? m_order[position] : nullptr;
}

CHeapCriticalSection* CMfxChain::GetLock() { return m_owner ? m_owner->GetChainLock() : nullptr; }

// ---- Edits ----

template <class Step>
HRESULT CMfxChain::RunEdit(const CString& name, BOOL updateViews, Step&& steps)
{
    MV_ASSERT_UI_THREAD();
    return RunProjectEdit(nullptr, true, m_owner->GetCommandDocument(), name, kEditHint, steps, updateViews);
}

HRESULT CMfxChain::InsertMfxByClsid(int position, REFCLSID clsid, const char* name)
{
    if (position < 0 || position > GetCount())
        return E_INVALIDARG;
    IMfxFilterWrap* wrap = nullptr;
    HRESULT hr = m_owner->CreateMfxWrap(clsid, name, &wrap);
    if (FAILED(hr))
        return hr;
    if (wrap == nullptr)
        return E_OUTOFMEMORY;
    hr = InsertMfx(position, wrap);
    if (FAILED(hr))
        DestroyPlugInWrap(wrap);
    return hr;
}

HRESULT CMfxChain::InsertMfx(int position, IMfxFilterWrap* wrap)
{
    if (wrap == nullptr || position < 0 || position > GetCount())
        return E_INVALIDARG;
    const CString name =
        Text("Insert %s in %s", wrap->GetDisplayName().GetString(), m_owner->GetDisplayName().GetString());
    return RunEdit(name, TRUE, [&](CMvCommand* c) {
        SubmitUndoStep<CUndoInsertPtrStep<IMfxFilterWrap*, IMfxFilterWrap>>(c, m_effects, wrap, wrap);
        SubmitUndoStep<CUndoInsertStep<int, IMfxFilterWrap*>>(c, m_order, position, wrap);
    });
}

HRESULT CMfxChain::RemoveMfx(int position)
{
    if (position < 0 || position >= GetCount())
        return E_INVALIDARG;
    IMfxFilterWrap* wrap = m_order[position];
    const CString name = Text("Remove %s from %s, Position %d", wrap->GetDisplayName().GetString(),
                              m_owner->GetDisplayName().GetString(), position + 1);
    return RunEdit(name, TRUE, [&](CMvCommand* c) {
        SubmitUndoStep<CUndoRemovePtrStep<IMfxFilterWrap*, IMfxFilterWrap>>(c, m_effects, wrap);
        SubmitUndoStep<CUndoRemoveStep<int, IMfxFilterWrap*>>(c, m_order, position);
    });
}

HRESULT CMfxChain::MoveMfx(int from, int to)
{
    if (from < 0 || from >= GetCount() || to < 0 || to >= GetCount())
        return E_INVALIDARG;
    IMfxFilterWrap* wrap = m_order[from];
    const CString name = Text("Move %s From %d to %d in Track %s", wrap->GetDisplayName().GetString(), from + 1,
                              to + 1, m_owner->GetDisplayName().GetString());
    return RunEdit(name, FALSE, [&](CMvCommand* c) {
        SubmitUndoStep<CUndoRemoveStep<int, IMfxFilterWrap*>>(c, m_order, from);
        SubmitUndoStep<CUndoInsertStep<int, IMfxFilterWrap*>>(c, m_order, to, wrap);
    });
}

HRESULT CMfxChain::CopyMfx(int from, int to)
{
    if (from < 0 || from >= GetCount() || to < 0 || to >= GetCount())
        return E_INVALIDARG;
    IMfxFilterWrap* wrap = m_order[from];
    const CString name = Text("Copy %s From %d to %d in Track %s", wrap->GetDisplayName().GetString(), from + 1,
                              to + 1, m_owner->GetDisplayName().GetString());
    return RunEdit(name, FALSE, [&](CMvCommand* c) {
        IMfxFilterWrap* clone = nullptr;
        HRESULT hr = wrap->Clone(&clone);
        if (FAILED(hr) || clone == nullptr)
            throw CHResultException(FAILED(hr) ? hr : E_OUTOFMEMORY);
        try {
            SubmitUndoStep<CUndoInsertPtrStep<IMfxFilterWrap*, IMfxFilterWrap>>(c, m_effects, clone, clone);
        } catch (...) {
            // Not taken by the map: the clone is still ours.
            DestroyPlugInWrap(clone);
            throw;
        }
        SubmitUndoStep<CUndoInsertStep<int, IMfxFilterWrap*>>(c, m_order, to, clone);
    });
}

HRESULT CMfxChain::ShowMfxProperties(int position, HWND parent)
{
    IMfxFilterWrap* wrap = GetAt(position);
    if (wrap == nullptr)
        return E_INVALIDARG;
    return m_owner->ShowPropertyPage(wrap, parent);
}

// ---- Transport ----

HRESULT CMfxChain::OnStart(LONG time)
{
    for (IMfxFilterWrap* wrap : m_order.GetItems()) {
        if (IMfxEventFilter* filter = wrap ? wrap->GetEventFilter() : nullptr) {
            const HRESULT hr = filter->OnStart(time);
            if (FAILED(hr))
                return hr;
        }
    }
    return S_OK;
}

HRESULT CMfxChain::OnLoop(LONG a, LONG b, LONG c)
{
    for (IMfxFilterWrap* wrap : m_order.GetItems()) {
        if (IMfxEventFilter* filter = wrap ? wrap->GetEventFilter() : nullptr) {
            const HRESULT hr = filter->OnLoop(a, b, c);
            if (FAILED(hr))
                return hr;
        }
    }
    return S_OK;
}

HRESULT CMfxChain::OnStop(LONG time)
{
    for (IMfxFilterWrap* wrap : m_order.GetItems()) {
        if (IMfxEventFilter* filter = wrap ? wrap->GetEventFilter() : nullptr) {
            const HRESULT hr = filter->OnStop(time);
            if (FAILED(hr))
                return hr;
        }
    }
    return S_OK;
}

// ---- Processing ----

HRESULT CMfxChain::ProcessEvents(LONG from, LONG to, CMfxEventQueue*& in, CMfxEventQueue*& out)
{
    MV_ASSERT_AUDIO_THREAD();
    CHeapCriticalSection* lock = GetLock();
    if (lock && !lock->TryLock()) {
        std::swap(in, out);
        return S_FALSE;
    }
    HRESULT hr = S_OK;
    for (IMfxFilterWrap* wrap : m_order.GetItems()) {
        // An effect whose plug-in is not loaded passes the events on rather
        // than swallowing them.
        IMfxEventFilter* filter = wrap ? wrap->GetEventFilter() : nullptr;
        if (filter == nullptr)
            continue;
        if (FAILED(hr = filter->OnEvents(from, to, in, out)))
            break;
        in->Clear();
        std::swap(in, out);
    }
    if (lock)
        lock->Unlock();
    if (FAILED(hr))
        return hr;
    // Whether or not an effect ran, the events are now in `in`: one swap
    // hands them out and leaves `in` the emptied queue.
    std::swap(in, out);
    return S_OK;
}

HRESULT CMfxChain::ProcessInput(CMfxDataQueue*& in, CMfxDataQueue*& out)
{
    CHeapCriticalSection* lock = GetLock();
    if (lock && !lock->TryLock()) {
        std::swap(in, out);
        return S_FALSE;
    }
    HRESULT hr = S_OK;
    for (IMfxFilterWrap* wrap : m_order.GetItems()) {
        IMfxEventFilter* filter = wrap ? wrap->GetEventFilter() : nullptr;
        if (filter == nullptr)
            continue;
        if (FAILED(hr = filter->OnInput(in, out)))
            break;
        in->Reset();
        std::swap(in, out);
    }
    if (lock)
        lock->Unlock();
    if (FAILED(hr))
        return hr;
    std::swap(in, out);
    return S_OK;
}

// ---- Step sequencers ----

template <class Call>
HRESULT CMfxChain::ForEachStepSeq(Call&& call)
{
    // The map, not the order: an effect just entered the map is told too,
    // before its place in the order is filled.
    for (const auto& [key, wrap] : m_effects.Items()) {
        IMfxEventFilter* filter = wrap ? wrap->GetEventFilter() : nullptr;
        if (filter == nullptr)
            return E_UNEXPECTED;
        mvcom::CComPtr<IStepSeqPlugIn> seq;
        if (FAILED(filter->QueryInterface(IID_IStepSeqPlugIn, reinterpret_cast<void**>(seq.Put()))))
            continue;
        const HRESULT hr = call(seq.Get());
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CMfxChain::NotifySynthChanged(IUnknown* synthFilter)
{
    return ForEachStepSeq([&](IStepSeqPlugIn* seq) { return seq->SetSynth(synthFilter); });
}

HRESULT CMfxChain::SetChannelId(WORD id)
{
    return ForEachStepSeq([&](IStepSeqPlugIn* seq) { return seq->SetChannelId(id); });
}

HRESULT CMfxChain::SetShuffle(double amount)
{
    if (!(amount >= 0.0 && amount <= 1.0))
        return E_INVALIDARG;
    const LONG value = static_cast<LONG>((amount + 1.0) * 50.0);
    return ForEachStepSeq([&](IStepSeqPlugIn* seq) { return seq->SetShuffle(value); });
}

HRESULT CMfxChain::CountStepSeqPlugIns(int* count)
{
    if (count == nullptr)
        return E_POINTER;
    int n = 0;
    for (IMfxFilterWrap* wrap : m_order.GetItems()) {
        IMfxEventFilter* filter = wrap ? wrap->GetEventFilter() : nullptr;
        if (filter == nullptr)
            return E_UNEXPECTED;
        mvcom::CComPtr<IStepSeqPlugIn> seq;
        if (SUCCEEDED(filter->QueryInterface(IID_IStepSeqPlugIn, reinterpret_cast<void**>(seq.Put()))))
            ++n;
    }
    *count = n;
    return S_OK;
}

HRESULT CMfxChain::GetStepSeqPlugIn(int n, IStepSeqPlugIn** plugIn)
{
    if (plugIn == nullptr)
        return E_POINTER;
    *plugIn = nullptr;
    int count = 0;
    HRESULT hr = CountStepSeqPlugIns(&count);
    if (FAILED(hr))
        return hr;
    if (n < 0 || n >= count)
        return E_INVALIDARG;
    for (IMfxFilterWrap* wrap : m_order.GetItems()) {
        IMfxEventFilter* filter = wrap->GetEventFilter();
        IStepSeqPlugIn* seq = nullptr;
        if (FAILED(filter->QueryInterface(IID_IStepSeqPlugIn, reinterpret_cast<void**>(&seq))))
            continue;
        if (n-- == 0) {
            *plugIn = seq;
            return S_OK;
        }
        seq->Release();
    }
    return E_UNEXPECTED;
}

// ---- IChain ----

HRESULT CMfxChain::OnFxAdded(IMfxFilterWrap*)
{
    HRESULT hr = NotifySynthChanged(m_owner->GetFirstSynthFilter());
    if (FAILED(hr))
        return hr;
    if (FAILED(hr = SetShuffle(m_owner->GetShuffleAmount())))
        return hr;
    return SetChannelId(m_owner->GetChannelId());
}

HRESULT CMfxChain::OnFxRemoved(IMfxFilterWrap* wrap)
{
    if (wrap == nullptr)
        return E_FAIL;
    m_owner->UpdateStepPreview();
    return m_owner->ClosePropertyPage(wrap);
}

// ---- Saved form ----

STDMETHODIMP CMfxChain::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return KELPERSIST_E_UNKNOWNCHUNK;
    HRESULT hr;
    DWORD count = static_cast<DWORD>(GetCount());
    if (FAILED(hr = archive->PersistBytes(sizeof(count), &count)))
        return hr;
    if (archive->IsSaving()) {
        for (IMfxFilterWrap* wrap : m_order.GetItems()) {
            if (FAILED(hr = archive->PersistObject(wrap->GetPersist())))
                return hr;
        }
        return S_OK;
    }
    if (FAILED(hr = archive->CheckRemaining(static_cast<ULONGLONG>(count) * kMinSavedEffect)))
        return hr;
    for (DWORD i = 0; i < count; ++i) {
        IMfxFilterWrap* wrap = nullptr;
        if (FAILED(hr = m_owner->CreateMfxWrap(GUID_NULL, nullptr, &wrap)))
            return hr;
        if (wrap == nullptr)
            return E_OUTOFMEMORY;
        if (FAILED(hr = archive->PersistObject(wrap->GetPersist())) ||
            FAILED(hr = m_order.Insert(GetCount(), wrap))) {
            DestroyPlugInWrap(wrap);
            return hr;
        }
        if (FAILED(hr = m_effects.Insert(wrap, wrap))) {
            // In the order already: the channel destroys what the chain
            // lists, so it stays there rather than being freed twice.
            return hr;
        }
    }
    return S_OK;
}
