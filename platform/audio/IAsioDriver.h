// The ASIO driver contract of this program: what a driver object created by
// class identifier offers the host calls of AsioHost.h, and the values that
// travel between them. Numbers (results, sample types, message selectors)
// are the ones drivers and hosts have always exchanged, so a stored setting
// or a log line means the same everywhere.
//
// A driver is an in-process COM object whose interface identifier is its own
// class identifier: the host creates it with the class id as both class and
// interface id. It answers IID_IUnknown as well.
//
// Threads: every method is called on the host's UI thread except
// OutputReady, which the host may call from inside a buffer switch. The
// driver calls the host's callbacks on its own thread. Stop, DisposeBuffers
// and the last Release never return while a callback is still running, so
// once they return the host may free what the callbacks use.
#pragma once

#include <cstdint>

#include "platform/com/Unknown.h"

using AsioBool = std::int32_t;
using AsioError = std::int32_t;

constexpr AsioError kAsioOk = 0;
constexpr AsioError kAsioSuccess = 0x3f4847a0;  // a future() call understood
constexpr AsioError kAsioNotPresent = -1000;    // no such driver, or not ready
constexpr AsioError kAsioHwMalfunction = -999;
constexpr AsioError kAsioInvalidParameter = -998;
constexpr AsioError kAsioInvalidMode = -997;  // not allowed in this state
constexpr AsioError kAsioSpNotAdvancing = -996;
constexpr AsioError kAsioNoClock = -995;  // the sample rate cannot be used
constexpr AsioError kAsioNoMemory = -994;

// The interface version a host announces in AsioDriverInfo.
constexpr std::int32_t kAsioHostVersion = 2;

// Sample layout of a channel's buffers. MSB types are big-endian; the
// LSB16..LSB24 and MSB16..MSB24 types hold that many bits in a 32-bit word,
// aligned to the low end.
enum AsioSampleType : std::int32_t {
    kAsioInt16MSB = 0,
    kAsioInt24MSB = 1,  // packed in 3 bytes
    kAsioInt32MSB = 2,
    kAsioFloat32MSB = 3,
    kAsioFloat64MSB = 4,
    kAsioInt32MSB16 = 8,
    kAsioInt32MSB18 = 9,
    kAsioInt32MSB20 = 10,
    kAsioInt32MSB24 = 11,
    kAsioInt16LSB = 16,
    kAsioInt24LSB = 17,  // packed in 3 bytes
    kAsioInt32LSB = 18,
    kAsioFloat32LSB = 19,
    kAsioFloat64LSB = 20,
    kAsioInt32LSB16 = 24,
    kAsioInt32LSB18 = 25,
    kAsioInt32LSB20 = 26,
    kAsioInt32LSB24 = 27,
};

// Selectors of the host's asioMessage callback.
constexpr std::int32_t kAsioSelectorSupported = 1;
constexpr std::int32_t kAsioEngineVersion = 2;
constexpr std::int32_t kAsioResetRequest = 3;  // close and reopen the driver
constexpr std::int32_t kAsioBufferSizeChange = 4;
constexpr std::int32_t kAsioResyncRequest = 5;
constexpr std::int32_t kAsioLatenciesChanged = 6;
constexpr std::int32_t kAsioSupportsTimeInfo = 7;

// Filled by ASIOInit: the host sets asioVersion and sysRef (its main
// window), the driver's side the rest.
struct AsioDriverInfo {
    std::int32_t asioVersion;
    std::int32_t driverVersion;
    char name[32];
    char errorMessage[124];
    void* sysRef;
};

// The host sets channel and isInput; the driver fills the rest.
struct AsioChannelInfo {
    std::int32_t channel;
    AsioBool isInput;
    AsioBool isActive;  // buffers exist for it
    std::int32_t channelGroup;
    std::int32_t type;  // AsioSampleType
    char name[32];
};

// One channel the host wants buffers for; the driver fills both halves.
struct AsioBufferInfo {
    AsioBool isInput;
    std::int32_t channelNum;
    void* buffers[2];
};

// Timing of one buffer, for hosts that take it with the buffer switch.
struct AsioTime {
    double speed;  // 1.0 at the nominal rate
    std::int64_t systemTimeNs;
    std::int64_t samplePosition;
    double sampleRate;
    std::uint32_t flags;
};

// The host's entry points, called by the driver on the driver's thread.
// bufferSwitch: buffer half `index` (0 or 1) is the host's to fill now;
// directProcess is true when the call comes straight from the driver's
// processing, as it always does here.
// The driver's process thread is the host's audio thread.
struct AsioCallbacks {
    // Audio thread: no allocation, no blocking (this and bufferSwitchTimeInfo).
    void (*bufferSwitch)(std::int32_t index, AsioBool directProcess);
    // The driver's threads (process or notification), also while the host
    // is on its UI thread in a driver call: no allocation, no blocking (this
    // and asioMessage).
    void (*sampleRateDidChange)(double rate);
    std::int32_t (*asioMessage)(std::int32_t selector, std::int32_t value, void* message, double* opt);
    AsioTime* (*bufferSwitchTimeInfo)(AsioTime* params, std::int32_t index, AsioBool directProcess);
};

struct IAsioDriver : IUnknown {
    // Connects to the device; sysRef is the host's main window. FALSE on
    // failure, with the reason in GetErrorMessage.
    STDMETHOD_(AsioBool, Init)(void* sysRef) = 0;
    STDMETHOD_(void, GetDriverName)(char name[32]) = 0;
    STDMETHOD_(std::int32_t, GetDriverVersion)() = 0;
    STDMETHOD_(void, GetErrorMessage)(char text[124]) = 0;
    STDMETHOD_(AsioError, Start)() = 0;
    STDMETHOD_(AsioError, Stop)() = 0;
    STDMETHOD_(AsioError, GetChannels)(std::int32_t* inputs, std::int32_t* outputs) = 0;
    // Buffer frames the driver takes; granularity -1 means powers of two.
    STDMETHOD_(AsioError, GetBufferSize)(std::int32_t* minimum, std::int32_t* maximum, std::int32_t* preferred,
                                         std::int32_t* granularity) = 0;
    STDMETHOD_(AsioError, CanSampleRate)(double rate) = 0;
    STDMETHOD_(AsioError, GetSampleRate)(double* rate) = 0;
    STDMETHOD_(AsioError, SetSampleRate)(double rate) = 0;
    STDMETHOD_(AsioError, GetChannelInfo)(AsioChannelInfo* info) = 0;
    // Buffers of `frames` frames for `count` channels; `callbacks` is copied.
    STDMETHOD_(AsioError, CreateBuffers)(AsioBufferInfo* infos, std::int32_t count, std::int32_t frames,
                                         const AsioCallbacks* callbacks) = 0;
    STDMETHOD_(AsioError, DisposeBuffers)() = 0;
    STDMETHOD_(AsioError, ControlPanel)() = 0;
    // The host has filled the current half. kAsioOk when the driver makes
    // use of it, kAsioNotPresent when it does not. Audio thread (from inside
    // the buffer switch): no allocation, no blocking.
    STDMETHOD_(AsioError, OutputReady)() = 0;
};
