// Each back-end's audio thread, watched from its second buffer on: between
// and around the engine's buffers (waiting for the device, handing the
// buffer over, converting and splitting it) it touches no heap. Where the
// device has threads of its own in this process (the DirectSound writer,
// JACK's client threads), the whole process is watched for a stretch of
// steady streaming too.
//
// Waiting for the device is these threads' job, and the platform's event
// and stream calls stand for kernel calls that take a short lock of their
// own: waits are not counted here. The engine's own entry is watched for
// them in ProcessBufferRtTest.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>

#include "devices/CAppConfig.h"
#include "devices/CAsioDevice.h"
#include "devices/CDirectSound.h"
#include "devices/CWDMAudio.h"
#include "devices/IEngineOwner.h"
#include "platform/audio/CJackAsioDriver.h"
#include "tests/devices/KsTestFixture.h"
#include "tests/platform/audio/AlsaTestConfig.h"
#include "tests/platform/audio/FakeAsioDriver.h"
#include "tests/platform/audio/JackTestSupport.h"
#include "tests/rt/RtProbe.h"
#include "tests/support/TempRegistry.h"

namespace {

using namespace std::chrono_literals;

// The engine as a back-end sees it: silence into every buffer. The thread
// that calls it is watched from its first call; the counts are taken at the
// second call and again at the last one watched, so the difference is what
// the back-end's loop and the calls between did.
class WatchingOwner : public IEngineOwner {
public:
    static constexpr int kWatchedCalls = 40;

    HRESULT ProcessBuffer(void* out, void*, UINT outBytes, LONG) override
    {
        std::memset(out, 0, outBytes);
        const int call = ++m_calls;
        if (call == 1)
            mvrt::WatchThisThread(true);
        else if (call == 2)
            m_first = mvrt::ReadCounts();
        else if (call == 2 + kWatchedCalls) {
            m_last = mvrt::ReadCounts();
            mvrt::WatchThisThread(false);
            m_done = true;
        }
        return S_OK;
    }
    HRESULT RequestAudioReset() override { return S_OK; }

    // Waits (up to 10 s) for the watched calls.
    bool WaitUntilWatched() const
    {
        for (int i = 0; i < 1000 && !m_done; ++i)
            std::this_thread::sleep_for(10ms);
        return m_done;
    }
    long Allocations() const { return m_last.allocations - m_first.allocations; }
    long Releases() const { return m_last.releases - m_first.releases; }

private:
    std::atomic<int> m_calls{0};
    std::atomic<bool> m_done{false};
    mvrt::Counts m_first;
    mvrt::Counts m_last;
};

#define EXPECT_NO_HEAP_ON_THE_AUDIO_THREAD(owner)                                      \
    do {                                                                               \
        EXPECT_EQ(0, (owner).Allocations()) << "allocations on the audio thread";      \
        EXPECT_EQ(0, (owner).Releases()) << "releases on the audio thread";            \
    } while (0)

// What every thread of the process does in 300 ms while this one sleeps.
mvrt::Counts WatchTheProcessWhileStreaming()
{
    mvrt::ResetCounts();
    mvrt::WatchEveryThread(true);
    std::this_thread::sleep_for(300ms);
    mvrt::WatchEveryThread(false);
    return mvrt::ReadCounts();
}

// Streams 16-bit stereo at `rate` in 256-frame buffers until the owner has
// watched its calls, then stops and closes.
void StreamWatched(IAudioDevice& device, const WatchingOwner& owner, int rate)
{
    ASSERT_EQ(S_OK, device.Open());
    ASSERT_EQ(S_OK, device.SetFormat(rate, 16, 256));
    ASSERT_EQ(S_OK, device.Start());
    const bool watched = owner.WaitUntilWatched();
    EXPECT_EQ(S_OK, device.Stop());
    EXPECT_EQ(S_OK, device.Close(0));
    ASSERT_TRUE(watched);
    EXPECT_NO_HEAP_ON_THE_AUDIO_THREAD(owner);
}

TEST(BackEndRtTest, DirectSoundRefillsItsHalvesWithoutTheHeap)
{
    mvtest::AlsaTestConfig alsa;
    CAppConfig::SetDSoundOutput("");
    WatchingOwner owner;
    CDirectSound device(&owner);
    StreamWatched(device, owner, 44100);
}

TEST(BackEndRtTest, TheDirectSoundWriterHandsTheRingToTheDeviceWithoutTheHeap)
{
    mvtest::AlsaTestConfig alsa;
    CAppConfig::SetDSoundOutput("");
    WatchingOwner owner;
    CDirectSound device(&owner);
    ASSERT_EQ(S_OK, device.Open());
    ASSERT_EQ(S_OK, device.SetFormat(44100, 16, 256));
    ASSERT_EQ(S_OK, device.Start());
    ASSERT_TRUE(owner.WaitUntilWatched());
    // Playing on: the audio thread and the writer are the only ones at work.
    const mvrt::Counts c = WatchTheProcessWhileStreaming();
    EXPECT_EQ(S_OK, device.Stop());
    EXPECT_EQ(S_OK, device.Close(0));
    EXPECT_EQ(0, c.allocations);
    EXPECT_EQ(0, c.releases);
}

class WdmRtTest : public mvtest::KsTestFixture {};

TEST_F(WdmRtTest, TheKernelStreamingThreadWritesItsPacketsWithoutTheHeap)
{
    m_provider->filters = {
        mvtest::RenderFilter("Speakers", {mvtest::RenderPin({PcmAudioRange(2, 16, 16, 44100, 48000)}, 1024)})};
    CAppConfig::SetWDMOutput("");
    WatchingOwner owner;
    CWDMAudio device(&owner);
    StreamWatched(device, owner, 48000);
}

class AsioRtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mvtest::FakeAsio::Reset();
        CAsioDevice::DeleteDriverList();
        CAppConfig::SetAsioOutput("");
    }
    void TearDown() override
    {
        CAsioDevice::DeleteDriverList();
        mvtest::FakeAsio::Reset();
    }

    mvtest::TempRegistry m_registry;
};

TEST_F(AsioRtTest, TheBufferSwitchSplitsTheBlockWithoutTheHeapOrAWait)
{
    struct Case {
        const char* name;
        std::int32_t sampleType;
        unsigned short bits;
        unsigned short mode24;
    };
    const Case cases[] = {
        {"16-bit little-endian", kAsioInt16LSB, 16, 0},
        {"24-bit packed big-endian", kAsioInt24MSB, 24, 0},
        {"24 bits in 32", kAsioInt32LSB24, 24, 1},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.name);
        mvtest::FakeAsio::Reset();
        CAsioDevice::DeleteDriverList();
        mvtest::FakeAsioConfig config;
        config.sampleType = k.sampleType;
        mvtest::FakeAsio::Install(mvtest::CLSID_FakeAsioA, "FakeKey", "Fake", config);
        WatchingOwner owner;
        {
            CAsioDevice device(&owner);
            ASSERT_EQ(S_OK, device.Open());
            ASSERT_EQ(S_OK, device.Set24BitMode(k.mode24));
            ASSERT_EQ(S_OK, device.SetFormat(48000, k.bits, 256));
            ASSERT_EQ(S_OK, device.Start());
            const AsioCallbacks callbacks = mvtest::FakeAsio::Callbacks();
            // The driver's thread: this one, for the length of the switches.
            mvrt::ResetCounts();
            {
                mvrt::WatchedScope watched;
                for (int i = 0; i < WatchingOwner::kWatchedCalls + 2; ++i)
                    callbacks.bufferSwitch(i % 2, TRUE);
            }
            EXPECT_EQ(0, mvrt::ReadCounts().blockingLocks);
            EXPECT_EQ(S_OK, device.Stop());
        }
        ASSERT_TRUE(owner.WaitUntilWatched());
        EXPECT_NO_HEAP_ON_THE_AUDIO_THREAD(owner);
    }
}

// The JACK driver under the back-end: JACK's process thread runs the
// buffer switch. Needs the run's JACK server.
TEST_F(AsioRtTest, OnJackTheProcessCallbackAndJacksThreadsRunWithoutTheHeap)
{
    const char* server = mvtest::SharedJackServer();
    if (!server)
        GTEST_SKIP() << "no JACK server (MORVANE_JACK_SERVER)";
    mvtest::ScopedEnv clientName("MORVANE_JACK_CLIENT", mvtest::DriverClientName().c_str());
    int rate = 0, frames = 0;
    {
        mvtest::JackProbe probe(server, 0, 0);
        ASSERT_TRUE(probe.IsOpen());
        rate = static_cast<int>(jack_get_sample_rate(probe.Client()));
        frames = static_cast<int>(jack_get_buffer_size(probe.Client()));
    }
    ASSERT_EQ(S_OK, CJackAsioDriver::Register());
    WatchingOwner owner;
    mvrt::Counts c;
    {
        CAsioDevice device(&owner);
        ASSERT_EQ(S_OK, device.Open());
        ASSERT_EQ(S_OK, device.Set24BitMode(1));
        ASSERT_EQ(S_OK, device.SetFormat(rate, 24, frames));
        ASSERT_EQ(S_OK, device.Start());
        EXPECT_TRUE(owner.WaitUntilWatched());
        // Streaming on: JACK's threads and the engine's are the only ones at work.
        c = WatchTheProcessWhileStreaming();
        EXPECT_EQ(S_OK, device.Stop());
    }
    CJackAsioDriver::Unregister();
    EXPECT_NO_HEAP_ON_THE_AUDIO_THREAD(owner);
    EXPECT_EQ(0, c.allocations);
    EXPECT_EQ(0, c.releases);
}

}  // namespace
