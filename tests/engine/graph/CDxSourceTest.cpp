#include <gtest/gtest.h>

#include <thread>

#include "EngineGraphFixture.h"
#include "engine/graph/DxSampleOps.h"
#include "engine/graph/FloatAudioType.h"
#include "platform/media/CMemAllocator.h"
#include "platform/sync/ThreadAffinity.h"
#include "tests/platform/media/TestFilters.h"

using mvtest::EngineGraphFixture;

using SourceTest = EngineGraphFixture;

TEST_F(SourceTest, APushArrivesAtTheRendererWithinTheCall)
{
    ConnectAndRun();
    source->SetEnabled(TRUE);
    std::vector<float> block = Ramp(256);
    ASSERT_EQ(S_OK, source->PushBuffer(12345, block.data(), 256, TRUE));
    float* data = nullptr;
    LONG frames = 0;
    ASSERT_EQ(S_OK, renderer->GetRenderedBuffer(&data, &frames));
    ASSERT_EQ(256, frames);
    EXPECT_EQ(block, std::vector<float>(data, data + 512));
}

TEST_F(SourceTest, ADisabledSourcePassesDeferredSilenceOfTheRightLength)
{
    auto* sink = new mvtest::TestSink(nullptr);
    sink->AddRef();
    BOOL pending = FALSE;
    LONG length = 0;
    sink->onReceive = [&](IMediaSample* s) {
        pending = IsZeroFillPending(s);
        length = s->GetActualDataLength();
    };
    ASSERT_EQ(S_OK, graph->AddFilter(sink, u"sink"));
    ASSERT_EQ(S_OK, graph->Connect(source, 0, sink, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Run());

    std::vector<float> block = Ramp(100);
    ASSERT_EQ(S_OK, source->PushBuffer(0, block.data(), 100, FALSE));
    EXPECT_TRUE(pending);
    EXPECT_EQ(800, length);
    const auto* f = reinterpret_cast<const float*>(sink->lastBlock.data());
    EXPECT_EQ(std::vector<float>({0, 0, 1e-20f, 1e-20f, 0, 0, 1e-20f, 1e-20f}), std::vector<float>(f, f + 8));

    // Null frames are silent whatever the flag.
    source->SetEnabled(TRUE);
    ASSERT_EQ(S_OK, source->PushBuffer(0, nullptr, 100, FALSE));
    EXPECT_TRUE(pending);
    ASSERT_EQ(S_OK, source->PushBuffer(0, block.data(), 100, FALSE));
    EXPECT_FALSE(pending);
    graph->Stop();
    sink->Release();
}

TEST_F(SourceTest, APushBeforeConnectingFailsWithoutDelivering)
{
    std::vector<float> block = Ramp(16);
    EXPECT_TRUE(FAILED(source->PushBuffer(0, block.data(), 16, FALSE)));
    EXPECT_FALSE(source->IsConnected());
}

TEST_F(SourceTest, ABlockLargerThanTheBufferIsRefusedBeforeAnythingIsCopied)
{
    ConnectAndRun();
    source->SetEnabled(TRUE);
    std::vector<float> big = Ramp(blockFrames + 64);
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, source->PushBuffer(0, big.data(), blockFrames + 64, FALSE));
    EXPECT_EQ(E_INVALIDARG, source->PushBuffer(0, big.data(), -1, FALSE));
    float* data = nullptr;
    LONG frames = 0;
    EXPECT_EQ(E_FAIL, renderer->GetRenderedBuffer(&data, &frames));
    // The largest block that fits still goes through.
    EXPECT_EQ(S_OK, source->PushBuffer(0, big.data(), blockFrames + 4, FALSE));
}

TEST_F(SourceTest, OffersOneTypeAndHasOnePin)
{
    CDxSourceStream* stream = source->Stream();
    CMediaType mt;
    EXPECT_EQ(S_OK, stream->GetMediaType(0, &mt));
    EXPECT_EQ(S_OK, CheckRendererFloatType(&mt));
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, stream->GetMediaType(1, &mt));
    EXPECT_EQ(E_INVALIDARG, stream->GetMediaType(-1, &mt));
    EXPECT_EQ(1, source->GetPinCount());
    EXPECT_EQ(nullptr, source->GetPin(1));
    EXPECT_EQ(u"Plug-in src", stream->Name());
}

TEST(DxSource, CreationNeedsThirtyTwoBitSamples)
{
    WAVEFORMATEX wfx{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    CDxSource* source = reinterpret_cast<CDxSource*>(1);
    EXPECT_EQ(E_INVALIDARG, CDxSource::Create(nullptr, &wfx, nullptr, &source));
    EXPECT_EQ(nullptr, source);
}

TEST_F(SourceTest, KeepsOnlyTheEnginesAllocator)
{
    IMemAllocator* plain = nullptr;
    ASSERT_EQ(S_OK, CMemAllocator::Create(&plain));
    EXPECT_EQ(S_FALSE, source->SetAllocator(plain));
    IMemAllocator* fallback = source->FallbackAllocator();
    EXPECT_TRUE(IsDxAllocator(fallback, nullptr));
    plain->Release();
}

TEST_F(SourceTest, FallsBackToItsOwnAllocatorForAForeignInput)
{
    auto* sink = new mvtest::TestSink(nullptr);
    sink->AddRef();
    ASSERT_EQ(S_OK, graph->AddFilter(sink, u"sink"));
    ASSERT_EQ(S_OK, graph->Connect(source, 0, sink, 0, nullptr));
    EXPECT_EQ(source->FallbackAllocator(), source->Stream()->Allocator());
    ASSERT_EQ(S_OK, graph->Run());
    source->SetEnabled(TRUE);
    std::vector<float> block = Ramp(8);
    ASSERT_EQ(S_OK, source->PushBuffer(0, block.data(), 8, FALSE));
    EXPECT_EQ(1, sink->received);
    EXPECT_EQ(64u, sink->lastBlock.size());
    graph->Stop();
    sink->Release();
}

TEST(DxSource, WithoutAnAllocatorAForeignInputCannotBeConnected)
{
    HRESULT hr = E_FAIL;
    CDxFilterGraph graph(&hr);
    CMediaType mt;
    graph.BuildFloatType(&mt, 2);
    CDxSource* source = nullptr;
    ASSERT_EQ(S_OK, CDxSource::Create(nullptr, reinterpret_cast<WAVEFORMATEX*>(mt.pbFormat), &graph, &source));
    auto* sink = new mvtest::TestSink(nullptr);
    sink->AddRef();
    graph.AddFilter(source, u"src");
    graph.AddFilter(sink, u"sink");
    EXPECT_EQ(VFW_E_NO_ALLOCATOR, graph.Connect(source, 0, sink, 0, &mt));
    EXPECT_FALSE(source->IsConnected());
    graph.RemoveFilter(source);
    graph.RemoveFilter(sink);
    source->Release();
    sink->Release();
}

#if MV_THREAD_CHECKS
TEST_F(SourceTest, PushingOrReceivingOnTheUIThreadAndConnectingOnTheAudioThreadDie)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::vector<float> block = Ramp(256);
    EXPECT_DEATH(
        {
            mv::MarkCurrentThread(mv::ThreadRole::Audio);
            ConnectAndRun();
        },
        "belongs to the UI thread but was called on the audio thread");
    ConnectAndRun();
    source->SetEnabled(TRUE);
    EXPECT_DEATH(
        {
            mv::MarkCurrentThread(mv::ThreadRole::UI);
            source->PushBuffer(0, block.data(), 256, TRUE);
        },
        "PushBuffer belongs to the audio thread but was called on the UI thread");
    IMemInputPin* input = nullptr;
    ASSERT_EQ(S_OK, CDxFilterGraph::FindInputPin(renderer, 0)->QueryInterface(IID_IMemInputPin,
                                                                              reinterpret_cast<void**>(&input)));
    EXPECT_DEATH(
        {
            mv::MarkCurrentThread(mv::ThreadRole::UI);
            input->Receive(nullptr);
        },
        "Receive belongs to the audio thread but was called on the UI thread");
    input->Release();
    // The path itself, on a thread marked audio, delivers as ever.
    HRESULT pushed = E_FAIL;
    std::thread([&] {
        mv::MarkCurrentThread(mv::ThreadRole::Audio);
        pushed = source->PushBuffer(0, block.data(), 256, TRUE);
    }).join();
    EXPECT_EQ(S_OK, pushed);
}
#endif
