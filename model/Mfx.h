// The MIDI-effect plug-in interface as the host implements it: the packed
// event record that plug-ins read and write, the 8-byte data-queue record,
// and the event queue, data queue and buffer factory interfaces. Plug-ins
// and the host share this header; it depends on nothing but the COM basics.
//
// Threads: MIDI effects and soft synths read and fill the queues on the
// audio thread, inside the span the engine renders, and the host fills and
// drains them there too; each method below says what it may cost. The
// queues take no lock: their owner serialises use.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IMfxEventQueue, 0xFF76F7C2, 0xF166, 0x11D1, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF);
MV_DEFINE_GUID(IID_IMfxEventQueue2, 0xC51273A1, 0xF0EA, 0x11D2, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF);
MV_DEFINE_GUID(IID_IMfxDataQueue, 0x7A37A621, 0x1B1B, 0x11D2, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF);
MV_DEFINE_GUID(IID_IMfxBufferFactory, 0xC779B641, 0xEDE2, 0x11D2, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF);

// Event kinds. 11 to 16 carry a plain u32 and no meaning the host relies on.
enum MfxEventKind : DWORD {
    MfxNote = 0,
    MfxKeyAftertouch = 1,
    MfxController = 2,
    MfxPatch = 3,
    MfxChannelAftertouch = 4,
    MfxWheel = 5,
    MfxRpn = 6,
    MfxNrpn = 7,
    MfxSysex = 8,
    MfxText = 9,
    MfxText2 = 10,
    MfxKind16 = 16,
    MfxAutomation = 0x7FFFFFFF,
};

// A data block of a system-exclusive or text event: a 32-bit token that the
// buffer factories resolve, 0 for none. It is not an address.
using HMFXBUFFER = DWORD;

#pragma pack(push, 1)
// 17 bytes without padding: time, port, channel, kind, then 7 bytes of kind
// data whose use depends on the kind.
struct MfxEvent {
    LONG m_time;  // ticks, 960 per quarter note
    BYTE m_port;
    BYTE m_channel;  // 0-15
    DWORD m_kind;    // MfxEventKind
    union {
        struct {
            BYTE key;
            BYTE velocity;
            BYTE extra;
            DWORD duration;  // ticks
        } m_note;
        struct {
            BYTE key;
            BYTE pressure;
        } m_keyAft;
        struct {
            BYTE number;
            BYTE value;
        } m_ctrl;
        struct {
            BYTE patch;
            BYTE bankMethod;  // 0-3
            WORD bank;        // 0xFFFF = no bank
        } m_patch;
        struct {
            BYTE unused;
            BYTE pressure;
        } m_chanAft;
        struct {
            SHORT value;  // -8192..8191, centre 0
        } m_wheel;
        struct {
            WORD number;  // 0-16383
            WORD value;   // 0-16383
        } m_rpn;          // RPN and NRPN
        struct {
            HMFXBUFFER handle;
        } m_buffer;  // system exclusive and text
        struct {
            DWORD param;  // 0xFFFFFFFF = none
        } m_automation;
        DWORD m_dword;  // kinds 11-16
        BYTE m_data[7];
    };
};

// One record of a data queue: two values that the host copies as they are.
struct MfxData {
    DWORD m_dw1;
    DWORD m_dw2;
};
#pragma pack(pop)
static_assert(sizeof(MfxEvent) == 17, "the event record is 17 packed bytes");
static_assert(sizeof(MfxData) == 8, "the data record is 8 bytes");

// The multi-byte fields of the packed records sit at odd addresses (m_kind
// always, the others in arrays). Read them as values, never through a
// reference or pointer bound to the field: that is undefined behaviour, and
// a fault on processors that do not load misaligned words. A value copy is
// loaded byte-safely by the compiler, which knows the field is packed:
// EXPECT_EQ(MfxNote, MfxCopy(e.m_kind)), not EXPECT_EQ(MfxNote, e.m_kind),
// which takes a reference.
template <typename T>
constexpr T MfxCopy(T field)
{
    return field;
}

// Out-parameters may point into a packed record (&e.m_buffer.handle, as
// plug-ins write it): the factory stores them byte-wise.
struct IMfxBufferFactory : IUnknown {
    // A new block of `size` bytes (zero-filled); *handle is 0 on failure.
    // Allocates and takes the factory's short lock (this and Duplicate): the
    // UI thread, or a plug-in that makes a new system-exclusive or text
    // block, knowing the cost; not the host's audio-thread paths.
    STDMETHOD(Alloc)(DWORD size, HMFXBUFFER* handle) = 0;
    // A new block of `size` bytes holding the first min(size, source size)
    // bytes of the source.
    STDMETHOD(Duplicate)(HMFXBUFFER source, DWORD size, HMFXBUFFER* handle) = 0;
    // The block's data and size; E_INVALIDARG for a handle that is not a
    // live block. Any thread, the audio thread included: no allocation, no
    // blocking.
    STDMETHOD(GetPointer)(HMFXBUFFER handle, void** data, DWORD* size) = 0;
};

struct IMfxEventQueue : IUnknown {
    // Inserts after every record whose time is at or below the new one's.
    // Audio thread: no blocking; allocates only when the queue outgrows the
    // capacity it was made with (the host sizes it so that playback does
    // not). Also the UI thread, on queues of its own.
    STDMETHOD(Add)(const MfxEvent* event) = 0;
    // Audio thread: no allocation, no blocking (these two).
    STDMETHOD(GetCount)(int* count) = 0;
    STDMETHOD(GetAt)(int index, MfxEvent* event) = 0;
};

struct IMfxEventQueue2 : IMfxEventQueue {
    // The queue's factory, with a reference. Audio thread: no allocation, no
    // blocking.
    STDMETHOD(GetBufferFactory)(IMfxBufferFactory** factory) = 0;
};

// A fixed-size queue: it never grows.
struct IMfxDataQueue : IUnknown {
    // Audio thread: no allocation, no blocking (all three). Also the thread
    // that queues live input; the owner serialises the two.
    STDMETHOD(Add)(const MfxData* record) = 0;
    STDMETHOD(GetCount)(int* count) = 0;
    STDMETHOD(GetAt)(int index, MfxData* record) = 0;
};
