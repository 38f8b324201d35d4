#include "plugins/synthframework/CSoftSynth.h"

#include <algorithm>
#include <new>

#include "platform/sync/ThreadAffinity.h"

namespace mvsynth {

namespace {
constexpr double kFixedTicksPerQuarter = 62914560.0;  // 960 ticks in 48.16

template <class T>
void ReleaseAndClear(T*& p)
{
    if (p) {
        p->Release();
        p = nullptr;
    }
}

BYTE Clamp7(int v) { return static_cast<BYTE>(std::clamp(v, 0, 127)); }
}  // namespace

CSoftSynth::CSoftSynth(CDXi* instrument, const char* instrumentName, HRESULT* hr) : m_instrument(instrument)
{
    m_pending.reserve(kPendingCapacity);
    m_active.reserve(kActiveCapacity);
    m_sources.reserve(kSourceCapacity);
    m_names = new (std::nothrow) CInstrument(instrumentName ? instrumentName : "");
    if (m_names)
        m_names->AddRef();
    else if (hr && SUCCEEDED(*hr))
        *hr = E_OUTOFMEMORY;
    if (m_instrument)
        m_instrument->SetContext(this);
}

CSoftSynth::~CSoftSynth()
{
    ReleaseHost();
    ReleaseAndClear(m_inputCallback);
    ReleaseAndClear(m_names);
}

void CSoftSynth::ReleaseHost()
{
    ReleaseAndClear(m_tempoMap);
    ReleaseAndClear(m_meterMap);
    ReleaseAndClear(m_converter);
    ReleaseAndClear(m_keyQuery);
    ReleaseAndClear(m_notifyHost);
}

LONG CSoftSynth::InputRate() const
{
    const DWORD rate = m_instrument ? m_instrument->GetInputFormat()->nSamplesPerSec : 0;
    return rate ? static_cast<LONG>(rate) : 44100;
}

HRESULT CSoftSynth::Connect(IUnknown* host)
{
    MV_ASSERT_UI_THREAD();
    CAutoLock lock(m_instrument);
    HRESULT hr = S_OK;
    if (!host)
        return E_POINTER;
    if (m_connected) {
        hr = E_UNEXPECTED;
    } else if (FAILED(hr = host->QueryInterface(IID_IMfxTempoMap, reinterpret_cast<void**>(&m_tempoMap)))) {
        m_tempoMap = nullptr;
    } else {
        if (FAILED(host->QueryInterface(IID_IMfxTimeConverter, reinterpret_cast<void**>(&m_converter))))
            m_converter = nullptr;
        if (FAILED(hr = host->QueryInterface(IID_IMfxMeterMap, reinterpret_cast<void**>(&m_meterMap)))) {
            m_meterMap = nullptr;
            ReleaseHost();
        } else {
            if (FAILED(host->QueryInterface(IID_IMfxKeyQuery, reinterpret_cast<void**>(&m_keyQuery))))
                m_keyQuery = nullptr;
            m_connected = true;
            IMfxInputCallback* callback = nullptr;
            if (SUCCEEDED(host->QueryInterface(IID_IMfxInputCallback, reinterpret_cast<void**>(&callback)))) {
                ReleaseAndClear(m_inputCallback);
                m_inputCallback = callback;
            }
            if (FAILED(host->QueryInterface(IID_IMfxNotifyHost, reinterpret_cast<void**>(&m_notifyHost))))
                m_notifyHost = nullptr;
            m_instrument->OnHostConnect(host);
            hr = S_OK;
        }
    }
    // The caller handed over one reference.
    host->Release();
    return hr;
}

HRESULT CSoftSynth::Disconnect()
{
    MV_ASSERT_UI_THREAD();
    CAutoLock lock(m_instrument);
    if (m_connected)
        m_instrument->OnHostDisconnect();
    ReleaseHost();
    ReleaseAndClear(m_inputCallback);
    m_connected = false;
    return S_OK;
}

void CSoftSynth::ClearQueues()
{
    m_pending.clear();
    m_active.clear();
}

HRESULT CSoftSynth::Start(LONG time)
{
    CAutoLock lock(m_instrument);
    DispatchActive(true);
    ClearQueues();
    m_startOffset = TicksToSamples(time);
    m_renderedTotal = 0;
    m_loopOffset = 0;
    m_playing = true;
    m_instrument->OnStart();
    return S_OK;
}

HRESULT CSoftSynth::AdvanceTime(LONG from, LONG to)
{
    CAutoLock lock(m_instrument);
    m_loopOffset += TicksToSamples(to) - TicksToSamples(from);
    return S_OK;
}

HRESULT CSoftSynth::Stop()
{
    CAutoLock lock(m_instrument);
    DispatchActive(true);
    if (m_instrument->ForwardsNoteOffs()) {
        m_active.clear();
        for (const DXiEvent& e : m_pending)
            if (e.kind == kMfxNote && e.Duration() == kMfxNoteOff && m_active.size() < m_active.capacity()) {
                m_active.push_back(e);
                m_active.back().sampleTime = m_renderedTotal;
            }
        m_pending.clear();
    } else {
        ClearQueues();
    }
    m_playing = false;
    m_instrument->OnStop();
    return S_OK;
}

HRESULT CSoftSynth::Deliver(const DXiEvent& event)
{
    HRESULT hr = m_instrument->AcceptEvent(event);
    if (FAILED(hr))
        return hr;
    if (hr != S_OK)
        return S_OK;
    // Growing here would allocate on the host's audio thread.
    if (m_pending.size() == m_pending.capacity()) {
        ++m_dropped;
        return S_OK;
    }
    m_pending.push_back(event);
    return S_OK;
}

HRESULT CSoftSynth::SendEvents(LONG, LONG, DWORD source, IMfxEventQueue* queue)
{
    CTryLock lock(m_instrument);
    if (!lock.Locked())
        return E_PENDING;
    if (!m_connected)
        return E_UNEXPECTED;
    if (!queue)
        return E_POINTER;
    int count = 0;
    if (HRESULT hr = queue->GetCount(&count); FAILED(hr))
        return hr;
    for (int i = 0; i < count; ++i) {
        MfxEvent record{};
        if (HRESULT hr = queue->GetAt(i, &record); FAILED(hr))
            return hr;
        DXiEvent e = DXiEventFromMfx(record);
        e.sampleTime = TicksToSamplesHeld(record.m_time) + m_loopOffset - m_startOffset;
        e.source = source;
        e.origin = kDXiFromQueue;
        if (HRESULT hr = Deliver(e); FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CSoftSynth::SendMidi(DWORD source, IMfxDataQueue* queue)
{
    // The audio thread never waits for the instrument; any other thread
    // waits for the block being rendered, so its messages are not lost.
    CTryLock lock(m_instrument, CTryLock::TryOnAudio{});
    if (!lock.Locked())
        return E_PENDING;
    if (!queue)
        return E_POINTER;
    if (!m_connected)
        return E_UNEXPECTED;
    int count = 0;
    if (HRESULT hr = queue->GetCount(&count); FAILED(hr))
        return hr;
    for (int i = 0; i < count; ++i) {
        MfxData record{};
        if (HRESULT hr = queue->GetAt(i, &record); FAILED(hr))
            return hr;
        const DWORD msg = record.m_dw2;
        const BYTE status = msg & 0xF0;
        const BYTE d1 = (msg >> 8) & 0x7F;
        const BYTE d2 = (msg >> 16) & 0x7F;
        DXiEvent e{};
        e.time = record.m_dw1;
        e.channel = msg & 0x0F;
        e.source = source;
        e.origin = kDXiFromMidi;
        e.sampleTime = TicksToSamplesHeld(static_cast<LONG>(record.m_dw1)) + m_renderedTotal;
        switch (status) {
        case 0x90:
        case 0x80:
            e.kind = kMfxNote;
            e.data[0] = d1;
            e.data[1] = d2;
            e.data[2] = 64;
            e.SetDuration(status == 0x90 && d2 > 0 ? kMfxHeldNote : kMfxNoteOff);
            break;
        case 0xA0:
            e.kind = kMfxKeyAftertouch;
            e.data[0] = d1;
            e.data[1] = d2;
            break;
        case 0xB0:
            e.kind = kMfxController;
            e.data[0] = d1;
            e.data[1] = d2;
            break;
        case 0xC0:
            e.kind = kMfxPatch;
            e.data[0] = d1;
            e.data[2] = 0xFF;
            e.data[3] = 0xFF;
            break;
        case 0xD0:
            e.kind = kMfxChannelAftertouch;
            e.data[1] = d1;
            break;
        case 0xE0: {
            e.kind = kMfxWheel;
            const auto v = static_cast<SHORT>((d2 << 7 | d1) - 8192);
            e.data[0] = static_cast<BYTE>(v & 0xFF);
            e.data[1] = static_cast<BYTE>((v >> 8) & 0xFF);
            break;
        }
        default:
            continue;  // system messages
        }
        if (HRESULT hr = Deliver(e); FAILED(hr))
            return hr;
    }
    return S_OK;
}

HRESULT CSoftSynth::GetBankMethods(DWORD** methods, LONG* count)
{
    CAutoLock lock(m_instrument);
    return Names()->GetBankMethods(methods, count);
}

HRESULT CSoftSynth::IsSpecialPatch(LONG bank, LONG patch)
{
    CAutoLock lock(m_instrument);
    return Names()->IsSpecialPatch(bank, patch);
}

HRESULT CSoftSynth::IsValidPatch(LONG bank, LONG patch)
{
    CAutoLock lock(m_instrument);
    return Names()->IsValidPatch(bank, patch);
}

HRESULT CSoftSynth::GetPatchNames(LONG bank, IMfxNameList** list)
{
    CAutoLock lock(m_instrument);
    return Names()->GetPatchNames(bank, list);
}

HRESULT CSoftSynth::GetNoteNames(LONG bank, LONG patch, IMfxNameList** list)
{
    CAutoLock lock(m_instrument);
    return Names()->GetNoteNames(bank, patch, list);
}

HRESULT CSoftSynth::GetControllerNames(IMfxNameList** list)
{
    CAutoLock lock(m_instrument);
    return Names()->GetControllerNames(list);
}

HRESULT CSoftSynth::GetRpnNames(IMfxNameList** list)
{
    CAutoLock lock(m_instrument);
    return Names()->GetRpnNames(list);
}

HRESULT CSoftSynth::GetNrpnNames(IMfxNameList** list)
{
    CAutoLock lock(m_instrument);
    return Names()->GetNrpnNames(list);
}

HRESULT CSoftSynth::GetInstrument(IMfxInstrument** instrument)
{
    if (!instrument)
        return E_POINTER;
    CAutoLock lock(m_instrument);
    IMfxInstrument* names = Names();
    names->AddRef();
    *instrument = names;
    return S_OK;
}

IMfxInstrument* CSoftSynth::Names() const
{
    IMfxInstrument* own = m_instrument->Names();
    return own ? own : m_names;
}

DXiSourceState& CSoftSynth::SourceState(DWORD source)
{
    for (DXiSourceState& s : m_sources)
        if (s.source == source)
            return s;
    // Beyond the reserve the oldest entry is taken over rather than growing
    // the table on the audio thread.
    if (m_sources.size() == m_sources.capacity()) {
        m_sources.front() = DXiSourceState{source};
        return m_sources.front();
    }
    m_sources.push_back(DXiSourceState{source});
    return m_sources.back();
}

HRESULT CSoftSynth::OnNotify(const MFX_NOTIFY_MSG* message)
{
    if (!message)
        return E_POINTER;
    CAutoLock lock(m_instrument);
    DXiSourceState& s = SourceState(message->source);
    const auto value = static_cast<signed char>(message->value);
    switch (message->type) {
    case 0:
        s.channelOverride = message->value;
        break;
    case 1:
        s.flags = static_cast<BYTE>(message->value | (s.flags & ~message->mask));
        break;
    case 2:
        s.velocityOffsetA = value;
        break;
    case 3:
        s.velocityOffsetB = value;
        break;
    case 4:
        s.keyOffsetA = value;
        break;
    case 5:
        s.keyOffsetB = value;
        break;
    default:
        break;
    }
    return S_OK;
}

HRESULT CSoftSynth::SetInputCallback(IMfxInputCallback* callback)
{
    CAutoLock lock(m_instrument);
    if (callback)
        callback->AddRef();
    ReleaseAndClear(m_inputCallback);
    m_inputCallback = callback;
    return S_OK;
}

HRESULT CSoftSynth::GetInputCallback(IMfxInputCallback** callback)
{
    if (!callback)
        return E_POINTER;
    CAutoLock lock(m_instrument);
    *callback = m_inputCallback;
    if (!m_inputCallback)
        return S_FALSE;
    m_inputCallback->AddRef();
    return S_OK;
}

// The context's time services: instruments ask them while they render,
// holding the instrument's lock already, so each tries the lock first and the
// audio thread re-enters without waiting.
LONGLONG CSoftSynth::TicksToSamples(LONG ticks)
{
    CReenterLock lock(m_instrument);
    return TicksToSamplesHeld(ticks);
}

LONGLONG CSoftSynth::TicksToSamplesHeld(LONG ticks) const
{
    if (m_converter) {
        MFX_TIME t{};
        t.format = kMfxTimeTicks;
        t.ticks = ticks;
        if (SUCCEEDED(m_converter->ConvertTime(&t, kMfxTimeSamples)))
            return t.samples;
        return 0;
    }
    if (m_tempoMap) {
        const LONGLONG ms = m_tempoMap->TicksToMsecs(ticks);
        return ms * InputRate() / 1000;
    }
    return 0;
}

LONG CSoftSynth::SamplesToTicks(LONGLONG samples)
{
    CReenterLock lock(m_instrument);
    if (m_converter) {
        MFX_TIME t{};
        t.format = kMfxTimeSamples;
        t.samples = samples;
        if (SUCCEEDED(m_converter->ConvertTime(&t, kMfxTimeTicks)))
            return t.ticks;
        return 0;
    }
    if (m_tempoMap)
        return m_tempoMap->MsecsToTicks(static_cast<LONG>(samples * 1000 / InputRate()));
    return 0;
}

LONGLONG CSoftSynth::FixedTicksToSamples(LONGLONG ticks)
{
    CReenterLock lock(m_instrument);
    if (m_playing && m_converter) {
        MFX_TIME t{};
        t.format = kMfxTimeFixedTicks;
        t.fixedTicks = ticks;
        if (SUCCEEDED(m_converter->ConvertTime(&t, kMfxTimeSamples)))
            return t.samples;
        return 0;
    }
    double bpm = m_tempo;
    LONG at = 0, tempo = 0;
    if (!m_playing && m_tempoMap && SUCCEEDED(m_tempoMap->GetTempoAt(0, &at, &tempo)) && tempo > 0)
        bpm = tempo * 0.01;
    return static_cast<LONGLONG>(InputRate() * (static_cast<double>(ticks) / kFixedTicksPerQuarter) / bpm * 60.0 +
                                 0.5);
}

LONGLONG CSoftSynth::SamplesToFixedTicks(LONGLONG samples)
{
    CReenterLock lock(m_instrument);
    if (m_playing && m_converter) {
        MFX_TIME t{};
        t.format = kMfxTimeSamples;
        t.samples = samples;
        if (SUCCEEDED(m_converter->ConvertTime(&t, kMfxTimeFixedTicks)))
            return t.fixedTicks;
        return 0;
    }
    double bpm = m_tempo;
    LONG at = 0, tempo = 0;
    if (!m_playing && m_tempoMap && SUCCEEDED(m_tempoMap->GetTempoAt(0, &at, &tempo)) && tempo > 0)
        bpm = tempo * 0.01;
    return static_cast<LONGLONG>(static_cast<double>(samples) / InputRate() * bpm / 60.0 * kFixedTicksPerQuarter +
                                 0.5);
}

LONG CSoftSynth::QueryHostValue(LONG a, LONG b)
{
    CReenterLock lock(m_instrument);
    if (!m_keyQuery)
        return -1;
    const MFX_HOST_QUERY query{4, a, b};
    LONG value = -1;
    m_keyQuery->QueryValue(&query, &value);
    return value;
}

bool CSoftSynth::IsPlaying()
{
    CReenterLock lock(m_instrument);
    return m_playing;
}

LONG CSoftSynth::GetSampleRate()
{
    CReenterLock lock(m_instrument);
    if (!m_converter)
        return 44100;
    MFX_TIME t{};
    t.format = kMfxTimeSeconds;
    t.seconds = 1.0;
    if (SUCCEEDED(m_converter->ConvertTime(&t, kMfxTimeSamples)) && t.samples > 0 && t.samples < 0x7FFFFFFF)
        return static_cast<LONG>(t.samples);
    return 44100;
}

IMfxMeterMap* CSoftSynth::GetMeterMap()
{
    CReenterLock lock(m_instrument);
    return m_meterMap;
}

HRESULT CSoftSynth::PrepareSlice(DWORD frames)
{
    const LONGLONG end = m_renderedTotal + frames;
    std::size_t kept = 0;
    HRESULT result = S_OK;
    for (std::size_t i = 0; i < m_pending.size(); ++i) {
        DXiEvent e = m_pending[i];
        // Due in this slice, or late.
        if (e.sampleTime >= end || FAILED(result)) {
            m_pending[kept++] = e;
            continue;
        }
        // Late: its time will not come again, so it plays at the slice's start.
        e.sampleTime = std::max(e.sampleTime, m_renderedTotal);
        DXiSourceState& s = SourceState(e.source);
        if (e.kind == kMfxSourceFlags)
            s.flags = static_cast<BYTE>((s.flags & ~e.channel) | e.port);
        if (e.kind == kMfxNote) {
            if (s.flags && (e.origin == kDXiFromQueue || !(s.flags & kPassMidiWhileMuted)))
                continue;
            e.SetKey(Clamp7(e.Key() + s.keyOffsetA + s.keyOffsetB));
            e.SetVelocity(Clamp7(e.Velocity() + s.velocityOffsetA + s.velocityOffsetB));
        }
        if (s.channelOverride != 255)
            e.channel = s.channelOverride & 0x0F;
        if (e.kind == kMfxNote && e.Duration() != kMfxNoteOff) {
            HRESULT hr = m_instrument->OnNoteStart(e);
            if (FAILED(hr)) {
                result = hr;
                continue;
            }
            if (hr != S_OK)
                continue;
        }
        if (m_active.size() < m_active.capacity())
            m_active.push_back(e);
        else
            ++m_dropped;
    }
    m_pending.resize(kept);
    if (FAILED(result) || m_instrument->ForwardsNoteOffs())
        return result;

    // One note-off ends one held note of its key, the earliest in queue order.
    bool marked[128] = {};
    std::erase_if(m_active, [&](const DXiEvent& e) {
        if (e.kind != kMfxNote || e.Duration() != kMfxNoteOff)
            return false;
        marked[e.Key() & 0x7F] = true;
        return true;
    });
    for (DXiEvent& e : m_active) {
        if (e.kind == kMfxNote && e.Duration() == kMfxHeldNote && marked[e.Key() & 0x7F]) {
            e.SetDuration(kMfxNoteOff);
            marked[e.Key() & 0x7F] = false;
        }
    }
    return S_OK;
}

HRESULT CSoftSynth::DispatchActive(bool flush)
{
    HRESULT result = S_OK;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < m_active.size(); ++i) {
        const DXiEvent& e = m_active[i];
        bool keep;
        if (FAILED(result)) {
            keep = true;
        } else if (e.kind == kMfxNote) {
            HRESULT hr = m_instrument->UpdateNote(e, flush);
            if (FAILED(hr)) {
                result = hr;
                keep = true;
            } else {
                keep = hr != S_OK;
            }
        } else {
            keep = m_renderedTotal <= e.sampleTime;
        }
        if (keep)
            m_active[kept++] = e;
    }
    m_active.resize(kept);
    return result;
}

}  // namespace mvsynth
