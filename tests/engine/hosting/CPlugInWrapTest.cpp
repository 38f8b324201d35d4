// The plug-in wrappers with real plug-ins: the sine test instrument
// registered with regsvr and created by class identifier, and plug-ins
// that cannot load (not installed, a library without entry points, a path
// that leads nowhere). A project's wrapper chunk survives a missing
// plug-in byte for byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "engine/graph/CNullSynth.h"
#include "engine/hosting/CFxWrap.h"
#include "engine/hosting/CSynthWrap.h"
#include "model/PersistBytes.h"
#include "platform/com/ComRuntime.h"
#include "platform/com/ComStream.h"
#include "platform/registry/Registry.h"
#include "platform/win/Guid.h"
#include "tests/engine/graph/AudioGraphFixture.h"
#include "tests/engine/hosting/PlugInRegistry.h"
#include "tests/plugins/synthframework/FakeHost.h"
#include "tests/plugins/synthframework/sine/SineSynthClass.h"
#include "tests/support/TempRegistry.h"

namespace {

constexpr GUID kNotInstalled = {0x0BADC0DE, 1, 2, {3, 4, 5, 6, 7, 8, 9, 10}};
constexpr GUID kWrongPath = {0x0BADC0DE, 1, 2, {3, 4, 5, 6, 7, 8, 9, 11}};
constexpr GUID kEntryless = {0x0BADC0DE, 1, 2, {3, 4, 5, 6, 7, 8, 9, 12}};

int Regsvr(const std::string& args)
{
    const std::string command = std::string("'") + MVTEST_REGSVR + "' " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    mvreg::ReloadHives();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<BYTE> SaveBytes(IPersistStreamInit* object) { return mvpersist::SaveToBytes(object); }

HRESULT LoadBytes(IPersistStreamInit* object, const std::vector<BYTE>& bytes)
{
    return mvpersist::LoadFromBytes(object, bytes.data(), bytes.size());
}

struct PlugInWrap : mvtest::AudioGraphFixture {
    void SetUp() override
    {
        AudioGraphFixture::SetUp();
        CFilterWrap::ClearFailedPlugIns();
        ASSERT_EQ(0, Regsvr(std::string("'") + MVTEST_SINE_SERVER + "'"));
        // Installed by hand: a library without entry points, a path that
        // leads nowhere.
        mvtest::WriteString(HKEY_CLASSES_ROOT, "CLSID\\" + mvwin::GuidToString(kEntryless) + "\\InprocServer32",
                            nullptr, MVTEST_ENTRYLESS_SERVER);
        mvtest::WriteString(HKEY_CLASSES_ROOT, "CLSID\\" + mvwin::GuidToString(kWrongPath) + "\\InprocServer32",
                            nullptr, "/nonexistent/plugin.so");
    }
    void TearDown() override
    {
        CFilterWrap::ClearFailedPlugIns();
        AudioGraphFixture::TearDown();
        CoFreeUnusedLibraries();
    }
    mvtest::TempRegistry registry;
    mvtest::FakeHost host;
};

TEST_F(PlugInWrap, TheSineInstrumentIsMadeNamedConnectedAndItsStateKept)
{
    CSynthWrap* wrap = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Create(&mvtest::CLSID_SineSynth, "Sine", graph,
                                       static_cast<mvsynth::IMfxTempoMap*>(&host), &wrap));
    ASSERT_NE(nullptr, wrap->GetFilter());
    EXPECT_NE(nullptr, wrap->SoftSynth()) << "a soft synth is connected to the host";
    EXPECT_EQ(1u, wrap->GetOutputPinCount());
    EXPECT_NE(nullptr, wrap->GetInputPin());
    EXPECT_NE(GUID_NULL, wrap->GetInstanceGuid());
    EXPECT_STREQ("Sine", wrap->GetDisplayName().GetString());
    ASSERT_EQ(S_OK, wrap->SetChannelBank(3, 200));
    ASSERT_EQ(S_OK, wrap->SetChannelPatch(3, 12));

    const std::vector<BYTE> saved = SaveBytes(wrap);
    CSynthWrap* again = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Create(&CLSID_NoSynth, "", graph, static_cast<mvsynth::IMfxTempoMap*>(&host), &again));
    ASSERT_NE(nullptr, again);
    ASSERT_EQ(S_OK, LoadBytes(again, saved));
    EXPECT_EQ(mvtest::CLSID_SineSynth, again->GetClsid());
    EXPECT_EQ(wrap->GetInstanceGuid(), again->GetInstanceGuid());
    EXPECT_NE(nullptr, again->GetFilter());
    EXPECT_FALSE(again->IsPlaceholderFlag());
    LONG bank = 0;
    int patch = 0;
    again->GetChannelBank(3, &bank);
    again->GetChannelPatch(3, &patch);
    EXPECT_EQ(200, bank);
    EXPECT_EQ(12, patch);
    EXPECT_EQ(saved, SaveBytes(again)) << "a loaded wrapper saves what it loaded";
    CSynthWrap* clone = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Clone(wrap, &clone));
    EXPECT_EQ(mvtest::CLSID_SineSynth, clone->GetClsid());
    EXPECT_NE(wrap->GetInstanceGuid(), clone->GetInstanceGuid());
    EXPECT_NE(nullptr, clone->GetFilter());
    EXPECT_STREQ("Sine", clone->GetDisplayName().GetString());
    DestroyPlugInWrap(static_cast<ISynthWrap*>(clone));
    DestroyPlugInWrap(static_cast<ISynthWrap*>(again));
    DestroyPlugInWrap(static_cast<ISynthWrap*>(wrap));
}

// The wrapper's plug-in in the graph: a note sent to the synth it
// connected sounds from the sample its tick falls on.
TEST_F(PlugInWrap, TheWrappedInstrumentPlaysANoteFromItsSample)
{
    constexpr int kRate = 44100;
    blockFrames = 2048;
    ASSERT_EQ(S_OK, graph->SetSampleRate(kRate));
    graph->SetBlockFrames(blockFrames);
    CSynthWrap* wrap = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Create(&mvtest::CLSID_SineSynth, "Sine", graph,
                                       static_cast<mvsynth::IMfxTempoMap*>(&host), &wrap));
    IBaseFilter* synth = wrap->GetFilter();
    synth->AddRef();
    Keep(synth, u"Sine");
    CDxSource* src = MakeSource(2);
    mvtest::RecordingSink* sink = MakeSink();
    ASSERT_EQ(S_OK, graph->Connect(src, 0, synth, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Connect(synth, 0, sink, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Run());
    ASSERT_EQ(S_OK, wrap->SoftSynth()->Start(0));
    mvsynth::IMfxSoftSynth2* soft = nullptr;
    ASSERT_EQ(S_OK, synth->QueryInterface(mvsynth::IID_IMfxSoftSynth2, reinterpret_cast<void**>(&soft)));
    mvtest::FakeMidiQueue midi;
    midi.Message(48, 0x90, 69, 100);  // tick 48 at 120 BPM: 25 ms, sample 1102
    ASSERT_EQ(S_OK, soft->SendMidi(1, &midi));
    soft->Release();
    const std::vector<float> silence(static_cast<std::size_t>(blockFrames) * 2, 0.0f);
    ASSERT_EQ(S_OK, src->PushBuffer(0, silence.data(), blockFrames, FALSE));
    ASSERT_FALSE(sink->blocks.empty());
    const std::vector<float>& out = sink->Last().data;
    const double amp = 100.0 / 127.0;
    for (int k = 0; k < blockFrames; ++k) {
        const double w = 2 * std::numbers::pi * 440.0 / kRate;
        const float expected = k < 1102 ? 0.0f : static_cast<float>(amp * std::sin(w * (k - 1102)));
        ASSERT_NEAR(expected, out[2 * k], 1e-5) << "frame " << k;
    }
    ASSERT_EQ(S_OK, graph->Stop());
    DestroyPlugInWrap(static_cast<ISynthWrap*>(wrap));
}

TEST_F(PlugInWrap, AMissingPlugInLoadsAsItsPlaceholderAndSavesBackUnchanged)
{
    CSynthWrap* wrap = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Create(&mvtest::CLSID_SineSynth, "Sine", graph,
                                       static_cast<mvsynth::IMfxTempoMap*>(&host), &wrap));
    const std::vector<BYTE> saved = SaveBytes(wrap);
    DestroyPlugInWrap(static_cast<ISynthWrap*>(wrap));
    CoFreeUnusedLibraries();
    ASSERT_EQ(0, Regsvr(std::string("/u '") + MVTEST_SINE_SERVER + "'"));  // no longer installed

    CSynthWrap* loaded = nullptr;
    CSynthWrap::Create(&CLSID_NoSynth, "", graph, static_cast<mvsynth::IMfxTempoMap*>(&host), &loaded);
    ASSERT_NE(nullptr, loaded);
    ASSERT_EQ(S_OK, LoadBytes(loaded, saved));
    EXPECT_TRUE(loaded->IsPlaceholderFlag());
    EXPECT_STREQ("(Sine)", loaded->GetDisplayName().GetString());
    ASSERT_NE(nullptr, loaded->GetFilter()) << "the null synth plays in its place";
    EXPECT_EQ(mvtest::CLSID_SineSynth, loaded->GetClsid());
    bool any = false;
    std::vector<CString> names;
    std::vector<GUID> clsids;
    CFilterWrap::GetFailedPlugIns(&any, &names, &clsids);
    EXPECT_TRUE(any);
    ASSERT_EQ(1u, names.size());
    EXPECT_STREQ("Sine", names[0].GetString());
    EXPECT_EQ(mvtest::CLSID_SineSynth, clsids[0]);
    EXPECT_EQ(saved, SaveBytes(loaded)) << "nothing of the song is lost";

    // A class that failed is not tried again until the list is cleared.
    ASSERT_EQ(0, Regsvr(std::string("'") + MVTEST_SINE_SERVER + "'"));
    CSynthWrap* retry = nullptr;
    EXPECT_EQ(S_FALSE, CSynthWrap::Create(&mvtest::CLSID_SineSynth, "Sine", graph,
                                          static_cast<mvsynth::IMfxTempoMap*>(&host), &retry));
    DestroyPlugInWrap(static_cast<ISynthWrap*>(retry));
    CFilterWrap::ClearFailedPlugIns();
    EXPECT_EQ(S_OK, CSynthWrap::Create(&mvtest::CLSID_SineSynth, "Sine", graph,
                                       static_cast<mvsynth::IMfxTempoMap*>(&host), &retry));
    DestroyPlugInWrap(static_cast<ISynthWrap*>(retry));
    DestroyPlugInWrap(static_cast<ISynthWrap*>(loaded));
}

TEST_F(PlugInWrap, PlugInsThatCannotLoadGiveTheirErrorAndLeaveAWorkingChannel)
{
    struct Case {
        const char* name;
        GUID clsid;
    } cases[] = {
        {"not installed", kNotInstalled},
        {"wrong path", kWrongPath},
        {"no entry points", kEntryless},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CSynthWrap* synth = nullptr;
        EXPECT_EQ(S_FALSE, CSynthWrap::Create(&c.clsid, "Broken", graph, static_cast<mvsynth::IMfxTempoMap*>(&host),
                                              &synth))
            << "the channel gets the null synth";
        ASSERT_NE(nullptr, synth);
        EXPECT_EQ(CLSID_NullSynth, synth->GetClsid());
        EXPECT_NE(nullptr, synth->GetFilter());
        EXPECT_STREQ("", synth->GetDisplayName().GetString());
        DestroyPlugInWrap(static_cast<ISynthWrap*>(synth));

        CFxWrap* fx = reinterpret_cast<CFxWrap*>(1);
        EXPECT_TRUE(FAILED(CFxWrap::Create(&c.clsid, "Broken", graph, static_cast<mvsynth::IMfxTempoMap*>(&host), &fx)));
        EXPECT_EQ(nullptr, fx) << "an effect that cannot be made is no wrapper";
    }
}

// A state size read from a file is held against what its chunk still
// holds before anything is allocated; a cut chunk is an error, not S_OK.
TEST_F(PlugInWrap, ADamagedChunkIsRefusedBeforeItsStateIsAllocated)
{
    CSynthWrap* wrap = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Create(&CLSID_NullSynth, "Null", graph, static_cast<mvsynth::IMfxTempoMap*>(&host),
                                       &wrap));
    std::vector<BYTE> bytes = SaveBytes(wrap);
    // Chunk header, then name, preset, pin count, three reserved words,
    // class and instance: the state size follows.
    const std::size_t sizeAt = 12 + 120 + 120 + 4 + 12 + 16 + 16;
    ASSERT_GT(bytes.size(), sizeAt + 4);
    std::vector<BYTE> huge = bytes;
    const DWORD claim = 0x7FFFFFF0;
    std::memcpy(huge.data() + sizeAt, &claim, 4);
    CSynthWrap* loaded = nullptr;
    CSynthWrap::Create(&CLSID_NoSynth, "", graph, static_cast<mvsynth::IMfxTempoMap*>(&host), &loaded);
    EXPECT_TRUE(FAILED(LoadBytes(loaded, huge)));
    std::vector<BYTE> cut(bytes.begin(), bytes.end() - 10);  // the patches cut short
    const std::uint64_t length = cut.size();
    std::memcpy(cut.data(), &length, 8);
    EXPECT_TRUE(FAILED(LoadBytes(loaded, cut)));
    DestroyPlugInWrap(static_cast<ISynthWrap*>(loaded));
    DestroyPlugInWrap(static_cast<ISynthWrap*>(wrap));
}

TEST_F(PlugInWrap, BankAndPatchTextsComeFromTheSynthsNameLists)
{
    CSynthWrap* wrap = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Create(&mvtest::CLSID_SineSynth, "Sine", graph,
                                       static_cast<mvsynth::IMfxTempoMap*>(&host), &wrap));
    CString bank, patch;
    EXPECT_EQ(E_INVALIDARG, wrap->FormatBankPatch(16, &bank, &patch));
    EXPECT_EQ(E_INVALIDARG, wrap->FormatBankPatch(0, nullptr, nullptr));
    EXPECT_EQ(S_FALSE, wrap->FormatBankPatch(0, &bank, &patch)) << "no patch chosen";
    ASSERT_EQ(S_OK, wrap->SetChannelBank(0, -1));
    ASSERT_EQ(S_OK, wrap->SetChannelPatch(0, 12));
    EXPECT_TRUE(SUCCEEDED(wrap->FormatBankPatch(0, &bank, &patch)));
    EXPECT_EQ(0, std::strncmp(bank.GetString(), "4294967295-", 11)) << bank.GetString();
    const std::string p = patch.GetString();
    EXPECT_TRUE(p == "12 ---" || p.rfind("12-", 0) == 0) << p;
    DestroyPlugInWrap(static_cast<ISynthWrap*>(wrap));

    CSynthWrap* null = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Create(&CLSID_NullSynth, "Null", graph, static_cast<mvsynth::IMfxTempoMap*>(&host),
                                       &null));
    null->SetChannelPatch(0, 1);
    EXPECT_EQ(S_FALSE, null->FormatBankPatch(0, &bank, &patch)) << "no soft-synth interface";
    DestroyPlugInWrap(static_cast<ISynthWrap*>(null));
}

// The sine instrument lists one bank, 0, through its instrument; a synth
// without the soft-synth interface lists none.
TEST_F(PlugInWrap, TheBankListComesFromTheSynthsInstrument)
{
    CSynthWrap* wrap = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Create(&mvtest::CLSID_SineSynth, "Sine", graph,
                                       static_cast<mvsynth::IMfxTempoMap*>(&host), &wrap));
    std::vector<LONG> banks = {7, 8};
    EXPECT_EQ(E_POINTER, wrap->GetBankList(0, nullptr));
    ASSERT_EQ(S_OK, wrap->GetBankList(0, &banks));
    EXPECT_EQ((std::vector<LONG>{0}), banks);
    DestroyPlugInWrap(static_cast<ISynthWrap*>(wrap));

    CSynthWrap* null = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Create(&CLSID_NullSynth, "Null", graph, static_cast<mvsynth::IMfxTempoMap*>(&host),
                                       &null));
    EXPECT_EQ(E_FAIL, null->GetBankList(0, &banks));
    EXPECT_TRUE(banks.empty());
    DestroyPlugInWrap(static_cast<ISynthWrap*>(null));
}

TEST_F(PlugInWrap, BanksPatchesAndNames)
{
    const std::string longName(150, 'x');
    CSynthWrap* wrap = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Create(&CLSID_NullSynth, longName.c_str(), graph,
                                       static_cast<mvsynth::IMfxTempoMap*>(&host), &wrap));
    EXPECT_EQ(119u, std::strlen(wrap->GetName())) << "names are cut to 119 characters";
    EXPECT_EQ(E_INVALIDARG, wrap->SetChannelBank(16, 0));
    EXPECT_EQ(E_INVALIDARG, wrap->SetChannelBank(0, 16384));
    EXPECT_EQ(S_OK, wrap->SetChannelBank(0, -1));
    EXPECT_EQ(E_INVALIDARG, wrap->SetChannelPatch(0, 128));
    EXPECT_EQ(S_OK, wrap->SetChannelPatch(0, -1));
    int patch = 0;
    wrap->GetChannelPatch(0, &patch);
    EXPECT_EQ(-1, patch);
    DestroyPlugInWrap(static_cast<ISynthWrap*>(wrap));
}

TEST_F(PlugInWrap, ABypassedEffectClonesBypassedWithItsState)
{
    CFxWrap* fx = nullptr;
    ASSERT_EQ(S_OK, CFxWrap::Create(&mvtest::CLSID_SineSynth, "Sine Fx", graph,
                                    static_cast<mvsynth::IMfxTempoMap*>(&host), &fx));
    ASSERT_NE(nullptr, fx->GetSwitch());
    ASSERT_EQ(S_OK, fx->SetBypass(TRUE));
    IFxWrap* clone = nullptr;
    ASSERT_EQ(S_OK, fx->Clone(&clone));
    EXPECT_TRUE(clone->IsBypassed());
    EXPECT_EQ(fx->GetClsid(), clone->GetClsid());
    EXPECT_NE(fx->GetInstanceGuid(), clone->GetInstanceGuid()) << "a clone is an instance of its own";
    ASSERT_EQ(S_OK, fx->Unload());
    EXPECT_EQ(nullptr, fx->GetFilter());
    EXPECT_STREQ("Sine Fx", fx->GetDisplayName().GetString());
    ASSERT_EQ(S_OK, fx->Load());
    EXPECT_NE(nullptr, fx->GetFilter());
    DestroyPlugInWrap(clone);
    DestroyPlugInWrap(static_cast<IFxWrap*>(fx));
}

}  // namespace
