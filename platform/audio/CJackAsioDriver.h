// The program's ASIO driver over JACK: the JACK server stands in for the
// sound card. It is a COM class like any ASIO driver, listed under
// HKEY_LOCAL_MACHINE "software\asio" and created by its class identifier.
//
// Its device is a JACK client on the server that $MORVANE_JACK_SERVER
// names (the default server otherwise; a server is never started for it),
// named "Morvane" or what $MORVANE_JACK_CLIENT says (JACK makes the name
// unique when it is taken). Sample rate and buffer size are the server's and
// cannot be changed from here. It has as many output channels as the
// server has physical playback ports, and as many inputs as it has
// physical capture ports, at least two each, so a server without hardware
// ports still offers a stereo pair to route by hand. Channels are named
// "Out 1", "Out 2", ... and "In 1", ...; each channel with buffers is a
// JACK port of the same name, and Start connects channel n to the n-th
// physical port.
//
// The channels hold 24-bit integers low in 32-bit little-endian words
// (kAsioInt32LSB24), converted to and from JACK's float at this edge
// (JackSampleConvert.h): JACK's float carries 24 significant bits, and the
// engine writes exactly this layout in its 24-in-32 low-aligned mode.
// The buffer switch is JACK's process callback: inputs are converted into
// the half to be filled, the host's bufferSwitch fills it, and its outputs
// go to the ports within the same cycle. A cycle whose size is not the
// size the buffers were made for is silent. A server shut-down, or a
// buffer-size change while buffers exist, reaches the host as a reset
// request (asioMessage kAsioResetRequest).
//
// Threads: the IAsioDriver methods on the host's UI thread; the process,
// buffer-size and shut-down callbacks on JACK's threads.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/audio/IAsioDriver.h"
#include "platform/com/CUnknownImpl.h"
#include "platform/win/Guid.h"

typedef struct _jack_client jack_client_t;
typedef struct _jack_port jack_port_t;

// {03C8A7FE-A4B0-44E3-8299-D59F853BEA4C}
MV_DEFINE_GUID(CLSID_JackAsioDriver, 0x03C8A7FE, 0xA4B0, 0x44E3, 0x82, 0x99, 0xD5, 0x9F, 0x85, 0x3B, 0xEA, 0x4C);

class CJackAsioDriver : public mvcom::CUnknownImpl<IAsioDriver> {
public:
    // The driver's name, and its subkey and description under "software\asio".
    static constexpr const char* kDriverName = "JACK";
    static constexpr const char* kClientName = "Morvane";

    // Makes the class known in this process (a built-in class) and writes
    // its registry entries: HKEY_CLASSES_ROOT\CLSID\{...}\InprocServer32
    // naming the library that holds it, and "software\asio\JACK" with its
    // "clsid" and "description". Start-up calls it before the audio
    // back-ends are created. Registry failures come back as HRESULTs.
    static HRESULT Register();
    // Undoes Register.
    static HRESULT Unregister();
    // The class's creator: CLASS_E_NOAGGREGATION for an outer object.
    static HRESULT Create(IUnknown* outer, REFIID riid, void** ppv);

    STDMETHODIMP_(AsioBool) Init(void* sysRef) override;
    STDMETHODIMP_(void) GetDriverName(char name[32]) override;
    STDMETHODIMP_(std::int32_t) GetDriverVersion() override;
    STDMETHODIMP_(void) GetErrorMessage(char text[124]) override;
    STDMETHODIMP_(AsioError) Start() override;
    STDMETHODIMP_(AsioError) Stop() override;
    STDMETHODIMP_(AsioError) GetChannels(std::int32_t* inputs, std::int32_t* outputs) override;
    STDMETHODIMP_(AsioError) GetBufferSize(std::int32_t* minimum, std::int32_t* maximum, std::int32_t* preferred,
                                           std::int32_t* granularity) override;
    STDMETHODIMP_(AsioError) CanSampleRate(double rate) override;
    STDMETHODIMP_(AsioError) GetSampleRate(double* rate) override;
    STDMETHODIMP_(AsioError) SetSampleRate(double rate) override;
    STDMETHODIMP_(AsioError) GetChannelInfo(AsioChannelInfo* info) override;
    STDMETHODIMP_(AsioError) CreateBuffers(AsioBufferInfo* infos, std::int32_t count, std::int32_t frames,
                                           const AsioCallbacks* callbacks) override;
    STDMETHODIMP_(AsioError) DisposeBuffers() override;
    // The server's settings are not the driver's: kAsioNotPresent.
    STDMETHODIMP_(AsioError) ControlPanel() override;
    // Outputs leave within the cycle that filled them: kAsioNotPresent.
    STDMETHODIMP_(AsioError) OutputReady() override;

protected:
    ~CJackAsioDriver() override;
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override;

private:
    // A channel with buffers: its port and both halves, one after the other.
    struct Channel {
        bool isInput;
        std::int32_t number;
        jack_port_t* port;
        std::vector<std::int32_t> halves;
    };

    CJackAsioDriver() = default;

    // JACK's process thread, the engine's audio thread while the driver runs.
    // Audio thread: no allocation, no blocking.
    static int OnProcess(std::uint32_t frames, void* self);
    void SwitchBuffers(std::uint32_t frames);
    void WriteSilence(std::uint32_t frames);
    // JACK's notification thread: a new period size or the server going away.
    // They only ask the host for a reset; they never touch the buffers.
    static int OnBufferSize(std::uint32_t frames, void* self);
    static void OnShutdown(void* self);
    // Any of JACK's threads: passes the request on without blocking.
    void RequestReset();
    void ConnectPhysicalPorts();
    void UnregisterChannels();
    std::int32_t ChannelCount(bool isInput) const { return isInput ? m_inputs : m_outputs; }

    jack_client_t* m_client = nullptr;
    std::string m_error;
    std::int32_t m_inputs = 0;
    std::int32_t m_outputs = 0;
    double m_rate = 0.0;
    std::atomic<std::int32_t> m_serverFrames{0};
    // Set while buffers exist (before the client is activated), read by the callbacks.
    std::atomic<std::int32_t> m_bufferFrames{0};
    std::vector<Channel> m_channels;
    AsioCallbacks m_callbacks{};
    std::atomic<decltype(AsioCallbacks::asioMessage)> m_message{nullptr};
    int m_half = 0;  // the process thread's own
    std::atomic<bool> m_running{false};
    std::atomic<int> m_inProcess{0};
};
