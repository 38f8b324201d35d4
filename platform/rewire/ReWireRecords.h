// The records that pass between the ReWire bridge and the ReWire engine
// library (mixer side). Every record starts with its own size in bytes and
// is cleared to zero before use; results are plain integers with 1 for
// success. Bit sets are arrays of 32-bit words, bit i in word i / 32.
//
// The sizes are those of the 32-bit layout the engine interface was made
// for, with one exception: the drive input record holds 256 channel-buffer
// pointers, which on this 64-bit system take 8 bytes each, so that record
// is 1024 bytes longer (its size field says so).
#pragma once

#include <cstddef>
#include <cstdint>

namespace rewire {

constexpr std::int32_t kOk = 1;
constexpr std::int32_t kAlreadyOpen = 6;
constexpr std::int32_t kLoadNoMemory = 8;
constexpr std::int32_t kLoadFailed = 9;
constexpr std::int32_t kLibraryNotFound = 100;
constexpr std::int32_t kEntryPointMissing = 101;
constexpr std::int32_t kBadModule = 113;
// The engine library's own codes.
constexpr std::int32_t kNotOpen = 200;
constexpr std::int32_t kBadArgument = 201;
constexpr std::int32_t kDeviceNotOpen = 202;
constexpr std::int32_t kDeviceNotAnswering = 203;
constexpr std::int32_t kDeviceStartFailed = 204;

constexpr std::int32_t kOpenVersion = 3000000;
constexpr int kMaxChannels = 256;
constexpr int kChannelWords = (kMaxChannels + 31) / 32;
constexpr int kDeviceNameChars = 64;
constexpr int kChannelNameChars = 32;

// Event kinds.
constexpr std::int32_t kEventMidi = 10;
constexpr std::int32_t kEventReposition = 11;
constexpr std::int32_t kEventLoop = 14;
constexpr std::int32_t kEventPlay = 15;
constexpr std::int32_t kEventStop = 16;
constexpr std::int32_t kEventDeviceChanged = 101;

// Note kinds of the note information.
constexpr std::int32_t kNoteNamed = 2;

#pragma pack(push, 4)

struct AudioInfo {
    std::int32_t size;  // 12
    std::int32_t sampleRate;
    std::int32_t maxBufferFrames;  // the bridge passes 65536 at open, 32768 at stream start
};
static_assert(sizeof(AudioInfo) == 12);

struct OpenInfo {
    std::int32_t size;  // 16
    AudioInfo audio;
};
static_assert(sizeof(OpenInfo) == 16);

struct DeviceInfo {
    std::int32_t size;  // 8288
    char name[kDeviceNameChars];
    std::int32_t channelCount;
    char channelNames[kMaxChannels][kChannelNameChars];
    std::uint32_t stereoPairs[(kMaxChannels / 2 + 31) / 32];  // bit p: channels 2p, 2p + 1 are a pair
    std::int32_t eventBufferSize;                             // device events one drive can return
    std::int32_t kind;
};
static_assert(sizeof(DeviceInfo) == 8288);

// One event: 24 bytes. MIDI events (kind 10) fill the MIDI fields; the
// device's transport requests fill `values` (reposition: position; loop:
// start, end, on), positions at 15360 per quarter note.
struct Event {
    std::int32_t kind;
    union {
        struct {
            std::uint32_t frame;  // offset in the buffer
            std::uint16_t bus;
            std::uint16_t channel;
            std::uint16_t status;
            std::uint16_t data1;
            std::uint16_t data2;
            std::uint16_t reserved;
        } midi;
        std::int32_t values[5];
    };
};
static_assert(sizeof(Event) == 24);

struct EventBuffer {
    std::int32_t size;         // 20
    std::int32_t elementSize;  // 24
    std::int32_t capacity;     // events the array holds
    std::int32_t count;        // events in it
    Event* events;
};

struct EventInfo {
    std::int32_t size;  // 44
    std::int32_t busCount;
    std::uint32_t usedBuses[kChannelWords];
    std::int32_t reserved;
};
static_assert(sizeof(EventInfo) == 44);

struct EventBusInfo {
    std::int32_t size;  // 40
    std::int32_t channelCount;
    std::uint32_t usedChannels[kChannelWords];
};
static_assert(sizeof(EventBusInfo) == 40);

// Which channel of which bus a query is about.
struct EventTarget {
    std::uint16_t bus;
    std::uint16_t channel;
};

struct EventChannelInfo {
    std::int32_t size;  // 68
    char name[kChannelNameChars];
    std::uint32_t usedNotes[4];
    std::uint32_t usedControllers[4];
};
static_assert(sizeof(EventChannelInfo) == 68);

struct ControllerInfo {
    std::int32_t size;  // 40
    std::int32_t kind;
    char name[kChannelNameChars];
};
static_assert(sizeof(ControllerInfo) == 40);

struct NoteInfo {
    std::int32_t size;  // 36
    std::int32_t kind;  // kNoteNamed when `name` holds the note's name
    char name[28];
};
static_assert(sizeof(NoteInfo) == 36);

struct DriveAudioInput {
    std::int32_t size;
    EventBuffer events;  // MIDI to the device
    std::uint32_t requestedChannels[kChannelWords];
    float* channelBuffers[kMaxChannels];  // mono buffers of `frames` floats
    std::int32_t frames;
    std::int32_t playMode;  // 0 stopped, 1 play from a stop, 2 playing
    std::int32_t position;  // 15360 per quarter note
    std::int32_t tempo;     // thousandths of a beat per minute
    std::int32_t numerator;
    std::int32_t denominator;
    std::int32_t loopStart;
    std::int32_t loopEnd;
    std::int32_t loopOn;
};
static_assert(sizeof(EventBuffer) == 16 + sizeof(void*));
static_assert(sizeof(DriveAudioInput) == 1116 - 4 * kMaxChannels + sizeof(void*) * kMaxChannels +
                                             (sizeof(EventBuffer) - 20));

struct DriveAudioOutput {
    std::int32_t size;
    EventBuffer events;  // the device's transport requests
    std::uint32_t servedChannels[kChannelWords];
};
static_assert(sizeof(DriveAudioOutput) == 56 + (sizeof(EventBuffer) - 20));

#pragma pack(pop)

// A drive record placed so that its pointers, which the 32-bit layout puts
// 4 bytes off an 8-byte boundary, are aligned: the record starts 4 bytes
// into an 8-aligned holder.
template <typename T>
struct alignas(8) AlignedRecord {
    std::int32_t pad = 0;
    T record{};
};
static_assert(offsetof(AlignedRecord<DriveAudioInput>, record.events.events) % alignof(void*) == 0);
static_assert(offsetof(AlignedRecord<DriveAudioInput>, record.channelBuffers) % alignof(void*) == 0);
static_assert(offsetof(AlignedRecord<DriveAudioOutput>, record.events.events) % alignof(void*) == 0);

inline bool TestBit(const std::uint32_t* bits, int i) { return (bits[i / 32] >> (i % 32)) & 1u; }
inline void SetBit(std::uint32_t* bits, int i) { bits[i / 32] |= 1u << (i % 32); }

using DeviceHandle = std::int32_t;

}  // namespace rewire
