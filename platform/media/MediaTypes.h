// The value types of the media-streaming interfaces: media types with their
// WAVEFORMATEX format block, allocator properties, pin and filter records, and
// the result codes the graph hands back. Layouts and numbers are the
// platform's, so a plug-in built apart reads the same fields.
#pragma once

#include "platform/com/Unknown.h"

// Major types, subtypes and format types the audio graph uses.
MV_DEFINE_GUID(MEDIATYPE_Audio, 0x73647561, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71);
MV_DEFINE_GUID(MEDIASUBTYPE_PCM, 0x00000001, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71);
MV_DEFINE_GUID(MEDIASUBTYPE_IEEE_FLOAT, 0x00000003, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71);
MV_DEFINE_GUID(FORMAT_WaveFormatEx, 0x05589F81, 0xC356, 0x11CE, 0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A);

constexpr WORD WAVE_FORMAT_PCM = 1;
constexpr WORD WAVE_FORMAT_IEEE_FLOAT = 3;
constexpr WORD WAVE_FORMAT_EXTENSIBLE = 0xFFFE;

#pragma pack(push, 1)
struct WAVEFORMATEX {
    WORD wFormatTag;
    WORD nChannels;
    DWORD nSamplesPerSec;
    DWORD nAvgBytesPerSec;
    WORD nBlockAlign;
    WORD wBitsPerSample;
    WORD cbSize;
};
#pragma pack(pop)
static_assert(sizeof(WAVEFORMATEX) == 18, "WAVEFORMATEX is 18 bytes");

struct AM_MEDIA_TYPE {
    GUID majortype;
    GUID subtype;
    BOOL bFixedSizeSamples;
    BOOL bTemporalCompression;
    ULONG lSampleSize;
    GUID formattype;
    IUnknown* pUnk;
    ULONG cbFormat;
    BYTE* pbFormat;
};
static_assert(sizeof(void*) != 8 || sizeof(AM_MEDIA_TYPE) == 88, "AM_MEDIA_TYPE keeps the 64-bit layout");

struct ALLOCATOR_PROPERTIES {
    LONG cBuffers;
    LONG cbBuffer;
    LONG cbAlign;
    LONG cbPrefix;
};
static_assert(sizeof(ALLOCATOR_PROPERTIES) == 16);

enum PIN_DIRECTION : INT { PINDIR_INPUT = 0, PINDIR_OUTPUT = 1 };
enum FILTER_STATE : INT { State_Stopped = 0, State_Paused = 1, State_Running = 2 };
using OAFilterState = LONG;

constexpr int MAX_PIN_NAME = 128;
constexpr int MAX_FILTER_NAME = 128;

struct IBaseFilter;
struct IFilterGraph;

struct PIN_INFO {
    IBaseFilter* pFilter;  // referenced; the caller releases it
    PIN_DIRECTION dir;
    WCHAR achName[MAX_PIN_NAME];
};

struct FILTER_INFO {
    WCHAR achName[MAX_FILTER_NAME];
    IFilterGraph* pGraph;  // referenced when not null; the caller releases it
};

enum QualityMessageType : INT { Famine = 0, Flood = 1 };
struct Quality {
    QualityMessageType Type;
    LONG Proportion;
    REFERENCE_TIME Late;
    REFERENCE_TIME TimeStamp;
};

// Reference-clock advise targets: handles of events and semaphores.
using HEVENT = DWORD_PTR;
using HSEMAPHORE = DWORD_PTR;

// Result codes of the media-streaming interfaces.
constexpr HRESULT VFW_S_NO_MORE_ITEMS = MakeHr(0x00040103);
constexpr HRESULT VFW_S_DUPLICATE_NAME = MakeHr(0x0004022D);
constexpr HRESULT VFW_S_STATE_INTERMEDIATE = MakeHr(0x00040237);
constexpr HRESULT VFW_S_NO_STOP_TIME = MakeHr(0x00040270);
constexpr HRESULT VFW_E_INVALIDMEDIATYPE = MakeHr(0x80040200);
constexpr HRESULT VFW_E_NEED_OWNER = MakeHr(0x80040202);
constexpr HRESULT VFW_E_ALREADY_CONNECTED = MakeHr(0x80040204);
constexpr HRESULT VFW_E_NO_ACCEPTABLE_TYPES = MakeHr(0x80040207);
constexpr HRESULT VFW_E_INVALID_DIRECTION = MakeHr(0x80040208);
constexpr HRESULT VFW_E_NOT_CONNECTED = MakeHr(0x80040209);
constexpr HRESULT VFW_E_NO_ALLOCATOR = MakeHr(0x8004020A);
constexpr HRESULT VFW_E_RUNTIME_ERROR = MakeHr(0x8004020B);
constexpr HRESULT VFW_E_BUFFER_NOTSET = MakeHr(0x8004020C);
constexpr HRESULT VFW_E_BUFFER_OVERFLOW = MakeHr(0x8004020D);
constexpr HRESULT VFW_E_BADALIGN = MakeHr(0x8004020E);
constexpr HRESULT VFW_E_ALREADY_COMMITTED = MakeHr(0x8004020F);
constexpr HRESULT VFW_E_BUFFERS_OUTSTANDING = MakeHr(0x80040210);
constexpr HRESULT VFW_E_NOT_COMMITTED = MakeHr(0x80040211);
constexpr HRESULT VFW_E_SIZENOTSET = MakeHr(0x80040212);
constexpr HRESULT VFW_E_NOT_FOUND = MakeHr(0x80040216);
constexpr HRESULT VFW_E_NOT_STOPPED = MakeHr(0x80040224);
constexpr HRESULT VFW_E_WRONG_STATE = MakeHr(0x80040227);
constexpr HRESULT VFW_E_TYPE_NOT_ACCEPTED = MakeHr(0x8004022A);
constexpr HRESULT VFW_E_SAMPLE_REJECTED = MakeHr(0x8004022B);
constexpr HRESULT VFW_E_SAMPLE_TIME_NOT_SET = MakeHr(0x80040249);
constexpr HRESULT VFW_E_MEDIA_TIME_NOT_SET = MakeHr(0x80040251);
constexpr HRESULT VFW_E_NOT_IN_GRAPH = MakeHr(0x8004025F);
