#include <gtest/gtest.h>

#include "AudioGraphFixture.h"
#include "engine/graph/CNullSynth.h"

namespace {

struct NullSynthTest : mvtest::AudioGraphFixture {
    CNullSynth* MakeSynth(int outputs)
    {
        CNullSynth* s = nullptr;
        EXPECT_EQ(S_OK, CNullSynth::Create(graph, outputs, &s));
        return Keep(s, u"Chan1 DXi");
    }
};

}  // namespace

TEST_F(NullSynthTest, OffersOneToSixteenOutputs)
{
    CNullSynth* none = reinterpret_cast<CNullSynth*>(1);
    EXPECT_EQ(E_INVALIDARG, CNullSynth::Create(graph, 0, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_EQ(E_INVALIDARG, CNullSynth::Create(graph, 17, &none));
    EXPECT_EQ(E_INVALIDARG, CNullSynth::Create(nullptr, 1, &none));
    for (int outputs : {1, 2, 16}) {
        CNullSynth* s = MakeSynth(outputs);
        EXPECT_EQ(outputs + 1, s->GetPinCount());
        EXPECT_EQ(u"NullSynthIPin", s->GetPin(0)->Name());
        EXPECT_EQ(u"NullSynthOPin", s->GetPin(outputs)->Name());
        EXPECT_EQ(PINDIR_OUTPUT, s->GetPin(outputs)->Direction());
        EXPECT_EQ(nullptr, s->GetPin(outputs + 1));
    }
}

TEST_F(NullSynthTest, PassesTheSourceBlockToEveryOutput)
{
    for (int outputs : {1, 3, 16}) {
        SCOPED_TRACE(outputs);
        CDxSource* src = MakeSource(2);
        CNullSynth* s = MakeSynth(outputs);
        ASSERT_EQ(S_OK, graph->Connect(src, 0, s, 0, nullptr));
        std::vector<mvtest::RecordingSink*> sinks;
        for (int k = 0; k < outputs; ++k) {
            sinks.push_back(MakeSink());
            ASSERT_EQ(S_OK, graph->Connect(s, k, sinks.back(), 0, nullptr));
        }
        ASSERT_EQ(S_OK, graph->Run());
        src->SetEnabled(FALSE);
        ASSERT_EQ(S_OK, src->PushBuffer(0, nullptr, 64, FALSE));
        auto block = Ramp(64);
        src->SetEnabled(TRUE);
        ASSERT_EQ(S_OK, src->PushBuffer(0, block.data(), 64, FALSE));
        for (auto* sink : sinks) {
            ASSERT_EQ(2u, sink->blocks.size());
            EXPECT_TRUE(sink->blocks[0].silent);
            EXPECT_EQ(block, sink->Last().data);
        }
        graph->Stop();
    }
}

TEST_F(NullSynthTest, TheFirstConnectionDecidesTheTypeOfEveryPin)
{
    CNullSynth* s = MakeSynth(2);
    CMediaType stereo = FloatType(2), mono = FloatType(1);
    CMediaType video;
    video.majortype = GUID{0x73646976, 0, 0x10, {0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71}};
    // Nothing connected: anything goes.
    EXPECT_EQ(S_OK, s->GetPin(1)->CheckMediaType(&video));
    EXPECT_EQ(S_OK, s->GetPin(0)->CheckMediaType(&mono));
    CDxSource* src = MakeSource(2);
    ASSERT_EQ(S_OK, graph->Connect(src, 0, s, 0, &stereo));
    mvtest::RecordingSink* sink = MakeSink();
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, graph->Connect(s, 0, sink, 0, &mono));
    EXPECT_EQ(S_OK, graph->Connect(s, 0, sink, 0, &stereo));
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, s->GetPin(2)->CheckMediaType(&mono));
}

TEST_F(NullSynthTest, AnOutputConnectedFirstDecidesTheType)
{
    CNullSynth* s = MakeSynth(2);
    mvtest::RecordingSink* sink = MakeSink();
    CMediaType mono = FloatType(1), stereo = FloatType(2);
    ASSERT_EQ(S_OK, graph->Connect(s, 1, sink, 0, &mono));
    EXPECT_EQ(S_OK, s->GetPin(0)->CheckMediaType(&mono));
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, s->GetPin(0)->CheckMediaType(&stereo));
}

TEST_F(NullSynthTest, AnUnfedSynthEndsItsStreamThroughEveryOutput)
{
    CNullSynth* s = MakeSynth(2);
    mvtest::RecordingSink* a = MakeSink();
    mvtest::RecordingSink* b = MakeSink();
    ASSERT_EQ(S_OK, graph->Connect(s, 0, a, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Connect(s, 1, b, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Run());
    EXPECT_GE(a->endOfStreams, 1);
    EXPECT_GE(b->endOfStreams, 1);
}
