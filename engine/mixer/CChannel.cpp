#include "engine/mixer/CChannel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "devices/CAppConfig.h"
#include "engine/IMfxTimeConverter.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/mixer/CEmptyChunk.h"
#include "engine/mixer/GainPanText.h"
#include "engine/mixer/IChannelDocument.h"
#include "engine/mixer/ISynthWrapFactory.h"
#include "model/CMvCommand.h"
#include "model/CPattern.h"
#include "model/CUndoHistory.h"
#include "model/CUndoInsertPtrStep.h"
#include "model/CUndoRemovePtrStep.h"
#include "model/CUndoSetPtrStep.h"
#include "model/IEngineServices.h"
#include "model/SubmitUndoStep.h"
#include "platform/com/ComRuntime.h"
#include "platform/media/IGainPan.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/win/WideString.h"

namespace {

template <class... Args>
CString Text(const char* format, Args... args)
{
    CString text;
    text.Format(format, args...);
    return text;
}

void SetLabel(MP_PARAMINFO& info, const CString& label)
{
    const std::u16string wide = mvwin::Utf8ToUtf16(label.GetString());
    const std::size_t n = std::min(wide.size(), std::size(info.szLabel) - 1);
    std::fill(std::begin(info.szLabel), std::end(info.szLabel), u'\0');
    std::copy(wide.begin(), wide.begin() + static_cast<std::ptrdiff_t>(n), info.szLabel);
}

CString LabelOf(const MP_PARAMINFO& info)
{
    return CString(mvwin::Utf16ToUtf8(std::u16string_view(info.szLabel, mvwin::WideLength(info.szLabel))));
}

MP_PARAMINFO SwitchInfo(const char* label)
{
    MP_PARAMINFO info{};
    info.mpType = MPT_FLOAT;
    info.mopCaps = MP_CAPS_CURVE_JUMP;
    info.mpdMinValue = 0.0f;
    info.mpdMaxValue = 1.0f;
    info.mpdNeutralValue = 0.5f;
    SetLabel(info, label);
    return info;
}

float Normalised(const MP_PARAMINFO& info, float native)
{
    const float range = info.mpdMaxValue - info.mpdMinValue;
    if (range <= 0.0f)
        return 0.0f;
    return std::clamp((native - info.mpdMinValue) / range, 0.0f, 1.0f);
}

// The media-parameter description and value reader of a filter.
struct FilterParams {
    explicit FilterParams(IUnknown* filter)
    {
        if (filter == nullptr)
            return;
        filter->QueryInterface(IID_IMediaParamInfo, reinterpret_cast<void**>(info.Put()));
        filter->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(params.Put()));
    }
    mvcom::CComPtr<IMediaParamInfo> info;
    mvcom::CComPtr<IMediaParams> params;
};

constexpr DWORD kNotAutomatable[] = {0, 4, 7};

// Events a span's queues hold at most.
constexpr int kQueueCapacity = 128;

bool IsAutomatableIndex(DWORD i) { return std::find(std::begin(kNotAutomatable), std::end(kNotAutomatable), i) == std::end(kNotAutomatable); }

}  // namespace

// ---- Life ----

CChannel::CChannel(IChannelDocument* document, WORD id)
    : CControlParamSet(document, &m_synthOutputLock),
      CKelPersistObject(MakeKelVersionWord(kMajor, kMinor)),
      m_timeline(this),
      m_id(id),
      m_synths(this),
      m_mfxOwner(this),
      m_mfxChain(&m_mfxOwner),
      m_outputs(this),
      m_document(document)
{
    m_liveQueue1 = CMfxDataQueue::Create();
    // The host's live notes, which only a ReWire device receives.
    if (CAppConfig::IsRewireDeviceMode())
        m_liveQueue2 = CMfxDataQueue::Create();
    m_liveOutput = CMfxDataQueue::Create();
    try {
        m_heldNotes.reserve(kHeldNoteCapacity);
    } catch (const std::bad_alloc&) {
        // The audio thread then holds no notes; the other threads grow it.
    }
    for (CMfxEventQueue** q : {&m_inputQueue, &m_outputQueue}) {
        *q = new (std::nothrow) CMfxEventQueue(nullptr, kQueueCapacity);
        if (*q)
            (*q)->SetFixedCapacity();
    }
}

CChannel::~CChannel()
{
    for (CMfxDataQueue* q : {m_liveQueue1, m_liveQueue2, m_liveOutput}) {
        if (q)
            q->Release();
    }
    for (CMfxEventQueue* q : {m_inputQueue, m_outputQueue}) {
        if (q)
            q->Release();
    }
}

HRESULT CChannel::Create(IChannelDocument* document, WORD id, const CLSID* clsid, const char* name,
                         CChannel** channel)
{
    MV_ASSERT_UI_THREAD();
    if (channel == nullptr)
        return E_POINTER;
    *channel = nullptr;
    if (document == nullptr)
        return S_OK;
    CChannel* c = new (std::nothrow) CChannel(document, id);
    if (c == nullptr)
        return E_OUTOFMEMORY;
    if (c->m_liveQueue1 == nullptr || (CAppConfig::IsRewireDeviceMode() && c->m_liveQueue2 == nullptr) ||
        c->m_liveOutput == nullptr ||
        c->m_inputQueue == nullptr || c->m_outputQueue == nullptr) {
        Destroy(c);
        return E_OUTOFMEMORY;
    }
    HRESULT hr = c->InitPlayback();
    const CLSID synthClass = clsid != nullptr ? *clsid : CLSID_NullSynth;
    int outputs = 1;
    if (SUCCEEDED(hr) && synthClass != CLSID_NoSynth) {
        ISynthWrapFactory* factory = document->GetSynthWrapFactory();
        ISynthWrap* wrap = nullptr;
        hr = factory != nullptr ? factory->CreateSynthWrap(synthClass, name, &wrap) : E_UNEXPECTED;
        if (SUCCEEDED(hr) && wrap == nullptr)
            hr = E_OUTOFMEMORY;
        if (SUCCEEDED(hr)) {
            const HRESULT created = hr;
            if (FAILED(hr = c->m_synths.Insert(0, wrap)))
                DestroyPlugInWrap(wrap);
            else if (created == S_FALSE)
                document->ShowMessageBox(Text("An Error Occured Creating %s", name ? name : ""));
            if (SUCCEEDED(hr) && clsid != nullptr)
                outputs = std::max(1, wrap->GetOutputCount());
        }
    }
    if (SUCCEEDED(hr))
        hr = c->CreateBranches(outputs);
    if (FAILED(hr)) {
        Destroy(c);
        return hr;
    }
    *channel = c;
    return hr;
}

HRESULT CChannel::CreateDuplicate(IChannelDocument* document, WORD id, ISynthWrap* wrap, CChannel** channel)
{
    MV_ASSERT_UI_THREAD();
    if (channel == nullptr) {
        DestroyPlugInWrap(wrap);
        return E_POINTER;
    }
    *channel = nullptr;
    if (document == nullptr) {
        DestroyPlugInWrap(wrap);
        return S_OK;
    }
    CChannel* c = new (std::nothrow) CChannel(document, id);
    if (c == nullptr) {
        DestroyPlugInWrap(wrap);
        return E_OUTOFMEMORY;
    }
    const bool second = c->m_liveQueue2 != nullptr || !CAppConfig::IsRewireDeviceMode();
    HRESULT hr = c->m_liveQueue1 && second && c->m_liveOutput && c->m_inputQueue && c->m_outputQueue
                     ? c->InitPlayback()
                     : E_OUTOFMEMORY;
    int outputs = 1;
    if (wrap != nullptr) {
        if (SUCCEEDED(hr) && SUCCEEDED(hr = c->m_synths.Insert(0, wrap)))
            outputs = std::max(1, wrap->GetOutputCount());
        else
            DestroyPlugInWrap(wrap);
    }
    if (SUCCEEDED(hr))
        hr = c->CreateBranches(outputs);
    if (FAILED(hr)) {
        Destroy(c);
        return hr;
    }
    *channel = c;
    return hr;
}

HRESULT CChannel::CreateBranches(int count)
{
    HRESULT hr = S_OK;
    for (int i = m_outputs.GetSize(); i < count; ++i) {
        COutputBranch* branch = nullptr;
        if (FAILED(hr = CreateOutputBranch(m_document, this, &branch)))
            return hr;
        if (branch == nullptr)
            return E_OUTOFMEMORY;
        // Not in the document yet: appended without building into the graph.
        if (FAILED(hr = m_outputs.CUndoVector<COutputBranch*>::Insert(m_outputs.GetSize(), branch))) {
            DestroyOutputBranch(branch);
            return hr;
        }
    }
    if (count > 0)
        BuildOutputParams();
    return hr;
}

void CChannel::Destroy(CChannel*& channel)
{
    MV_ASSERT_UI_THREAD();
    if (channel == nullptr)
        return;
    CChannel* c = channel;
    c->ReleasePlayback();
    {
        CHeapLockGuard guard(&c->m_synthOutputLock);
        for (int i = c->m_synths.GetSize() - 1; i >= 0; --i) {
            ISynthWrap* wrap = c->m_synths[i];
            c->m_synths.CUndoVector<ISynthWrap*>::Remove(i);
            DestroyPlugInWrap(wrap);
        }
    }
    for (int i = c->m_mfxChain.GetCount() - 1; i >= 0; --i) {
        IMfxFilterWrap* wrap = c->m_mfxChain.GetAt(i);
        c->m_mfxChain.OnFxRemoved(wrap);
        DestroyPlugInWrap(wrap);
    }
    for (int i = c->m_outputs.GetSize() - 1; i >= 0; --i) {
        COutputBranch* branch = c->m_outputs[i];
        c->m_outputs.CUndoVector<COutputBranch*>::Remove(i);
        DestroyOutputBranch(branch);
    }
    delete c;
    channel = nullptr;
}

// ---- Playback members ----

HRESULT CChannel::InitPlayback()
{
    if (m_automationPattern != nullptr)
        return S_FALSE;
    HRESULT hr = CreatePattern(CPattern::kNoPattern, &m_automationPattern, CPattern::kKindMidi);
    if (FAILED(hr))
        return hr;
    if (m_automationPattern == nullptr)
        return E_OUTOFMEMORY;
    m_automationPattern->SetName("Automation");
    m_automationPattern->SetDuration(CPattern::kEndless);
    m_automationPattern->SetLaneTarget(1);
    m_automationPattern->SetLaneKind(1);
    m_automationInstance = new (std::nothrow) CPatternInstance(m_automationPattern);
    if (m_automationInstance == nullptr) {
        DestroyPattern(m_automationPattern);
        m_automationPattern = nullptr;
        return E_OUTOFMEMORY;
    }
    try {
        m_span.reserve(64);
    } catch (const std::bad_alloc&) {
        ReleasePlayback();
        return E_OUTOFMEMORY;
    }
    if (FAILED(m_spanBlocks.Create())) {
        ReleasePlayback();
        return E_OUTOFMEMORY;
    }
    m_sendClipStates = TRUE;
    return S_OK;
}

HRESULT CChannel::ReleasePlayback()
{
    if (m_automationPattern == nullptr)
        return E_UNEXPECTED;
    delete m_automationInstance;
    m_automationInstance = nullptr;
    DestroyPattern(m_automationPattern);
    m_automationPattern = nullptr;
    StopPreviews();
    m_spanBlocks.Destroy();
    return S_OK;
}

HRESULT CChannel::OnLocate(LONG t)
{
    MV_ASSERT_AUDIO_THREAD();
    HRESULT first = m_timeline.SeekInstances(t);
    // Previews change under the timeline lock; a busy lock leaves them for
    // the next locate, as the timeline's own instances are.
    CHeapLockGuard guard(m_timeline.GetLock(), CHeapLockGuard::TryOnly{});
    if (guard.OwnsLock()) {
        for (CPatternInstance& preview : m_previews) {
            const HRESULT hr = preview.SeekTime(t);
            if (SUCCEEDED(first) && FAILED(hr))
                first = hr;
        }
    }
    if (m_automationInstance) {
        const HRESULT hr = m_automationInstance->SeekTime(t);
        if (SUCCEEDED(first) && FAILED(hr))
            first = hr;
    }
    m_sendClipStates = TRUE;
    return first;
}

// ---- Playback ----

ISynthPlayer* CChannel::Player() const
{
    ISynthWrap* synth = GetSynthWrap(0);
    return synth ? synth->GetPlayer() : nullptr;
}

DWORD CChannel::GetDroppedEvents() const
{
    return m_spanDrops.load(std::memory_order_relaxed) + m_spanBlocks.GetRefusedCount() +
           m_inputQueue->GetDroppedCount() + m_outputQueue->GetDroppedCount();
}

void CChannel::UpdateClipSwitches()
{
    ISynthPlayer* player = Player();
    if (player == nullptr || m_document == nullptr || GetLoopClipHost() == nullptr)
        return;
    const BOOL countIn = m_document->IsCountInOn();
    player->SetClipsRecording(m_document->IsRecording() && !countIn);
    player->SetClipsPlaying(m_document->IsPlaying() && !countIn);
}

bool CChannel::HasStoredProgram(int midiChannel)
{
    ISynthPlayer* player = Player();
    return player && (player->GetChannelBank(midiChannel) != ISynthPlayer::kNoBank ||
                      player->GetChannelPatch(midiChannel) != ISynthPlayer::kNoPatch);
}

bool CChannel::IsStoredProgram(const CMfxEvent& event)
{
    ISynthPlayer* player = Player();
    if (player == nullptr)
        return false;
    const LONG bank = player->GetChannelBank(event.m_channel);
    const int patch = player->GetChannelPatch(event.m_channel);
    return event.m_patch.bank == (bank == ISynthPlayer::kNoBank ? 0xFFFF : static_cast<WORD>(bank)) &&
           event.m_patch.patch == (patch == ISynthPlayer::kNoPatch ? 0 : static_cast<BYTE>(patch));
}

void CChannel::QueueEvent(const CMfxEvent& event)
{
    // A full queue refuses the event and counts it.
    if (SUCCEEDED(m_inputQueue->Add(&event)) && m_document)
        m_document->TriggerMidiMeter(m_id);
}

bool CChannel::ConvertAutomation(CMfxEvent& event)
{
    // Parameters that an edit is changing keep this span's values.
    if (!m_synthOutputLock.TryLock())
        return false;
    ControlParam* p = FindParam(event.m_automation.param);
    if (p == nullptr) {
        m_synthOutputLock.Unlock();
        return false;
    }
    const float value = std::clamp(event.m_value, 0.0f, 1.0f);
    const DWORD kind = p->kind;
    const WORD number = p->number;
    if (p->value != value) {
        p->value = value;
        MarkDirty();
    }
    bool queue = true;
    switch (kind) {
    case kMedia: {
        queue = false;
        DWORD local = 0;
        GUID classId{}, instanceId{};
        IMediaParams* target = nullptr;
        if (GetParamTarget(event.m_automation.param, &local, &classId, &instanceId, &target) == S_OK && target) {
            target->SetParam(local, Native(p->info, value));
            target->Release();
        }
        break;
    }
    case kController: {
        const BYTE controller = static_cast<BYTE>(number & 0xFF);
        event.m_kind = MfxController;
        event.m_ctrl.number = controller;
        event.m_ctrl.value = static_cast<BYTE>(static_cast<int>(value * 127.0f + 0.5f) & 0xFF);
        break;
    }
    case kRpn:
    case kNrpn: {
        const WORD parameter = number;
        event.m_kind = kind == kRpn ? MfxRpn : MfxNrpn;
        event.m_rpn.number = parameter;
        event.m_rpn.value = static_cast<SHORT>(static_cast<int>(value * 16383.0f + 0.5f));
        break;
    }
    default:
        queue = false;
        break;
    }
    m_synthOutputLock.Unlock();
    return queue;
}

HRESULT CChannel::UpdateLoopClipStates(LONG from, LONG to)
{
    MV_ASSERT_AUDIO_THREAD();
    CHeapLockGuard guard(m_timeline.GetLock(), CHeapLockGuard::TryOnly{});
    if (!guard.OwnsLock())
        return S_FALSE;
    auto isClip = [](const CPatternInstance& instance) {
        const CPattern* pattern = instance.GetPattern();
        return pattern && pattern->GetClipId() != CPattern::kNoClip;
    };
    auto overlaps = [from, to](const CPatternInstance& instance) {
        return !(to < instance.GetStart() || instance.GetEnd() < from);
    };
    auto inputHolds = [this] {
        int count = 0;
        m_inputQueue->GetCount(&count);
        return count > 0;
    };
    // Only loop-clip instances have states: a timeline without any has
    // nothing to look through.
    const bool clips = m_timeline.HoldsLoopClips();
    HRESULT hr;
    // Taken at once: a request made while this set goes out is kept for the
    // next span.
    if (m_sendClipStates.exchange(FALSE, std::memory_order_acq_rel)) {
        for (DWORD clip : m_clipsToStop) {
            CMfxEvent stop(MfxNote);
            stop.m_time = std::max<LONG>(from, 0);
            stop.m_note.key = static_cast<BYTE>(clip & 0x7F);
            stop.m_note.duration = 0;
            QueueEvent(stop);
        }
        m_clipsToStop.clear();
        m_loopClipStates.clear();
        for (int i = 0; clips && i < m_timeline.GetSize(); ++i) {
            const CPatternInstance& instance = m_timeline[i];
            if (!isClip(instance) || overlaps(instance))
                continue;
            QueueEvent(instance.GetTriggerEvent(FALSE));
            if (m_loopClipStates.size() < m_loopClipStates.capacity())
                m_loopClipStates.emplace_back(instance.GetInstanceId(), 0);
        }
        if (inputHolds() && FAILED(hr = FlushToSynth(from, to)))
            return hr;
    }
    for (int i = 0; clips && i < m_timeline.GetSize(); ++i) {
        const CPatternInstance& instance = m_timeline[i];
        if (!isClip(instance))
            continue;
        const DWORD state = overlaps(instance) ? 1 : 0;
        auto known = std::find_if(m_loopClipStates.begin(), m_loopClipStates.end(),
                                  [&](const auto& entry) { return entry.first == instance.GetInstanceId(); });
        if (known == m_loopClipStates.end()) {
            QueueEvent(instance.GetTriggerEvent(state));
            if (m_loopClipStates.size() < m_loopClipStates.capacity())
                m_loopClipStates.emplace_back(instance.GetInstanceId(), state);
        } else if (known->second != state) {
            if (state == 1)
                QueueEvent(instance.GetTriggerEvent(TRUE));
            known->second = state;
        }
    }
    if (inputHolds())
        return FlushToSynth(from, to);
    return S_OK;
}

HRESULT CChannel::FlushToSynth(LONG from, LONG to)
{
    MV_ASSERT_AUDIO_THREAD();
    ISynthPlayer* player = Player();
    HRESULT hr = S_OK;
    if (m_synthOwed) {
        // Late rather than lost: the synth plays what is overdue at once.
        hr = player ? player->ProcessEvents(from, to, static_cast<SHORT>(m_id), m_outputQueue) : S_OK;
        if (hr == E_PENDING)
            return S_OK;  // still busy; the input queue waits too
        m_synthOwed = false;
        if (FAILED(hr))
            return hr;
    }
    m_outputQueue->Clear();
    hr = m_mfxChain.ProcessEvents(from, to, m_inputQueue, m_outputQueue);
    if (FAILED(hr))
        return hr;
    int count = 0;
    m_outputQueue->GetCount(&count);
    if (count > 0 && player)
        hr = player->ProcessEvents(from, to, static_cast<SHORT>(m_id), m_outputQueue);
    if (FAILED(hr) && hr != E_PENDING)
        return hr;
    m_synthOwed = hr == E_PENDING;
    m_inputQueue->Clear();
    return S_OK;
}

HRESULT CChannel::OnStart(LONG t)
{
    if (GetSynthWrap(0) == nullptr)
        return E_UNEXPECTED;
    UpdateClipSwitches();
    HRESULT hr = m_mfxChain.OnStart(t);
    if (FAILED(hr))
        return hr;
    m_chase.clear();
    ISynthPlayer* player = Player();
    if (player && FAILED(hr = player->Start(t)))
        return hr;
    try {
        // A stored program stands for its MIDI channel: made the latest
        // event of its target, it wins over a chased patch of that channel.
        for (int ch = 0; player && ch < 16; ++ch) {
            const LONG bank = player->GetChannelBank(ch);
            const int patch = player->GetChannelPatch(ch);
            if (bank == ISynthPlayer::kNoBank && patch == ISynthPlayer::kNoPatch)
                continue;
            CMfxEvent program(MfxPatch);
            program.m_time = t;
            program.m_channel = static_cast<BYTE>(ch);
            program.m_patch.bank = bank == ISynthPlayer::kNoBank ? 0xFFFF : static_cast<WORD>(bank);
            program.m_patch.patch = patch == ISynthPlayer::kNoPatch ? 0 : static_cast<BYTE>(patch);
            m_chase.insert(program);
        }
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    {
        CHeapLockGuard held(m_heldLock, CHeapLockGuard::TryOnly{});
        if (held.OwnsLock()) {
            for (auto& [key, note] : m_heldNotes) {
                MfxData on{};
                on.m_dw2 = (0x90u | (key & 15u)) | (key & 0xFF00u) | (static_cast<DWORD>(note.velocity & 0x7F) << 16);
                QueueLiveEvent(on, FALSE);
                note.resent = 1;
            }
        }
    }
    if (m_timeline.GetSize() == 0 && (m_automationPattern == nullptr || m_automationPattern->GetEvents().empty()))
        return S_FALSE;
    {
        CHeapLockGuard guard(m_timeline.GetLock());
        for (int i = 0; i < m_timeline.GetSize(); ++i) {
            const CPatternInstance& instance = m_timeline[i];
            if (instance.GetStart() <= t && instance.GetEnd() >= 0 && FAILED(hr = instance.ChaseEvents(t, &m_chase)))
                return hr;
        }
    }
    if (m_automationInstance && FAILED(hr = m_automationInstance->ChaseEvents(t, &m_chase)))
        return hr;
    for (const CMfxEvent& chased : m_chase) {
        if (chased.m_kind == MfxAutomation) {
            if (HasParam(chased.m_automation.param))
                SetParamValue(chased.m_automation.param, chased.m_value);
            continue;
        }
        // A chased program change gives way to the program the synth
        // stores for its MIDI channel.
        if (chased.m_kind == MfxPatch && HasStoredProgram(chased.m_channel) && !IsStoredProgram(chased))
            continue;
        CMfxEvent e(chased);
        e.m_time = t;
        QueueEvent(e);
    }
    m_chase.clear();
    hr = FlushToSynth(0, t);
    m_sendClipStates = TRUE;
    if (FAILED(hr))
        return hr;
    for (int i = 0; i < m_outputs.GetSize(); ++i) {
        if (FAILED(hr = m_outputs[i]->OnStart(t)))
            return hr;
    }
    return S_OK;
}

HRESULT CChannel::OnStop(LONG t)
{
    if (ISynthPlayer* player = Player(); player && GetLoopClipHost()) {
        player->SetClipsRecording(FALSE);
        player->SetClipsPlaying(FALSE);
    }
    HRESULT hr = m_mfxChain.OnStop(t);
    if (FAILED(hr))
        return hr;
    if (ISynthPlayer* player = Player(); player && FAILED(hr = player->Stop()))
        return hr;
    // The stopped synth has dropped what was queued; so does the channel.
    m_synthOwed = false;
    m_outputQueue->Clear();
    m_sendClipStates = TRUE;
    FlushAllEnvelopes();
    for (int i = 0; i < m_outputs.GetSize(); ++i) {
        if (FAILED(hr = m_outputs[i]->OnStop(t)))
            return hr;
    }
    return ResetControllers();
}

HRESULT CChannel::OnLoop(LONG loopStart, LONG loopEnd)
{
    HRESULT hr = m_mfxChain.OnLoop(loopStart, loopEnd, 0);
    if (FAILED(hr))
        return hr;
    if (ISynthPlayer* player = Player(); player && FAILED(hr = player->AdvanceTime(loopStart, loopEnd)))
        return hr;
    if (FAILED(hr = OnLocate(loopStart)))
        return hr;
    FlushAllEnvelopes();
    for (int i = 0; i < m_outputs.GetSize(); ++i) {
        if (FAILED(hr = m_outputs[i]->OnLoop(loopStart, loopEnd)))
            return hr;
    }
    return S_OK;
}

HRESULT CChannel::ResetControllers()
{
    HRESULT first = S_OK;
    for (DWORD ch = 0; ch < 16; ++ch) {
        for (DWORD message : {0xB0u | ch | (1u << 8), 0xB0u | ch | (64u << 8), 0xE0u | ch | (64u << 16)}) {
            MfxData data{};
            data.m_dw2 = message;
            const HRESULT hr = QueueLiveEvent(data, FALSE);
            if (SUCCEEDED(first) && FAILED(hr))
                first = hr;
        }
    }
    return first;
}

HRESULT CChannel::RenderSpan(LONG from, LONG to)
{
    MV_ASSERT_AUDIO_THREAD();
    const bool automation = m_automationPattern && !m_automationPattern->GetEvents().empty();
    // The clip of a last instance removed still has to be stopped.
    if (m_timeline.GetSize() == 0 && m_previews.empty() && !automation && !m_stepPreview && m_clipsToStop.empty())
        return S_FALSE;
    UpdateClipSwitches();
    ClearSpan();
    // Every event of the last span has reached the synth.
    m_spanBlocks.Reset();
    const float shuffle = m_document ? static_cast<float>(m_document->GetShuffleAmount()) : 0.0f;
    auto rendered = [this](HRESULT hr) {
        // A span fuller than the buffer plays what fitted.
        if (hr == E_OUTOFMEMORY) {
            m_spanDrops.fetch_add(1, std::memory_order_relaxed);
            return S_OK;
        }
        return hr;
    };
    HRESULT hr = S_OK;
    if (m_document && m_document->IsRecording()) {
        CHeapLockGuard guard(m_timeline.GetLock(), CHeapLockGuard::TryOnly{});
        for (std::size_t i = 0; guard.OwnsLock() && i < m_previews.size() && SUCCEEDED(hr); ++i)
            hr = rendered(m_previews[i].RenderEvents(from, to, &m_span, shuffle, &m_spanBlocks));
    }
    if (SUCCEEDED(hr) && m_document && m_document->IsPlaying()) {
        hr = UpdateLoopClipStates(from, to);
        if (SUCCEEDED(hr))
            hr = rendered(m_timeline.RenderSpan(from, to, &m_span, shuffle, &m_spanBlocks));
        if (SUCCEEDED(hr) && m_automationInstance)
            hr = rendered(m_automationInstance->RenderEvents(from, to, &m_span, 0.0f, &m_spanBlocks));
    }
    if (FAILED(hr)) {
        ClearSpan();
        return hr;
    }
    for (CMfxEvent& e : m_span) {
        if (e.m_kind == MfxPatch) {
            if (GetSynthWrap(0) == nullptr) {
                ClearSpan();
                return E_UNEXPECTED;
            }
            if (HasStoredProgram(e.m_channel))
                continue;
        } else if (e.m_kind == MfxAutomation && !ConvertAutomation(e)) {
            continue;
        }
        QueueEvent(e);
    }
    ClearSpan();
    if (FAILED(hr = FlushToSynth(from, to)))
        return hr;
    return SendPendingEnvelopes(from);
}

HRESULT CChannel::SendPendingEnvelopes(LONG from)
{
    MV_ASSERT_AUDIO_THREAD();
    // An edit holding the table: the points wait for the next span.
    if (!m_synthOutputLock.TryLock())
        return S_OK;
    HRESULT hr = S_OK;
    REFERENCE_TIME until = 0;
    bool converted = false;
    for (auto& [id, segments] : PendingEnvelopes()) {
        if (segments.empty())
            continue;
        if (!converted) {
            IParamSetDocument* document = GetDocument();
            IMfxTimeConverter* converter = document ? document->GetTimeConverter() : nullptr;
            MFX_TIME time{};
            time.format = MfxTimeTicks;
            time.ticks = std::max<LONG>(from - 1, 0);
            hr = converter ? converter->ConvertTime(&time, MfxTimeSeconds) : E_UNEXPECTED;
            if (FAILED(hr))
                break;
            until = static_cast<REFERENCE_TIME>(time.seconds * 10000000.0 + 0.5);
            converted = true;
        }
        const ControlParam* p = FindParam(id);
        if (p == nullptr) {
            hr = E_INVALIDARG;
            break;
        }
        for (MP_ENVELOPE_SEGMENT& segment : segments) {
            segment.valStart = Native(p->info, segment.valStart);
            segment.valEnd = Native(p->info, segment.valEnd);
        }
        SortEnvelope(segments);
        DWORD local = 0;
        GUID classId{}, instanceId{};
        IMediaParams* target = nullptr;
        if (GetParamTarget(id, &local, &classId, &instanceId, &target) == S_OK && target) {
            hr = target->FlushEnvelope(local, 0, until);
            if (SUCCEEDED(hr))
                hr = target->AddEnvelope(local, static_cast<DWORD>(segments.size()), segments.data());
            target->Release();
            // A plug-in that holds no more points keeps the values already set.
            if (hr == E_OUTOFMEMORY) {
                m_spanDrops.fetch_add(1, std::memory_order_relaxed);
                hr = S_OK;
            }
        }
        // Emptied, not erased: the vector keeps its room and nothing is freed here.
        segments.clear();
        if (FAILED(hr))
            break;
    }
    m_synthOutputLock.Unlock();
    return hr;
}

void CChannel::ClearSpan()
{
    // Data blocks of the span belong to the block ring.
    for (CMfxEvent& e : m_span) {
        if (e.HasBuffer())
            e.m_buffer.handle = 0;
    }
    m_span.clear();
}

// ---- Previews ----

const CPatternInstance* CChannel::GetPreview(int n) const
{
    return n >= 0 && n < static_cast<int>(m_previews.size()) ? &m_previews[static_cast<std::size_t>(n)] : nullptr;
}

namespace {

// An instance made endless from time 0, as a preview plays.
HRESULT MakeEndless(CPatternInstance& instance)
{
    HRESULT hr;
    if (FAILED(hr = instance.SetStart(0)) || FAILED(hr = instance.SetEnd(CPatternInstance::kOpenEnd)))
        return hr;
    return instance.GetPatternDuration() > 0 ? instance.SetOffset(0) : S_OK;
}

bool IsLoopClipPattern(const CPattern* pattern) { return pattern && pattern->GetClipId() != CPattern::kNoClip; }

IClipPool* EngineClipPool()
{
    IEngineServices* engine = GetEngineServices();
    return engine ? engine->GetClipPool() : nullptr;
}

}  // namespace

HRESULT CChannel::PreviewPattern(CPattern* pattern)
{
    MV_ASSERT_UI_THREAD();
    if (pattern == nullptr)
        return E_POINTER;
    CPatternInstance preview(pattern);
    HRESULT hr = MakeEndless(preview);
    if (FAILED(hr))
        return hr;
    ILoopClipHost* host = GetLoopClipHost();
    if (host && IsLoopClipPattern(pattern)) {
        IClipPool* pool = EngineClipPool();
        ILoopClip* registered = nullptr;
        if (FAILED(hr = host->RegisterClip(preview.GetInstanceId(), ILoopClipHost::kModePreview,
                                           pool ? pool->GetClip(pattern->GetClipId()) : nullptr, &registered)))
            return hr;
    }
    try {
        CHeapLockGuard guard(m_timeline.GetLock());
        m_previews.push_back(preview);
    } catch (const std::bad_alloc&) {
        if (host && IsLoopClipPattern(pattern))
            host->UnregisterClip(preview.GetInstanceId());
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CChannel::PreviewPatternInstance(DWORD id)
{
    MV_ASSERT_UI_THREAD();
    CPatternInstance* source = nullptr;
    if (m_timeline.GetPatternInstance(id, &source) != S_OK || source == nullptr)
        return E_UNEXPECTED;
    CPatternInstance preview(*source, TRUE);
    HRESULT hr = MakeEndless(preview);
    if (FAILED(hr))
        return hr;
    ILoopClipHost* host = GetLoopClipHost();
    const bool clip = host && IsLoopClipPattern(source->GetPattern());
    if (clip) {
        IClipPool* pool = EngineClipPool();
        ILoopClip* registered = nullptr;
        if (FAILED(hr = host->RegisterClip(preview.GetInstanceId(), ILoopClipHost::kModePreview,
                                           pool ? pool->GetClip(id) : nullptr, &registered)))
            return hr;
    }
    try {
        CHeapLockGuard guard(m_timeline.GetLock());
        m_previews.push_back(preview);
    } catch (const std::bad_alloc&) {
        if (clip)
            host->UnregisterClip(preview.GetInstanceId());
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT CChannel::StopPreviews()
{
    MV_ASSERT_UI_THREAD();
    ILoopClipHost* host = GetLoopClipHost();
    CHeapLockGuard guard(m_timeline.GetLock());
    if (host) {
        for (const CPatternInstance& preview : m_previews) {
            if (IsLoopClipPattern(preview.GetPattern()))
                host->UnregisterClip(preview.GetInstanceId());
        }
    }
    m_previews.clear();
    return S_OK;
}

// ---- Synth access ----

ISynthWrap* CChannel::GetSynthWrap(int n) const { return m_synths.IsValidIndex(n) ? m_synths[n] : nullptr; }

IUnknown* CChannel::GetSynthPlugIn(int n) const
{
    ISynthWrap* wrap = GetSynthWrap(n);
    return wrap ? wrap->GetPlugIn() : nullptr;
}

HRESULT CChannel::GetSynthIds(int n, GUID* classId, GUID* instanceId) const
{
    if (!m_synths.IsValidIndex(n))
        return E_INVALIDARG;
    if (classId == nullptr)
        return E_POINTER;
    ISynthWrap* wrap = m_synths[n];
    if (wrap == nullptr)
        return E_UNEXPECTED;
    *classId = wrap->GetClsid();
    if (instanceId)
        *instanceId = wrap->GetInstanceGuid();
    return S_OK;
}

CString CChannel::TrackName() const
{
    const int position = m_document ? m_document->GetChannelPosition(this) : 0;
    return Text("Track ID %d", position);
}

HRESULT CChannel::ChangeSynth(const CLSID* clsid, const char* name)
{
    MV_ASSERT_UI_THREAD();
    if (clsid == nullptr || name == nullptr)
        return E_INVALIDARG;
    if (m_document == nullptr)
        return E_UNEXPECTED;
    const int position = m_document->GetChannelPosition(this);
    CMvCommand* command =
        BeginProjectCommand(m_document, Text("Set Track %d Synth to %s", position, name).GetString(), 0, TRUE, TRUE);
    if (command == nullptr)
        return E_OUTOFMEMORY;
    ISynthWrapFactory* factory = m_document->GetSynthWrapFactory();
    ISynthWrap* wrap = nullptr;
    HRESULT hr = factory != nullptr ? factory->CreateSynthWrap(*clsid, name, &wrap) : E_UNEXPECTED;
    if (SUCCEEDED(hr) && wrap == nullptr)
        hr = E_OUTOFMEMORY;
    bool owned = false;  // the step that holds the wrapper owns it
    try {
        if (FAILED(hr))
            throw CHResultException(hr);
        if (m_synths.GetSize() > 0) {
            SubmitUndoStep<CUndoSetPtrStep<int, ISynthWrap>>(command, m_synths, 0, wrap);
        } else {
            SubmitUndoStep<CUndoInsertPtrStep<int, ISynthWrap>>(command, m_synths, 0, wrap);
        }
        owned = true;
        const int want = std::max(1, wrap->GetOutputCount());
        while (m_outputs.GetSize() < want) {
            COutputBranch* branch = nullptr;
            if (FAILED(hr = CreateOutputBranch(m_document, this, &branch)))
                throw CHResultException(hr);
            if (branch == nullptr)
                throw CHResultException(E_OUTOFMEMORY);
            try {
                SubmitUndoStep<CUndoInsertPtrStep<int, COutputBranch>>(command, m_outputs, m_outputs.GetSize(),
                                                                       branch);
            } catch (...) {
                DestroyOutputBranch(branch);
                throw;
            }
        }
        while (m_outputs.GetSize() > want)
            SubmitUndoStep<CUndoRemovePtrStep<int, COutputBranch>>(command, m_outputs, m_outputs.GetSize() - 1);
        hr = S_OK;
    } catch (const CHResultException& e) {
        hr = e.Code();
    } catch (...) {
        hr = E_FAIL;
    }
    if (FAILED(hr)) {
        command->AbortAndDelete();
        if (!owned && wrap != nullptr)
            DestroyPlugInWrap(wrap);
        return hr;
    }
    return command->Commit(&CUndoHistory::Instance());
}

HRESULT CChannel::ShowSynthProperties(int n)
{
    ISynthWrap* wrap = GetSynthWrap(n);
    if (wrap == nullptr || m_document == nullptr)
        return S_FALSE;
    CString title = CControlParamSet::GetDisplayName();
    if (title.IsEmpty())
        title = TrackName();
    title += " : ";
    title += wrap->GetDisplayName();
    return m_document->ShowSynthPropertyPage(wrap, title);
}

HRESULT CChannel::CloseSynthPropertyPage(ISynthWrap* wrap)
{
    return m_document ? m_document->CloseSynthPropertyPage(wrap) : S_OK;
}

HRESULT CChannel::NotifySynthChanged(IUnknown* synthFilter) { return m_mfxChain.NotifySynthChanged(synthFilter); }

// ---- Outputs ----

COutputBranch* CChannel::GetOutputBranch(int n) const { return m_outputs.IsValidIndex(n) ? m_outputs[n] : nullptr; }

int CChannel::GetCurrentOutput()
{
    ISynthWrap* synth = GetSynthWrap(0);
    const int synthOutputs = synth ? synth->GetOutputCount() : 1;
    const int limit = std::min(synthOutputs, m_outputs.GetSize());
    return static_cast<int>(m_currentOutput) < limit ? static_cast<int>(m_currentOutput) : 0;
}

HRESULT CChannel::SetCurrentOutput(int output)
{
    if (output < 0 || output >= m_outputs.GetSize())
        return E_INVALIDARG;
    m_currentOutput = static_cast<DWORD>(output);
    return S_OK;
}

BOOL CChannel::IsAuxSendEnabled(int output, int aux) const
{
    COutputBranch* branch = GetOutputBranch(output);
    return branch ? branch->GetAuxSendEnabled(aux) : FALSE;
}

void CChannel::SetAuxSendEnabled(int output, int aux, BOOL enabled)
{
    if (COutputBranch* branch = GetOutputBranch(output))
        branch->SetAuxSendEnabled(aux, enabled);
}

HRESULT CChannel::OnAuxBusChanged(int aux)
{
    for (int i = 0; i < m_outputs.GetSize(); ++i)
        m_outputs[i]->RefreshAuxSend(aux);
    return S_OK;
}

IUnknown* CChannel::GetChannelObject(LONG) { return nullptr; }

// ---- Graph ----

HRESULT CChannel::MarkGraphDirty()
{
    m_graphChanged = TRUE;
    return m_document ? m_document->SetGraphDirty() : E_UNEXPECTED;
}

HRESULT CChannel::OnRoutingChanged()
{
    HRESULT first = MarkGraphDirty();
    HRESULT hr = InvalidateEffectChains();
    if (SUCCEEDED(first))
        first = hr;
    // The volume/pan and aux sections follow the chain's new ends.
    for (int pass = 0; pass < 2; ++pass) {
        for (int i = 0; i < m_outputs.GetSize(); ++i) {
            hr = m_outputs[i]->InvalidateAll();
            if (SUCCEEDED(first) && FAILED(hr))
                first = hr;
        }
    }
    return first;
}

HRESULT CChannel::CreateGraphObjects()
{
    MV_ASSERT_UI_THREAD();
    if (m_graphObjects || m_document == nullptr || m_document->GetFilterGraph() == nullptr)
        return E_UNEXPECTED;
    HRESULT hr;
    for (int i = 0; i < m_synths.GetSize(); ++i) {
        ISynthWrap* wrap = m_synths[i];
        if (wrap && wrap->GetFilter() == nullptr && FAILED(hr = wrap->CreateFilter()))
            return hr;
    }
    hr = OnRoutingChanged();
    m_graphObjects = TRUE;
    return hr;
}

HRESULT CChannel::ReleaseGraphObjects()
{
    MV_ASSERT_UI_THREAD();
    for (int i = 0; i < m_synths.GetSize(); ++i) {
        ISynthWrap* wrap = m_synths[i];
        if (wrap && wrap->GetFilter()) {
            KeepAlive(wrap->GetFilter());
            wrap->RemoveFromGraph();
        }
    }
    const HRESULT hr = MarkGraphDirty();
    m_graphObjects = FALSE;
    return hr;
}

HRESULT CChannel::AddToGraph()
{
    MV_ASSERT_UI_THREAD();
    CDxFilterGraph* graph = m_document ? m_document->GetFilterGraph() : nullptr;
    if (!m_graphObjects || graph == nullptr)
        return E_UNEXPECTED;
    ISynthWrap* synth = GetSynthWrap(0);
    if (m_graphChanged && synth != nullptr) {
        if (synth->GetFilter() == nullptr)
            return E_UNEXPECTED;
        const std::u16string name = mvwin::Utf8ToUtf16(Text("Chan%d DXi", static_cast<int>(GetChannelId())).GetString());
        HRESULT hr = graph->AddFilter(synth->GetFilter(), name.c_str());
        if (FAILED(hr))
            return hr;
    }
    for (int i = 0; i < m_outputs.GetSize(); ++i) {
        if (!m_outputs[i]->IsBuilt())
            continue;
        HRESULT hr = m_outputs[i]->AddDirtySections();
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CChannel::RemoveFromGraph()
{
    MV_ASSERT_UI_THREAD();
    ISynthWrap* synth = GetSynthWrap(0);
    if (m_graphChanged && synth != nullptr && synth->GetFilter() != nullptr)
        synth->RemoveFromGraph();
    for (int i = 0; i < m_outputs.GetSize(); ++i) {
        if (m_outputs[i]->IsBuilt())
            m_outputs[i]->RemoveDirtySections();
    }
    return S_OK;
}

HRESULT CChannel::ConnectInGraph()
{
    MV_ASSERT_UI_THREAD();
    CDxFilterGraph* graph = m_document ? m_document->GetFilterGraph() : nullptr;
    if (!m_graphObjects || graph == nullptr)
        return E_UNEXPECTED;
    HRESULT hr;
    if (m_graphChanged) {
        ISynthWrap* synth = GetSynthWrap(0);
        if (synth != nullptr && synth->GetFilter() == nullptr)
            return E_UNEXPECTED;
        mvcom::CComPtr<IBaseFilter> source;
        if (FAILED(m_document->AcquireSourceFilter(source.Put())) || !source)
            return E_FAIL;
        IBaseFilter* synthFilter = synth ? synth->GetFilter() : nullptr;
        hr = S_OK;
        if (synthFilter != nullptr && CDxFilterGraph::FindInputPin(synthFilter, 0) != nullptr) {
            hr = graph->Connect(source.Get(), 0, synthFilter, 0, nullptr);
            const int n = std::min(synth->GetOutputCount(), m_outputs.GetSize());
            for (int i = 0; SUCCEEDED(hr) && i < n; ++i) {
                IPin* in = m_outputs[i]->GetInputPin();
                hr = in ? graph->ConnectToPin(synthFilter, i, in, nullptr) : E_UNEXPECTED;
            }
        } else if (m_outputs.GetSize() > 0 && m_outputs[0]->GetInputPin() != nullptr) {
            hr = graph->ConnectToPin(source.Get(), 0, m_outputs[0]->GetInputPin(), nullptr);
        }
        if (FAILED(hr)) {
            m_document->AddErrorMessage(
                Text("%s Failed to Connect", synth ? synth->GetDisplayName().GetString() : GetDisplayName().GetString()));
            if (synth)
                synth->SetConnected(FALSE);
            return hr;
        }
        if (synth)
            synth->SetConnected(TRUE);
        m_graphChanged = FALSE;
    }
    for (int i = 0; i < m_outputs.GetSize(); ++i) {
        if (!m_outputs[i]->IsBuilt())
            continue;
        if (FAILED(hr = m_outputs[i]->Connect()))
            return hr;
    }
    return S_OK;
}

// ---- Document life ----

HRESULT CChannel::SetRCRegistered(BOOL registered)
{
    std::vector<GroupKey> keys;
    HRESULT hr = ListParams(&keys, nullptr);
    if (FAILED(hr))
        return hr;
    for (const GroupKey& key : keys) {
        CRCParamMap* map = GetRCParamMap(key);
        if (map == nullptr)
            continue;
        for (const auto& [id, param] : map->GetMap().Items()) {
            if (param)
                registered ? param->Register() : param->Unregister();
        }
    }
    return S_OK;
}

HRESULT CChannel::OnInsertedIntoDocument()
{
    MV_ASSERT_UI_THREAD();
    // A channel loaded from a project made its graph objects as it loaded.
    HRESULT hr = S_OK;
    if (!m_graphObjects && FAILED(hr = CreateGraphObjects()))
        return hr;
    for (int i = 0; i < m_outputs.GetSize(); ++i) {
        if (!m_outputs[i]->IsBuilt() && FAILED(hr = m_outputs[i]->AddToGraph()))
            return hr;
    }
    if (FAILED(hr = BuildParams()))
        return hr;
    RefreshChannelParams();
    SetRCRegistered(TRUE);
    RegisterAllLoopClips();
    ReserveClipStates();
    return S_OK;
}

HRESULT CChannel::OnRemovedFromDocument()
{
    MV_ASSERT_UI_THREAD();
    if (ISynthWrap* synth = GetSynthWrap(0))
        CloseSynthPropertyPage(synth);
    EndRCGestures();
    for (int i = 0; i < m_outputs.GetSize(); ++i)
        m_outputs[i]->RemoveFromGraph();
    SetRCRegistered(FALSE);
    for (int i = 0; i < m_mfxChain.GetCount(); ++i) {
        if (m_document)
            m_document->CloseMfxPropertyPage(m_mfxChain.GetAt(i));
    }
    return ReleaseGraphObjects();
}

HRESULT CChannel::KeepAlive(IUnknown* object)
{
    return m_document ? m_document->KeepObjectAlive(object) : E_UNEXPECTED;
}

// ---- Parameters ----

DWORD CChannel::GetFirstChannelId() const
{
    const ParamGroup* group = FindGroup({kChannelGroupClass, GUID_NULL});
    return group ? group->first : kNoGroup;
}

bool CChannel::ChannelLocal(DWORD id, int* output, DWORD* local) const
{
    const ParamGroup* group = FindGroup({kChannelGroupClass, GUID_NULL});
    if (group == nullptr || id < group->first || id - group->first >= group->count)
        return false;
    const DWORD offset = id - group->first;
    if (output)
        *output = static_cast<int>(offset / kIdsPerOutput);
    if (local)
        *local = offset % kIdsPerOutput;
    return true;
}

float CChannel::Native(const MP_PARAMINFO& info, float value)
{
    return info.mpdMinValue + (info.mpdMaxValue - info.mpdMinValue) * value;
}

HRESULT CChannel::BuildOutputParams()
{
    MV_ASSERT_UI_THREAD();
    CHeapLockGuard guard(&m_synthOutputLock);
    const int outputs = m_outputs.GetSize();
    DWORD first = 0;
    HRESULT hr = RegisterGroup(kChannelGroupClass, GUID_NULL, kIdsPerOutput * std::max(outputs, 1), &first);
    if (FAILED(hr))
        return hr;
    // The descriptions come from output 0's filters; before they are built
    // a filter of the same class describes them.
    mvcom::CComPtr<IBaseFilter> volPanModel;
    mvcom::CComPtr<IBaseFilter> sendModel;
    COutputBranch* branch0 = GetOutputBranch(0);
    if (branch0 && branch0->GetVolPan()) {
        volPanModel = mvcom::CComPtr<IBaseFilter>(branch0->GetVolPan());
        sendModel = mvcom::CComPtr<IBaseFilter>(branch0->GetAuxSend(0) ? branch0->GetAuxSend(0) : branch0->GetVolPan());
    } else {
        CoCreateInstance(CLSID_GainPanFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                         reinterpret_cast<void**>(volPanModel.Put()));
        sendModel = mvcom::CComPtr<IBaseFilter>(volPanModel.Get());
    }
    FilterParams volPan(volPanModel.Get());
    FilterParams send(sendModel.Get());
    DWORD count = 0;
    if (volPan.info)
        volPan.info->GetParamCount(&count);
    count = std::min<DWORD>(count, 8);

    for (int n = 0; n < outputs; ++n) {
        COutputBranch* branch = m_outputs[n];
        FilterParams ownVolPan(branch->GetVolPan());
        const DWORD base = first + kIdsPerOutput * static_cast<DWORD>(n);
        for (DWORD u = 0; u < kIdsPerOutput; ++u) {
            const DWORD id = base + u;
            if (HasParam(id))
                continue;
            ControlParam p{};
            p.kind = kMedia;
            p.number = 0xFFFF;
            p.touchStartValue = kNoTouch;
            if (u < kFirstAuxIndex) {
                if (u >= count || !volPan.info || FAILED(volPan.info->GetParamInfo(u, &p.info)))
                    continue;
                p.value = Normalised(p.info, p.info.mpdNeutralValue);
                float native = 0.0f;
                if (ownVolPan.params && SUCCEEDED(ownVolPan.params->GetParam(u, &native)))
                    p.value = Normalised(p.info, native);
                p.automatable = IsAutomatableIndex(u) ? 1 : 0;
            } else if (u < kEnableAuxIndex) {
                const DWORD k = (u - kFirstAuxIndex) / 8;
                const DWORD i = (u - kFirstAuxIndex) % 8;
                if (i >= count || !send.info || FAILED(send.info->GetParamInfo(i, &p.info)))
                    continue;
                SetLabel(p.info, Text("Aux%d Send %s", static_cast<int>(k + 1), LabelOf(p.info).GetString()));
                p.value = Normalised(p.info, p.info.mpdNeutralValue);
                FilterParams ownSend(branch->GetAuxSend(static_cast<int>(k)));
                float native = 0.0f;
                if (ownSend.params && SUCCEEDED(ownSend.params->GetParam(i, &native)))
                    p.value = Normalised(p.info, native);
                p.automatable = IsAutomatableIndex(i) ? 1 : 0;
            } else if (u < kSoloIndex) {
                p.info = SwitchInfo(Text("Enable Aux %d", static_cast<int>(u - kEnableAuxIndex + 1)).GetString());
            } else if (u == kSoloIndex) {
                p.info = SwitchInfo("Solo");
            } else {
                p.info = SwitchInfo("Pad");
            }
            AddParamIfAbsent(id, p);
        }
    }
    return S_OK;
}

HRESULT CChannel::BuildParams()
{
    MV_ASSERT_UI_THREAD();
    HRESULT hr = BuildOutputParams();
    if (FAILED(hr))
        return hr;
    for (int n = 0; n < m_outputs.GetSize(); ++n) {
        CFxChain& chain = m_outputs[n]->GetChain();
        for (int i = 0; i < chain.GetCount(); ++i) {
            IBaseFilter* plugIn = chain.GetFxPlugIn(i);
            if (plugIn && FAILED(hr = AddPlugInParams(chain.GetFxClsid(i), chain.GetFxInstanceGuid(i), plugIn)))
                return hr;
        }
    }
    ISynthWrap* synth = GetSynthWrap(0);
    if (synth == nullptr || synth->GetPlugIn() == nullptr)
        return S_OK;
    // A synth without name lists still has its media parameters.
    if (ISynthNameLists* lists = synth->GetNameLists())
        return AddControllerParams(synth->GetClsid(), synth->GetInstanceGuid(), lists);
    return AddPlugInParams(synth->GetClsid(), synth->GetInstanceGuid(), synth->GetPlugIn());
}

HRESULT CChannel::RefreshChannelParams()
{
    const DWORD first = GetFirstChannelId();
    if (first == kNoGroup)
        return S_FALSE;
    for (DWORD u = 0; u < kSavedPerOutput; ++u) {
        float value = 0.0f;
        if (SUCCEEDED(GetParamValue(first + u, &value)))
            ApplyParam(first + u, value, m_midiChannel);
    }
    return S_OK;
}

HRESULT CChannel::SetParamValue(DWORD id, float value)
{
    HRESULT hr = CControlParamSet::SetParamValue(id, value);
    if (FAILED(hr))
        return hr;
    float stored = 0.0f;
    GetParamValue(id, &stored);
    return ApplyParam(id, stored, m_midiChannel);
}

HRESULT CChannel::SetParamValueFromUser(DWORD id, double value)
{
    if (!HasParam(id))
        return E_INVALIDARG;
    HRESULT hr = SetParamValue(id, static_cast<float>(value));
    if (FAILED(hr))
        return hr;
    DWORD automatable = 0;
    IsParamAutomatable(id, &automatable);
    if (automatable && m_document) {
        const HRESULT rec = m_document->RecordParamValue(id, m_id, static_cast<float>(value));
        if (FAILED(rec))
            return rec;
    }
    return hr;
}

HRESULT CChannel::BeginTouch(DWORD id, DWORD bits)
{
    if (m_document) {
        const HRESULT hr = m_document->BeginParamTouch(id, m_id);
        if (FAILED(hr))
            return hr;
    }
    return CControlParamSet::BeginTouch(id, bits);
}

HRESULT CChannel::EndTouch(DWORD id, DWORD bits)
{
    float value = 0.0f;
    if (TouchChangedValue(id, &value) && m_document)
        m_document->SetChannelParam(m_id, id, value);
    if (m_document) {
        const HRESULT hr = m_document->EndParamTouch(id, m_id);
        if (FAILED(hr))
            return hr;
    }
    return CControlParamSet::EndTouch(id, bits);
}

HRESULT CChannel::ApplyParam(DWORD id, float value, WORD midiChannel)
{
    MP_PARAMINFO info{};
    DWORD kind = 0;
    WORD number = 0;
    {
        CHeapLockGuard guard(&m_synthOutputLock);
        ControlParam* p = FindParam(id);
        if (p == nullptr)
            return E_INVALIDARG;
        if (p->touchMask & kTouchPlugInEditor)
            return S_FALSE;
        info = p->info;
        kind = p->kind;
        number = p->number;
    }
    const float native = Native(info, value);
    DWORD local = 0;
    GUID classId{}, instanceId{};
    mvcom::CComPtr<IMediaParams> target;
    HRESULT hr = GetParamTarget(id, &local, &classId, &instanceId, target.Put());
    if (FAILED(hr))
        return hr;
    if (IsSynthParam(id)) {
        switch (kind) {
        case kMedia:
            return target ? target->SetParam(local, native) : S_FALSE;
        case kController: {
            MfxData data{};
            const DWORD status = 0xB0u | (midiChannel & 15u);
            data.m_dw2 = status | (static_cast<DWORD>(number & 0x7F) << 8) |
                         (static_cast<DWORD>(static_cast<int>(native) & 0x7F) << 16);
            return QueueLiveEvent(data, FALSE);
        }
        case kRpn:
        case kNrpn:
            return SendParameterNumberValue(midiChannel & 15, number, std::clamp(static_cast<int>(native), 0, 16383),
                                            kind == kRpn ? TRUE : FALSE);
        default:
            return S_FALSE;
        }
    }
    if (target) {
        hr = target->SetParam(local, native);
        if (local % kIdsPerOutput == kMuteIndex && m_document)
            m_document->InvalidateMuteState();
        return hr;
    }
    int output = 0;
    DWORD u = 0;
    if (ChannelLocal(id, &output, &u)) {
        if (u >= kEnableAuxIndex && u < kSoloIndex) {
            SetAuxSendEnabled(output, static_cast<int>(u - kEnableAuxIndex), value >= 0.5f);
            return S_OK;
        }
        if (u == kSoloIndex)
            return m_document ? m_document->UpdateSoloMutes() : S_OK;
        if (u < kEnableAuxIndex)
            return S_OK;  // the filter is not built: the value is applied when it is
        return E_INVALIDARG;
    }
    return hr;
}

HRESULT CChannel::GetParamTarget(DWORD id, DWORD* localIndex, GUID* classId, GUID* instanceId,
                                 IMediaParams** params)
{
    if (localIndex == nullptr || classId == nullptr || instanceId == nullptr || params == nullptr)
        return E_POINTER;
    *params = nullptr;
    DWORD local = 0;
    if (FAILED(GetParamGroup(id, &local, classId, instanceId)) || !HasParam(id))
        return E_INVALIDARG;
    *localIndex = local;
    auto query = [&](IUnknown* filter) -> HRESULT {
        if (filter == nullptr)
            return S_OK;
        filter->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(params));
        return S_OK;
    };
    ISynthWrap* synth = GetSynthWrap(0);
    if (synth && *classId == synth->GetClsid() && *instanceId == synth->GetInstanceGuid())
        return query(synth->GetFilter());
    if (*classId == kChannelGroupClass && *instanceId == GUID_NULL) {
        const int output = static_cast<int>(local / kIdsPerOutput);
        const DWORD u = local & 63;
        COutputBranch* branch = GetOutputBranch(output);
        if (u < kFirstAuxIndex) {
            *localIndex = u;
            return query(branch ? branch->GetVolPan() : nullptr);
        }
        if (u < kEnableAuxIndex) {
            *localIndex = u & 7;
            return query(branch ? branch->GetAuxSend(static_cast<int>((u - kFirstAuxIndex) / 8)) : nullptr);
        }
        if (u <= kSoloIndex)
            return S_FALSE;
        return S_OK;
    }
    for (int n = 0; n < m_outputs.GetSize(); ++n) {
        CFxChain& chain = m_outputs[n]->GetChain();
        for (int i = 0; i < chain.GetCount(); ++i) {
            if (chain.GetFxClsid(i) == *classId && chain.GetFxInstanceGuid(i) == *instanceId)
                return query(chain.GetFxPlugIn(i));
        }
    }
    return S_OK;
}

BOOL CChannel::IsChannelParam(DWORD id) { return ChannelLocal(id, nullptr, nullptr) ? TRUE : FALSE; }

BOOL CChannel::IsSynthParam(DWORD id)
{
    ISynthWrap* synth = GetSynthWrap(0);
    if (synth == nullptr)
        return FALSE;
    GUID classId{}, instanceId{};
    if (FAILED(GetParamGroup(id, nullptr, &classId, &instanceId)))
        return FALSE;
    return classId == synth->GetClsid() && instanceId == synth->GetInstanceGuid();
}

HRESULT CChannel::InvalidateEffectChains()
{
    for (int i = 0; i < m_outputs.GetSize(); ++i)
        m_outputs[i]->GetChain().MarkAllDirty();
    return S_OK;
}

HRESULT CChannel::FlushAllEnvelopes()
{
    ISynthWrap* synth = GetSynthWrap(0);
    if (synth == nullptr)
        return E_UNEXPECTED;
    HRESULT first = S_OK;
    auto flush = [&](IUnknown* filter) {
        if (filter == nullptr)
            return;
        const HRESULT hr = FlushPlugInEnvelopes(filter);
        if (SUCCEEDED(first) && FAILED(hr))
            first = hr;
    };
    flush(synth->GetFilter());
    for (int n = 0; n < m_outputs.GetSize(); ++n) {
        COutputBranch* branch = m_outputs[n];
        flush(branch->GetVolPan());
        CFxChain& chain = branch->GetChain();
        for (int i = 0; i < chain.GetCount(); ++i)
            flush(chain.GetFxPlugIn(i));
        for (int a = 0; a < COutputBranch::kAuxSends; ++a)
            flush(branch->GetAuxSend(a));
    }
    return first;
}

// ---- Names and texts ----

HRESULT CChannel::GetParamName(DWORD id, CString* name)
{
    HRESULT hr = CControlParamSet::GetParamName(id, name);
    if (FAILED(hr))
        return hr;
    const DWORD first = GetFirstChannelId();
    if (IsChannelParam(id) && id > first && m_outputs.GetSize() >= 2)
        *name += Text("(Out %d)", static_cast<int>((id - first) / kIdsPerOutput) + 1);
    return S_OK;
}

CString CChannel::GetDisplayName()
{
    CString name = CControlParamSet::GetDisplayName();
    if (!name.IsEmpty())
        return name;
    ISynthWrap* synth = GetSynthWrap(0);
    m_displayNameCache = synth ? synth->GetDisplayName() : CString();
    if (m_displayNameCache.IsEmpty())
        m_displayNameCache = "Track Name";
    return m_displayNameCache;
}

HRESULT CChannel::GetGroupName(CString* name, const GroupKey& key)
{
    if (name == nullptr)
        return E_POINTER;
    if (key.classId == kChannelGroupClass && key.instanceId == GUID_NULL) {
        *name = "Track";
        return S_OK;
    }
    ISynthWrap* synth = GetSynthWrap(0);
    if (synth && key.classId == synth->GetClsid() && key.instanceId == synth->GetInstanceGuid()) {
        *name = synth->GetDisplayName();
        return S_OK;
    }
    for (int n = 0; n < m_outputs.GetSize(); ++n) {
        CFxChain& chain = m_outputs[n]->GetChain();
        for (int i = 0; i < chain.GetCount(); ++i) {
            if (chain.GetFxClsid(i) == key.classId && chain.GetFxInstanceGuid(i) == key.instanceId) {
                *name = chain.GetFxName(i);
                if (m_outputs.GetSize() >= 2)
                    *name += Text("(Out %d)", n + 1);
                return S_OK;
            }
        }
    }
    *name = "unknown";
    return S_OK;
}

HRESULT CChannel::FormatValue(DWORD id, float value, CString* text)
{
    if (text == nullptr)
        return E_POINTER;
    MP_PARAMINFO info{};
    if (FAILED(GetParamInfo(id, &info)))
        return E_INVALIDARG;
    const DWORD first = GetFirstChannelId();
    if (first == kNoGroup)
        return E_UNEXPECTED;
    DWORD rule = id;
    int output = 0;
    DWORD u = 0;
    if (ChannelLocal(id, &output, &u))
        rule = u == kSoloIndex ? kMuteIndex : (u & 7);
    FormatGainPanValue(rule, info, value, text);
    return S_OK;
}

// ---- Solo and mute ----

BOOL CChannel::IsOutputMuted(int output)
{
    const DWORD first = GetFirstChannelId();
    float value = 0.0f;
    if (first == kNoGroup || output < 0 || output >= m_outputs.GetSize() ||
        FAILED(GetParamValue(first + kIdsPerOutput * output + kMuteIndex, &value)))
        return FALSE;
    return value > 0.5f;
}

BOOL CChannel::IsOutputSoloed(int output)
{
    const DWORD first = GetFirstChannelId();
    float value = 0.0f;
    if (first == kNoGroup || output < 0 || output >= m_outputs.GetSize() ||
        FAILED(GetParamValue(first + kIdsPerOutput * output + kSoloIndex, &value)))
        return FALSE;
    return value > 0.5f;
}

HRESULT CChannel::IsOutputMuted(int output, BOOL* muted)
{
    if (muted == nullptr)
        return E_POINTER;
    *muted = IsOutputMuted(output);
    return S_OK;
}

HRESULT CChannel::IsOutputSoloed(int output, BOOL* soloed)
{
    if (soloed == nullptr)
        return E_POINTER;
    *soloed = IsOutputSoloed(output);
    return S_OK;
}

HRESULT CChannel::SetOutputMute(int output, BOOL on)
{
    if (output < 0 || output >= m_outputs.GetSize())
        return E_INVALIDARG;
    const DWORD first = GetFirstChannelId();
    if (first == kNoGroup)
        return S_OK;
    return SetParamValue(first + kIdsPerOutput * output + kMuteIndex, on ? 1.0f : 0.0f);
}

HRESULT CChannel::SetOutputSolo(int output, BOOL on)
{
    if (output < 0 || output >= m_outputs.GetSize())
        return S_OK;
    const DWORD first = GetFirstChannelId();
    if (first == kNoGroup)
        return S_OK;
    return SetParamValue(first + kIdsPerOutput * output + kSoloIndex, on ? 1.0f : 0.0f);
}

HRESULT CChannel::ApplySoloMute()
{
    const BOOL noneSoloed = m_document ? m_document->IsNoChannelSoloed() : TRUE;
    for (int n = 0; n < m_outputs.GetSize(); ++n) {
        const float gain = IsOutputSoloed(n) || noneSoloed ? 0.0f : 1.0f;
        FilterParams volPan(m_outputs[n]->GetVolPan());
        if (!volPan.params)
            continue;
        const HRESULT hr = volPan.params->SetParam(kSoloMuteIndex, gain);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

// ---- Timeline ----

HRESULT CChannel::AddPatternInstance(const CPatternInstance& instance, BOOL createCommand, CMvCommand* command)
{
    return m_timeline.AddPatternInstance(instance, createCommand, command);
}

HRESULT CChannel::DeletePatternInstance(DWORD id, BOOL createCommand, CMvCommand* command)
{
    return m_timeline.DeletePatternInstance(id, createCommand, command);
}

HRESULT CChannel::GetPatternInstance(DWORD id, CPatternInstance** instance)
{
    return m_timeline.GetPatternInstance(id, instance);
}

void CChannel::SelectAllPatternInstances(BOOL selected) { m_timeline.SelectAllPatternInstances(selected); }

HRESULT CChannel::SelectPatternInstance(DWORD id, BOOL selected)
{
    return m_timeline.SelectPatternInstance(id, selected);
}

HRESULT CChannel::ToggleSelectPatternInstance(DWORD id, BOOL* state)
{
    return m_timeline.ToggleSelectPatternInstance(id, state);
}

HRESULT CChannel::CollectSelectedInstances(std::vector<std::pair<DWORD, WORD>>* selected)
{
    if (selected == nullptr)
        return E_POINTER;
    for (int i = 0; i < m_timeline.GetSize(); ++i) {
        const CPatternInstance& instance = m_timeline[i];
        if (instance.IsSelected())
            selected->emplace_back(instance.GetInstanceId(), m_id);
    }
    return S_OK;
}

void CChannel::InvalidatePatternInstances(SHORT patternId)
{
    m_timeline.InvalidatePatternInstances(patternId);
    for (CPatternInstance& preview : m_previews) {
        if (patternId == kAllPatterns || preview.GetPatternID() == patternId)
            preview.ResetCursor();
    }
}

ILoopClipHost* CChannel::GetLoopClipHost()
{
    ISynthWrap* synth = GetSynthWrap(0);
    return synth && synth->IsLoopClipPlayer() ? synth->GetLoopClipHost() : nullptr;
}

int CChannel::GetTrackIndex()
{
    const int position = m_document ? m_document->GetChannelPosition(this) : 0;
    return position > 0 ? position - 1 : 0;
}

HRESULT CChannel::RegisterLoopClip(CPatternInstance* instance)
{
    if (instance == nullptr)
        return E_POINTER;
    ILoopClipHost* host = GetLoopClipHost();
    CPattern* pattern = instance->GetPattern();
    if (host == nullptr || pattern == nullptr || pattern->GetClipId() == CPattern::kNoClip)
        return S_FALSE;
    IEngineServices* engine = GetEngineServices();
    IClipPool* pool = engine ? engine->GetClipPool() : nullptr;
    if (pool == nullptr)
        return E_UNEXPECTED;
    const DWORD id = instance->GetInstanceId();
    HRESULT hr;
    if (ILoopClip* own = pool->GetClip(id)) {
        hr = host->ReregisterClip(id, own);
    } else {
        ILoopClip* registered = nullptr;
        hr = host->RegisterClip(id, ILoopClipHost::kModeTimeline, pool->GetClip(pattern->GetClipId()), &registered);
    }
    if (FAILED(hr))
        return hr;
    // The clip follows the instance's place and transpose.
    const LONG end = instance->GetEnd();
    instance->SetStart(instance->GetStart());
    instance->SetEnd(end);
    instance->SetTranspose(instance->GetTranspose());
    return S_OK;
}

HRESULT CChannel::RegisterAllLoopClips()
{
    if (GetLoopClipHost() == nullptr)
        return S_FALSE;
    HRESULT first = S_OK;
    for (int i = 0; i < m_timeline.GetSize(); ++i) {
        CPatternInstance* instance = nullptr;
        if (m_timeline.GetPatternInstance(m_timeline[i].GetInstanceId(), &instance) != S_OK)
            continue;
        const HRESULT hr = RegisterLoopClip(instance);
        if (SUCCEEDED(first) && FAILED(hr))
            first = hr;
    }
    return first;
}

void CChannel::ReserveClipStates()
{
    CHeapLockGuard guard(m_timeline.GetLock());
    const std::size_t wanted = static_cast<std::size_t>(m_timeline.GetSize()) + 16;
    try {
        if (m_loopClipStates.capacity() < wanted)
            m_loopClipStates.reserve(wanted * 2);
    } catch (const std::bad_alloc&) {
        // Instances beyond the room get their triggers sent again each span
        // they change state, which the player takes as it is.
    }
}

HRESULT CChannel::OnInstanceInserted(DWORD instanceId)
{
    InvalidatePatternInstances(kAllPatterns);
    ReserveClipStates();
    if (GetLoopClipHost() == nullptr)
        return S_OK;
    CPatternInstance* instance = nullptr;
    if (m_timeline.GetPatternInstance(instanceId, &instance) != S_OK || instance == nullptr)
        return S_OK;
    const HRESULT hr = RegisterLoopClip(instance);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT CChannel::OnInstanceRemoved(DWORD instanceId, DWORD clipId)
{
    InvalidatePatternInstances(kAllPatterns);
    if (ILoopClipHost* host = GetLoopClipHost())
        host->UnregisterClip(instanceId);
    if (clipId != kNoClip) {
        CHeapLockGuard guard(m_timeline.GetLock());
        try {
            if (std::find(m_clipsToStop.begin(), m_clipsToStop.end(), clipId) == m_clipsToStop.end())
                m_clipsToStop.push_back(clipId);
        } catch (const std::bad_alloc&) {
            return E_OUTOFMEMORY;
        }
        m_sendClipStates = TRUE;
    }
    return S_OK;
}

// ---- Live input ----

HRESULT CChannel::QueueLiveEvent(const MfxData& event, BOOL second)
{
    CMfxDataQueue* queue = second ? m_liveQueue2 : m_liveQueue1;
    if (queue == nullptr)
        return E_FAIL;
    CHeapLockGuard guard(m_liveLock, CHeapLockGuard::TryOnAudio{});
    return guard.OwnsLock() ? queue->Add(&event) : S_FALSE;
}

void CChannel::GetKeyRange(WORD* low, WORD* high) const
{
    if (low)
        *low = m_keyLow;
    if (high)
        *high = m_keyHigh;
}

void CChannel::SetKeyRange(WORD low, WORD high)
{
    m_keyLow = std::min<WORD>(low, 127);
    m_keyHigh = std::min<WORD>(high, 127);
}

void CChannel::GetVelocityRange(WORD* low, WORD* high) const
{
    if (low)
        *low = m_velocityLow;
    if (high)
        *high = m_velocityHigh;
}

void CChannel::SetVelocityRange(WORD low, WORD high)
{
    m_velocityLow = std::min<WORD>(low, 127);
    m_velocityHigh = std::min<WORD>(high, 127);
}

namespace {

// The held-note key: MIDI channel in bits 0-3, sounding note in 8-15, port
// from 16 on.
constexpr DWORD HeldKey(DWORD channel, DWORD note, DWORD port)
{
    return (channel & 15u) | (note & 0xFFu) << 8 | port << 16;
}

}  // namespace

HRESULT CChannel::QueueShortMessage(DWORD message, BOOL second, DWORD time)
{
    MfxData data{};
    data.m_dw1 = time;
    data.m_dw2 = message;
    return QueueLiveEvent(data, second);
}

CChannel::HeldNotes::iterator CChannel::HeldNotePlace(DWORD key)
{
    return std::lower_bound(m_heldNotes.begin(), m_heldNotes.end(), key,
                            [](const auto& entry, DWORD k) { return entry.first < k; });
}

CChannel::HeldNotes::iterator CChannel::FindHeldNote(DWORD key)
{
    const auto it = HeldNotePlace(key);
    return it != m_heldNotes.end() && it->first == key ? it : m_heldNotes.end();
}

bool CChannel::EnterHeldNote(DWORD key, const CNoteInfo& info, bool audio)
{
    if (audio && m_heldNotes.size() == m_heldNotes.capacity())
        return false;
    try {
        m_heldNotes.emplace(HeldNotePlace(key), key, info);
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void CChannel::SetInputTranspose(SHORT transpose)
{
    m_inputTranspose = std::clamp<SHORT>(transpose, -127, 127);
    CHeapLockGuard guard(&m_heldLock);
    if (m_heldNotes.empty())
        return;
    HeldNotes moved;
    moved.reserve(std::max(m_heldNotes.capacity(), kHeldNoteCapacity));
    for (const auto& [key, note] : m_heldNotes) {
        const DWORD channel = key & 15u;
        QueueShortMessage(0x80u | channel | (key & 0xFF00u));
        const DWORD sounding = static_cast<DWORD>(std::clamp(note.playedNote + m_inputTranspose, 0, 127));
        const DWORD newKey = HeldKey(channel, sounding, key >> 16);
        // Two played notes may now sound as one: the later one stands.
        const auto same = std::find_if(moved.begin(), moved.end(), [newKey](const auto& e) { return e.first == newKey; });
        if (same != moved.end())
            same->second = note;
        else
            moved.emplace_back(newKey, note);
        QueueShortMessage(0x90u | channel | sounding << 8 | static_cast<DWORD>(note.velocity & 0x7F) << 16);
    }
    std::sort(moved.begin(), moved.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    m_heldNotes.swap(moved);
}

void CChannel::ClearHeldNotes()
{
    CHeapLockGuard guard(&m_heldLock);
    m_heldNotes.clear();
}

int CChannel::GetHeldNoteCount()
{
    CHeapLockGuard guard(&m_heldLock);
    return static_cast<int>(m_heldNotes.size());
}

bool CChannel::AcceptsMidiInput(const CMfxEvent& event, bool isNoteOn, DWORD port)
{
    if (event.m_kind == MfxNote) {
        if (event.m_note.key < m_keyLow || event.m_note.key > m_keyHigh)
            return false;
        if (isNoteOn && (event.m_note.velocity < m_velocityLow || event.m_note.velocity > m_velocityHigh))
            return false;
    }
    const bool onePort = m_inputPort != kAnyPort;
    bool accepted;
    if (onePort && port != m_inputPort && !m_armed)
        accepted = false;
    else
        accepted = m_inputChannels == kAllPorts || (m_inputChannels >> (event.m_channel & 15) & 1) != 0 || m_armed;
    if (m_armed)
        return accepted;
    return accepted && (m_document == nullptr || m_document->IsNoChannelArmed());
}

HRESULT CChannel::OnMidiInput(DWORD message, DWORD time, DWORD port)
{
    (void)time;
    CMfxEvent event;
    if (FAILED(event.SetFromShortMsg(message, static_cast<BYTE>(port))))
        return S_FALSE;
    const DWORD status = message & 0xF0u;
    const DWORD channel = message & 0x0Fu;
    const DWORD velocity = message >> 16 & 0x7Fu;
    const bool noteOn = status == 0x90u && velocity != 0;
    const bool noteOff = status == 0x80u || (status == 0x90u && velocity == 0);
    DWORD played = message >> 8 & 0x7Fu;
    if (noteOn || noteOff) {
        const DWORD sounding = static_cast<DWORD>(std::clamp(static_cast<int>(played) + m_inputTranspose, 0, 127));
        message = (message & 0xFF00FFu) | sounding << 8;
        event.m_note.key = static_cast<BYTE>(sounding);
        if (noteOn)
            event.m_note.velocity = static_cast<BYTE>(velocity);
    }
    const bool audio = mv::CurrentThreadRole() == mv::ThreadRole::Audio;
    const auto drop = [this] {
        m_liveDrops.fetch_add(1, std::memory_order_relaxed);
        return S_FALSE;
    };
    const DWORD key = HeldKey(channel, message >> 8 & 0x7Fu, port);
    CHeapLockGuard guard(m_heldLock, CHeapLockGuard::TryOnAudio{});
    if (!guard.OwnsLock())
        return drop();
    // A note-on and a note-off look up the same entry.
    const auto found = noteOn || noteOff ? FindHeldNote(key) : m_heldNotes.end();
    const auto held = noteOff ? found : m_heldNotes.end();
    const bool heldRelease = held != m_heldNotes.end();
    const bool resent = heldRelease && held->second.resent != 0;
    if (!heldRelease && !AcceptsMidiInput(event, noteOn, port))
        return S_FALSE;
    // Nothing is queued for a note the table has no room for, so no note
    // sounds that could never be released.
    const auto newNote = noteOn ? found : m_heldNotes.end();
    if (noteOn && newNote == m_heldNotes.end() && audio && m_heldNotes.size() == m_heldNotes.capacity())
        return drop();
    // The host's notes, handed over by the ReWire device's worker, keep the
    // transport's time they came at: asked only of a message the channel
    // takes.
    const BOOL second = m_liveQueue2 != nullptr && CAppConfig::IsRewireDeviceMode() && m_document &&
                                port == m_document->GetRewirePortIndex()
                            ? TRUE
                            : FALSE;
    const DWORD stamp = second ? static_cast<DWORD>(m_document->GetTransportNow()) : 0;
    HRESULT hr = QueueShortMessage(message, second, stamp);
    if (hr != S_OK)
        return audio ? drop() : hr;
    // The note sounded twice since playback re-sent it at start.
    if (resent)
        hr = QueueShortMessage(message, second, stamp);
    if (heldRelease && --held->second.holdCount == 0)
        m_heldNotes.erase(held);
    if (!heldRelease && m_document)
        m_document->TriggerMidiMeter(m_id);
    if (noteOn) {
        if (newNote != m_heldNotes.end()) {
            ++newNote->second.holdCount;
        } else {
            CNoteInfo info;
            info.playedNote = static_cast<WORD>(played);
            info.velocity = static_cast<WORD>(velocity);
            info.holdCount = 1;
            if (!EnterHeldNote(key, info, audio))
                return audio ? drop() : E_OUTOFMEMORY;
        }
    }
    return hr;
}

HRESULT CChannel::ProcessLiveInput(LONG time)
{
    MV_ASSERT_AUDIO_THREAD();
    CHeapLockGuard guard(m_liveLock, CHeapLockGuard::TryOnly{});
    if (!guard.OwnsLock())
        return S_FALSE;
    HRESULT hr = DrainLiveQueue(m_liveQueue1);
    if (m_liveQueue2 != nullptr && CAppConfig::IsRewireDeviceMode()) {
        RebaseLiveQueue(m_liveQueue2, time);
        const HRESULT second = DrainLiveQueue(m_liveQueue2);
        if (SUCCEEDED(hr))
            hr = second;
    }
    return hr;
}

void CChannel::RebaseLiveQueue(CMfxDataQueue*& queue, LONG spanTick)
{
    int count = 0;
    queue->GetCount(&count);
    if (count == 0)
        return;
    m_liveOutput->Reset();
    for (int i = 0; i < count; ++i) {
        MfxData record{};
        queue->GetAt(i, &record);
        // Played before the span began (the heard position trails the
        // rendered one): at its start.
        const LONG offset = static_cast<LONG>(record.m_dw1) - spanTick;
        record.m_dw1 = static_cast<DWORD>(std::max<LONG>(offset, 0));
        m_liveOutput->Add(&record);
    }
    queue->Reset();
    std::swap(queue, m_liveOutput);
}

HRESULT CChannel::PumpMfxChain()
{
    // The chain and synth are being rebuilt: the queue waits for the next
    // buffer's live step.
    if (m_graphChanged)
        return S_FALSE;
    CHeapLockGuard guard(&m_liveLock);
    return DrainLiveQueue(m_liveQueue1);
}

HRESULT CChannel::DeliverLiveOutput(ISynthPlayer* player)
{
    // Only on the audio thread does a busy synth refuse (other threads wait
    // for it): the audio thread never waits and drops the messages.
    const HRESULT hr = player->ProcessLiveEvents(static_cast<SHORT>(m_id), m_liveOutput);
    if (hr != E_PENDING)
        return hr;
    int dropped = 0;
    m_liveOutput->GetCount(&dropped);
    m_liveDrops.fetch_add(static_cast<DWORD>(dropped), std::memory_order_relaxed);
    return S_OK;
}

HRESULT CChannel::DrainLiveQueue(CMfxDataQueue*& queue)
{
    int count = 0;
    queue->GetCount(&count);
    m_liveOutput->Reset();
    HRESULT hr = S_OK;
    ISynthPlayer* player = Player();
    if (player && count != 0) {
        hr = m_mfxChain.ProcessInput(queue, m_liveOutput);
        if (SUCCEEDED(hr))
            hr = DeliverLiveOutput(player);
    }
    if (count != 0)
        queue->Reset();
    m_liveOutput->Reset();
    return hr;
}

HRESULT CChannel::SetShuffle(double amount) { return m_mfxChain.SetShuffle(amount); }

HRESULT CChannel::SetMidiInput(DWORD port, WORD channel)
{
    const DWORD ports = m_document ? m_document->GetMidiInputPortCount() : 0;
    const DWORD oldPort = m_inputPort;
    const WORD oldMask = m_inputChannels;
    if (port < ports || port == kNoPort || port == kAnyPort)
        m_inputPort = port;
    if (channel == kAllPorts)
        m_inputChannels = kAllPorts;
    else if (channel < 16)
        m_inputChannels = static_cast<WORD>(1u << channel);
    if ((oldPort != m_inputPort || oldMask != m_inputChannels) && m_document)
        m_document->SetModifiedFlag();
    return S_OK;
}

HRESULT CChannel::GetMidiInput(DWORD* port, WORD* channel) const
{
    if (port == nullptr || channel == nullptr)
        return E_POINTER;
    *port = m_inputPort;
    *channel = kAllPorts;
    for (WORD n = 0; n < 16 && m_inputChannels != kAllPorts; ++n) {
        if (m_inputChannels >> n & 1) {
            *channel = n;
            break;
        }
    }
    return S_OK;
}

HRESULT CChannel::SetArmed(DWORD armed, BOOL exclusive)
{
    if (exclusive && m_document)
        m_document->DisarmAllChannels();
    m_armed = armed ? 1 : 0;
    if (m_document) {
        m_document->SetModifiedFlag();
        m_document->OnArmChanged();
    }
    return S_OK;
}

HRESULT CChannel::SendNoteOn(int channel, int note, int velocity)
{
    if (channel < 0 || channel > 15)
        return S_FALSE;
    return QueueShortMessage(0x90u | static_cast<DWORD>(channel) | static_cast<DWORD>(note & 127) << 8 |
                             static_cast<DWORD>(velocity & 127) << 16);
}

HRESULT CChannel::SendProgramChange(int channel, int patch)
{
    if (channel < 0 || channel > 15 || patch == -1)
        return S_FALSE;
    return QueueShortMessage(0xC0u | static_cast<DWORD>(channel) | static_cast<DWORD>(patch & 127) << 8);
}

HRESULT CChannel::SendBankSelect(int channel, LONG bank, int method)
{
    if (channel < 0 || channel > 15 || bank == -1 || method < 0 || method > 3)
        return S_FALSE;
    const DWORD ch = static_cast<DWORD>(channel);
    auto controller = [&](DWORD number, LONG value) {
        return QueueShortMessage(0xB0u | ch | number << 8 | static_cast<DWORD>(value & 127) << 16);
    };
    switch (method) {
    case 0: {
        if (bank < 0 || bank > 16383)
            return S_FALSE;
        const HRESULT hr = controller(0, bank >> 7);
        return FAILED(hr) ? hr : controller(32, bank & 127);
    }
    case 1:
        return controller(0, bank & 127);
    case 2:
        return controller(32, bank > 127 ? bank >> 7 : bank);
    default:
        return QueueShortMessage(0xC0u | ch | static_cast<DWORD>(std::min<LONG>(bank + 100, 127)) << 8);
    }
}

HRESULT CChannel::SendParameterNumberValue(int channel, int number, int value, BOOL registered)
{
    if (channel < 0 || channel > 15 || number < 0 || number > 16383 || value < 0 || value > 16383)
        return E_INVALIDARG;
    const DWORD ch = static_cast<DWORD>(channel);
    const DWORD sends[4][2] = {{registered ? 101u : 99u, static_cast<DWORD>(number >> 7)},
                               {registered ? 100u : 98u, static_cast<DWORD>(number & 127)},
                               {6u, static_cast<DWORD>(value >> 7)},
                               {38u, static_cast<DWORD>(value & 127)}};
    for (const auto& [controller, data] : sends) {
        const HRESULT hr = QueueShortMessage(0xB0u | ch | controller << 8 | data << 16);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CChannel::StepPatch(int direction)
{
    MV_ASSERT_UI_THREAD();
    ISynthWrap* wrap = GetSynthWrap(0);
    ISynthPlayer* player = wrap != nullptr ? wrap->GetPlayer() : nullptr;
    if (player == nullptr)
        return E_UNEXPECTED;
    const int midi = static_cast<int>(m_midiChannel);
    const LONG bank = player->GetChannelBank(midi);
    int patch = player->GetChannelPatch(midi);
    if (patch < 0 || patch > 127)
        patch = -1;
    std::vector<LONG> banks;
    const bool listed = SUCCEEDED(player->GetBankList(midi, &banks));
    const int count = static_cast<int>(banks.size());
    int index = static_cast<int>(std::find(banks.begin(), banks.end(), bank) - banks.begin());
    if (index >= count)
        index = -1;
    // The programs run bank by bank through the list, with "none" between
    // the last bank's last patch and the first bank's first.
    if (direction >= 1) {
        if (index == -1)
            index = count > 0 ? 0 : -1;
        if (patch == -1) {
            patch = 0;
        } else if (++patch > 127) {
            patch = 0;
            if (++index >= count)
                index = patch = -1;
        }
    } else if (patch == -1) {
        index = count - 1;
        patch = 127;
    } else if (--patch < 0) {
        patch = 127;
        if (--index < 0)
            index = patch = -1;
    }
    HRESULT hr = S_OK;
    if (listed) {
        if (index >= 0) {
            hr = SendBankSelect(midi, banks[static_cast<std::size_t>(index)], 0);
            if (SUCCEEDED(hr))
                hr = player->SetChannelBank(midi, banks[static_cast<std::size_t>(index)]);
        } else {
            hr = player->SetChannelBank(midi, ISynthPlayer::kNoBank);
        }
    }
    if (SUCCEEDED(hr) && patch >= 0)
        hr = SendProgramChange(midi, patch);
    if (SUCCEEDED(hr))
        hr = player->SetChannelPatch(midi, patch);
    return hr;
}

// ---- The MIDI-effect chain's owner ----

IUnknown* CChannel::MfxOwner::GetFirstSynthFilter()
{
    ISynthWrap* synth = m_channel->GetSynthWrap(0);
    return synth ? synth->GetFilter() : nullptr;
}

double CChannel::MfxOwner::GetShuffleAmount()
{
    return m_channel->m_document ? m_channel->m_document->GetShuffleAmount() : 0.0;
}

ICommandDocument* CChannel::MfxOwner::GetCommandDocument() { return m_channel->m_document; }

HRESULT CChannel::MfxOwner::CreateMfxWrap(REFCLSID clsid, const char* name, IMfxFilterWrap** wrap)
{
    return m_channel->m_document ? m_channel->m_document->CreateMfxWrap(clsid, name, wrap) : E_UNEXPECTED;
}

HRESULT CChannel::MfxOwner::UpdateStepPreview()
{
    return m_channel->m_document ? m_channel->m_document->UpdateStepPreview() : S_OK;
}

HRESULT CChannel::MfxOwner::ShowPropertyPage(IMfxFilterWrap* wrap, HWND parent)
{
    return m_channel->m_document ? m_channel->m_document->ShowMfxPropertyPage(wrap, parent) : E_UNEXPECTED;
}

HRESULT CChannel::MfxOwner::ClosePropertyPage(IMfxFilterWrap* wrap)
{
    return m_channel->m_document ? m_channel->m_document->CloseMfxPropertyPage(wrap) : S_OK;
}

// ---- Saved form ----

HRESULT CChannel::PersistOutputValues(CKelPersistArchive* archive, int output)
{
    const DWORD first = GetFirstChannelId();
    HRESULT hr;
    for (DWORD u = 0; u < kSavedPerOutput; ++u) {
        const DWORD id = (first == kNoGroup ? 0 : first) + kIdsPerOutput * static_cast<DWORD>(output) + u;
        float value = 0.0f;
        if (archive->IsSaving())
            GetParamValue(id, &value);
        if (FAILED(hr = archive->PersistBytes(sizeof(value), &value)))
            return hr;
        // Values of parameters that do not exist are read and dropped; a
        // stored value that is no number is dropped too.
        if (!archive->IsSaving() && std::isfinite(value))
            SetParamValue(id, value);
    }
    return S_OK;
}

HRESULT CChannel::PersistChunk0(CKelPersistArchive* archive)
{
    HRESULT hr = PersistParamSet(0, archive);
    if (FAILED(hr))
        return hr;
    if (archive->IsSaving()) {
        ISynthWrap* synth = GetSynthWrap(0);
        hr = synth && synth->GetPersist() ? archive->PersistObject(synth->GetPersist()) : CEmptyChunk::Save(archive);
        if (FAILED(hr))
            return hr;
        COutputBranch* branch0 = GetOutputBranch(0);
        if (branch0 == nullptr)
            return E_UNEXPECTED;
        if (FAILED(hr = archive->PersistObject(&branch0->GetChain())) ||
            FAILED(hr = archive->PersistObject(&m_timeline)))
            return hr;
    } else {
        if (m_synths.GetSize() > 0 || m_outputs.GetSize() > 1)
            return E_UNEXPECTED;
        bool noSynth = false;
        if (FAILED(hr = CEmptyChunk::PeekIsEmpty(archive, &noSynth)))
            return hr;
        if (noSynth) {
            if (FAILED(hr = CEmptyChunk::Skip(archive)))
                return hr;
        } else {
            ISynthWrapFactory* factory = m_document ? m_document->GetSynthWrapFactory() : nullptr;
            if (factory == nullptr)
                return E_UNEXPECTED;
            ISynthWrap* wrap = nullptr;
            hr = factory->CreateSynthWrap(CLSID_NoSynth, nullptr, &wrap);
            if (SUCCEEDED(hr) && (wrap == nullptr || wrap->GetPersist() == nullptr))
                hr = E_UNEXPECTED;
            if (FAILED(hr) || FAILED(hr = archive->PersistObject(wrap->GetPersist())) ||
                FAILED(hr = m_synths.Insert(0, wrap))) {
                if (wrap)
                    DestroyPlugInWrap(wrap);
                return hr;
            }
        }
        ISynthWrap* synth = GetSynthWrap(0);
        if (FAILED(hr = CreateBranches(synth ? std::max(1, synth->GetOutputCount()) : 1)))
            return hr;
        if (FAILED(hr = archive->PersistObject(&m_outputs[0]->GetChain())) ||
            FAILED(hr = archive->PersistObject(&m_timeline)))
            return hr;
        if (!m_graphObjects && FAILED(hr = CreateGraphObjects()))
            return hr;
        for (int i = 0; i < m_outputs.GetSize(); ++i) {
            if (!m_outputs[i]->IsBuilt() && FAILED(hr = m_outputs[i]->Build()))
                return hr;
        }
        if (FAILED(hr = BuildParams()))
            return hr;
    }
    if (FAILED(hr = PersistOutputValues(archive, 0)))
        return hr;
    WORD midiChannel = m_midiChannel;
    if (FAILED(hr = archive->PersistBytes(sizeof(m_armed), &m_armed)) ||
        FAILED(hr = archive->PersistBytes(sizeof(m_inputPort), &m_inputPort)) ||
        FAILED(hr = archive->PersistBytes(sizeof(m_inputChannels), &m_inputChannels)) ||
        FAILED(hr = archive->PersistBytes(sizeof(midiChannel), &midiChannel)))
        return hr;
    if (!archive->IsSaving()) {
        m_armed = m_armed ? 1 : 0;
        m_midiChannel = midiChannel & 15;
    }
    return S_OK;
}

HRESULT CChannel::PersistChunk1(CKelPersistArchive* archive)
{
    HRESULT hr;
    DWORD count = static_cast<DWORD>(m_outputs.GetSize());
    DWORD current = m_currentOutput;
    if (FAILED(hr = archive->PersistBytes(sizeof(count), &count)) ||
        FAILED(hr = archive->PersistBytes(sizeof(current), &current)))
        return hr;
    const DWORD existing = static_cast<DWORD>(m_outputs.GetSize());
    if (!archive->IsSaving())
        m_currentOutput = existing > 0 ? current % existing : 0;
    for (DWORD k = 1; k < count; ++k) {
        if (k < existing) {
            COutputBranch* branch = m_outputs[static_cast<int>(k)];
            if (FAILED(hr = archive->PersistObject(&branch->GetChain())))
                return hr;
            if (!archive->IsSaving() && !branch->GetChain().HasContainerFilters() &&
                FAILED(hr = branch->GetChain().LoadEffectsAndCreate()))
                return hr;
            continue;
        }
        // More branches saved than the synth has outputs: read and dropped.
        COutputBranch* spare = nullptr;
        if (FAILED(hr = CreateOutputBranch(m_document, this, &spare)))
            return hr;
        if (spare == nullptr)
            return E_UNEXPECTED;
        hr = archive->PersistObject(&spare->GetChain());
        DestroyOutputBranch(spare);
        if (FAILED(hr))
            return hr;
    }
    if (!archive->IsSaving() && count > 1 &&
        FAILED(hr = archive->CheckRemaining(static_cast<ULONGLONG>(count - 1) * kSavedPerOutput * sizeof(float))))
        return hr;
    for (DWORD k = 1; k < count; ++k) {
        if (FAILED(hr = PersistOutputValues(archive, static_cast<int>(k))))
            return hr;
    }
    if (archive->IsSaving()) {
        hr = m_automationPattern ? archive->PersistObject(m_automationPattern) : CEmptyChunk::Save(archive);
    } else {
        bool empty = false;
        if (FAILED(hr = CEmptyChunk::PeekIsEmpty(archive, &empty)))
            return hr;
        if (empty)
            hr = CEmptyChunk::Skip(archive);
        else if (m_automationPattern != nullptr || SUCCEEDED(hr = InitPlayback()))
            hr = archive->PersistObject(m_automationPattern);
    }
    if (FAILED(hr))
        return hr;
    return archive->PersistObject(&m_mfxChain);
}

STDMETHODIMP CChannel::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (archive == nullptr)
        return E_POINTER;
    HRESULT hr;
    switch (KelVersionIndex(versionWord)) {
    case 0:
        return PersistChunk0(archive);
    case 1:
        return PersistChunk1(archive);
    case 2: {
        DWORD unused = 0;
        return archive->PersistBytes(sizeof(unused), &unused);
    }
    case 3: {
        WORD range[4] = {m_keyLow, m_keyHigh, m_velocityLow, m_velocityHigh};
        if (FAILED(hr = archive->PersistBytes(sizeof(range), range)))
            return hr;
        if (!archive->IsSaving()) {
            SetKeyRange(range[0], range[1]);
            SetVelocityRange(range[2], range[3]);
        }
        return S_OK;
    }
    case 4: {
        SHORT transpose = m_inputTranspose;
        DWORD unused[4] = {};
        if (FAILED(hr = archive->PersistBytes(sizeof(transpose), &transpose)) ||
            FAILED(hr = archive->PersistBytes(sizeof(unused), unused)))
            return hr;
        if (!archive->IsSaving())
            SetInputTranspose(transpose);
        return S_OK;
    }
    default:
        return KELPERSIST_E_UNKNOWNCHUNK;
    }
}
