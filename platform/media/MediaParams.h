// The media-parameter interfaces through which the program reads a filter's
// parameter descriptions (IMediaParamInfo) and sets its values and
// automation envelopes (IMediaParams). Slot order, identifiers and record
// layouts are the platform's, so plug-in filters built apart plug in.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IMediaParamInfo, 0x6D6CBB60, 0xA223, 0x44AA, 0x84, 0x2F, 0xA2, 0xF0, 0x67, 0x50, 0xBE, 0x6D);
MV_DEFINE_GUID(IID_IMediaParams, 0x6D6CBB61, 0xA223, 0x44AA, 0x84, 0x2F, 0xA2, 0xF0, 0x67, 0x50, 0xBE, 0x6E);
MV_DEFINE_GUID(IID_IMediaParamsUICallback, 0xB8E0480A, 0xE08D, 0x4A5D, 0x92, 0x28, 0x24, 0x80, 0x17, 0x03, 0x23, 0x68);
// Envelope times in 100-ns reference time: the one time format used here.
MV_DEFINE_GUID(GUID_TIME_REFERENCE, 0x93AD712B, 0xDAA0, 0x4FFE, 0xBC, 0x81, 0xB0, 0xCE, 0x50, 0x0F, 0xCD, 0xD9);

using MP_DATA = float;
using MP_TIMEDATA = DWORD;
using MP_CAPS = DWORD;
using MP_FLAGS = DWORD;

enum MP_TYPE : INT { MPT_INT = 0, MPT_FLOAT = 1, MPT_BOOL = 2, MPT_ENUM = 3, MPT_MAX = 4 };

enum MP_CURVE_TYPE : INT {
    MP_CURVE_JUMP = 0x1,
    MP_CURVE_LINEAR = 0x2,
    MP_CURVE_SQUARE = 0x4,
    MP_CURVE_INVSQUARE = 0x8,
    MP_CURVE_SINE = 0x10,
};

// The curves a parameter's envelopes may use (MP_PARAMINFO::mopCaps).
constexpr MP_CAPS MP_CAPS_CURVE_JUMP = MP_CURVE_JUMP;
constexpr MP_CAPS MP_CAPS_CURVE_LINEAR = MP_CURVE_LINEAR;
constexpr MP_CAPS MP_CAPS_CURVE_SQUARE = MP_CURVE_SQUARE;
constexpr MP_CAPS MP_CAPS_CURVE_INVSQUARE = MP_CURVE_INVSQUARE;
constexpr MP_CAPS MP_CAPS_CURVE_SINE = MP_CURVE_SINE;

// Where a segment starts: its own start value, the parameter's value when
// the segment begins, or the parameter's neutral value.
constexpr MP_FLAGS MPF_ENVLP_STANDARD = 0x0;
constexpr MP_FLAGS MPF_ENVLP_BEGIN_CURRENTVAL = 0x1;
constexpr MP_FLAGS MPF_ENVLP_BEGIN_NEUTRALVAL = 0x2;

struct MP_PARAMINFO {
    MP_TYPE mpType;
    MP_CAPS mopCaps;
    MP_DATA mpdMinValue;
    MP_DATA mpdMaxValue;
    MP_DATA mpdNeutralValue;
    WCHAR szUnitText[32];
    WCHAR szLabel[32];
};
static_assert(sizeof(MP_PARAMINFO) == 148);

struct MP_ENVELOPE_SEGMENT {
    REFERENCE_TIME rtStart;
    REFERENCE_TIME rtEnd;
    MP_DATA valStart;
    MP_DATA valEnd;
    MP_CURVE_TYPE iCurve;
    MP_FLAGS flags;
};
static_assert(sizeof(MP_ENVELOPE_SEGMENT) == 32);

// UI thread: the descriptions are read when a parameter is shown or bound
// (GetParamText allocates).
struct IMediaParamInfo : IUnknown {
    STDMETHOD(GetParamCount)(DWORD* count) = 0;
    STDMETHOD(GetParamInfo)(DWORD index, MP_PARAMINFO* info) = 0;
    // Task memory the caller frees: the name, then the unit, each ended by
    // a 0, and a last 0.
    STDMETHOD(GetParamText)(DWORD index, WCHAR** text) = 0;
    STDMETHOD(GetNumTimeFormats)(DWORD* count) = 0;
    STDMETHOD(GetSupportedTimeFormat)(DWORD index, GUID* format) = 0;
    STDMETHOD(GetCurrentTimeFormat)(GUID* format, MP_TIMEDATA* data) = 0;
};

struct IMediaParams : IUnknown {
    // Any thread, the audio thread included (a control moved on the UI
    // thread, automation played on the audio thread): no allocation, no
    // blocking (these two).
    STDMETHOD(GetParam)(DWORD index, MP_DATA* value) = 0;
    STDMETHOD(SetParam)(DWORD index, MP_DATA value) = 0;
    // Audio thread (automation playback, between blocks): no allocation, no
    // blocking (these two). A filter whose lock is busy refuses rather than
    // wait. Also called on the UI thread while the transport is stopped.
    STDMETHOD(AddEnvelope)(DWORD index, DWORD count, MP_ENVELOPE_SEGMENT* segments) = 0;
    STDMETHOD(FlushEnvelope)(DWORD index, REFERENCE_TIME start, REFERENCE_TIME end) = 0;
    // UI thread, when the filter is bound.
    STDMETHOD(SetTimeFormat)(GUID format, MP_TIMEDATA data) = 0;
};

// What a filter's editor tells its host while the user works a control:
// indices are the filter's own parameter indices.
struct IMediaParamsUICallback : IUnknown {
    STDMETHOD(ParamsBeginCapture)(DWORD* indices, DWORD count) = 0;
    STDMETHOD(ParamsChanged)(DWORD* indices, DWORD count, MP_DATA* values) = 0;
    STDMETHOD(ParamsEndCapture)(DWORD* indices, DWORD count) = 0;
};

MV_DEFINE_GUID(IID_IMediaParamsSetUICallback, 0xF5011136, 0xC416, 0x48B9, 0x8C, 0x35, 0xE7, 0xC5, 0xF9, 0xAA, 0x6F,
               0xDF);

// How a host hands a filter's editor the callback it reports gestures to;
// null takes it away again. UI thread.
struct IMediaParamsSetUICallback : IUnknown {
    STDMETHOD(SetUICallback)(IMediaParamsUICallback* callback) = 0;
};
