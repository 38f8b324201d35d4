// A MIDI device provider of the test's own: named input and output ports,
// a way to play bytes into an open input, and a record of what each output
// was sent. Installed for the multimedia MIDI calls by the test.
#pragma once

#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "platform/midi/MidiDeviceProvider.h"

namespace mvtest {

class FakeMidiProvider : public IMidiDeviceProvider {
public:
    std::vector<MidiPortDescription> inputs;
    std::vector<MidiPortDescription> outputs;
    std::set<std::string> refuse;  // ports that will not open

    std::vector<MidiPortDescription> Inputs() override { return inputs; }
    std::vector<MidiPortDescription> Outputs() override { return outputs; }

    std::unique_ptr<IMidiInStream> OpenInput(UINT index, IMidiInReceiver* receiver) override
    {
        if (index >= inputs.size() || refuse.count(inputs[index].name))
            return nullptr;
        return std::make_unique<In>(this, index, receiver);
    }
    std::unique_ptr<IMidiOutStream> OpenOutput(UINT index) override
    {
        if (index >= outputs.size() || refuse.count(outputs[index].name))
            return nullptr;
        return std::make_unique<Out>(this, index);
    }

    // Plays one message into every open stream of input `index`.
    void Play(UINT index, std::vector<BYTE> bytes, std::uint64_t micros = 0)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (auto& [stream, at] : m_open)
            if (at == index)
                stream->receiver->Post(bytes.data(), bytes.size(), micros);
    }
    int OpenInputCount()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return static_cast<int>(m_open.size());
    }
    // Everything output `index` was sent, flattened, and how often it was
    // opened.
    std::vector<BYTE> Sent(UINT index)
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_sent[index];
    }
    void ClearSent()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_sent.clear();
    }
    int OpenOutputCount()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_openOutputs;
    }

private:
    struct In : IMidiInStream {
        In(FakeMidiProvider* p, UINT i, IMidiInReceiver* r) : owner(p), receiver(r)
        {
            std::lock_guard<std::mutex> lock(owner->m_lock);
            owner->m_open[this] = i;
        }
        ~In() override
        {
            std::lock_guard<std::mutex> lock(owner->m_lock);
            owner->m_open.erase(this);
        }
        bool Start() override { return true; }
        void Stop() override {}
        FakeMidiProvider* owner;
        IMidiInReceiver* receiver;
    };
    struct Out : IMidiOutStream {
        Out(FakeMidiProvider* p, UINT i) : owner(p), index(i)
        {
            std::lock_guard<std::mutex> lock(owner->m_lock);
            ++owner->m_openOutputs;
        }
        ~Out() override
        {
            std::lock_guard<std::mutex> lock(owner->m_lock);
            --owner->m_openOutputs;
        }
        bool Send(const BYTE* bytes, std::size_t length) override
        {
            std::lock_guard<std::mutex> lock(owner->m_lock);
            auto& sent = owner->m_sent[index];
            sent.insert(sent.end(), bytes, bytes + length);
            return true;
        }
        FakeMidiProvider* owner;
        UINT index;
    };

    std::mutex m_lock;
    std::map<In*, UINT> m_open;
    std::map<UINT, std::vector<BYTE>> m_sent;
    int m_openOutputs = 0;
};

// Installs a fake provider for the scope and puts the choice back after.
class ScopedMidiProvider {
public:
    ScopedMidiProvider() : provider(std::make_shared<FakeMidiProvider>()) { MidiSetDeviceProvider(provider); }
    ~ScopedMidiProvider() { MidiSetDeviceProvider(nullptr); }
    std::shared_ptr<FakeMidiProvider> provider;
};

}  // namespace mvtest
