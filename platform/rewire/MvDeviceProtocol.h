// The protocol between the program running as a ReWire device and the
// bridge on the host's side: the mailslot of command records that the
// device writes, the shared block that the bridge fills for each audio
// request and the device renders into, and the two auto-reset events that
// hand the block over (request) and back (acknowledge).
//
// Positions count 15360 ticks per quarter note (the program's ticks × 16).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mvdevice {

inline constexpr const char* kMailslotName = "\\\\.\\mailslot\\mv";
inline constexpr const char* kMappingName = "MvMapping";
inline constexpr const char* kRequestEventName = "MvDataReq";
inline constexpr const char* kAcknowledgeEventName = "MvDataAck";
// The switch that starts the program as a device.
inline constexpr const char* kPanelSwitch = "/ReWirePanel";

constexpr int kTicksScale = 16;

// Command records, 24 bytes little-endian.
constexpr std::size_t kCommandSize = 24;
constexpr std::uint16_t kCommandDevice = 0x00FF;
constexpr std::uint8_t kDeviceMark = 0xD5;
constexpr std::uint8_t kDeviceStart = 1;
constexpr std::uint8_t kDeviceStop = 2;
constexpr std::uint16_t kCommandStop = 16;
constexpr std::uint16_t kCommandPlay = 15;
constexpr std::uint16_t kCommandLoop = 14;
constexpr std::uint16_t kCommandRelocate = 11;

struct CommandRecord {
    std::uint8_t bytes[kCommandSize] = {};

    std::uint16_t Command() const { return static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8); }
    std::uint32_t Word(std::size_t offset) const
    {
        return std::uint32_t(bytes[offset]) | std::uint32_t(bytes[offset + 1]) << 8 |
               std::uint32_t(bytes[offset + 2]) << 16 | std::uint32_t(bytes[offset + 3]) << 24;
    }
    void SetCommand(std::uint16_t c)
    {
        bytes[0] = static_cast<std::uint8_t>(c);
        bytes[1] = static_cast<std::uint8_t>(c >> 8);
    }
    void SetWord(std::size_t offset, std::uint32_t v)
    {
        for (int i = 0; i < 4; ++i)
            bytes[offset + i] = static_cast<std::uint8_t>(v >> (8 * i));
    }
};

// Shared block offsets.
constexpr std::size_t kWantedChannels = 0x18;  // bitmap of ReWire channels
constexpr std::size_t kSongPosition = 0x438;
constexpr std::size_t kFrames = 0x43C;
constexpr std::size_t kTransportRequest = 0x440;  // 0 stop (and locate), 1 play, 2 locate and play
constexpr std::size_t kTempo = 0x444;             // thousandths of a beat per minute
constexpr std::size_t kNumerator = 0x448;
constexpr std::size_t kDenominator = 0x44C;
constexpr std::size_t kLoopStart = 0x450;
constexpr std::size_t kLoopEnd = 0x454;
constexpr std::size_t kLoopOn = 0x458;
constexpr std::size_t kEventCount = 0x45C;
constexpr std::size_t kEvents = 0x460;  // frame offset, packed short message: 8 bytes each
constexpr std::size_t kAudio = 0x1460;  // one block per stereo pair
constexpr std::size_t kHostSampleRate = 0x1001460;
constexpr std::size_t kBlockSize = kHostSampleRate + 4;

constexpr std::uint32_t kMaxEvents = (kAudio - kEvents) / 8;  // 512
constexpr std::uint32_t kMaxFrames = 32768;
constexpr std::size_t kPairBytes = kMaxFrames * 8;
constexpr int kPairs = static_cast<int>((kHostSampleRate - kAudio) / kPairBytes);  // 64
constexpr int kChannels = kPairs * 2;
static_assert(kPairs == 64 && kMaxEvents == 512);

// Where pair p's frame `frame` starts in the block.
constexpr std::size_t PairOffset(int pair, std::uint32_t frame) { return kAudio + pair * kPairBytes + frame * 8u; }

inline std::uint32_t ReadU32(const void* block, std::size_t offset)
{
    std::uint32_t v;
    std::memcpy(&v, static_cast<const char*>(block) + offset, 4);
    return v;
}
inline std::int32_t ReadI32(const void* block, std::size_t offset)
{
    return static_cast<std::int32_t>(ReadU32(block, offset));
}
inline void WriteU32(void* block, std::size_t offset, std::uint32_t v)
{
    std::memcpy(static_cast<char*>(block) + offset, &v, 4);
}

}  // namespace mvdevice
