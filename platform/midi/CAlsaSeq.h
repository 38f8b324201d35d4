// The ALSA sequencer for the sequencer provider: one duplex client named
// "Morvane", its ports created and connected on demand, events turned to
// and from MIDI bytes by ALSA's own coder. Without a sequencer on the
// machine it is closed: no ports, nothing opens.
#pragma once

#include <alsa/asoundlib.h>

#include <mutex>

#include "platform/midi/IAlsaSeq.h"

namespace mvmidi {

class CAlsaSeq : public IAlsaSeq {
public:
    CAlsaSeq();
    ~CAlsaSeq() override;
    CAlsaSeq(const CAlsaSeq&) = delete;
    CAlsaSeq& operator=(const CAlsaSeq&) = delete;

    bool IsOpen() const { return m_seq != nullptr; }

    std::vector<AlsaSeqPort> Ports() override;
    int CreatePort(const std::string& name, bool input) override;
    void DeletePort(int ourPort) override;
    bool Connect(int ourPort, const AlsaSeqPort& them, bool input) override;
    bool Send(int ourPort, const BYTE* bytes, std::size_t length) override;
    bool Receive(int timeoutMs, int* ourPort, std::vector<BYTE>* bytes) override;

private:
    snd_seq_t* m_seq = nullptr;
    snd_midi_event_t* m_encoder = nullptr;  // under m_sendLock
    snd_midi_event_t* m_decoder = nullptr;  // the reader's only
    std::mutex m_sendLock;
};

}  // namespace mvmidi
