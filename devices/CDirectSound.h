// The DirectSound back-end: one looping playback buffer of two halves, a
// notification at the end of each, and an audio thread that refills the
// half that has just finished playing through the engine owner's per-buffer
// entry. Output only: input devices are listed and a chosen one is stored,
// but nothing is captured. It is the fallback of the other back-ends.
//
// Ports are DirectSound devices: the primary entry carries the default
// identifiers; a device that takes neither 44100 nor 48000 Hz at 16 bits is
// not offered.
//
// Threads: every operation on the UI thread. The audio thread touches only
// the buffer, its counters and the per-buffer entry, and holds its own
// reference to the buffer: a thread that does not end within the stop wait
// (stuck in the per-buffer entry) keeps what it writes into alive until it
// returns, Stop reports the failure, and no new thread starts while it runs.
#pragma once

#include <map>
#include <memory>

#include "devices/CAudioErrorList.h"
#include "devices/CDeviceThread.h"
#include "devices/IAudioDevice.h"
#include "platform/audio/DirectSound.h"

class IEngineOwner;

class CDirectSound : public IAudioDevice {
public:
    static constexpr DWORD kThreadStopWaitMs = 10000;

    // owner: the per-buffer entry, kept for the device's life.
    // threadStopWaitMs: how long Stop waits for the audio thread.
    explicit CDirectSound(IEngineOwner* owner, DWORD threadStopWaitMs = kThreadStopWaitMs);
    ~CDirectSound() override;
    CDirectSound(const CDirectSound&) = delete;
    CDirectSound& operator=(const CDirectSound&) = delete;

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
    // The audio thread: waits (up to a second at a time) for the device's
    // notification and refills the half that has played.
    // Audio thread: no allocation, no blocking but that wait on the device.
    static DWORD AudioThread(LPVOID arg);

    HRESULT ProbeDevices();
    HRESULT CreateOutputObject();
    HRESULT CreateOutputBuffer();
    bool IsPlaying() const;

    IEngineOwner* const m_owner;
    const DWORD m_threadStopWaitMs;
    HWND m_window = nullptr;
    GUID m_outputId;
    GUID m_inputId;
    // Capability masks by device GUID, ordered by its 16 bytes.
    std::map<GUID, unsigned> m_captureDevices;
    std::map<GUID, unsigned> m_playbackDevices;
    CString m_outputName;
    CString m_inputName;

    IDirectSound* m_directSound = nullptr;
    IDirectSoundBuffer* m_buffer = nullptr;
    IDirectSoundNotify* m_notify = nullptr;
    std::unique_ptr<DSBPOSITIONNOTIFY[]> m_positions;
    HANDLE m_event = nullptr;
    CDeviceThread m_thread;
    std::shared_ptr<ThreadState> m_threadState;

    int m_bufferFrames = 0;
    WAVEFORMATEX m_format{};
    unsigned short m_mode24 = 0;
    bool m_enumerated = false;
    bool m_open = false;
    CAudioErrorList m_errors;
};
