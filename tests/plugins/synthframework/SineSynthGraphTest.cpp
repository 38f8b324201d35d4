// The sine test plug-in end to end: registered with regsvr into a registry
// of the test's own, created by class identifier, connected into the
// engine's graph between a push source and a recording sink, and played
// through the soft-synth interface.
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <sys/wait.h>

#include "FakeHost.h"
#include "platform/com/ComRuntime.h"
#include "platform/registry/Registry.h"
#include "platform/win/Guid.h"
#include "plugins/synthframework/MediaParamEntry.h"
#include "sine/SineSynthClass.h"
#include "tests/engine/graph/AudioGraphFixture.h"
#include "tests/support/TempRegistry.h"

namespace {

constexpr int kRate = 44100;
constexpr REFERENCE_TIME kSecond = 10000000;

int Regsvr(const std::string& args)
{
    const std::string command = std::string("'") + MVTEST_REGSVR + "' " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    mvreg::ReloadHives();  // see what the child wrote
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

double Sine(int key, LONGLONG n)
{
    return std::sin(2 * std::numbers::pi * 440.0 * std::pow(2.0, (key - 69) / 12.0) * static_cast<double>(n) / kRate);
}

struct SineGraph : mvtest::AudioGraphFixture {
    SineGraph() { blockFrames = 2048; }

    void SetUp() override
    {
        AudioGraphFixture::SetUp();
        ASSERT_EQ(S_OK, graph->SetSampleRate(kRate));
        ASSERT_EQ(0, Regsvr(std::string("'") + MVTEST_SINE_SERVER + "'"));
        IBaseFilter* filter = nullptr;
        ASSERT_EQ(S_OK, CoCreateInstance(mvtest::CLSID_SineSynth, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                         reinterpret_cast<void**>(&filter)));
        synth = Keep(filter, u"Sine");
        src = MakeSource(2);
        sink = MakeSink();
        ASSERT_EQ(S_OK, graph->Connect(src, 0, synth, 0, nullptr));
        ASSERT_EQ(S_OK, graph->Connect(synth, 0, sink, 0, nullptr));
        ASSERT_EQ(S_OK, synth->QueryInterface(mvsynth::IID_IMfxSoftSynth, reinterpret_cast<void**>(&soft)));
        ASSERT_EQ(S_OK, soft->Connect(host.Handed()));
        ASSERT_EQ(S_OK, graph->Run());
        ASSERT_EQ(S_OK, soft->Start(0));
    }
    void TearDown() override
    {
        if (soft) {
            soft->Disconnect();
            soft->Release();
        }
        AudioGraphFixture::TearDown();
        held.clear();
        CoFreeUnusedLibraries();
    }
    // One block of input silence pushed through; the block the sink got.
    const std::vector<float>& Render()
    {
        const std::vector<float> silence(static_cast<std::size_t>(blockFrames) * 2, 0.0f);
        EXPECT_EQ(S_OK, src->PushBuffer(0, silence.data(), blockFrames, FALSE));
        EXPECT_FALSE(sink->blocks.empty());
        static const std::vector<float> none;
        return sink->blocks.empty() ? none : sink->Last().data;
    }
    void NoteOn(DWORD tick, BYTE key, BYTE velocity)
    {
        mvtest::FakeMidiQueue midi;
        midi.Message(tick, 0x90, key, velocity);
        ASSERT_EQ(S_OK, soft->SendMidi(1, &midi));
    }

    mvtest::TempRegistry registry;
    mvtest::FakeHost host;
    IBaseFilter* synth = nullptr;
    CDxSource* src = nullptr;
    mvtest::RecordingSink* sink = nullptr;
    mvsynth::IMfxSoftSynth2* soft = nullptr;
};

TEST_F(SineGraph, RegistersItsClassAndItsSoftSynthCategory)
{
    const std::string clsid = mvwin::GuidToString(mvtest::CLSID_SineSynth);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, ("CLSID\\" + clsid).c_str(), 0, KEY_READ, &key));
    RegCloseKey(key);
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CLASSES_ROOT, ("MfxSoftSynths\\" + clsid).c_str(), 0, KEY_READ, &key));
    char text[64] = {};
    DWORD type = 0, size = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Description", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_EQ(REG_SZ, type);
    EXPECT_STREQ(mvtest::kSineSynthName, text);
    size = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "HelpFilePath", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_EQ(REG_SZ, type);
    DWORD topic = 99;
    size = sizeof topic;
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExA(key, "HelpFileTopic", nullptr, &type, reinterpret_cast<BYTE*>(&topic), &size));
    EXPECT_EQ(REG_DWORD, type) << "the host reads the topic as a 32-bit number";
    EXPECT_EQ(4u, size);
    EXPECT_EQ(0u, topic);
    RegCloseKey(key);

    // The filter catalogue knows it with its two pins.
    size = sizeof text;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, ("Filter\\" + clsid).c_str(), 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_STREQ(mvtest::kSineSynthName, text);
    RegCloseKey(key);
    for (const char* pin : {"Input", "Output"}) {
        const std::string pinKey = "CLSID\\" + clsid + "\\Pins\\" + pin;
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, pinKey.c_str(), 0, KEY_READ, &key)) << pin;
        RegCloseKey(key);
    }

    // Registering again changes nothing; unregistering takes the category key away.
    ASSERT_EQ(0, Regsvr(std::string("'") + MVTEST_SINE_SERVER + "'"));
    ASSERT_EQ(0, Regsvr(std::string("/u '") + MVTEST_SINE_SERVER + "'"));
    EXPECT_NE(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CLASSES_ROOT, ("MfxSoftSynths\\" + clsid).c_str(), 0, KEY_READ, &key));
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, ("Filter\\" + clsid).c_str(), 0, KEY_READ, &key));
}

TEST_F(SineGraph, ANoteOnSoundsFromItsSample)
{
    // Tick 48 at 120 BPM is 25 ms: sample 1102.
    NoteOn(48, 69, 100);
    const auto& out = Render();
    ASSERT_EQ(static_cast<std::size_t>(blockFrames) * 2, out.size());
    const double amp = 100.0 / 127.0;
    for (int k = 0; k < blockFrames; ++k) {
        const float expected = k < 1102 ? 0.0f : static_cast<float>(amp * Sine(69, k - 1102));
        ASSERT_NEAR(expected, out[2 * k], 1e-5) << "frame " << k;
        ASSERT_NEAR(expected, out[2 * k + 1], 1e-5) << "frame " << k;
    }
    // The next block goes on in phase.
    const auto& next = Render();
    EXPECT_NEAR(amp * Sine(69, blockFrames - 1102), next[0], 1e-5);
}

// A chord from the lowest to the highest key held over several blocks
// nulls against sin() of each sample's own phase: what is left is float
// rounding of the sum, under 3e-7.
TEST_F(SineGraph, AHeldChordStaysOnTheSineOfEverySample)
{
    const BYTE keys[] = {21, 69, 108};
    for (BYTE key : keys)
        NoteOn(0, key, 40);
    const double amp = 40.0 / 127.0;
    for (int block = 0; block < 4; ++block) {
        const auto& out = Render();
        ASSERT_EQ(static_cast<std::size_t>(blockFrames) * 2, out.size());
        for (int k = 0; k < blockFrames; ++k) {
            const LONGLONG n = static_cast<LONGLONG>(block) * blockFrames + k;
            float expected = 0.0f;
            for (BYTE key : keys)
                expected += static_cast<float>(amp * Sine(key, n));
            ASSERT_NEAR(expected, out[2 * k], 3e-7) << "frame " << n;
            ASSERT_EQ(out[2 * k], out[2 * k + 1]) << "frame " << n;
        }
    }
}

TEST_F(SineGraph, ANoteOffSilencesTheNextBlock)
{
    NoteOn(0, 60, 127);
    Render();
    mvtest::FakeMidiQueue midi;
    midi.Message(0, 0x80, 60, 0);
    ASSERT_EQ(S_OK, soft->SendMidi(1, &midi));
    const auto& out = Render();
    for (float v : out)
        ASSERT_LT(std::fabs(v), 1e-15f) << "the graph's silence";
}

// A linear envelope on the level from 0 to 1 over a second: the level is
// taken at each change point (the 20 ms grid, 882 samples) and holds for
// the slice after it.
TEST_F(SineGraph, RendersInSlicesAtTheAutomationGrid)
{
    IMediaParams* params = nullptr;
    ASSERT_EQ(S_OK, synth->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)));
    MP_ENVELOPE_SEGMENT s{0, kSecond, 0.0f, 1.0f, MP_CURVE_LINEAR, 0};
    ASSERT_EQ(S_OK, params->AddEnvelope(mvtest::kSineLevelParam, 1, &s));
    NoteOn(0, 69, 127);
    const auto& out = Render();
    for (int k = 0; k < blockFrames; ++k) {
        const int sliceStart = k < 882 ? 0 : k < 1764 ? 882 : 1764;
        const double level = static_cast<double>(sliceStart) / kRate;
        ASSERT_NEAR(level * Sine(69, k), out[2 * k], 1e-5) << "frame " << k;
    }
    params->Release();
}

TEST_F(SineGraph, TheFirstOutputIsOutput1)
{
    IPin* out = CDxFilterGraph::FindOutputPin(synth, 0);
    ASSERT_NE(nullptr, out);
    PIN_INFO info{};
    ASSERT_EQ(S_OK, out->QueryPinInfo(&info));
    EXPECT_EQ(std::u16string(u"Output 1"), std::u16string(info.achName));
    if (info.pFilter)
        info.pFilter->Release();
}

// Without an input the synth plays on its own when paused: a tail that
// ends when the last note does, and one that would never end is cut.
TEST_F(SineGraph, PausingWithoutAnInputRendersATailThatEnds)
{
    NoteOn(0, 69, 127);
    Render();
    ASSERT_EQ(S_OK, graph->Stop());
    IPin* srcOut = CDxFilterGraph::FindOutputPin(src, 0);
    IPin* synthIn = CDxFilterGraph::FindInputPin(synth, 0);
    ASSERT_EQ(S_OK, srcOut->Disconnect());
    ASSERT_EQ(S_OK, synthIn->Disconnect());
    sink->blocks.clear();

    ASSERT_EQ(S_OK, synth->Pause());  // a held note: never done on its own
    EXPECT_EQ(1, sink->endOfStreams);
    const std::size_t most = 10 * kRate / blockFrames + 2;
    EXPECT_GT(sink->blocks.size(), 1u);
    EXPECT_LE(sink->blocks.size(), most);
    ASSERT_EQ(S_OK, synth->Stop());

    // With no note sounding the tail is one block.
    ASSERT_EQ(S_OK, soft->Stop());
    sink->blocks.clear();
    ASSERT_EQ(S_OK, synth->Pause());
    EXPECT_EQ(2, sink->endOfStreams);
    EXPECT_EQ(1u, sink->blocks.size());
    ASSERT_EQ(S_OK, synth->Stop());
}

}  // namespace
