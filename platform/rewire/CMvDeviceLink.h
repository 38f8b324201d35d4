// The engine library's one device: the program started in device mode, and
// the shared objects through which it is driven. Opening creates the
// mailslot, the shared block and the two events, then starts the program
// with the panel switch; each drive hands the host's transport, tempo,
// meter, loop and events over, requests the frames, waits for the
// acknowledgement and copies the pairs back. The device counts as
// connected from its start record until its stop record; before that a
// drive renders nothing and waits for nothing. A connected device that does
// not acknowledge within the answer time is taken for dead: its process is
// ended and every shared object is removed, and later drives fail at once.
//
// Threads: the bridge calls under its own locks, one call at a time.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>

#include "platform/rewire/ReWireRecords.h"
#include "platform/sync/Handle.h"

namespace rewire {

class CMvDeviceLink {
public:
    static constexpr std::uint32_t kAnswerTimeoutMs = 1000;
    static constexpr int kQueuedEvents = 64;

    CMvDeviceLink() = default;
    ~CMvDeviceLink();
    CMvDeviceLink(const CMvDeviceLink&) = delete;
    CMvDeviceLink& operator=(const CMvDeviceLink&) = delete;

    // kOk, or kDeviceStartFailed with nothing left behind.
    std::int32_t Open(const std::string& program, std::int32_t sampleRate);
    // Ends the program and removes the shared objects.
    void Close();
    bool IsOpen() const { return m_block != nullptr; }

    std::int32_t Drive(const DriveAudioInput& in, DriveAudioOutput& out);
    void SetSampleRate(std::int32_t rate) { m_sampleRate = rate; }

    // The program's process, for the panel-application calls.
    bool IsProgramRunning();
    std::int32_t StartProgram();
    void EndProgram();

private:
    // Turns the device's command records into queued events.
    void ReadCommands();
    void QueueEvent(const Event& e);
    bool WaitForAcknowledge();
    void Dead();

    std::string m_program;
    std::int32_t m_sampleRate = 44100;
    HANDLE m_slot = INVALID_HANDLE_VALUE;
    HANDLE m_mapping = nullptr;
    HANDLE m_request = nullptr;
    HANDLE m_acknowledge = nullptr;
    void* m_block = nullptr;
    pid_t m_pid = -1;
    bool m_connected = false;
    Event m_queue[kQueuedEvents] = {};
    int m_queueHead = 0;
    int m_queueCount = 0;
};

}  // namespace rewire
