#include "engine/mixer/CChannel.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../graph/AudioGraphFixture.h"
#include "ChannelFakes.h"
#include "engine/graph/CStereoSumMixer.h"
#include "model/CUndoHistory.h"
#include "platform/media/IBufferMatcher.h"
#include "platform/media/MediaParams.h"
#include "platform/sync/ThreadAffinity.h"
#include "tests/model/ChunkBytes.h"
#include "tests/model/PatternTestSupport.h"

namespace {

using namespace chantest;

std::string Edge(const std::string& a, int o, const std::string& b, int i)
{
    return a + ":" + std::to_string(o) + " -> " + b + ":" + std::to_string(i);
}

float ParamOf(IBaseFilter* filter, DWORD index)
{
    mvcom::CComPtr<IMediaParams> params;
    EXPECT_EQ(S_OK, filter->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(params.Put())));
    float value = -1.0f;
    params->GetParam(index, &value);
    return value;
}

std::string NameOf(CChannel* c, DWORD id)
{
    CString name;
    EXPECT_EQ(S_OK, c->GetParamName(id, &name));
    return name.GetString();
}

// Channels of a song whose document, engine owner, graph and master mixer
// are the test's; the test's source stands for the document's source pool.
struct ChannelTest : mvtest::AudioGraphFixture {
    void SetUp() override
    {
        AudioGraphFixture::SetUp();
        source->SetEnabled(TRUE);
        CUndoHistory::Instance().Clear();
        SetSongDocument(&song);
        SetEngineServices(&engine);
        doc = std::make_unique<ChannelDoc>(graph);
        doc->source = source;
        CStereoSumMixer* m = nullptr;
        ASSERT_EQ(S_OK, CStereoSumMixer::Create(graph, nullptr, "MainSumMixer", &m));
        mixer = Keep(m, u"MainMix");
    }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        graph->Stop();
        for (CChannel*& c : made) {
            if (c && c->HasGraphObjects())
                c->OnRemovedFromDocument();
            doc->mixer.FlushKept();
            CChannel::Destroy(c);
        }
        SetSongDocument(nullptr);
        SetEngineServices(nullptr);
        AudioGraphFixture::TearDown();
        EXPECT_EQ(doc->synthLog.made, doc->synthLog.destroyed);
        doc.reset();
    }

    CChannel* Make(WORD id, const CLSID* clsid, const char* name = "Piano", int outputs = 1)
    {
        doc->nextOutputs = outputs;
        CChannel* c = nullptr;
        EXPECT_TRUE(SUCCEEDED(CChannel::Create(doc.get(), id, clsid, name, &c)));
        made.push_back(c);
        return c;
    }
    CChannel* Insert(CChannel* c)
    {
        doc->channels.push_back(c);
        EXPECT_EQ(S_OK, c->OnInsertedIntoDocument());
        return c;
    }

    // The document's rebuild, the engine stopped: retired filters out, then
    // the channel removed, added and connected, and the master mixer to
    // the renderer.
    HRESULT Rebuild(CChannel* c)
    {
        graph->Stop();
        doc->mixer.FlushKept();
        doc->mixer.mainIn = mixer->GetFreeInputPin();
        HRESULT hr;
        if (FAILED(hr = c->RemoveFromGraph()) || FAILED(hr = c->AddToGraph()) || FAILED(hr = c->ConnectInGraph()))
            return hr;
        IPin* peer = nullptr;
        IPin* mixOut = CDxFilterGraph::FindOutputPin(mixer, 0);
        if (mixOut->ConnectedTo(&peer) == S_OK)
            peer->Release();
        else if (FAILED(hr = graph->Connect(mixer, 0, renderer, 0, nullptr)))
            return hr;
        if (FAILED(hr = graph->Run()))
            return hr;
        for (int n = 0; n < c->GetOutputCount(); ++n) {
            IBufferMatcher* matcher = c->GetOutputBranch(n)->GetChain().GetBufMatcher();
            matcher->Reset();
            matcher->SetSegmentSize(blockFrames * 8);
            matcher->SetBlockSize(blockFrames * 8);
        }
        return S_OK;
    }
    std::vector<float> Play(const std::vector<float>& block)
    {
        renderer->ReleaseSample();
        EXPECT_EQ(S_OK, source->PushBuffer(0, block.data(), blockFrames, TRUE));
        std::vector<float> out = Rendered();
        renderer->ReleaseSample();
        return out;
    }

    std::vector<std::uint8_t> Saved(CChannel* c)
    {
        mvcom::CComPtr<IStream> stream;
        EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
        EXPECT_EQ(S_OK, static_cast<IPersistStreamInit*>(c)->Save(stream.Get(), FALSE));
        return chunktest::BytesOf(stream.Get());
    }
    // A channel made as a load makes it (no synth, one branch), loaded from
    // the bytes.
    CChannel* Loaded(const std::vector<std::uint8_t>& bytes, WORD id, HRESULT expected = S_OK)
    {
        CChannel* c = Make(id, &CLSID_NoSynth);
        mvcom::CComPtr<IStream> stream = chunktest::StreamOf(bytes);
        EXPECT_EQ(expected, static_cast<IPersistStreamInit*>(c)->Load(stream.Get()));
        return c;
    }

    pattest::FakeSongDocument song;
    pattest::FakeEngineServices engine;
    std::unique_ptr<ChannelDoc> doc;
    CStereoSumMixer* mixer = nullptr;
    std::vector<CChannel*> made;
};

// ---- Creation ----

TEST_F(ChannelTest, CreatesItsSynthAndOneBranchPerSynthOutput)
{
    struct Case {
        const char* what;
        const CLSID* clsid;
        int synthOutputs;
        int synths;
        int outputs;
        bool factoryAsked;
    };
    const Case cases[] = {
        {"no class id: the null synth, one output", nullptr, 3, 1, 1, true},
        {"the no-synth class: no wrapper, one output", &CLSID_NoSynth, 3, 0, 1, false},
        {"a synth's class: its outputs", &kSynthClass, 3, 1, 3, true},
    };
    WORD id = 1;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        doc->made.clear();
        CChannel* ch = Make(id++, c.clsid, "Piano", c.synthOutputs);
        ASSERT_NE(nullptr, ch);
        EXPECT_EQ(c.synths, ch->GetSynthCount());
        EXPECT_EQ(c.outputs, ch->GetOutputCount());
        ASSERT_EQ(c.factoryAsked ? 1u : 0u, doc->made.size());
        if (c.factoryAsked) {
            EXPECT_EQ(c.clsid ? *c.clsid : CLSID_NullSynth, doc->made[0]);
        }
        EXPECT_EQ(64u * c.outputs, [&] {
            DWORD n = 0;
            while (ch->HasParam(n))
                ++n;
            return n;
        }());
    }
    EXPECT_TRUE(doc->messages.empty());

    CChannel* none = nullptr;
    EXPECT_EQ(S_OK, CChannel::Create(nullptr, 9, nullptr, "x", &none));
    EXPECT_EQ(nullptr, none);

    // A duplicate takes the clone it is given, with its outputs.
    auto* clone = new ChannelSynth(graph, "Clone", 2, &doc->synthLog);
    CChannel* dup = nullptr;
    ASSERT_EQ(S_OK, CChannel::CreateDuplicate(doc.get(), 20, clone, &dup));
    made.push_back(dup);
    EXPECT_EQ(clone, dup->GetSynthWrap(0));
    EXPECT_EQ(2, dup->GetOutputCount());
    GUID cls{}, instance{};
    EXPECT_EQ(S_OK, dup->GetSynthIds(0, &cls, &instance));
    EXPECT_TRUE(cls == kSynthClass && instance == clone->GetInstanceGuid());
    EXPECT_EQ(E_INVALIDARG, dup->GetSynthIds(1, &cls, nullptr));
    EXPECT_EQ(E_POINTER, dup->GetSynthIds(0, nullptr, nullptr));
}

TEST_F(ChannelTest, ASynthWithoutPlugInIsReportedAndAFailedOneFailsTheCreation)
{
    doc->factoryResult = S_FALSE;
    CChannel* c = Make(1, &kSynthClass, "Strings");
    ASSERT_NE(nullptr, c);
    EXPECT_EQ(1, c->GetSynthCount());
    EXPECT_EQ((std::vector<std::string>{"An Error Occured Creating Strings"}), doc->messages);

    doc->factoryResult = E_OUTOFMEMORY;
    CChannel* failed = reinterpret_cast<CChannel*>(1);
    EXPECT_EQ(E_OUTOFMEMORY, CChannel::Create(doc.get(), 2, &kSynthClass, "Strings", &failed));
    EXPECT_EQ(nullptr, failed);
}

// ---- Parameters ----

TEST_F(ChannelTest, OwnsSixtyFourParametersPerOutputNamedByOutput)
{
    CChannel* two = Make(1, &kSynthClass, "Piano", 2);
    CChannel* one = Make(2, &kSynthClass, "Piano", 1);
    EXPECT_EQ(0u, two->GetFirstChannelId());
    struct Case {
        DWORD id;
        const char* name;
        DWORD automatable;
    };
    const Case cases[] = {
        {0, "Invert", 0},
        {1, "Volume", 1},
        {4, "Pan", 0},
        {5, "Mute", 1},
        {7, "Solo Mute", 0},
        {8, "Aux1 Send Invert", 0},
        {9, "Aux1 Send Volume", 1},
        {39, "Aux4 Send Solo Mute", 0},
        {40, "Enable Aux 1", 0},
        {43, "Enable Aux 4", 0},
        {44, "Solo", 0},
        {45, "Pad", 0},
        {63, "Pad", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        EXPECT_EQ(c.name, NameOf(one, c.id));
        DWORD automatable = 9;
        EXPECT_EQ(S_OK, one->IsParamAutomatable(c.id, &automatable));
        EXPECT_EQ(c.automatable, automatable);
        EXPECT_TRUE(one->IsChannelParam(c.id));
        // With two outputs every id past the group's first names its output.
        const std::string suffix = c.id == 0 ? "" : "(Out 1)";
        EXPECT_EQ(c.name + suffix, NameOf(two, c.id));
        EXPECT_EQ(c.name + std::string("(Out 2)"), NameOf(two, 64 + c.id));
    }
    EXPECT_FALSE(one->HasParam(64));
    EXPECT_FALSE(two->HasParam(128));
    EXPECT_EQ(E_INVALIDARG, two->ApplyParam(45, 1.0f, 0));
    EXPECT_EQ(E_INVALIDARG, two->SetParamValueFromUser(1000, 0.5));

    CString group;
    EXPECT_EQ(S_OK, two->GetGroupName(&group, {kChannelGroupClass, GUID_NULL}));
    EXPECT_EQ("Track", std::string(group.GetString()));
    EXPECT_EQ("Piano", std::string(two->GetDisplayName().GetString()));
    two->SetDisplayName("Lead");
    EXPECT_EQ("Lead", std::string(two->GetDisplayName().GetString()));
    EXPECT_EQ("Track Name", std::string(Make(3, &CLSID_NoSynth)->GetDisplayName().GetString()));
}

TEST_F(ChannelTest, FormatsValuesByTheVolumePanIndex)
{
    CChannel* c = Make(1, &kSynthClass);
    struct Case {
        DWORD id;
        float value;
        const char* text;
    };
    const Case cases[] = {
        {5, 1.0f, "On"},          // Mute
        {5, 0.2f, "Off"},
        {44, 0.5f, "On"},         // Solo reads as Mute
        {13, 1.0f, "On"},         // aux 1's Mute
        {6, 1.0f, "On"},          // a boolean
        {2, 0.5f, "50%"},         // Width
        {4, 0.5f, "C"},           // Pan, centred
        {40, 0.25f, "25%"},       // an aux enable reads as its index 0
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(k.id);
        CString text;
        ASSERT_EQ(S_OK, c->FormatValue(k.id, k.value, &text));
        EXPECT_EQ(k.text, std::string(text.GetString()));
    }
    CString text;
    ASSERT_EQ(S_OK, c->FormatValue(3, 1.0f, &text));  // Spread, 90 degrees
    EXPECT_EQ("90\u00BA", std::string(text.GetString()));
    ASSERT_EQ(S_OK, c->FormatValue(1, 0.0f, &text));  // Volume at the bottom
    EXPECT_EQ(std::string::npos, std::string(text.GetString()).find("dB"));
    ASSERT_EQ(S_OK, c->FormatValue(1, 101.0f / 127.0f, &text));
    EXPECT_NE(std::string::npos, std::string(text.GetString()).find("dB"));
    EXPECT_EQ(E_INVALIDARG, c->FormatValue(4000, 0.5f, &text));
}

TEST_F(ChannelTest, ParametersReachTheBranchFiltersUnlessTheEditorTouchesThem)
{
    CChannel* c = Insert(Make(7, &kSynthClass));
    IBaseFilter* volPan = c->GetOutputBranch(0)->GetVolPan();
    ASSERT_NE(nullptr, volPan);

    ASSERT_EQ(S_OK, c->SetParamValue(4, 0.25f));  // Pan -1..1
    EXPECT_FLOAT_EQ(-0.5f, ParamOf(volPan, 4));
    ASSERT_EQ(S_OK, c->SetParamValue(9, 0.75f));  // aux 1's volume
    EXPECT_FLOAT_EQ(0.75f, ParamOf(c->GetOutputBranch(0)->GetAuxSend(0), 1));

    const int before = doc->muteInvalidations;
    ASSERT_EQ(S_OK, c->SetOutputMute(0, TRUE));
    EXPECT_TRUE(c->IsOutputMuted(0));
    EXPECT_FLOAT_EQ(1.0f, ParamOf(volPan, 5));
    EXPECT_EQ(before + 1, doc->muteInvalidations);
    EXPECT_EQ(E_INVALIDARG, c->SetOutputMute(1, TRUE));

    // The plug-in editor's touch: stored, not applied.
    ASSERT_EQ(S_OK, c->BeginTouch(1, CControlParamSet::kTouchPlugInEditor));
    const float volume = ParamOf(volPan, 1);
    ASSERT_EQ(S_FALSE, c->SetParamValue(1, 0.3f));
    float stored = 0.0f;
    c->GetParamValue(1, &stored);
    EXPECT_FLOAT_EQ(0.3f, stored);
    EXPECT_FLOAT_EQ(volume, ParamOf(volPan, 1));
    ASSERT_EQ(S_OK, c->EndTouch(1, CControlParamSet::kTouchPlugInEditor));
    EXPECT_EQ((std::vector<std::string>{"begin 1 7", "set 7 1 0.300000", "end 1 7"}), doc->log);

    // Aux enables switch at one half.
    ASSERT_EQ(S_OK, c->SetParamValue(41, 0.49f));
    EXPECT_FALSE(c->IsAuxSendEnabled(0, 1));
    ASSERT_EQ(S_OK, c->SetParamValue(41, 0.5f));
    EXPECT_TRUE(c->IsAuxSendEnabled(0, 1));

    doc->log.clear();
    ASSERT_EQ(S_OK, c->SetParamValueFromUser(1, 0.5));
    ASSERT_EQ(S_OK, c->SetParamValueFromUser(0, 1.0));  // Invert: not automatable
    EXPECT_EQ((std::vector<std::string>{"record 1 7"}), doc->log);
    doc->recordResult = E_FAIL;
    EXPECT_EQ(E_FAIL, c->SetParamValueFromUser(2, 0.5));
}

TEST_F(ChannelTest, SoloSilencesEveryOutputThatIsNotSoloed)
{
    CChannel* a = Insert(Make(7, &kSynthClass, "A", 1));
    CChannel* b = Insert(Make(8, &kSynthClass, "B", 2));
    auto gains = [&] {
        return std::vector<float>{ParamOf(a->GetOutputBranch(0)->GetVolPan(), 7),
                                  ParamOf(b->GetOutputBranch(0)->GetVolPan(), 7),
                                  ParamOf(b->GetOutputBranch(1)->GetVolPan(), 7)};
    };
    ASSERT_EQ(S_OK, a->SetOutputSolo(0, TRUE));
    EXPECT_TRUE(a->IsOutputSoloed(0));
    EXPECT_EQ((std::vector<float>{0.0f, 1.0f, 1.0f}), gains());
    ASSERT_EQ(S_OK, b->SetParamValue(64 + 44, 1.0f));
    EXPECT_EQ((std::vector<float>{0.0f, 1.0f, 0.0f}), gains());
    ASSERT_EQ(S_OK, a->SetOutputSolo(0, FALSE));
    ASSERT_EQ(S_OK, b->SetOutputSolo(1, FALSE));
    EXPECT_EQ((std::vector<float>{0.0f, 0.0f, 0.0f}), gains());
    EXPECT_FALSE(a->IsOutputSoloed(5));
    EXPECT_EQ(S_OK, a->SetOutputSolo(5, TRUE));
}

TEST_F(ChannelTest, AControllerParameterGoesToTheSynthAsAControllerMessage)
{
    CChannel* c = Insert(Make(7, &kSynthClass));
    ISynthWrap* synth = c->GetSynthWrap(0);
    DWORD id = 0;
    ASSERT_EQ(S_OK, c->GetGroupParamIndex({synth->GetClsid(), synth->GetInstanceGuid()}, 0, &id));
    EXPECT_TRUE(c->IsSynthParam(id));
    EXPECT_FALSE(c->IsChannelParam(id));
    c->SetMidiChannel(3);
    ASSERT_EQ(S_OK, c->SetParamValue(id, 1.0f));
    int count = 0;
    c->GetLiveQueue(FALSE)->GetCount(&count);
    ASSERT_EQ(1, count);
    MfxData sent{};
    c->GetLiveQueue(FALSE)->GetAt(0, &sent);
    EXPECT_EQ(0xB3u | 7u << 8 | 127u << 16, sent.m_dw2);
    CString group;
    EXPECT_EQ(S_OK, c->GetGroupName(&group, {synth->GetClsid(), synth->GetInstanceGuid()}));
    EXPECT_EQ("Piano", std::string(group.GetString()));
}

// ---- Graph ----

TEST_F(ChannelTest, PlaysTheSynthThroughItsBranchToTheMaster)
{
    CChannel* c = Insert(Make(7, &kSynthClass));
    doc->mixer.nextGain = 0.5f;
    ASSERT_EQ(S_OK, c->GetOutputBranch(0)->GetChain().InsertFxByClsid(0, kFxClass, "Half"));
    ASSERT_EQ(S_OK, Rebuild(c));
    EXPECT_FALSE(c->IsGraphChanged());
    const Topology t = Describe(graph);
    for (const char* f : {"Chan7 DXi", "Container7 MSMain", "Container7 Fx0", "Chan7 VolPan", "Chan7 AuxTee"})
        EXPECT_TRUE(t.filters.count(f)) << f;
    for (const std::string& e : {Edge("src", 0, "Chan7 DXi", 0), Edge("Chan7 DXi", 0, "Container7 MSMain", 0),
                                 Edge("Container7 MSFinal", 0, "Chan7 VolPan", 0),
                                 Edge("Chan7 VolPan", 0, "Chan7 AuxTee", 0), Edge("Chan7 AuxTee", 0, "MainMix", 0)})
        EXPECT_TRUE(t.edges.count(e)) << e;

    const std::vector<float> block = Constant(blockFrames, 0.5f, -0.25f);
    EXPECT_EQ(Constant(blockFrames, 0.25f, -0.125f), Play(block));

    ASSERT_EQ(S_OK, c->SetOutputMute(0, TRUE));
    Play(block);  // the change glides across one block
    EXPECT_EQ(Constant(blockFrames, 0.0f, 0.0f), Play(block));
    ASSERT_EQ(S_OK, c->SetOutputMute(0, FALSE));
    Play(block);
    EXPECT_EQ(Constant(blockFrames, 0.25f, -0.125f), Play(block));
}

TEST_F(ChannelTest, AFailedSynthConnectionIsReportedByTheSynthsName)
{
    CChannel* c = Insert(Make(7, &kSynthClass, "Organ"));
    // The source is taken: the synth cannot be fed.
    ASSERT_EQ(S_OK, graph->Connect(source, 0, renderer, 0, nullptr));
    graph->Stop();
    doc->mixer.mainIn = mixer->GetFreeInputPin();
    ASSERT_EQ(S_OK, c->RemoveFromGraph());
    ASSERT_EQ(S_OK, c->AddToGraph());
    EXPECT_TRUE(FAILED(c->ConnectInGraph()));
    EXPECT_EQ((std::vector<std::string>{"Organ Failed to Connect"}), doc->mixer.errors);
    EXPECT_FALSE(static_cast<ChannelSynth*>(c->GetSynthWrap(0))->connected);
    EXPECT_TRUE(c->IsGraphChanged());

    doc->source = nullptr;
    EXPECT_EQ(E_FAIL, c->ConnectInGraph());
}

// ---- Synth replacement ----

TEST_F(ChannelTest, ChangingTheSynthFollowsItsOutputsAndIsUndone)
{
    CChannel* c = Insert(Make(7, &kSynthClass, "Piano", 1));
    doc->nextOutputs = 3;
    ASSERT_EQ(S_OK, c->ChangeSynth(&kSynthClass, "Strings"));
    EXPECT_EQ("Set Track 1 Synth to Strings", std::string(CUndoHistory::Instance().GetCommandName(0)));
    EXPECT_EQ("Strings", std::string(c->GetSynthWrap(0)->GetDisplayName().GetString()));
    EXPECT_EQ(3, c->GetOutputCount());
    EXPECT_TRUE(c->HasParam(2 * 64 + 44));
    for (int n = 0; n < 3; ++n)
        EXPECT_TRUE(c->GetOutputBranch(n)->IsBuilt());

    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ("Piano", std::string(c->GetSynthWrap(0)->GetDisplayName().GetString()));
    EXPECT_EQ(1, c->GetOutputCount());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Redo());
    EXPECT_EQ("Strings", std::string(c->GetSynthWrap(0)->GetDisplayName().GetString()));
    EXPECT_EQ(3, c->GetOutputCount());

    doc->factoryResult = E_FAIL;
    EXPECT_EQ(E_FAIL, c->ChangeSynth(&kSynthClass, "Brass"));
    EXPECT_EQ("Strings", std::string(c->GetSynthWrap(0)->GetDisplayName().GetString()));
    EXPECT_EQ(E_INVALIDARG, c->ChangeSynth(nullptr, "x"));
}

// ---- Saved form ----

TEST_F(ChannelTest, SavesAndLoadsItsChunks)
{
    CChannel* c = Insert(Make(7, &kSynthClass, "Piano", 2));
    doc->mixer.nextGain = 0.5f;
    ASSERT_EQ(S_OK, c->GetOutputBranch(1)->GetChain().InsertFxByClsid(0, kFxClass, "Half"));
    ASSERT_EQ(S_OK, c->SetParamValue(1, 0.3f));
    ASSERT_EQ(S_OK, c->SetParamValue(64 + 1, 0.6f));
    ASSERT_EQ(S_OK, c->SetParamValue(64 + 42, 1.0f));
    ASSERT_EQ(S_OK, c->SetCurrentOutput(1));
    c->SetKeyRange(10, 100);
    c->SetVelocityRange(5, 120);
    c->SetInputTranspose(-12);
    c->SetArmed(1);
    c->SetInputPort(3);
    c->SetInputChannelMask(0x00F0);
    c->SetMidiChannel(9);
    const std::vector<std::uint8_t> bytes = Saved(c);

    CChannel* l = Loaded(bytes, 8);
    ASSERT_EQ(1, l->GetSynthCount());
    EXPECT_EQ("Piano", std::string(l->GetSynthWrap(0)->GetDisplayName().GetString()));
    EXPECT_TRUE(doc->made.back() == CLSID_NoSynth);
    ASSERT_EQ(2, l->GetOutputCount());
    EXPECT_EQ(1, l->GetCurrentOutput());
    EXPECT_EQ(1, l->GetOutputBranch(1)->GetChain().GetCount());
    EXPECT_TRUE(l->IsAuxSendEnabled(1, 2));
    float v = 0.0f;
    l->GetParamValue(1, &v);
    EXPECT_FLOAT_EQ(0.3f, v);
    l->GetParamValue(64 + 1, &v);
    EXPECT_FLOAT_EQ(0.6f, v);
    EXPECT_FLOAT_EQ(0.6f, ParamOf(l->GetOutputBranch(1)->GetVolPan(), 1));
    WORD low = 0, high = 0;
    l->GetKeyRange(&low, &high);
    EXPECT_EQ((std::pair<WORD, WORD>{10, 100}), std::make_pair(low, high));
    l->GetVelocityRange(&low, &high);
    EXPECT_EQ((std::pair<WORD, WORD>{5, 120}), std::make_pair(low, high));
    EXPECT_EQ(-12, l->GetInputTranspose());
    EXPECT_EQ(1u, l->IsArmed());
    EXPECT_EQ(3u, l->GetInputPort());
    EXPECT_EQ(0x00F0, l->GetInputChannelMask());
    EXPECT_EQ(9, l->GetMidiChannel());
    EXPECT_EQ(bytes, Saved(l));
}

TEST_F(ChannelTest, AChannelWithoutSynthRoundTrips)
{
    CChannel* c = Insert(Make(7, &CLSID_NoSynth));
    ASSERT_EQ(S_OK, c->SetParamValue(1, 0.4f));
    const std::vector<std::uint8_t> bytes = Saved(c);
    doc->made.clear();
    CChannel* l = Loaded(bytes, 8);
    EXPECT_EQ(0, l->GetSynthCount());
    EXPECT_EQ(1, l->GetOutputCount());
    EXPECT_TRUE(doc->made.empty());
    float v = 0.0f;
    l->GetParamValue(1, &v);
    EXPECT_FLOAT_EQ(0.4f, v);
    EXPECT_EQ(bytes, Saved(l));
}

TEST_F(ChannelTest, OutputsSavedBeyondTheSynthsAreReadAndDropped)
{
    CChannel* c = Insert(Make(7, &kSynthClass, "Piano", 6));
    ASSERT_EQ(S_OK, c->GetOutputBranch(4)->GetChain().InsertFxByClsid(0, kFxClass, "Fx"));
    ASSERT_EQ(S_OK, c->SetCurrentOutput(5));
    ASSERT_EQ(S_OK, c->SetParamValue(64 + 1, 0.6f));
    const std::vector<std::uint8_t> bytes = Saved(c);
    doc->loadOutputs = 2;
    CChannel* l = Loaded(bytes, 8);
    EXPECT_EQ(2, l->GetOutputCount());
    EXPECT_EQ(1, l->GetCurrentOutput());
    float v = 0.0f;
    l->GetParamValue(64 + 1, &v);
    EXPECT_FLOAT_EQ(0.6f, v);
    EXPECT_FALSE(l->HasParam(2 * 64 + 1));
}

TEST_F(ChannelTest, BrokenChunksFailTheLoad)
{
    CChannel* c = Insert(Make(7, &kSynthClass));
    std::vector<std::uint8_t> bytes = Saved(c);
    for (std::size_t cut : {bytes.size() - 1, bytes.size() / 2, std::size_t{40}}) {
        SCOPED_TRACE(cut);
        std::vector<std::uint8_t> part(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(cut));
        CChannel* l = Make(8, &CLSID_NoSynth);
        mvcom::CComPtr<IStream> stream = chunktest::StreamOf(part);
        EXPECT_TRUE(FAILED(static_cast<IPersistStreamInit*>(l)->Load(stream.Get())));
    }
    chunktest::Bytes other;
    other.U32(0);
    CChannel* l = Make(9, &CLSID_NoSynth);
    mvcom::CComPtr<IStream> stream = chunktest::StreamOf(other.AsChunk(MakeKelVersionWord(CChannel::kMajor, 5)));
    EXPECT_TRUE(FAILED(static_cast<IPersistStreamInit*>(l)->Load(stream.Get())));
}

// ---- Timeline ----

TEST_F(ChannelTest, LoopClipInstancesAreRegisteredAlsoAfterALoad)
{
    ClipHost host(&engine.pool);
    doc->nextClipHost = &host;
    CChannel* c = Insert(Make(7, &kSynthClass));
    CPattern* clip = nullptr;
    ASSERT_EQ(S_OK, CreatePattern(3, &clip, CPattern::kKindLoopClip));
    pattest::PatternPtr holder(clip);
    clip->SetDuration(1920);
    song.patterns[3] = clip;
    engine.pool.Add(clip->GetClipId());
    pattest::PatternPtr midi = pattest::MakePattern(4, 1920);
    song.patterns[4] = midi.get();

    const CPatternInstance loop = pattest::Placed(clip, 0, 1920);
    const CPatternInstance notes = pattest::Placed(midi.get(), 0, 960);
    ASSERT_EQ(S_OK, c->AddPatternInstance(loop, FALSE, nullptr));
    ASSERT_EQ(S_OK, c->AddPatternInstance(notes, FALSE, nullptr));
    const std::string reg = "register " + std::to_string(loop.GetInstanceId()) + " mode 1";
    EXPECT_EQ((std::vector<std::string>{reg}), host.log);

    ASSERT_EQ(S_OK, c->SelectPatternInstance(notes.GetInstanceId(), TRUE));
    std::vector<std::pair<DWORD, WORD>> selected;
    ASSERT_EQ(S_OK, c->CollectSelectedInstances(&selected));
    EXPECT_EQ((std::vector<std::pair<DWORD, WORD>>{{notes.GetInstanceId(), 7}}), selected);

    const std::vector<std::uint8_t> bytes = Saved(c);
    // A fresh session: the pool keeps no clip for the instance yet.
    engine.pool.clips.erase(loop.GetInstanceId());
    host.log.clear();
    CChannel* l = Loaded(bytes, 8);
    ASSERT_EQ(2, l->GetTimeline().GetSize());
    ASSERT_FALSE(host.log.empty());
    EXPECT_EQ(reg, host.log.front());

    host.log.clear();
    ASSERT_EQ(S_OK, c->DeletePatternInstance(loop.GetInstanceId(), FALSE, nullptr));
    EXPECT_EQ((std::vector<std::string>{"unregister " + std::to_string(loop.GetInstanceId())}), host.log);
    EXPECT_EQ(1, std::count(c->GetClipsToStop().begin(), c->GetClipsToStop().end(), clip->GetClipId()));
    EXPECT_TRUE(c->NeedsClipStates());
    ASSERT_EQ(S_OK, c->DeletePatternInstance(notes.GetInstanceId(), FALSE, nullptr));
    EXPECT_EQ(1u, c->GetClipsToStop().size());

    // The channels go before the patterns their instances point to.
    for (CChannel*& ch : made) {
        ch->OnRemovedFromDocument();
        doc->mixer.FlushKept();
        CChannel::Destroy(ch);
    }
}

}  // namespace

namespace {

// ---- Playback members, locate and previews ----

TEST_F(ChannelTest, PreviewsPlayEndlesslyAndRegisterTheirClipsForPreview)
{
    ClipHost host(&engine.pool);
    doc->nextClipHost = &host;
    CChannel* c = Insert(Make(7, &kSynthClass));
    ASSERT_NE(nullptr, c->GetAutomationPattern());
    EXPECT_EQ("Automation", std::string(c->GetAutomationPattern()->GetName().GetString()));
    EXPECT_EQ(CPattern::kEndless, c->GetAutomationPattern()->GetDuration());

    CPattern* clip = nullptr;
    ASSERT_EQ(S_OK, CreatePattern(3, &clip, CPattern::kKindLoopClip));
    pattest::PatternPtr clipHolder(clip);
    clip->SetDuration(1920);
    song.patterns[3] = clip;
    engine.pool.Add(clip->GetClipId());
    pattest::PatternPtr midi = pattest::MakePattern(4, 960, {pattest::Note(0, 60), pattest::Note(480, 62)});
    song.patterns[4] = midi.get();
    const CPatternInstance placed = pattest::Placed(midi.get(), 1920, 2880, 480);
    ASSERT_EQ(S_OK, c->AddPatternInstance(placed, FALSE, nullptr));
    host.log.clear();

    ASSERT_EQ(S_OK, c->PreviewPattern(clip));
    ASSERT_EQ(S_OK, c->PreviewPatternInstance(placed.GetInstanceId()));
    EXPECT_EQ(E_UNEXPECTED, c->PreviewPatternInstance(12345));
    ASSERT_EQ(2, c->GetPreviewCount());
    const CPatternInstance* first = c->GetPreview(0);
    const CPatternInstance* copy = c->GetPreview(1);
    EXPECT_EQ((std::vector<std::string>{"register " + std::to_string(first->GetInstanceId()) + " mode 2"}), host.log);
    EXPECT_NE(placed.GetInstanceId(), copy->GetInstanceId());
    for (const CPatternInstance* p : {first, copy}) {
        EXPECT_EQ(0, p->GetStart());
        EXPECT_EQ(CPatternInstance::kOpenEnd, p->GetEnd());
        EXPECT_EQ(0, p->GetOffset());
    }

    {
        const mv::ScopedThreadRole audio(mv::ThreadRole::Audio);
        EXPECT_TRUE(SUCCEEDED(c->OnLocate(2000)));
    }
    CPatternInstance* inTimeline = nullptr;
    ASSERT_EQ(S_OK, c->GetPatternInstance(placed.GetInstanceId(), &inTimeline));
    EXPECT_NE(CPatternInstance::kInvalidCursor, inTimeline->GetCursor());
    EXPECT_NE(CPatternInstance::kInvalidCursor, c->GetPreview(1)->GetCursor());

    host.log.clear();
    const DWORD clipPreview = first->GetInstanceId();
    ASSERT_EQ(S_OK, c->StopPreviews());
    EXPECT_EQ(0, c->GetPreviewCount());
    EXPECT_EQ((std::vector<std::string>{"unregister " + std::to_string(clipPreview)}), host.log);

    for (CChannel*& ch : made) {
        ch->OnRemovedFromDocument();
        doc->mixer.FlushKept();
        CChannel::Destroy(ch);
    }
}

TEST_F(ChannelTest, PlaybackMembersAreReleasedOnce)
{
    CChannel* c = Make(7, &CLSID_NoSynth);
    EXPECT_EQ(S_FALSE, c->InitPlayback());
    EXPECT_EQ(S_OK, c->ReleasePlayback());
    EXPECT_EQ(nullptr, c->GetAutomationPattern());
    EXPECT_EQ(E_UNEXPECTED, c->ReleasePlayback());
    // A channel saved without automation pattern writes the empty chunk and
    // loads it back without one.
    const std::vector<std::uint8_t> bytes = Saved(c);
    CChannel* l = Loaded(bytes, 8);
    EXPECT_NE(nullptr, l->GetAutomationPattern());
    EXPECT_EQ(S_OK, l->ReleasePlayback());
    EXPECT_EQ(bytes, Saved(l));
}

}  // namespace
