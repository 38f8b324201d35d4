// Real effect plug-ins in an effect chain, each made by the chain through
// the host's effect wrapper: the phaser Sorvic and the sample gain plug-in
// built on Fendrel, heard through the chain on the engine's graph.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <sys/wait.h>
#include <vector>

#include "engine/hosting/CFxWrap.h"
#include "engine/mixer/CChainHost.h"
#include "model/CUndoHistory.h"
#include "platform/com/ComRuntime.h"
#include "platform/media/MediaParams.h"
#include "platform/registry/Registry.h"
#include "tests/engine/graph/AudioGraphFixture.h"
#include "tests/engine/mixer/MixerFakes.h"
#include "tests/plugins/synthframework/FakeHost.h"
#include "tests/support/TempRegistry.h"

namespace {

using namespace mixertest;

// The phaser's and the gain plug-in's classes, as their libraries register them.
constexpr GUID kSorvic = {0xA6190AD9, 0xC20F, 0x49FC, {0xBF, 0x24, 0x3F, 0xF2, 0xAD, 0xAE, 0xF9, 0xB1}};
constexpr GUID kGain = {0x7A11C0DE, 0x0001, 0x4E00, {0x90, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}};

int Regsvr(const char* server)
{
    const std::string command = std::string("'") + MVTEST_REGSVR + "' '" + server + "' >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    mvreg::ReloadHives();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The document makes real effect wrappers.
class PlugInDoc final : public FakeMixerDoc {
public:
    using FakeMixerDoc::FakeMixerDoc;
    HRESULT CreateFxWrap(REFCLSID clsid, const char* name, IFxWrap** wrap) override
    {
        CFxWrap* made = nullptr;
        HRESULT hr = CFxWrap::Create(&clsid, name, graph, static_cast<mvsynth::IMfxTempoMap*>(&site), &made);
        *wrap = made;
        return hr;
    }
    // The host site: an effect built on the synth framework connects to it.
    mvtest::FakeHost site;
};

class Host final : public CChainHost {
public:
    explicit Host(PlugInDoc* d) : CChainHost(&lock), doc(d) {}
    ~Host() override
    {
        for (int i = m_chain.GetCount() - 1; i >= 0; --i)
            DestroyPlugInWrap(m_chain.GetAt(i));
        m_chain.ClearWithoutUndo();
    }
    SHORT GetHostId() override { return 3; }
    CControlParamSet* GetParamOwner() override { return &doc->params; }
    HRESULT MarkGraphDirty() override { return doc->SetGraphDirty(); }
    HRESULT RetireFilter(IUnknown* f) override { return doc->KeepObjectAlive(f); }
    IMixerDocument* GetMixerDocument() override { return doc; }
    CHeapCriticalSection lock;
    PlugInDoc* doc;
};

struct EffectPlugInChain : mvtest::AudioGraphFixture {
    void SetUp() override
    {
        AudioGraphFixture::SetUp();
        ASSERT_EQ(0, Regsvr(MVTEST_SORVIC_SERVER));
        ASSERT_EQ(0, Regsvr(MVTEST_GAIN_SERVER));
        source->SetEnabled(TRUE);
        CUndoHistory::Instance().Clear();
        doc = std::make_unique<PlugInDoc>(graph);
        host = std::make_unique<Host>(doc.get());
        ASSERT_EQ(S_OK, host->GetChain().SetGraph(graph));
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
        CoFreeUnusedLibraries();
    }
    CFxChain& chain() { return host->GetChain(); }
    HRESULT Rebuild()
    {
        graph->Stop();
        doc->FlushKept();
        chain().RemoveFromGraph();
        chain().AddToGraph(graph);
        IPin* peer = nullptr;
        IPin* srcOut = CDxFilterGraph::FindOutputPin(source, 0);
        HRESULT hr = S_OK;
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
        return graph->Run();
    }
    std::vector<float> Play(const std::vector<float>& block)
    {
        renderer->ReleaseSample();
        EXPECT_EQ(S_OK, source->PushBuffer(0, const_cast<float*>(block.data()), blockFrames, TRUE));
        std::vector<float> out = Rendered();
        renderer->ReleaseSample();
        return out;
    }
    std::unique_ptr<PlugInDoc> doc;
    std::unique_ptr<Host> host;
};

TEST_F(EffectPlugInChain, TheGainPlugInHalvesTheBlockUnlessBypassed)
{
    ASSERT_EQ(S_OK, chain().InsertFxByClsid(0, kGain, "Gain"));
    ASSERT_EQ(S_OK, Rebuild());
    const std::vector<float> block = Ramp(blockFrames);
    std::vector<float> half = block;
    for (float& x : half)
        x *= 0.5f;
    EXPECT_EQ(half, Play(block));
    ASSERT_EQ(S_OK, chain().SetFxBypass(0, TRUE));
    ASSERT_EQ(S_OK, Rebuild());
    Play(block);  // the switch flushes the effect's path first
    EXPECT_EQ(block, Play(block));
}

TEST_F(EffectPlugInChain, ThePhaserIsHeardAndSwitchedOffPassesTheBlock)
{
    ASSERT_EQ(S_OK, chain().InsertFxByClsid(0, kSorvic, "Sorvic"));
    auto* fx = static_cast<CFxWrap*>(chain().GetAt(0));
    ASSERT_NE(nullptr, fx->GetFilter());
    ASSERT_EQ(S_OK, Rebuild());
    std::vector<float> block = Ramp(blockFrames);
    std::vector<float> out = Play(block);
    ASSERT_EQ(block.size(), out.size());
    std::size_t changed = 0;
    for (std::size_t i = 0; i < out.size(); ++i) {
        ASSERT_TRUE(std::isfinite(out[i]));
        changed += out[i] != block[i];
    }
    EXPECT_GT(changed, out.size() / 2) << "the phaser is heard";

    IMediaParams* params = nullptr;
    ASSERT_EQ(S_OK, fx->GetFilter()->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)));
    ASSERT_EQ(S_OK, params->SetParam(8, 0.0f));  // Power off
    params->Release();
    EXPECT_EQ(block, Play(block)) << "switched off, the input passes bit for bit";
}

}  // namespace
