// Builds a song's filters into the engine owner's graph for tests and
// benchmarks that play a whole song: each filter made with one reference
// is handed to the graph, which keeps and later releases it, so a build
// that fails half-way leaves nothing to clean up. The buses every song has
// (master and aux mixers, the metronome's switch, the buffer renderer) and
// the head of a channel (push source, null synth, tee) come ready made.
// Header-only: benchmarks include it without the test support library.
#pragma once

#include <vector>

#include "engine/graph/CDxFilterGraph.h"
#include "engine/graph/CMergeSwitch.h"
#include "engine/graph/CNullSynth.h"
#include "engine/graph/CSimpleTee.h"
#include "engine/graph/CStereoSumMixer.h"
#include "platform/com/ComRuntime.h"
#include "platform/media/CBufferMatcherFilter.h"

namespace mvtest {

class GraphBuilder {
public:
    struct Buses {
        CStereoSumMixer* master = nullptr;
        CStereoSumMixer* aux = nullptr;
        CMergeSwitch* metronome = nullptr;
    };
    struct ChannelHead {
        CDxSource* source = nullptr;
        CNullSynth* synth = nullptr;
        CSimpleTee* tee = nullptr;
    };

    explicit GraphBuilder(CDxFilterGraph* graph) : m_graph(graph) {}

    static bool Ok(HRESULT hr) { return SUCCEEDED(hr); }

    // Hands a filter made with one reference to the graph; null (false)
    // when it was not made or not taken.
    template <class Filter>
    bool Adopt(HRESULT made, Filter*& filter)
    {
        if (FAILED(made) || !filter)
            return false;
        const bool taken = SUCCEEDED(m_graph->AddFilter(filter, u"f"));
        filter->Release();
        if (!taken)
            filter = nullptr;
        return taken;
    }

    // A registered filter made and handed to the graph, or null.
    IBaseFilter* Create(REFCLSID clsid)
    {
        IBaseFilter* f = nullptr;
        const HRESULT made =
            CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter, reinterpret_cast<void**>(&f));
        return Adopt(made, f) ? f : nullptr;
    }

    // The filter seen through one of its interfaces, kept by the graph.
    template <class Interface>
    static Interface* Face(IBaseFilter* filter, REFIID iid)
    {
        Interface* face = nullptr;
        if (!filter || FAILED(filter->QueryInterface(iid, reinterpret_cast<void**>(&face))))
            return nullptr;
        face->Release();
        return face;
    }

    // A buffer matcher whose control face goes into `into`.
    IBaseFilter* Matcher(std::vector<IBufferMatcher*>* into)
    {
        IBaseFilter* f = Create(CLSID_BufferMatcherFilter);
        IBufferMatcher* m = Face<IBufferMatcher>(f, IID_IBufferMatcher);
        if (!m)
            return nullptr;
        into->push_back(m);
        return f;
    }

    // The master and aux summing mixers, the metronome's one-in one-out
    // switch and the buffer renderer, none connected yet.
    bool MakeBuses(IAudioProperties* audio, Buses& buses, CDxBufRenderer*& renderer)
    {
        return Adopt(CStereoSumMixer::Create(m_graph, audio, "MainSumMixer", &buses.master), buses.master) &&
               Adopt(CStereoSumMixer::Create(m_graph, audio, "AuxSumMixer", &buses.aux), buses.aux) &&
               Adopt(CMergeSwitch::Create(m_graph, 1, 1, &buses.metronome), buses.metronome) &&
               Adopt(m_graph->CreateBufRenderer(&renderer), renderer);
    }

    // A channel's push source into a null synth into a two-way tee.
    bool MakeChannelHead(ChannelHead& head)
    {
        return Adopt(m_graph->CreateSource(&head.source), head.source) &&
               Adopt(CNullSynth::Create(m_graph, 1, &head.synth), head.synth) &&
               Adopt(CSimpleTee::Create(m_graph, 2, &head.tee), head.tee) &&
               Ok(m_graph->Connect(head.source, 0, head.synth, 0, nullptr)) &&
               Ok(m_graph->Connect(head.synth, 0, head.tee, 0, nullptr));
    }

private:
    CDxFilterGraph* m_graph;
};

}  // namespace mvtest
