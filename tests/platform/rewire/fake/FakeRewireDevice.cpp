// A stand-in for the program in device mode, started by the engine library
// under test in place of the program. It speaks the device side of the
// protocol and answers each request in a way the tests can check:
// - channel 2p + 1 of every pair p, frame f, holds (2p + 1) × 1000 + f, and
//   channel 2p holds 2p × 1000 + f, except on the last pair's left channel;
// - the last pair's left channel carries back what the request held: song
//   position, transport request, tempo, numerator, denominator, loop start,
//   loop end, loop on, event count, then each event's frame and message.
// FAKE_DEVICE_MODE picks a misbehaviour: "silent" connects and never answers,
// "die" exits on the second request, "commands" sends play, loop, relocate
// and stop records after the first request that asks for audio. A host's
// idle drives carry no frames and may come before the host has offered the
// interface the requests go to, where they would change nothing; so the
// records wait for a streamed buffer, which comes only once the host plays.
#include <signal.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/ipc/FileMapping.h"
#include "platform/ipc/Mailslot.h"
#include "platform/ipc/NamedEvent.h"
#include "platform/rewire/MvDeviceProtocol.h"
#include "platform/sync/Event.h"

namespace {

volatile sig_atomic_t g_stop = 0;
void OnTerm(int) { g_stop = 1; }

using namespace mvdevice;

void Send(HANDLE slot, std::uint16_t command, std::uint32_t a = 0, std::uint32_t b = 0, std::uint8_t on = 0)
{
    CommandRecord r;
    r.SetCommand(command);
    r.SetWord(4, a);
    r.SetWord(8, b);
    r.bytes[12] = on;
    WriteMailslot(slot, r.bytes, kCommandSize, nullptr);
}

void SendDevice(HANDLE slot, std::uint8_t state)
{
    CommandRecord r;
    r.SetCommand(kCommandDevice);
    r.bytes[2] = kDeviceMark;
    r.bytes[3] = state;
    WriteMailslot(slot, r.bytes, kCommandSize, nullptr);
}

void Answer(char* block)
{
    const std::uint32_t frames = ReadU32(block, kFrames);
    for (int c = 0; c < kChannels; ++c) {
        float* pair = reinterpret_cast<float*>(block + PairOffset(c / 2, 0));
        for (std::uint32_t f = 0; f < frames && f < kMaxFrames; ++f)
            pair[f * 2 + (c & 1)] = static_cast<float>(c) * 1000.0f + static_cast<float>(f);
    }
    float* echo = reinterpret_cast<float*>(block + PairOffset(kPairs - 1, 0));
    const std::size_t fields[] = {kSongPosition, kTransportRequest, kTempo, kNumerator, kDenominator,
                                  kLoopStart,    kLoopEnd,          kLoopOn, kEventCount};
    std::uint32_t i = 0;
    for (std::size_t field : fields)
        echo[2 * i++] = static_cast<float>(ReadI32(block, field));
    const std::uint32_t events = ReadU32(block, kEventCount);
    for (std::uint32_t e = 0; e < events && 2 * (i + 1) < 2 * kMaxFrames; ++e) {
        echo[2 * i++] = static_cast<float>(ReadU32(block, kEvents + e * 8));
        echo[2 * i++] = static_cast<float>(ReadU32(block, kEvents + e * 8 + 4));
    }
}

}  // namespace

int main()
{
    signal(SIGTERM, OnTerm);
    const char* modeText = std::getenv("FAKE_DEVICE_MODE");
    const std::string mode = modeText ? modeText : "";
    HANDLE slot = OpenMailslotA(kMailslotName);
    HANDLE mapping = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, kMappingName);
    HANDLE request = CreateNamedEventA(nullptr, FALSE, FALSE, kRequestEventName);
    HANDLE acknowledge = CreateNamedEventA(nullptr, FALSE, FALSE, kAcknowledgeEventName);
    if (slot == INVALID_HANDLE_VALUE || !mapping || !request || !acknowledge)
        return 2;
    char* block = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    if (!block)
        return 3;
    SendDevice(slot, kDeviceStart);
    int served = 0;
    bool commandsSent = false;
    while (!g_stop) {
        if (WaitForSingleObject(request, 50) != WAIT_OBJECT_0)
            continue;
        ++served;
        if (mode == "silent")
            continue;
        if (mode == "die" && served == 2)
            _exit(0);
        Answer(block);
        if (mode == "commands" && !commandsSent && ReadU32(block, kFrames) > 0) {
            commandsSent = true;
            Send(slot, kCommandPlay);
            Send(slot, kCommandLoop, 960 * kTicksScale, 3840 * kTicksScale, 1);
            Send(slot, kCommandRelocate, 1920 * kTicksScale);
            Send(slot, kCommandStop);
        }
        SetEvent(acknowledge);
    }
    SendDevice(slot, kDeviceStop);
    UnmapViewOfFile(block);
    for (HANDLE h : {slot, mapping, request, acknowledge})
        CloseHandle(h);
    return 0;
}
