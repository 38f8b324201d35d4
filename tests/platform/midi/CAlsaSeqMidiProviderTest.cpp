#include "platform/midi/CAlsaSeqMidiProvider.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <mutex>

#include "tests/platform/audio/JackTestSupport.h"

namespace {

using Bytes = std::vector<BYTE>;

// A sequencer of the test's own: a few clients' ports, our ports as they
// are made and connected, what our outputs sent, and events the test
// queues for our inputs.
class FakeSeq : public IAlsaSeq {
public:
    struct Shared {
        std::mutex lock;
        std::vector<AlsaSeqPort> ports;
        std::map<int, std::pair<std::string, bool>> ours;  // port -> name, input
        std::vector<std::pair<int, std::string>> connections;
        std::map<int, Bytes> sent;
        std::deque<std::pair<int, Bytes>> incoming;
        std::condition_variable arrived;
        // Calls of Receive begun: once it is called again after taking an
        // event, the reader has done with that event.
        int receives = 0;
    };
    explicit FakeSeq(std::shared_ptr<Shared> s) : m(std::move(s)) {}

    std::vector<AlsaSeqPort> Ports() override
    {
        std::lock_guard<std::mutex> l(m->lock);
        return m->ports;
    }
    int CreatePort(const std::string& name, bool input) override
    {
        std::lock_guard<std::mutex> l(m->lock);
        const int port = static_cast<int>(m->ours.size()) + 1;
        m->ours[port] = {name, input};
        return port;
    }
    void DeletePort(int port) override
    {
        std::lock_guard<std::mutex> l(m->lock);
        m->ours.erase(port);
    }
    bool Connect(int ours, const AlsaSeqPort& them, bool) override
    {
        std::lock_guard<std::mutex> l(m->lock);
        m->connections.emplace_back(ours, them.name);
        return them.name != "Broken:0";
    }
    bool Send(int ours, const BYTE* bytes, std::size_t length) override
    {
        std::lock_guard<std::mutex> l(m->lock);
        m->sent[ours].insert(m->sent[ours].end(), bytes, bytes + length);
        return true;
    }
    bool Receive(int timeoutMs, int* ours, Bytes* bytes) override
    {
        std::unique_lock<std::mutex> l(m->lock);
        ++m->receives;
        if (!m->arrived.wait_for(l, std::chrono::milliseconds(timeoutMs), [&] { return !m->incoming.empty(); }))
            return false;
        *ours = m->incoming.front().first;
        *bytes = m->incoming.front().second;
        m->incoming.pop_front();
        return true;
    }

    std::shared_ptr<Shared> m;
};

class Collect : public IMidiInReceiver {
public:
    void Post(const BYTE* bytes, std::size_t length, std::uint64_t) override
    {
        std::lock_guard<std::mutex> l(lock);
        got.emplace_back(bytes, bytes + length);
    }
    std::size_t Count()
    {
        std::lock_guard<std::mutex> l(lock);
        return got.size();
    }
    std::mutex lock;
    std::vector<Bytes> got;
};

class CAlsaSeqMidiProviderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        shared->ports = {
            {20, 0, "Keyboard:0", true, true, false},
            {24, 0, "Synth:0", true, false, true},
            {28, 0, "Both:0", false, true, true},
            {32, 0, "Broken:0", false, true, true},
        };
        provider = std::make_unique<mvmidi::CAlsaSeqMidiProvider>(std::make_unique<FakeSeq>(shared));
    }
    std::shared_ptr<FakeSeq::Shared> shared = std::make_shared<FakeSeq::Shared>();
    std::unique_ptr<mvmidi::CAlsaSeqMidiProvider> provider;
};

TEST_F(CAlsaSeqMidiProviderTest, InputsSendAndOutputsReceive)
{
    const auto inputs = provider->Inputs();
    const auto outputs = provider->Outputs();
    ASSERT_EQ(inputs.size(), 3u);
    EXPECT_EQ(inputs[0].name, "Keyboard:0");
    EXPECT_TRUE(inputs[0].hardware);
    EXPECT_EQ(inputs[1].name, "Both:0");
    ASSERT_EQ(outputs.size(), 3u);
    EXPECT_EQ(outputs[0].name, "Synth:0");
}

TEST_F(CAlsaSeqMidiProviderTest, AnOpenInputGetsItsPortsEventsOnlyWhileStarted)
{
    Collect a, b;
    auto first = provider->OpenInput(0, &a);
    auto second = provider->OpenInput(1, &b);
    ASSERT_TRUE(first && second);
    ASSERT_EQ(shared->connections.size(), 2u);
    EXPECT_EQ(shared->connections[0].second, "Keyboard:0");
    const int portA = shared->connections[0].first, portB = shared->connections[1].first;
    auto queue = [&](int port, Bytes bytes) {
        std::lock_guard<std::mutex> l(shared->lock);
        shared->incoming.emplace_back(port, std::move(bytes));
        shared->arrived.notify_one();
    };
    int receives = 0;
    {
        std::lock_guard<std::mutex> l(shared->lock);
        receives = shared->receives;
    }
    queue(portA, {0x90, 1, 2});  // not started: dropped
    // Taken, and the reader back for the next one (two calls on: it may
    // have been between calls when the event came), before anything starts.
    ASSERT_TRUE(mvtest::WaitFor([&] {
        std::lock_guard<std::mutex> l(shared->lock);
        return shared->incoming.empty() && shared->receives >= receives + 2;
    }));
    first->Start();
    second->Start();
    queue(portA, {0x90, 3, 4});
    queue(portB, {0xB0, 7, 9});
    ASSERT_TRUE(mvtest::WaitFor([&] { return a.Count() == 1 && b.Count() == 1; }));
    EXPECT_EQ(a.got[0], (Bytes{0x90, 3, 4}));
    EXPECT_EQ(b.got[0], (Bytes{0xB0, 7, 9}));
    first.reset();  // its port goes; a late event for it reaches nobody
    queue(portA, {0x80, 3, 0});
    EXPECT_TRUE(shared->ours.count(portB));
    std::lock_guard<std::mutex> l(shared->lock);
    EXPECT_FALSE(shared->ours.count(portA));
}

TEST_F(CAlsaSeqMidiProviderTest, OutputsSendFromTheirOwnPortAndBrokenConnectionsFail)
{
    auto out = provider->OpenOutput(0);
    ASSERT_TRUE(out);
    const Bytes clock{0xF8};
    EXPECT_TRUE(out->Send(clock.data(), clock.size()));
    const int port = shared->connections.back().first;
    EXPECT_EQ(shared->sent[port], clock);
    EXPECT_EQ(provider->OpenOutput(2), nullptr);  // "Broken:0"
    EXPECT_EQ(provider->OpenOutput(3), nullptr);
    Collect c;
    EXPECT_EQ(provider->OpenInput(2, &c), nullptr);
    std::lock_guard<std::mutex> l(shared->lock);
    EXPECT_EQ(shared->ours.size(), 1u);  // the failed ones were taken back
}

}  // namespace
