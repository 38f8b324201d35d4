#include "engine/hosting/CClipboard.h"

#include <algorithm>
#include <new>

#include "engine/IDocumentEngine.h"
#include "engine/hosting/CDragAndDropClipboard.h"
#include "engine/hosting/CFxWrap.h"
#include "engine/hosting/CMfxFilterWrap.h"
#include "engine/hosting/CMidiDoc.h"
#include "engine/hosting/IPasteTarget.h"
#include "model/CMvCommand.h"
#include "model/CPattern.h"
#include "model/CUndoHistory.h"
#include "platform/sync/ThreadAffinity.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

// [content kind][context]: where each kind of content may be pasted.
constexpr bool kPasteTable[CClipboard::kContextCount][CClipboard::kContextCount] = {
    {false, false, false, false, false, false, false},
    {false, false, false, true, false, false, false},  // pattern ids: arrangement
    {false, false, true, false, false, false, false},  // events: pattern editor
    {false, false, false, true, false, false, true},   // instances: arrangement, channel strips
    {false, false, false, false, true, false, false},  // audio effect: its chain view
    {false, false, false, false, false, true, false},  // MIDI effect: its chain view
    {false, false, false, false, false, false, false},
};

// Moves an instance by delta ticks; an open end stays open. The setters
// keep start < end at every step, so the side that moves away goes first.
HRESULT MoveInstance(CPatternInstance& instance, LONG delta)
{
    const LONG start = instance.GetStart() + delta;
    const LONG end = instance.GetEnd() == CPatternInstance::kOpenEnd ? CPatternInstance::kOpenEnd
                                                                      : instance.GetEnd() + delta;
    if (delta > 0) {
        if (HRESULT hr = instance.SetEnd(end); FAILED(hr))
            return hr;
        return instance.SetStart(start);
    }
    if (HRESULT hr = instance.SetStart(start); FAILED(hr))
        return hr;
    return instance.SetEnd(end);
}

// Ends a command this clipboard began: committed when it holds what was
// done, else taken back.
HRESULT Finish(CMvCommand* command, bool commit)
{
    if (commit)
        return command->Commit(&CUndoHistory::Instance());
    command->AbortAndDelete();
    return S_OK;
}

}  // namespace

CClipboard::CClipboard() = default;

CClipboard::~CClipboard()
{
    Clear();
    if (m_heldPattern)
        DestroyPattern(m_heldPattern);
}

HRESULT CClipboard::CreateHeldPattern()
{
    MV_ASSERT_UI_THREAD();
    if (m_heldPattern)
        return S_FALSE;
    return CreatePattern(0, &m_heldPattern, CPattern::kKindMidi);
}

HRESULT CClipboard::SetSource(ITransportDocument* document)
{
    MV_ASSERT_UI_THREAD();
    m_document = document ? dynamic_cast<CMidiDoc*>(document) : nullptr;
    return Clear();
}

HRESULT CClipboard::SetCurrentContext(int context)
{
    if (context < kNoContext || context >= kContextCount)
        return E_INVALIDARG;
    m_context = context;
    return S_OK;
}

HRESULT CClipboard::Clear()
{
    MV_ASSERT_UI_THREAD();
    HRESULT first = S_OK;
    if (m_heldPattern && m_heldPattern->GetSize() > 0)
        first = m_heldPattern->ClearAllEvents(FALSE, nullptr);
    m_instances.clear();
    m_sourceChannels.clear();
    m_patternIds.clear();
    m_ids.clear();
    // The wrapper is gone whatever its release says, so it is never held
    // past this point.
    if (m_heldFx) {
        const HRESULT hr = ReleasePlugInWrap(m_heldFx);
        m_heldFx = nullptr;
        if (SUCCEEDED(first) && FAILED(hr))
            first = hr;
    }
    if (m_heldMfx) {
        const HRESULT hr = ReleasePlugInWrap(m_heldMfx);
        m_heldMfx = nullptr;
        if (SUCCEEDED(first) && FAILED(hr))
            first = hr;
    }
    return first;
}

bool CClipboard::HasContent(int context) const
{
    if (m_contentKind < 0 || m_contentKind >= kContextCount || context < 0 || context >= kContextCount ||
        !kPasteTable[m_contentKind][context])
        return false;
    switch (m_contentKind) {
    case kPatternBin:
        return !m_ids.empty();
    case kPatternEditor:
        return m_heldPattern && m_heldPattern->GetSize() > 0;
    case kArrangement:
        return !m_instances.empty();
    case kAudioFxChain:
        return m_heldFx != nullptr;
    case kMidiFxChain:
        return m_heldMfx != nullptr;
    default:
        return false;
    }
}

// ---- Copy and cut ----

HRESULT CClipboard::CopyOrCut(bool cut)
{
    MV_ASSERT_UI_THREAD();
    Clear();
    m_contentKind = m_context;
    switch (m_contentKind) {
    case kPatternBin:
        if (!m_document)
            return E_UNEXPECTED;
        return m_document->GetSelectedPatternIds(&m_ids);
    case kPatternEditor:
        return CopyEvents(cut);
    case kArrangement:
        return CopyInstances(cut);
    default:
        return S_OK;
    }
}

HRESULT CClipboard::CopyEvents(bool cut)
{
    if (!m_document || !m_heldPattern)
        return E_UNEXPECTED;
    CPattern* active = nullptr;
    HRESULT hr = ActivePattern(&active);
    if (FAILED(hr))
        return hr;
    std::vector<int> selected;
    hr = active->GetSelectedEventIndices(&selected);
    if (FAILED(hr))
        return hr;
    if (selected.empty())
        return S_FALSE;
    const std::vector<CMfxEvent>& events = active->GetEvents();
    LONG t0 = events[static_cast<std::size_t>(selected.front())].m_time;
    for (int i : selected) {
        const LONG t = events[static_cast<std::size_t>(i)].m_time;
        t0 = std::min(t0, t);
    }
    for (int i : selected) {
        CMfxEvent event(events[static_cast<std::size_t>(i)]);
        event.m_time = event.m_time - t0;
        event.SetSelected(TRUE);
        if (FAILED(hr = m_heldPattern->InsertEvent(event, FALSE, nullptr, FALSE))) {
            Clear();
            return hr;
        }
    }
    if (!cut)
        return S_OK;

    CMvCommand* command = BeginCommand(IDS_CLIP_CUT_EVENTS, kCutEventsHint);
    if (!command)
        return E_OUTOFMEMORY;
    // From the highest index down, so the indices still to go stay valid.
    for (auto it = selected.rbegin(); it != selected.rend(); ++it)
        active->DeleteEvent(*it, FALSE, command);
    return command->Commit(&CUndoHistory::Instance());
}

HRESULT CClipboard::CopyInstances(bool cut)
{
    if (!m_document)
        return E_UNEXPECTED;
    std::vector<std::pair<DWORD, WORD>> selected;
    for (const auto& [id, channel] : m_document->Channels())
        if (HRESULT hr = channel->CollectSelectedInstances(&selected); FAILED(hr))
            return hr;
    if (selected.empty())
        return S_OK;
    std::vector<CPatternInstance> copies;
    copies.reserve(selected.size());
    for (const auto& [instanceId, channelId] : selected) {
        CChannel* channel = nullptr;
        CPatternInstance* instance = nullptr;
        HRESULT hr = m_document->GetChannel(static_cast<SHORT>(channelId), &channel);
        if (SUCCEEDED(hr))
            hr = channel->GetPatternInstance(instanceId, &instance);
        if (FAILED(hr))
            return hr;
        copies.emplace_back(*instance, TRUE);
    }
    LONG t0 = copies.front().GetStart();
    for (const CPatternInstance& copy : copies)
        t0 = std::min(t0, copy.GetStart());
    for (std::size_t i = 0; i < copies.size(); ++i) {
        if (HRESULT hr = MoveInstance(copies[i], -t0); FAILED(hr)) {
            Clear();
            return hr;
        }
        m_sourceChannels.push_back(selected[i].second);
        m_patternIds.push_back(copies[i].GetPatternID());
    }
    m_instances = std::move(copies);
    if (!cut)
        return S_OK;

    CMvCommand* command = BeginCommand(IDS_CLIP_CUT_INSTANCES, kArrangementHint);
    if (!command)
        return E_OUTOFMEMORY;
    bool deleted = false;
    for (const auto& [instanceId, channelId] : selected) {
        CChannel* channel = nullptr;
        if (FAILED(m_document->GetChannel(static_cast<SHORT>(channelId), &channel)) || command->IsAborted())
            continue;
        if (SUCCEEDED(channel->DeletePatternInstance(instanceId, FALSE, command)))
            deleted = true;
    }
    return Finish(command, deleted && !command->IsAborted());
}

HRESULT CClipboard::CopyFx(bool cut, CFxWrap* effect)
{
    MV_ASSERT_UI_THREAD();
    if (!effect)
        return E_POINTER;
    if (HRESULT hr = CopyOrCut(cut); FAILED(hr))
        return hr;
    IFxWrap* clone = nullptr;
    if (FAILED(effect->Clone(&clone)) || !clone)
        return E_FAIL;
    CFxWrap* held = static_cast<CFxWrap*>(clone);
    held->StopAndUnload();
    m_heldFx = held;
    return S_OK;
}

HRESULT CClipboard::CopyMfx(bool cut, CMfxFilterWrap* effect)
{
    MV_ASSERT_UI_THREAD();
    if (!effect)
        return E_POINTER;
    if (HRESULT hr = CopyOrCut(cut); FAILED(hr))
        return hr;
    IMfxFilterWrap* clone = nullptr;
    if (FAILED(effect->Clone(&clone)) || !clone)
        return S_OK;
    m_heldMfx = static_cast<CMfxFilterWrap*>(clone);
    return S_OK;
}

// ---- Paste ----

HRESULT CClipboard::Paste()
{
    MV_ASSERT_UI_THREAD();
    if (!CanPaste())
        return S_FALSE;
    switch (m_context) {
    case kPatternEditor:
        return m_pasteTarget ? m_pasteTarget->QueryPaste() : E_UNEXPECTED;
    case kArrangement: {
        IDocumentEngine* engine = m_document ? m_document->GetEngine() : nullptr;
        if (!engine)
            return E_UNEXPECTED;
        return PasteIntoArrangement(engine->GetNowTicks(FALSE));
    }
    default:
        return S_OK;
    }
}

HRESULT CClipboard::PasteIntoArrangement(LONG time)
{
    MV_ASSERT_UI_THREAD();
    if (!HasContent(kArrangement))
        return S_FALSE;
    if (!m_document)
        return E_UNEXPECTED;
    if (m_contentKind == kPatternBin)
        return PastePatternIds(time);
    if (m_contentKind == kArrangement)
        return PasteInstances(time);
    return S_OK;
}

HRESULT CClipboard::ActivePattern(CPattern** pattern) const
{
    const HRESULT hr = m_document->GetActivePattern(pattern);
    return SUCCEEDED(hr) && !*pattern ? E_UNEXPECTED : hr;
}

CMvCommand* CClipboard::BeginCommand(UINT textId, DWORD hint) const
{
    return BeginProjectCommand(m_document->AsCommandDocument(), LoadResString(textId), hint, TRUE, TRUE);
}

CChannel* CClipboard::PasteChannel(WORD fallback) const
{
    CChannel* channel = nullptr;
    if (SUCCEEDED(m_document->GetChannel(m_document->GetActiveContainer(), &channel)) && channel)
        return channel;
    if (IsValidObjectId(fallback) && SUCCEEDED(m_document->GetChannel(static_cast<SHORT>(fallback), &channel)) &&
        channel)
        return channel;
    if (SUCCEEDED(m_document->GetChannelAt(0, &channel)) && channel)
        return channel;
    return nullptr;
}

CPattern* CClipboard::LivePattern(std::size_t held) const
{
    // The held instance's pattern may be gone, so it is found by the id
    // noted when it was copied and only compared, never read.
    CPattern* pattern = nullptr;
    if (FAILED(m_document->GetPattern(m_patternIds[held], &pattern)) || pattern != m_instances[held].GetPattern())
        return nullptr;
    return pattern;
}

// Runs the placements of one arrangement paste in its command: each call of
// `place` adds one instance (S_OK), skips one (S_FALSE) or fails, which
// takes the whole paste back and is returned.
template <class Place>
HRESULT CClipboard::RunArrangementPaste(std::size_t count, Place place)
{
    CMvCommand* command = BeginCommand(IDS_CLIP_PASTE_ARRANGEMENT, kArrangementHint);
    if (!command)
        return E_OUTOFMEMORY;
    bool added = false;
    for (std::size_t i = 0; i < count; ++i) {
        const HRESULT hr = place(i, command);
        if (FAILED(hr)) {
            command->AbortAndDelete();
            return hr;
        }
        added = added || hr == S_OK;
    }
    return Finish(command, added);
}

HRESULT CClipboard::PastePatternIds(LONG time)
{
    CChannel* target = PasteChannel(0xFFFF);
    return RunArrangementPaste(m_ids.size(), [&](std::size_t i, CMvCommand* command) {
        CPattern* pattern = nullptr;
        if (!target || FAILED(m_document->GetPattern(m_ids[i], &pattern)) || !pattern)
            return S_FALSE;
        CPatternInstance instance(pattern);
        HRESULT hr = MoveInstance(instance, time);
        return SUCCEEDED(hr) ? target->AddPatternInstance(instance, FALSE, command) : hr;
    });
}

HRESULT CClipboard::PasteInstances(LONG time)
{
    const bool oneSource = std::all_of(m_sourceChannels.begin(), m_sourceChannels.end(),
                                       [&](WORD id) { return id == m_sourceChannels.front(); });
    CChannel* shared = oneSource ? PasteChannel(m_sourceChannels.front()) : nullptr;
    return RunArrangementPaste(m_instances.size(), [&](std::size_t i, CMvCommand* command) {
        CChannel* target = shared;
        if (!oneSource && FAILED(m_document->GetChannel(static_cast<SHORT>(m_sourceChannels[i]), &target)))
            target = nullptr;
        // An instance whose channel or pattern has gone is left out.
        if (!target || !LivePattern(i))
            return S_FALSE;
        CPatternInstance instance(m_instances[i], TRUE);
        HRESULT hr = MoveInstance(instance, time);
        if (SUCCEEDED(hr))
            hr = target->AddPatternInstance(instance, FALSE, command);
        if (SUCCEEDED(hr))
            hr = target->SelectPatternInstance(instance.GetInstanceId(), TRUE);
        return FAILED(hr) ? hr : S_OK;
    });
}

HRESULT CClipboard::PasteIntoPattern(LONG time)
{
    MV_ASSERT_UI_THREAD();
    if (!m_heldPattern)
        return E_UNEXPECTED;
    if (!m_document)
        return E_UNEXPECTED;
    time = std::max<LONG>(time, 0);
    CPattern* active = nullptr;
    HRESULT hr = ActivePattern(&active);
    if (FAILED(hr))
        return hr;
    CMvCommand* command = BeginCommand(IDS_CLIP_PASTE_PATTERN, kPasteIntoPatternHint);
    if (!command)
        return E_OUTOFMEMORY;
    // A container's own pattern (no active pattern id) takes no notes.
    const bool skipNotes = m_document->GetActivePatternIdRaw() == CMidiDoc::kNone;
    hr = S_OK;
    for (const CMfxEvent& held : m_heldPattern->GetEvents()) {
        if (skipNotes && held.m_kind == MfxNote)
            continue;
        CMfxEvent event(held);
        event.m_time = event.m_time + time;
        event.SetSelected(TRUE);
        if (FAILED(hr = active->InsertEvent(event, FALSE, command, FALSE)))
            break;
    }
    if (SUCCEEDED(hr))
        hr = m_pasteTarget ? m_pasteTarget->Paste(command) : E_UNEXPECTED;
    if (FAILED(hr) || command->IsAborted()) {
        command->AbortAndDelete();
        return FAILED(hr) ? hr : E_ABORT;
    }
    return command->Commit(&CUndoHistory::Instance());
}

// ---- Pattern drag and drop ----

HRESULT CClipboard::GetContentExtent(LONG* start, LONG* end) const
{
    if (!start && !end)
        return E_INVALIDARG;
    if (m_context == kPatternEditor) {
        if (!m_heldPattern)
            return E_UNEXPECTED;
        if (start)
            *start = 0;
        if (end)
            *end = m_heldPattern->GetSize() > 0 ? m_heldPattern->CalcLength(FALSE) : 0;
        return S_OK;
    }
    if (m_context == kArrangement)
        return S_OK;
    if (start)
        *start = 0;
    if (end)
        *end = 0;
    return S_FALSE;
}

HRESULT CClipboard::GetIdList(std::vector<SHORT>* ids) const
{
    if (!ids)
        return E_POINTER;
    ids->insert(ids->end(), m_ids.begin(), m_ids.end());
    return ids->empty() ? S_FALSE : S_OK;
}

HRESULT CClipboard::SetIdList(const std::vector<SHORT>& ids)
{
    Clear();
    m_ids = ids;
    return m_ids.empty() ? S_FALSE : S_OK;
}

DWORD ScaleColor(DWORD color, float factor)
{
    auto scale = [factor](DWORD byte) {
        const float product = std::min(static_cast<float>(byte) * factor, 255.0f);
        return static_cast<DWORD>(std::max(product, 0.0f));
    };
    return scale(color & 0xFF) | (scale((color >> 8) & 0xFF) << 8) | (scale((color >> 16) & 0xFF) << 16);
}
