// The engine owner and the song document as the ReWire-device back-end sees
// them while the program runs as a device of another host: the transport and
// its loop, the song's tempo and meter, the output taps of the aux buses and
// the output branches, and the virtual ReWire MIDI input port.
//
// The back-end's worker is the audio thread of device mode. Whatever it asks
// here is answered without waiting: every call that changes the transport or
// reads the song first tries the engine owner's locks in their one order
// (transport, processing, audio renderer) and, when one is busy, does
// nothing (S_FALSE) and gives the song's defaults; the back-end compares the
// host's state with the program's on every request, so a change left undone
// is made on a later one. The taps are gathered on the UI thread
// (RefreshTaps, after every graph rebuild) and handed over in a fixed table.
//
// Threads: RefreshTaps and the destructor on the UI thread; everything else
// on the worker (HostCallActive and IsPlaying on any thread).
#pragma once

#include "devices/IRewireEngine.h"
#include "uikit/core/CHeapCriticalSection.h"

class CMidiDoc;
class CTransport;
struct IGainPanTap;

class CRewireEngineLink : public IRewireEngine {
public:
    static constexpr int kAuxTaps = 4;
    // The output branches the shared block has pairs for.
    static constexpr int kBranchTaps = 59;

    explicit CRewireEngineLink(CTransport& transport);
    ~CRewireEngineLink();
    CRewireEngineLink(const CRewireEngineLink&) = delete;
    CRewireEngineLink& operator=(const CRewireEngineLink&) = delete;

    // UI thread: takes the taps of the open song's first aux buses and of its
    // output branches in track order, releasing those held before.
    void RefreshTaps();

    void BeginHostCall() override;
    void EndHostCall() override;
    bool HostCallActive() override;

    // Audio thread (the worker): no allocation, no blocking, for all below
    // except the transport changes, which run the engine owner's own
    // re-seek once its locks are held.
    bool IsPlaying() override;
    LONG GetNowTicks() override;
    HRESULT Play() override;
    HRESULT Stop() override;
    HRESULT Locate(LONG tick) override;
    bool IsLoopOn() override;
    LONG GetLoopChangePending() override;
    HRESULT SetLoop(LONG start, LONG end, BOOL on) override;
    HRESULT SetLoopOn(BOOL on) override;
    LONGLONG GetSamplePosition() override;

    bool HasDocument() override;
    LONG GetTempoAt(LONG tick) override;
    HRESULT SetLiveTempo(LONG tick, LONG tempo) override;
    HRESULT RefreshLiveTempo() override;
    void GetMeterAt(LONG tick, LONG* numerator, LONG* power) override;
    // Through the song's staged meter change, at the start of the tick's
    // measure, keeping the key there.
    HRESULT SetMeterAt(LONG tick, LONG numerator, LONG power) override;
    int GetAuxBusCount() override;
    int GetOutputBranchCount() override;
    void SetAuxBusTap(int index, float* block) override;
    void SetOutputBranchTap(int index, float* block) override;

    bool HasRewirePort() override;
    void DeliverRewireMidi(DWORD message, DWORD timeMs) override;

private:
    // The song, when the transport lock could be had and a song is attached.
    CMidiDoc* Song();
    void ReleaseTaps();
    void SetTap(IGainPanTap* tap, float* block);

    CTransport& m_transport;
    // Guards the tap table: the UI thread fills it, the worker only tries.
    CHeapCriticalSection m_tapLock;
    IGainPanTap* m_auxTaps[kAuxTaps] = {};
    IGainPanTap* m_branchTaps[kBranchTaps] = {};
    int m_auxCount = 0;
    int m_branchCount = 0;
};
