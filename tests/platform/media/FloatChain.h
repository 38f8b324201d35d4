// A running graph of three filters for testing one float audio filter made
// by class identifier: a test source with a float type of its own width,
// the filter, and a test sink of the output width that logs every block
// (its floats, time and discontinuity mark).
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "platform/com/ComRuntime.h"
#include "tests/platform/media/TestFilters.h"

namespace mvtest {

struct LoggedBlock {
    std::vector<float> data;
    bool timed;
    REFERENCE_TIME start;
    REFERENCE_TIME stop;
    bool discontinuity;
};

class FloatChain {
public:
    FloatChain(REFCLSID clsid, WORD inChannels, WORD outChannels, DWORD rate = 44100) : m_rate(rate)
    {
        EXPECT_EQ(S_OK, CoCreateInstance(CLSID_FilterGraph, nullptr, CLSCTX_INPROC_SERVER, IID_IGraphBuilder,
                                         reinterpret_cast<void**>(&graph)));
        graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control));
        EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                         reinterpret_cast<void**>(&filter)));
        source = new TestSource(nullptr);
        source->AddRef();
        source->bufferBytes = 64 * 1024;
        sink = new TestSink(nullptr);
        sink->AddRef();
        sink->onReceive = [this](IMediaSample* s) { Log(s); };
        graph->AddFilter(source, u"source");
        graph->AddFilter(filter, u"filter");
        graph->AddFilter(sink, u"sink");
        inType = FloatType(inChannels, rate);
        outType = FloatType(outChannels, rate);
        EXPECT_EQ(S_OK, graph->ConnectDirect(source->Pin(), Pin(PINDIR_INPUT), &inType));
        EXPECT_EQ(S_OK, graph->ConnectDirect(Pin(PINDIR_OUTPUT), sink->Pin(), &outType));
    }
    ~FloatChain()
    {
        control->Stop();
        control->Release();
        graph->Release();
        filter->Release();
        source->Release();
        sink->Release();
    }
    void Run() { ASSERT_EQ(S_OK, control->Run()); }

    // The filter's first pin of that direction (no reference kept).
    IPin* Pin(PIN_DIRECTION dir)
    {
        IEnumPins* pins = nullptr;
        filter->EnumPins(&pins);
        IPin* pin = nullptr;
        IPin* found = nullptr;
        ULONG got = 0;
        while (!found && pins->Next(1, &pin, &got) == S_OK) {
            PIN_DIRECTION d;
            pin->QueryDirection(&d);
            if (d == dir)
                found = pin;
            pin->Release();
        }
        pins->Release();
        return found;
    }
    // An interface of the filter, without a reference of its own: the
    // chain's reference keeps the filter alive.
    template <class I>
    I* Query(REFIID iid)
    {
        I* itf = nullptr;
        EXPECT_EQ(S_OK, filter->QueryInterface(iid, reinterpret_cast<void**>(&itf)));
        if (itf)
            itf->Release();
        return itf;
    }

    // Delivers the floats as one block; start < 0 leaves it without a time.
    HRESULT Push(const std::vector<float>& floats, REFERENCE_TIME start = -1, bool discontinuity = false)
    {
        IMediaSample* sample = nullptr;
        HRESULT hr = source->Pin()->GetDeliveryBuffer(&sample, nullptr, nullptr, 0);
        if (FAILED(hr))
            return hr;
        BYTE* p = nullptr;
        sample->GetPointer(&p);
        std::memcpy(p, floats.data(), floats.size() * 4);
        sample->SetActualDataLength(static_cast<LONG>(floats.size() * 4));
        if (start >= 0)
            sample->SetTime(&start, nullptr);
        sample->SetDiscontinuity(discontinuity);
        hr = source->Pin()->Deliver(sample);
        sample->Release();
        return hr;
    }
    // The time of frame `frames` from 0.
    REFERENCE_TIME TimeOf(LONGLONG frames) const { return frames * 10000000 / m_rate; }

    IGraphBuilder* graph = nullptr;
    IMediaControl* control = nullptr;
    IBaseFilter* filter = nullptr;
    TestSource* source = nullptr;
    TestSink* sink = nullptr;
    CMediaType inType, outType;
    std::vector<LoggedBlock> blocks;

private:
    void Log(IMediaSample* s)
    {
        LoggedBlock b{};
        b.timed = SUCCEEDED(s->GetTime(&b.start, &b.stop));
        b.discontinuity = s->IsDiscontinuity() == S_OK;
        BYTE* p = nullptr;
        s->GetPointer(&p);
        const auto* f = reinterpret_cast<const float*>(p);
        b.data.assign(f, f + s->GetActualDataLength() / 4);
        blocks.push_back(std::move(b));
    }

    DWORD m_rate;
};

}  // namespace mvtest
