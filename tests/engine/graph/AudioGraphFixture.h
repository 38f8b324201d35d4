// The engine graph fixture with helpers for building chains of the graph
// library's filters: more push sources (stereo or mono), recording sinks,
// and filters the test makes, all added to the graph and released after it.
#pragma once

#include <vector>

#include "EngineGraphFixture.h"
#include "RecordingSink.h"
#include "engine/graph/FloatAudioType.h"

namespace mvtest {

struct AudioGraphFixture : EngineGraphFixture {
    void TearDown() override
    {
        EngineGraphFixture::TearDown();
        for (IBaseFilter* f : held)
            f->Release();
    }

    // Adds a filter the test holds one reference on; the fixture releases it.
    template <class T>
    T* Keep(T* filter, LPCWSTR name)
    {
        EXPECT_TRUE(SUCCEEDED(graph->AddFilter(filter, name)));
        held.push_back(filter);
        return filter;
    }
    template <class T>
    T* KeepNew(T* filter, LPCWSTR name)
    {
        filter->AddRef();
        return Keep(filter, name);
    }

    // A push source of the graph's float type with `channels`, enabled.
    CDxSource* MakeSource(WORD channels)
    {
        CMediaType mt;
        graph->BuildFloatType(&mt, channels);
        CDxSource* s = nullptr;
        EXPECT_EQ(S_OK, CDxSource::Create(nullptr, reinterpret_cast<const WAVEFORMATEX*>(mt.Format()), graph, &s));
        IMemAllocator* allocator = nullptr;
        graph->CreateAllocator(&allocator);
        s->SetAllocator(allocator);
        allocator->Release();
        s->SetEnabled(TRUE);
        return Keep(s, u"src");
    }
    RecordingSink* MakeSink() { return KeepNew(new RecordingSink(graph), u"sink"); }

    // The type of the graph with `channels`.
    CMediaType FloatType(WORD channels) const
    {
        CMediaType mt;
        graph->BuildFloatType(&mt, channels);
        return mt;
    }

    // The block the buffer renderer holds ({} when none).
    std::vector<float> Rendered() const
    {
        float* data = nullptr;
        LONG frames = 0;
        if (FAILED(renderer->GetRenderedBuffer(&data, &frames)))
            return {};
        return std::vector<float>(data, data + frames * renderer->Format().nChannels);
    }

    // Interleaved stereo frames of constant values.
    static std::vector<float> Constant(int frames, float left, float right)
    {
        std::vector<float> v(static_cast<std::size_t>(frames) * 2);
        for (int k = 0; k < frames; ++k) {
            v[2 * k] = left;
            v[2 * k + 1] = right;
        }
        return v;
    }

    std::vector<IBaseFilter*> held;
};

}  // namespace mvtest
