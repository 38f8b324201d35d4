#include "engine/CTimeline.h"

#include <algorithm>
#include <cstdint>

#include "engine/ITimelineOwner.h"
#include "model/CHeapLockGuard.h"
#include "model/CKelPersistArchive.h"
#include "model/CPattern.h"
#include "model/CUndoRemoveStep.h"
#include "model/IEngineServices.h"
#include "model/ISongDocument.h"
#include "model/PersistIo.h"
#include "model/PersistNestedList.h"
#include "model/RunProjectEdit.h"
#include "model/SubmitUndoStep.h"
#include "platform/sync/ThreadAffinity.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

using RemoveInstanceStep = CUndoRemoveStep<int, CPatternInstance>;

// The shortest nested instance: a single chunk of the placement fields.
constexpr ULONGLONG kMinInstanceChunk = 12 + 20;
// The units in which a registered clip takes a loaded clip's settings.
constexpr int kSettingSelectors[] = {ILoopClip::kUnitFineTicks, ILoopClip::kUnitFrames};

DWORD ClipIdOf(const CPatternInstance& instance)
{
    const CPattern* pattern = instance.GetPattern();
    return pattern != nullptr ? pattern->GetClipId() : CPattern::kNoClip;
}

bool IsLoopClipInstance(const CPatternInstance& instance) { return ClipIdOf(instance) != CPattern::kNoClip; }

bool Covers(const CPatternInstance& instance, LONG time)
{
    return instance.GetStart() <= time && time <= instance.GetEnd();
}

IClipPool* ClipPool()
{
    IEngineServices* engine = GetEngineServices();
    return engine != nullptr ? engine->GetClipPool() : nullptr;
}

// Gives the registered clip the settings of the clip loaded from the stream.
void CopyClipSettings(ILoopClip* from, ILoopClip* to)
{
    LONGLONG value = 0;
    for (int setting = 0; setting < ILoopClip::kSelectorSettings; ++setting)
        for (int selector : kSettingSelectors)
            if (SUCCEEDED(from->GetSetting(setting, selector, &value)))
                to->SetSetting(setting, selector, value);
    if (SUCCEEDED(from->GetSingleSetting(&value)))
        to->SetSingleSetting(value);
}

}  // namespace

CTimeline::CTimeline(ITimelineOwner* owner) : CKelPersistObject(MakeKelVersionWord(kMajor, kMinor)), m_owner(owner)
{
}

bool CTimeline::InstanceLess(const CPatternInstance& a, const CPatternInstance& b)
{
    if (a.GetStart() != b.GetStart())
        return a.GetStart() < b.GetStart();
    if (a.GetEnd() != b.GetEnd())
        return a.GetEnd() > b.GetEnd();
    return a.GetInstanceId() > b.GetInstanceId();
}

void CTimeline::UpdateReach(int from)
{
    m_reach.resize(Items().size());
    for (std::size_t i = static_cast<std::size_t>(std::max(from, 0)); i < m_reach.size(); ++i) {
        const LONG end = Items()[i].GetEnd();
        m_reach[i] = i == 0 ? end : std::max(m_reach[i - 1], end);
    }
    m_loopClipCount = static_cast<std::size_t>(std::count_if(Items().begin(), Items().end(), IsLoopClipInstance));
}

HRESULT CTimeline::Insert(const int& index, const CPatternInstance& instance)
{
    MV_ASSERT_UI_THREAD();
    const DWORD id = instance.GetInstanceId();
    {
        CHeapLockGuard guard(m_instancesLock);
        if (index < 0 || index > GetSize())
            return E_INVALIDARG;
        try {
            m_reach.reserve(Items().size() + 1);
            Items().insert(Items().begin() + index, instance);
        } catch (...) {
            return E_OUTOFMEMORY;
        }
        UpdateReach(index);
        if (m_currentId == kNoInstance)
            m_currentId = id;
    }
    HRESULT hr = m_owner != nullptr ? m_owner->OnInstanceInserted(id) : S_OK;
    if (FAILED(hr)) {
        {
            CHeapLockGuard guard(m_instancesLock);
            Items().erase(Items().begin() + index);
            UpdateReach(index);
            if (m_currentId == id)
                m_currentId = kNoInstance;
        }
        m_owner->OnInstanceRemoved(id, ClipIdOf(instance));
    }
    return hr;
}

HRESULT CTimeline::Set(const int& index, const CPatternInstance& instance)
{
    MV_ASSERT_UI_THREAD();
    CHeapLockGuard guard(m_instancesLock);
    if (!IsValidIndex(index))
        return E_INVALIDARG;
    if ((index > 0 && InstanceLess(instance, (*this)[index - 1])) ||
        (index + 1 < GetSize() && InstanceLess((*this)[index + 1], instance)))
        return E_INVALIDARG;
    At(index) = instance;
    UpdateReach(index);
    return S_OK;
}

HRESULT CTimeline::Remove(const int& index)
{
    MV_ASSERT_UI_THREAD();
    CPatternInstance removed;
    bool wasCurrent = false;
    {
        CHeapLockGuard guard(m_instancesLock);
        if (!IsValidIndex(index))
            return E_INVALIDARG;
        removed = (*this)[index];
        Items().erase(Items().begin() + index);
        UpdateReach(index);
        wasCurrent = m_currentId == removed.GetInstanceId();
        if (wasCurrent)
            m_currentId = kNoInstance;
    }
    const DWORD id = removed.GetInstanceId();
    HRESULT hr = m_owner != nullptr ? m_owner->OnInstanceRemoved(id, ClipIdOf(removed)) : S_OK;
    if (FAILED(hr)) {
        {
            CHeapLockGuard guard(m_instancesLock);
            try {
                Items().insert(Items().begin() + index, removed);
            } catch (...) {
                return E_OUTOFMEMORY;
            }
            UpdateReach(index);
            if (wasCurrent)
                m_currentId = id;
        }
        m_owner->OnInstanceInserted(id);
    }
    return hr;
}

HRESULT CTimeline::Get(const int& index, CPatternInstance* out)
{
    CHeapLockGuard guard(m_instancesLock);
    return CUndoVector::Get(index, out);
}

int CTimeline::FindInsertPosition(const CPatternInstance& instance) const
{
    return static_cast<int>(std::upper_bound(Items().begin(), Items().end(), instance, InstanceLess) -
                            Items().begin());
}

HRESULT CTimeline::GetInstanceAt(LONG time, CPatternInstance** instance)
{
    if (instance == nullptr)
        return E_POINTER;
    CHeapLockGuard guard(m_instancesLock);
    *instance = nullptr;
    for (int i = GetSize() - 1; i >= 0; --i) {
        CPatternInstance& candidate = At(i);
        if (!Covers(candidate, time))
            continue;
        if (*instance == nullptr)
            *instance = &candidate;
        if (m_currentId == kNoInstance || candidate.GetInstanceId() == m_currentId) {
            *instance = &candidate;
            break;
        }
    }
    return *instance != nullptr ? S_OK : S_FALSE;
}

HRESULT CTimeline::GetInstancesAt(LONG time, std::vector<CPatternInstance*>* instances)
{
    if (instances == nullptr)
        return E_POINTER;
    CHeapLockGuard guard(m_instancesLock);
    for (int i = GetSize() - 1; i >= 0; --i)
        if (Covers((*this)[i], time))
            instances->push_back(&At(i));
    return instances->empty() ? S_FALSE : S_OK;
}

int CTimeline::FindIndex(DWORD id) const
{
    for (int i = 0; i < GetSize(); ++i)
        if ((*this)[i].GetInstanceId() == id)
            return i;
    return -1;
}

CString CTimeline::PlacementName(UINT textId, const CPatternInstance& instance) const
{
    const CPattern* pattern = instance.GetPattern();
    const CString patternName = pattern != nullptr ? pattern->GetDisplayName() : CString();
    const int track = m_owner != nullptr ? m_owner->GetTrackIndex() : 0;
    CString name;
    name.Format(LoadResString(textId), patternName.GetString(), track + 1);
    return name;
}

HRESULT CTimeline::AddPatternInstance(const CPatternInstance& instance, BOOL createCommand, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    // An instance without a pattern could never be saved.
    if (instance.GetPattern() == nullptr)
        return E_INVALIDARG;
    const CString name = PlacementName(IDS_INSTANCE_ADD_TO_TRACK, instance);
    return RunProjectEdit(command, createCommand != FALSE, GetSongDocument(), name, kPlacementHint,
                          [&](CMvCommand* cmd) {
                              SubmitUndoStep<CUndoInsertPatInstStep>(cmd, GetSongDocument(), *this,
                                                                     FindInsertPosition(instance), instance);
                          });
}

HRESULT CTimeline::DeletePatternInstance(DWORD id, BOOL createCommand, CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    if (GetSize() == 0)
        return E_UNEXPECTED;
    const int index = FindIndex(id);
    if (index < 0)
        return E_INVALIDARG;
    const CString name = PlacementName(IDS_INSTANCE_DELETE_FROM_TRACK, (*this)[index]);
    ISongDocument* document = GetSongDocument();
    return RunProjectEdit(command, createCommand != FALSE, document, name, kPlacementHint, [&](CMvCommand* cmd) {
        if (document != nullptr && document->GetActiveInstance() == id) {
            HRESULT hr = document->SetActiveInstance(ISongDocument::kNoInstance, cmd);
            if (FAILED(hr)) {
                if (cmd != nullptr && !cmd->IsAborted())
                    cmd->Abort();
                throw CHResultException(hr);
            }
        }
        SubmitUndoStep<RemoveInstanceStep>(cmd, *this, index);
    });
}

HRESULT CTimeline::SetPatternInstanceAttributes(DWORD id, BOOL createCommand, const LONG* start, const LONG* end,
                                                const LONG* offset, const WORD* midiChannel, const LONG* transpose,
                                                CMvCommand* command)
{
    MV_ASSERT_UI_THREAD();
    if (id == kNoInstance)
        return E_INVALIDARG;
    const int index = FindIndex(id);
    if (index < 0)
        return E_UNEXPECTED;
    const int count = (start != nullptr) + (end != nullptr) + (offset != nullptr) + (midiChannel != nullptr) +
                      (transpose != nullptr);
    if (count == 0)
        return E_INVALIDARG;

    // Every value is checked before any setter runs: the setters of a
    // loop-clip instance move its clip at once, and a refused edit must leave
    // the clip where it was.
    const CPatternInstance& old = (*this)[index];
    const LONG newStart = start != nullptr ? *start : old.GetStart();
    const LONG newEnd = end != nullptr ? *end : old.GetEnd();
    if (newStart < 0 || newEnd <= newStart)
        return E_INVALIDARG;
    if (offset != nullptr && old.GetPatternDuration() <= 0)
        return E_INVALIDARG;
    if (midiChannel != nullptr && *midiChannel != CPatternInstance::kNoChannel && *midiChannel > 15)
        return E_FAIL;

    CPatternInstance changed(old);
    UINT textId = 0;
    HRESULT hr = S_OK;
    if (start != nullptr) {
        hr = changed.SetStart(*start);
        textId = IDS_INSTANCE_CHANGE_START;
    }
    if (SUCCEEDED(hr) && end != nullptr) {
        hr = changed.SetEnd(*end);
        textId = IDS_INSTANCE_CHANGE_END;
    }
    if (SUCCEEDED(hr) && offset != nullptr) {
        hr = changed.SetOffsetWrapped(*offset);
        textId = IDS_INSTANCE_CHANGE_ALIGNMENT;
    }
    if (SUCCEEDED(hr) && midiChannel != nullptr) {
        hr = changed.SetMidiChannel(*midiChannel);
        textId = IDS_INSTANCE_CHANGE_MIDI_CHANNEL;
    }
    if (SUCCEEDED(hr) && transpose != nullptr) {
        hr = changed.SetTranspose(*transpose);
        textId = IDS_INSTANCE_SET_TRANSPOSE;
    }
    if (FAILED(hr))
        return hr;
    if (!changed.IsValid())
        return E_INVALIDARG;

    CString name;
    if (count > 1)
        name = LoadResString(IDS_INSTANCE_CHANGE_ATTRIBUTES);
    else if (textId == IDS_INSTANCE_SET_TRANSPOSE)
        name.Format(LoadResString(textId), static_cast<int>(*transpose));
    else
        name = LoadResString(textId);
    return RunProjectEdit(command, createCommand != FALSE, GetSongDocument(), name, kAttributeHint,
                          [&](CMvCommand* cmd) {
                              SubmitUndoStep<RemoveInstanceStep>(cmd, *this, index);
                              // The same instance comes back changed: the active one
                              // stays active through undo and redo.
                              SubmitUndoStep<CUndoInsertStep<int, CPatternInstance>>(
                                  cmd, *this, FindInsertPosition(changed), changed);
                          });
}

HRESULT CTimeline::GetPatternInstance(DWORD id, CPatternInstance** instance)
{
    const int index = FindIndex(id);
    if (instance != nullptr)
        *instance = index >= 0 ? &At(index) : nullptr;
    return index >= 0 ? S_OK : S_FALSE;
}

HRESULT CTimeline::CountPatternInstances(SHORT patternId, int* count) const
{
    if (count == nullptr)
        return E_POINTER;
    *count = static_cast<int>(std::count_if(Items().begin(), Items().end(), [&](const CPatternInstance& i) {
        return i.GetPatternID() == patternId;
    }));
    return S_OK;
}

HRESULT CTimeline::CollectUsedPatternIds(std::set<SHORT>* ids) const
{
    if (ids == nullptr)
        return E_POINTER;
    for (const CPatternInstance& instance : Items())
        ids->insert(instance.GetPatternID());
    return GetSize() > 0 ? S_OK : S_FALSE;
}

HRESULT CTimeline::CollectPatternRefs(std::vector<SHORT>* ids, std::vector<CPatternInstance*>* refs)
{
    if (ids == nullptr || refs == nullptr)
        return E_POINTER;
    for (CPatternInstance& instance : Items()) {
        ids->push_back(instance.GetPatternID());
        refs->push_back(&instance);
    }
    return S_OK;
}

HRESULT CTimeline::GetPatternInstances(std::vector<CPatternInstance*>* instances)
{
    if (instances == nullptr)
        return E_POINTER;
    if (!instances->empty())
        return E_UNEXPECTED;
    for (CPatternInstance& instance : Items())
        instances->push_back(&instance);
    return GetSize() > 0 ? S_OK : S_FALSE;
}

void CTimeline::SelectAllPatternInstances(BOOL selected)
{
    for (CPatternInstance& instance : Items())
        instance.SetSelected(selected);
}

HRESULT CTimeline::SelectPatternInstance(DWORD id, BOOL selected)
{
    const int index = FindIndex(id);
    if (index < 0)
        return S_FALSE;
    At(index).SetSelected(selected);
    m_currentId = id;
    return S_OK;
}

HRESULT CTimeline::ToggleSelectPatternInstance(DWORD id, BOOL* state)
{
    const int index = FindIndex(id);
    if (index < 0)
        return S_FALSE;
    CPatternInstance& instance = At(index);
    instance.SetSelected(!instance.IsSelected());
    if (state != nullptr)
        *state = instance.IsSelected();
    return S_OK;
}

void CTimeline::InvalidatePatternInstances(SHORT patternId)
{
    for (CPatternInstance& instance : Items())
        if (patternId == kAllPatterns || instance.GetPatternID() == patternId)
            instance.ResetCursor();
}

HRESULT CTimeline::SeekInstances(LONG t)
{
    MV_ASSERT_AUDIO_THREAD();
    CHeapLockGuard guard(m_instancesLock, CHeapLockGuard::TryOnly{});
    if (!guard.OwnsLock())
        return S_FALSE;
    HRESULT first = S_OK;
    for (CPatternInstance& instance : Items()) {
        const HRESULT hr = instance.SeekTime(t);
        if (SUCCEEDED(first) && FAILED(hr))
            first = hr;
    }
    return first;
}

HRESULT CTimeline::RenderSpan(LONG from, LONG to, std::vector<CMfxEvent>* events, float swing,
                              CMfxBlockRing* blocks)
{
    MV_ASSERT_AUDIO_THREAD();
    if (events == nullptr)
        return E_POINTER;
    CHeapLockGuard guard(m_instancesLock, CHeapLockGuard::TryOnly{});
    if (!guard.OwnsLock())
        return S_FALSE;
    // Every instance before the first whose running latest end passes `from`
    // has ended before the span.
    const auto first = std::upper_bound(m_reach.begin(), m_reach.end(), from);
    for (int i = static_cast<int>(first - m_reach.begin()); i < GetSize(); ++i) {
        const CPatternInstance& instance = (*this)[i];
        if (instance.GetStart() >= to)
            break;
        if (instance.GetEnd() <= from)
            continue;
        const HRESULT hr = instance.RenderEvents(from, to, events, swing, blocks);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CTimeline::PersistInstances(CKelPersistArchive* archive)
{
    std::vector<DWORD> loadedIds;
    HRESULT hr = PersistNestedList(archive, Items(), kMinInstanceChunk,
                             [this, &loadedIds](std::vector<CPatternInstance>& loaded, HRESULT hr) {
                                 if (FAILED(hr))
                                     return hr;
                                 try {
                                     for (const CPatternInstance& instance : loaded)
                                         loadedIds.push_back(instance.GetInstanceId());
                                 } catch (...) {
                                     return E_OUTOFMEMORY;
                                 }
                                 CHeapLockGuard guard(m_instancesLock);
                                 m_reach.reserve(Items().size() + loaded.size());
                                 Items().insert(Items().end(), loaded.begin(), loaded.end());
                                 // Playback and every search rely on the order; a stream that
                                 // holds the instances out of it is put back in it.
                                 if (!std::is_sorted(Items().begin(), Items().end(), InstanceLess))
                                     std::stable_sort(Items().begin(), Items().end(), InstanceLess);
                                 UpdateReach(0);
                                 return S_OK;
                             });
    if (FAILED(hr) || archive->IsSaving() || m_owner == nullptr)
        return hr;
    // A loaded instance enters the timeline as an inserted one does: the
    // channel resets its cursor and registers its loop clip.
    for (DWORD id : loadedIds) {
        if (FAILED(hr = m_owner->OnInstanceInserted(id)))
            return hr;
    }
    return S_OK;
}

HRESULT CTimeline::PersistClipStates(CKelPersistArchive* archive)
{
    ILoopClipHost* host = m_owner != nullptr ? m_owner->GetLoopClipHost() : nullptr;
    if (host == nullptr)
        return S_OK;
    IStream* stream = archive->GetStream();
    IClipPool* pool = ClipPool();
    // A clip reads its state straight from the stream: where it stops is
    // checked against the chunk afterwards.
    ULONGLONG chunkStart = 0;
    HRESULT hr = archive->IsSaving() ? S_OK : mvpersist::GetPosition(stream, chunkStart);
    if (FAILED(hr))
        return hr;
    for (const CPatternInstance& instance : Items()) {
        if (!IsLoopClipInstance(instance))
            continue;
        if (pool == nullptr)
            return E_UNEXPECTED;
        const DWORD id = instance.GetInstanceId();
        if (archive->IsSaving()) {
            // Loading reads one state for every loop-clip instance: a state
            // left out would hand the next one's to the wrong instance.
            ILoopClip* clip = pool->GetClip(id);
            if (clip == nullptr)
                return E_UNEXPECTED;
            if (FAILED(hr = clip->SaveProjectState(stream, FALSE)))
                return hr;
            continue;
        }
        ILoopClip* loaded = nullptr;
        if (FAILED(hr = pool->CreateClip(&loaded)) || loaded == nullptr)
            return FAILED(hr) ? hr : E_FAIL;
        hr = loaded->LoadProjectState(stream);
        ULONGLONG now = 0;
        if (SUCCEEDED(hr) && SUCCEEDED(hr = mvpersist::GetPosition(stream, now)) &&
            (now < chunkStart || FAILED(archive->CheckRemaining(now - chunkStart))))
            hr = STG_E_READFAULT;
        ILoopClip* registered = nullptr;
        if (SUCCEEDED(hr)) {
            ILoopClip* source = pool->GetClip(ClipIdOf(instance));
            if (source == nullptr ||
                FAILED(host->RegisterClip(id, ILoopClipHost::kModeTimeline, source, &registered)) ||
                registered == nullptr)
                hr = E_FAIL;
        }
        if (SUCCEEDED(hr))
            CopyClipSettings(loaded, registered);
        loaded->Release();
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

STDMETHODIMP CTimeline::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    MV_ASSERT_UI_THREAD();
    if (archive == nullptr)
        return E_POINTER;
    switch (KelVersionIndex(versionWord)) {
    case 0: return PersistInstances(archive);
    case 1: return PersistClipStates(archive);
    default: return KELPERSIST_E_UNKNOWNCHUNK;
    }
}
