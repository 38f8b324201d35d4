// The few ALSA sequencer calls the sequencer provider makes, behind an
// interface so the provider is tested against a fake sequencer (these
// machines have none). CAlsaSeq is the real one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

struct AlsaSeqPort {
    int client = 0;
    int port = 0;
    std::string name;       // "client name:port name"
    bool hardware = false;
    bool readable = false;  // it sends: one of our inputs can subscribe to it
    bool writable = false;  // it receives: one of our outputs can feed it
};

class IAlsaSeq {
public:
    virtual ~IAlsaSeq() = default;
    // The ports of the other clients (not ours, not the system's).
    virtual std::vector<AlsaSeqPort> Ports() = 0;
    // A port of our own: an input receives, an output sends. -1 on failure.
    virtual int CreatePort(const std::string& name, bool input) = 0;
    virtual void DeletePort(int ourPort) = 0;
    // Input: them -> our port; output: our port -> them.
    virtual bool Connect(int ourPort, const AlsaSeqPort& them, bool input) = 0;
    // Sends one whole message from our output port at once.
    virtual bool Send(int ourPort, const BYTE* bytes, std::size_t length) = 0;
    // Waits up to `timeoutMs` for one event on any of our input ports and
    // gives it as MIDI bytes; false when none came (or it was not MIDI).
    virtual bool Receive(int timeoutMs, int* ourPort, std::vector<BYTE>* bytes) = 0;
};
