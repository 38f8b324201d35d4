#include <gtest/gtest.h>

#include <cstring>

#include "AudioGraphFixture.h"
#include "engine/graph/CStereoSumMixer.h"
#include "engine/graph/IAudioProperties.h"

namespace {

struct FakeProperties : IAudioProperties {
    int GetSampleRate() override { return rate; }
    LONGLONG GetSamplePosition() override { return position; }
    int rate = 44100;
    LONGLONG position = 0;
};

struct MixerTest : mvtest::AudioGraphFixture {
    CStereoSumMixer* MakeMixer(int inputs, IAudioProperties* properties = nullptr)
    {
        CStereoSumMixer* m = nullptr;
        EXPECT_EQ(S_OK, CStereoSumMixer::Create(graph, properties, "MainSumMixer", &m));
        for (int i = 0; i < inputs; ++i)
            EXPECT_EQ(S_OK, m->AddInputPin(u"MainMixIn", i));
        return Keep(m, u"MainSumMixer");
    }
    // Source k feeds mixer input k; the mixer feeds the buffer renderer.
    std::vector<CDxSource*> Feed(CStereoSumMixer* m, int sources)
    {
        std::vector<CDxSource*> made;
        for (int k = 0; k < sources; ++k) {
            made.push_back(MakeSource(2));
            EXPECT_EQ(S_OK, graph->ConnectToPin(made.back(), 0, m->GetInputPin(k), nullptr));
        }
        return made;
    }
    mvtest::RecordingSink* ToSink(CStereoSumMixer* m)
    {
        mvtest::RecordingSink* sink = MakeSink();
        EXPECT_EQ(S_OK, graph->Connect(m, 0, sink, 0, nullptr));
        return sink;
    }
    void ToRenderer(CStereoSumMixer* m, WORD channels = 2)
    {
        CMediaType mt = FloatType(channels);
        ASSERT_EQ(S_OK, graph->Connect(m, 0, renderer, 0, &mt));
    }
};

}  // namespace

TEST_F(MixerTest, MixesOnlyWhenEveryConnectedInputHasDelivered)
{
    CStereoSumMixer* m = MakeMixer(2);
    auto src = Feed(m, 2);
    ToRenderer(m);
    ASSERT_EQ(S_OK, graph->Run());
    auto a = Ramp(blockFrames), b = Constant(blockFrames, 0.5f, -0.25f);

    EXPECT_EQ(S_FALSE, src[0]->PushBuffer(0, a.data(), blockFrames, FALSE));
    EXPECT_TRUE(Rendered().empty());
    EXPECT_EQ(1, m->GetInputPin(0)->Fifo().Count());

    EXPECT_EQ(S_OK, src[1]->PushBuffer(0, b.data(), blockFrames, FALSE));
    std::vector<float> sum(a.size());
    for (std::size_t i = 0; i < a.size(); ++i)
        sum[i] = a[i] + b[i];
    EXPECT_EQ(sum, Rendered());
    EXPECT_TRUE(m->GetInputPin(0)->Fifo().Empty());
    EXPECT_TRUE(m->GetInputPin(1)->Fifo().Empty());
}

TEST_F(MixerTest, AnUnconnectedInputNeverHoldsTheMixBack)
{
    CStereoSumMixer* m = MakeMixer(3);
    CDxSource* first = MakeSource(2);
    CDxSource* last = MakeSource(2);
    ASSERT_EQ(S_OK, graph->ConnectToPin(first, 0, m->GetInputPin(0), nullptr));
    ASSERT_EQ(S_OK, graph->ConnectToPin(last, 0, m->GetInputPin(2), nullptr));
    ToRenderer(m);
    ASSERT_EQ(S_OK, graph->Run());
    auto a = Constant(blockFrames, 0.25f, 0.5f);
    first->PushBuffer(0, a.data(), blockFrames, FALSE);
    last->PushBuffer(0, a.data(), blockFrames, FALSE);
    EXPECT_EQ(Constant(blockFrames, 0.5f, 1.0f), Rendered());
    EXPECT_EQ(TRUE, m->IsInputFree(1));
    EXPECT_EQ(FALSE, m->IsInputFree(2));
    EXPECT_EQ(E_INVALIDARG, m->IsInputFree(3));
    EXPECT_EQ(E_INVALIDARG, m->IsInputFree(-1));
}

TEST_F(MixerTest, AllSilentInputsGiveASilentMarkedBlockOfTheRightLength)
{
    CStereoSumMixer* m = MakeMixer(2);
    auto src = Feed(m, 2);
    mvtest::RecordingSink* sink = ToSink(m);
    ASSERT_EQ(S_OK, graph->Run());
    src[0]->PushBuffer(0, nullptr, 100, FALSE);
    src[1]->PushBuffer(0, nullptr, 100, FALSE);
    ASSERT_EQ(1u, sink->blocks.size());
    EXPECT_TRUE(sink->Last().silent);
    EXPECT_EQ(200u, sink->Last().data.size());
}

TEST_F(MixerTest, SilentInputsAddNothing)
{
    CStereoSumMixer* m = MakeMixer(3);
    auto src = Feed(m, 3);
    ToRenderer(m);
    ASSERT_EQ(S_OK, graph->Run());
    auto a = Ramp(blockFrames);
    src[0]->PushBuffer(0, nullptr, blockFrames, FALSE);
    src[1]->PushBuffer(0, a.data(), blockFrames, FALSE);
    src[2]->PushBuffer(0, nullptr, blockFrames, FALSE);
    EXPECT_EQ(a, Rendered());
}

TEST_F(MixerTest, AMonoOutputCarriesTheAverageOfLeftAndRight)
{
    CStereoSumMixer* m = MakeMixer(2);
    auto src = Feed(m, 2);
    ToRenderer(m, 1);
    ASSERT_EQ(S_OK, graph->Run());
    auto a = Constant(blockFrames, 1.0f, 0.5f), b = Constant(blockFrames, 0.25f, -0.75f);
    src[0]->PushBuffer(0, a.data(), blockFrames, FALSE);
    src[1]->PushBuffer(0, b.data(), blockFrames, FALSE);
    const std::vector<float> out = Rendered();
    ASSERT_EQ(static_cast<std::size_t>(blockFrames), out.size());
    for (float v : out)
        EXPECT_FLOAT_EQ(0.75f + -0.25f, v);
}

TEST_F(MixerTest, TheLoopMovesTheStreamTimeBackInsideTheLoop)
{
    FakeProperties props;
    props.position = 88300;
    graph->SetLoop(1, 44100, 88200);
    CStereoSumMixer* m = MakeMixer(1, &props);
    auto src = Feed(m, 1);
    mvtest::RecordingSink* sink = ToSink(m);
    ASSERT_EQ(S_OK, graph->Run());
    auto a = Ramp(64);
    src[0]->PushBuffer(0, a.data(), 64, FALSE);
    ASSERT_EQ(1u, sink->blocks.size());
    ASSERT_TRUE(sink->Last().timed);
    EXPECT_EQ(44200LL * 10000000 / 44100, sink->Last().start);
    // The next block follows on from there.
    src[0]->PushBuffer(0, a.data(), 64, FALSE);
    EXPECT_EQ(44200LL * 10000000 / 44100 + 64LL * 10000000 / 44100, sink->Last().start);
}

TEST_F(MixerTest, ADiscontinuousInputRestampsTheStream)
{
    CStereoSumMixer* m = MakeMixer(1);
    auto src = Feed(m, 1);
    mvtest::RecordingSink* sink = ToSink(m);
    ASSERT_EQ(S_OK, graph->Run());
    auto a = Ramp(32);
    src[0]->PushBuffer(5000000, a.data(), 32, TRUE);
    ASSERT_EQ(1u, sink->blocks.size());
    EXPECT_TRUE(sink->Last().discontinuity);
    EXPECT_EQ(5000000, sink->Last().start);
}

TEST_F(MixerTest, AMonoInputIsRefusedAndTheRefusalReported)
{
    CStereoSumMixer* m = MakeMixer(1);
    CDxSource* mono = MakeSource(1);
    CMediaType monoType = FloatType(1);
    EXPECT_EQ(E_INVALIDARG, graph->ConnectToPin(mono, 0, m->GetInputPin(0), &monoType));
    EXPECT_FALSE(m->GetInputPin(0)->IsConnected());
    // Set directly, the refused type is reported and not taken.
    EXPECT_EQ(E_INVALIDARG, m->GetInputPin(0)->SetMediaType(&monoType));
    EXPECT_FALSE(m->GetInputPin(0)->CurrentMediaType().IsValid());
    CMediaType stereo = FloatType(2);
    EXPECT_EQ(S_OK, m->GetInputPin(0)->SetMediaType(&stereo));
}

TEST_F(MixerTest, AFullFifoRefusesTheBlockAndKeepsNoReference)
{
    CStereoSumMixer* m = MakeMixer(2);
    auto src = Feed(m, 2);
    ToRenderer(m);
    ASSERT_EQ(S_OK, graph->Run());
    IMemAllocator* allocator = nullptr;
    ASSERT_EQ(S_OK, graph->CreateAllocator(&allocator));
    ALLOCATOR_PROPERTIES want{CMediaSampleFifo::kCapacity, 16 * 8, 16, 0}, got{};
    ASSERT_EQ(S_OK, allocator->SetProperties(&want, &got));
    ASSERT_EQ(S_OK, allocator->Commit());
    std::vector<IMediaSample*> samples;
    for (int k = 0; k <= CMediaSampleFifo::kCapacity; ++k) {
        IMediaSample* s = nullptr;
        ASSERT_EQ(S_OK, allocator->GetBuffer(&s, nullptr, nullptr, 0));
        BYTE* p = nullptr;
        s->GetPointer(&p);
        std::vector<float> v = Constant(16, static_cast<float>(k), static_cast<float>(k));
        std::memcpy(p, v.data(), v.size() * 4);
        s->SetActualDataLength(16 * 8);
        samples.push_back(s);
    }
    CAudioMixerIPin* in = m->GetInputPin(0);
    for (int k = 0; k < CMediaSampleFifo::kCapacity; ++k)
        ASSERT_EQ(S_FALSE, in->Receive(samples[static_cast<std::size_t>(k)])) << k;

    IMediaSample* extra = samples.back();
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, in->Receive(extra));
    EXPECT_EQ(2u, extra->AddRef());  // ours and this probe's: the mixer kept none
    extra->Release();
    EXPECT_EQ(CMediaSampleFifo::kCapacity, in->Fifo().Count());

    // The oldest block is still the one that is mixed next.
    auto b = Constant(16, 0.5f, 0.5f);
    ASSERT_EQ(S_OK, src[1]->PushBuffer(0, b.data(), 16, FALSE));
    EXPECT_EQ(Constant(16, 0.5f, 0.5f), Rendered());
    renderer->ReleaseSample();

    graph->Stop();
    EXPECT_TRUE(in->Fifo().Empty());
    for (IMediaSample* s : samples)
        EXPECT_EQ(0u, s->Release());
    // A committed allocator holds a reference on itself until it is
    // decommitted: without this its samples and buffer would leak.
    EXPECT_EQ(S_OK, allocator->Decommit());
    EXPECT_EQ(0u, allocator->Release());
}

TEST_F(MixerTest, AnEndedInputAddsNothingAndHoldsNothingBack)
{
    CStereoSumMixer* m = MakeMixer(2);
    auto src = Feed(m, 2);
    mvtest::RecordingSink* sink = ToSink(m);
    ASSERT_EQ(S_OK, graph->Run());
    ASSERT_EQ(S_OK, m->GetInputPin(1)->EndOfStream());
    // One input ending does not end the mix.
    EXPECT_EQ(0, sink->endOfStreams);
    auto a = Constant(32, 0.25f, 0.25f);
    EXPECT_EQ(S_OK, src[0]->PushBuffer(0, a.data(), 32, FALSE));
    ASSERT_EQ(1u, sink->blocks.size());
    EXPECT_EQ(a, sink->Last().data);
    // An ended input takes nothing more.
    EXPECT_EQ(S_FALSE, src[1]->PushBuffer(0, a.data(), 32, FALSE));
    // Once every input has ended, the end goes downstream, once.
    ASSERT_EQ(S_OK, m->GetInputPin(0)->EndOfStream());
    EXPECT_EQ(1, sink->endOfStreams);
    m->GetInputPin(0)->EndOfStream();
    EXPECT_EQ(1, sink->endOfStreams);
}

TEST_F(MixerTest, StoppingReleasesEveryQueuedBlock)
{
    CStereoSumMixer* m = MakeMixer(2);
    auto src = Feed(m, 2);
    ToRenderer(m);
    ASSERT_EQ(S_OK, graph->Run());
    auto a = Ramp(32);
    src[0]->PushBuffer(0, a.data(), 32, FALSE);
    src[0]->PushBuffer(0, a.data(), 32, FALSE);
    EXPECT_EQ(2, m->GetInputPin(0)->Fifo().Count());
    ASSERT_EQ(S_OK, graph->Stop());
    EXPECT_TRUE(m->GetInputPin(0)->Fifo().Empty());
}

TEST_F(MixerTest, ADisconnectedInputStopsBeingWaitedFor)
{
    CStereoSumMixer* m = MakeMixer(2);
    auto src = Feed(m, 2);
    ToRenderer(m);
    ASSERT_EQ(S_OK, graph->GetGraph()->Disconnect(m->GetInputPin(1)));
    ASSERT_EQ(S_OK, graph->GetGraph()->Disconnect(src[1]->Stream()));
    ASSERT_EQ(S_OK, graph->Run());
    auto a = Ramp(32);
    EXPECT_EQ(S_OK, src[0]->PushBuffer(0, a.data(), 32, FALSE));
    EXPECT_EQ(a, Rendered());
}

TEST_F(MixerTest, InputPinsAreNamedAndMadeOnDemand)
{
    CStereoSumMixer* m = MakeMixer(0);
    EXPECT_EQ(1, m->GetPinCount());
    EXPECT_EQ(u"MixerOutput", m->GetOutputPin()->Name());
    EXPECT_EQ(S_OK, m->AddInputPin(u"ABCDEFGHIJKLMNOP", 0));
    EXPECT_EQ(S_FALSE, m->AddInputPin(u"Other", 0));
    EXPECT_EQ(u"ABCDEFGHIJ_IPin0", m->GetInputPin(0)->Name());
    // The free input is reused until it is connected; then a new one comes.
    EXPECT_EQ(m->GetInputPin(0), m->GetFreeInputPin());
    CDxSource* s = MakeSource(2);
    ASSERT_EQ(S_OK, graph->ConnectToPin(s, 0, m->GetInputPin(0), nullptr));
    CAudioMixerIPin* fresh = m->GetFreeInputPin();
    ASSERT_NE(nullptr, fresh);
    EXPECT_EQ(1, fresh->Number());
    EXPECT_EQ(u"MainMixIn_IPin1", fresh->Name());
    EXPECT_EQ(3, m->GetPinCount());
    EXPECT_EQ(static_cast<CBasePin*>(m->GetOutputPin()), m->GetPin(2));
    EXPECT_EQ(static_cast<CBasePin*>(fresh), m->GetPin(1));
    m->SetAllInputsUsed(FALSE);
    EXPECT_FALSE(fresh->IsUsed());
}

TEST_F(MixerTest, TheOutputOffersStereoThenMono)
{
    CStereoSumMixer* m = MakeMixer(0);
    CMediaType mt;
    ASSERT_EQ(S_OK, m->GetOutputPin()->GetMediaType(0, &mt));
    EXPECT_EQ(2, reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat)->nChannels);
    ASSERT_EQ(S_OK, m->GetOutputPin()->GetMediaType(1, &mt));
    EXPECT_EQ(1, reinterpret_cast<const WAVEFORMATEX*>(mt.pbFormat)->nChannels);
    EXPECT_EQ(VFW_S_NO_MORE_ITEMS, m->GetOutputPin()->GetMediaType(2, &mt));
    EXPECT_EQ(E_INVALIDARG, m->GetOutputPin()->GetMediaType(-1, &mt));
    CStereoSumMixer* none = nullptr;
    EXPECT_EQ(E_INVALIDARG, CStereoSumMixer::Create(nullptr, nullptr, "x", &none));
    EXPECT_EQ(nullptr, none);
}

TEST_F(MixerTest, TheMixerDoesNotConnectToItself)
{
    CStereoSumMixer* m = MakeMixer(1);
    EXPECT_TRUE(FAILED(graph->ConnectToPin(m, 0, m->GetInputPin(0), nullptr)));
    EXPECT_FALSE(m->GetOutputPin()->IsConnected());
}
