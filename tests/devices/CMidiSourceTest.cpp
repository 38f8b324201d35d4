#include "devices/CMidiSource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "devices/CAppConfig.h"
#include "platform/registry/Profile.h"
#include "tests/platform/midi/FakeMidiProvider.h"
#include "tests/platform/audio/JackTestSupport.h"
#include "tests/support/TempProfile.h"

namespace {

struct Heard {
    DWORD message;
    int port;
};

// Records what reaches it; consumes what `consume` says.
class RecordingSink : public CMidiSink {
public:
    explicit RecordingSink(std::vector<std::string>* order = nullptr, std::string name = {})
        : m_order(order), m_name(std::move(name))
    {
    }
    int OnShortMsg(DWORD message, DWORD, int port) override
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_heard.push_back({message, port});
        if (m_order)
            m_order->push_back(m_name);
        return consume && (message & 0xFFFF) == consume ? 1 : 0;
    }
    std::vector<Heard> Got()
    {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_heard;
    }
    DWORD consume = 0;  // status | d1 << 8 of what it consumes

private:
    std::mutex m_lock;
    std::vector<Heard> m_heard;
    std::vector<std::string>* m_order;
    std::string m_name;
};

class CMidiSourceTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CAppConfig::SetRewireDeviceMode(false);
        fake().inputs = {{"Keys A"}, {"Pads B"}, {"Drums C"}};
        fake().outputs = {{"Synth Out", true}};
    }
    void TearDown() override { CAppConfig::SetRewireDeviceMode(false); }
    mvtest::FakeMidiProvider& fake() { return *m_midi.provider; }

    mvtest::TempProfile m_profile;
    CAppConfig m_config;
    mvtest::ScopedMidiProvider m_midi;
};

TEST_F(CMidiSourceTest, ReopensSavedPortsByNameWhereverTheDevicesNowAre)
{
    {
        CMidiSource source;
        ASSERT_EQ(source.OpenPort(2), S_OK);  // "Drums C"
        ASSERT_EQ(source.OpenPort(0), S_OK);  // "Keys A"
    }  // saves the choice by name
    EXPECT_EQ(CAppConfig::GetMidiInPortCount(), 2);
    EXPECT_EQ(std::string(GetProfileStringA("Options", "0", "")), "Drums C");

    // The devices come back in another order, one more among them.
    fake().inputs = {{"Drums C"}, {"New D"}, {"Keys A"}};
    CMidiSource source;
    EXPECT_EQ(source.Init(), S_OK);
    ASSERT_EQ(source.GetOpenPortCount(), 2);
    EXPECT_EQ(source.GetPortDeviceId(0), 0u);  // "Drums C" keeps port index 0
    EXPECT_EQ(source.GetPortDeviceId(1), 2u);
    EXPECT_EQ(source.GetPortDeviceId(2), 0x7FFFFFFFu);
}

TEST_F(CMidiSourceTest, ASavedNameNoDeviceHasIsSkippedAndReported)
{
    CAppConfig::SetMidiInPortCount(3);
    WriteProfileString("Options", "0", "Keys A");
    WriteProfileString("Options", "1", "Gone Z");
    WriteProfileString("Options", "2", "Drums C");
    CMidiSource source;
    EXPECT_EQ(source.Init(), E_UNEXPECTED);
    EXPECT_EQ(source.GetOpenPortCount(), 2);
    EXPECT_TRUE(source.IsDeviceOpen(0));
    EXPECT_TRUE(source.IsDeviceOpen(2));
    EXPECT_FALSE(source.IsDeviceOpen(1));
}

TEST_F(CMidiSourceTest, PriorityReceiversSeeEveryMessageFirstAndMayConsumeIt)
{
    CMidiSource source;
    std::vector<std::string> order;
    RecordingSink router(&order, "router"), learner(&order, "learner"), document(&order, "document"),
        recorder(&order, "recorder");
    router.consume = 0x07B1;  // controller 7 on channel 2
    ASSERT_EQ(source.AddPrioritySink(&router), S_OK);
    ASSERT_EQ(source.AddPrioritySink(&learner), S_OK);
    ASSERT_EQ(source.AddSink(&document), S_OK);
    ASSERT_EQ(source.AddSink(&recorder), S_OK);
    EXPECT_EQ(source.AddSink(&router), E_FAIL);  // already a priority receiver
    EXPECT_EQ(source.AddPrioritySink(&document), E_FAIL);
    ASSERT_EQ(source.OpenPort(1), S_OK);

    fake().Play(1, {0xB1, 0x07, 0x64});  // learned: consumed
    fake().Play(1, {0x91, 0x3C, 0x50});  // a note: passes on
    ASSERT_TRUE(mvtest::WaitFor([&] { return recorder.Got().size() == 1; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

    // Both priority receivers see both messages, before anyone else.
    EXPECT_EQ(learner.Got().size(), 2u);
    EXPECT_EQ(document.Got().size(), 1u);
    ASSERT_EQ(recorder.Got().size(), 1u);
    EXPECT_EQ(recorder.Got()[0].message, 0x503C91u);
    EXPECT_EQ(recorder.Got()[0].port, 0);
    ASSERT_EQ(order.size(), 6u);
    EXPECT_NE(order[2], "document");
    EXPECT_NE(order[3], "recorder");

    EXPECT_EQ(source.RemoveSink(&router), E_FAIL);
    EXPECT_EQ(source.RemovePrioritySink(&router), S_OK);
    EXPECT_EQ(source.RemoveSink(&document), S_OK);
    EXPECT_EQ(source.RemoveSink(&recorder), S_OK);
    EXPECT_EQ(source.RemovePrioritySink(&learner), S_OK);
}

TEST_F(CMidiSourceTest, DropsActiveSensingOnlyAndNothingWhileInputIsOff)
{
    CMidiSource source;
    RecordingSink sink;
    source.AddSink(&sink);
    ASSERT_EQ(source.OpenPort(0), S_OK);
    fake().Play(0, {0xFE});
    fake().Play(0, {0xF8});  // a clock is not active sensing
    ASSERT_TRUE(mvtest::WaitFor([&] { return sink.Got().size() == 1; }));
    CMidiSource::SetInputEnabled(false);
    fake().Play(0, {0x90, 0x40, 0x40});
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    CMidiSource::SetInputEnabled(true);
    fake().Play(0, {0x80, 0x40, 0x00});
    ASSERT_TRUE(mvtest::WaitFor([&] { return sink.Got().size() == 2; }));
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    ASSERT_EQ(sink.Got().size(), 2u);
    EXPECT_EQ(sink.Got()[0].message, 0xF8u);
    EXPECT_EQ(sink.Got()[1].message, 0x4080u);
    source.RemoveSink(&sink);

    // A message with 0xFE in its low byte and more beside it is delivered.
    RecordingSink direct;
    source.AddSink(&direct);
    source.Deliver(nullptr, 0x01FE, 0);
    EXPECT_EQ(direct.Got().size(), 1u);
    source.RemoveSink(&direct);
}

TEST_F(CMidiSourceTest, PortsBeyondTheRoutersTablesAreRefused)
{
    fake().inputs.clear();
    for (int i = 0; i < CMidiSource::kMaxPorts + 1; ++i)
        fake().inputs.push_back({"Port " + std::to_string(i)});
    CMidiSource source;
    for (UINT i = 0; i < static_cast<UINT>(CMidiSource::kMaxPorts); ++i)
        ASSERT_EQ(source.OpenPort(i), S_OK);
    EXPECT_EQ(source.OpenPort(static_cast<UINT>(CMidiSource::kMaxPorts)), E_FAIL);
    EXPECT_EQ(source.GetOpenPortCount(), CMidiSource::kMaxPorts);
    source.CloseAllPorts();
    EXPECT_EQ(fake().OpenInputCount(), 0);
}

TEST_F(CMidiSourceTest, APortThatWillNotOpenIsLeftOut)
{
    fake().refuse = {"Pads B"};
    CMidiSource source;
    EXPECT_EQ(source.OpenPort(1), E_FAIL);
    EXPECT_EQ(source.OpenPort(7), E_FAIL);
    EXPECT_EQ(source.GetOpenPortCount(), 0);
}

TEST_F(CMidiSourceTest, RewireModeAddsTheVirtualPortLast)
{
    fake().inputs = {{"Keys A"}, {"Pads B"}};
    CAppConfig::SetRewireDeviceMode(true);
    CAppConfig::SetMidiInPortCount(1);
    WriteProfileString("Options", "0", "Pads B");
    CMidiSource source;
    EXPECT_EQ(source.Init(), S_OK);
    UINT count = 0;
    source.GetDeviceCount(&count);
    EXPECT_EQ(count, 3u);
    CString name;
    EXPECT_EQ(source.GetDeviceName(2, &name), S_OK);
    EXPECT_EQ(name.Str(), "ReWire MIDI Input");
    EXPECT_EQ(source.GetDeviceName(3, &name), E_INVALIDARG);
    ASSERT_EQ(source.GetOpenPortCount(), 2);
    EXPECT_TRUE(source.IsVirtualPortIndex(1));
    EXPECT_EQ(source.GetPortDeviceId(1), 2u);
    ASSERT_NE(source.GetRewirePort(), nullptr);
    EXPECT_EQ(source.GetRewirePort()->portIndex, 1);

    RecordingSink sink;
    source.AddSink(&sink);
    source.Deliver(source.GetRewirePort(), 0x403C90, 12);
    ASSERT_EQ(sink.Got().size(), 1u);
    EXPECT_EQ(sink.Got()[0].port, 1);
    source.RemoveSink(&sink);
}

TEST_F(CMidiSourceTest, PortNamesAreCutToTheBufferAndAlwaysTerminated)
{
    CMidiSource source;
    ASSERT_EQ(source.OpenPort(1), S_OK);
    char buffer[64];
    EXPECT_EQ(source.GetPortName(0, buffer, sizeof buffer), S_OK);
    EXPECT_STREQ(buffer, "Port 1 (Pads B)");
    EXPECT_EQ(source.GetPortName(4, buffer, sizeof buffer), S_OK);
    EXPECT_STREQ(buffer, "Port 5 (no device)");
    char small[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(source.GetPortName(0, small, 4), S_OK);
    EXPECT_STREQ(small, "Por");
}

TEST_F(CMidiSourceTest, OutputDevicesAreListedWithTheirKind)
{
    CMidiSource source;
    UINT count = 0;
    source.GetOutputDeviceCount(&count);
    EXPECT_EQ(count, 1u);
    CString name;
    BOOL hardware = FALSE;
    EXPECT_EQ(source.GetOutputDeviceName(0, &name, &hardware), S_OK);
    EXPECT_EQ(name.Str(), "Synth Out");
    EXPECT_TRUE(hardware);
    EXPECT_EQ(source.GetOutputDeviceName(1, &name, &hardware), E_INVALIDARG);
    EXPECT_EQ(source.GetOutputDeviceName(0, nullptr, &hardware), E_POINTER);
}

// Receivers come and go on the UI thread while messages stream in: the
// input thread never calls a receiver after its removal returned, and never
// walks a freed set (the address checker catches that).
TEST_F(CMidiSourceTest, ReceiversSwappedWhileMessagesStreamAreNeverCalledAfterRemoval)
{
    CMidiSource source;
    ASSERT_EQ(source.OpenPort(0), S_OK);
    class GuardedSink : public CMidiSink {
    public:
        int OnShortMsg(DWORD, DWORD, int) override
        {
            if (!alive.load())
                late.store(true);
            return 0;
        }
        std::atomic<bool> alive{true};
        std::atomic<bool> late{false};
    };
    std::atomic<bool> stop{false};
    std::thread player([&] {
        while (!stop.load())
            fake().Play(0, {0x90, 0x40, 0x40});
    });
    bool late = false;
    for (int i = 0; i < 300 && !late; ++i) {
        auto sink = std::make_unique<GuardedSink>();
        ASSERT_EQ(source.AddSink(sink.get()), S_OK);
        std::this_thread::yield();
        ASSERT_EQ(source.RemoveSink(sink.get()), S_OK);
        sink->alive = false;
        std::this_thread::sleep_for(std::chrono::microseconds(50));
        late = sink->late.load();
    }
    stop = true;
    player.join();
    EXPECT_FALSE(late);
}

}  // namespace
