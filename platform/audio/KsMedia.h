// Kernel-streaming types, identifiers and codes, with the numbers and
// layouts that kernel streaming gives them: property requests, pin
// connection requests, data formats and ranges, allocator framing, stream
// headers, states. Pointer-free records keep their sizes (asserted).
#pragma once

#include <cstdint>

#include "platform/media/MediaTypes.h"
#include "platform/sync/Handle.h"
#include "platform/win/Guid.h"

MV_DEFINE_GUID(KSCATEGORY_AUDIO, 0x6994AD04, 0x93EF, 0x11D0, 0xA3, 0xCC, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96);
MV_DEFINE_GUID(KSCATEGORY_RENDER, 0x65E8773E, 0x8F56, 0x11D0, 0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96);
MV_DEFINE_GUID(KSCATEGORY_CAPTURE, 0x65E8773D, 0x8F56, 0x11D0, 0xA3, 0xB9, 0x00, 0xA0, 0xC9, 0x22, 0x31, 0x96);
MV_DEFINE_GUID(KSCATEGORY_TOPOLOGY, 0xDDA54A40, 0x1E4C, 0x11D1, 0xA0, 0x50, 0x40, 0x57, 0x05, 0xC1, 0x00, 0x00);

MV_DEFINE_GUID(KSPROPSETID_Pin, 0x8C134960, 0x51AD, 0x11CF, 0x87, 0x8A, 0x94, 0xF8, 0x01, 0xC1, 0x00, 0x00);
MV_DEFINE_GUID(KSPROPSETID_Connection, 0x1D58C920, 0xAC9B, 0x11CF, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00);
MV_DEFINE_GUID(KSPROPSETID_Topology, 0x720D4AC0, 0x7533, 0x11D0, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00);
MV_DEFINE_GUID(KSPROPSETID_Audio, 0x45FFAAA0, 0x6E1B, 0x11D0, 0xBC, 0xF2, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00);
MV_DEFINE_GUID(KSINTERFACESETID_Standard, 0x1A8766A0, 0x62CE, 0x11CF, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00);
MV_DEFINE_GUID(KSMEDIUMSETID_Standard, 0x4747B320, 0x62CE, 0x11CF, 0xA5, 0xD6, 0x28, 0xDB, 0x04, 0xC1, 0x00, 0x00);

inline constexpr GUID KSDATAFORMAT_TYPE_AUDIO = MEDIATYPE_Audio;
inline constexpr GUID KSDATAFORMAT_SUBTYPE_PCM = MEDIASUBTYPE_PCM;
inline constexpr GUID KSDATAFORMAT_SPECIFIER_WAVEFORMATEX = FORMAT_WaveFormatEx;

MV_DEFINE_GUID(KSNODETYPE_DAC, 0x507AE360, 0xC554, 0x11D0, 0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1);
MV_DEFINE_GUID(KSNODETYPE_VOLUME, 0x3A5ACC00, 0xC557, 0x11D0, 0x8A, 0x2B, 0x00, 0xA0, 0xC9, 0x25, 0x5A, 0xC1);

constexpr DWORD IOCTL_KS_PROPERTY = 0x002F0003;
constexpr DWORD IOCTL_KS_WRITE_STREAM = 0x002F8013;

constexpr ULONG KSPROPERTY_TYPE_GET = 0x00000001;
constexpr ULONG KSPROPERTY_TYPE_SET = 0x00000002;
constexpr ULONG KSPROPERTY_TYPE_BASICSUPPORT = 0x00000200;
constexpr ULONG KSPROPERTY_TYPE_TOPOLOGY = 0x10000000;

constexpr ULONG KSPROPERTY_PIN_CTYPES = 1;
constexpr ULONG KSPROPERTY_PIN_DATAFLOW = 2;
constexpr ULONG KSPROPERTY_PIN_DATARANGES = 3;
constexpr ULONG KSPROPERTY_PIN_INTERFACES = 5;
constexpr ULONG KSPROPERTY_PIN_MEDIUMS = 6;
constexpr ULONG KSPROPERTY_PIN_COMMUNICATION = 7;
constexpr ULONG KSPROPERTY_CONNECTION_STATE = 0;
constexpr ULONG KSPROPERTY_CONNECTION_ALLOCATORFRAMING = 3;
constexpr ULONG KSPROPERTY_CONNECTION_ALLOCATORFRAMING_EX = 6;
constexpr ULONG KSPROPERTY_TOPOLOGY_NODES = 1;
constexpr ULONG KSPROPERTY_TOPOLOGY_NAME = 3;
// The audio property set's ids run from 1 to this.
constexpr ULONG KSPROPERTY_AUDIO_LAST = 36;

constexpr ULONG KSINTERFACE_STANDARD_STREAMING = 0;
constexpr ULONG KSINTERFACE_STANDARD_LOOPED_STREAMING = 1;
constexpr ULONG KSMEDIUM_TYPE_ANYINSTANCE = 0;

constexpr ULONG KSPIN_DATAFLOW_IN = 1;
constexpr ULONG KSPIN_DATAFLOW_OUT = 2;
constexpr ULONG KSPIN_COMMUNICATION_NONE = 0;
constexpr ULONG KSPIN_COMMUNICATION_SINK = 1;
constexpr ULONG KSPIN_COMMUNICATION_SOURCE = 2;
constexpr ULONG KSPIN_COMMUNICATION_BOTH = 3;

constexpr ULONG KSPRIORITY_NORMAL = 0x40000000;

constexpr ULONG KSSTREAM_HEADER_OPTIONSF_PREROLL = 0x00000002;
constexpr ULONG KSSTREAM_HEADER_OPTIONSF_LOOPEDDATA = 0x80000000;

enum KSSTATE : ULONG { KSSTATE_STOP = 0, KSSTATE_ACQUIRE = 1, KSSTATE_PAUSE = 2, KSSTATE_RUN = 3 };

// Win32 errors of the kernel-streaming calls.
constexpr DWORD ERROR_INVALID_FUNCTION = 1;
constexpr DWORD ERROR_BAD_FORMAT = 11;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_BUSY = 170;
constexpr DWORD ERROR_IO_PENDING = 997;
constexpr DWORD ERROR_NOT_FOUND = 1168;
constexpr DWORD ERROR_NO_MATCH = 1169;
constexpr DWORD ERROR_SET_NOT_FOUND = 1170;
constexpr DWORD ERROR_DEVICE_NOT_CONNECTED = 1167;

struct KSIDENTIFIER {
    GUID Set;
    ULONG Id;
    ULONG Flags;
};
using KSPROPERTY = KSIDENTIFIER;
using KSPIN_INTERFACE = KSIDENTIFIER;
using KSPIN_MEDIUM = KSIDENTIFIER;
static_assert(sizeof(KSIDENTIFIER) == 24);

struct KSP_PIN {
    KSPROPERTY Property;
    ULONG PinId;
    ULONG Reserved;
};
struct KSP_NODE {
    KSPROPERTY Property;
    ULONG NodeId;
    ULONG Reserved;
};
static_assert(sizeof(KSP_PIN) == 32 && sizeof(KSP_NODE) == 32);

struct KSMULTIPLE_ITEM {
    ULONG Size;  // bytes, this header included
    ULONG Count;
};

struct KSPROPERTY_DESCRIPTION {
    ULONG AccessFlags;
    ULONG DescriptionSize;
    KSIDENTIFIER PropTypeSet;
    ULONG MembersListCount;
    ULONG Reserved;
};
static_assert(sizeof(KSPROPERTY_DESCRIPTION) == 40);

struct KSDATAFORMAT {
    ULONG FormatSize;
    ULONG Flags;
    ULONG SampleSize;
    ULONG Reserved;
    GUID MajorFormat;
    GUID SubFormat;
    GUID Specifier;
};
using KSDATARANGE = KSDATAFORMAT;
static_assert(sizeof(KSDATAFORMAT) == 64);

struct KSDATARANGE_AUDIO {
    KSDATARANGE DataRange;
    ULONG MaximumChannels;
    ULONG MinimumBitsPerSample;
    ULONG MaximumBitsPerSample;
    ULONG MinimumSampleFrequency;
    ULONG MaximumSampleFrequency;
};
static_assert(sizeof(KSDATARANGE_AUDIO) == 84);

struct KSPRIORITY {
    ULONG PriorityClass;
    ULONG PrioritySubClass;
};

struct KSPIN_CONNECT {
    KSPIN_INTERFACE Interface;
    KSPIN_MEDIUM Medium;
    ULONG PinId;
    HANDLE PinToHandle;
    KSPRIORITY Priority;
};

struct KSALLOCATOR_FRAMING {
    ULONG OptionsFlags;
    ULONG PoolType;
    ULONG Frames;
    ULONG FrameSize;
    ULONG FileAlignment;
    ULONG Reserved;
};
static_assert(sizeof(KSALLOCATOR_FRAMING) == 24);

struct KS_FRAMING_RANGE {
    ULONG MinFrameSize;
    ULONG MaxFrameSize;
    ULONG Stepping;
};
struct KS_FRAMING_RANGE_WEIGHTED {
    KS_FRAMING_RANGE Range;
    ULONG InPlaceWeight;
    ULONG NotInPlaceWeight;
};
struct KS_COMPRESSION {
    ULONG RatioNumerator;
    ULONG RatioDenominator;
    ULONG RatioConstantMargin;
};
struct KS_FRAMING_ITEM {
    GUID MemoryType;
    GUID BusType;
    ULONG MemoryFlags;
    ULONG BusFlags;
    ULONG Flags;
    ULONG Frames;
    ULONG FileAlignment;
    ULONG MemoryTypeWeight;
    KS_FRAMING_RANGE PhysicalRange;
    KS_FRAMING_RANGE_WEIGHTED FramingRange;
};
struct KSALLOCATOR_FRAMING_EX {
    ULONG CountItems;
    ULONG PinFlags;
    KS_COMPRESSION OutputCompression;
    ULONG PinWeight;
    KS_FRAMING_ITEM FramingItem[1];
};
static_assert(sizeof(KS_FRAMING_ITEM) == 88 && sizeof(KSALLOCATOR_FRAMING_EX) == 112);

struct KSTIME {
    LONGLONG Time;
    ULONG Numerator;
    ULONG Denominator;
};

struct KSSTREAM_HEADER {
    ULONG Size;
    ULONG TypeSpecificFlags;
    KSTIME PresentationTime;
    LONGLONG Duration;
    ULONG FrameExtent;
    ULONG DataUsed;
    void* Data;
    ULONG OptionsFlags;
};

struct OVERLAPPED {
    std::uintptr_t Internal;
    std::uintptr_t InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};
