// What the ReWire-device back-end asks of the engine owner and the song
// document while it follows the host: the transport and loop, the tempo
// and meter at a position, the output taps of the aux buses and output
// branches, the virtual ReWire MIDI input port, and the host-call bracket
// that keeps the engine owner from echoing the host's own changes back.
// The engine owner implements it; tests drive the back-end with a fake.
//
// Threads: the back-end's worker (the audio thread of device mode) calls
// everything except HostCallActive and IsPlaying, which the UI thread's
// host commands read too.
#pragma once

#include "platform/win/WinTypes.h"

class IRewireEngine {
public:
    // Raised around every transport change made for the host, and lowered after.
    virtual void BeginHostCall() = 0;
    virtual void EndHostCall() = 0;
    virtual bool HostCallActive() = 0;

    // The transport changes and loop setters give S_FALSE when they were left
    // undone (the engine was busy); the back-end tries again on a later
    // request.
    virtual bool IsPlaying() = 0;
    // The song position in ticks (960 a quarter note).
    virtual LONG GetNowTicks() = 0;
    virtual HRESULT Play() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT Locate(LONG tick) = 0;
    // Whether looping is on, a change still staged counted.
    virtual bool IsLoopOn() = 0;
    // 1 while a loop change is staged in the engine owner.
    virtual LONG GetLoopChangePending() = 0;
    virtual HRESULT SetLoop(LONG start, LONG end, BOOL on) = 0;
    virtual HRESULT SetLoopOn(BOOL on) = 0;
    // The renderer's sample position.
    virtual LONGLONG GetSamplePosition() = 0;

    // False when no song document is open; the calls below need one.
    virtual bool HasDocument() = 0;
    // Beats per minute x 100 in force at `tick`.
    virtual LONG GetTempoAt(LONG tick) = 0;
    virtual HRESULT SetLiveTempo(LONG tick, LONG tempo) = 0;
    virtual HRESULT RefreshLiveTempo() = 0;
    // The meter in force at `tick`: numerator and the power of two of its beat unit.
    virtual void GetMeterAt(LONG tick, LONG* numerator, LONG* power) = 0;
    // Stages and commits the meter at the measure of `tick`.
    virtual HRESULT SetMeterAt(LONG tick, LONG numerator, LONG power) = 0;
    virtual int GetAuxBusCount() = 0;
    virtual int GetOutputBranchCount() = 0;
    // The block the bus or branch writes its float output for the next
    // render into, or null for none. Audio thread: no allocation, no blocking.
    virtual void SetAuxBusTap(int index, float* block) = 0;
    virtual void SetOutputBranchTap(int index, float* block) = 0;

    // The virtual ReWire MIDI input port: whether it exists, and a message
    // delivered through it at a time in milliseconds.
    virtual bool HasRewirePort() = 0;
    virtual void DeliverRewireMidi(DWORD message, DWORD timeMs) = 0;

protected:
    ~IRewireEngine() = default;
};
