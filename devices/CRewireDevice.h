// The audio back-end of the program running as a ReWire device of another
// host. Its audio goes to the bridge on the host's side through a shared
// block: for every request the bridge fills the block with the host's
// transport, tempo, meter, loop, MIDI events and frame count and signals
// "MvDataReq"; the worker thread follows the host's transport, delivers the
// events to the virtual ReWire MIDI port, lets the engine render float audio
// straight into the block, and signals "MvDataAck". The user's own
// transport changes go to the host as 24-byte command records through the
// bridge's mailslot.
//
// What the other side writes is trusted no further than the block holds:
// frame and event counts are held to the block's capacity, a meter whose
// beat unit is no power of two up to 32 is ignored, and only as many output
// branches reach the host as the block has stereo pairs for (59, after the
// master pair and the four aux pairs).
//
// The engine owner may leave a change for the host undone when it is busy
// (S_FALSE): the loop is compared again on the next request, and a locate
// and start is made then at the host's position, not a start from the wrong
// place.
//
// Threads: the IAudioDevice calls and the host commands on the UI thread;
// the worker (the audio thread of device mode) serves the requests and
// changes the transport with the engine owner's host-call counter raised.
#pragma once

#include <atomic>
#include <memory>

#include "devices/CAudioErrorList.h"
#include "devices/CDeviceThread.h"
#include "devices/IRewireDevice.h"
#include "platform/sync/Handle.h"

class IEngineOwner;
class IRewireEngine;

class CRewireDevice : public IRewireDevice {
public:
    static constexpr DWORD kStopWaitMs = 10000;
    // Output branches the block has pairs for.
    static constexpr int kMaxBranches = 59;
    static constexpr int kAuxBuses = 4;

    CRewireDevice(IEngineOwner* owner, IRewireEngine* engine);
    ~CRewireDevice() override;
    CRewireDevice(const CRewireDevice&) = delete;
    CRewireDevice& operator=(const CRewireDevice&) = delete;

    HRESULT EnumPorts(IEnumAudioDeviceCallback* callback, int isInput) override;
    // The events, the mailslot and the shared block, all made by the bridge
    // except the events, which are made when missing. E_FAIL on any failure.
    HRESULT Open() override;
    HRESULT Close(int unloadDriver) override;
    HRESULT SetWindow(HWND) override { return S_OK; }
    HRESULT SetFormat(int sampleRate, unsigned short bitsPerSample, int bufferFrames) override;
    HRESULT Set24BitMode(unsigned short) override { return S_OK; }
    HRESULT ReleaseBuffers() override { return S_OK; }
    HRESULT GetBufferBytes(unsigned* bytes) override;
    // Sends the start record and starts the worker.
    HRESULT Start() override;
    // Ends the worker (a bounded wait) and sends the stop record.
    HRESULT Stop() override;
    HRESULT Pause() override { return S_OK; }
    HRESULT Resume() override { return S_OK; }
    WAVEFORMATEX* GetWaveFormat() override { return &m_format; }
    HRESULT GetPortInfo(GUID* id, CString* name, int direction, unsigned* mask, int* limits) override;
    HRESULT SetPort(const GUID*, const char*, int) override { return S_OK; }
    HRESULT GetErrorList(std::vector<CString>* errors) override;

    HRESULT SendHostStop() override;
    HRESULT SendHostPlay() override;
    HRESULT SendHostLoop(LONG loopStart, LONG loopEnd, BOOL on) override;
    HRESULT SendHostReposition(LONG tick) override;
    int GetSampleRate() override;

    // 11025, 22050, 44100, 48000, 88200 or 96000 with all four widths at
    // that rate; any other rate counts as 44100. The worker sets the host's
    // rate while any thread may read it. Audio thread: no allocation, no
    // blocking.
    void SetSampleRate(int rate);
    unsigned GetCapabilityMask() const;
    bool IsOpen() const { return m_open; }

    // Sets the document's live tempo at `position` (beats per minute x 100)
    // with the host-call counter raised, unless it is in force already and
    // not forced; forced, the live tempo is applied again.
    void SetHostTempo(LONG position, LONG tempo, bool force);

private:
    struct Server;
    static DWORD Worker(LPVOID arg);
    HRESULT SendRecord(const void* record);

    IEngineOwner* const m_owner;
    IRewireEngine* const m_engine;
    bool m_open = false;
    WAVEFORMATEX m_format{};
    HANDLE m_slot;
    HANDLE m_mapping = nullptr;
    void* m_view = nullptr;
    HANDLE m_request = nullptr;
    HANDLE m_acknowledge = nullptr;
    CDeviceThread m_thread;
    std::shared_ptr<Server> m_server;
    std::atomic<int> m_sampleRate{44100};
    std::atomic<unsigned> m_mask{0xF00};
    CAudioErrorList m_errors;
};
