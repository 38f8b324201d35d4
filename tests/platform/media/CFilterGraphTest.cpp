#include <gtest/gtest.h>

#include "TestFilters.h"
#include "platform/media/CBaseReferenceClock.h"
#include "platform/media/CFilterGraph.h"

using namespace mvtest;

namespace {

// A graph with a source and a sink added as "src" and "sink".
struct GraphFixture : ::testing::Test {
    void SetUp() override
    {
        ASSERT_EQ(S_OK, CFilterGraph::CreateInstance(nullptr, IID_IGraphBuilder, reinterpret_cast<void**>(&graph)));
        ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaControl, reinterpret_cast<void**>(&control)));
        source = new TestSource(&journal, &sourceGone);
        sink = new TestSink(&journal, &sinkGone);
        source->AddRef();
        sink->AddRef();
        ASSERT_EQ(S_OK, graph->AddFilter(source, u"src"));
        ASSERT_EQ(S_OK, graph->AddFilter(sink, u"sink"));
    }
    void TearDown() override
    {
        if (control)
            control->Release();
        if (graph)
            graph->Release();
        if (source)
            source->Release();
        if (sink)
            sink->Release();
    }
    HRESULT Connect(const AM_MEDIA_TYPE* mt) { return graph->ConnectDirect(source->Pin(), sink->Pin(), mt); }

    std::vector<std::string> journal;
    bool sourceGone = false;
    bool sinkGone = false;
    IGraphBuilder* graph = nullptr;
    IMediaControl* control = nullptr;
    TestSource* source = nullptr;
    TestSink* sink = nullptr;
};

}  // namespace

TEST_F(GraphFixture, ConnectDirectAgreesTheGivenTypeOnBothEnds)
{
    CMediaType stereo = FloatType(2);
    ASSERT_EQ(S_OK, Connect(&stereo));

    AM_MEDIA_TYPE out{}, in{};
    ASSERT_EQ(S_OK, source->Pin()->ConnectionMediaType(&out));
    ASSERT_EQ(S_OK, sink->Pin()->ConnectionMediaType(&in));
    EXPECT_EQ(CMediaType(out), stereo);
    EXPECT_EQ(CMediaType(in), stereo);
    FreeMediaType(out);
    FreeMediaType(in);

    IPin* peer = nullptr;
    ASSERT_EQ(S_OK, sink->Pin()->ConnectedTo(&peer));
    EXPECT_EQ(peer, static_cast<IPin*>(source->Pin()));
    peer->Release();
}

TEST_F(GraphFixture, WithoutATypeTheReceiversOffersComeFirst)
{
    source->offered = {FloatType(2)};
    sink->offered = {FloatType(1), FloatType(2)};
    ASSERT_EQ(S_OK, graph->Connect(source->Pin(), sink->Pin()));
    EXPECT_EQ(1, ChannelsOf(source->Pin()->CurrentMediaType()));

    // A partial type (no format type) picks among the offers.
    graph->Disconnect(source->Pin());
    graph->Disconnect(sink->Pin());
    CMediaType partial;
    partial.majortype = MEDIATYPE_Audio;
    sink->offered = {};
    source->offered = {FloatType(2)};
    ASSERT_EQ(S_OK, Connect(&partial));
    EXPECT_EQ(2, ChannelsOf(sink->Pin()->CurrentMediaType()));
}

TEST_F(GraphFixture, ARefusedTypeLeavesBothPinsUnconnectedWithTheRefusal)
{
    sink->accept = [](const CMediaType* mt) { return ChannelsOf(*mt) == 2 ? S_OK : E_INVALIDARG; };
    CMediaType mono = FloatType(1);
    EXPECT_EQ(E_INVALIDARG, Connect(&mono));
    EXPECT_FALSE(source->Pin()->IsConnected());
    EXPECT_FALSE(sink->Pin()->IsConnected());

    // A success code other than S_OK is a refusal too.
    sink->accept = [](const CMediaType*) { return S_FALSE; };
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, Connect(&mono));

    // Enumerated offers that are all refused.
    source->offered = {FloatType(1)};
    EXPECT_EQ(VFW_E_NO_ACCEPTABLE_TYPES, Connect(nullptr));
}

TEST_F(GraphFixture, ConnectionRulesAreKept)
{
    CMediaType stereo = FloatType(2);
    // Same direction on both ends.
    EXPECT_EQ(VFW_E_INVALID_DIRECTION, graph->ConnectDirect(sink->Pin(), sink->Pin(), &stereo));
    ASSERT_EQ(S_OK, Connect(&stereo));
    EXPECT_EQ(VFW_E_ALREADY_CONNECTED, Connect(&stereo));
    // A pin of a filter outside the graph.
    TestSink* stranger = new TestSink(nullptr);
    stranger->AddRef();
    EXPECT_EQ(VFW_E_NOT_IN_GRAPH, graph->ConnectDirect(source->Pin(), stranger->Pin(), &stereo));
    stranger->Release();
    // Disconnecting while running is refused.
    ASSERT_EQ(S_OK, control->Run());
    EXPECT_EQ(VFW_E_NOT_STOPPED, source->Pin()->Disconnect());
    ASSERT_EQ(S_OK, control->Stop());
    EXPECT_EQ(S_OK, source->Pin()->Disconnect());
    EXPECT_EQ(S_FALSE, source->Pin()->Disconnect());
}

TEST_F(GraphFixture, AnOutputPinWithoutAnAllocatorFailsToConnect)
{
    // The sink's own allocator cannot be sized, and the source has none.
    source->bufferBytes = -1;
    source->ownAllocatorFails = true;
    CMediaType stereo = FloatType(2);
    EXPECT_EQ(VFW_E_NO_ALLOCATOR, Connect(&stereo));
    EXPECT_FALSE(source->Pin()->IsConnected());
    EXPECT_FALSE(sink->Pin()->IsConnected());

    source->bufferBytes = 1024;
    EXPECT_EQ(S_OK, Connect(&stereo));
}

TEST_F(GraphFixture, RunCommitsAndStopDecommitsDownstreamFirst)
{
    CMediaType stereo = FloatType(2);
    ASSERT_EQ(S_OK, Connect(&stereo));
    EXPECT_EQ(VFW_E_NOT_COMMITTED, source->Push(16, 1));

    journal.clear();
    ASSERT_EQ(S_OK, control->Run());
    EXPECT_EQ((std::vector<std::string>{"sink pause", "source pause"}), journal);
    OAFilterState state = -1;
    EXPECT_EQ(S_OK, control->GetState(0, &state));
    EXPECT_EQ(State_Running, state);

    // The block arrives at the sink within the push.
    EXPECT_EQ(S_OK, source->Push(16, 7));
    EXPECT_EQ(1, sink->received);
    EXPECT_EQ(std::vector<BYTE>(16, 7), sink->lastBlock);

    journal.clear();
    ASSERT_EQ(S_OK, control->Stop());
    EXPECT_EQ((std::vector<std::string>{"sink stop", "source stop"}), journal);
    EXPECT_EQ(VFW_E_NOT_COMMITTED, source->Push(16, 1));
    EXPECT_EQ(1, sink->received);
}

TEST_F(GraphFixture, NamesAreMadeUniqueAndFiltersFound)
{
    TestSink* twin = new TestSink(nullptr);
    twin->AddRef();
    EXPECT_EQ(VFW_S_DUPLICATE_NAME, graph->AddFilter(twin, u"sink"));
    EXPECT_EQ(u"sink 0001", twin->GraphName());
    EXPECT_EQ(E_INVALIDARG, graph->AddFilter(twin, u"again"));

    IBaseFilter* found = nullptr;
    ASSERT_EQ(S_OK, graph->FindFilterByName(u"sink 0001", &found));
    EXPECT_EQ(found, static_cast<IBaseFilter*>(twin));
    found->Release();
    EXPECT_EQ(VFW_E_NOT_FOUND, graph->FindFilterByName(u"nothing", &found));
    EXPECT_EQ(nullptr, found);
    twin->Release();
}

TEST_F(GraphFixture, RemovingAFilterDisconnectsItsPeers)
{
    CMediaType stereo = FloatType(2);
    ASSERT_EQ(S_OK, Connect(&stereo));
    ASSERT_EQ(S_OK, graph->RemoveFilter(sink));
    EXPECT_FALSE(source->Pin()->IsConnected());
    EXPECT_FALSE(sink->Pin()->IsConnected());
    EXPECT_EQ(nullptr, sink->GetFilterGraph());
    EXPECT_EQ(VFW_E_NOT_FOUND, graph->RemoveFilter(sink));
}

TEST_F(GraphFixture, TheGraphReleasesItsFiltersWhenItGoes)
{
    source->Release();
    sink->Release();
    source = nullptr;
    sink = nullptr;
    EXPECT_FALSE(sourceGone);
    control->Release();
    control = nullptr;
    graph->Release();
    graph = nullptr;
    EXPECT_TRUE(sourceGone);
    EXPECT_TRUE(sinkGone);
}

TEST_F(GraphFixture, TheClockIsSharedWithEveryFilter)
{
    auto* clock = new CBaseReferenceClock("clock", nullptr, nullptr);
    clock->AddRef();
    IMediaFilter* mf = nullptr;
    ASSERT_EQ(S_OK, graph->QueryInterface(IID_IMediaFilter, reinterpret_cast<void**>(&mf)));
    ASSERT_EQ(S_OK, mf->SetSyncSource(clock));
    TestSink* late = new TestSink(nullptr);
    late->AddRef();
    graph->AddFilter(late, u"late");
    for (IBaseFilter* f : {static_cast<IBaseFilter*>(source), static_cast<IBaseFilter*>(late)}) {
        IReferenceClock* got = nullptr;
        ASSERT_EQ(S_OK, f->GetSyncSource(&got));
        EXPECT_EQ(got, static_cast<IReferenceClock*>(clock));
        got->Release();
    }
    mf->Release();
    late->Release();
    clock->Release();
}

TEST(FilterGraph, AnswersItsInterfacesWithOneIdentity)
{
    IUnknown* unk = nullptr;
    ASSERT_EQ(S_OK, CFilterGraph::CreateInstance(nullptr, IID_IUnknown, reinterpret_cast<void**>(&unk)));
    for (const IID* iid : {&IID_IFilterGraph, &IID_IGraphBuilder, &IID_IMediaControl, &IID_IMediaFilter}) {
        IUnknown* itf = nullptr;
        ASSERT_EQ(S_OK, unk->QueryInterface(*iid, reinterpret_cast<void**>(&itf)));
        IUnknown* back = nullptr;
        ASSERT_EQ(S_OK, itf->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&back)));
        EXPECT_EQ(back, unk);
        back->Release();
        itf->Release();
    }
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, unk->QueryInterface(IID_IMemAllocator, &none));
    EXPECT_EQ(nullptr, none);
    CLSID clsid{};
    IPersist* persist = nullptr;
    ASSERT_EQ(S_OK, unk->QueryInterface(IID_IPersist, reinterpret_cast<void**>(&persist)));
    persist->GetClassID(&clsid);
    EXPECT_EQ(clsid, CLSID_FilterGraph);
    persist->Release();
    EXPECT_EQ(0u, unk->Release());
}
