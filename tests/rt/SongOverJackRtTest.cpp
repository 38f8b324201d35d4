// The first song end to end: the engine owner built by the program's own
// engine factory, the ASIO back-end on the JACK driver, a song document of
// four channels each playing the sine test instrument through the plug-in
// wrappers from a pattern instance. A second JACK client records what the
// program's output ports play; each note is heard at its sample position
// (within one buffer) and at its velocity's level, and the audio thread
// neither touches the heap nor waits on a lock while the song plays.
//
// Needs the run's JACK server (tools/run-tests starts one).
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <memory>
#include <optional>
#include <thread>

#include "devices/CAppConfig.h"
#include "devices/CAsioDevice.h"
#include "devices/IEngineOwner.h"
#include "engine/CTransport.h"
#include "engine/hosting/CHostingEngineFactory.h"
#include "platform/audio/CJackAsioDriver.h"
#include "platform/res/CScriptedAnswerer.h"
#include "tests/engine/hosting/SineSongFixture.h"
#include "tests/platform/audio/AlsaTestConfig.h"
#include "tests/platform/audio/JackTestSupport.h"
#include "tests/rt/RtProbe.h"

namespace {

using namespace std::chrono_literals;
using songplay::kChannels;
using songplay::kNotes;

// Stands between the ASIO back-end and the engine owner on JACK's process
// thread. It finds the first buffer the song plays (the one that starts
// where Play re-seeked the song, the audio renderer's position going back)
// and notes where that buffer lands in the recording: the recording client
// runs after the driver in each cycle, so what it has recorded so far is
// where this cycle's output will go. From the third playing buffer on, the
// engine's work is watched until the test calls time.
class WatchedEngine final : public IEngineOwner {
public:
    HRESULT ProcessBuffer(void* out, void* in, UINT outBytes, LONG frames) override
    {
        CAudioRenderer* renderer = transport != nullptr ? transport->GetAudioRenderer() : nullptr;
        const LONGLONG before = renderer != nullptr ? renderer->GetSamplePosition() : 0;
        if (armed.load() && songStart.load() < 0 && before < m_lastEnd && recorder != nullptr)
            songStart = static_cast<LONGLONG>(recorder->Frames()) - before;
        const bool watch = songStart.load() >= 0 && m_playingBuffers >= 2 && !watchDone.load();
        if (watch)
            mvrt::WatchThisThread(true);
        const HRESULT hr = owner->ProcessBuffer(out, in, outBytes, frames);
        if (watch) {
            mvrt::WatchThisThread(false);
            ++watchedBuffers;
        }
        if (songStart.load() >= 0)
            ++m_playingBuffers;
        m_lastEnd = renderer != nullptr ? renderer->GetSamplePosition() : 0;
        ++buffers;
        return hr;
    }
    HRESULT RequestAudioReset() override { return owner->RequestAudioReset(); }

    IEngineOwner* owner = nullptr;
    CTransport* transport = nullptr;
    mvtest::JackProbe* recorder = nullptr;
    std::atomic<bool> armed{false};
    std::atomic<bool> watchDone{false};
    // The recording's frame of song sample 0; -1 until the song plays.
    std::atomic<LONGLONG> songStart{-1};
    std::atomic<int> buffers{0};
    std::atomic<int> watchedBuffers{0};

private:
    LONGLONG m_lastEnd = 0;
    int m_playingBuffers = 0;
};

// The program's engine factory, the ASIO back-end's callbacks passing
// through the watcher on their way to the engine owner.
class WatchedFactory final : public CHostingEngineFactory {
public:
    IAudioDevice* CreateAsioDevice(IEngineOwner* owner) override
    {
        engine.owner = owner;
        return CHostingEngineFactory::CreateAsioDevice(&engine);
    }
    WatchedEngine engine;
};

class SongOverJackRtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_server = mvtest::SharedJackServer();
        if (m_server == nullptr)
            GTEST_SKIP() << "no JACK server (MORVANE_JACK_SERVER)";
        CUndoHistory::Instance().Clear();
        CFilterWrap::ClearFailedPlugIns();
        ASSERT_EQ(0, songplay::Regsvr(std::string("'") + MVTEST_SINE_SERVER + "'"));
        CAsioDevice::DeleteDriverList();
        CAppConfig::SetRewireDeviceMode(false);
        m_config.emplace();
        CAppConfig::SetDriverType(CTransport::kDriverAsio);
        CAppConfig::SetAsioOutput("");
        CAppConfig::SetAsioInput("");
        CAppConfig::SetSampleRate(songplay::kRate);
        CAppConfig::SetBitDepth(24);
        CAppConfig::Set24BitMode(1);
        CAppConfig::SetBufferMsec(5);
    }
    void TearDown() override
    {
        if (m_server == nullptr)
            return;
        if (transport)
            transport->SetDocument(nullptr);
        SetSongDocument(nullptr);
        if (doc != nullptr)
            CMidiDoc::DestroyMidiDoc(doc);
        if (transport)
            transport->Shutdown();
        transport.reset();
        CJackAsioDriver::Unregister();
        m_config.reset();
        CUndoHistory::Instance().Clear();
        CFilterWrap::ClearFailedPlugIns();
        CoFreeUnusedLibraries();
    }

    LONGLONG TickToSample(LONG tick) const { return doc->GetTempoMap()->TicksToTime(tick, songplay::kRate, FALSE); }

    const char* m_server = nullptr;
    mvtest::TempRegistry m_registry;
    mvtest::AlsaTestConfig m_alsa;
    mvtest::ScopedEnv m_clientName{"MORVANE_JACK_CLIENT", mvtest::DriverClientName().c_str()};
    std::shared_ptr<CScriptedAnswerer> m_prompts = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope m_promptScope{m_prompts};
    std::optional<CAppConfig> m_config;
    WatchedFactory factory;
    std::unique_ptr<CTransport> transport;
    CMidiDoc* doc = nullptr;
};

TEST_F(SongOverJackRtTest, FourSineChannelsPlayTheirNotesIntoJackInTimeAtTheirLevelsWithoutHeapOrWaits)
{
    mvtest::JackProbe recorder(m_server, 2, 0);
    ASSERT_TRUE(recorder.IsOpen());
    ASSERT_EQ(songplay::kRate, static_cast<int>(jack_get_sample_rate(recorder.Client())));
    const int period = static_cast<int>(jack_get_buffer_size(recorder.Client()));

    // The whole engine owner, as the program starts it.
    transport = std::make_unique<CTransport>(&factory);
    ASSERT_EQ(S_OK, transport->Init(FALSE));
    factory.engine.transport = transport.get();
    factory.engine.recorder = &recorder;
    ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(transport.get(), &doc));
    SetSongDocument(doc);
    ASSERT_NO_FATAL_FAILURE(songplay::AddSineSong(doc));
    // The device opens on JACK and the graph is built for it.
    ASSERT_EQ(S_OK, transport->ApplyAudioReset());
    ASSERT_TRUE(transport->IsDeviceRunning());
    ASSERT_EQ(period, transport->GetFilterGraph()->GetBlockFrames());
    ASSERT_TRUE(recorder.Connect(mvtest::DriverPort("Out 1"), recorder.InputName(0)));
    ASSERT_TRUE(recorder.Connect(mvtest::DriverPort("Out 2"), recorder.InputName(1)));
    ASSERT_TRUE(mvtest::WaitFor([&] { return factory.engine.buffers.load() > 8; }));

    recorder.StartRecording();
    ASSERT_EQ(S_OK, transport->Locate(0));
    std::this_thread::sleep_for(100ms);
    mvrt::ResetCounts();
    factory.engine.armed = true;
    ASSERT_EQ(S_OK, transport->Play());
    ASSERT_TRUE(mvtest::WaitFor([&] { return factory.engine.songStart.load() >= 0; }));
    const LONGLONG songEnd = TickToSample(kNotes[kChannels - 1].tick + 960) + 8 * period;
    const LONGLONG start = factory.engine.songStart.load();
    ASSERT_TRUE(mvtest::WaitFor([&] { return static_cast<LONGLONG>(recorder.Frames()) > start + songEnd; },
                                std::chrono::milliseconds(20000)));
    factory.engine.watchDone = true;
    const mvrt::Counts counts = mvrt::ReadCounts();
    recorder.StopRecording();
    EXPECT_EQ(S_OK, transport->Stop());
    const std::vector<float> left = recorder.Recorded(0);
    const std::vector<float> right = recorder.Recorded(1);

    // The audio thread's work, whatever the server's clock did.
    EXPECT_GT(factory.engine.watchedBuffers.load(), 100);
    EXPECT_EQ(0, counts.allocations) << "allocations on the audio thread";
    EXPECT_EQ(0, counts.releases) << "releases on the audio thread";
    EXPECT_EQ(0, counts.blockingLocks) << "waits on the audio thread";

    // Lost cycles would shift what follows them: the timing holds only for
    // a run the server kept up with.
    if (recorder.Xruns() > 0)
        GTEST_SKIP() << recorder.Xruns() << " cycles lost on a busy machine";

    // The analysis of the song tests takes interleaved stereo from song
    // sample 0.
    std::vector<float> song;
    for (std::size_t i = static_cast<std::size_t>(start); i < left.size(); ++i) {
        song.push_back(left[i]);
        song.push_back(right[i]);
    }
    ASSERT_GE(static_cast<LONGLONG>(song.size() / 2), songEnd);
    float early = 0.0f;
    for (LONGLONG f = 0; f < TickToSample(kNotes[0].tick) - period; ++f)
        early = std::max(early, std::fabs(song[static_cast<std::size_t>(2 * f)]));
    EXPECT_LT(early, 1e-6f) << "silence before the first note";

    for (const songplay::PlayedNote& n : kNotes) {
        SCOPED_TRACE("note at tick " + std::to_string(n.tick));
        const LONGLONG due = TickToSample(n.tick);
        const double level = songplay::Level(song, due + 2 * period, n.key, 16 * period);
        EXPECT_NEAR(n.velocity / 127.0, level, 0.02) << "the instrument plays velocity / 127 at unity faders";
        const double steady = songplay::Level(song, due + 2 * period, n.key, period);
        ASSERT_GT(steady, 0.02);
        LONGLONG heard = -1;
        for (LONGLONG f = std::max<LONGLONG>(0, due - 4 * period); f + period <= due + 4 * period; f += period / 4)
            if (songplay::Level(song, f, n.key, period) >= 0.5 * steady) {
                heard = f + period / 2;
                break;
            }
        ASSERT_GE(heard, 0);
        EXPECT_LE(std::llabs(heard - due), period) << "heard about " << heard << ", due at " << due;
    }

}

}  // namespace
