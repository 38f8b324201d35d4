// One bridge instance: the engine of the bridge filter, which presents one
// ReWire device as a soft synth. The device's stereo pairs and channels
// become the filter's output pins, the events the host sends go to the
// device as ReWire MIDI events in the drive of the buffer they fall in, and
// the device's transport requests come back to the host through its
// optional transport interface.
//
// All instances of the process share one ReWire system (CReWireBinding),
// one table of devices and one idle thread, under one global device lock,
// which is always taken before an instance's own lock (this object).
//
// Threads: Process on the streaming thread under the instance lock (the
// filter only tries it); the private interface and the stream calls on the
// host's control thread; the idle thread refreshes devices every 50 ms and
// applies the device's transport requests, which may wait on the host.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <vector>

#include "plugins/rewirebridge/BridgeClass.h"
#include "plugins/rewirebridge/CReWireInstrument.h"
#include "platform/rewire/ReWireRecords.h"
#include "plugins/synthframework/CDXi.h"
#include "plugins/synthframework/CFilter.h"

namespace mvrewire {

class CReWireBinding;

class CReWireBridge : public mvsynth::CDXi, public IReWireBridge {
public:
    static constexpr ULONG kStateBytes = 72;
    static constexpr int kInEvents = 1024;
    static constexpr int kQueuedDeviceEvents = 128;
    static constexpr int kMidiChannels = 16;
    // Frames one drive carries; a longer slice is driven in parts.
    static constexpr DWORD kDriveFrames = 8192;

    static const mvsynth::SynthClass& Class();
    // The process's ReWire system, for tests that need its codes: the
    // folders the engine library is looked for in, before the first
    // instance opens it.
    static void SetEngineFolders(std::vector<std::string> folders);

    CReWireBridge();
    ~CReWireBridge() override;

    // The first instance opens the ReWire system and reads the devices.
    HRESULT Initialize() override;
    HRESULT CheckInputFormat(const WAVEFORMATEX* format) override;
    // Each output pin carries its channel: a stereo pair two channels, a
    // lone channel one. A pin without a channel: E_INVALIDARG.
    HRESULT CheckPinFormat(const WAVEFORMATEX* format, DWORD pinId) override;
    HRESULT CheckPinFormats(const WAVEFORMATEX* input, const WAVEFORMATEX* output, DWORD pinId) override;
    HRESULT AdjustPinFormat(WAVEFORMATEX* format, DWORD pinId) override;
    // Audio thread: no allocation, no blocking.
    HRESULT Process(LONGLONG position, const mvsynth::DXiBuffer* input, mvsynth::DXiBuffer* outputs,
                    DWORD outputCount, LONGLONG renderedTotal, const mvsynth::DXiEventList& events) override;
    // Kinds 0 to 5 only. Audio thread: no allocation, no blocking (these three).
    HRESULT AcceptEvent(const mvsynth::DXiEvent& event) override;
    HRESULT OnNoteStart(const mvsynth::DXiEvent&) override { return S_OK; }
    // A note, on or off, is driven once and then leaves.
    HRESULT UpdateNote(const mvsynth::DXiEvent& event, bool flush) override;
    // The device sounds the notes: every note-off goes to it as it is,
    // one pending at the host's stop too.
    bool ForwardsNoteOffs() const override { return true; }
    HRESULT OnStreamStart() override;
    HRESULT OnStreamStop() override;
    ULONG GetStateSize() override { return kStateBytes; }
    HRESULT LoadState(IStream* stream) override;
    HRESULT SaveState(IStream* stream) override;
    HRESULT QueryEngineInterface(IUnknown* owner, REFIID riid, void** ppv) override;
    void OnHostConnect(IUnknown* host) override;
    void OnHostDisconnect() override;
    // The instrument of the first MIDI channel the device uses: the host
    // asks for names without a channel. Null before attach.
    mvsynth::IMfxInstrument* Names() override;

    // IUnknown of the private interface: the filter's, set when it asks.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IReWireBridge
    STDMETHODIMP GetDeviceCount(LONG* count) override;
    STDMETHODIMP GetDeviceName(LONG index, char* buffer, LONG length) override;
    STDMETHODIMP SelectDevice(const char* name) override;
    STDMETHODIMP Attach() override;
    STDMETHODIMP GetDeviceUsers(const char* instanceName, LONG* count) override;
    STDMETHODIMP Detach(DWORD timeoutMs) override;
    STDMETHODIMP LaunchPanelApp() override;
    STDMETHODIMP IsPanelAppLaunched() override;
    STDMETHODIMP QuitPanelApp(DWORD timeoutMs) override;
    STDMETHODIMP SetFlag(DWORD value) override;
    STDMETHODIMP_(BOOL) QueryFlag() override;

    // The idle thread's turn for this instance's device: when no buffer was
    // driven lately, one drive with the stopped transport and no audio;
    // then the device's queued requests go to the host. Takes the instance lock.
    void Refresh(CReWireBinding& binding);

    LONG DeviceIndex() const { return m_deviceIndex; }
    // The names of MIDI channel `channel` (0..15) as the device gives them.
    // Under the instance lock.
    CReWireInstrument* ChannelInstrument(int channel) const { return m_channels[channel]; }
    const char* DeviceName() const { return m_deviceName; }

private:
    struct PinChannel {
        DWORD pinId;
        int channel;
        bool stereo;
    };

    rewire::DeviceHandle Handle() const { return m_handle; }
    // The channels of a pin's format: 2 for a stereo pair, 1 for a lone
    // channel, 0 for a pin that carries no channel.
    WORD PinChannels(DWORD pinId) const;
    // Converts the framework's event; false when it does not convert.
    bool ConvertEvent(const mvsynth::DXiEvent& in, LONGLONG bufferStart, DWORD frames, rewire::Event& out) const;
    void ReadTransport(LONGLONG renderedTotal);
    HRESULT DriveOnce(CReWireBinding& binding, DWORD frames);
    void QueueDeviceEvents();
    // Idle thread, outside the instance lock: asks `host` (held by the
    // caller) to follow one of the device's requests; false, asking
    // nothing, once the host has disconnected.
    bool ApplyDeviceEvent(IReWireHostTransport* host, const rewire::Event& e);
    static void SetHostValueWaiting(IReWireHostTransport* host, DWORD id, LONG value);
    static void SetHostTime(IReWireHostTransport* host, DWORD id, LONG devicePosition);
    void RemovePins();
    // Reads the device's event bus and the names of its MIDI channels and
    // notes. Under the global device lock; the instance lock is taken only
    // to set the bus, so the streaming thread is not kept waiting.
    HRESULT RefreshNames(CReWireBinding& binding);
    // Every attached instance on `deviceIndex` refreshes its names. Under
    // the global device lock, no instance lock held.
    static void RefreshNamesOfDevice(CReWireBinding& binding, LONG deviceIndex);

    IUnknown* m_owner = nullptr;  // the filter, not referenced
    IReWireHostTransport* m_hostTransport = nullptr;
    LONG m_deviceIndex = -1;
    char m_deviceName[rewire::kDeviceNameChars] = {};
    DWORD m_flag = 0;
    bool m_attached = false;
    rewire::DeviceHandle m_handle = 0;
    std::vector<PinChannel> m_pins;
    CReWireInstrument* m_channels[kMidiChannels] = {};
    std::uint16_t m_bus = 0;  // the device's event bus every converted event goes to

    // The next drive's transport.
    std::int32_t m_playMode = 0;
    std::int32_t m_position = 0;
    std::int32_t m_tempo = 100000;
    std::int32_t m_numerator = 4;
    std::int32_t m_denominator = 4;
    std::int32_t m_loopStart = 0;
    std::int32_t m_loopEnd = 0;
    std::int32_t m_loopOn = 0;
    bool m_wasPlaying = false;
    bool m_deviceLoopChange = false;
    bool m_skipLoopRead = false;

    rewire::AlignedRecord<rewire::DriveAudioInput> m_inHolder;
    rewire::AlignedRecord<rewire::DriveAudioOutput> m_outHolder;
    rewire::DriveAudioInput& m_in = m_inHolder.record;
    rewire::DriveAudioOutput& m_out = m_outHolder.record;
    std::vector<rewire::Event> m_inEvents;
    std::vector<rewire::Event> m_outEvents;
    std::vector<float> m_channelScratch;  // two drive-lengths per pin
    rewire::Event m_deviceEvents[kQueuedDeviceEvents] = {};
    int m_deviceEventCount = 0;
    std::atomic<std::int64_t> m_lastDriveMs{0};
    std::int32_t m_lastResult = rewire::kOk;
};

}  // namespace mvrewire
