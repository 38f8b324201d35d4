// The engine owner's audio back-ends: the WDM, DirectSound and ASIO
// back-ends of normal mode or the one ReWire-device back-end, which of them
// is current, which are open, and the format the current one runs in. It
// makes and probes the back-ends at start-up, picks the configured one (or
// its replacement when the probe removed it), opens, formats, sizes and
// starts it, and closes it again.
//
// Invariants: the current device is one of the back-ends it owns, or null;
// a back-end counts as open only after an Open that really opened it.
//
// Threads: the UI thread calls everything; the format getters are read by
// the audio thread too (the sample rate and latency are atomic, the width
// and mode change only while the device is closed).
#pragma once

#include <atomic>

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class CAudioRenderer;
class CDxFilterGraph;
class IAudioDevice;
class IEngineFactory;
class IEngineOwner;
class IEngineShell;
class IRewireDevice;

class CAudioDeviceSelector {
public:
    // Driver types of the settings table.
    static constexpr int kDriverWDM = 0;
    static constexpr int kDriverDirectSound = 1;
    static constexpr int kDriverAsio = 2;

    CAudioDeviceSelector() = default;
    // Deletes the back-ends still held.
    ~CAudioDeviceSelector();
    CAudioDeviceSelector(const CAudioDeviceSelector&) = delete;
    CAudioDeviceSelector& operator=(const CAudioDeviceSelector&) = delete;

    // ---- Start-up and shut-down ----
    // ReWire-device mode: the one back-end, made current (taken over).
    void AdoptRewire(IRewireDevice* device);
    // Normal mode: makes the DirectSound, WDM and ASIO back-ends (E_OUTOFMEMORY
    // when one is missing) and probes each by opening and closing it, in that
    // order, with its progress text on the shell (null shows nothing). A
    // DirectSound back-end that does not open is reported; any that does not
    // open is deleted; a failing close is reported. The current device is the
    // one a reset would take, or none. E_UNEXPECTED when none is left.
    HRESULT Probe(IEngineFactory* factory, IEngineOwner* owner, IEngineShell* shell);
    // Deletes every back-end; nothing is current or running after.
    void DeleteAll();
    // Hands the owner window to the DirectSound and ASIO back-ends.
    void SetWindow(HWND window);

    // ---- Which back-end ----
    // The back-end of a driver type, null when it is not there.
    IAudioDevice* GetBackEnd(int driverType) const;
    IAudioDevice* GetCurrent() const { return m_current; }
    IRewireDevice* GetRewire() const { return m_rewire; }
    // The back-end of the configured driver type, else its replacement (WDM
    // and ASIO fall back to DirectSound, DirectSound to WDM), storing the
    // replacement's type when asked; null when neither is there.
    IAudioDevice* ChooseBackEnd(bool storeReplacement);
    // ChooseBackEnd(true) made current; null when there is none.
    IAudioDevice* ChooseCurrent();
    // Stops and closes the current back-end (unloading it when another is
    // chosen) and opens the configured one. E_UNEXPECTED, nothing changed,
    // when that back-end is not there.
    HRESULT SelectConfigured();

    // ---- Open and close ----
    // Open and Close that keep track of which back-ends are open: a back-end
    // that answers S_FALSE to Open when it was not open is not opened.
    // E_UNEXPECTED for a device that is not one of these back-ends.
    HRESULT Open(IAudioDevice* device);
    HRESULT Close(IAudioDevice* device, int unload);
    // Reads the latency and format from the settings (the format's rate from
    // the ReWire host in ReWire-device mode).
    void ReadSettings(bool rewireDeviceMode);
    // Opens, formats, sizes and starts the current back-end for the renderer
    // and the graph; the latency it gives in ms (-1 until it is known).
    HRESULT OpenCurrent(CAudioRenderer* renderer, CDxFilterGraph* graph, int* latencyMs);
    // Closes the current back-end when it runs, reporting a failure.
    HRESULT CloseCurrent();
    BOOL IsRunning() const { return m_running; }

    // ---- Offline rendering ----
    // A file-writing device (not owned) stands in for the back-ends: the
    // running back-end is closed, every reset takes this device and its own
    // format and block length instead of the settings'. E_INVALIDARG for a
    // null device or a rate, width or block below 1.
    HRESULT BeginOffline(IAudioDevice* device, int rate, unsigned short bits, unsigned short mode24, int frames);
    // The device is closed and let go; the back-end current before is
    // current again (closed) with its format, and the next reset reads the
    // settings and opens it. S_FALSE when no offline render was begun.
    HRESULT EndOffline();
    bool IsOffline() const { return m_backEnds[kSlotOffline] != nullptr; }

    // ---- Format ----
    // Audio thread: no allocation, no blocking (these four).
    int GetSampleRate() const { return m_sampleRate; }
    LONG GetLatency() const { return m_latency; }
    unsigned short GetBitsPerSample() const { return m_bitsPerSample; }
    unsigned short Get24BitMode() const { return m_24BitMode; }
    void SetLatency(LONG ms) { m_latency = ms; }

private:
    enum Slot { kSlotWDM, kSlotDirectSound, kSlotAsio, kSlotRewire, kSlotOffline, kSlotCount };

    void DeleteBackEnd(Slot slot);
    int SlotOf(IAudioDevice* device) const;
    // Finds the first fallback row the port accepts; the format and the
    // settings take it. Shows the "unable to initialise" message and fails,
    // with the format as it was, when none is accepted.
    HRESULT NegotiateFormat(unsigned mask);

    IAudioDevice* m_current = nullptr;
    IAudioDevice* m_backEnds[kSlotCount] = {};
    bool m_open[kSlotCount] = {};
    IRewireDevice* m_rewire = nullptr;  // the same object as the ReWire slot
    BOOL m_running = FALSE;
    std::atomic<int> m_sampleRate{44100};
    unsigned short m_bitsPerSample = 16;
    unsigned short m_24BitMode = 0;
    std::atomic<LONG> m_latency{100};
    int m_offlineFrames = 0;
    // The back-end and format from before the offline render.
    struct Saved {
        IAudioDevice* current = nullptr;
        int rate = 0;
        unsigned short bits = 0;
        unsigned short mode24 = 0;
        LONG latency = 0;
    };
    Saved m_beforeOffline;
};

// Shows the back-end's error texts (or "Unspecified Audio Device Error")
// and the hint that the sound card may be in use, in one message box.
void ReportAudioDeviceErrors(IAudioDevice* device);
