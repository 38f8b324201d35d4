#include "engine/mixer/CAuxBus.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../graph/AudioGraphFixture.h"
#include "BusFakes.h"
#include "engine/graph/CStereoSumMixer.h"
#include "model/CPattern.h"
#include "model/CUndoHistory.h"
#include "platform/com/ComStream.h"
#include "platform/media/IBufferMatcher.h"
#include "tests/model/PatternTestSupport.h"

namespace {

using namespace bustest;

// Aux bus 3 of a song whose document and master mixer are the test's; two
// push sources stand for the channel sends feeding it.
struct AuxBusTest : mvtest::AudioGraphFixture {
    void SetUp() override
    {
        AudioGraphFixture::SetUp();
        source->SetEnabled(TRUE);
        CUndoHistory::Instance().Clear();
        SetSongDocument(&song);
        doc = std::make_unique<BusDoc>(graph);
        doc->timeConverter = doc->converter;
        doc->used.insert(3);
        CStereoSumMixer* m = nullptr;
        ASSERT_EQ(S_OK, CStereoSumMixer::Create(graph, nullptr, "MainSumMixer", &m));
        master = Keep(m, u"MainMix");
        bus = CAuxBus::Create(doc.get(), 3);
        ASSERT_NE(nullptr, bus);
    }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        graph->Stop();
        for (CAuxBus** b : {&bus, &other}) {
            if (*b) {
                (*b)->ReleaseFilters();
                doc->mixer.FlushKept();
                CAuxBus::Destroy(*b);
            }
        }
        SetSongDocument(nullptr);
        AudioGraphFixture::TearDown();
        doc.reset();
    }

    // The document's rebuild: retired filters out, the bus removed, added
    // and connected, its senders into its mixer and the master to the
    // renderer.
    HRESULT Rebuild(std::vector<CDxSource*> senders)
    {
        graph->Stop();
        doc->mixer.FlushKept();
        doc->mixer.mainIn = master->GetFreeInputPin();
        HRESULT hr;
        if (FAILED(hr = bus->RemoveFromGraph()) || FAILED(hr = bus->AddToGraph()))
            return hr;
        for (CDxSource* s : senders) {
            IPin* peer = nullptr;
            if (CDxFilterGraph::FindOutputPin(s, 0)->ConnectedTo(&peer) == S_OK)
                peer->Release();
            else if (FAILED(hr = graph->ConnectToPin(s, 0, bus->GetFreeMixerInput(), nullptr)))
                return hr;
        }
        if (FAILED(hr = bus->ConnectInGraph()))
            return hr;
        IPin* peer = nullptr;
        if (CDxFilterGraph::FindOutputPin(master, 0)->ConnectedTo(&peer) == S_OK)
            peer->Release();
        else if (FAILED(hr = graph->Connect(master, 0, renderer, 0, nullptr)))
            return hr;
        if (FAILED(hr = graph->Run()))
            return hr;
        IBufferMatcher* matcher = bus->GetChain().GetBufMatcher();
        matcher->Reset();
        matcher->SetSegmentSize(blockFrames * 8);
        matcher->SetBlockSize(blockFrames * 8);
        return S_OK;
    }
    std::vector<float> Play(const std::vector<std::pair<CDxSource*, std::vector<float>>>& blocks)
    {
        renderer->ReleaseSample();
        for (const auto& [s, block] : blocks)
            EXPECT_TRUE(SUCCEEDED(s->PushBuffer(0, block.data(), blockFrames, TRUE)));
        std::vector<float> out = Rendered();
        renderer->ReleaseSample();
        return out;
    }
    DWORD BusId(DWORD local)
    {
        DWORD id = 0;
        EXPECT_EQ(S_OK, bus->GetGroupParamIndex(bus->GetBusGroupKey(), local, &id));
        return id;
    }
    void AddEvent(const CMfxEvent& e)
    {
        CPattern* p = bus->GetAutomationPattern();
        ASSERT_EQ(S_OK, p->Insert(p->GetSize(), e));
    }
    float Value(DWORD id)
    {
        float v = -1.0f;
        EXPECT_EQ(S_OK, bus->GetParamValue(id, &v));
        return v;
    }

    pattest::FakeSongDocument song;
    std::unique_ptr<BusDoc> doc;
    CStereoSumMixer* master = nullptr;
    CAuxBus* bus = nullptr;
    CAuxBus* other = nullptr;
};

TEST_F(AuxBusTest, SumsItsSendsThroughItsChainAndGainPanIntoTheMaster)
{
    doc->mixer.nextGain = 0.5f;
    ASSERT_EQ(S_OK, bus->GetChain().InsertFxByClsid(0, kFxClass, "Half"));
    CDxSource* second = MakeSource(2);
    ASSERT_EQ(S_OK, Rebuild({source, second}));
    EXPECT_TRUE(InGraph(graph, u"AuxSumMixer3"));
    EXPECT_TRUE(InGraph(graph, u"AuxBusGainPan3"));
    EXPECT_TRUE(bus->HasConnectedInputs());

    // (0.5 + 0.25, 0.25 + 0.25) halved by the effect; neutral gain-pan.
    const std::vector<std::pair<CDxSource*, std::vector<float>>> blocks = {
        {source, Constant(blockFrames, 0.5f, 0.25f)}, {second, Constant(blockFrames, 0.25f, 0.25f)}};
    EXPECT_EQ(Constant(blockFrames, 0.375f, 0.25f), Play(blocks));

    // Mute silences the bus and tells the document.
    EXPECT_FALSE(bus->IsMuted());
    ASSERT_EQ(S_OK, bus->SetMute(TRUE));
    EXPECT_TRUE(bus->IsMuted());
    EXPECT_GT(doc->muteInvalidations, 0);
    // The gain glides to silence over one block, then stays there.
    const auto glide = Play(blocks);
    EXPECT_GT(glide.front(), glide.back());
    EXPECT_EQ(Constant(blockFrames, 0.0f, 0.0f), Play(blocks));
}

TEST_F(AuxBusTest, AnUnusedBusStaysOutOfTheGraph)
{
    doc->used.clear();
    graph->Stop();
    EXPECT_EQ(S_OK, bus->RemoveFromGraph());
    EXPECT_EQ(CAuxBus::kUnused, bus->AddToGraph());
    EXPECT_EQ(CAuxBus::kUnused, bus->ConnectInGraph());
    EXPECT_FALSE(InGraph(graph, u"AuxSumMixer3"));
    EXPECT_FALSE(InGraph(graph, u"AuxBusGainPan3"));
    EXPECT_FALSE(bus->HasConnectedInputs());

    // Released, the bus has no sections; built again it is whole.
    ASSERT_EQ(S_OK, bus->ReleaseFilters());
    EXPECT_EQ(E_UNEXPECTED, bus->RemoveFromGraph());
    EXPECT_EQ(nullptr, bus->GetGainPan());
    doc->used.insert(3);
    ASSERT_EQ(S_OK, bus->Build());
    ASSERT_EQ(S_OK, Rebuild({source}));
    EXPECT_EQ(Constant(blockFrames, 0.5f, 0.25f), Play({{source, Constant(blockFrames, 0.5f, 0.25f)}}));
}

TEST_F(AuxBusTest, BuildNeedsTheRenderer)
{
    doc->hasRenderer = false;
    EXPECT_EQ(nullptr, CAuxBus::Create(doc.get(), 4));
}

TEST_F(AuxBusTest, ValuesReadAsTheMixerShowsThem)
{
    struct Case {
        DWORD local;
        float value;
        const char* text;
    } cases[] = {
        {5, 0.5f, "On"},  {5, 0.49f, "Off"}, {0, 1.0f, "On"},    {0, 0.0f, "Off"},
        {3, 1.0f, "90\u00BA"}, {6, 0.25f, "Off"}, {1, 0.0f, "-INF"},
    };
    for (const Case& c : cases) {
        CString text;
        ASSERT_EQ(S_OK, bus->FormatValue(BusId(c.local), c.value, &text)) << c.local;
        EXPECT_EQ(std::string(c.text), text.GetString()) << c.local << " " << c.value;
    }
    CString text;
    ASSERT_EQ(S_OK, bus->FormatValue(BusId(1), 101.0f / 127.0f, &text));
    EXPECT_NE(std::string::npos, std::string(text.GetString()).find("dB"));
    EXPECT_EQ(E_INVALIDARG, bus->FormatValue(0xFFFF, 0.5f, &text));

    // Invert, Width and Solo Mute stay out of automation.
    for (DWORD local = 0; local < 8; ++local) {
        DWORD automatable = 9;
        ASSERT_EQ(S_OK, bus->IsParamAutomatable(BusId(local), &automatable));
        EXPECT_EQ(local == 0 || local == 2 || local == 7 ? 0u : 1u, automatable) << local;
    }
    CString group;
    ASSERT_EQ(S_OK, bus->GetGroupName(&group, bus->GetBusGroupKey()));
    EXPECT_STREQ("Aux 4", group.GetString());
}

TEST_F(AuxBusTest, AutomationRendersWhileTheSwitchIsOn)
{
    const DWORD volume = BusId(1);
    EXPECT_EQ(S_FALSE, bus->RenderAutomation(0, 960));
    AddEvent(pattest::Automation(0, volume, 0.25f));
    AddEvent(pattest::Automation(480, volume, 0.75f));
    const float before = Value(volume);

    doc->automationOn = FALSE;
    EXPECT_EQ(S_FALSE, bus->RenderAutomation(0, 960));
    EXPECT_EQ(before, Value(volume));

    doc->automationOn = TRUE;
    EXPECT_EQ(S_OK, bus->Locate(0));
    EXPECT_EQ(S_OK, bus->RenderAutomation(0, 960));
    EXPECT_FLOAT_EQ(0.75f, Value(volume));
    EXPECT_EQ(0u, bus->GetDroppedEvents());

    // A span that holds more than the buffer plays what fits and counts it;
    // so does a filter whose envelope is full.
    for (LONG t = 0; t < 100; ++t)
        AddEvent(pattest::Automation(1000 + t, volume, 0.5f));
    EXPECT_EQ(S_OK, bus->Locate(1000));
    EXPECT_EQ(S_OK, bus->RenderAutomation(1000, 1200));
    EXPECT_EQ(2u, bus->GetDroppedEvents());
    EXPECT_FLOAT_EQ(0.5f, Value(volume));

    // Only automation belongs in a bus's pattern.
    AddEvent(pattest::Controller(5000, 7, 100));
    EXPECT_EQ(S_OK, bus->Locate(5000));
    EXPECT_EQ(E_UNEXPECTED, bus->RenderAutomation(5000, 5100));
}

TEST_F(AuxBusTest, StartChasesTheAutomationAndStartsTheEffects)
{
    const DWORD pan = BusId(4);
    AddEvent(pattest::Automation(0, pan, 0.2f));
    AddEvent(pattest::Automation(960, pan, 0.6f));
    AddEvent(pattest::Automation(2000, pan, 0.9f));
    ASSERT_EQ(S_OK, bus->GetChain().InsertFxByClsid(0, kFxClass, "Echo"));
    static_cast<FakeFx*>(bus->GetChain().GetAt(0))->softSynth = true;
    ASSERT_EQ(S_OK, bus->OnStart(1000));
    EXPECT_FLOAT_EQ(0.6f, Value(pan));
    ASSERT_EQ(S_OK, bus->OnLoop(0, 3840));
    ASSERT_EQ(S_OK, bus->OnStop(3840));
    EXPECT_EQ((std::vector<std::string>{"Echo start 1000", "Echo loop 0 3840", "Echo stop 3840"}),
              doc->mixer.log.transport);
}

TEST_F(AuxBusTest, ATouchFilesOneUndoStepAndReachesTheRecorder)
{
    const DWORD volume = BusId(1);
    ASSERT_EQ(S_OK, bus->BeginTouch(volume, 1));
    ASSERT_EQ(S_OK, bus->SetParamValueFromUser(volume, 0.4));
    ASSERT_EQ(S_OK, bus->EndTouch(volume, 1));
    const std::string id = std::to_string(volume);
    EXPECT_EQ((std::vector<std::string>{"begin " + id + " 3", "record " + id + " 3",
                                        "aux 3 " + id + " " + std::to_string(0.4f), "end " + id + " 3"}),
              doc->log);
}

TEST_F(AuxBusTest, SavedChunksLoadIntoANewBus)
{
    const DWORD pan = BusId(4);
    ASSERT_EQ(S_OK, bus->SetParamValue(pan, 0.25f));
    ASSERT_EQ(S_OK, bus->GetChain().InsertFxByClsid(0, kFxClass, "Keep"));
    AddEvent(pattest::Automation(480, pan, 0.8f));

    mvcom::CComPtr<IStream> stream;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
    ASSERT_EQ(S_OK, static_cast<IPersistStreamInit*>(bus)->Save(stream.Get(), FALSE));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);

    other = CAuxBus::Create(doc.get(), 5);
    ASSERT_NE(nullptr, other);
    ASSERT_EQ(S_OK, static_cast<IPersistStreamInit*>(other)->Load(stream.Get()));
    DWORD otherPan = 0;
    ASSERT_EQ(S_OK, other->GetGroupParamIndex(other->GetBusGroupKey(), 4, &otherPan));
    float value = 0.0f;
    ASSERT_EQ(S_OK, other->GetParamValue(otherPan, &value));
    EXPECT_FLOAT_EQ(0.25f, value);
    // The filter took the loaded state: pan -0.5 of -1..1.
    mvcom::CComPtr<IMediaParams> params;
    ASSERT_EQ(S_OK, other->GetGainPan()->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(params.Put())));
    float native = 0.0f;
    ASSERT_EQ(S_OK, params->GetParam(4, &native));
    EXPECT_FLOAT_EQ(-0.5f, native);
    ASSERT_EQ(1, other->GetChain().GetCount());
    EXPECT_STREQ("Keep", other->GetChain().GetFxName(0).GetString());
    ASSERT_EQ(1, other->GetAutomationPattern()->GetSize());
    EXPECT_EQ(480, other->GetAutomationPattern()->GetEvents()[0].m_time);
}

}  // namespace
