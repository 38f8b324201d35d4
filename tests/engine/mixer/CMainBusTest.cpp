#include "engine/mixer/CMainBus.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../graph/AudioGraphFixture.h"
#include "BusFakes.h"
#include "model/CUndoHistory.h"
#include "platform/com/ComStream.h"
#include "platform/media/IBufferMatcher.h"
#include "tests/model/PatternTestSupport.h"

namespace {

using namespace bustest;

// The master bus of a song whose document is the test's; the test's source
// stands for a channel output. The bus brings its own renderer.
struct MainBusTest : mvtest::AudioGraphFixture {
    void SetUp() override
    {
        AudioGraphFixture::SetUp();
        source->SetEnabled(TRUE);
        CUndoHistory::Instance().Clear();
        SetSongDocument(&song);
        doc = std::make_unique<BusDoc>(graph);
        doc->timeConverter = doc->converter;
        graph->RemoveFilter(renderer);
        renderer->Release();
        renderer = nullptr;
    }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        graph->Stop();
        for (CMainBus** b : {&bus, &other}) {
            if (*b) {
                (*b)->ReleaseGraphObjects();
                doc->mixer.FlushKept();
                CMainBus::Destroy(*b);
            }
        }
        SetSongDocument(nullptr);
        AudioGraphFixture::TearDown();
        doc.reset();
    }
    void Make()
    {
        bus = CMainBus::Create(doc.get(), 0);
        ASSERT_NE(nullptr, bus);
        renderer = bus->GetRenderer();
        renderer->AddRef();
    }
    HRESULT Rebuild()
    {
        graph->Stop();
        doc->mixer.FlushKept();
        HRESULT hr;
        if (FAILED(hr = bus->RemoveFromGraph()) || FAILED(hr = bus->AddToGraph()))
            return hr;
        IPin* peer = nullptr;
        if (CDxFilterGraph::FindOutputPin(source, 0)->ConnectedTo(&peer) == S_OK)
            peer->Release();
        else if (FAILED(hr = graph->ConnectToPin(source, 0, bus->AddMixerInput(), nullptr)))
            return hr;
        if (FAILED(hr = bus->ConnectGraph()) || FAILED(hr = graph->Run()))
            return hr;
        for (IBufferMatcher* m : {bus->GetChain().GetBufMatcher(), bus->GetBufMatcher()}) {
            m->Reset();
            m->SetSegmentSize(blockFrames * 8);
            m->SetBlockSize(blockFrames * 8);
        }
        return S_OK;
    }
    std::vector<float> Play(const std::vector<float>& block)
    {
        renderer->ReleaseSample();
        EXPECT_TRUE(SUCCEEDED(source->PushBuffer(0, block.data(), blockFrames, TRUE)));
        std::vector<float> out = Rendered();
        renderer->ReleaseSample();
        return out;
    }

    pattest::FakeSongDocument song;
    std::unique_ptr<BusDoc> doc;
    CMainBus* bus = nullptr;
    CMainBus* other = nullptr;
};

TEST_F(MainBusTest, SumsThroughTheClickSourceChainGainPanAndMatcherIntoTheRenderer)
{
    Make();
    doc->mixer.nextGain = 0.5f;
    ASSERT_EQ(S_OK, bus->GetChain().InsertFxByClsid(0, kFxClass, "Half"));
    ASSERT_EQ(S_OK, Rebuild());
    for (const char16_t* name : {u"MainSumMixer", u"Metronome", u"MainBusGainPan", u"MainBusBufMatcher", u"Render"})
        EXPECT_TRUE(InGraph(graph, name));
    CString name = bus->GetDisplayName();
    EXPECT_STREQ("Master Bus", name.GetString());

    // The metronome starts off: the mix passes, halved by the effect.
    const std::vector<float> block = Constant(blockFrames, 0.5f, 0.25f);
    EXPECT_EQ(Constant(blockFrames, 0.25f, 0.125f), Play(block));
    // Its clicks join the mix ahead of the chain.
    ASSERT_EQ(S_OK, bus->GetMetronome().SetEnabled(TRUE));
    EXPECT_EQ(Constant(blockFrames, 0.3125f, 0.1875f), Play(block));
}

TEST_F(MainBusTest, WithoutAClickSourceTheMixStillPlays)
{
    doc->playerResult = E_FAIL;
    Make();
    EXPECT_FALSE(bus->GetMetronome().HasPlayer());
    EXPECT_EQ(1u, doc->mixer.errors.size());
    ASSERT_EQ(S_OK, Rebuild());
    EXPECT_FALSE(InGraph(graph, u"Metronome"));
    const std::vector<float> block = Constant(blockFrames, 0.5f, 0.25f);
    EXPECT_EQ(block, Play(block));
    // Settings are kept for the project all the same.
    EXPECT_EQ(S_FALSE, bus->GetMetronome().SetToneDuration(120));
    EXPECT_EQ(120, bus->GetMetronome().GetToneDuration());
    EXPECT_EQ(S_OK, bus->OnStart(0));
    EXPECT_EQ(S_OK, bus->OnStop(0));
}

TEST_F(MainBusTest, MetronomeSettingsAreClampedAndSentToThePlayer)
{
    Make();
    // Creation sends every setting in order.
    EXPECT_EQ((std::vector<std::string>{"volume 0.500000", "first wave 1", "other wave 1", "first pitch 96",
                                        "first velocity 100", "other pitch 92", "other velocity 100", "tone 60",
                                        "First ", "Other "}),
              doc->log);
    CMetronome& m = bus->GetMetronome();
    struct Case {
        HRESULT (CMetronome::*set)(LONG);
        LONG (CMetronome::*get)() const;
        LONG in;
        LONG stored;
    } cases[] = {
        {&CMetronome::SetToneDuration, &CMetronome::GetToneDuration, 1, 1},
        {&CMetronome::SetToneDuration, &CMetronome::GetToneDuration, 0, 1},
        {&CMetronome::SetToneDuration, &CMetronome::GetToneDuration, 959, 959},
        {&CMetronome::SetToneDuration, &CMetronome::GetToneDuration, 5000, 959},
        {&CMetronome::SetFirstBeatPitch, &CMetronome::GetFirstBeatPitch, 0, 0},
        {&CMetronome::SetFirstBeatPitch, &CMetronome::GetFirstBeatPitch, -5, 0},
        {&CMetronome::SetFirstBeatPitch, &CMetronome::GetFirstBeatPitch, 200, 127},
        {&CMetronome::SetOtherBeatsVelocity, &CMetronome::GetOtherBeatsVelocity, 64, 64},
    };
    for (const Case& c : cases) {
        doc->log.clear();
        ASSERT_EQ(S_OK, (m.*c.set)(c.in));
        EXPECT_EQ(c.stored, (m.*c.get)()) << c.in;
        ASSERT_EQ(1u, doc->log.size());
        EXPECT_NE(std::string::npos, doc->log[0].find(" " + std::to_string(c.stored))) << doc->log[0];
    }
    m.SetVolume(3.0f);
    EXPECT_EQ(2.0f, m.GetVolume());
    m.SetVolume(-1.0f);
    EXPECT_EQ(0.0f, m.GetVolume());
}

TEST_F(MainBusTest, TransportReachesTheClickSourceAndTheEffects)
{
    Make();
    ASSERT_EQ(S_OK, bus->GetChain().InsertFxByClsid(0, kFxClass, "Delay"));
    static_cast<FakeFx*>(bus->GetChain().GetAt(0))->softSynth = true;
    doc->log.clear();
    ASSERT_EQ(S_OK, bus->OnStart(480));
    ASSERT_EQ(S_OK, bus->OnLoop(0, 1920));
    ASSERT_EQ(S_OK, bus->OnStop(1920));
    EXPECT_EQ((std::vector<std::string>{"start 480", "stop"}), doc->log);
    EXPECT_EQ((std::vector<std::string>{"Delay start 480", "Delay loop 0 1920", "Delay stop 1920"}),
              doc->mixer.log.transport);
}

TEST_F(MainBusTest, SavedChunksReloadTheMixAndResendTheWaves)
{
    Make();
    DWORD volume = 0;
    ASSERT_EQ(S_OK, bus->GetGroupParamIndex(bus->GetBusGroupKey(), 1, &volume));
    ASSERT_EQ(S_OK, bus->SetParamValue(volume, 0.5f));
    bus->GetMetronome().SetFirstBeatWave("/clicks/high.wav");
    bus->GetMetronome().SetOtherBeatsWave("/clicks/low.wav");
    bus->GetMetronome().SetVolume(1.5f);
    bus->GetMetronome().SetFirstBeatUsesWave(FALSE);
    ASSERT_EQ(S_OK, bus->GetChain().InsertFxByClsid(0, kFxClass, "Keep"));
    CPattern* automation = bus->GetAutomationPattern();
    ASSERT_EQ(S_OK, automation->Insert(0, pattest::Automation(960, volume, 0.1f)));

    mvcom::CComPtr<IStream> stream;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
    ASSERT_EQ(S_OK, static_cast<IPersistStreamInit*>(bus)->Save(stream.Get(), FALSE));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);

    other = CMainBus::Create(doc.get(), 0);
    ASSERT_NE(nullptr, other);
    doc->log.clear();
    ASSERT_EQ(S_OK, static_cast<IPersistStreamInit*>(other)->Load(stream.Get()));
    const CMetronome& m = other->GetMetronome();
    EXPECT_EQ(1.5f, m.GetVolume());
    EXPECT_FALSE(m.GetFirstBeatUsesWave());
    EXPECT_STREQ("/clicks/high.wav", m.GetFirstBeatWave().GetString());
    EXPECT_STREQ("/clicks/low.wav", m.GetOtherBeatsWave().GetString());
    ASSERT_GE(doc->log.size(), 2u);
    EXPECT_EQ("First /clicks/high.wav", doc->log[doc->log.size() - 2]);
    EXPECT_EQ("Other /clicks/low.wav", doc->log.back());
    float value = 0.0f;
    ASSERT_EQ(S_OK, other->GetParamValue(volume, &value));
    EXPECT_FLOAT_EQ(0.5f, value);
    EXPECT_EQ(1, other->GetChain().GetCount());
    ASSERT_EQ(1, other->GetAutomationPattern()->GetSize());
}

}  // namespace
