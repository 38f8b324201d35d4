// Where the multimedia MIDI calls find their ports: a provider lists the
// input and output ports present now and opens a stream on one. The JACK
// provider (CJackMidiProvider) is chosen when a JACK server answers, the
// ALSA sequencer's (CAlsaSeqMidiProvider) otherwise; tests install one of
// their own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

struct MidiPortDescription {
    std::string name;
    bool hardware = false;  // a physical port rather than another program's
};

// Where an open input stream hands what it receives. Post is called on the
// stream's own thread (JACK's process thread, the sequencer's reader): it
// never blocks and never allocates; what does not fit is dropped.
class IMidiInReceiver {
public:
    // `bytes`: one whole message (short or system exclusive); `micros`:
    // when it arrived, in microseconds of the provider's clock since the
    // stream was started.
    virtual void Post(const BYTE* bytes, std::size_t length, std::uint64_t micros) = 0;

protected:
    ~IMidiInReceiver() = default;
};

class IMidiInStream {
public:
    // Destroying the stream stops it; Post is not called once the
    // destructor has returned.
    virtual ~IMidiInStream() = default;
    // Starts or stops receiving; Start zeroes the stream's clock.
    virtual bool Start() = 0;
    virtual void Stop() = 0;
};

class IMidiOutStream {
public:
    // Destroying the stream waits until nothing of it is being written.
    virtual ~IMidiOutStream() = default;
    // Queues one whole message; false when the device failed or its queue
    // is full. Called with the output handle's lock held: never from the
    // audio thread.
    virtual bool Send(const BYTE* bytes, std::size_t length) = 0;
};

class IMidiDeviceProvider {
public:
    virtual ~IMidiDeviceProvider() = default;
    virtual std::vector<MidiPortDescription> Inputs() = 0;
    virtual std::vector<MidiPortDescription> Outputs() = 0;
    // A stream on port `index` of the lists above; null when it will not
    // open.
    virtual std::unique_ptr<IMidiInStream> OpenInput(UINT index, IMidiInReceiver* receiver) = 0;
    virtual std::unique_ptr<IMidiOutStream> OpenOutput(UINT index) = 0;
};

// Replaces the provider for the calls that follow; null goes back to
// choosing one at the next call. Ports already open keep theirs.
void MidiSetDeviceProvider(std::shared_ptr<IMidiDeviceProvider> provider);
std::shared_ptr<IMidiDeviceProvider> MidiGetDeviceProvider();
