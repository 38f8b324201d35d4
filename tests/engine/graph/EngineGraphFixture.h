// A running engine graph of one push source connected straight to a buffer
// renderer, made the way the engine makes them.
#pragma once

#include <gtest/gtest.h>

#include "engine/graph/CDxBufRenderer.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/CDxSource.h"

namespace mvtest {

struct EngineGraphFixture : ::testing::Test {
    void SetUp() override
    {
        HRESULT hr = E_FAIL;
        graph = new CDxFilterGraph(&hr);
        ASSERT_EQ(S_OK, hr);
        graph->SetBlockFrames(blockFrames);
        ASSERT_EQ(S_OK, graph->CreateSource(&source));
        ASSERT_EQ(S_OK, graph->CreateBufRenderer(&renderer));
        ASSERT_EQ(S_OK, graph->AddFilter(source, u"src"));
        ASSERT_EQ(S_OK, graph->AddFilter(renderer, u"Render"));
    }
    void TearDown() override
    {
        if (renderer)
            renderer->ReleaseSample();
        delete graph;
        if (source)
            source->Release();
        if (renderer)
            renderer->Release();
    }
    void ConnectAndRun()
    {
        ASSERT_EQ(S_OK, graph->Connect(source, 0, renderer, 0, nullptr));
        ASSERT_EQ(S_OK, graph->Run());
    }
    // Interleaved stereo: left = k / 1000, right = -k / 1000.
    static std::vector<float> Ramp(int frames)
    {
        std::vector<float> v(static_cast<std::size_t>(frames) * 2);
        for (int k = 0; k < frames; ++k) {
            v[2 * k] = static_cast<float>(k) / 1000.0f;
            v[2 * k + 1] = -static_cast<float>(k) / 1000.0f;
        }
        return v;
    }

    int blockFrames = 256;
    CDxFilterGraph* graph = nullptr;
    CDxSource* source = nullptr;
    CDxBufRenderer* renderer = nullptr;
};

}  // namespace mvtest
