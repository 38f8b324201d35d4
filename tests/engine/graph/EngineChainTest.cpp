#include <gtest/gtest.h>

#include "AudioGraphFixture.h"
#include "engine/graph/CMergeSwitch.h"
#include "engine/graph/CNullSynth.h"
#include "engine/graph/CSimpleTee.h"
#include "engine/graph/CStereoSumMixer.h"
#include "platform/com/ComRuntime.h"
#include "platform/media/CBufferMatcherFilter.h"
#include "platform/media/IGainPan.h"
#include "platform/media/MediaParams.h"

namespace {

// source -> null synth (2 outputs); synth 0 -> tee (2 outputs); tee 0 ->
// merge switch -> mixer 0; tee 1 -> mixer 1; synth 1 -> mixer 2. Every block
// of the source reaches the mixer three times.
struct ChainTest : mvtest::AudioGraphFixture {
    void BuildChain()
    {
        src = MakeSource(2);
        CNullSynth* s = nullptr;
        ASSERT_EQ(S_OK, CNullSynth::Create(graph, 2, &s));
        synth = Keep(s, u"Chan1 DXi");
        CSimpleTee* t = nullptr;
        ASSERT_EQ(S_OK, CSimpleTee::Create(graph, 2, &t));
        tee = Keep(t, u"Chan1 AuxTee");
        CMergeSwitch* w = nullptr;
        ASSERT_EQ(S_OK, CMergeSwitch::Create(graph, 1, 1, &w));
        merge = Keep(w, u"Container1 MSMain");
        CStereoSumMixer* m = nullptr;
        ASSERT_EQ(S_OK, CStereoSumMixer::Create(graph, nullptr, "MainSumMixer", &m));
        mixer = Keep(m, u"MainSumMixer");

        ASSERT_EQ(S_OK, graph->Connect(src, 0, synth, 0, nullptr));
        ASSERT_EQ(S_OK, graph->Connect(synth, 0, tee, 0, nullptr));
        ASSERT_EQ(S_OK, graph->Connect(tee, 0, merge, 0, nullptr));
        ASSERT_EQ(S_OK, graph->ConnectToPin(merge, 0, mixer->GetFreeInputPin(), nullptr));
        ASSERT_EQ(S_OK, graph->ConnectToPin(tee, 1, mixer->GetFreeInputPin(), nullptr));
        ASSERT_EQ(S_OK, graph->ConnectToPin(synth, 1, mixer->GetFreeInputPin(), nullptr));
    }
    IBaseFilter* Create(REFCLSID clsid, LPCWSTR name)
    {
        IBaseFilter* f = nullptr;
        EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                         reinterpret_cast<void**>(&f)));
        return f ? Keep(f, name) : nullptr;
    }
    static std::vector<float> Times3(const std::vector<float>& v)
    {
        std::vector<float> out(v);
        for (float& x : out)
            x = (x + x) + x;
        return out;
    }

    CDxSource* src = nullptr;
    CNullSynth* synth = nullptr;
    CSimpleTee* tee = nullptr;
    CMergeSwitch* merge = nullptr;
    CStereoSumMixer* mixer = nullptr;
};

}  // namespace

TEST_F(ChainTest, BlocksPassTheWholeChainAndAreSummed)
{
    BuildChain();
    ASSERT_EQ(S_OK, graph->Connect(mixer, 0, renderer, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Run());
    for (int i = 0; i < 10; ++i) {
        std::vector<float> block = Ramp(blockFrames);
        for (float& v : block)
            v += 0.01f * static_cast<float>(i);
        ASSERT_EQ(S_OK, src->PushBuffer(i * 1000, block.data(), blockFrames, i == 0));
        EXPECT_EQ(Times3(block), Rendered()) << i;
        renderer->ReleaseSample();
    }
    // The source's silence stays a flag all the way: the renderer holds none.
    src->SetEnabled(FALSE);
    ASSERT_EQ(S_OK, src->PushBuffer(0, nullptr, blockFrames, FALSE));
    EXPECT_TRUE(Rendered().empty());
}

TEST_F(ChainTest, TheMasterEndPassesTheSumThroughGainPanAndBufferMatcher)
{
    BuildChain();
    IBaseFilter* gainPan = Create(CLSID_GainPanFilter, u"MainBusGainPan");
    IBaseFilter* matcher = Create(CLSID_BufferMatcherFilter, u"MainBusBufMatcher");
    ASSERT_TRUE(gainPan && matcher);
    ASSERT_EQ(S_OK, graph->Connect(mixer, 0, gainPan, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Connect(gainPan, 0, matcher, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Connect(matcher, 0, renderer, 0, nullptr));
    IBufferMatcher* control = nullptr;
    ASSERT_EQ(S_OK, matcher->QueryInterface(IID_IBufferMatcher, reinterpret_cast<void**>(&control)));
    IMediaParams* params = nullptr;
    ASSERT_EQ(S_OK, gainPan->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)));
    ASSERT_EQ(S_OK, graph->Run());
    ASSERT_EQ(S_OK, control->Reset());
    ASSERT_EQ(S_OK, control->SetSegmentSize(blockFrames * 8));
    ASSERT_EQ(S_OK, control->SetBlockSize(blockFrames * 8));

    // At its neutral settings the gain-pan passes a stereo sum unchanged.
    std::vector<float> block = Ramp(blockFrames);
    ASSERT_EQ(S_OK, src->PushBuffer(0, block.data(), blockFrames, TRUE));
    EXPECT_EQ(Times3(block), Rendered());
    renderer->ReleaseSample();

    // Muted, the next block glides to silence and the one after is silent.
    ASSERT_EQ(S_OK, params->SetParam(5, 1.0f));
    src->PushBuffer(0, block.data(), blockFrames, FALSE);
    renderer->ReleaseSample();
    src->PushBuffer(0, block.data(), blockFrames, FALSE);
    for (float v : Rendered())
        ASSERT_EQ(0.0f, v);
    renderer->ReleaseSample();
    params->Release();
    control->Release();
}
