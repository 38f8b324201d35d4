// The soft-synth interfaces as a plug-in sees them: the host's event record
// and queues, the host services a synth asks for when it is connected (tempo
// and meter maps, time converter, notify and input callbacks), and the
// interfaces the synth answers (soft synth, notify, input port, instrument
// and name lists). Slot order, identifiers and record layouts are the
// host's, so a plug-in built apart plugs in; they are declared here, in the
// plug-in's own namespace, because a plug-in builds against the platform
// only.
//
// Threads: each method says what it may cost where the host calls it on
// the audio thread.
#pragma once

#include "platform/com/Unknown.h"

namespace mvsynth {

MV_DEFINE_GUID(IID_IMfxEventQueue, 0xFF76F7C2, 0xF166, 0x11D1, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF);
MV_DEFINE_GUID(IID_IMfxDataQueue, 0x7A37A621, 0x1B1B, 0x11D2, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF);
MV_DEFINE_GUID(IID_IMfxTempoMap, 0xFF76F7C3, 0xF166, 0x11D1, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF);
MV_DEFINE_GUID(IID_IMfxMeterMap, 0xFF76F7C4, 0xF166, 0x11D1, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF);
MV_DEFINE_GUID(IID_IMfxTimeConverter, 0xFF94ABA0, 0x4DF9, 0x4120, 0x94, 0x7D, 0x5E, 0x30, 0x3E, 0x49, 0xB8, 0x1F);
MV_DEFINE_GUID(IID_IMfxKeyQuery, 0x1516243C, 0x0D2C, 0x4F9D, 0x96, 0x4D, 0xF3, 0xD7, 0x3D, 0x53, 0xF5, 0xD1);
MV_DEFINE_GUID(IID_IMfxInputCallback, 0xFA1B1A27, 0x8B1E, 0x4C4C, 0x9E, 0xAE, 0xF8, 0xC6, 0x0E, 0x05, 0x38, 0x1D);
MV_DEFINE_GUID(IID_IMfxNotifyHost, 0x439E1EF6, 0x2CBA, 0x48F8, 0xA8, 0x57, 0x51, 0xC5, 0x72, 0x4A, 0x4F, 0x6C);
MV_DEFINE_GUID(IID_IMfxSoftSynth, 0x5BBDF239, 0x3046, 0x4DAA, 0x8A, 0xDD, 0x3B, 0x93, 0x73, 0x54, 0x5B, 0x74);
MV_DEFINE_GUID(IID_IMfxSoftSynth2, 0x6E88453F, 0x4A85, 0x4159, 0xB6, 0x58, 0x88, 0xC4, 0x3D, 0x28, 0x82, 0x87);
MV_DEFINE_GUID(IID_IMfxNotify, 0x753B2366, 0x6CD2, 0x4E61, 0x99, 0x9B, 0x91, 0x28, 0xFC, 0xDB, 0x7B, 0xCD);
MV_DEFINE_GUID(IID_IMfxInputPort, 0x49C2EE08, 0x7DCA, 0x4DF3, 0x9A, 0x41, 0x35, 0xCF, 0xDB, 0x44, 0xF1, 0x2E);
MV_DEFINE_GUID(IID_IMfxInstrument, 0x2AC171DF, 0x81E3, 0x496C, 0xBA, 0x7A, 0x92, 0xEF, 0x10, 0xB4, 0x17, 0xD9);
MV_DEFINE_GUID(IID_IMfxNameList, 0x857F3281, 0x02A9, 0x11D2, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0B, 0x97);
MV_DEFINE_GUID(IID_IMfxNameList2, 0xBADA6CF9, 0x77A5, 0x4F48, 0xB6, 0xFA, 0x66, 0x15, 0x4E, 0x4B, 0x16, 0x3B);

// Event kinds the synth layer treats itself; others pass through.
enum : DWORD {
    kMfxNote = 0,
    kMfxKeyAftertouch = 1,
    kMfxController = 2,
    kMfxPatch = 3,
    kMfxChannelAftertouch = 4,
    kMfxWheel = 5,
    kMfxSourceFlags = 11,
};

// A note's duration: held until a note-off, or this is the note-off.
constexpr DWORD kMfxHeldNote = 0xFFFFFFFF;
constexpr DWORD kMfxNoteOff = 0;

#pragma pack(push, 1)
// The host's event record: 17 bytes without padding. Time in ticks, port,
// channel, kind, then 7 bytes whose use depends on the kind (note: key,
// velocity, release velocity, 32-bit duration).
struct MfxEvent {
    LONG m_time;
    BYTE m_port;
    BYTE m_channel;
    DWORD m_kind;
    BYTE m_data[7];
};
// One record of the host's raw MIDI queue: time in ticks and a short
// message (status | data1 << 8 | data2 << 16).
struct MfxData {
    DWORD m_dw1;
    DWORD m_dw2;
};
#pragma pack(pop)
static_assert(sizeof(MfxEvent) == 17, "the host's event record is 17 packed bytes");
static_assert(sizeof(MfxData) == 8);

struct IMfxEventQueue : IUnknown {
    STDMETHOD(Add)(const MfxEvent* event) = 0;
    // Audio thread: no allocation, no blocking (these two).
    STDMETHOD(GetCount)(int* count) = 0;
    STDMETHOD(GetAt)(int index, MfxEvent* event) = 0;
};

struct IMfxDataQueue : IUnknown {
    STDMETHOD(Add)(const MfxData* record) = 0;
    // Audio thread: no allocation, no blocking (these two).
    STDMETHOD(GetCount)(int* count) = 0;
    STDMETHOD(GetAt)(int index, MfxData* record) = 0;
};

// Audio thread and UI thread: no allocation, no blocking (every method).
struct IMfxTempoMap : IUnknown {
    STDMETHOD_(LONG, TicksToMsecs)(LONG ticks) = 0;
    STDMETHOD_(LONG, MsecsToTicks)(LONG msecs) = 0;
    STDMETHOD_(LONG, GetTicksPerQuarter)() = 0;
    STDMETHOD_(LONG, GetTempoIndexAt)(LONG ticks) = 0;
    STDMETHOD_(LONG, GetTempoCount)() = 0;
    // The entry's start tick and tempo in BPM x 100.
    STDMETHOD(GetTempoAt)(LONG index, LONG* ticks, LONG* tempo) = 0;
};

// Audio thread and UI thread: no allocation, no blocking (every method).
struct IMfxMeterMap : IUnknown {
    STDMETHOD(TicksToMbt)(LONG ticks, LONG* measure, LONG* beat, LONG* tick) = 0;
    STDMETHOD_(LONG, MbtToTicks)(LONG measure, LONG beat, LONG tick) = 0;
    STDMETHOD_(LONG, GetMeterIndexAt)(LONG ticks) = 0;
    STDMETHOD_(LONG, GetMeterCount)() = 0;
    STDMETHOD(GetMeterAt)(LONG index, LONG* ticks, LONG* numerator, LONG* denominator) = 0;
};

enum : DWORD {
    kMfxTimeSeconds = 1,
    kMfxTimeSamples = 2,
    kMfxTimeTicks = 3,
    kMfxTimeFixedTicks = 4,  // 48.16 fixed-point ticks
};

struct MFX_TIME {
    DWORD format;
    DWORD padding;
    union {
        double seconds;
        LONGLONG samples;
        LONGLONG fixedTicks;
        LONG ticks;
    };
};
static_assert(sizeof(MFX_TIME) == 16);

struct IMfxTimeConverter : IUnknown {
    // Audio thread and UI thread: no allocation, no blocking.
    STDMETHOD(ConvertTime)(MFX_TIME* time, DWORD targetFormat) = 0;
};

// The optional host query the synth layer asks for at connection; slot 6
// answers a record {kind, a, b}.
struct MFX_HOST_QUERY {
    DWORD kind;
    LONG a;
    LONG b;
};
struct IMfxKeyQuery : IUnknown {
    STDMETHOD(Reserved3)() = 0;
    STDMETHOD(Reserved4)() = 0;
    STDMETHOD(Reserved5)() = 0;
    STDMETHOD(QueryValue)(const MFX_HOST_QUERY* query, LONG* value) = 0;
};

struct IMfxInputCallback : IUnknown {
    STDMETHOD(OnInput)(DWORD a, DWORD b) = 0;
};

// Codes of OnPlugInNotify: before and after the synth's outputs change.
enum : DWORD { kMfxNotifyOutputsChanging = 1, kMfxNotifyOutputsChanged = 2 };

struct IMfxNotifyHost : IUnknown {
    // UI thread.
    STDMETHOD(OnPlugInNotify)(DWORD code, DWORD a, DWORD b) = 0;
};

struct IMfxNameList : IUnknown {
    STDMETHOD(GetTitle)(char* buffer, LONG size) = 0;
    STDMETHOD(GetSize)(LONG* size) = 0;
    STDMETHOD(GetNameAt)(LONG index, char* buffer, LONG size) = 0;
    STDMETHOD(GetNameCount)(LONG* count) = 0;
};

struct IMfxNameList2 : IMfxNameList {
    STDMETHOD(Reserved7)(DWORD a) = 0;
    STDMETHOD(Reserved8)(DWORD a, DWORD b, DWORD c, DWORD d) = 0;
    STDMETHOD(LookupName)(LONG key, char* buffer, LONG size) = 0;
};

// UI thread: the host names banks, patches, notes and controllers.
struct IMfxInstrument : IUnknown {
    STDMETHOD(GetName)(char* buffer, LONG size) = 0;
    // A task-memory array of bank methods the caller frees.
    STDMETHOD(GetBankMethods)(DWORD** methods, LONG* count) = 0;
    STDMETHOD(IsSpecialPatch)(LONG bank, LONG patch) = 0;
    STDMETHOD(IsValidPatch)(LONG bank, LONG patch) = 0;
    STDMETHOD(GetPatchNames)(LONG bank, IMfxNameList** list) = 0;
    STDMETHOD(GetNoteNames)(LONG bank, LONG patch, IMfxNameList** list) = 0;
    STDMETHOD(GetControllerNames)(IMfxNameList** list) = 0;
    STDMETHOD(GetRpnNames)(IMfxNameList** list) = 0;
    STDMETHOD(GetNrpnNames)(IMfxNameList** list) = 0;
};

// One vtable for both soft-synth identifiers.
struct IMfxSoftSynth2 : IUnknown {
    // UI thread (these two): the host hands over one reference to `host`.
    STDMETHOD(Connect)(IUnknown* host) = 0;
    STDMETHOD(Disconnect)() = 0;
    // Transport: the host's audio or UI thread. They take the synth's lock.
    STDMETHOD(Start)(LONG time) = 0;
    STDMETHOD(AdvanceTime)(LONG from, LONG to) = 0;
    STDMETHOD(Stop)() = 0;
    // Audio thread: no allocation while the queues stay within the
    // capacity they were made with; the synth's lock is taken.
    STDMETHOD(SendEvents)(LONG from, LONG thru, DWORD source, IMfxEventQueue* queue) = 0;
    STDMETHOD(SendMidi)(DWORD source, IMfxDataQueue* queue) = 0;
    // UI thread: the instrument's names, under the synth's lock.
    STDMETHOD(GetBankMethods)(DWORD** methods, LONG* count) = 0;
    STDMETHOD(IsSpecialPatch)(LONG bank, LONG patch) = 0;
    STDMETHOD(IsValidPatch)(LONG bank, LONG patch) = 0;
    STDMETHOD(GetPatchNames)(LONG bank, IMfxNameList** list) = 0;
    STDMETHOD(GetNoteNames)(LONG bank, LONG patch, IMfxNameList** list) = 0;
    STDMETHOD(GetControllerNames)(IMfxNameList** list) = 0;
    STDMETHOD(GetRpnNames)(IMfxNameList** list) = 0;
    STDMETHOD(GetNrpnNames)(IMfxNameList** list) = 0;
    STDMETHOD(GetInstrument)(IMfxInstrument** instrument) = 0;
};

// What a host tells a synth about one of its event sources.
struct MFX_NOTIFY_MSG {
    DWORD type;  // 0 channel override, 1 flags, 2-3 velocity offsets, 4-5 key offsets
    DWORD source;
    BYTE value;
    BYTE mask;
};

struct IMfxNotify : IUnknown {
    STDMETHOD(OnNotify)(const MFX_NOTIFY_MSG* message) = 0;
};

struct IMfxInputPort : IUnknown {
    STDMETHOD(SetInputCallback)(IMfxInputCallback* callback) = 0;
    STDMETHOD(GetInputCallback)(IMfxInputCallback** callback) = 0;
};

}  // namespace mvsynth
