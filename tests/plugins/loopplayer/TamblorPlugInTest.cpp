// The loop player end to end: registered with regsvr into a registry of the
// test's own, created by class identifier, connected to a host and placed in
// the engine's graph where the metronome sits (between a push source and a
// recording sink), then driven through the host's own view of its interface
// in the metronome's order of calls. What comes out is the input plus the
// clicks on their beats.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <sys/wait.h>
#include <vector>

#include "PlayerHost.h"
#include "TamblorClass.h"
#include "engine/hosting/IMfxSoftSynth.h"
#include "engine/hosting/ITamblor.h"
#include "platform/com/ComRuntime.h"
#include "platform/registry/Registry.h"
#include "platform/win/Guid.h"
#include "tests/engine/graph/AudioGraphFixture.h"
#include "tests/support/TempRegistry.h"

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 1000;

int Regsvr(const std::string& args)
{
    const std::string command = std::string("'") + MVTEST_REGSVR + "' " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    mvreg::ReloadHives();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct TamblorGraph : mvtest::AudioGraphFixture {
    TamblorGraph() { blockFrames = kBlock; }

    void SetUp() override
    {
        AudioGraphFixture::SetUp();
        ASSERT_EQ(S_OK, graph->SetSampleRate(kRate));
        ASSERT_EQ(0, Regsvr(std::string("'") + MVTEST_TAMBLOR_SERVER + "'"));
        IBaseFilter* filter = nullptr;
        ASSERT_EQ(S_OK, CoCreateInstance(mvtamblor::CLSID_Tamblor, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                         reinterpret_cast<void**>(&filter)));
        player = Keep(filter, u"Metronome");
        ASSERT_EQ(S_OK, player->QueryInterface(IID_IMfxSoftSynth, reinterpret_cast<void**>(&synth)));
        ASSERT_EQ(S_OK, player->QueryInterface(IID_ITamblor, reinterpret_cast<void**>(&control)));
        src = MakeSource(2);
        sink = MakeSink();
        ASSERT_EQ(S_OK, graph->Connect(src, 0, player, 0, nullptr));
        ASSERT_EQ(S_OK, graph->Connect(player, 0, sink, 0, nullptr));
    }
    void TearDown() override
    {
        if (control) control->Release();
        if (synth) {
            synth->Disconnect();
            synth->Release();
        }
        AudioGraphFixture::TearDown();
        held.clear();
        CoFreeUnusedLibraries();
    }
    std::vector<float> Play(const std::vector<float>& input)
    {
        std::vector<float> out;
        for (size_t at = 0; at + 2 * kBlock <= input.size(); at += 2 * kBlock) {
            const size_t before = sink->blocks.size();
            EXPECT_EQ(S_OK, src->PushBuffer(0, input.data() + at, kBlock, FALSE));
            if (sink->blocks.size() == before) {
                ADD_FAILURE() << "no block delivered";
                break;
            }
            out.insert(out.end(), sink->Last().data.begin(), sink->Last().data.end());
        }
        return out;
    }

    mvtest::TempRegistry registry;
    mvtest::PlayerHost host;
    IBaseFilter* player = nullptr;
    IMfxSoftSynth* synth = nullptr;
    ITamblor* control = nullptr;
    CDxSource* src = nullptr;
    mvtest::RecordingSink* sink = nullptr;
};

TEST_F(TamblorGraph, RegistersAsASoftSynth)
{
    HKEY key = nullptr;
    const std::string path = "MfxSoftSynths\\" + mvwin::GuidToString(mvtamblor::CLSID_Tamblor);
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key));
    char text[64] = {};
    DWORD type = 0, size = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(key, "Description", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_STREQ("Tamblor Demo", text);
    RegCloseKey(key);
}

TEST_F(TamblorGraph, TheHostsMetronomeCallsClickOnTheBeatsOverTheInput)
{
    ASSERT_EQ(S_OK, synth->Disconnect());
    ASSERT_EQ(S_OK, synth->Connect(host.Handed())) << "the metronome requires the connection";
    // The metronome's set-up, slot by slot: mode, off, then its settings.
    ASSERT_EQ(S_OK, control->put_MetronomeMode(1));
    ASSERT_EQ(S_OK, control->put_MetronomeOn(0));
    ASSERT_EQ(S_OK, control->put_Gain(1.0f));
    ASSERT_EQ(S_OK, control->put_MeasureSynth(1));
    ASSERT_EQ(S_OK, control->put_BeatSynth(1));
    ASSERT_EQ(S_OK, control->put_MeasurePitch(81));
    ASSERT_EQ(S_OK, control->put_MeasureLevel(100));
    ASSERT_EQ(S_OK, control->put_BeatPitch(93));
    ASSERT_EQ(S_OK, control->put_BeatLevel(110));
    ASSERT_EQ(S_OK, control->put_ClickLength(60));
    ASSERT_EQ(S_OK, control->put_MetronomeOn(1));
    ASSERT_EQ(S_OK, synth->Start(0));
    ASSERT_EQ(S_OK, graph->Run());

    std::vector<float> input(size_t(2) * 2 * 96000);
    for (size_t i = 0; i < input.size(); ++i) input[i] = 0.25f * float(std::sin(0.001 * double(i)));
    const std::vector<float> out = Play(input);
    ASSERT_EQ(out.size(), input.size());
    std::vector<LONGLONG> onsets;
    size_t silent = 1000;
    for (size_t i = 0; i < out.size() / 2; ++i) {
        const float click = out[2 * i] - input[2 * i];
        ASSERT_NEAR(click, out[2 * i + 1] - input[2 * i + 1], 1e-6) << "the click is centred, at " << i;
        if (std::fabs(click) < 1e-6f) {
            ++silent;
            continue;
        }
        if (silent >= 1000) onsets.push_back(LONGLONG(i));
        silent = 0;
    }
    const std::vector<LONGLONG> expected{0, 24000, 48000, 72000, 96000, 120000, 144000, 168000};
    ASSERT_EQ(onsets.size(), expected.size());
    for (size_t i = 0; i < onsets.size(); ++i) EXPECT_LE(std::llabs(onsets[i] - expected[i]), 1) << "#" << i;

    LONG clicking = 0;
    ASSERT_EQ(S_OK, control->get_IsClicking(&clicking));
    EXPECT_EQ(clicking, 1);
}

}  // namespace
