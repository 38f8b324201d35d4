// The sample gain plug-in built on Fendrel, end to end: registered with
// regsvr into a registry of the test's own, listed by the host, created by
// class identifier and connected into the engine's graph between a push
// source and a recording sink.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <vector>

#include "engine/hosting/CAudioPlugInManager.h"
#include "gain/GainClasses.h"
#include "platform/com/ComRuntime.h"
#include "platform/com/ComStream.h"
#include "platform/registry/Registry.h"
#include "platform/win/Guid.h"
#include "plugmgr/CPlugInFilter.h"
#include "plugmgr/IPlugInLoad.h"
#include "tests/engine/graph/AudioGraphFixture.h"
#include "tests/support/TempRegistry.h"

namespace {

using namespace mvtest;

constexpr int kBlock = 512;

int Regsvr(const std::string& args)
{
    const std::string command = std::string("'") + MVTEST_REGSVR + "' " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    mvreg::ReloadHives();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool KeyExists(const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

std::string Id(REFCLSID clsid) { return mvwin::GuidToString(clsid); }

const std::string kServer = std::string("'") + MVTEST_GAIN_SERVER + "'";

TEST(FendrelRegistration, WritesEachClassKeyAndTheMakersKeyForFilters)
{
    TempRegistry registry;
    ASSERT_EQ(0, Regsvr(kServer));
    for (const CLSID* c : {&CLSID_GainInPlace, &CLSID_GainBufToBuf, &CLSID_GainAsync}) {
        EXPECT_TRUE(KeyExists("CLSID\\" + Id(*c) + "\\InprocServer32")) << Id(*c);
        EXPECT_TRUE(KeyExists("Filter\\" + Id(*c))) << Id(*c);
        EXPECT_TRUE(KeyExists("VarnholtPlugIns\\" + Id(*c))) << Id(*c);
    }
    EXPECT_TRUE(KeyExists("CLSID\\" + Id(CLSID_GainPage)));
    EXPECT_FALSE(KeyExists("Filter\\" + Id(CLSID_GainPage))) << "a page is no filter";
    EXPECT_FALSE(KeyExists("VarnholtPlugIns\\" + Id(CLSID_GainPage)));

    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              RegOpenKeyExA(HKEY_CLASSES_ROOT, ("VarnholtPlugIns\\" + Id(CLSID_GainInPlace)).c_str(), 0, KEY_READ, &key));
    char text[64] = {};
    DWORD type = 0, size = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Description", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_STREQ(kGainDescription, text);
    size = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "HelpFilePath", nullptr, &type, reinterpret_cast<BYTE*>(text), &size));
    EXPECT_STREQ("gain.hlp", text);
    DWORD topic = 0;
    size = sizeof topic;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "HelpFileTopic", nullptr, &type, reinterpret_cast<BYTE*>(&topic), &size));
    EXPECT_EQ(REG_DWORD, type);
    EXPECT_EQ(7u, topic);
    RegCloseKey(key);

    // The host lists the three filters among its audio effects.
    CAudioPlugInManager list;
    ASSERT_EQ(1, list.Enumerate());
    int found = 0;
    for (int i = 0; i < list.GetCount(); ++i)
        if (list.GetPlugIn(i)->GetName() == "Morvane Test Gain") {
            ++found;
            EXPECT_EQ(CLSID_GainInPlace, list.GetPlugIn(i)->GetClassId());
            EXPECT_EQ(kGainDescription, list.GetPlugIn(i)->GetDescription());
        }
    EXPECT_EQ(1, found);

    // Unregistering removes keys nested at any depth.
    HKEY deep = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CLASSES_ROOT, ("CLSID\\" + Id(CLSID_GainInPlace) + "\\A\\B\\C").c_str(),
                                             0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &deep, nullptr));
    RegCloseKey(deep);
    ASSERT_EQ(0, Regsvr("/u " + kServer));
    for (const CLSID* c : {&CLSID_GainInPlace, &CLSID_GainBufToBuf, &CLSID_GainAsync, &CLSID_GainPage}) {
        EXPECT_FALSE(KeyExists("CLSID\\" + Id(*c))) << Id(*c);
        EXPECT_FALSE(KeyExists("VarnholtPlugIns\\" + Id(*c))) << Id(*c);
        EXPECT_FALSE(KeyExists("Filter\\" + Id(*c))) << Id(*c);
    }
}

TEST(FendrelRegistration, AFailureHalfWayLeavesNoKeyBehind)
{
    TempRegistry registry;
    ASSERT_EQ(0, setenv(kFailSetupVariable, "1", 1));
    EXPECT_NE(0, Regsvr(kServer));
    unsetenv(kFailSetupVariable);
    for (const CLSID* c : {&CLSID_GainInPlace, &CLSID_GainBufToBuf, &CLSID_GainAsync, &CLSID_GainPage}) {
        EXPECT_FALSE(KeyExists("CLSID\\" + Id(*c))) << Id(*c);
        EXPECT_FALSE(KeyExists("VarnholtPlugIns\\" + Id(*c))) << Id(*c);
        EXPECT_FALSE(KeyExists("Filter\\" + Id(*c))) << Id(*c);
    }
}

struct GainGraph : AudioGraphFixture {
    GainGraph() { blockFrames = kBlock; }
    void SetUp() override
    {
        AudioGraphFixture::SetUp();
        ASSERT_EQ(S_OK, graph->SetSampleRate(44100));
        ASSERT_EQ(0, Regsvr(kServer));
    }
    void TearDown() override
    {
        AudioGraphFixture::TearDown();
        held.clear();
        CoFreeUnusedLibraries();
    }
    IBaseFilter* Make(REFCLSID clsid)
    {
        IBaseFilter* filter = nullptr;
        EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                         reinterpret_cast<void**>(&filter)));
        return filter ? Keep(filter, u"Gain") : nullptr;
    }
    // src -> gain -> sink, the graph running.
    void Chain(IBaseFilter* gain)
    {
        src = MakeSource(2);
        sink = MakeSink();
        ASSERT_EQ(S_OK, graph->Connect(src, 0, gain, 0, nullptr));
        ASSERT_EQ(S_OK, graph->Connect(gain, 0, sink, 0, nullptr));
        ASSERT_EQ(S_OK, graph->Run());
    }
    std::vector<float> Ramp() const
    {
        std::vector<float> v(static_cast<std::size_t>(kBlock) * 2);
        for (std::size_t i = 0; i < v.size(); ++i)
            v[i] = static_cast<float>(i % 200) / 100.0f - 1.0f;
        return v;
    }
    TempRegistry registry;
    CDxSource* src = nullptr;
    RecordingSink* sink = nullptr;
};

TEST_F(GainGraph, EachKindHalvesEverySampleInTheChain)
{
    for (const CLSID* clsid : {&CLSID_GainInPlace, &CLSID_GainBufToBuf}) {
        SCOPED_TRACE(Id(*clsid));
        IBaseFilter* gain = Make(*clsid);
        ASSERT_NE(nullptr, gain);
        Chain(gain);
        const std::vector<float> in = Ramp();
        ASSERT_EQ(S_OK, src->PushBuffer(0, in.data(), kBlock, FALSE));
        ASSERT_FALSE(sink->blocks.empty());
        const std::vector<float>& out = sink->Last().data;
        ASSERT_EQ(in.size(), out.size());
        for (std::size_t i = 0; i < in.size(); ++i)
            ASSERT_EQ(in[i] * 0.5f, out[i]) << i;
        ASSERT_EQ(S_OK, graph->Stop());
    }
}

TEST_F(GainGraph, TheTimedCallGetsTheSamplePositionOfTheStartTime)
{
    IBaseFilter* gain = Make(CLSID_GainInPlace);
    ASSERT_NE(nullptr, gain);
    Chain(gain);
    IGainProbe* probe = nullptr;
    ASSERT_EQ(S_OK, gain->QueryInterface(IID_IGainProbe, reinterpret_cast<void**>(&probe)))
        << "the plug-in's own interfaces answer through the filter";
    IPlugInLoad* load = nullptr;
    ASSERT_EQ(S_OK, gain->QueryInterface(IID_IPlugInLoad, reinterpret_cast<void**>(&load)));
    EXPECT_GT(load->EnableTiming(TRUE), 0);
    const std::vector<float> in = Ramp();
    ASSERT_EQ(S_OK, src->PushBuffer(10000000, in.data(), kBlock, TRUE));  // 1 s
    EXPECT_EQ(44100, probe->LastPosition());
    EXPECT_GT(load->GetLoad(), 0.0) << "the plug-in's time was measured";
    load->ResetLoad();
    EXPECT_EQ(0.0, load->GetLoad());
    EXPECT_EQ(0, load->EnableTiming(FALSE));
    load->Release();
    probe->Release();
}

TEST_F(GainGraph, StateSavesAndLoadsTheGain)
{
    IBaseFilter* gain = Make(CLSID_GainInPlace);
    ASSERT_NE(nullptr, gain);
    IGainProbe* probe = nullptr;
    ASSERT_EQ(S_OK, gain->QueryInterface(IID_IGainProbe, reinterpret_cast<void**>(&probe)));
    probe->SetGain(0.25f);
    IPersistStream* persist = nullptr;
    ASSERT_EQ(S_OK, gain->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)));
    ULARGE_INTEGER max{};
    ASSERT_EQ(S_OK, persist->GetSizeMax(&max));
    EXPECT_EQ(4u + 24u, max.QuadPart);
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ASSERT_EQ(S_OK, persist->Save(stream, TRUE));
    probe->SetGain(1.0f);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(S_OK, persist->Load(stream));
    EXPECT_EQ(E_FAIL, persist->Load(stream)) << "nothing left to read";
    stream->Release();

    Chain(gain);
    const std::vector<float> in = Ramp();
    ASSERT_EQ(S_OK, src->PushBuffer(0, in.data(), kBlock, FALSE));
    ASSERT_FALSE(sink->blocks.empty());
    EXPECT_EQ(in[3] * 0.25f, sink->Last().data[3]);
    persist->Release();
    probe->Release();
}

// The async kind offers 16-bit PCM only; the float graph cannot take it,
// and says so at connect.
TEST_F(GainGraph, WhatAWrapperCannotJoinIsRefusedAtConnect)
{
    IBaseFilter* sinkGain = Make(CLSID_GainAsync);
    ASSERT_NE(nullptr, sinkGain);
    CDxSource* src = MakeSource(2);
    RecordingSink* sink = MakeSink();
    ASSERT_EQ(S_OK, graph->Connect(src, 0, sinkGain, 0, nullptr));
    const HRESULT hr = graph->Connect(sinkGain, 0, sink, 0, nullptr);
    EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
    ASSERT_EQ(S_OK, graph->Run());
    const std::vector<float> in = Ramp();
    ASSERT_EQ(S_OK, src->PushBuffer(0, in.data(), kBlock, FALSE));
    IGainProbe* probe = nullptr;
    ASSERT_EQ(S_OK, sinkGain->QueryInterface(IID_IGainProbe, reinterpret_cast<void**>(&probe)));
    EXPECT_EQ(1, probe->SamplesReceived()) << "the plug-in consumes its input itself";
    probe->Release();
}

TEST(CPlugInFilterTest, TheLoadIsTheShareOfRealTimeAndTheCandidatesAreSixteenBitPcm)
{
    struct Case {
        LONGLONG ticks, frequency, frames;
        DWORD rate;
        double load;
    } cases[] = {
        {100000, 1000000, 44100, 44100, 0.1},  // 0.1 s for one second of audio
        {5, 10, 22050, 44100, 1.0},
        {100, 1000, 0, 44100, 0.0},   // nothing processed
        {100, 1000, 441, 0, 0.0},     // no rate
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(c.load, CPlugInFilter::LoadOf(c.ticks, c.frequency, c.frames, c.rate));

    for (int p = 0; p < CPlugInFilter::kCandidateFormats; ++p) {
        const WAVEFORMATEX f = CPlugInFilter::CandidateFormat(p);
        EXPECT_EQ(WAVE_FORMAT_PCM, f.wFormatTag);
        EXPECT_EQ(16, f.wBitsPerSample);
        EXPECT_EQ((p % 8) < 4 ? 2 : 1, f.nChannels) << p;
        const DWORD rates[] = {11025, 22050, 44100, 48000};
        EXPECT_EQ(rates[p % 4], f.nSamplesPerSec) << p;
        EXPECT_EQ(f.nSamplesPerSec * f.nBlockAlign, f.nAvgBytesPerSec);
    }
}

}  // namespace
