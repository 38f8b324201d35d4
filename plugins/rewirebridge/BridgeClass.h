// The bridge's class identifier and names, and the interfaces it answers
// for besides the soft-synth ones, shared by its class table and the tests
// that act as its host.
#pragma once

#include "platform/com/Unknown.h"

namespace mvrewire {

MV_DEFINE_GUID(CLSID_ReWireBridge, 0x023184E2, 0x2BB5, 0x4298, 0xBF, 0x6B, 0x7B, 0xB2, 0x11, 0xE1, 0x02, 0xCD);
MV_DEFINE_GUID(IID_IReWireBridge, 0xA56FBF5D, 0x144B, 0x4CD7, 0xA8, 0x66, 0x08, 0x85, 0x65, 0xF4, 0x85, 0x1A);
MV_DEFINE_GUID(IID_IReWireHostTransport, 0xB1B5DBD1, 0x6E24, 0x4522, 0xBE, 0xB3, 0xAE, 0x01, 0x6D, 0x1D, 0x31, 0xDF);

constexpr const char* kBridgeFilterName = "Varnholt ReWire Wrapper";
constexpr const char* kBridgeInstrumentName = "ReWire";

// The bridge's own interface, through which a host picks a device for an
// instance and manages it. Every method runs under the instance's lock.
struct IReWireBridge : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE GetDeviceCount(LONG* count) = 0;
    // Copies the name, always terminated; E_POINTER for no buffer,
    // E_INVALIDARG for a bad index or a zero length.
    virtual HRESULT STDMETHODCALLTYPE GetDeviceName(LONG index, char* buffer, LONG length) = 0;
    // By name, case ignored. E_UNEXPECTED when another device is selected.
    virtual HRESULT STDMETHODCALLTYPE SelectDevice(const char* name) = 0;
    // Opens the selected device (once for all instances) and makes one
    // output pin per channel or stereo pair.
    virtual HRESULT STDMETHODCALLTYPE Attach() = 0;
    // How many instances use the device of the instance with that device name.
    virtual HRESULT STDMETHODCALLTYPE GetDeviceUsers(const char* instanceName, LONG* count) = 0;
    // S_FALSE when the device would not close within the time.
    virtual HRESULT STDMETHODCALLTYPE Detach(DWORD timeoutMs) = 0;
    virtual HRESULT STDMETHODCALLTYPE LaunchPanelApp() = 0;
    // S_OK when launched, S_FALSE when not.
    virtual HRESULT STDMETHODCALLTYPE IsPanelAppLaunched() = 0;
    // S_FALSE when it had not gone within the time.
    virtual HRESULT STDMETHODCALLTYPE QuitPanelApp(DWORD timeoutMs) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetFlag(DWORD value) = 0;
    virtual BOOL STDMETHODCALLTYPE QueryFlag() = 0;
};

// A time as the host's transport interface carries it.
struct HostTime {
    DWORD format;  // 4: 48.16 fixed-point ticks
    DWORD unused;
    LONGLONG value;
};
static_assert(sizeof(HostTime) == 16);

// The optional host interface through which the device's transport
// requests reach the host: value 1 plays (1) or stops (0), value 5 is the
// loop flag, times 0, 1 and 2 are the position, loop start and loop end;
// values 0 and 3 are the host's own.
struct IReWireHostTransport : IUnknown {
    virtual HRESULT STDMETHODCALLTYPE SetValue(DWORD id, LONG value) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetValue(DWORD id, LONG* value) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetTime(DWORD id, const HostTime* time) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetTime(DWORD id, HostTime* time) = 0;
};

}  // namespace mvrewire
