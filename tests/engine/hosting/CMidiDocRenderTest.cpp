// The song document as the audio renderer sees it: its real graph, built by
// RebuildGraph, is walked through the document's render view and renders
// blocks through the master bus.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <thread>
#include <vector>

#include "devices/CAudioRenderer.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/CDxSource.h"
#include "engine/hosting/CMidiDoc.h"
#include "engine/mixer/COutputBranch.h"
#include "model/CUndoHistory.h"
#include "platform/sync/ThreadAffinity.h"
#include "tests/engine/hosting/DocumentEngineFake.h"

namespace {

using songdoctest::FakeEngine;

constexpr int kFrames = 64;

class MidiDocRenderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CUndoHistory::Instance().Clear();
        engine.graph->SetBlockFrames(kFrames);
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &doc));
        audio.SetDocument(doc->GetRenderDocument());
    }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        audio.SetDocument(nullptr);
        CMidiDoc::DestroyMidiDoc(doc);
    }

    void AddTracks(int n)
    {
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(S_OK, doc->InsertChannel(doc->GetChannelCount(), FALSE, &CLSID_NoSynth, "", nullptr));
    }

    // One device buffer on a thread marked audio: the announcements and the
    // block; the render result and the frames written.
    HRESULT RenderOnce(std::vector<float>* out, int* got)
    {
        out->assign(kFrames * 2, 7.0f);
        HRESULT hr = E_FAIL;
        std::thread([&] {
            mv::MarkCurrentThread(mv::ThreadRole::Audio);
            hr = audio.BeginBuffer(kFrames);
            if (SUCCEEDED(hr))
                hr = audio.BeginSegment(kFrames, kFrames);
            if (SUCCEEDED(hr))
                hr = audio.RenderBuffer(out->data(), nullptr, kFrames, got, kFrames, 1);
        }).join();
        return hr;
    }

    // The graph's denormal guard leaves traces far below any sound.
    static float Peak(const std::vector<float>& v)
    {
        float peak = 0.0f;
        for (float x : v)
            peak = std::max(peak, std::fabs(x));
        return peak;
    }

    FakeEngine engine;
    CMidiDoc* doc = nullptr;
    CAudioRenderer audio;
};

TEST_F(MidiDocRenderTest, TheViewShowsTheBuiltGraphsSourcesMatchersAndRenderer)
{
    IRenderDocument* view = doc->GetRenderDocument();
    ASSERT_NE(nullptr, view);
    ASSERT_EQ(S_OK, doc->RebuildGraph());

    // Without channels the lone source is the single input; the buses are there.
    EXPECT_EQ(doc->GetLoneSource(), view->GetInputSource());
    EXPECT_EQ(0, view->GetChannelCount());
    EXPECT_EQ(CMidiDoc::kAuxBusCount, view->GetAuxBusCount());
    CMainBus* main = nullptr;
    ASSERT_EQ(S_OK, doc->GetMainBus(&main));
    EXPECT_TRUE(view->HasMasterBus());
    EXPECT_EQ(main->GetBufMatcher(), view->GetMasterBusMatcher());
    EXPECT_EQ(main->GetChain().GetBufMatcher(), view->GetMasterChainMatcher());
    EXPECT_EQ(main->GetRenderer(), view->GetMasterRenderer());
    EXPECT_NE(nullptr, view->GetMasterRenderer());
    for (int b = 0; b < view->GetAuxBusCount(); ++b) {
        CAuxBus* aux = nullptr;
        ASSERT_EQ(S_OK, doc->GetAuxBusAt(b, &aux));  // the aux order is the map order for a new document
        EXPECT_EQ(aux->GetChain().GetBufMatcher(), view->GetAuxBusMatcher(b));
        EXPECT_FALSE(view->AuxBusHasConnectedInputs(b));
    }

    AddTracks(3);
    ASSERT_EQ(S_OK, doc->RebuildGraph());
    EXPECT_EQ(nullptr, view->GetInputSource());
    ASSERT_EQ(3, view->GetChannelCount());
    // Channels in id order, each output branch's chain matcher; walked out
    // of order too, which restarts the cursor.
    for (int c : {0, 1, 2, 1, 0, 2, 2}) {
        CChannel* channel = nullptr;
        ASSERT_EQ(S_OK, doc->GetChannelAt(c, &channel));
        ASSERT_EQ(channel->GetOutputCount(), view->GetChannelOutputCount(c));
        ASSERT_GT(view->GetChannelOutputCount(c), 0);
        for (int o = 0; o < channel->GetOutputCount(); ++o) {
            EXPECT_NE(nullptr, view->GetChannelOutputMatcher(c, o));
            EXPECT_EQ(channel->GetOutputBranch(o)->GetChain().GetBufMatcher(), view->GetChannelOutputMatcher(c, o));
        }
    }
    // Out of range answers nothing.
    EXPECT_EQ(0, view->GetChannelOutputCount(3));
    EXPECT_EQ(0, view->GetChannelOutputCount(-1));
    EXPECT_EQ(nullptr, view->GetChannelOutputMatcher(0, 99));
    EXPECT_EQ(nullptr, view->GetAuxBusMatcher(CMidiDoc::kAuxBusCount));
    EXPECT_EQ(nullptr, view->GetPushSource(view->GetPushSourceCount()));
    EXPECT_EQ(nullptr, view->GetPushSource(-1));
}

TEST_F(MidiDocRenderTest, TheAudioRendererRendersTheBuiltGraphToSilence)
{
    // Without channels: the lone source carries the block to the master bus.
    ASSERT_EQ(S_OK, doc->RebuildGraph());
    ASSERT_EQ(S_OK, audio.Prepare());
    EXPECT_TRUE(audio.IsInputPresent());
    std::vector<float> out;
    int got = 0;
    ASSERT_EQ(S_OK, RenderOnce(&out, &got));
    EXPECT_EQ(kFrames, got);
    EXPECT_LT(Peak(out), 1e-9f);
    EXPECT_EQ(kFrames, audio.GetSamplePosition());

    // With channels (no synth): their sources carry it.
    AddTracks(2);
    ASSERT_EQ(S_OK, doc->RebuildGraph());
    ASSERT_EQ(S_OK, audio.Prepare());
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(S_OK, RenderOnce(&out, &got));
        EXPECT_EQ(kFrames, got);
        EXPECT_LT(Peak(out), 1e-9f);
    }
}

}  // namespace
