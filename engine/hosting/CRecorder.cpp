#include "engine/hosting/CRecorder.h"

#include <algorithm>
#include <new>
#include <thread>

#include "engine/IDocumentEngine.h"
#include "engine/hosting/CMidiDoc.h"
#include "engine/hosting/CRecBuffer.h"
#include "model/CHeapLockGuard.h"
#include "model/CMvCommand.h"
#include "model/CPattern.h"
#include "model/CPatternInstance.h"
#include "model/CUndoHistory.h"
#include "platform/sync/ThreadAffinity.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

constexpr DWORD kNoParam = 0xFFFFFFFF;
constexpr DWORD kNoInstance = 0xFFFFFFFF;
constexpr LONG kNoPendingWrap = static_cast<LONG>(0x80000000);
// What a target pattern is tagged with as it records notes, the wheel or a
// controller (the controller's number), and the class of those tags.
constexpr LONG kTagNotes = 0x80;
constexpr LONG kTagWheel = 0x81;
constexpr LONG kClassMidi = 4;
constexpr LONG kClassOther = 0;

std::atomic<LONG> g_defaultPatternLength{7680};

LONG FloorMod(LONG value, LONG modulus)
{
    const LONG r = value % modulus;
    return r < 0 ? r + modulus : r;
}

}  // namespace

CRecorder::CRecorder()
    : m_pendingLoopEnd(kNoPendingWrap), m_queue(new QueueItem[kQueueSize])
{
    for (auto& t : m_rtTargets)
        t.store(CPattern::kNoPattern);
    for (auto& t : m_rtTouches)
        t.store(kNoParam);
}

CRecorder::~CRecorder() { LeaveDocument(); }

void CRecorder::LeaveDocument()
{
    if (m_command != nullptr)
        m_command->AbortAndDelete();
    m_command = nullptr;
    ReleaseTake();
    if (m_doc != nullptr)
        m_doc->SetRecorder(nullptr);
    m_doc = nullptr;
    m_engine = nullptr;
}

LONG CRecorder::GetDefaultPatternLength() { return g_defaultPatternLength.load(); }

void CRecorder::SetDefaultPatternLength(LONG ticks)
{
    if (ticks > 0)
        g_defaultPatternLength = ticks;
}

// ---- Document and take life ----

HRESULT CRecorder::SetDocument(ITransportDocument* document)
{
    MV_ASSERT_UI_THREAD();
    LeaveDocument();
    m_doc = dynamic_cast<CMidiDoc*>(document);
    m_engine = m_doc != nullptr ? m_doc->GetEngine() : nullptr;
    if (m_doc != nullptr)
        m_doc->SetRecorder(this);
    return S_OK;
}

HRESULT CRecorder::SetGlobalArm(BOOL on)
{
    if (IsRecording())
        return E_UNEXPECTED;
    m_allTracks = on ? TRUE : FALSE;
    return S_OK;
}

HRESULT CRecorder::BeginTake(DWORD mode)
{
    MV_ASSERT_UI_THREAD();
    if (mode < kModePattern || mode > kModeArrangement)
        return E_INVALIDARG;
    if (m_command != nullptr || !m_targets.empty() || m_doc == nullptr)
        return E_UNEXPECTED;
    m_mode = mode;
    m_recording = 0;
    m_command = BeginProjectCommand(m_doc->AsCommandDocument(), LoadResString(IDS_RECORD_NEW_EVENTS),
                                    CPattern::kEventEditHint | CMidiDoc::kHintPatternList, TRUE, TRUE);
    if (m_command == nullptr) {
        m_mode = 0;
        return E_OUTOFMEMORY;
    }
    const HRESULT hr = BeginTakeTargets(mode);
    if (FAILED(hr)) {
        m_command->AbortAndDelete();
        m_command = nullptr;
        ReleaseTake();
        return hr;
    }
    {
        CHeapLockGuard lock(m_noteLock);
        ClearNotesLocked();
        m_queueHead.store(m_queueTail.load());
        m_passStart = 0;
        m_pendingLoopEnd = kNoPendingWrap;
    }
    PublishTargets();
    m_recording = 1;
    return S_OK;
}

HRESULT CRecorder::BeginTakeTargets(DWORD mode)
{
    if (mode == kModeArrangement) {
        // The armed channels, the active one first, then in track order.
        std::vector<SHORT> channels;
        const SHORT active = m_doc->GetActiveContainer();
        CChannel* c = nullptr;
        if (SUCCEEDED(m_doc->GetChannel(active, &c)) && c != nullptr && c->IsArmed())
            channels.push_back(active);
        for (int i = 0; i < m_doc->GetChannelCount(); ++i) {
            const SHORT id = m_doc->GetChannelIdAt(i);
            if (id != active && SUCCEEDED(m_doc->GetChannel(id, &c)) && c != nullptr && c->IsArmed())
                channels.push_back(id);
        }
        if (channels.empty() || static_cast<int>(channels.size()) > kMaxTargets)
            return E_UNEXPECTED;
        for (SHORT channelId : channels) {
            const SHORT id = m_doc->NextPatternId();
            if (id == CMidiDoc::kNone)
                return E_UNEXPECTED;
            CPattern* pattern = nullptr;
            HRESULT hr = m_doc->CreatePattern(id, FALSE, m_command, &pattern);
            const LONG one = 1;
            if (SUCCEEDED(hr))
                hr = m_doc->SetPatternAttributes(id, nullptr, &one, nullptr, nullptr, m_command);
            CRecBuffer* buffer = nullptr;
            if (SUCCEEDED(hr))
                hr = CRecBuffer::Create(pattern, &buffer);
            if (FAILED(hr))
                return hr;
            buffer->newPattern = TRUE;
            m_targets.push_back({id, channelId, kNoInstance, buffer});
            if (m_allTracks && FAILED(hr = AddAutomationBuffer(channelId)))
                return hr;
        }
        for (int i = 0; i < m_doc->GetAuxBusCount(); ++i) {
            CAuxBus* bus = nullptr;
            HRESULT hr = m_doc->GetAuxBusAt(i, &bus);
            if (SUCCEEDED(hr) && bus != nullptr && FAILED(hr = AddAutomationBuffer(bus->GetHostId())))
                return hr;
        }
        CMainBus* main = nullptr;
        if (SUCCEEDED(m_doc->GetMainBus(&main)) && main != nullptr) {
            const HRESULT hr = AddAutomationBuffer(main->GetHostId());
            if (FAILED(hr))
                return hr;
        }
        IDocumentEngine* engine = m_engine.load();
        m_takeStart = engine != nullptr ? engine->GetNowTicks(TRUE) : 0;
        m_takeDuration = 1;
        return S_OK;
    }

    const SHORT channelId = m_doc->GetActiveContainer();
    CChannel* channel = nullptr;
    if (FAILED(m_doc->GetChannel(channelId, &channel)) || channel == nullptr)
        return E_UNEXPECTED;
    SHORT id = m_doc->GetActivePatternIdRaw();
    CPattern* pattern = nullptr;
    bool created = false;
    HRESULT hr = S_OK;
    if (id == CMidiDoc::kNone || FAILED(m_doc->GetPattern(id, &pattern)) || pattern == nullptr) {
        id = m_doc->NextPatternId();
        if (id == CMidiDoc::kNone)
            return E_UNEXPECTED;
        LONG duration = GetDefaultPatternLength();
        if (mode == kModeStep) {
            LONG step = 0;
            if (FAILED(hr = GetStepDuration(0, &step)))
                return hr;
            duration = step * static_cast<LONG>(kStepCount);
        }
        if (FAILED(hr = m_doc->CreatePattern(id, FALSE, m_command, &pattern)) ||
            FAILED(hr = m_doc->SetPatternAttributes(id, nullptr, &duration, nullptr, nullptr, m_command)))
            return hr;
        created = true;
    }
    CRecBuffer* buffer = nullptr;
    if (FAILED(hr = CRecBuffer::Create(pattern, &buffer)))
        return hr;
    buffer->newPattern = created ? TRUE : FALSE;
    DWORD instance = kNoInstance;
    const DWORD active = m_doc->GetActiveInstance();
    if (static_cast<LONG>(active) != CMidiDoc::kNoInstanceId)
        instance = active;
    m_targets.push_back({id, channelId, instance, buffer});
    if (instance == kNoInstance && FAILED(hr = m_doc->SetActivePattern(id, m_command)))
        return hr;
    m_takeDuration = pattern->GetDuration();
    if (mode == kModeStep)
        m_stepPosition = pattern->GetEditMarker();
    return S_OK;
}

HRESULT CRecorder::AddAutomationBuffer(SHORT containerId)
{
    CPattern* automation = ContainerAutomation(containerId);
    if (automation == nullptr || m_automation.count(containerId) != 0)
        return S_FALSE;
    CRecBuffer* buffer = nullptr;
    const HRESULT hr = CRecBuffer::Create(automation, &buffer);
    if (FAILED(hr))
        return hr;
    m_automation[containerId] = buffer;
    return S_OK;
}

HRESULT CRecorder::EndTake()
{
    MV_ASSERT_UI_THREAD();
    if (m_command == nullptr || !IsRecording())
        return E_UNEXPECTED;
    // Notes still held end where the take ends.
    {
        CHeapLockGuard lock(m_noteLock);
        LONG now = 0;
        if (RecordTime(&now))
            EndHeldNotesLocked(now, true);
    }
    Drain();
    HRESULT hr = WriteTakes();
    bool wrote = false;
    for (Target& t : m_targets) {
        if (FAILED(hr))
            break;
        CPattern* real = nullptr;
        if (FAILED(m_doc->GetPattern(t.patternId, &real)) || real == nullptr)
            continue;
        if (t.buffer->newPattern && real->GetEvents().empty())
            hr = m_doc->DeletePattern(t.patternId, FALSE, m_command);
        else if (t.buffer->firstEvent)
            wrote = true;
    }
    for (auto& [id, buffer] : m_automation)
        wrote = wrote || buffer->firstEvent;

    CMvCommand* command = m_command;
    m_command = nullptr;
    // An edit that joined the take's command and failed took it down.
    if (SUCCEEDED(hr) && command->IsAborted())
        hr = E_ABORT;
    if (SUCCEEDED(hr) && !wrote) {
        // A take that recorded nothing leaves nothing, not even a step in
        // the history: what it prepared is taken back.
        command->AbortAndDelete();
        ReleaseTake();
        Post(kTakeCommittedMessage);
        return S_OK;
    }
    if (SUCCEEDED(hr))
        hr = command->Commit(&CUndoHistory::Instance());
    else
        command->AbortAndDelete();
    // Committed or not, the take is over: a failure must not leave the
    // recorder recording with nothing to commit.
    ReleaseTake();
    if (FAILED(hr)) {
        Post(kEventsWrittenMessage);
        return hr;
    }
    Post(kTakeCommittedMessage);
    return S_OK;
}

void CRecorder::ReleaseTake()
{
    m_recording = 0;
    m_mode = 0;
    {
        CHeapLockGuard lock(m_noteLock);
        ClearNotesLocked();
        m_queueHead.store(m_queueTail.load());
        m_pendingLoopEnd = kNoPendingWrap;
    }
    for (Target& t : m_targets)
        delete t.buffer;
    m_targets.clear();
    for (auto& [id, buffer] : m_automation)
        delete buffer;
    m_automation.clear();
    m_touches.clear();
    PublishTargets();
    PublishTouches();
    m_takeDuration = 0;
    m_newEvents = 0;
}

// ---- Queries ----

BOOL CRecorder::IsRecordingPattern(SHORT patternId)
{
    if (!m_recording.load())
        return FALSE;
    const int n = m_rtTargetCount.load(std::memory_order_acquire);
    for (int i = 0; i < n; ++i)
        if (m_rtTargets[static_cast<std::size_t>(i)].load(std::memory_order_relaxed) == patternId)
            return TRUE;
    return FALSE;
}

BOOL CRecorder::IsParamTouched(DWORD paramId)
{
    if (paramId == kNoParam)
        return FALSE;
    for (auto& t : m_rtTouches)
        if (t.load(std::memory_order_relaxed) == paramId)
            return TRUE;
    return FALSE;
}

void CRecorder::PublishTargets()
{
    m_rtTargetCount.store(0, std::memory_order_release);
    int n = 0;
    for (const Target& t : m_targets) {
        if (n == kMaxTargets)
            break;
        m_rtTargets[static_cast<std::size_t>(n++)].store(t.patternId, std::memory_order_relaxed);
    }
    m_rtTargetCount.store(n, std::memory_order_release);
}

void CRecorder::PublishTouches()
{
    std::size_t n = 0;
    for (auto& [id, entry] : m_touches)
        if (entry.active && n < m_rtTouches.size())
            m_rtTouches[n++].store(id, std::memory_order_relaxed);
    for (; n < m_rtTouches.size(); ++n)
        m_rtTouches[n].store(kNoParam, std::memory_order_relaxed);
}

HRESULT CRecorder::FindRecordTarget(SHORT patternId, CRecBuffer** buffer)
{
    if (buffer == nullptr)
        return E_POINTER;
    *buffer = nullptr;
    if (!IsRecording())
        return S_FALSE;
    for (Target& t : m_targets)
        if (t.patternId == patternId) {
            *buffer = t.buffer;
            return S_OK;
        }
    return E_UNEXPECTED;
}

HRESULT CRecorder::FindTakeBuffer(SHORT containerId, CRecBuffer** buffer)
{
    if (buffer == nullptr)
        return E_POINTER;
    *buffer = nullptr;
    if (!IsRecording())
        return S_FALSE;
    auto it = m_automation.find(containerId);
    if (it == m_automation.end())
        return S_FALSE;
    *buffer = it->second;
    return S_OK;
}

BOOL CRecorder::FetchNewEventsFlag()
{
    MV_ASSERT_UI_THREAD();
    Drain();
    return m_newEvents.exchange(0) != 0 ? TRUE : FALSE;
}

// ---- Step recording ----

HRESULT CRecorder::GetStepDuration(LONG tick, LONG* duration)
{
    if (duration == nullptr)
        return E_POINTER;
    *duration = 0;
    const DWORD index = m_stepSize.load();
    if (index > 7)
        return E_UNEXPECTED;
    LONG length = 0;
    if (index == 0) {
        if (m_doc == nullptr)
            return E_UNEXPECTED;
        const CMeterKeySigMap& meters = m_doc->GetMeterKeyMap();
        const int at = meters.FindIndexAtTick(tick);
        LONG numerator = 4;
        LONG power = 2;
        if (meters.IsValidIndex(at)) {
            numerator = meters[at].m_numerator;
            power = meters[at].m_power;
        }
        length = numerator * 3840;
        if (power >= 1 && power <= 4)
            length /= 1L << power;
    } else {
        length = 1920L >> (index - 1);
    }
    const DWORD modifier = m_stepModifier.load();
    if (modifier == kStepDotted)
        length += length / 2;
    else if (modifier == kStepTriplet)
        length = 2 * length / 3;
    *duration = length;
    return S_OK;
}

bool CRecorder::AdvanceStepLocked()
{
    const LONG position = m_stepPosition.load();
    LONG step = 0;
    if (FAILED(GetStepDuration(position, &step)) || step <= 0)
        return false;
    const LONG next = position + step;
    const LONG take = m_takeDuration.load();
    const LONG bound = std::min(take > 0 ? take : next, static_cast<LONG>(kStepCount) * step);
    if (next >= bound) {
        m_stepPosition = 0;
        return true;
    }
    m_stepPosition = next;
    return false;
}

HRESULT CRecorder::StepForward()
{
    MV_ASSERT_UI_THREAD();
    if (!IsRecording())
        return S_FALSE;
    if (m_mode.load() != kModeStep)
        return E_UNEXPECTED;
    bool wrapped = false;
    {
        CHeapLockGuard lock(m_noteLock);
        wrapped = AdvanceStepLocked();
    }
    Drain();
    HRESULT hr = wrapped ? WriteTakes() : S_OK;
    Post(kEventsWrittenMessage);
    return hr;
}

HRESULT CRecorder::SetTakeDuration(SHORT patternId, LONG ticks)
{
    MV_ASSERT_UI_THREAD();
    if (!IsRecording() || m_mode.load() == kModeArrangement)
        return S_FALSE;
    if (ticks <= 0)
        return E_INVALIDARG;
    for (std::size_t i = 0; i < m_targets.size(); ++i) {
        if (m_targets[i].patternId != patternId)
            continue;
        Drain();
        m_targets[i].buffer->GetTakePattern()->SetDuration(ticks);
        if (i == 0)
            m_takeDuration = ticks;
        return S_OK;
    }
    return E_FAIL;
}

// ---- Live input (MIDI thread) ----

void CRecorder::LockNotesSpinning()
{
    while (!m_noteLock.TryLock())
        std::this_thread::yield();
}

bool CRecorder::RecordTime(LONG* now)
{
    const DWORD mode = m_mode.load();
    if (mode == kModeStep) {
        if (m_rtTargetCount.load() == 0)
            return false;
        *now = m_stepPosition.load();
        return true;
    }
    IDocumentEngine* engine = m_engine.load();
    if (engine == nullptr)
        return false;
    const LONG position = engine->GetNowTicks(TRUE);
    if (mode == kModePattern) {
        // The pattern loops over its length; a take without a target or a
        // pattern without length has no place for a message.
        const LONG length = m_takeDuration.load();
        if (length <= 0 || m_rtTargetCount.load() == 0)
            return false;
        *now = FloorMod(position, length);
        return true;
    }
    if (mode == kModeArrangement) {
        *now = position - m_takeStart.load();
        return true;
    }
    *now = position;
    return true;
}

void CRecorder::Queue(DWORD kind, LONG time, const CMfxEvent* event)
{
    const int tail = m_queueTail.load(std::memory_order_relaxed);
    const int next = (tail + 1) % kQueueSize;
    if (next == m_queueHead.load(std::memory_order_acquire)) {
        m_dropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    QueueItem& item = m_queue[static_cast<std::size_t>(tail)];
    item.kind = kind;
    item.time = time;
    if (event != nullptr)
        item.event = *event;
    m_queueTail.store(next, std::memory_order_release);
    m_newEvents = 1;
}

void CRecorder::ClearNotesLocked()
{
    for (NoteSlot& s : m_notes)
        s = NoteSlot{};
    m_noteCount = 0;
}

void CRecorder::EndHeldNotesLocked(LONG t, bool clampToTake)
{
    if (m_noteCount == 0)
        return;
    const bool step = m_mode.load() == kModeStep;
    LONG stepLength = 0;
    if (step && FAILED(GetStepDuration(m_stepPosition.load(), &stepLength)))
        stepLength = 0;
    for (int key = 0; key < 128; ++key) {
        for (int channel = 0; channel < 16; ++channel) {
            NoteSlot& slot = m_notes[static_cast<std::size_t>(key * 16 + channel)];
            if (slot.start == kFreeSlot)
                continue;
            LONG end = t;
            // At a take's end in pattern recording the song may have passed
            // the pattern's end since the note began: it lasts to that end.
            if (clampToTake && m_mode.load() == kModePattern && end < slot.start)
                end = m_takeDuration.load();
            CMfxEvent note(MfxNote);
            note.m_time = slot.start;
            note.m_channel = static_cast<BYTE>(channel);
            note.m_note.key = static_cast<BYTE>(key);
            note.m_note.velocity = m_fixedVelocity.load() ? kFixedVelocity : slot.velocity;
            note.m_note.extra = 0;
            LONG duration = step ? stepLength : end - slot.start;
            if (clampToTake && duration <= 0)
                duration = 1;
            note.m_note.duration = static_cast<DWORD>(std::max<LONG>(0, duration));
            Queue(QueueItem::kEvent, 0, &note);
            slot = NoteSlot{};
        }
    }
    m_noteCount = 0;
}

int CRecorder::OnShortMsg(DWORD message, DWORD, int port)
{
    if (!m_recording.load())
        return 0;
    CMfxEvent event;
    if (FAILED(event.SetFromShortMsg(message, static_cast<BYTE>(port))))
        return 0;
    const DWORD status = message & 0xF0u;
    const BYTE velocity = static_cast<BYTE>(message >> 16 & 0x7Fu);
    const bool noteOn = status == 0x90u && velocity != 0;
    const bool noteOff = status == 0x80u || (status == 0x90u && velocity == 0);
    LockNotesSpinning();
    LONG now = 0;
    if (!m_recording.load() || !RecordTime(&now) || now < 0) {
        m_noteLock.Unlock();
        return 0;
    }
    const std::size_t slotIndex = static_cast<std::size_t>((message >> 8 & 0x7Fu) * 16 + (message & 0x0Fu));
    NoteSlot& slot = m_notes[slotIndex];
    if (noteOn) {
        // A second note-on of a held key is ignored: the note began with the
        // first.
        if (slot.start == kFreeSlot) {
            slot.start = now;
            slot.velocity = velocity;
            ++m_noteCount;
        }
    } else if (noteOff) {
        if (slot.start != kFreeSlot) {
            const bool step = m_mode.load() == kModeStep;
            event.m_time = slot.start;
            event.m_note.velocity = m_fixedVelocity.load() ? kFixedVelocity : slot.velocity;
            event.m_note.extra = 0;
            LONG duration = std::max<LONG>(0, now - slot.start);
            if (step && FAILED(GetStepDuration(m_stepPosition.load(), &duration)))
                duration = 0;
            event.m_note.duration = static_cast<DWORD>(duration);
            slot = NoteSlot{};
            --m_noteCount;
            Queue(QueueItem::kEvent, 0, &event);
            // A chord moves the step on once, when its last key is let go.
            if (step && m_noteCount == 0 && AdvanceStepLocked())
                Queue(QueueItem::kWriteTakes, 0, nullptr);
        }
    } else {
        event.m_time = now;
        Queue(QueueItem::kEvent, 0, &event);
    }
    m_noteLock.Unlock();
    return 0;
}

// ---- Loop wraps (audio thread) ----

HRESULT CRecorder::CommitTouches(LONG, LONG loopEnd)
{
    MV_ASSERT_AUDIO_THREAD();
    if (!IsRecording() || m_mode.load() != kModeArrangement)
        return S_OK;
    const LONG t = loopEnd - m_takeStart.load();
    CHeapLockGuard lock(m_noteLock, CHeapLockGuard::TryOnly{});
    if (!lock.OwnsLock()) {
        // Done at the next buffer, before anything of the new pass.
        m_pendingLoopEnd = t;
        return S_FALSE;
    }
    // The take may have ended while the lock was being taken.
    if (IsRecording()) {
        EndHeldNotesLocked(t, false);
        Queue(QueueItem::kLoopWrap, t, nullptr);
    }
    return S_OK;
}

HRESULT CRecorder::WrapAtPatternEnd(LONG now)
{
    MV_ASSERT_AUDIO_THREAD();
    if (!IsRecording())
        return S_OK;
    const LONG pending = m_pendingLoopEnd.load();
    if (pending != kNoPendingWrap) {
        CHeapLockGuard lock(m_noteLock, CHeapLockGuard::TryOnly{});
        if (!lock.OwnsLock())
            return S_FALSE;
        if (IsRecording()) {
            EndHeldNotesLocked(pending, false);
            Queue(QueueItem::kLoopWrap, pending, nullptr);
        }
        m_pendingLoopEnd = kNoPendingWrap;
    }
    IDocumentEngine* engine = m_engine.load();
    if (m_mode.load() != kModePattern || engine == nullptr || (engine->GetRecordMode() & 1) == 0)
        return S_OK;
    const LONG length = m_takeDuration.load();
    if (length <= 0)
        return S_FALSE;
    const LONG pass = m_passStart.load();
    if (now - pass <= length)
        return S_OK;
    CHeapLockGuard lock(m_noteLock, CHeapLockGuard::TryOnly{});
    if (!lock.OwnsLock())
        return S_FALSE;
    if (IsRecording()) {
        EndHeldNotesLocked(length - 1, false);
        Queue(QueueItem::kPassEnd, length, nullptr);
        m_passStart = (now / length) * length;
    }
    return S_OK;
}

// ---- Parameter gestures (UI thread) ----

LONG CRecorder::ContainerTime(SHORT containerId)
{
    CChannel* channel = nullptr;
    const bool isChannel = m_doc != nullptr && SUCCEEDED(m_doc->GetChannel(containerId, &channel)) && channel;
    IDocumentEngine* engine = m_engine.load();
    const LONG position = engine != nullptr ? engine->GetNowTicks(TRUE) : 0;
    if (m_mode.load() == kModeArrangement && !(isChannel && !m_allTracks))
        return position;
    CHeapLockGuard lock(m_noteLock);
    LONG now = position;
    return RecordTime(&now) ? now : -1;
}

HRESULT CRecorder::BeginParamTouch(DWORD paramId, SHORT containerId)
{
    MV_ASSERT_UI_THREAD();
    if (!IsRecording())
        return S_FALSE;
    Drain();
    if (m_touches.count(paramId) == 0) {
        m_touches[paramId] = TouchEntry{ContainerTime(containerId), -1, 1};
        PublishTouches();
    }
    return S_OK;
}

HRESULT CRecorder::EndParamTouch(DWORD paramId, SHORT containerId)
{
    MV_ASSERT_UI_THREAD();
    if (!IsRecording())
        return S_FALSE;
    Drain();
    auto it = m_touches.find(paramId);
    if (it == m_touches.end())
        return S_OK;
    const LONG now = ContainerTime(containerId);
    it->second.end = now;
    it->second.active = 0;
    const HRESULT hr = WriteTakes();
    for (auto& [id, entry] : m_touches)
        entry.start = now;
    m_touches.erase(paramId);
    PublishTouches();
    return hr;
}

HRESULT CRecorder::RecordParamValue(DWORD paramId, SHORT containerId, float value)
{
    MV_ASSERT_UI_THREAD();
    if (!IsRecording())
        return S_FALSE;
    Drain();
    const LONG time = ContainerTime(containerId);
    if (time < 0)
        return S_FALSE;
    CMfxEvent event(MfxAutomation);
    event.m_time = time;
    event.m_automation.param = paramId;
    event.m_value = value;
    return AddEvent(event, containerId);
}

// ---- Writing takes (UI thread) ----

void CRecorder::Drain()
{
    for (;;) {
        const int head = m_queueHead.load(std::memory_order_relaxed);
        if (head == m_queueTail.load(std::memory_order_acquire))
            return;
        QueueItem& item = m_queue[static_cast<std::size_t>(head)];
        switch (item.kind) {
        case QueueItem::kEvent:
            AddEvent(item.event, CMidiDoc::kNone);
            break;
        case QueueItem::kPassEnd:
        case QueueItem::kLoopWrap:
            EndPass(item.time);
            break;
        default:
            WriteTakes();
            break;
        }
        m_queueHead.store((head + 1) % kQueueSize, std::memory_order_release);
    }
}

void CRecorder::EndPass(LONG touchEnd)
{
    for (auto& [id, entry] : m_touches)
        entry.end = touchEnd;
    WriteTakes();
    for (auto& [id, entry] : m_touches)
        entry.start = 0;
}

CPattern* CRecorder::ContainerAutomation(SHORT containerId)
{
    CPattern* pattern = nullptr;
    if (m_doc == nullptr || FAILED(m_doc->GetContainerPattern(containerId, &pattern, nullptr)))
        return nullptr;
    return pattern;
}

DWORD CRecorder::ParamClass(SHORT containerId, DWORD paramId)
{
    CChannel* channel = nullptr;
    if (SUCCEEDED(m_doc->GetChannel(containerId, &channel)) && channel != nullptr) {
        if (channel->IsChannelParam(paramId))
            return 1;
        return channel->IsSynthParam(paramId) ? 2 : 3;
    }
    CAuxBus* aux = nullptr;
    if (SUCCEEDED(m_doc->GetAuxBus(containerId, &aux)) && aux != nullptr)
        return aux->IsBusParam(paramId) ? 1 : 3;
    CMainBus* main = nullptr;
    if (m_doc->IsMainBusId(containerId) && SUCCEEDED(m_doc->GetMainBus(&main)) && main != nullptr)
        return main->IsBusParam(paramId) ? 1 : 3;
    return 3;
}

HRESULT CRecorder::AddEvent(CMfxEvent event, SHORT containerId)
{
    if (!IsRecording() || m_doc == nullptr)
        return S_FALSE;
    const DWORD kind = event.m_kind;
    if (kind == MfxNote && event.m_note.duration == 0)
        return S_FALSE;
    if (kind == MfxAutomation) {
        auto it = m_automation.find(containerId);
        if (it != m_automation.end()) {
            CRecBuffer* buffer = it->second;
            HRESULT hr = buffer->GetTakePattern()->InsertEvent(event, FALSE, nullptr, FALSE);
            if (FAILED(hr))
                return hr;
            if (!buffer->firstEvent) {
                buffer->firstEvent = TRUE;
                if (CPattern* automation = ContainerAutomation(containerId)) {
                    automation->SetLaneTarget(static_cast<LONG>(event.m_automation.param));
                    automation->SetLaneKind(static_cast<LONG>(ParamClass(containerId, event.m_automation.param)));
                }
            }
            m_newEvents = 1;
            return S_OK;
        }
    }
    bool first = true;
    for (Target& target : m_targets) {
        if (kind == MfxAutomation) {
            if (target.channelId != containerId)
                continue;
        }
        HRESULT hr = AddToTarget(target, event, first);
        if (FAILED(hr))
            return hr;
        first = false;
    }
    return S_OK;
}

HRESULT CRecorder::AddToTarget(Target& target, CMfxEvent event, bool first)
{
    CChannel* channel = nullptr;
    if (FAILED(m_doc->GetChannel(target.channelId, &channel)) || channel == nullptr)
        return S_FALSE;
    const DWORD kind = event.m_kind;
    if (kind != MfxAutomation && !channel->AcceptsMidiInput(event, kind == MfxNote, event.m_port))
        return S_FALSE;
    if (kind == MfxNote) {
        const LONG key = static_cast<LONG>(event.m_note.key) + channel->GetInputTranspose();
        event.m_note.key = static_cast<BYTE>(std::clamp<LONG>(key, 0, 127));
    }
    CPattern* take = target.buffer->GetTakePattern();
    CPattern* real = nullptr;
    HRESULT hr = m_doc->GetPattern(target.patternId, &real);
    if (FAILED(hr) || real == nullptr)
        return FAILED(hr) ? hr : E_UNEXPECTED;
    const DWORD mode = m_mode.load();
    if (mode == kModePattern || mode == kModeArrangement) {
        LONG end = event.m_time + 1;
        if (kind == MfxNote)
            end += static_cast<LONG>(event.m_note.duration);
        if (end > take->GetDuration()) {
            if (FAILED(hr = m_doc->SetPatternAttributes(target.patternId, nullptr, &end, nullptr, nullptr,
                                                        m_command)))
                return hr;
            take->SetDuration(end);
            if (first)
                m_takeDuration = end;
        }
        if (mode == kModeArrangement) {
            const LONG start = m_takeStart.load();
            if (target.instanceId == kNoInstance) {
                CPatternInstance instance(real);
                if (FAILED(hr = instance.SetEnd(start + end)) || FAILED(hr = instance.SetStart(start)) ||
                    FAILED(hr = channel->AddPatternInstance(instance, FALSE, m_command)))
                    return hr;
                target.instanceId = instance.GetInstanceId();
                if (FAILED(hr = m_doc->SetActiveInstance(target.instanceId, m_command)))
                    return hr;
            } else {
                CPatternInstance* placed = nullptr;
                if (channel->GetPatternInstance(target.instanceId, &placed) == S_OK && placed != nullptr &&
                    placed->GetEnd() < start + end) {
                    const LONG newEnd = start + end;
                    hr = channel->GetTimeline().SetPatternInstanceAttributes(
                        target.instanceId, FALSE, nullptr, &newEnd, nullptr, nullptr, nullptr, m_command);
                    if (FAILED(hr))
                        return hr;
                }
            }
        }
    }
    if (FAILED(hr = take->InsertEvent(event, FALSE, nullptr, FALSE)))
        return hr;
    if (!target.buffer->firstEvent) {
        target.buffer->firstEvent = TRUE;
        switch (kind) {
        case MfxNote:
            real->SetLaneTarget(kTagNotes);
            real->SetLaneKind(kClassMidi);
            break;
        case MfxWheel:
            real->SetLaneTarget(kTagWheel);
            real->SetLaneKind(kClassMidi);
            break;
        case MfxController:
            real->SetLaneTarget(event.m_ctrl.number);
            real->SetLaneKind(kClassMidi);
            break;
        case MfxAutomation:
            real->SetLaneTarget(static_cast<LONG>(event.m_automation.param));
            real->SetLaneKind(static_cast<LONG>(ParamClass(target.channelId, event.m_automation.param)));
            break;
        default:
            real->SetLaneKind(kClassOther);
            break;
        }
    }
    m_newEvents = 1;
    return S_OK;
}

HRESULT CRecorder::WriteTakes()
{
    if (m_command == nullptr || m_doc == nullptr)
        return S_FALSE;
    HRESULT hr = S_OK;
    for (Target& t : m_targets) {
        CPattern* real = nullptr;
        if (FAILED(m_doc->GetPattern(t.patternId, &real)) || real == nullptr)
            continue;
        if (FAILED(hr = WriteBuffer(t.buffer, real)))
            return hr;
    }
    for (auto& [id, buffer] : m_automation) {
        if (CPattern* automation = ContainerAutomation(id))
            if (FAILED(hr = WriteBuffer(buffer, automation)))
                return hr;
    }
    Post(kEventsWrittenMessage);
    return S_OK;
}

HRESULT CRecorder::WriteBuffer(CRecBuffer* buffer, CPattern* real)
{
    CPattern* take = buffer->GetTakePattern();
    LONG first = -1;
    LONG length = -1;
    const bool replacing = m_replace.load() != 0 && buffer->GetFirstEventTimes(&first, &length) == S_OK;
    HRESULT hr = S_OK;
    // What the take replaces: touched parameters' automation inside their
    // touch, and with replace on everything from the take's first event to
    // its end.
    for (int i = static_cast<int>(real->GetEvents().size()) - 1; i >= 0; --i) {
        const CMfxEvent& e = real->GetEvents()[static_cast<std::size_t>(i)];
        bool remove = false;
        if (e.m_kind == MfxAutomation) {
            const DWORD param = e.m_automation.param;  // a packed field: copied, never bound
            auto touch = m_touches.find(param);
            remove = touch != m_touches.end() && touch->second.end != -1 && e.m_time >= touch->second.start &&
                     e.m_time <= touch->second.end;
        }
        if (!remove && replacing)
            remove = e.m_time >= first && e.m_time <= length;
        if (remove && FAILED(hr = real->DeleteEvent(i, FALSE, m_command)))
            return hr;
    }
    // Automation points closer than kThinTicks before a later point of the
    // same parameter add nothing a listener hears; the take's first point
    // stays.
    for (int i = static_cast<int>(take->GetEvents().size()) - 1; i >= 0; --i) {
        if (i >= static_cast<int>(take->GetEvents().size()))
            continue;
        const CMfxEvent later = take->GetEvents()[static_cast<std::size_t>(i)];
        if (later.m_kind != MfxAutomation)
            continue;
        for (int j = i - 1; j >= 1; --j) {
            const CMfxEvent& e = take->GetEvents()[static_cast<std::size_t>(j)];
            if (e.m_kind == MfxAutomation && e.m_automation.param == later.m_automation.param &&
                later.m_time - e.m_time < kThinTicks) {
                take->DeleteEvent(j, FALSE, nullptr);
                --i;
            }
        }
    }
    for (const CMfxEvent& e : take->GetEvents())
        if (FAILED(hr = real->InsertEvent(e, FALSE, m_command, FALSE)))
            return hr;
    return take->ClearAllEvents(FALSE, nullptr);
}

void CRecorder::Post(UINT message)
{
    if (IDocumentEngine* engine = m_engine.load())
        engine->PostToMainWindow(message, 0, 0);
}
