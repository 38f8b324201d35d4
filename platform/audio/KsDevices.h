// The kernel-streaming calls of the WDM layer, served from a device provider
// (KsDeviceProvider.h): device interface sets by category with their paths
// and registry properties, opening a filter by its path, property requests
// and stream writes through DeviceIoControl, and KsCreatePin.
//
// Property requests are answered at once. A stream write on a pin pends: the
// pin's worker thread plays the packets in order while the pin runs, and
// signals each packet's event once the device has taken its data; a packet
// written while the pin pauses waits, and stopping the pin hands back every
// waiting packet unplayed. Errors keep their Win32 numbers and are left for
// GetLastError, as the calls they stand for leave them.
//
// On this system the device information comes from the provider: friendly
// name, description, hardware id, driver key and service are registry
// properties of the device (SPDRP_*).
#pragma once

#include "platform/audio/KsMedia.h"

using HDEVINFO = void*;

constexpr DWORD DIGCF_PRESENT = 0x00000002;
constexpr DWORD DIGCF_DEVICEINTERFACE = 0x00000010;
constexpr DWORD SPINT_ACTIVE = 0x00000001;
constexpr DWORD SPINT_REMOVED = 0x00000004;
constexpr DWORD SPDRP_DEVICEDESC = 0x00000000;
constexpr DWORD SPDRP_HARDWAREID = 0x00000001;
constexpr DWORD SPDRP_SERVICE = 0x00000004;
constexpr DWORD SPDRP_DRIVER = 0x00000009;
constexpr DWORD SPDRP_FRIENDLYNAME = 0x0000000C;

constexpr DWORD ERROR_NO_SUCH_INTERFACE_DEVICE = 0xE000020B;

constexpr DWORD GENERIC_READ = 0x80000000;
constexpr DWORD GENERIC_WRITE = 0x40000000;
constexpr DWORD FILE_FLAG_OVERLAPPED = 0x40000000;

struct SP_DEVICE_INTERFACE_DATA {
    DWORD cbSize;
    GUID InterfaceClassGuid;
    DWORD Flags;
    std::uintptr_t Reserved;
};
struct SP_DEVINFO_DATA {
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    std::uintptr_t Reserved;
};
struct SP_DEVICE_INTERFACE_DETAIL_DATA_A {
    DWORD cbSize;
    char DevicePath[1];
};

DWORD GetLastError();
void SetLastError(DWORD error);

// The present interfaces of `category`; INVALID_HANDLE_VALUE on failure.
HDEVINFO SetupDiGetClassDevsA(const GUID* category, LPCSTR enumerator, HWND parent, DWORD flags);
BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, SP_DEVINFO_DATA* device, const GUID* category, DWORD index,
                                 SP_DEVICE_INTERFACE_DATA* data);
// The path; with a detail too small, FALSE with ERROR_INSUFFICIENT_BUFFER and the size needed.
BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize, DWORD* required,
                                      SP_DEVINFO_DATA* device);
// The same device's interface in another category, with its flags.
BOOL SetupDiGetDeviceInterfaceAlias(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data, const GUID* aliasCategory,
                                    SP_DEVICE_INTERFACE_DATA* alias);
// A text property (REG_SZ); ERROR_INVALID_DATA when the device has none.
BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property, DWORD* type,
                                       BYTE* buffer, DWORD size, DWORD* required);
BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set);

// Opens the filter at a device interface path (read and write, overlapped);
// INVALID_HANDLE_VALUE with ERROR_FILE_NOT_FOUND when no filter has it.
HANDLE KsOpenDeviceInterface(LPCSTR path, DWORD access, DWORD flags);

// IOCTL_KS_PROPERTY on a filter or pin, IOCTL_KS_WRITE_STREAM on a pin (out:
// the stream header; pends, FALSE with ERROR_IO_PENDING, when given an
// overlapped record). Close the handles with CloseHandle.
// A stream write: no allocation; it takes the pin's queue lock briefly.
BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned,
                     OVERLAPPED* overlapped);

// Connects a pin of the filter: the connect request is followed by a
// KSDATAFORMAT and its WAVEFORMATEX. A Win32 error: ERROR_NO_MATCH for a
// format outside the pin's data ranges.
DWORD KsCreatePin(HANDLE filter, KSPIN_CONNECT* connect, DWORD access, HANDLE* pin);
