#include "platform/midi/CAlsaSeqMidiProvider.h"

#include <string>

#include "platform/midi/CAlsaSeq.h"

namespace mvmidi {

class CAlsaSeqIn : public IMidiInStream {
public:
    CAlsaSeqIn(CAlsaSeqMidiProvider* owner, int port) : m_owner(owner), m_port(port) {}
    ~CAlsaSeqIn() override
    {
        {
            // The reader posts under this lock: once the entry is gone it
            // never reaches the receiver again.
            std::lock_guard<std::mutex> lock(m_owner->m_lock);
            m_owner->m_inputs.erase(m_port);
        }
        m_owner->m_seq->DeletePort(m_port);
    }
    bool Start() override
    {
        std::lock_guard<std::mutex> lock(m_owner->m_lock);
        auto& input = m_owner->m_inputs[m_port];
        input.start = std::chrono::steady_clock::now();
        input.running = true;
        return true;
    }
    void Stop() override
    {
        std::lock_guard<std::mutex> lock(m_owner->m_lock);
        m_owner->m_inputs[m_port].running = false;
    }

private:
    CAlsaSeqMidiProvider* m_owner;
    int m_port;
};

class CAlsaSeqOut : public IMidiOutStream {
public:
    CAlsaSeqOut(IAlsaSeq* seq, int port) : m_seq(seq), m_port(port) {}
    ~CAlsaSeqOut() override { m_seq->DeletePort(m_port); }
    bool Send(const BYTE* bytes, std::size_t length) override { return m_seq->Send(m_port, bytes, length); }

private:
    IAlsaSeq* m_seq;
    int m_port;
};

CAlsaSeqMidiProvider::CAlsaSeqMidiProvider() : CAlsaSeqMidiProvider(std::make_unique<CAlsaSeq>()) {}

CAlsaSeqMidiProvider::CAlsaSeqMidiProvider(std::unique_ptr<IAlsaSeq> seq) : m_seq(std::move(seq))
{
    m_reader = std::thread([this] { Read(); });
}

CAlsaSeqMidiProvider::~CAlsaSeqMidiProvider()
{
    m_quit = true;
    m_reader.join();
}

void CAlsaSeqMidiProvider::Read()
{
    std::vector<BYTE> bytes;
    while (!m_quit.load()) {
        int port = -1;
        if (!m_seq->Receive(50, &port, &bytes))
            continue;
        std::lock_guard<std::mutex> lock(m_lock);
        auto it = m_inputs.find(port);
        if (it == m_inputs.end() || !it->second.running || !it->second.receiver)
            continue;
        const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(
            std::chrono::steady_clock::now() - it->second.start);
        it->second.receiver->Post(bytes.data(), bytes.size(), static_cast<std::uint64_t>(micros.count()));
    }
}

std::vector<AlsaSeqPort> CAlsaSeqMidiProvider::Filtered(bool readable)
{
    std::vector<AlsaSeqPort> result;
    for (auto& p : m_seq->Ports())
        if (readable ? p.readable : p.writable)
            result.push_back(std::move(p));
    return result;
}

std::vector<MidiPortDescription> CAlsaSeqMidiProvider::Inputs()
{
    std::vector<MidiPortDescription> result;
    for (const auto& p : Filtered(true))
        result.push_back({p.name, p.hardware});
    return result;
}

std::vector<MidiPortDescription> CAlsaSeqMidiProvider::Outputs()
{
    std::vector<MidiPortDescription> result;
    for (const auto& p : Filtered(false))
        result.push_back({p.name, p.hardware});
    return result;
}

std::unique_ptr<IMidiInStream> CAlsaSeqMidiProvider::OpenInput(UINT index, IMidiInReceiver* receiver)
{
    const auto ports = Filtered(true);
    if (index >= ports.size() || !receiver)
        return nullptr;
    const int ours = m_seq->CreatePort("in_" + std::to_string(++m_serial), true);
    if (ours < 0)
        return nullptr;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_inputs[ours].receiver = receiver;
    }
    auto stream = std::make_unique<CAlsaSeqIn>(this, ours);
    if (!m_seq->Connect(ours, ports[index], true))
        return nullptr;  // the stream's destructor takes the port back
    return stream;
}

std::unique_ptr<IMidiOutStream> CAlsaSeqMidiProvider::OpenOutput(UINT index)
{
    const auto ports = Filtered(false);
    if (index >= ports.size())
        return nullptr;
    const int ours = m_seq->CreatePort("out_" + std::to_string(++m_serial), false);
    if (ours < 0)
        return nullptr;
    auto stream = std::make_unique<CAlsaSeqOut>(m_seq.get(), ours);
    if (!m_seq->Connect(ours, ports[index], false))
        return nullptr;
    return stream;
}

}  // namespace mvmidi
