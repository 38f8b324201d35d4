#include "devices/CRewireDevice.h"

#include <algorithm>
#include <cstring>

#include "devices/CAppConfig.h"
#include "devices/IEngineOwner.h"
#include "devices/IRewireEngine.h"
#include "platform/ipc/FileMapping.h"
#include "platform/ipc/Mailslot.h"
#include "platform/ipc/NamedEvent.h"
#include "platform/rewire/MvDeviceProtocol.h"
#include "platform/sync/Event.h"
#include "platform/sync/Interlocked.h"
#include "platform/sync/ThreadAffinity.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

using namespace mvdevice;

namespace {

constexpr LONG kMaxMeterPower = 5;
constexpr LONG kMaxNumerator = 127;

struct RateMask {
    int rate;
    unsigned mask;
};
constexpr RateMask kRates[] = {{11025, 0xF},      {22050, 0xF0},      {44100, 0xF00},
                               {48000, 0xF000},   {88200, 0xF0000},   {96000, 0xF00000}};

// The power of two that `denominator` is, up to 2^5; -1 for anything else.
LONG PowerOf(std::uint32_t denominator)
{
    for (LONG p = 0; p <= kMaxMeterPower; ++p)
        if (denominator == (1u << p))
            return p;
    return -1;
}

// Division that rounds toward zero, as a received position is scaled.
LONG FromHost(std::int32_t position) { return static_cast<LONG>(position / kTicksScale); }

// Raises the engine owner's host-call counter for as long as it lives.
class HostCall {
public:
    explicit HostCall(IRewireEngine* engine) : m_engine(engine) { m_engine->BeginHostCall(); }
    ~HostCall() { m_engine->EndHostCall(); }
    HostCall(const HostCall&) = delete;
    HostCall& operator=(const HostCall&) = delete;

private:
    IRewireEngine* m_engine;
};

}  // namespace

// What the worker serves requests with, shared with it: the block and the
// events, and the state it keeps from request to request.
struct CRewireDevice::Server {
    CRewireDevice* device;
    IEngineOwner* owner;
    IRewireEngine* engine;
    char* block;
    HANDLE request;
    HANDLE acknowledge;
    LONG stopCount = 0;
    LONG lastLoopStart = -1;
    LONG lastLoopEnd = -1;
    LONG zeroCount = -1;
    // The host located and started while the engine could not follow (its
    // locks were busy): the next playing request locates and starts then.
    bool startPending = false;

    // Audio thread (the worker): no allocation; waits only on the bridge.
    void Serve();
    void FollowTransport();
    void FollowLoop();
    void FollowMeter();
    void Render(std::uint32_t offset, std::uint32_t frames);
    void UpdateZeroCount(LONG position) { zeroCount = position == 0 ? zeroCount + 1 : 0; }
};

void CRewireDevice::Server::FollowTransport()
{
    const std::uint32_t request = ReadU32(block, kTransportRequest);
    const LONG position = FromHost(ReadI32(block, kSongPosition));
    if (request == 0) {
        startPending = false;
        if (engine->IsPlaying()) {
            HostCall call(engine);
            engine->Stop();
        }
        if (position != engine->GetNowTicks() && (position != 0 || zeroCount > 1)) {
            device->SetHostTempo(position, static_cast<LONG>(ReadU32(block, kTempo) / 10), true);
            HostCall call(engine);
            engine->Locate(position);
        }
        UpdateZeroCount(position);
    } else if (request == 1 && !startPending) {
        if (!engine->IsPlaying()) {
            HostCall call(engine);
            engine->Play();
        }
    } else if (request == 1 || request == 2) {
        // An engine that left the locate undone (S_FALSE) does not start
        // from the wrong place: it locates where the host is next time.
        {
            HostCall call(engine);
            if (engine->IsPlaying())
                engine->Stop();
        }
        device->SetHostTempo(position, static_cast<LONG>(ReadU32(block, kTempo) / 10), true);
        HostCall call(engine);
        startPending = engine->Locate(position) == S_FALSE;
        if (!startPending)
            engine->Play();
        UpdateZeroCount(position);
    }
}

void CRewireDevice::Server::FollowLoop()
{
    const LONG start = FromHost(ReadI32(block, kLoopStart));
    const LONG end = FromHost(ReadI32(block, kLoopEnd));
    const bool hostOn = ReadU32(block, kLoopOn) != 0;
    if (start == lastLoopStart && end == lastLoopEnd && hostOn == engine->IsLoopOn())
        return;
    if (engine->GetLoopChangePending() != 1) {
        HostCall call(engine);
        const HRESULT hr = !hostOn && engine->IsLoopOn() ? engine->SetLoopOn(FALSE)
                                                         : engine->SetLoop(start, end, hostOn ? TRUE : FALSE);
        // Left undone (the engine was busy): compared again next time.
        if (hr == S_FALSE)
            return;
    }
    lastLoopStart = start;
    lastLoopEnd = end;
}

void CRewireDevice::Server::FollowMeter()
{
    const std::uint32_t numerator = ReadU32(block, kNumerator);
    const LONG power = PowerOf(ReadU32(block, kDenominator));
    // A meter the song cannot hold is the host's mistake: the song keeps its own.
    if (power < 0 || numerator < 1 || numerator > static_cast<std::uint32_t>(kMaxNumerator))
        return;
    const LONG now = engine->GetNowTicks();
    LONG n = 0, p = 0;
    engine->GetMeterAt(now, &n, &p);
    if (n != static_cast<LONG>(numerator) || p != power)
        engine->SetMeterAt(now, static_cast<LONG>(numerator), power);
}

void CRewireDevice::Server::Render(std::uint32_t offset, std::uint32_t frames)
{
    const auto* wanted = reinterpret_cast<const std::uint32_t*>(block + kWantedChannels);
    auto pairWanted = [&](int pair) {
        return ((wanted[(2 * pair) / 32] >> ((2 * pair) % 32)) & 3u) != 0;
    };
    auto pairBlock = [&](int pair) { return reinterpret_cast<float*>(block + PairOffset(pair, offset)); };
    // A wanted pair that no bus or branch writes this time (none behind it,
    // or one left out of the render) is silence, not what an earlier
    // request left there.
    for (int pair = 1; pair < kPairs; ++pair)
        if (pairWanted(pair))
            std::memset(pairBlock(pair), 0, frames * 8u);
    const int auxCount = std::min(engine->GetAuxBusCount(), kAuxBuses);
    for (int i = 0; i < auxCount; ++i)
        engine->SetAuxBusTap(i, pairWanted(i + 1) ? pairBlock(i + 1) : nullptr);
    const int branches = engine->GetOutputBranchCount();
    for (int b = 0; b < branches; ++b) {
        const int pair = 1 + kAuxBuses + b;
        engine->SetOutputBranchTap(b, b < kMaxBranches && pairWanted(pair) ? pairBlock(pair) : nullptr);
    }
    owner->ProcessBuffer(pairBlock(0), nullptr, frames * 8, static_cast<LONG>(frames));
}

void CRewireDevice::Server::Serve()
{
    const std::uint32_t frames = std::min(ReadU32(block, kFrames), kMaxFrames);
    const std::uint32_t events = std::min(ReadU32(block, kEventCount), kMaxEvents);
    const int rate = device->m_sampleRate;
    const auto decimation = static_cast<std::uint32_t>(CAppConfig::GetRewireDecimationMS() * rate * 0.001);
    const bool midi = events > 0 && engine->HasRewirePort();
    std::uint32_t delivered = 0;
    std::uint32_t offset = 0;
    bool first = true;
    do {
        const std::uint32_t f = decimation > 0 ? std::min(decimation, frames - offset) : frames - offset;
        WriteU32(block, kFrames, f);
        while (midi && delivered < events && ReadU32(block, kEvents + delivered * 8) < offset + f) {
            const std::uint32_t at = ReadU32(block, kEvents + delivered * 8);
            const std::uint32_t within = at > offset ? at - offset : 0;
            const auto ms = static_cast<DWORD>(static_cast<double>(engine->GetSamplePosition() + within) /
                                               rate * 1000.0);
            engine->DeliverRewireMidi(ReadU32(block, kEvents + delivered * 8 + 4), ms);
            ++delivered;
        }
        if (first) {
            const auto hostRate = static_cast<int>(ReadU32(block, kHostSampleRate));
            if (hostRate != rate && hostRate > 0) {
                device->SetSampleRate(hostRate);
                owner->RequestAudioReset();
            }
            first = false;
        }
        if (engine->HasDocument()) {
            FollowTransport();
            device->SetHostTempo(engine->GetNowTicks(), static_cast<LONG>(ReadU32(block, kTempo) / 10), false);
            FollowLoop();
            FollowMeter();
            if (f > 0)
                Render(offset, f);
        } else {
            // No song: the host hears silence rather than what the block held.
            for (int pair = 0; pair < kPairs; ++pair)
                std::memset(block + PairOffset(pair, offset), 0, f * 8u);
        }
        offset += f;
    } while (offset < frames);
    SetEvent(acknowledge);
}

CRewireDevice::CRewireDevice(IEngineOwner* owner, IRewireEngine* engine)
    : m_owner(owner), m_engine(engine), m_slot(INVALID_HANDLE_VALUE)
{
}

CRewireDevice::~CRewireDevice() { Close(0); }

void CRewireDevice::SetSampleRate(int rate)
{
    for (const RateMask& r : kRates)
        if (r.rate == rate) {
            m_sampleRate = rate;
            m_mask = r.mask;
            return;
        }
    m_sampleRate = 44100;
    m_mask = 0xF00;
}

unsigned CRewireDevice::GetCapabilityMask() const { return m_mask; }

int CRewireDevice::GetSampleRate() { return m_sampleRate; }

HRESULT CRewireDevice::EnumPorts(IEnumAudioDeviceCallback* callback, int)
{
    if (!callback)
        return E_POINTER;
    int limits[kBufferLimitEntries];
    std::fill(std::begin(limits), std::end(limits), static_cast<int>(kMaxFrames));
    const GUID none{};
    callback->AddPort(&none, LoadResString(IDS_REWIRE_DEVICE), m_mask, "", limits);
    return S_OK;
}

HRESULT CRewireDevice::GetPortInfo(GUID* id, CString* name, int, unsigned* mask, int* limits)
{
    return DescribeSinglePort(id, name, LoadResString(IDS_REWIRE_DEVICE), mask, m_mask, limits,
                              static_cast<int>(kMaxFrames));
}

HRESULT CRewireDevice::GetErrorList(std::vector<CString>* errors)
{
    return m_errors.Take(errors);
}

HRESULT CRewireDevice::Open()
{
    MV_ASSERT_UI_THREAD();
    HRESULT hr = S_OK;
    if (!m_request)
        m_request = CreateNamedEventA(nullptr, FALSE, FALSE, kRequestEventName);
    if (!m_acknowledge)
        m_acknowledge = CreateNamedEventA(nullptr, FALSE, FALSE, kAcknowledgeEventName);
    if (m_slot == INVALID_HANDLE_VALUE)
        m_slot = OpenMailslotA(kMailslotName);
    if (!m_mapping)
        m_mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kMappingName);
    if (m_mapping && !m_view)
        m_view = MapViewOfFile(m_mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (!m_request || !m_acknowledge || m_slot == INVALID_HANDLE_VALUE || !m_view)
        hr = E_FAIL;
    if (SUCCEEDED(hr))
        m_open = true;
    return hr;
}

HRESULT CRewireDevice::Close(int)
{
    if (m_open) {
        if (HRESULT hr = Stop(); FAILED(hr))
            return hr;
    }
    // A worker that never ended still reads the block: it stays mapped.
    if (m_view && !m_thread.StillRunning())
        UnmapViewOfFile(m_view);
    m_view = nullptr;
    if (m_mapping)
        CloseHandle(m_mapping);
    m_mapping = nullptr;
    if (m_slot != INVALID_HANDLE_VALUE)
        CloseHandle(m_slot);
    m_slot = INVALID_HANDLE_VALUE;
    for (HANDLE* h : {&m_request, &m_acknowledge}) {
        if (*h)
            CloseHandle(*h);
        *h = nullptr;
    }
    m_open = false;
    return S_OK;
}

HRESULT CRewireDevice::SetFormat(int sampleRate, unsigned short bitsPerSample, int)
{
    m_format = WAVEFORMATEX{};
    m_format.wFormatTag = WAVE_FORMAT_PCM;
    m_format.nChannels = 2;
    m_format.nSamplesPerSec = static_cast<DWORD>(sampleRate);
    m_format.nBlockAlign = static_cast<WORD>((bitsPerSample + 7) / 8 * 2);
    m_format.wBitsPerSample = bitsPerSample;
    m_format.nAvgBytesPerSec = m_format.nSamplesPerSec * m_format.nBlockAlign;
    return S_OK;
}

HRESULT CRewireDevice::GetBufferBytes(unsigned* bytes)
{
    if (!bytes)
        return E_POINTER;
    *bytes = static_cast<unsigned>(kPairBytes);
    return S_OK;
}

DWORD CRewireDevice::Worker(LPVOID arg)
{
    const std::unique_ptr<std::shared_ptr<Server>> holder(static_cast<std::shared_ptr<Server>*>(arg));
    Server& server = **holder;
    MV_ASSERT_AUDIO_THREAD();
    while (InterlockedCompareExchange(&server.stopCount, 0, 0) == 0) {
        if (WaitForSingleObject(server.request, INFINITE) != WAIT_OBJECT_0)
            break;
        if (InterlockedCompareExchange(&server.stopCount, 0, 0) != 0)
            break;
        server.Serve();
    }
    return 0;
}

HRESULT CRewireDevice::Start()
{
    MV_ASSERT_UI_THREAD();
    if (!m_open)
        return E_FAIL;
    CommandRecord start;
    start.SetCommand(kCommandDevice);
    start.bytes[2] = kDeviceMark;
    start.bytes[3] = kDeviceStart;
    SendRecord(start.bytes);
    if (m_thread.StillRunning())
        return E_FAIL;
    auto server = std::make_shared<Server>(
        Server{this, m_owner, m_engine, static_cast<char*>(m_view), m_request, m_acknowledge});
    if (m_server) {
        server->lastLoopStart = m_server->lastLoopStart;
        server->lastLoopEnd = m_server->lastLoopEnd;
        server->zeroCount = m_server->zeroCount;
    }
    if (!m_thread.Create(Worker, server))
        return E_FAIL;
    m_server = server;
    m_thread.Resume();
    return S_OK;
}

HRESULT CRewireDevice::Stop()
{
    MV_ASSERT_UI_THREAD();
    if (m_thread.Exists() && m_server) {
        InterlockedIncrement(&m_server->stopCount);
        PulseEvent(m_request);
        m_thread.Stop(&m_server->stopCount, kStopWaitMs);
    }
    CommandRecord stop;
    stop.SetCommand(kCommandDevice);
    stop.bytes[2] = kDeviceMark;
    stop.bytes[3] = kDeviceStop;
    SendRecord(stop.bytes);
    return S_OK;
}

HRESULT CRewireDevice::SendRecord(const void* record)
{
    DWORD written = 0;
    if (!WriteMailslot(m_slot, record, kCommandSize, &written) || written != kCommandSize)
        return E_FAIL;
    return S_OK;
}

HRESULT CRewireDevice::SendHostStop()
{
    if (m_engine->HostCallActive() || m_slot == INVALID_HANDLE_VALUE)
        return S_OK;
    CommandRecord r;
    r.SetCommand(kCommandStop);
    return SendRecord(r.bytes);
}

HRESULT CRewireDevice::SendHostPlay()
{
    if (m_engine->HostCallActive() || m_slot == INVALID_HANDLE_VALUE)
        return S_OK;
    CommandRecord r;
    r.SetCommand(kCommandPlay);
    return SendRecord(r.bytes);
}

HRESULT CRewireDevice::SendHostLoop(LONG loopStart, LONG loopEnd, BOOL on)
{
    if (m_engine->HostCallActive() || m_slot == INVALID_HANDLE_VALUE)
        return S_OK;
    CommandRecord r;
    r.SetCommand(kCommandLoop);
    r.SetWord(4, static_cast<std::uint32_t>(loopStart) << 4);
    r.SetWord(8, static_cast<std::uint32_t>(loopEnd) << 4);
    r.bytes[12] = on ? 1 : 0;
    return SendRecord(r.bytes);
}

HRESULT CRewireDevice::SendHostReposition(LONG tick)
{
    if (m_engine->HostCallActive() || m_slot == INVALID_HANDLE_VALUE)
        return S_OK;
    if (m_engine->IsPlaying())
        return S_FALSE;
    CommandRecord r;
    r.SetCommand(kCommandRelocate);
    r.SetWord(4, static_cast<std::uint32_t>(tick) << 4);
    return SendRecord(r.bytes);
}

void CRewireDevice::SetHostTempo(LONG position, LONG tempo, bool force)
{
    if (!m_engine->HasDocument() || tempo <= 0)
        return;
    if (m_engine->GetTempoAt(position) == tempo && !force)
        return;
    HostCall call(m_engine);
    m_engine->SetLiveTempo(position, tempo);
    if (force)
        m_engine->RefreshLiveTempo();
}
