#include <gtest/gtest.h>

#include "EngineGraphFixture.h"

using RendererTest = mvtest::EngineGraphFixture;

TEST_F(RendererTest, ASilentBlockLeavesTheRendererEmpty)
{
    ConnectAndRun();
    float* data = nullptr;
    LONG frames = -1;
    ASSERT_EQ(S_OK, source->PushBuffer(0, nullptr, 64, FALSE));
    EXPECT_EQ(E_FAIL, renderer->GetRenderedBuffer(&data, &frames));
    EXPECT_TRUE(renderer->ReleaseSample());
}

TEST_F(RendererTest, KeepsOnlyTheLastBlockAndReportsItsFrames)
{
    ConnectAndRun();
    source->SetEnabled(TRUE);
    std::vector<float> first(2 * 100, 0.25f), second = Ramp(256);
    ASSERT_EQ(S_OK, source->PushBuffer(0, first.data(), 100, FALSE));
    ASSERT_EQ(S_OK, source->PushBuffer(0, second.data(), 256, FALSE));
    float* data = nullptr;
    LONG frames = 0;
    ASSERT_EQ(S_OK, renderer->GetRenderedBuffer(&data, &frames));
    EXPECT_EQ(256, frames);
    EXPECT_EQ(second, std::vector<float>(data, data + 512));
    EXPECT_FALSE(renderer->ReleaseSample());
    EXPECT_TRUE(renderer->ReleaseSample());
    EXPECT_EQ(E_FAIL, renderer->GetRenderedBuffer(&data, &frames));
}

TEST_F(RendererTest, AStereoBlockOf441FramesReports441)
{
    graph->SetBlockFrames(441);
    ConnectAndRun();
    source->SetEnabled(TRUE);
    std::vector<float> block = Ramp(441);
    ASSERT_EQ(S_OK, source->PushBuffer(0, block.data(), 441, FALSE));
    float* data = nullptr;
    LONG frames = 0;
    ASSERT_EQ(S_OK, renderer->GetRenderedBuffer(&data, &frames));
    EXPECT_EQ(441, frames);
    EXPECT_EQ(8, renderer->Format().nBlockAlign);
}

TEST_F(RendererTest, SamplesGoBackSoTheGraphNeverRunsDry)
{
    ConnectAndRun();
    source->SetEnabled(TRUE);
    std::vector<float> block = Ramp(64);
    for (int i = 0; i < 100; ++i) {
        ASSERT_EQ(S_OK, source->PushBuffer(0, block.data(), 64, FALSE)) << i;
        renderer->ReleaseSample();
    }
}

TEST_F(RendererTest, ANullSampleChangesNothing)
{
    EXPECT_EQ(S_FALSE, renderer->InputPin()->Receive(nullptr));
    EXPECT_EQ(u"In", renderer->InputPin()->Name());
    EXPECT_EQ(nullptr, renderer->GetPin(1));
}
