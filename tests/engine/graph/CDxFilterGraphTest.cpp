#include <gtest/gtest.h>

#include "EngineGraphFixture.h"
#include "engine/graph/DxSampleOps.h"
#include "engine/graph/FloatAudioType.h"
#include "platform/media/CBaseReferenceClock.h"
#include "tests/platform/media/TestFilters.h"

using GraphOwnerTest = mvtest::EngineGraphFixture;

TEST_F(GraphOwnerTest, ConnectRefusesIndicesWithNoPinBehindThem)
{
    EXPECT_EQ(E_INVALIDARG, graph->Connect(source, -1, renderer, 0, nullptr));
    EXPECT_EQ(E_INVALIDARG, graph->Connect(source, 1, renderer, 0, nullptr));
    EXPECT_EQ(E_INVALIDARG, graph->Connect(source, 0, renderer, 1, nullptr));
    EXPECT_EQ(E_INVALIDARG, graph->Connect(source, 0, renderer, -1, nullptr));
    EXPECT_EQ(E_INVALIDARG, graph->Connect(nullptr, 0, renderer, 0, nullptr));
    EXPECT_EQ(E_INVALIDARG, graph->ConnectToPin(source, 2, renderer->InputPin(), nullptr));
    EXPECT_EQ(E_INVALIDARG, graph->ConnectFromPin(source->Stream(), renderer, 3, nullptr));
    EXPECT_FALSE(source->IsConnected());
    EXPECT_EQ(S_OK, graph->Connect(source, 0, renderer, 0, nullptr));
}

TEST_F(GraphOwnerTest, FindsPinsByDirection)
{
    EXPECT_EQ(static_cast<IPin*>(source->Stream()), CDxFilterGraph::FindOutputPin(source, 0));
    EXPECT_EQ(nullptr, CDxFilterGraph::FindInputPin(source, 0));
    EXPECT_EQ(static_cast<IPin*>(renderer->InputPin()), CDxFilterGraph::FindInputPin(renderer, 0));
    EXPECT_EQ(nullptr, CDxFilterGraph::FindOutputPin(nullptr, 0));
}

TEST_F(GraphOwnerTest, ConnectingWithoutATypeTriesStereoThenMonoThenSixteenBit)
{
    struct Case {
        const char* name;
        WORD tag;
        WORD channels;
    } cases[] = {{"stereo float", WAVE_FORMAT_IEEE_FLOAT, 2},
                 {"mono float", WAVE_FORMAT_IEEE_FLOAT, 1},
                 {"16-bit mono", WAVE_FORMAT_PCM, 1}};
    for (const Case& c : cases) {
        auto* sink = new mvtest::TestSink(nullptr);
        sink->AddRef();
        sink->accept = [&](const CMediaType* mt) { return CheckFloatAudioType(mt, c.tag, c.channels); };
        ASSERT_EQ(S_OK, graph->AddFilter(sink, u"sink"));
        auto* feeder = new mvtest::TestSource(nullptr);
        feeder->AddRef();
        ASSERT_EQ(S_OK, graph->AddFilter(feeder, u"feeder"));
        EXPECT_EQ(S_OK, graph->Connect(feeder, 0, sink, 0, nullptr)) << c.name;
        const auto* wfx = reinterpret_cast<const WAVEFORMATEX*>(sink->Pin()->CurrentMediaType().pbFormat);
        ASSERT_NE(nullptr, wfx) << c.name;
        EXPECT_EQ(c.tag, wfx->wFormatTag) << c.name;
        EXPECT_EQ(c.channels, wfx->nChannels) << c.name;
        graph->RemoveFilter(sink);
        graph->RemoveFilter(feeder);
        sink->Release();
        feeder->Release();
    }
}

TEST_F(GraphOwnerTest, ARefusedTypeReturnsTheLastAttemptsResult)
{
    EXPECT_EQ(E_INVALIDARG, graph->Connect(source, 0, renderer, 0, [] {
        static CMediaType pcm;
        BuildPcm16MediaType(&pcm, 2, 44100);
        return static_cast<const AM_MEDIA_TYPE*>(&pcm);
    }()));
    EXPECT_FALSE(source->IsConnected());
}

TEST_F(GraphOwnerTest, KeepsRateBlockAndLoop)
{
    EXPECT_EQ(E_INVALIDARG, graph->SetBlockFrames(0));
    EXPECT_EQ(blockFrames, graph->GetBlockFrames());
    graph->SetSampleRate(48000);
    EXPECT_EQ(48000, graph->GetSampleRate());

    int on = -1;
    LONGLONG start = -1, end = -1;
    EXPECT_EQ(E_POINTER, graph->GetLoop(nullptr, &start, &end));
    ASSERT_EQ(S_OK, graph->GetLoop(&on, &start, &end));
    EXPECT_EQ(0, on);
    EXPECT_EQ(0, start);
    EXPECT_EQ(44100, end);
    graph->SetLoop(1, 1000, 2000);
    graph->SetLoop(0, 5, 6);
    ASSERT_EQ(S_OK, graph->GetLoop(&on, nullptr, nullptr));
    ASSERT_EQ(S_OK, graph->GetLoop(&on, &start, &end));
    EXPECT_EQ(0, on);
    EXPECT_EQ(1000, start);
    EXPECT_EQ(2000, end);
}

TEST(DxFilterGraph, StartsWithTheDefaultBlockAndRate)
{
    HRESULT hr = E_FAIL;
    CDxFilterGraph graph(&hr);
    ASSERT_EQ(S_OK, hr);
    EXPECT_EQ(441, graph.GetBlockFrames());
    EXPECT_EQ(44100, graph.GetSampleRate());
    EXPECT_NE(nullptr, graph.GetGraph());
}

TEST_F(GraphOwnerTest, RunCommitsTheSourceAllocatorAndStopDecommitsIt)
{
    ASSERT_EQ(S_OK, graph->Connect(source, 0, renderer, 0, nullptr));
    std::vector<float> block = Ramp(16);
    EXPECT_EQ(VFW_E_NOT_COMMITTED, source->PushBuffer(0, block.data(), 16, FALSE));
    ASSERT_EQ(S_OK, graph->Run());
    EXPECT_EQ(S_OK, source->PushBuffer(0, block.data(), 16, FALSE));
    renderer->ReleaseSample();
    ASSERT_EQ(S_OK, graph->Stop());
    EXPECT_EQ(VFW_E_NOT_COMMITTED, source->PushBuffer(0, block.data(), 16, FALSE));
    // The source pushes into the renderer's preset allocator, made two larger.
    ALLOCATOR_PROPERTIES props{};
    source->Stream()->Allocator()->GetProperties(&props);
    EXPECT_EQ(4, props.cBuffers);
    EXPECT_GE(props.cbBuffer, blockFrames * 8 + 32);
    EXPECT_TRUE(IsDxAllocator(source->Stream()->Allocator(), nullptr));
}

TEST_F(GraphOwnerTest, ClockIsHandedToTheGraphsFilters)
{
    auto* clock = new CBaseReferenceClock("clock", nullptr, nullptr);
    clock->AddRef();
    ASSERT_EQ(S_OK, graph->SetSyncSource(clock));
    IReferenceClock* got = nullptr;
    ASSERT_EQ(S_OK, renderer->GetSyncSource(&got));
    EXPECT_EQ(static_cast<IReferenceClock*>(clock), got);
    got->Release();
    clock->Release();
}
