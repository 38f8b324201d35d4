// The phaser plug-in end to end: registered with regsvr into a registry of
// the test's own, listed among the audio effects, created by class
// identifier and connected into the engine's graph between a push source
// and a recording sink. What it plays is compared with the engine driven
// by hand with the same values.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <sys/wait.h>
#include <vector>

#include "CPhaser.h"
#include "CPhaserEngine.h"
#include "PhaserClass.h"
#include "engine/hosting/CAudioPlugInManager.h"
#include "platform/com/ComRuntime.h"
#include "platform/com/ComStream.h"
#include "platform/registry/Registry.h"
#include "platform/win/Guid.h"
#include "tests/engine/graph/AudioGraphFixture.h"
#include "tests/plugins/synthframework/FakeHost.h"
#include "tests/support/TempRegistry.h"

namespace {

using namespace mvphaser;

constexpr int kRate = 48000;
constexpr int kBlock = 1024;

int Regsvr(const std::string& args)
{
    const std::string command = std::string("'") + MVTEST_REGSVR + "' " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    mvreg::ReloadHives();  // see what the child wrote
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

WAVEFORMATEX Wave(WORD tag, WORD channels, WORD bits)
{
    WAVEFORMATEX f{};
    f.wFormatTag = tag;
    f.nChannels = channels;
    f.nSamplesPerSec = kRate;
    f.wBitsPerSample = bits;
    f.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    f.nAvgBytesPerSec = kRate * f.nBlockAlign;
    return f;
}

// The engine as the filter sets it up when the stream starts: the
// parameters handed over in their order, the level without a glide.
struct HandDrivenEngine {
    explicit HandDrivenEngine(const float (&values)[kParamPower])
    {
        e.SetFrame(frame);
        e.SetSampleRate(kRate);
        void (CPhaserEngine::*setters[])(float) = {&CPhaserEngine::SetMode,     &CPhaserEngine::SetSync,
                                                   &CPhaserEngine::SetRate,     &CPhaserEngine::SetDepth,
                                                   &CPhaserEngine::SetWaveform, &CPhaserEngine::SetCenterFrequency,
                                                   &CPhaserEngine::SetFeedback, &CPhaserEngine::SetLevel};
        for (DWORD i = 0; i < kParamPower; ++i)
            (e.*setters[i])(values[i]);
        e.SnapLevel();
    }
    // The pair through the engine; the result stays in `frame`.
    void Step(float l, float r)
    {
        frame[0] = l;
        frame[1] = r;
        e.ProcessFrame();
    }
    CPhaserEngine e;
    float frame[2] = {0, 0};
};

struct SorvicGraph : mvtest::AudioGraphFixture {
    SorvicGraph() { blockFrames = kBlock; }

    void SetUp() override
    {
        AudioGraphFixture::SetUp();
        ASSERT_EQ(S_OK, graph->SetSampleRate(kRate));
        ASSERT_EQ(0, Regsvr(std::string("'") + MVTEST_SORVIC_SERVER + "'"));
        IBaseFilter* filter = nullptr;
        ASSERT_EQ(S_OK, CoCreateInstance(CLSID_Phaser, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                         reinterpret_cast<void**>(&filter)));
        phaser = Keep(filter, u"Sorvic");
        ASSERT_EQ(S_OK, phaser->QueryInterface(IID_IMediaParams, reinterpret_cast<void**>(&params)));
        src = MakeSource(2);
        sink = MakeSink();
        ASSERT_EQ(S_OK, graph->Connect(src, 0, phaser, 0, nullptr));
        ASSERT_EQ(S_OK, graph->Connect(phaser, 0, sink, 0, nullptr));
    }
    void TearDown() override
    {
        if (params)
            params->Release();
        AudioGraphFixture::TearDown();
        held.clear();
        CoFreeUnusedLibraries();
    }
    // Noise pushed through, block after block; what the sink got, in order.
    std::vector<float> Play(const std::vector<float>& input)
    {
        std::vector<float> out;
        const std::size_t blockSamples = static_cast<std::size_t>(kBlock) * 2;
        for (std::size_t at = 0; at + blockSamples <= input.size(); at += blockSamples) {
            const std::size_t before = sink->blocks.size();
            EXPECT_EQ(S_OK, src->PushBuffer(0, input.data() + at, kBlock, FALSE));
            EXPECT_EQ(before + 1, sink->blocks.size());
            if (sink->blocks.size() == before)
                break;
            out.insert(out.end(), sink->Last().data.begin(), sink->Last().data.end());
        }
        return out;
    }
    static std::vector<float> Noise(int blocks, unsigned seed = 5)
    {
        std::mt19937 rng(seed);
        std::uniform_real_distribution<float> d(-0.5f, 0.5f);
        std::vector<float> v(static_cast<std::size_t>(blocks) * kBlock * 2);
        for (float& s : v)
            s = d(rng);
        return v;
    }

    mvtest::TempRegistry registry;
    IBaseFilter* phaser = nullptr;
    IMediaParams* params = nullptr;
    CDxSource* src = nullptr;
    mvtest::RecordingSink* sink = nullptr;
};

TEST_F(SorvicGraph, RegistersAsAnAudioEffectAndIsListed)
{
    const std::string clsid = mvwin::GuidToString(CLSID_Phaser);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CLASSES_ROOT, ("VarnholtPlugins\\" + clsid).c_str(), 0, KEY_READ, &key));
    char text[64] = {};
    DWORD type = 0, size = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Description", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_STREQ("Morvane Sorvic Demo", text);
    DWORD topic = 99;
    size = sizeof topic;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "HelpFileTopic", nullptr, &type, reinterpret_cast<BYTE*>(&topic), &size));
    EXPECT_EQ(REG_DWORD, type);
    RegCloseKey(key);
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, ("MfxSoftSynths\\" + clsid).c_str(), 0, KEY_READ, &key))
        << "an effect, not a soft synth";

    CAudioPlugInManager list;
    ASSERT_EQ(1, list.Enumerate());
    bool listed = false;
    for (int i = 0; i < list.GetCount(); ++i)
        if (list.GetPlugIn(i)->GetClassId() == CLSID_Phaser) {
            listed = true;
            EXPECT_EQ("Morvane Sorvic Demo", list.GetPlugIn(i)->GetName());
            EXPECT_EQ("Morvane Sorvic Demo", list.GetPlugIn(i)->GetDescription());
        }
    EXPECT_TRUE(listed);
}

TEST_F(SorvicGraph, PlaysWhatTheEngineMakesOfTheSameValues)
{
    ASSERT_EQ(S_OK, params->SetParam(kParamSync, 0.0f));  // free-running, so the LFO moves
    ASSERT_EQ(S_OK, graph->Run());
    const std::vector<float> in = Noise(8);
    const std::vector<float> out = Play(in);
    ASSERT_EQ(in.size(), out.size());

    // The defaults, as the filter hands them over when the stream starts.
    const float values[kParamPower] = {0.77f, 0.0f, 0.3f, 0.4f, 0.39f, 0.2f, 0.7f, 1.0f};
    HandDrivenEngine hand(values);
    const float* frame = hand.frame;
    std::size_t differ = 0;
    for (std::size_t i = 0; i < in.size(); i += 2) {
        hand.Step(in[i], in[i + 1]);
        ASSERT_EQ(frame[0], out[i]) << "frame " << i / 2;
        ASSERT_EQ(frame[1], out[i + 1]) << "frame " << i / 2;
        differ += out[i] != in[i];
    }
    EXPECT_GT(differ, in.size() / 4) << "the effect is heard";
}

// With the host's tempo map the synced LFO runs at the song's tempo and
// starts each buffer where the song position puts it.
TEST_F(SorvicGraph, ASyncedSweepFollowsTheHostsTempoAndPosition)
{
    ITempoSyncInfo* sync = nullptr;
    ASSERT_EQ(S_OK, phaser->QueryInterface(IID_ITempoSyncInfo, reinterpret_cast<void**>(&sync)));
    EXPECT_FALSE(sync->IsTempoSyncAvailable()) << "no host yet";
    mvtest::FakeHost host;
    host.tempo = 12000;
    mvsynth::IMfxSoftSynth2* soft = nullptr;
    ASSERT_EQ(S_OK, phaser->QueryInterface(mvsynth::IID_IMfxSoftSynth, reinterpret_cast<void**>(&soft)));
    ASSERT_EQ(S_OK, soft->Connect(host.Handed()));
    EXPECT_TRUE(sync->IsTempoSyncAvailable());
    sync->Release();

    const float row14 = 14.0f / 26.9f + 0.001f;  // "1": one beat
    ASSERT_EQ(S_OK, params->SetParam(kParamSync, row14));
    ASSERT_EQ(S_OK, graph->Run());
    const std::vector<float> in = Noise(6, 4);
    const std::vector<float> out = Play(in);
    ASSERT_EQ(in.size(), out.size());
    soft->Disconnect();
    soft->Release();

    const float values[kParamPower] = {0.77f, row14, 0.3f, 0.4f, 0.39f, 0.2f, 0.7f, 1.0f};
    HandDrivenEngine hand(values);
    CPhaserEngine& e = hand.e;
    float* frame = hand.frame;
    e.SetTempo(120.0f);
    ASSERT_FLOAT_EQ(2.0f, e.LfoFrequency());
    for (std::size_t i = 0; i < in.size(); i += 2) {
        const std::size_t n = i / 2;
        if (n % kBlock == 0)
            e.SetPosition(static_cast<double>(n) / (kRate * 60.0) * 120.0);
        hand.Step(in[i], in[i + 1]);
        ASSERT_EQ(frame[0], out[i]) << "frame " << n;
        ASSERT_EQ(frame[1], out[i + 1]) << "frame " << n;
    }
}

TEST_F(SorvicGraph, SwitchedOffItPassesTheInputBitForBit)
{
    struct Case {
        const char* name;
        DWORD param;
        float value;
    } cases[] = {{"power off", kParamPower, 0.0f}, {"mode below a third", kParamMode, 0.25f}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(S_OK, params->SetParam(kParamPower, 1.0f));
        ASSERT_EQ(S_OK, params->SetParam(kParamMode, 0.77f));
        ASSERT_EQ(S_OK, params->SetParam(c.param, c.value));
        ASSERT_EQ(S_OK, graph->Run());
        const std::vector<float> in = Noise(3, 9);
        EXPECT_EQ(in, Play(in));
        ASSERT_EQ(S_OK, graph->Stop());
    }
}

// Power automated off a tenth of a second in: processed before, the input
// bit for bit after (the envelope is read on the framework's 20 ms grid).
TEST_F(SorvicGraph, PowerFollowsItsEnvelope)
{
    MP_ENVELOPE_SEGMENT off{};
    off.rtStart = 1000000;  // 0.1 s
    off.rtEnd = 1000000;
    off.valStart = 0.0f;
    off.valEnd = 0.0f;
    off.iCurve = MP_CURVE_JUMP;
    ASSERT_EQ(S_OK, params->AddEnvelope(kParamPower, 1, &off));
    ASSERT_EQ(S_OK, graph->Run());
    const std::vector<float> in = Noise(10, 3);  // 0.21 s
    const std::vector<float> out = Play(in);
    ASSERT_EQ(in.size(), out.size());
    const std::size_t tenth = kRate / 10 * 2;
    const std::size_t grid = kRate / 50 * 2;
    EXPECT_NE(std::vector<float>(in.begin(), in.begin() + tenth - grid),
              std::vector<float>(out.begin(), out.begin() + tenth - grid));
    EXPECT_EQ(std::vector<float>(in.begin() + tenth + grid, in.end()),
              std::vector<float>(out.begin() + tenth + grid, out.end()));
}

TEST_F(SorvicGraph, StateIsEightyFourBytesOfTenPairs)
{
    IPersistStream* persist = nullptr;
    ASSERT_EQ(S_OK, phaser->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)));
    ASSERT_EQ(S_OK, params->SetParam(kParamDepth, 0.9f));
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ASSERT_EQ(S_OK, persist->Save(stream, TRUE));
    ULARGE_INTEGER size{};
    ASSERT_EQ(S_OK, persist->GetSizeMax(&size));
    EXPECT_EQ(84u, size.QuadPart);
    STATSTG stat{};
    ASSERT_EQ(S_OK, stream->Stat(&stat, 1));
    ASSERT_EQ(84u, stat.cbSize.QuadPart);
    BYTE bytes[84];
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULONG got = 0;
    ASSERT_EQ(S_OK, stream->Read(bytes, sizeof bytes, &got));
    DWORD count = 0;
    std::memcpy(&count, bytes, 4);
    EXPECT_EQ(10u, count);
    const float expected[] = {0.77f, 0.2f, 0.3f, 0.9f, 0.39f, 0.2f, 0.7f, 1.0f, 1.0f};
    for (DWORD i = 0; i < 10; ++i) {
        DWORD index = 99;
        float value = -1;
        std::memcpy(&index, bytes + 4 + 8 * i, 4);
        std::memcpy(&value, bytes + 8 + 8 * i, 4);
        EXPECT_EQ(i, index);
        if (i < 9) {
            EXPECT_FLOAT_EQ(expected[i], value) << i;
        }
    }
    stream->Release();

    // Loading: a count of 10 but three pairs. The three are applied, then
    // the short stream fails.
    BYTE shortState[4 + 3 * 8];
    const DWORD ten = 10;
    std::memcpy(shortState, &ten, 4);
    const float loaded[] = {0.5f, 0.6f, 0.1f};
    for (DWORD i = 0; i < 3; ++i) {
        const DWORD index = kParamRate + i;
        std::memcpy(shortState + 4 + 8 * i, &index, 4);
        std::memcpy(shortState + 8 + 8 * i, &loaded[i], 4);
    }
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ASSERT_EQ(S_OK, stream->Write(shortState, sizeof shortState, nullptr));
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(E_FAIL, persist->Load(stream));
    for (DWORD i = 0; i < 3; ++i) {
        float v = -1;
        ASSERT_EQ(S_OK, params->GetParam(kParamRate + i, &v));
        EXPECT_FLOAT_EQ(loaded[i], v);
    }
    stream->Release();
    persist->Release();
}

// A damaged state may hold any float. Taken at the ends of the range, the
// loudest feedback still decays: the output stays finite and bounded.
TEST_F(SorvicGraph, ValuesOutsideTheRangeCannotRunAway)
{
    ASSERT_EQ(S_OK, params->SetParam(kParamFeedback, 50.0f));
    ASSERT_EQ(S_OK, params->SetParam(kParamDepth, 1e30f));
    ASSERT_EQ(S_OK, params->SetParam(kParamLevel, std::nanf("")));
    ASSERT_EQ(S_OK, params->SetParam(kParamSync, -3.0f));
    ASSERT_EQ(S_OK, graph->Run());
    std::vector<float> out = Play(Noise(8, 2));
    ASSERT_FALSE(out.empty());
    for (float s : out)
        ASSERT_EQ(0.0f, s) << "a level of not-a-number is silence";
    ASSERT_EQ(S_OK, graph->Stop());
    ASSERT_EQ(S_OK, params->SetParam(kParamLevel, 7.0f));
    ASSERT_EQ(S_OK, graph->Run());
    out = Play(Noise(16, 2));
    float peak = 0;
    for (float s : out) {
        ASSERT_TRUE(std::isfinite(s));
        peak = std::max(peak, std::fabs(s));
    }
    EXPECT_LT(peak, 100.0f);
    EXPECT_GT(peak, 0.0f);
}

TEST(CPhaserTest, TakesThirtyTwoBitFloatStereoOnly)
{
    CPhaser phaser;
    const WAVEFORMATEX good = Wave(WAVE_FORMAT_IEEE_FLOAT, 2, 32);
    struct Case {
        const char* name;
        WAVEFORMATEX format;
    } refused[] = {{"16-bit PCM", Wave(WAVE_FORMAT_PCM, 2, 16)}, {"mono float", Wave(WAVE_FORMAT_IEEE_FLOAT, 1, 32)}};
    EXPECT_EQ(S_OK, phaser.CheckInputFormat(&good));
    EXPECT_EQ(S_OK, phaser.CheckFormats(&good, &good));
    for (const Case& c : refused) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(static_cast<HRESULT>(0x8004022A), phaser.CheckInputFormat(&c.format));
        EXPECT_EQ(static_cast<HRESULT>(0x8004022A), phaser.CheckFormats(&c.format, &good));
        EXPECT_EQ(static_cast<HRESULT>(0x8004022A), phaser.CheckFormats(&good, &c.format));
    }
    WAVEFORMATEX mono = Wave(WAVE_FORMAT_IEEE_FLOAT, 1, 32);
    EXPECT_EQ(S_OK, phaser.AdjustOutputFormat(&mono));
    EXPECT_EQ(2, mono.nChannels);
}

// A rate change parks the engine's sweep; the centre frequency the
// plug-in last gave must be given again, or the sweep stays parked.
TEST(CPhaserTest, ANewSampleRateGetsTheCentreFrequencyAgain)
{
    CPhaser phaser;
    ASSERT_EQ(S_OK, phaser.Initialize());
    *phaser.GetOutputFormat() = Wave(WAVE_FORMAT_IEEE_FLOAT, 2, 32);
    ASSERT_EQ(S_OK, phaser.SetFormat(WAVE_FORMAT_IEEE_FLOAT, 2, kRate, kRate * 8, 8));
    phaser.Reapply();
    EXPECT_FLOAT_EQ(300.0f / kRate, phaser.Engine().First().sweepLow);
    phaser.GetOutputFormat()->nSamplesPerSec = 44100;
    ASSERT_EQ(S_OK, phaser.SetFormat(WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 44100 * 8, 8));
    EXPECT_FLOAT_EQ(0.1f, phaser.Engine().First().sweepLow) << "parked by the new rate";
    phaser.Reapply();
    EXPECT_FLOAT_EQ(300.0f / 44100, phaser.Engine().First().sweepLow);
    EXPECT_FLOAT_EQ(4600.0f / 44100, phaser.Engine().First().sweepHigh);
}

}  // namespace
