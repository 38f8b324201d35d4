// MIDI ports over the ALSA sequencer: the input ports are the other
// clients' ports that send, the output ports those that receive, named
// "client:port". Opening one creates a port of our own and subscribes it. A
// reader thread takes the events of all open inputs and posts each to its
// stream, time-stamped when it was read.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <thread>

#include "platform/midi/IAlsaSeq.h"
#include "platform/midi/MidiDeviceProvider.h"

namespace mvmidi {

class CAlsaSeqMidiProvider : public IMidiDeviceProvider {
public:
    // The machine's sequencer.
    CAlsaSeqMidiProvider();
    explicit CAlsaSeqMidiProvider(std::unique_ptr<IAlsaSeq> seq);
    ~CAlsaSeqMidiProvider() override;
    CAlsaSeqMidiProvider(const CAlsaSeqMidiProvider&) = delete;
    CAlsaSeqMidiProvider& operator=(const CAlsaSeqMidiProvider&) = delete;

    std::vector<MidiPortDescription> Inputs() override;
    std::vector<MidiPortDescription> Outputs() override;
    std::unique_ptr<IMidiInStream> OpenInput(UINT index, IMidiInReceiver* receiver) override;
    std::unique_ptr<IMidiOutStream> OpenOutput(UINT index) override;

    struct Input {
        IMidiInReceiver* receiver = nullptr;
        bool running = false;
        std::chrono::steady_clock::time_point start{};
    };

private:
    friend class CAlsaSeqIn;
    friend class CAlsaSeqOut;

    std::vector<AlsaSeqPort> Filtered(bool readable);
    void Read();

    std::unique_ptr<IAlsaSeq> m_seq;
    std::mutex m_lock;                // m_inputs, held by the reader while it posts
    std::map<int, Input> m_inputs;    // by our port
    std::atomic<bool> m_quit{false};
    std::thread m_reader;
    unsigned m_serial = 0;
};

}  // namespace mvmidi
