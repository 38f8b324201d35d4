#include "engine/mixer/CFxChain.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../graph/AudioGraphFixture.h"
#include "MixerFakes.h"
#include "engine/mixer/CChainHost.h"
#include "model/CUndoHistory.h"
#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"
#include "platform/media/IBufferMatcher.h"

namespace {

using namespace mixertest;

// A chain host of number 7 over the fake document; it destroys its effects.
class TestHost final : public CChainHost {
public:
    explicit TestHost(FakeMixerDoc* d) : CChainHost(&lock), doc(d) {}
    ~TestHost() override
    {
        for (int i = m_chain.GetCount() - 1; i >= 0; --i)
            DestroyPlugInWrap(m_chain.GetAt(i));
        m_chain.ClearWithoutUndo();
    }
    SHORT GetHostId() override { return 7; }
    CControlParamSet* GetParamOwner() override { return &doc->params; }
    HRESULT MarkGraphDirty() override { return doc->SetGraphDirty(); }
    HRESULT RetireFilter(IUnknown* f) override { return doc->KeepObjectAlive(f); }
    IMixerDocument* GetMixerDocument() override { return doc; }

    CHeapCriticalSection lock;
    FakeMixerDoc* doc;
};

std::string N(const char* what) { return std::string("Container7 ") + what; }
std::string Fx(int i) { return N(("Fx" + std::to_string(i)).c_str()); }
std::string Ms(int i) { return N(("MS" + std::to_string(i)).c_str()); }
std::string Edge(const std::string& a, int o, const std::string& b, int i)
{
    return a + ":" + std::to_string(o) + " -> " + b + ":" + std::to_string(i);
}

// What the graph holds for a chain of n connected effects between the
// test's source and renderer.
Topology Expected(int n)
{
    Topology t;
    t.filters = {"src", "Render", N("MSMain"), N("MSFinal"), N("BufMatcher"), N("MSLastFx")};
    t.edges = {Edge("src", 0, N("MSMain"), 0),           Edge(N("MSFinal"), 0, "Render", 0),
               Edge(N("MSLastFx"), 0, N("BufMatcher"), 0), Edge(N("BufMatcher"), 0, N("MSFinal"), 0),
               Edge(N("MSMain"), 1, N("MSFinal"), 1)};
    if (n == 0) {
        t.edges.insert(Edge(N("MSMain"), 0, N("MSLastFx"), 0));
        return t;
    }
    t.edges.insert(Edge(N("MSMain"), 0, Ms(0), 0));
    for (int i = 0; i < n; ++i) {
        t.filters.insert(Ms(i));
        t.filters.insert(Fx(i));
        t.edges.insert(Edge(Ms(i), 0, Fx(i), 0));
        const std::string nextSwitch = i + 1 < n ? Ms(i + 1) : N("MSLastFx");
        t.edges.insert(Edge(Fx(i), 0, nextSwitch, 0));
        t.edges.insert(Edge(Ms(i), 1, nextSwitch, 1));
    }
    return t;
}

struct FxChainTest : mvtest::AudioGraphFixture {
    void SetUp() override
    {
        AudioGraphFixture::SetUp();
        source->SetEnabled(TRUE);
        CUndoHistory::Instance().Clear();
        doc = std::make_unique<FakeMixerDoc>(graph);
        host = std::make_unique<TestHost>(doc.get());
        ASSERT_EQ(S_OK, chain().SetGraph(graph));
        ASSERT_TRUE(chain().HasContainerFilters());
    }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        if (graph)
            graph->Stop();
        host.reset();
        doc->ReleaseKept();
        AudioGraphFixture::TearDown();
        doc.reset();
    }
    CFxChain& chain() { return host->GetChain(); }
    static int Commands()
    {
        int n = 0;
        CUndoHistory::Instance().GetCount(&n);
        return n;
    }
    FakeFx* At(int i) { return static_cast<FakeFx*>(chain().GetAt(i)); }

    HRESULT InsertFx(int position, const char* name, float gain)
    {
        doc->nextGain = gain;
        return chain().InsertFxByClsid(position, kFxClass, name);
    }

    // The document's rebuild of the chain's dirty parts, with the test's
    // source and renderer wired to its ends.
    HRESULT Rebuild()
    {
        graph->Stop();
        doc->FlushKept();
        chain().RemoveFromGraph();
        chain().AddToGraph(graph);
        // The source first, as the channel connects its synth before the
        // branch connects the chain.
        HRESULT hr = S_OK;
        IPin* srcOut = CDxFilterGraph::FindOutputPin(source, 0);
        IPin* peer = nullptr;
        if (srcOut->ConnectedTo(&peer) == S_OK)
            peer->Release();
        else if (FAILED(hr = graph->ConnectToPin(source, 0, chain().GetInputPin(), nullptr)))
            return hr;
        if (FAILED(hr = chain().Connect(graph)))
            return hr;
        IPin* out = chain().GetOutputPin();
        if (out->ConnectedTo(&peer) == S_OK)
            peer->Release();
        else if (FAILED(hr = graph->ConnectFromPin(out, renderer, 0, nullptr)))
            return hr;
        if (FAILED(hr = graph->Run()))
            return hr;
        IBufferMatcher* matcher = chain().GetBufMatcher();
        matcher->Reset();
        matcher->SetSegmentSize(blockFrames * 8);
        matcher->SetBlockSize(blockFrames * 8);
        return S_OK;
    }
    // One block through the chain; what the renderer got.
    std::vector<float> Play(const std::vector<float>& block)
    {
        renderer->ReleaseSample();
        EXPECT_EQ(S_OK, source->PushBuffer(0, const_cast<float*>(block.data()), blockFrames, TRUE));
        std::vector<float> out = Rendered();
        renderer->ReleaseSample();
        return out;
    }
    static std::vector<float> Scaled(std::vector<float> v, float k)
    {
        for (float& x : v)
            x *= k;
        return v;
    }
    void ExpectGraph(int n)
    {
        const Topology got = Describe(graph);
        const Topology want = Expected(n);
        EXPECT_EQ(want.filters, got.filters);
        EXPECT_EQ(want.edges, got.edges);
    }

    std::unique_ptr<FakeMixerDoc> doc;
    std::unique_ptr<TestHost> host;
};

struct ChainCase {
    const char* name;
    std::vector<float> gains;
    bool chainBypass;
    int bypassedFx;  // -1: none
    float expected;
};

class FxChainShapes : public FxChainTest, public ::testing::WithParamInterface<ChainCase> {};

TEST_P(FxChainShapes, HoldsItsFiltersAndScalesTheBlock)
{
    const ChainCase& c = GetParam();
    for (std::size_t i = 0; i < c.gains.size(); ++i)
        ASSERT_EQ(S_OK, InsertFx(static_cast<int>(i), ("Fx" + std::to_string(i)).c_str(), c.gains[i]));
    if (c.bypassedFx >= 0) {
        ASSERT_EQ(S_OK, chain().SetFxBypass(c.bypassedFx, TRUE));
    }
    ASSERT_EQ(S_OK, chain().SetBypass(c.chainBypass));
    ASSERT_EQ(S_OK, Rebuild());
    ExpectGraph(static_cast<int>(c.gains.size()));
    EXPECT_FALSE(chain().IsEffectsDirty());
    EXPECT_FALSE(chain().IsContainerDirty());
    const std::vector<float> block = Ramp(blockFrames);
    EXPECT_EQ(Scaled(block, c.expected), Play(block));
    // A second block takes the same road.
    EXPECT_EQ(Scaled(block, c.expected), Play(block));
}

INSTANTIATE_TEST_SUITE_P(Chains, FxChainShapes,
                         ::testing::Values(ChainCase{"Empty", {}, false, -1, 1.0f},
                                           ChainCase{"EmptyBypassed", {}, true, -1, 1.0f},
                                           ChainCase{"OneHalves", {0.5f}, false, -1, 0.5f},
                                           ChainCase{"OneBypassed", {0.5f}, true, -1, 1.0f},
                                           ChainCase{"OneEffectBypassed", {0.5f}, false, 0, 1.0f},
                                           ChainCase{"Three", {0.5f, 0.25f, 2.0f}, false, -1, 0.25f},
                                           ChainCase{"ThreeBypassed", {0.5f, 0.25f, 2.0f}, true, -1, 1.0f},
                                           ChainCase{"ThreeMiddleBypassed", {0.5f, 0.25f, 2.0f}, false, 1, 1.0f}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(FxChainTest, EditsUndoAndRedoKeepTheGraphAndTheSound)
{
    CUndoHistory& history = CUndoHistory::Instance();
    const std::vector<float> block = Ramp(blockFrames);
    ASSERT_EQ(S_OK, InsertFx(0, "Half", 0.5f));
    EXPECT_STREQ("Insert Half in Bass", history.GetCommandName(0));
    ASSERT_EQ(S_OK, InsertFx(1, "Quarter", 0.25f));
    ASSERT_EQ(S_OK, InsertFx(1, "Double", 2.0f));
    ASSERT_EQ(S_OK, Rebuild());
    ExpectGraph(3);
    EXPECT_EQ(Scaled(block, 0.25f), Play(block));

    // Removing the middle effect renumbers the rest; its plug-in is unloaded
    // and its filters go to the keep-alive set, not straight away.
    FakeFx* doubler = At(1);
    IBaseFilter* doublerFilter = doubler->GetFilter();
    const int kept = static_cast<int>(doc->kept.size());
    ASSERT_EQ(S_OK, chain().RemoveFx(1));
    EXPECT_STREQ("Remove Double from Bass, Position 2", history.GetCommandName(0));
    EXPECT_EQ(nullptr, doubler->GetFilter());
    EXPECT_EQ(kept + 2, static_cast<int>(doc->kept.size()));
    EXPECT_EQ(doublerFilter, doc->kept[kept]);
    ASSERT_EQ(S_OK, Rebuild());
    ExpectGraph(2);
    EXPECT_EQ(Scaled(block, 0.125f), Play(block));

    ASSERT_EQ(S_OK, history.Undo());
    EXPECT_EQ(doubler, At(1));
    EXPECT_NE(nullptr, doubler->GetFilter());
    ASSERT_EQ(S_OK, Rebuild());
    ExpectGraph(3);
    EXPECT_EQ(Scaled(block, 0.25f), Play(block));

    ASSERT_EQ(S_OK, history.Redo());
    ASSERT_EQ(S_OK, Rebuild());
    ExpectGraph(2);
    EXPECT_EQ(Scaled(block, 0.125f), Play(block));

    // A move keeps the plug-ins loaded; a copy adds a clone.
    const int loads = doc->log.loads;
    ASSERT_EQ(S_OK, chain().MoveFx(0, 1));
    EXPECT_STREQ("Move Half From 1 to 2 in Track Bass", history.GetCommandName(0));
    EXPECT_EQ(loads, doc->log.loads);
    EXPECT_EQ("Quarter", At(0)->Name());
    ASSERT_EQ(S_OK, chain().MoveFx(1, 1));
    EXPECT_STREQ("Move Half From 2 to 2 in Track Bass", history.GetCommandName(0));
    ASSERT_EQ(S_OK, chain().CopyFx(1, 0));
    EXPECT_STREQ("Copy Half From 2 to 1 in Track Bass", history.GetCommandName(0));
    ASSERT_EQ(S_OK, Rebuild());
    ExpectGraph(3);
    EXPECT_EQ(Scaled(block, 0.0625f), Play(block));

    // Back to the start, then all the way forward again.
    ASSERT_EQ(7, Commands());
    for (int i = 0; i < 7; ++i) {
        ASSERT_EQ(S_OK, history.Undo()) << i;
    }
    EXPECT_EQ(0, chain().GetCount());
    ASSERT_EQ(S_OK, Rebuild());
    ExpectGraph(0);
    EXPECT_EQ(block, Play(block));
    for (int i = 0; i < 7; ++i) {
        ASSERT_EQ(S_OK, history.Redo()) << i;
    }
    ASSERT_EQ(3, chain().GetCount());
    ASSERT_EQ(S_OK, Rebuild());
    ExpectGraph(3);
    EXPECT_EQ(Scaled(block, 0.0625f), Play(block));
}

TEST_F(FxChainTest, BadPositionsAreRefused)
{
    ASSERT_EQ(S_OK, InsertFx(0, "Half", 0.5f));
    EXPECT_EQ(E_INVALIDARG, InsertFx(2, "X", 1.0f));
    EXPECT_EQ(E_INVALIDARG, chain().RemoveFx(1));
    EXPECT_EQ(E_INVALIDARG, chain().MoveFx(0, 1));
    EXPECT_EQ(E_INVALIDARG, chain().CopyFx(-1, 0));
    EXPECT_EQ(E_INVALIDARG, chain().InsertFx(0, nullptr));
    EXPECT_EQ(E_FAIL, chain().SetFxBypass(1, TRUE));
    EXPECT_EQ(GUID_NULL, chain().GetFxClsid(1));
    EXPECT_EQ(nullptr, chain().GetFxPlugIn(-1));
    EXPECT_FALSE(chain().IsFxBypassed(3));
    EXPECT_EQ(1, Commands());
}

TEST_F(FxChainTest, AnEffectThatCannotAttachLeavesNothingBehind)
{
    // Its plug-in does not load: the wrapper is freed once and nothing of it
    // stays in the chain, the graph or the undo history.
    ASSERT_EQ(S_OK, InsertFx(0, "Half", 0.5f));
    FakeFx* bad = new FakeFx(graph, "Broken", 1.0f, &doc->log);
    bad->failLoad = true;
    EXPECT_EQ(E_FAIL, chain().InsertFx(1, bad));
    EXPECT_EQ(1, chain().GetCount());
    EXPECT_EQ(1, Commands());
    delete bad;
    ASSERT_EQ(S_OK, Rebuild());
    ExpectGraph(1);

    // Its editor refuses the callback: its parameter relay and the plug-in
    // it loaded are taken back as well.
    auto* refusing = new FakeFx(graph, "Refusing", 1.0f, &doc->log);
    refusing->offersCallback = true;
    refusing->failSetCallback = true;
    const int unloads = doc->log.unloads;
    EXPECT_EQ(E_FAIL, chain().InsertFx(0, refusing));
    EXPECT_EQ(1, chain().GetCount());
    EXPECT_EQ(nullptr, refusing->GetFilter());
    EXPECT_EQ(unloads + 1, doc->log.unloads);
    EXPECT_EQ(S_FALSE, doc->params.RemoveUICallback({kFxClass, refusing->GetInstanceGuid()}));
    delete refusing;

    // Through the class factory, the made wrapper is freed by the chain.
    const int destroyed = doc->log.destroyed;
    doc->nextGain = 1.0f;
    ASSERT_EQ(S_OK, InsertFx(1, "Fine", 1.0f));
    EXPECT_EQ(destroyed, doc->log.destroyed);
}

TEST_F(FxChainTest, TheEditorCallbackComesAndGoesWithTheEffect)
{
    auto* fx = new FakeFx(graph, "Edit", 1.0f, &doc->log);
    fx->offersCallback = true;
    ASSERT_EQ(S_OK, chain().InsertFx(0, fx));
    ASSERT_NE(nullptr, fx->Plug()->callback);
    FxFilter* plug = fx->Plug();
    plug->AddRef();
    ASSERT_EQ(S_OK, chain().RemoveFx(0));
    EXPECT_EQ(nullptr, plug->callback);
    EXPECT_EQ(fx, doc->closed.back());
    plug->Release();
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_NE(nullptr, fx->Plug()->callback);
}

TEST_F(FxChainTest, AFailedConnectionNamesTheEffectThatFailedAndIsSkippedNextTime)
{
    ASSERT_EQ(S_OK, InsertFx(0, "Half", 0.5f));
    ASSERT_EQ(S_OK, InsertFx(1, "Ghost", 0.25f));
    ASSERT_EQ(S_OK, InsertFx(2, "Deaf", 2.0f));
    ASSERT_EQ(S_OK, InsertFx(3, "Quarter", 0.25f));
    At(1)->placeholder = true;
    At(2)->Plug()->noInput = true;
    EXPECT_TRUE(FAILED(Rebuild()));
    EXPECT_EQ(std::vector<std::string>{"Deaf Failed to Connect"}, doc->errors);
    EXPECT_FALSE(At(2)->IsConnectable());
    EXPECT_TRUE(At(0)->IsConnectable());

    // The next rebuild leaves both out and the others play.
    chain().MarkAllDirty();
    ASSERT_EQ(S_OK, Rebuild());
    EXPECT_EQ(1u, doc->errors.size());
    const Topology got = Describe(graph);
    EXPECT_TRUE(got.edges.count(Edge(Fx(0), 0, Ms(3), 0))) << "effect 0 feeds effect 3";
    EXPECT_TRUE(got.edges.count(Edge(Ms(0), 1, Ms(3), 1)));
    const std::vector<float> block = Ramp(blockFrames);
    EXPECT_EQ(Scaled(block, 0.125f), Play(block));
}

TEST_F(FxChainTest, TheSavedChainComesBackWithItsBypasses)
{
    ASSERT_EQ(S_OK, InsertFx(0, "Half", 0.5f));
    ASSERT_EQ(S_OK, InsertFx(1, "Quarter", 0.25f));
    ASSERT_EQ(S_OK, chain().SetFxBypass(1, TRUE));
    mvcom::CComPtr<IStream> stream;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
    ASSERT_EQ(S_OK, chain().Save(stream.Get(), FALSE));

    // Into a fresh host, once the old one has left the graph.
    CUndoHistory::Instance().Clear();
    graph->Stop();
    ASSERT_EQ(S_OK, chain().ReleaseFilters());
    EXPECT_FALSE(chain().HasContainerFilters());
    doc->FlushKept();
    host.reset();
    host = std::make_unique<TestHost>(doc.get());
    ASSERT_EQ(S_OK, chain().SetGraph(graph));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(S_OK, chain().Load(stream.Get()));
    ASSERT_EQ(2, chain().GetCount());
    EXPECT_EQ("Half", At(0)->Name());
    EXPECT_FALSE(chain().IsFxBypassed(0));
    EXPECT_TRUE(chain().IsFxBypassed(1));
    EXPECT_EQ(1, At(1)->GetSwitch()->GetSelectedOutput());
    EXPECT_EQ(0, Commands());
    ASSERT_EQ(S_OK, Rebuild());
    ExpectGraph(2);
    const std::vector<float> block = Ramp(blockFrames);
    EXPECT_EQ(Scaled(block, 0.5f), Play(block));
}

TEST_F(FxChainTest, TheTransportReachesEffectsWithASoftSynthInterface)
{
    ASSERT_EQ(S_OK, InsertFx(0, "Plain", 1.0f));
    ASSERT_EQ(S_OK, InsertFx(1, "Synthy", 1.0f));
    At(1)->softSynth = true;
    EXPECT_EQ(S_OK, host->OnStart(10));
    EXPECT_EQ(S_OK, host->OnLoop(20, 30));
    EXPECT_EQ(S_OK, host->OnStop(40));
    EXPECT_EQ((std::vector<std::string>{"Synthy start 10", "Synthy loop 20 30", "Synthy stop 40"}),
              doc->log.transport);
}

}  // namespace
