#include <gtest/gtest.h>

#include <cmath>

#include "AudioGraphFixture.h"
#include "InPlaceFilter.h"
#include "engine/graph/CMergeSwitch.h"

namespace {

constexpr int kRate = 44100;

struct SwitchTest : mvtest::AudioGraphFixture {
    CMergeSwitch* MakeSwitch(int inputs, int outputs, LPCWSTR name)
    {
        CMergeSwitch* s = nullptr;
        EXPECT_EQ(S_OK, CMergeSwitch::Create(graph, inputs, outputs, &s));
        return Keep(s, name);
    }

    // source -> main (1 in, 2 out); main 0 -> effect -> final 0; main 1 ->
    // final 1; final -> renderer. The effect adds `offset` to every value
    // it passes, as a tail that outlasts its input.
    void BuildEffectPath()
    {
        src = MakeSource(2);
        main = MakeSwitch(1, 2, u"MSMain");
        final = MakeSwitch(2, 1, u"MSFinal");
        effect = KeepNew(new mvtest::InPlaceFilter([this](float* x, int n) {
                             for (int i = 0; i < n; ++i)
                                 x[i] += offset;
                         }),
                         u"Fx");
        main->SetPartner(final);
        ASSERT_EQ(S_OK, graph->Connect(src, 0, main, 0, nullptr));
        ASSERT_EQ(S_OK, graph->Connect(main, 0, effect, 0, nullptr));
        ASSERT_EQ(S_OK, graph->Connect(effect, 0, final, 0, nullptr));
        ASSERT_EQ(S_OK, graph->Connect(main, 1, final, 1, nullptr));
        ASSERT_EQ(S_OK, graph->Connect(final, 0, renderer, 0, nullptr));
        ASSERT_EQ(S_OK, graph->Run());
    }
    // Pushes one block; the renderer must hold exactly it.
    void PushAndExpectBypassed(const std::vector<float>& block)
    {
        ASSERT_EQ(S_OK, src->PushBuffer(0, block.data(), blockFrames, FALSE));
        ASSERT_EQ(block, Rendered());
        renderer->ReleaseSample();
    }

    CDxSource* src = nullptr;
    CMergeSwitch* main = nullptr;
    CMergeSwitch* final = nullptr;
    mvtest::InPlaceFilter* effect = nullptr;
    float offset = 0.0f;
};

}  // namespace

TEST_F(SwitchTest, ASwitchedOutPathIsFedSilenceUntilItHasBeenQuietForOneSecond)
{
    BuildEffectPath();
    auto loud = Constant(blockFrames, 0.5f, -0.5f);
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(S_OK, src->PushBuffer(0, loud.data(), blockFrames, FALSE));
    ASSERT_EQ(3, effect->received);

    // Bypass; the effect's tail halves with every block it is fed.
    ASSERT_EQ(S_OK, main->SetSelectedOutput(1));
    ASSERT_EQ(S_OK, main->SetSwitchTarget(0));
    EXPECT_EQ(kRate, final->InputPin(0)->Countdown());
    offset = 1.0f;
    effect->work = [this](float* x, int n) {
        offset *= 0.5f;
        for (int i = 0; i < n; ++i)
            x[i] += offset;
    };
    int audibleFeeds = 0;
    for (float tail = 0.5f; tail * tail >= CMergeSwitch::kQuietLevel; tail *= 0.5f)
        ++audibleFeeds;
    const int quietFeeds = (kRate + blockFrames - 1) / blockFrames;  // until less than one frame is left
    const int feeds = audibleFeeds + quietFeeds;
    for (int i = 0; i < feeds + 20; ++i) {
        PushAndExpectBypassed(loud);
        if (i == feeds - 2) {
            EXPECT_EQ(0, main->GetSwitchTarget());
        }
    }
    EXPECT_EQ(3 + feeds, effect->received);
    EXPECT_EQ(-1, main->GetSwitchTarget());
    EXPECT_FALSE(final->InputPin(0)->IsLevelOnly());
}

TEST_F(SwitchTest, APathThatStaysAudibleKeepsBeingFedAndItsCountdownFull)
{
    BuildEffectPath();
    ASSERT_EQ(S_OK, main->SetSelectedOutput(1));
    ASSERT_EQ(S_OK, main->SetSwitchTarget(0));
    offset = std::sqrt(2e-5f);
    auto quiet = Constant(blockFrames, 0.0f, 0.0f);
    for (int i = 0; i < 400; ++i)
        PushAndExpectBypassed(quiet);
    EXPECT_EQ(kRate, final->InputPin(0)->Countdown());
    EXPECT_EQ(0, main->GetSwitchTarget());
    // Silence (the 1e-20 pattern) counts down.
    offset = 0.0f;
    PushAndExpectBypassed(quiet);
    EXPECT_EQ(kRate - blockFrames, final->InputPin(0)->Countdown());
}

TEST_F(SwitchTest, ResumingStampsTheNextBlockAtTheInputPosition)
{
    src = MakeSource(2);
    CMergeSwitch* s = MakeSwitch(1, 1, u"MS");
    mvtest::RecordingSink* sink = MakeSink();
    ASSERT_EQ(S_OK, graph->Connect(src, 0, s, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Connect(s, 0, sink, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Run());
    auto block = Ramp(blockFrames);
    // A discontinuity sets the position from its time: one second in.
    src->PushBuffer(10000000, block.data(), blockFrames, TRUE);
    src->PushBuffer(0, block.data(), blockFrames, FALSE);
    EXPECT_EQ(kRate + 2 * blockFrames, s->InputPin(0)->Position());
    s->SetResume(TRUE);
    src->PushBuffer(123, block.data(), blockFrames, FALSE);
    ASSERT_EQ(3u, sink->blocks.size());
    EXPECT_TRUE(sink->Last().discontinuity);
    EXPECT_EQ((kRate + 2LL * blockFrames) * 10000000 / kRate, sink->Last().start);
    EXPECT_FALSE(s->GetResume());
    src->PushBuffer(456, block.data(), blockFrames, FALSE);
    EXPECT_FALSE(sink->Last().discontinuity);
    EXPECT_EQ(456, sink->Last().start);
}

TEST_F(SwitchTest, ConvertsBetweenMonoAndStereoOnTheWayOut)
{
    struct Case {
        const char* name;
        WORD in;
        WORD out;
    } cases[] = {{"mono to stereo", 1, 2}, {"stereo to mono", 2, 1}, {"stereo to stereo", 2, 2}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CDxSource* source = MakeSource(c.in);
        CMergeSwitch* s = MakeSwitch(1, 1, u"MS");
        mvtest::RecordingSink* sink = MakeSink();
        CMediaType inType = FloatType(c.in), outType = FloatType(c.out);
        ASSERT_EQ(S_OK, graph->Connect(source, 0, s, 0, &inType));
        ASSERT_EQ(S_OK, graph->Connect(s, 0, sink, 0, &outType));
        ASSERT_EQ(S_OK, graph->Run());
        std::vector<float> block(static_cast<std::size_t>(blockFrames) * c.in);
        for (std::size_t i = 0; i < block.size(); ++i)
            block[i] = static_cast<float>(i % 7) * 0.125f - 0.25f;
        ASSERT_EQ(S_OK, source->PushBuffer(0, block.data(), blockFrames, FALSE));
        ASSERT_EQ(1u, sink->blocks.size());
        const std::vector<float>& got = sink->Last().data;
        ASSERT_EQ(static_cast<std::size_t>(blockFrames) * c.out, got.size());
        for (int k = 0; k < blockFrames; ++k) {
            if (c.in == 1 && c.out == 2) {
                EXPECT_EQ(block[k], got[2 * k]);
                EXPECT_EQ(block[k], got[2 * k + 1]);
            } else if (c.out == 1) {
                EXPECT_EQ(0.5f * block[2 * k] + 0.5f * block[2 * k + 1], got[k]);
            } else {
                EXPECT_EQ(block[2 * k], got[2 * k]);
            }
        }
        graph->Stop();
    }
}

TEST_F(SwitchTest, ASilentMonoBlockWidensWithoutBeingWritten)
{
    CDxSource* source = MakeSource(1);
    CMergeSwitch* s = MakeSwitch(1, 1, u"MS");
    mvtest::RecordingSink* sink = MakeSink();
    CMediaType inType = FloatType(1), outType = FloatType(2);
    ASSERT_EQ(S_OK, graph->Connect(source, 0, s, 0, &inType));
    ASSERT_EQ(S_OK, graph->Connect(s, 0, sink, 0, &outType));
    ASSERT_EQ(S_OK, graph->Run());
    ASSERT_EQ(S_OK, source->PushBuffer(0, nullptr, 100, FALSE));
    ASSERT_EQ(1u, sink->blocks.size());
    EXPECT_TRUE(sink->Last().silent);
    EXPECT_EQ(200u, sink->Last().data.size());
}

TEST_F(SwitchTest, ARejectedFeedStillPutsThePartnerBackToPassingBlocks)
{
    src = MakeSource(2);
    main = MakeSwitch(1, 2, u"MSMain");
    final = MakeSwitch(2, 1, u"MSFinal");
    main->SetPartner(final);
    mvtest::RecordingSink* refusing = MakeSink();
    refusing->answer = E_FAIL;
    ASSERT_EQ(S_OK, graph->Connect(src, 0, main, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Connect(main, 0, refusing, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Connect(main, 1, final, 1, nullptr));
    ASSERT_EQ(S_OK, graph->Connect(final, 0, renderer, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Run());
    main->SetSelectedOutput(1);
    main->SetSwitchTarget(0);
    auto block = Ramp(blockFrames);
    EXPECT_EQ(E_FAIL, src->PushBuffer(0, block.data(), blockFrames, FALSE));
    EXPECT_FALSE(final->InputPin(0)->IsLevelOnly());
    EXPECT_EQ(block, Rendered());
}

TEST_F(SwitchTest, SettersCheckTheirRange)
{
    CMergeSwitch* s = MakeSwitch(2, 2, u"MS");
    EXPECT_EQ(E_INVALIDARG, s->SetSwitchTarget(-2));
    EXPECT_EQ(E_INVALIDARG, s->SetSwitchTarget(2));
    EXPECT_EQ(S_OK, s->SetSwitchTarget(-1));
    EXPECT_EQ(E_INVALIDARG, s->SetSelectedOutput(2));
    EXPECT_EQ(E_INVALIDARG, s->SetSelectedOutput(-1));
    EXPECT_EQ(S_OK, s->SetSelectedOutput(1));
    EXPECT_EQ(4, s->GetPinCount());
    EXPECT_EQ(static_cast<CBasePin*>(s->InputPin(1)), s->GetPin(1));
    EXPECT_EQ(static_cast<CBasePin*>(s->OutputPin(0)), s->GetPin(2));
    EXPECT_EQ(nullptr, s->GetPin(4));
    EXPECT_EQ(u"MergeSwitchIPin", s->InputPin(0)->Name());
    EXPECT_EQ(u"MergeSwitchOPin", s->OutputPin(1)->Name());
    CMergeSwitch* bad = nullptr;
    EXPECT_EQ(E_INVALIDARG, CMergeSwitch::Create(graph, -1, 1, &bad));
}

TEST_F(SwitchTest, TakesOnlyFloatAudioOfOneOrTwoChannels)
{
    CMediaType pcm;
    BuildPcm16MediaType(&pcm, 2, 44100);
    CMediaType three = FloatType(2);
    reinterpret_cast<WAVEFORMATEX*>(three.pbFormat)->nChannels = 3;
    CMediaType compressed = FloatType(2);
    compressed.bTemporalCompression = TRUE;
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, CMergeSwitch::CheckSwitchType(&pcm));
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, CMergeSwitch::CheckSwitchType(&three));
    EXPECT_EQ(E_POINTER, CMergeSwitch::CheckSwitchType(nullptr));
    EXPECT_EQ(S_OK, CMergeSwitch::CheckSwitchType(&compressed));
    CMediaType mono = FloatType(1);
    EXPECT_EQ(S_OK, CMergeSwitch::CheckSwitchType(&mono));
}

TEST_F(SwitchTest, AStoppedSwitchDropsWhatArrives)
{
    CMergeSwitch* s = MakeSwitch(1, 1, u"MS");
    EXPECT_EQ(E_POINTER, s->InputPin(0)->Receive(nullptr));
    IMemAllocator* allocator = nullptr;
    ASSERT_EQ(S_OK, graph->CreateAllocator(&allocator));
    ALLOCATOR_PROPERTIES want{1, 64, 16, 0}, got{};
    allocator->SetProperties(&want, &got);
    allocator->Commit();
    IMediaSample* sample = nullptr;
    ASSERT_EQ(S_OK, allocator->GetBuffer(&sample, nullptr, nullptr, 0));
    EXPECT_EQ(S_OK, s->InputPin(0)->Receive(sample));
    EXPECT_EQ(0u, sample->Release());
    allocator->Decommit();
    allocator->Release();
}

TEST_F(SwitchTest, AnUnfedSwitchEndsItsStreamWhenItStarts)
{
    CMergeSwitch* s = MakeSwitch(1, 1, u"MS");
    mvtest::RecordingSink* sink = MakeSink();
    // With no connected input an output cannot size its buffers; connect a
    // source, then take it away again.
    CMediaType stereo = FloatType(2);
    EXPECT_EQ(E_FAIL, graph->Connect(s, 0, sink, 0, &stereo));
    CDxSource* source = MakeSource(2);
    ASSERT_EQ(S_OK, graph->Connect(source, 0, s, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Connect(s, 0, sink, 0, nullptr));
    ASSERT_EQ(S_OK, graph->GetGraph()->Disconnect(source->Stream()));
    ASSERT_EQ(S_OK, graph->GetGraph()->Disconnect(s->InputPin(0)));
    ASSERT_EQ(S_OK, graph->Run());
    EXPECT_GE(sink->endOfStreams, 1);
}
