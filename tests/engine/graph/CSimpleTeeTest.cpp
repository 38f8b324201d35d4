#include <gtest/gtest.h>

#include "AudioGraphFixture.h"
#include "InPlaceFilter.h"
#include "engine/graph/CSimpleTee.h"

namespace {

struct TeeTest : mvtest::AudioGraphFixture {
    CSimpleTee* MakeTee(int outputs)
    {
        CSimpleTee* t = nullptr;
        EXPECT_EQ(S_OK, CSimpleTee::Create(graph, outputs, &t));
        return Keep(t, u"Chan1 AuxTee");
    }
    // source -> spy -> tee; the spy remembers the sample the tee gets.
    CSimpleTee* FedTee(int outputs)
    {
        src = MakeSource(2);
        spy = KeepNew(new mvtest::InPlaceFilter(nullptr), u"spy");
        CSimpleTee* t = MakeTee(outputs);
        EXPECT_EQ(S_OK, graph->Connect(src, 0, spy, 0, nullptr));
        EXPECT_EQ(S_OK, graph->Connect(spy, 0, t, 0, nullptr));
        return t;
    }
    std::vector<mvtest::RecordingSink*> SinksOn(CSimpleTee* t, std::initializer_list<int> outputs)
    {
        std::vector<mvtest::RecordingSink*> sinks;
        for (int k : outputs) {
            sinks.push_back(MakeSink());
            EXPECT_EQ(S_OK, graph->Connect(t, k, sinks.back(), 0, nullptr));
        }
        return sinks;
    }

    CDxSource* src = nullptr;
    mvtest::InPlaceFilter* spy = nullptr;
};

}  // namespace

TEST_F(TeeTest, OutputZeroGetsTheSampleItselfAndTheOthersTheirOwnCopies)
{
    CSimpleTee* tee = FedTee(3);
    auto sinks = SinksOn(tee, {0, 1, 2});
    ASSERT_EQ(S_OK, graph->Run());
    auto block = Ramp(blockFrames);
    ASSERT_EQ(S_OK, src->PushBuffer(0, block.data(), blockFrames, FALSE));
    for (auto* sink : sinks) {
        ASSERT_EQ(1u, sink->blocks.size());
        EXPECT_EQ(block, sink->Last().data);
    }
    EXPECT_EQ(spy->lastSample, sinks[0]->Last().sample);
    EXPECT_NE(spy->lastSample, sinks[1]->Last().sample);
    EXPECT_NE(spy->lastSample, sinks[2]->Last().sample);
    EXPECT_NE(sinks[1]->Last().sample, sinks[2]->Last().sample);
}

TEST_F(TeeTest, EveryOutputKeepsTheBlockAsItArrivedWhateverOutputZeroDoesInPlace)
{
    CSimpleTee* tee = FedTee(2);
    auto* doubler = KeepNew(new mvtest::InPlaceFilter([](float* x, int n) {
                                for (int i = 0; i < n; ++i)
                                    x[i] *= 2.0f;
                            }),
                            u"doubler");
    mvtest::RecordingSink* afterDoubler = MakeSink();
    ASSERT_EQ(S_OK, graph->Connect(tee, 0, doubler, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Connect(doubler, 0, afterDoubler, 0, nullptr));
    auto sinks = SinksOn(tee, {1});
    ASSERT_EQ(S_OK, graph->Run());
    auto block = Ramp(blockFrames);
    ASSERT_EQ(S_OK, src->PushBuffer(0, block.data(), blockFrames, FALSE));
    std::vector<float> doubled(block);
    for (float& v : doubled)
        v *= 2.0f;
    EXPECT_EQ(doubled, afterDoubler->Last().data);
    EXPECT_EQ(block, sinks[0]->Last().data);
}

TEST_F(TeeTest, ASilentBlockStaysSilentOnEveryOutputWithoutCopying)
{
    CSimpleTee* tee = FedTee(3);
    auto sinks = SinksOn(tee, {0, 1, 2});
    ASSERT_EQ(S_OK, graph->Run());
    ASSERT_EQ(S_OK, src->PushBuffer(0, nullptr, 100, FALSE));
    for (auto* sink : sinks) {
        ASSERT_EQ(1u, sink->blocks.size());
        EXPECT_TRUE(sink->Last().silent);
        EXPECT_EQ(200u, sink->Last().data.size());
    }
}

TEST_F(TeeTest, AnUnconnectedOutputIsSkipped)
{
    CSimpleTee* tee = FedTee(3);
    auto sinks = SinksOn(tee, {0, 2});
    ASSERT_EQ(S_OK, graph->Run());
    auto block = Ramp(64);
    ASSERT_EQ(S_OK, src->PushBuffer(0, block.data(), 64, FALSE));
    EXPECT_EQ(block, sinks[1]->Last().data);
}

TEST_F(TeeTest, ACopyCarriesTheDiscontinuityAndItsTimes)
{
    CSimpleTee* tee = FedTee(2);
    auto sinks = SinksOn(tee, {0, 1});
    ASSERT_EQ(S_OK, graph->Run());
    auto block = Ramp(64);
    src->PushBuffer(777, block.data(), 64, TRUE);
    EXPECT_TRUE(sinks[1]->Last().discontinuity);
    EXPECT_EQ(777, sinks[1]->Last().start);
    src->PushBuffer(888, block.data(), 64, FALSE);
    EXPECT_FALSE(sinks[1]->Last().discontinuity);
    EXPECT_FALSE(sinks[1]->Last().timed);
}

TEST_F(TeeTest, AFailingOutputStopsTheOnesAfterIt)
{
    CSimpleTee* tee = FedTee(3);
    auto sinks = SinksOn(tee, {0, 1, 2});
    sinks[1]->answer = E_FAIL;
    ASSERT_EQ(S_OK, graph->Run());
    auto block = Ramp(64);
    EXPECT_EQ(E_FAIL, src->PushBuffer(0, block.data(), 64, FALSE));
    EXPECT_EQ(1u, sinks[0]->blocks.size());
    EXPECT_EQ(1u, sinks[1]->blocks.size());
    EXPECT_TRUE(sinks[2]->blocks.empty());
}

TEST_F(TeeTest, WithOutputZeroUnconnectedNoOutputIsServed)
{
    CSimpleTee* tee = FedTee(2);
    auto sinks = SinksOn(tee, {1});
    ASSERT_EQ(S_OK, graph->Run());
    auto block = Ramp(64);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, src->PushBuffer(0, block.data(), 64, FALSE));
    EXPECT_TRUE(sinks[0]->blocks.empty());
}

TEST_F(TeeTest, TheTypeTestIsMadeOnEveryCall)
{
    CSimpleTee* tee = MakeTee(1);
    CMediaType pcm16;
    BuildPcm16MediaType(&pcm16, 2, 44100);
    CMediaType pcm24 = pcm16;
    reinterpret_cast<WAVEFORMATEX*>(pcm24.pbFormat)->wBitsPerSample = 24;
    CMediaType extensible = pcm16;
    reinterpret_cast<WAVEFORMATEX*>(extensible.pbFormat)->wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    CMediaType float3 = FloatType(2);
    reinterpret_cast<WAVEFORMATEX*>(float3.pbFormat)->nChannels = 3;
    CMediaType compressed = FloatType(1);
    compressed.bTemporalCompression = TRUE;
    for (CBasePin* pin : {tee->GetPin(0), tee->GetPin(1)}) {
        for (int round = 0; round < 2; ++round) {
            EXPECT_EQ(S_OK, pin->CheckMediaType(&pcm16));
            EXPECT_EQ(S_OK, pin->CheckMediaType(&extensible));
            EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, pin->CheckMediaType(&pcm24));
            EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, pin->CheckMediaType(&float3));
            EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, pin->CheckMediaType(&compressed));
            EXPECT_EQ(E_POINTER, pin->CheckMediaType(nullptr));
        }
    }
}

TEST_F(TeeTest, NotificationsGoToEveryConnectedOutput)
{
    CSimpleTee* tee = MakeTee(3);
    auto sinks = SinksOn(tee, {0, 2});
    // With its input unconnected the tee ends its stream when it starts.
    ASSERT_EQ(S_OK, graph->Run());
    const int ended = sinks[0]->endOfStreams;
    EXPECT_GE(ended, 1);
    EXPECT_EQ(ended, sinks[1]->endOfStreams);
    EXPECT_EQ(S_OK, tee->GetPin(0)->EndOfStream());
    EXPECT_EQ(ended + 1, sinks[0]->endOfStreams);
    EXPECT_EQ(ended + 1, sinks[1]->endOfStreams);
}

TEST_F(TeeTest, PinsAndTypesAsTheTeeOffersThem)
{
    CSimpleTee* tee = FedTee(5);
    EXPECT_EQ(6, tee->GetPinCount());
    EXPECT_EQ(u"SimpleTee_IPin", tee->InputPin()->Name());
    EXPECT_EQ(u"MergeSwitchOPin", tee->OutputPin(4)->Name());
    EXPECT_EQ(nullptr, tee->GetPin(6));
    CMediaType mt;
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, tee->OutputPin(0)->GetMediaType(0, &mt));
    auto sinks = SinksOn(tee, {0});
    ASSERT_EQ(S_OK, tee->OutputPin(0)->GetMediaType(0, &mt));
    EXPECT_TRUE(mt == tee->OutputPin(0)->CurrentMediaType());
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, tee->OutputPin(0)->GetMediaType(1, &mt));
    IEnumMediaTypes* types = nullptr;
    ASSERT_EQ(S_OK, tee->OutputPin(1)->EnumMediaTypes(&types));
    types->Release();
    CSimpleTee* unfed = MakeTee(1);
    EXPECT_EQ(VFW_E_NOT_CONNECTED, unfed->OutputPin(0)->EnumMediaTypes(&types));
    EXPECT_EQ(S_OK, tee->OutputPin(0)->Notify(tee, Quality{}));
    EXPECT_EQ(E_FAIL, tee->InputPin()->NotifyAllocator(nullptr, FALSE));
}
