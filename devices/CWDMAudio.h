// The WDM back-end: streams to a PCM render pin of a kernel-streaming filter
// with two packets, and an audio thread that hands each completed packet to
// the engine owner's per-buffer entry and submits it again. Output only:
// capture devices are listed and a chosen one is stored, nothing is captured.
//
// Ports are render filters, told apart by their friendly names (their GUID
// is null). Each render device is probed once per run for the 24 formats
// and the buffer sizes it allows. A machine without render devices cannot
// open this back-end (Open fails); one without capture devices opens it.
//
// Threads: every operation on the UI thread. The audio thread services only
// the pin's packets and the per-buffer entry and shares the pin: a thread
// that does not end within the stop wait (stuck in the per-buffer entry)
// keeps the packets it writes into alive until it returns, Stop reports the
// failure, and no new thread starts while it runs.
#pragma once

#include <array>
#include <memory>
#include <vector>

#include "devices/CAudioErrorList.h"
#include "devices/CDeviceThread.h"
#include "devices/IAudioDevice.h"
#include "devices/KsLibrary.h"

class CPCMAudioFilter;
class CPCMAudioPin;
class IEngineOwner;

class CWDMAudio : public IAudioDevice {
public:
    static constexpr DWORD kThreadStopWaitMs = 10000;

    // owner: the per-buffer entry, kept for the device's life.
    // threadStopWaitMs: how long Stop waits for the audio thread.
    explicit CWDMAudio(IEngineOwner* owner, DWORD threadStopWaitMs = kThreadStopWaitMs);
    // Also releases the kernel-streaming layer's filter lists.
    ~CWDMAudio() override;
    CWDMAudio(const CWDMAudio&) = delete;
    CWDMAudio& operator=(const CWDMAudio&) = delete;

    HRESULT EnumPorts(IEnumAudioDeviceCallback* callback, int isInput) override;
    HRESULT Open() override;
    HRESULT Close(int unloadDriver) override;
    HRESULT SetWindow(HWND window) override;
    HRESULT SetFormat(int sampleRate, unsigned short bitsPerSample, int bufferFrames) override;
    HRESULT Set24BitMode(unsigned short mode) override;
    HRESULT ReleaseBuffers() override;
    HRESULT GetBufferBytes(unsigned* bytes) override;
    HRESULT Start() override;
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Resume() override;
    WAVEFORMATEX* GetWaveFormat() override;
    HRESULT GetPortInfo(GUID* id, CString* name, int direction, unsigned* mask, int* limits) override;
    HRESULT SetPort(const GUID* id, const char* name, int direction) override;
    HRESULT GetErrorList(std::vector<CString>* errors) override;

private:
    struct ThreadState;
    // The audio thread: waits (up to a second at a time) for the device to
    // free the next packet, fills it and hands it back.
    // Audio thread: no allocation, no blocking but that wait on the device.
    static DWORD AudioThread(LPVOID arg);
    using LimitTable = std::array<int, kBufferLimitEntries>;

    // The format record with room for the 40 bytes a pin's connect request copies.
    struct FormatRecord {
        WAVEFORMATEX wave;
        BYTE zero[40 - sizeof(WAVEFORMATEX)];
    };

    HRESULT ProbeDevices();
    // Index in the render list of the filter with this friendly name and
    // pins of the direction; -1 when none.
    int FindPort(const CString& name, int direction) const;

    IEngineOwner* const m_owner;
    const DWORD m_threadStopWaitMs;
    KsFilterList* m_render = nullptr;
    KsFilterList* m_capture = nullptr;
    std::vector<unsigned> m_masks;
    std::vector<LimitTable> m_limits;
    CString m_outputName;
    CString m_inputName;
    CPCMAudioFilter* m_filter = nullptr;
    unsigned m_filterMask = 0;
    std::shared_ptr<CPCMAudioPin> m_pin;
    CDeviceThread m_thread;
    std::shared_ptr<ThreadState> m_threadState;
    int m_bufferFrames = 0;
    FormatRecord m_format{};
    unsigned short m_mode24 = 0;
    bool m_probed = false;
    bool m_open = false;
    CAudioErrorList m_errors;
};
