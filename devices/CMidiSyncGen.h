// MIDI sync output: MIDI clock (24 a quarter note) from the transport's
// position, Song Position Pointer, Start, Continue and Stop on one MIDI
// output port. The song document decides whether sync is sent at all
// (Start and Stop); the transport's play, stop and locate send Start or
// Continue, Stop and Song Position while it runs. Clocks come from the
// program's timer, never from the audio thread: each tick sends every clock
// the position has passed.
//
// Stop, Song Position, Start and Continue are never sent twice in a row;
// the clock is never held back so. A relocation guard (CMidiSyncGuard)
// stops the generator for its scope without closing the port and restarts
// it after, so setters and relocations re-send only what changed.
//
// Threads: everything but the clock tick belongs to the UI thread (the
// transport calls from its own operations there). The tick runs on the
// timer's thread and sends under the port lock only while the generator
// runs and the port is open, so a late tick never reaches a port that was
// just closed.
#pragma once

#include <atomic>
#include <mutex>

#include "devices/IMidiSyncGen.h"
#include "devices/IMidiSyncHost.h"
#include "model/CKelPersistObject.h"
#include "platform/midi/MidiApi.h"

class IMidiSyncDocument;

class CMidiSyncGen : public IMidiClockTick, public CKelPersistObject, public IMidiSyncGen {
public:
    static constexpr WORD kMajor = 0x601E;
    static constexpr DWORD kClock = 0xF8;
    static constexpr DWORD kSongPosition = 0xF2;
    static constexpr DWORD kStart = 0xFA;
    static constexpr DWORD kContinue = 0xFB;
    static constexpr DWORD kStop = 0xFC;

    explicit CMidiSyncGen(IMidiSyncHost* host);
    ~CMidiSyncGen() override;

    HRESULT Restart(IMidiSyncDocument* document) override;
    // E_ACCESSDENIED without a document; E_FAIL when the port will not open.
    HRESULT Start();
    HRESULT Stop();
    HRESULT SetSendSPP(int send) override;
    HRESULT SetStartNeverContinue(int never) override;
    HRESULT SetOutputPort(int deviceId) override;
    HRESULT Relocate() override;
    HRESULT SendPositionAndStart() override;
    HRESULT SendStop() override;
    IPersistStreamInit* GetPersistObject() override { return this; }

    // Timer thread.
    void OnClockTick() override;

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

    bool IsRunning() const { return m_running.load() != 0; }
    bool IsPortOpen();
    LONG GetClockPosition() const { return m_clockPosition.load(); }
    int GetOutputPort() const { return m_deviceId; }
    DWORD GetLastMessage() const { return m_lastMessage; }

private:
    friend class CMidiSyncGuard;

    LONG ClockAt(LONG ticks) const;
    HRESULT SendSongPosition(LONG clockPosition);
    HRESULT SendStartOrContinue();
    // Suppressed (S_FALSE) when it repeats the last message sent.
    HRESULT SendOnce(DWORD message);
    HRESULT ClosePort();

    IMidiSyncHost* m_host;
    IMidiSyncDocument* m_document = nullptr;
    std::atomic<LONG> m_running{0};
    LONG m_sendSongPosition = 1;
    LONG m_startNeverContinue = 0;
    LONG m_ticksPerQuarter = 960;
    double m_clocksPerTick = 24.0 / 960.0;
    std::atomic<LONG> m_clockPosition{0};
    int m_deviceId = 0;
    std::mutex m_portLock;  // the handle, and every send
    HMIDIOUT m_handle = nullptr;
    DWORD m_lastMessage = 0;
    LONG m_repositionPending = 0;
};
