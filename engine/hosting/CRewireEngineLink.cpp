#include "engine/hosting/CRewireEngineLink.h"

#include <algorithm>

#include "devices/CAudioRenderer.h"
#include "devices/CMidiSource.h"
#include "engine/CTransport.h"
#include "engine/hosting/CMidiDoc.h"
#include "engine/mixer/CAuxBus.h"
#include "engine/mixer/CChannel.h"
#include "engine/mixer/COutputBranch.h"
#include "model/CHeapLockGuard.h"
#include "model/CMeterKeySigMap.h"
#include "model/CTempoMap.h"
#include "platform/media/IGainPan.h"
#include "platform/sync/Interlocked.h"
#include "platform/sync/ThreadAffinity.h"

namespace {

constexpr CHeapLockGuard::TryOnly kTry{};

// The engine owner's three locks, tried in their one order; held together
// or not at all.
class EngineLocks {
public:
    explicit EngineLocks(CTransport& transport)
    {
        CAudioRenderer* renderer = transport.GetAudioRenderer();
        if (!renderer)
            return;
        for (CHeapCriticalSection* lock :
             {&transport.GetTransportLock(), &transport.GetProcessingLock(), &renderer->GetLock()}) {
            if (!lock->TryLock())
                return;
            m_held[m_count++] = lock;
        }
    }
    ~EngineLocks()
    {
        while (m_count > 0)
            m_held[--m_count]->Unlock();
    }
    EngineLocks(const EngineLocks&) = delete;
    EngineLocks& operator=(const EngineLocks&) = delete;
    bool Held() const { return m_count == 3; }

private:
    CHeapCriticalSection* m_held[3] = {};
    int m_count = 0;
};

// A transport change made for the host once the engine's locks are held:
// the worker stands in for the UI thread, whose part of the engine (the
// graph, the MIDI sync generator) cannot be in use while they are held.
template <class Change>
HRESULT ForHost(CTransport& transport, Change change)
{
    EngineLocks locks(transport);
    if (!locks.Held())
        return S_FALSE;
    mv::ScopedThreadRole role(mv::ThreadRole::UI);
    return change();
}

}  // namespace

CRewireEngineLink::CRewireEngineLink(CTransport& transport) : m_transport(transport) {}

CRewireEngineLink::~CRewireEngineLink() { ReleaseTaps(); }

// ---------------------------------------------------------------- host calls

void CRewireEngineLink::BeginHostCall() { InterlockedIncrement(&g_hostCallCount); }

void CRewireEngineLink::EndHostCall() { InterlockedDecrement(&g_hostCallCount); }

bool CRewireEngineLink::HostCallActive() { return std::atomic_ref<LONG>(g_hostCallCount).load() >= 1; }

// ---------------------------------------------------------------- transport

bool CRewireEngineLink::IsPlaying() { return m_transport.IsPlaying(); }

LONG CRewireEngineLink::GetNowTicks() { return m_transport.GetNowTicks(FALSE); }

HRESULT CRewireEngineLink::Play()
{
    return ForHost(m_transport, [&] { return m_transport.Play(); });
}

HRESULT CRewireEngineLink::Stop()
{
    return ForHost(m_transport, [&] { return m_transport.Stop(); });
}

HRESULT CRewireEngineLink::Locate(LONG tick)
{
    return ForHost(m_transport, [&] { return m_transport.Locate(tick); });
}

bool CRewireEngineLink::IsLoopOn() { return m_transport.IsLoopOn(true); }

LONG CRewireEngineLink::GetLoopChangePending() { return m_transport.GetLoopChangePending(); }

HRESULT CRewireEngineLink::SetLoop(LONG start, LONG end, BOOL on)
{
    return ForHost(m_transport, [&] { return m_transport.SetLoop(start, end, on); });
}

HRESULT CRewireEngineLink::SetLoopOn(BOOL on)
{
    return ForHost(m_transport, [&] { return m_transport.SetLoopOn(on, TRUE); });
}

LONGLONG CRewireEngineLink::GetSamplePosition()
{
    CAudioRenderer* renderer = m_transport.GetAudioRenderer();
    return renderer ? renderer->GetSamplePosition() : 0;
}

// ---------------------------------------------------------------- the song

CMidiDoc* CRewireEngineLink::Song()
{
    ITransportDocument* doc = nullptr;
    if (FAILED(m_transport.GetDocument(&doc)))
        return nullptr;
    return dynamic_cast<CMidiDoc*>(doc);
}

bool CRewireEngineLink::HasDocument()
{
    CHeapLockGuard transport(m_transport.GetTransportLock(), kTry);
    return transport.OwnsLock() && Song() != nullptr;
}

LONG CRewireEngineLink::GetTempoAt(LONG tick)
{
    CHeapLockGuard transport(m_transport.GetTransportLock(), kTry);
    CMidiDoc* song = transport.OwnsLock() ? Song() : nullptr;
    return song ? song->GetTempoMap()->GetTempoAt(tick) : 0;
}

HRESULT CRewireEngineLink::SetLiveTempo(LONG tick, LONG tempo)
{
    CHeapLockGuard transport(m_transport.GetTransportLock(), kTry);
    CMidiDoc* song = transport.OwnsLock() ? Song() : nullptr;
    return song ? song->GetTempoMap()->SetFixedTempo(tick, tempo) : S_FALSE;
}

HRESULT CRewireEngineLink::RefreshLiveTempo()
{
    CHeapLockGuard transport(m_transport.GetTransportLock(), kTry);
    CMidiDoc* song = transport.OwnsLock() ? Song() : nullptr;
    if (!song)
        return S_FALSE;
    // The live tempo runs from the song's start again.
    CTempoMap* map = song->GetTempoMap();
    if (map->GetFixedTempo(nullptr, nullptr, nullptr) != S_OK)
        return S_FALSE;
    map->RebaseFixedTempo();
    return S_OK;
}

void CRewireEngineLink::GetMeterAt(LONG tick, LONG* numerator, LONG* power)
{
    LONG n = 4, p = 2;
    {
        CHeapLockGuard transport(m_transport.GetTransportLock(), kTry);
        if (CMidiDoc* song = transport.OwnsLock() ? Song() : nullptr) {
            const CMeterKeySigMap& map = song->GetMeterKeyMap();
            const int i = map.FindIndexAtTick(tick);
            if (i >= 0 && i < map.GetSize()) {
                n = map[i].m_numerator;
                p = map[i].m_power;
            }
        }
    }
    if (numerator)
        *numerator = n;
    if (power)
        *power = p;
}

HRESULT CRewireEngineLink::SetMeterAt(LONG tick, LONG numerator, LONG power)
{
    CHeapLockGuard transport(m_transport.GetTransportLock(), kTry);
    CMidiDoc* song = transport.OwnsLock() ? Song() : nullptr;
    if (!song)
        return S_FALSE;
    const CMeterKeySigMap& map = song->GetMeterKeyMap();
    LONG measure = 1;
    SHORT beat = 0, tickInBeat = 0;
    map.TickToMbt(tick, &measure, &beat, &tickInBeat);
    const int i = map.FindIndexAtTick(tick);
    const LONG key = i >= 0 && i < map.GetSize() ? map[i].m_key : 0;
    HRESULT hr = song->StageMeterKey(map.MbtToTick(measure, 1, 0), CMeterKey(measure, numerator, power, key));
    if (SUCCEEDED(hr))
        hr = song->CommitStagedMeterKey(FALSE);
    return hr;
}

// ---------------------------------------------------------------- taps

void CRewireEngineLink::ReleaseTaps()
{
    for (IGainPanTap*& tap : m_auxTaps) {
        if (tap)
            tap->Release();
        tap = nullptr;
    }
    for (IGainPanTap*& tap : m_branchTaps) {
        if (tap)
            tap->Release();
        tap = nullptr;
    }
    m_auxCount = 0;
    m_branchCount = 0;
}

namespace {

// The tap of a bus's or branch's gain-pan filter (its send object 0), with a
// reference; null when there is none.
IGainPanTap* TapOf(IUnknown* sendObject)
{
    if (!sendObject)
        return nullptr;
    IGainPanTap* tap = nullptr;
    if (FAILED(sendObject->QueryInterface(IID_IGainPanTap, reinterpret_cast<void**>(&tap))))
        tap = nullptr;
    sendObject->Release();
    return tap;
}

}  // namespace

void CRewireEngineLink::RefreshTaps()
{
    MV_ASSERT_UI_THREAD();
    CHeapLockGuard guard(m_tapLock);
    ReleaseTaps();
    ITransportDocument* doc = nullptr;
    if (FAILED(m_transport.GetDocument(&doc)))
        return;
    CMidiDoc* song = dynamic_cast<CMidiDoc*>(doc);
    if (!song)
        return;
    for (int i = 0; i < std::min(song->GetAuxBusCount(), kAuxTaps); ++i) {
        CAuxBus* bus = nullptr;
        if (SUCCEEDED(song->GetAuxBusAt(i, &bus)) && bus)
            m_auxTaps[i] = TapOf(bus->GetSendObject(0));
        m_auxCount = i + 1;
    }
    for (int c = 0; c < song->GetChannelCount(); ++c) {
        CChannel* channel = nullptr;
        if (FAILED(song->GetChannelAt(c, &channel)) || !channel)
            continue;
        for (int o = 0; o < channel->GetOutputCount() && m_branchCount < kBranchTaps; ++o) {
            COutputBranch* branch = channel->GetOutputBranch(o);
            m_branchTaps[m_branchCount++] = branch ? TapOf(branch->GetSendObject(0)) : nullptr;
        }
    }
}

int CRewireEngineLink::GetAuxBusCount()
{
    CHeapLockGuard guard(m_tapLock, kTry);
    return guard.OwnsLock() ? m_auxCount : 0;
}

int CRewireEngineLink::GetOutputBranchCount()
{
    CHeapLockGuard guard(m_tapLock, kTry);
    return guard.OwnsLock() ? m_branchCount : 0;
}

void CRewireEngineLink::SetTap(IGainPanTap* tap, float* block)
{
    if (tap)
        tap->SetOutputTap(block);
}

void CRewireEngineLink::SetAuxBusTap(int index, float* block)
{
    CHeapLockGuard guard(m_tapLock, kTry);
    if (guard.OwnsLock() && index >= 0 && index < m_auxCount)
        SetTap(m_auxTaps[index], block);
}

void CRewireEngineLink::SetOutputBranchTap(int index, float* block)
{
    CHeapLockGuard guard(m_tapLock, kTry);
    if (guard.OwnsLock() && index >= 0 && index < m_branchCount)
        SetTap(m_branchTaps[index], block);
}

// ---------------------------------------------------------------- MIDI

bool CRewireEngineLink::HasRewirePort()
{
    auto* source = dynamic_cast<CMidiSource*>(m_transport.GetMidiSource());
    return source && source->GetRewirePort() != nullptr;
}

void CRewireEngineLink::DeliverRewireMidi(DWORD message, DWORD timeMs)
{
    auto* source = dynamic_cast<CMidiSource*>(m_transport.GetMidiSource());
    if (CMidiSource::PortRecord* port = source ? source->GetRewirePort() : nullptr)
        source->Deliver(port, message, timeMs);
}
