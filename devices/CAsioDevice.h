// The ASIO back-end: IAudioDevice over the installed ASIO drivers. It lists
// every driver (CAsioDriverList), loads each once to learn its channels,
// buffer size and sample formats, and offers each stereo pair of output
// channels as one port, named by the driver and the pair's first channel.
// Stereo output only: no input is streamed.
//
// While streaming, the driver's buffer switch (on the driver's thread)
// calls the engine owner's per-buffer entry for one interleaved block in
// the device format and splits it into the pair's two channel buffers,
// byte-reversed for big-endian channels. The callbacks reach the device
// through process-wide state: one driver is loaded at a time, and one
// device is served. The buffer switch only tries the process-wide device
// lock; the UI thread holds it around Stop and ReleaseBuffers. When the
// lock is busy or the driver has asked for a reset, the half is zeroed
// rather than left to play again what it held.
//
// A reset request from the driver reaches the engine owner
// (RequestAudioReset), which closes and reopens the device on the UI
// thread; handling it forgets the port records, so the reopening lists the
// driver again with what it now offers.
//
// Threads: every operation on the UI thread; the ASIO callbacks on the
// driver's thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <vector>

#include "devices/CPageBuffer.h"
#include "devices/IAudioDevice.h"
#include "platform/audio/IAsioDriver.h"

class IEngineOwner;

class CAsioDevice : public IAudioDevice {
public:
    // Lengths of a driver name and a channel name, with the terminator.
    static constexpr int kDriverNameLength = 128;
    static constexpr int kChannelNameLength = 32;

    // `owner` receives the buffers and the reset requests.
    explicit CAsioDevice(IEngineOwner* owner);
    // Closes with unload.
    ~CAsioDevice() override;
    CAsioDevice(const CAsioDevice&) = delete;
    CAsioDevice& operator=(const CAsioDevice&) = delete;

    HRESULT EnumPorts(IEnumAudioDeviceCallback* callback, int isInput) override;
    // S_OK when already open; E_FAIL without any port; E_OUTOFMEMORY when the
    // driver list cannot be made.
    HRESULT Open() override;
    // S_FALSE when not open.
    HRESULT Close(int unloadDriver) override;
    HRESULT SetWindow(HWND window) override;
    // Loads the output port's driver at `sampleRate` and creates its two
    // channel buffers of `bufferFrames` frames. E_FAIL when the port is not
    // known, the driver refuses, or the channels' sample width is not the
    // one `bitsPerSample` and the 24-bit mode give; E_INVALIDARG for no
    // frames; E_UNEXPECTED while a driver is loaded.
    HRESULT SetFormat(int sampleRate, unsigned short bitsPerSample, int bufferFrames) override;
    HRESULT Set24BitMode(unsigned short mode) override;
    HRESULT ReleaseBuffers() override;
    HRESULT GetBufferBytes(unsigned* bytes) override;
    HRESULT Start() override;
    // Once it returns, no buffer switch touches the buffers.
    HRESULT Stop() override;
    HRESULT Pause() override;
    HRESULT Resume() override;
    WAVEFORMATEX* GetWaveFormat() override;
    HRESULT GetPortInfo(GUID* id, CString* name, int direction, unsigned* mask, int* limits) override;
    // Stores the name in "AsioOutput" or "AsioInput"; E_INVALIDARG for another direction.
    HRESULT SetPort(const GUID* id, const char* name, int direction) override;
    // The ASIO back-end reports through results alone: S_OK, no messages.
    HRESULT GetErrorList(std::vector<CString>* errors) override;

    // Loads the named driver and opens its control panel (the audio options
    // dialog); a driver loaded for the panel before is released first and
    // the ports listed again. E_FAIL when the driver shows no panel.
    HRESULT ShowControlPanel(const char* driverName);

    // The process's driver list, made by the first Open; the engine owner
    // deletes it at shut-down, after the back-ends.
    static void DeleteDriverList();

private:
    // One stereo output pair of a driver.
    struct PortRecord {
        CString driverName;
        CString channelName;  // of the pair's first channel
        std::int32_t firstChannel;
        std::int32_t inputs;
        std::int32_t outputs;
        std::int32_t minFrames;
        std::int32_t maxFrames;
        std::int32_t preferredFrames;
        std::int32_t granularity;
        unsigned mask;

        CString DisplayName() const;
        void FillLimits(int* limits) const;
    };

    // The ASIO callbacks, on the driver's thread.
    // Audio thread: no allocation, no blocking (all four).
    static void BufferSwitch(std::int32_t index, AsioBool directProcess);
    static void SampleRateDidChange(double rate);
    static std::int32_t AsioMessage(std::int32_t selector, std::int32_t value, void* message, double* opt);
    static AsioTime* BufferSwitchTimeInfo(AsioTime* params, std::int32_t index, AsioBool directProcess);
    static const AsioCallbacks s_callbacks;

    HRESULT Enumerate();
    HRESULT ProbeDriver(PortRecord& probe);
    HRESULT LoadDriver(const char* name, std::int32_t* inputs, std::int32_t* outputs);
    HRESULT TestStartDriver(const char* name, std::int32_t* inputs, std::int32_t* outputs);
    bool MakeDriverCurrent(const char* name);
    void UnloadDriver();
    void DisposeBuffers();
    bool HandlePendingReset();
    void ReleasePanelDriver();
    const PortRecord* FindPort(const char* displayName) const;
    // Audio thread: no allocation, no blocking (the two below).
    void RenderHalf(int index);
    void ZeroHalf(int index);

    IEngineOwner* m_owner;
    bool m_open = false;
    bool m_driverLoaded = false;
    HWND m_window = nullptr;
    WAVEFORMATEX m_format;
    unsigned short m_mode24 = 0;
    CString m_outputName;
    CString m_inputName;
    AsioBufferInfo m_bufferInfos[4] = {};
    std::vector<PortRecord> m_ports;
    CPageBuffer m_block;
    bool m_running = false;
    bool m_postOutput = false;
    std::atomic<bool> m_buffersCreated{false};
    int m_bufferFrames = 0;
    int m_driverIndex = -1;  // in the driver list, while this device has a driver loaded
    // The served pair's sample layout.
    int m_sampleBits = 16;
    bool m_bigEndian = false;
};
