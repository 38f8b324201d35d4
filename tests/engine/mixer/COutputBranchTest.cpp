#include "engine/mixer/COutputBranch.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../graph/AudioGraphFixture.h"
#include "MixerFakes.h"
#include "engine/graph/CStereoSumMixer.h"
#include "model/CUndoHistory.h"
#include "platform/media/IBufferMatcher.h"
#include "platform/media/MediaParams.h"

namespace {

using namespace mixertest;

std::string Edge(const std::string& a, int o, const std::string& b, int i)
{
    return a + ":" + std::to_string(o) + " -> " + b + ":" + std::to_string(i);
}

// A branch of channel 7 between the test's source (as the synth output) and
// a master mixer that feeds the renderer; four recording sinks stand for
// the aux buses' mixers.
struct OutputBranchTest : mvtest::AudioGraphFixture {
    void SetUp() override
    {
        AudioGraphFixture::SetUp();
        source->SetEnabled(TRUE);
        CUndoHistory::Instance().Clear();
        doc = std::make_unique<FakeMixerDoc>(graph);
        CStereoSumMixer* m = nullptr;
        ASSERT_EQ(S_OK, CStereoSumMixer::Create(graph, nullptr, "MainSumMixer", &m));
        mixer = Keep(m, u"MainMix");
        for (int i = 0; i < 4; ++i) {
            const std::u16string name = u"AuxMix" + std::u16string(1, static_cast<char16_t>(u'0' + i));
            aux[i] = KeepNew(new mvtest::RecordingSink(graph), name.c_str());
            doc->auxIn[i] = aux[i]->Pin();
        }
        ASSERT_EQ(S_OK, CreateOutputBranch(doc.get(), doc.get(), &branch));
        ASSERT_NE(nullptr, branch);
    }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        graph->Stop();
        if (branch) {
            branch->RemoveFromGraph();
            doc->FlushKept();
            DestroyOutputBranch(branch);
        }
        AudioGraphFixture::TearDown();
        doc.reset();
    }

    // The document's rebuild: retired filters out, then the branch's dirty
    // sections removed, added and connected, the synth output first.
    HRESULT Rebuild()
    {
        graph->Stop();
        doc->FlushKept();
        doc->mainIn = mixer->GetFreeInputPin();
        HRESULT hr;
        if (FAILED(hr = branch->RemoveDirtySections()) || FAILED(hr = branch->AddDirtySections()))
            return hr;
        IPin* peer = nullptr;
        IPin* srcOut = CDxFilterGraph::FindOutputPin(source, 0);
        if (srcOut->ConnectedTo(&peer) == S_OK)
            peer->Release();
        else if (FAILED(hr = graph->ConnectToPin(source, 0, branch->GetInputPin(), nullptr)))
            return hr;
        if (FAILED(hr = branch->Connect()))
            return hr;
        IPin* mixOut = CDxFilterGraph::FindOutputPin(mixer, 0);
        if (mixOut->ConnectedTo(&peer) == S_OK)
            peer->Release();
        else if (FAILED(hr = graph->Connect(mixer, 0, renderer, 0, nullptr)))
            return hr;
        if (FAILED(hr = graph->Run()))
            return hr;
        IBufferMatcher* matcher = branch->GetChain().GetBufMatcher();
        matcher->Reset();
        matcher->SetSegmentSize(blockFrames * 8);
        matcher->SetBlockSize(blockFrames * 8);
        return S_OK;
    }
    std::vector<float> Play(const std::vector<float>& block)
    {
        renderer->ReleaseSample();
        for (auto* sink : aux)
            sink->blocks.clear();
        EXPECT_EQ(S_OK, source->PushBuffer(0, block.data(), blockFrames, TRUE));
        std::vector<float> out = Rendered();
        renderer->ReleaseSample();
        return out;
    }
    void SetParam(IBaseFilter* filter, DWORD index, float value)
    {
        IMediaParams* params = nullptr;
        ASSERT_EQ(S_OK, filter->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)));
        EXPECT_EQ(S_OK, params->SetParam(index, value));
        params->Release();
    }

    std::unique_ptr<FakeMixerDoc> doc;
    CStereoSumMixer* mixer = nullptr;
    mvtest::RecordingSink* aux[4] = {};
    COutputBranch* branch = nullptr;
};

TEST_F(OutputBranchTest, ReachesTheMasterThroughChainVolPanAndTee)
{
    ASSERT_EQ(S_OK, branch->AddToGraph());
    EXPECT_EQ(E_UNEXPECTED, branch->Build());
    doc->nextGain = 0.5f;
    ASSERT_EQ(S_OK, branch->GetChain().InsertFxByClsid(0, kFxClass, "Half"));
    ASSERT_EQ(S_OK, Rebuild());
    const Topology t = Describe(graph);
    for (const char* name : {"Chan7 VolPan", "Chan7 AuxTee", "Chan7 AuxSnd0", "Chan7 AuxSnd1", "Chan7 AuxSnd2",
                             "Chan7 AuxSnd3", "Container7 MSMain", "Container7 Fx0", "Container7 MSFinal"})
        EXPECT_TRUE(t.filters.count(name)) << name;
    EXPECT_TRUE(t.edges.count(Edge("src", 0, "Container7 MSMain", 0)));
    EXPECT_TRUE(t.edges.count(Edge("Container7 MSFinal", 0, "Chan7 VolPan", 0)));
    EXPECT_TRUE(t.edges.count(Edge("Chan7 VolPan", 0, "Chan7 AuxTee", 0)));
    EXPECT_TRUE(t.edges.count(Edge("Chan7 AuxTee", 0, "MainMix", 0)));
    // No send is enabled: nothing leaves tee outputs 1-4.
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(t.edges.count(Edge("Chan7 AuxTee", i + 1, "Chan7 AuxSnd" + std::to_string(i), 0)));
        EXPECT_FALSE(t.edges.count(Edge("Chan7 AuxSnd" + std::to_string(i), 0, "AuxMix" + std::to_string(i), 0)));
    }
    EXPECT_FALSE(branch->IsChainDirty() || branch->IsVolPanDirty() || branch->IsAuxDirty());

    // At the neutral settings the branch passes the effect's output as it is.
    const std::vector<float> block = Constant(blockFrames, 0.5f, 0.25f);
    EXPECT_EQ(Constant(blockFrames, 0.25f, 0.125f), Play(block));
}

TEST_F(OutputBranchTest, PanBalancesAStereoOutput)
{
    ASSERT_EQ(S_OK, branch->AddToGraph());
    // Balance right by half: the left channel is halved, the right untouched.
    SetParam(branch->GetVolPan(), 4, 0.5f);
    ASSERT_EQ(S_OK, Rebuild());
    EXPECT_EQ(Constant(blockFrames, 0.25f, 0.25f), Play(Constant(blockFrames, 0.5f, 0.25f)));
}

TEST_F(OutputBranchTest, AnEnabledSendFeedsItsAuxBusOnly)
{
    ASSERT_EQ(S_OK, branch->AddToGraph());
    ASSERT_EQ(S_OK, Rebuild());
    ASSERT_EQ(S_OK, branch->SetAuxSendEnabled(2, TRUE));
    EXPECT_EQ(std::vector<int>{2}, doc->auxRefreshes);
    EXPECT_TRUE(branch->IsAuxDirty());
    EXPECT_FALSE(branch->IsChainDirty());
    EXPECT_FALSE(branch->IsVolPanDirty());
    EXPECT_EQ(1, branch->RefreshAuxSend(1));
    ASSERT_EQ(S_OK, Rebuild());

    const Topology t = Describe(graph);
    EXPECT_TRUE(t.edges.count(Edge("Chan7 AuxTee", 3, "Chan7 AuxSnd2", 0)));
    EXPECT_TRUE(t.edges.count(Edge("Chan7 AuxSnd2", 0, "AuxMix2", 0)));
    EXPECT_TRUE(t.edges.count(Edge("Chan7 AuxTee", 0, "MainMix", 0)));
    EXPECT_FALSE(t.edges.count(Edge("Chan7 AuxTee", 2, "Chan7 AuxSnd1", 0)));

    // The master and the send both hear the block; the send's own gain-pan
    // is at its neutral settings.
    const std::vector<float> block = Constant(blockFrames, 0.5f, 0.25f);
    EXPECT_EQ(block, Play(block));
    ASSERT_EQ(1u, aux[2]->blocks.size());
    EXPECT_EQ(block, aux[2]->Last().data);
    EXPECT_TRUE(aux[1]->blocks.empty());

    // Muting the send silences that bus, not the master.
    SetParam(branch->GetAuxSend(2), 5, 1.0f);
    Play(block);
    EXPECT_EQ(block, Play(block));
    ASSERT_EQ(1u, aux[2]->blocks.size());
    for (float v : aux[2]->Last().data)
        ASSERT_EQ(0.0f, v);
}

TEST_F(OutputBranchTest, ReleasingAndRebuildingKeepsTheSendsAndTheEffects)
{
    ASSERT_EQ(S_OK, branch->AddToGraph());
    ASSERT_EQ(S_OK, branch->GetChain().InsertFxByClsid(0, kFxClass, "Keep"));
    ASSERT_EQ(S_OK, branch->SetAuxSendEnabled(0, TRUE));
    ASSERT_EQ(S_OK, Rebuild());
    ASSERT_EQ(S_OK, branch->RemoveFromGraph());
    EXPECT_FALSE(branch->IsBuilt());
    EXPECT_EQ(nullptr, branch->GetVolPan());
    EXPECT_EQ(nullptr, branch->GetChain().GetFxPlugIn(0));
    EXPECT_TRUE(branch->GetAuxSendEnabled(0));
    // Released, the branch has no sections to rebuild.
    EXPECT_EQ(E_UNEXPECTED, branch->RemoveDirtySections());
    EXPECT_EQ(E_UNEXPECTED, branch->Connect());

    ASSERT_EQ(S_OK, branch->AddToGraph());
    EXPECT_NE(nullptr, branch->GetChain().GetFxPlugIn(0));
    ASSERT_EQ(S_OK, Rebuild());
    const Topology t = Describe(graph);
    EXPECT_TRUE(t.edges.count(Edge("Chan7 AuxSnd0", 0, "AuxMix0", 0)));
    EXPECT_TRUE(t.edges.count(Edge("Container7 Fx0", 0, "Container7 MSLastFx", 0)));
    EXPECT_EQ(1u, t.filters.count("Chan7 VolPan"));
    const std::vector<float> block = Constant(blockFrames, 0.5f, 0.25f);
    EXPECT_EQ(block, Play(block));
}

TEST_F(OutputBranchTest, AMissingBusInputFailsTheRebuild)
{
    ASSERT_EQ(S_OK, branch->AddToGraph());
    ASSERT_EQ(S_OK, branch->SetAuxSendEnabled(3, TRUE));
    doc->auxIn[3] = nullptr;
    EXPECT_EQ(E_FAIL, Rebuild());
    COutputBranch* none = nullptr;
    EXPECT_EQ(S_OK, CreateOutputBranch(nullptr, doc.get(), &none));
    EXPECT_EQ(nullptr, none);
}

}  // namespace
