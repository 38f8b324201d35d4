// The engine owner's per-buffer entry, watched: whatever it renders, and
// whatever lock it meets taken, the audio thread neither touches the heap
// nor waits for a lock.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstdlib>
#include <functional>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "devices/CAppConfig.h"
#include "engine/graph/CMergeSwitch.h"
#include "platform/media/CBufferMatcherFilter.h"
#include "platform/media/CFloatAudioFilter.h"
#include "platform/media/CGainPanFilter.h"
#include "platform/media/IGainPan.h"
#include "platform/media/MediaParams.h"
#include "tests/engine/TransportFakes.h"
#include "tests/rt/RtProbe.h"
#include "tests/engine/BuiltSongDocument.h"
#include "tests/engine/GraphBuilder.h"

namespace {

constexpr int kFrames = 256;
constexpr short kInput = 64;

// Kept where the compiler cannot drop an allocation that is freed at once.
int* volatile g_kept = nullptr;
void* volatile g_keptBytes = nullptr;

TEST(RtProbe, CountsHeapAndWaitingLocksOnTheThreadsItWatches)
{
    std::mutex lock;
    mvrt::ResetCounts();
    g_kept = new int(1);
    delete g_kept;
    lock.lock();
    lock.unlock();
    EXPECT_EQ(0, mvrt::ReadCounts().allocations) << "an unwatched thread is not counted";
    {
        mvrt::WatchedScope watched;
        g_kept = new int(1);
        delete g_kept;
        g_keptBytes = std::malloc(8);
        std::free(g_keptBytes);
        lock.lock();
        lock.unlock();
        ASSERT_TRUE(lock.try_lock());
        lock.unlock();
    }
    const mvrt::Counts c = mvrt::ReadCounts();
    EXPECT_EQ(2, c.allocations);
    EXPECT_EQ(2, c.releases);
    EXPECT_EQ(1, c.blockingLocks) << "a try-lock is not a wait";

    // Every thread, for a stretch: one the test did not mark is counted.
    std::atomic<int> step{0};
    std::thread other([&] {
        while (step.load() == 0)
            std::this_thread::yield();
        g_kept = new int(2);
        delete g_kept;
        step = 2;
    });
    mvrt::ResetCounts();
    mvrt::WatchEveryThread(true);
    step = 1;
    while (step.load() != 2)
        std::this_thread::yield();
    mvrt::WatchEveryThread(false);
    other.join();
    EXPECT_EQ(1, mvrt::ReadCounts().allocations);
}

// A song with every filter kind the engine builds: per channel a push
// source, a null synth and a tee; the tee's first output through an effect
// switch (effect path tail-fed while bypassed), a volume gain-pan and the
// channel's buffer matcher into the master mixer, its second output through
// a send gain-pan into the aux bus (mixer, gain-pan, buffer matcher) and on
// into the master mixer; the master bus: mixer, metronome switch, gain-pan
// with a volume envelope, buffer matcher, buffer renderer.
class SongDocument : public mvtest::BuiltSongDocument {
public:
    using BuiltSongDocument::BuiltSongDocument;

    bool Build(CTransport& transport)
    {
        CDxFilterGraph* graph = transport.GetFilterGraph();
        mvtest::GraphBuilder g(graph);
        mvtest::GraphBuilder::Buses buses;
        bool ok = g.MakeBuses(transport.GetAudioRenderer(), buses, m_renderer);
        IBaseFilter* auxGain = g.Create(CLSID_GainPanFilter);
        IBaseFilter* auxMatcher = g.Matcher(&render.auxBuses);
        m_masterGain = g.Create(CLSID_GainPanFilter);
        std::vector<IBufferMatcher*> masterBus;
        IBaseFilter* masterMatcher = g.Matcher(&masterBus);
        m_envelope = g.Face<IMediaParams>(m_masterGain, IID_IMediaParams);
        ok = ok && auxGain && auxMatcher && masterMatcher && m_envelope;
        for (int c = 0; ok && c < m_channels; ++c) {
            mvtest::GraphBuilder::ChannelHead head;
            CMergeSwitch* front = nullptr;
            CMergeSwitch* end = nullptr;
            ok = g.MakeChannelHead(head) && g.Adopt(CMergeSwitch::Create(graph, 1, 2, &front), front) &&
                 g.Adopt(CMergeSwitch::Create(graph, 2, 1, &end), end);
            IBaseFilter* effect = g.Create(CLSID_GainPanFilter);
            IBaseFilter* volume = g.Create(CLSID_GainPanFilter);
            IBaseFilter* send = g.Create(CLSID_GainPanFilter);
            std::vector<IBufferMatcher*> outputs;
            IBaseFilter* matcher = g.Matcher(&outputs);
            ok = ok && effect && volume && send && matcher && g.Ok(graph->Connect(head.tee, 0, front, 0, nullptr)) &&
                 g.Ok(graph->Connect(front, 0, effect, 0, nullptr)) && g.Ok(graph->Connect(effect, 0, end, 0, nullptr)) &&
                 g.Ok(graph->Connect(front, 1, end, 1, nullptr)) && g.Ok(graph->Connect(end, 0, volume, 0, nullptr)) &&
                 g.Ok(graph->Connect(volume, 0, matcher, 0, nullptr)) &&
                 g.Ok(graph->ConnectToPin(matcher, 0, buses.master->GetFreeInputPin(), nullptr)) &&
                 g.Ok(graph->Connect(head.tee, 1, send, 0, nullptr)) &&
                 g.Ok(graph->ConnectToPin(send, 0, buses.aux->GetFreeInputPin(), nullptr));
            if (ok) {
                // The effect is bypassed and its tail still being fed.
                front->SetPartner(end);
                ok = g.Ok(front->SetSelectedOutput(1)) && g.Ok(front->SetSwitchTarget(0));
                head.source->SetEnabled(TRUE);
                render.sources.push_back(head.source);
                render.channelOutputs.push_back(outputs);
            }
        }
        ok = ok && g.Ok(graph->Connect(buses.aux, 0, auxGain, 0, nullptr)) &&
             g.Ok(graph->Connect(auxGain, 0, auxMatcher, 0, nullptr)) &&
             g.Ok(graph->ConnectToPin(auxMatcher, 0, buses.master->GetFreeInputPin(), nullptr)) &&
             g.Ok(graph->Connect(buses.master, 0, buses.metronome, 0, nullptr)) &&
             g.Ok(graph->Connect(buses.metronome, 0, m_masterGain, 0, nullptr)) &&
             g.Ok(graph->Connect(m_masterGain, 0, masterMatcher, 0, nullptr)) &&
             g.Ok(graph->Connect(masterMatcher, 0, m_renderer, 0, nullptr));
        render.auxConnected.assign(render.auxBuses.size(), true);
        render.masterBus = masterBus.empty() ? nullptr : masterBus.front();
        render.renderer = m_renderer;
        return ok;
    }

    // The master volume's automation, as the audio thread adds it.
    IMediaParams* MasterVolume() const { return m_envelope; }
    IBaseFilter* MasterGain() const { return m_masterGain; }

private:
    IBaseFilter* m_masterGain = nullptr;
    IMediaParams* m_envelope = nullptr;
};

// Holds a lock on a thread of its own until the scope ends, the way the UI
// thread holds one during an edit.
class HeldElsewhere {
public:
    HeldElsewhere(std::function<void()> take, std::function<void()> give)
    {
        m_thread = std::thread([this, take, give] {
            take();
            std::unique_lock<std::mutex> lock(m_mutex);
            m_held = true;
            m_changed.notify_all();
            m_changed.wait(lock, [this] { return m_done; });
            give();
        });
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [this] { return m_held; });
    }
    ~HeldElsewhere()
    {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    bool m_done = false;
    std::thread m_thread;
};

class ProcessBufferRtTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CAppConfig::SetRewireDeviceMode(false);
        m_config.emplace();
        CAppConfig::SetDriverType(CTransport::kDriverDirectSound);
        factory.directSoundScript.fixedBufferBytes = kFrames * 4;
        ASSERT_EQ(S_OK, transport.Init(FALSE));
        doc.UseGraph(transport.GetFilterGraph());
        ASSERT_EQ(S_OK, transport.SetDocument(&doc));
        ASSERT_EQ(S_OK, transport.ApplyAudioReset());
        ASSERT_TRUE(doc.Build(transport));
        ASSERT_EQ(kFrames, transport.GetFilterGraph()->GetBlockFrames());
    }
    void TearDown() override
    {
        transport.SetDocument(nullptr);
        m_config.reset();
    }

    // One buffer with the calling thread watched.
    HRESULT Buffer()
    {
        mvrt::WatchedScope watched;
        return transport.ProcessBuffer(out.data(), in.data(), static_cast<UINT>(out.size() * sizeof(short)), -1);
    }
    bool OutputIs(int level) const
    {
        for (short s : out)
            if (std::abs(s - level) > 2)
                return false;
        return true;
    }

    mvtest::FakeEngineFactory factory;
    CTransport transport{&factory};
    SongDocument doc{&factory.journal, 4};
    std::vector<short> in = std::vector<short>(kFrames * 2, kInput);
    std::vector<short> out = std::vector<short>(kFrames * 2);

private:
    std::optional<CAppConfig> m_config;
};

TEST_F(ProcessBufferRtTest, PlayingThroughEveryFilterKindAcrossLoopWrapsAndACountInNeitherAllocatesNorWaits)
{
    ASSERT_EQ(S_OK, transport.SetLoop(0, 3840, TRUE));
    transport.SetMetronomeOn(TRUE);
    transport.SetCountInOn(TRUE);
    transport.SetCountInBeats(1);
    factory.journal.SetEnabled(false);
    // With the song's tempo a wrap commits the recorder's touches; with a
    // live tempo set after the loop start it restarts the data renderer and
    // moves the device time instead.
    const struct {
        const char* name;
        LONG liveTempoTick;
    } passes[] = {{"song tempo", -1}, {"live tempo", 960}};
    for (const auto& pass : passes) {
        SCOPED_TRACE(pass.name);
        if (pass.liveTempoTick >= 0) {
            ASSERT_EQ(S_OK, doc.tempoMap.SetFixedTempo(pass.liveTempoTick, 12000));
        }
        ASSERT_EQ(S_OK, transport.Locate(0));
        ASSERT_EQ(S_OK, transport.Play());
        ASSERT_TRUE(transport.IsCountInActive());

        // The first buffer goes through every path at unity gain.
        ASSERT_EQ(S_OK, Buffer());
        EXPECT_TRUE(OutputIs(doc.Paths() * kInput)) << out[0];

        mvrt::ResetCounts();
        // 38400 samples of loop: the wrap falls inside a buffer three times.
        for (int b = 0; b < 500; ++b) {
            if (b % 50 == 0) {
                // The master volume's automation, added on the audio thread:
                // a ramp down to silence and back within the next buffers.
                const REFERENCE_TIME now = transport.GetAudioRenderer()->GetSamplePosition() * 10000000LL / 44100;
                MP_ENVELOPE_SEGMENT ramp[2] = {
                    {now, now + 50000, 101.0f / 127.0f, 0.0f, MP_CURVE_LINEAR, MPF_ENVLP_STANDARD},
                    {now + 50000, now + 100000, 0.0f, 101.0f / 127.0f, MP_CURVE_SINE, MPF_ENVLP_STANDARD}};
                HRESULT hr = E_FAIL;
                {
                    mvrt::WatchedScope watched;
                    hr = doc.MasterVolume()->AddEnvelope(CGainPanFilter::kVolume, 2, ramp);
                }
                ASSERT_EQ(S_OK, hr);
            }
            ASSERT_EQ(S_OK, Buffer()) << "buffer " << b;
        }
        EXPECT_FALSE(transport.IsCountInActive());
        EXPECT_GT(transport.GetAudioRenderer()->GetSamplePosition(), 0);
        const mvrt::Counts c = mvrt::ReadCounts();
        EXPECT_EQ(0, c.allocations);
        EXPECT_EQ(0, c.releases);
        EXPECT_EQ(0, c.blockingLocks);
        ASSERT_EQ(S_OK, transport.Stop());
    }
}

TEST_F(ProcessBufferRtTest, ALockHeldByAnotherThreadGivesSilenceWithoutWaiting)
{
    ASSERT_EQ(S_OK, transport.Play());
    factory.journal.SetEnabled(false);
    ASSERT_EQ(S_OK, Buffer());
    ASSERT_TRUE(OutputIs(doc.Paths() * kInput));

    CHeapCriticalSection& rendererLock = transport.GetAudioRenderer()->GetLock();
    auto* gain = dynamic_cast<CFloatAudioFilter*>(doc.MasterGain());
    ASSERT_NE(nullptr, gain);
    struct Case {
        const char* name;
        std::function<void()> take;
        std::function<void()> give;
    };
    const Case cases[] = {
        {"transport lock", [&] { transport.GetTransportLock().Lock(); }, [&] { transport.GetTransportLock().Unlock(); }},
        {"processing lock", [&] { transport.GetProcessingLock().Lock(); },
         [&] { transport.GetProcessingLock().Unlock(); }},
        {"renderer lock", [&] { rendererLock.Lock(); }, [&] { rendererLock.Unlock(); }},
        {"a filter's lock", [&] { gain->FilterLock()->Lock(); }, [&] { gain->FilterLock()->Unlock(); }},
    };
    for (const Case& k : cases) {
        {
            HeldElsewhere held(k.take, k.give);
            mvrt::ResetCounts();
            std::fill(out.begin(), out.end(), short(1234));
            ASSERT_EQ(S_OK, Buffer()) << k.name;
            EXPECT_TRUE(OutputIs(0)) << k.name << ": " << out[0];
            EXPECT_EQ(0, mvrt::ReadCounts().blockingLocks) << k.name;
            EXPECT_EQ(0, mvrt::ReadCounts().allocations) << k.name;
        }
        // Free again, the next buffer plays.
        for (int b = 0; b < 4; ++b)
            ASSERT_EQ(S_OK, Buffer()) << k.name;
        EXPECT_TRUE(OutputIs(doc.Paths() * kInput)) << k.name << ": " << out[0];
    }
}

}  // namespace
