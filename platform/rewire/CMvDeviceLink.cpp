#include "platform/rewire/CMvDeviceLink.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "platform/ipc/FileMapping.h"
#include "platform/ipc/Mailslot.h"
#include "platform/ipc/NamedEvent.h"
#include "platform/rewire/MvDeviceProtocol.h"
#include "platform/sync/Event.h"

extern char** environ;

namespace rewire {

namespace {

constexpr std::uint32_t kPollMs = 5;
constexpr int kEndWaitMs = 3000;

void SleepMs(long ms)
{
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    nanosleep(&t, nullptr);
}

std::uint32_t PackedMessage(const Event& e)
{
    const std::uint32_t status = (e.midi.status & 0xF0u) | (e.midi.channel & 0x0Fu);
    return status | (std::uint32_t(e.midi.data1 & 0x7F) << 8) | (std::uint32_t(e.midi.data2 & 0x7F) << 16);
}

}  // namespace

CMvDeviceLink::~CMvDeviceLink() { Close(); }

std::int32_t CMvDeviceLink::Open(const std::string& program, std::int32_t sampleRate)
{
    Close();
    m_program = program;
    m_sampleRate = sampleRate;
    m_slot = CreateMailslotA(mvdevice::kMailslotName, mvdevice::kCommandSize, 0, nullptr);
    m_mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                   static_cast<DWORD>(mvdevice::kBlockSize), mvdevice::kMappingName);
    m_request = CreateNamedEventA(nullptr, FALSE, FALSE, mvdevice::kRequestEventName);
    m_acknowledge = CreateNamedEventA(nullptr, FALSE, FALSE, mvdevice::kAcknowledgeEventName);
    if (m_slot == INVALID_HANDLE_VALUE || !m_mapping || !m_request || !m_acknowledge) {
        Close();
        return kDeviceStartFailed;
    }
    m_block = MapViewOfFile(m_mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
    if (!m_block || StartProgram() != kOk) {
        Close();
        return kDeviceStartFailed;
    }
    return kOk;
}

void CMvDeviceLink::Close()
{
    EndProgram();
    if (m_block)
        UnmapViewOfFile(m_block);
    m_block = nullptr;
    if (m_slot != INVALID_HANDLE_VALUE)
        CloseHandle(m_slot);
    m_slot = INVALID_HANDLE_VALUE;
    for (HANDLE* h : {&m_mapping, &m_request, &m_acknowledge}) {
        if (*h)
            CloseHandle(*h);
        *h = nullptr;
    }
    m_connected = false;
    m_queueCount = 0;
}

bool CMvDeviceLink::IsProgramRunning()
{
    if (m_pid <= 0)
        return false;
    int status = 0;
    if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
        m_pid = -1;
        return false;
    }
    return true;
}

std::int32_t CMvDeviceLink::StartProgram()
{
    if (IsProgramRunning())
        return kOk;
    std::string program = m_program;
    std::string panel = mvdevice::kPanelSwitch;
    char* argv[] = {program.data(), panel.data(), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv, environ) != 0)
        return kDeviceStartFailed;
    m_pid = pid;
    return kOk;
}

void CMvDeviceLink::EndProgram()
{
    if (!IsProgramRunning())
        return;
    kill(m_pid, SIGTERM);
    for (int waited = 0; waited < kEndWaitMs; waited += static_cast<int>(kPollMs)) {
        if (!IsProgramRunning())
            return;
        SleepMs(kPollMs);
    }
    kill(m_pid, SIGKILL);
    waitpid(m_pid, nullptr, 0);
    m_pid = -1;
    m_connected = false;
}

void CMvDeviceLink::QueueEvent(const Event& e)
{
    if (m_queueCount == kQueuedEvents) {
        // The oldest request gives way: the host follows the latest state.
        m_queueHead = (m_queueHead + 1) % kQueuedEvents;
        --m_queueCount;
    }
    m_queue[(m_queueHead + m_queueCount) % kQueuedEvents] = e;
    ++m_queueCount;
}

void CMvDeviceLink::ReadCommands()
{
    mvdevice::CommandRecord r;
    DWORD read = 0;
    while (ReadMailslot(m_slot, r.bytes, sizeof r.bytes, &read)) {
        if (read != mvdevice::kCommandSize)
            continue;
        Event e{};
        switch (r.Command()) {
        case mvdevice::kCommandDevice:
            if (r.bytes[2] == mvdevice::kDeviceMark)
                m_connected = r.bytes[3] == mvdevice::kDeviceStart;
            continue;
        case mvdevice::kCommandStop:
            e.kind = kEventStop;
            break;
        case mvdevice::kCommandPlay:
            e.kind = kEventPlay;
            break;
        case mvdevice::kCommandLoop:
            e.kind = kEventLoop;
            e.values[0] = static_cast<std::int32_t>(r.Word(4));
            e.values[1] = static_cast<std::int32_t>(r.Word(8));
            e.values[2] = r.bytes[12] ? 1 : 0;
            break;
        case mvdevice::kCommandRelocate:
            e.kind = kEventReposition;
            e.values[0] = static_cast<std::int32_t>(r.Word(4));
            break;
        default:
            continue;
        }
        QueueEvent(e);
    }
}

bool CMvDeviceLink::WaitForAcknowledge()
{
    for (std::uint32_t waited = 0; waited < kAnswerTimeoutMs; waited += kPollMs) {
        if (WaitForSingleObject(m_acknowledge, kPollMs) == WAIT_OBJECT_0)
            return true;
        if (!IsProgramRunning())
            return false;
    }
    return false;
}

void CMvDeviceLink::Dead() { Close(); }

std::int32_t CMvDeviceLink::Drive(const DriveAudioInput& in, DriveAudioOutput& out)
{
    std::fill(std::begin(out.servedChannels), std::end(out.servedChannels), 0u);
    out.events.count = 0;
    if (!IsOpen())
        return kDeviceNotOpen;
    ReadCommands();
    if (m_connected) {
        char* block = static_cast<char*>(m_block);
        const std::uint32_t frames = static_cast<std::uint32_t>(std::clamp<std::int32_t>(in.frames, 0, mvdevice::kMaxFrames));
        std::memset(block + mvdevice::kWantedChannels, 0, kChannelWords * 4);
        for (int c = 0; c < mvdevice::kChannels; ++c)
            if (TestBit(in.requestedChannels, c) && in.channelBuffers[c])
                SetBit(reinterpret_cast<std::uint32_t*>(block + mvdevice::kWantedChannels), c);
        using mvdevice::WriteU32;
        WriteU32(block, mvdevice::kSongPosition, static_cast<std::uint32_t>(in.position));
        WriteU32(block, mvdevice::kFrames, frames);
        const std::uint32_t request = in.playMode == 1 ? 2u : in.playMode == 2 ? 1u : 0u;
        WriteU32(block, mvdevice::kTransportRequest, request);
        WriteU32(block, mvdevice::kTempo, static_cast<std::uint32_t>(in.tempo));
        WriteU32(block, mvdevice::kNumerator, static_cast<std::uint32_t>(in.numerator));
        WriteU32(block, mvdevice::kDenominator, static_cast<std::uint32_t>(in.denominator));
        WriteU32(block, mvdevice::kLoopStart, static_cast<std::uint32_t>(in.loopStart));
        WriteU32(block, mvdevice::kLoopEnd, static_cast<std::uint32_t>(in.loopEnd));
        WriteU32(block, mvdevice::kLoopOn, in.loopOn ? 1u : 0u);
        WriteU32(block, mvdevice::kHostSampleRate, static_cast<std::uint32_t>(m_sampleRate));
        // Counts from the caller are held to what both records can carry.
        const std::int32_t capacity = std::min(in.events.count, in.events.capacity);
        const std::uint32_t count =
            in.events.events ? std::min<std::uint32_t>(static_cast<std::uint32_t>(std::max(capacity, 0)),
                                                       mvdevice::kMaxEvents)
                             : 0u;
        std::uint32_t written = 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            const Event& e = in.events.events[i];
            if (e.kind != kEventMidi)
                continue;
            const std::uint32_t frame = frames ? std::min(e.midi.frame, frames - 1) : 0u;
            WriteU32(block, mvdevice::kEvents + written * 8, frame);
            WriteU32(block, mvdevice::kEvents + written * 8 + 4, PackedMessage(e));
            ++written;
        }
        WriteU32(block, mvdevice::kEventCount, written);

        WaitForSingleObject(m_acknowledge, 0);  // a late answer to an earlier request
        SetEvent(m_request);
        if (!WaitForAcknowledge()) {
            Dead();
            return kDeviceNotAnswering;
        }
        for (int c = 0; c < mvdevice::kChannels; ++c) {
            if (!TestBit(in.requestedChannels, c) || !in.channelBuffers[c])
                continue;
            const float* pair = reinterpret_cast<const float*>(block + mvdevice::PairOffset(c / 2, 0));
            float* dest = in.channelBuffers[c];
            for (std::uint32_t f = 0; f < frames; ++f)
                dest[f] = pair[f * 2 + (c & 1)];
            SetBit(out.servedChannels, c);
        }
        ReadCommands();
    }
    const int room = out.events.events ? std::max(out.events.capacity, 0) : 0;
    while (m_queueCount > 0 && out.events.count < room) {
        out.events.events[out.events.count++] = m_queue[m_queueHead];
        m_queueHead = (m_queueHead + 1) % kQueuedEvents;
        --m_queueCount;
    }
    return kOk;
}

}  // namespace rewire
