#include "devices/CDirectSound.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "devices/CAppConfig.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/win/Guid.h"
#include "tests/devices/AudioDeviceErrors.h"
#include "tests/devices/FakeEngineOwner.h"
#include "tests/platform/audio/AlsaTestConfig.h"

namespace {

struct Port {
    GUID id;
    std::string name;
    unsigned mask;
    std::string driver;
    bool hasLimits;
};

class PortList : public IEnumAudioDeviceCallback {
public:
    void AddPort(const GUID* id, const char* name, unsigned mask, const char* driver, const int* limits) override
    {
        ports.push_back({*id, name, mask, driver, limits != nullptr});
    }
    const Port* Find(const std::string& driver) const
    {
        for (const Port& p : ports)
            if (p.driver == driver)
                return &p;
        return nullptr;
    }
    std::vector<Port> ports;
};

// The GUID DirectSound lists the ALSA device under.
GUID GuidOf(const char* alsaName)
{
    struct Search {
        std::string module;
        GUID found = GUID_NULL;
    } search{alsaName};
    DirectSoundEnumerateA(
        [](GUID* guid, LPCSTR, LPCSTR module, LPVOID context) -> BOOL {
            auto* s = static_cast<Search*>(context);
            if (guid && s->module == module)
                s->found = *guid;
            return TRUE;
        },
        &search);
    return search.found;
}

class CDirectSoundTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CAppConfig::SetDSoundOutput("");
        CAppConfig::SetDSoundInput("");
    }
    void TearDown() override { CAppConfig::SetDSoundOutput(""); }

    // Plays until the engine rendered `calls` halves, then stops and closes.
    void PlayHalves(CDirectSound& device, int calls)
    {
        ASSERT_EQ(S_OK, device.Start());
        ASSERT_TRUE(m_engine.WaitForCalls(calls));
        ASSERT_EQ(S_OK, device.Stop());
        ASSERT_EQ(S_OK, device.Close(0));
    }

    mvtest::AlsaTestConfig m_alsa;
    mvtest::FakeEngineOwner m_engine;
};

struct StreamCase {
    const char* name;
    int rate;
    unsigned short bits;
    unsigned short mode24;
    unsigned blockAlign;
};

TEST_F(CDirectSoundTest, ThePlayedStreamIsTheRenderedStreamAfterTheStartingSilence)
{
    const StreamCase cases[] = {
        {"16-bit", 44100, 16, 0, 4},
        {"24-bit packed", 48000, 24, 0, 6},
        {"24 bits in 32", 48000, 24, 2, 8},
        {"32-bit", 44100, 32, 3, 8},
    };
    for (const StreamCase& c : cases) {
        SCOPED_TRACE(c.name);
        mvtest::FakeEngineOwner engine;
        CDirectSound device(&engine);
        ASSERT_EQ(S_OK, device.Open());
        ASSERT_EQ(S_OK, device.Set24BitMode(c.mode24));
        constexpr int kFrames = 2048;
        ASSERT_EQ(S_OK, device.SetFormat(c.rate, c.bits, kFrames));
        unsigned half = 0;
        ASSERT_EQ(S_OK, device.GetBufferBytes(&half));
        ASSERT_EQ(c.blockAlign * kFrames, half);
        ASSERT_EQ(S_OK, device.Start());
        ASSERT_TRUE(engine.WaitForCalls(6));
        ASSERT_EQ(S_OK, device.Stop());
        ASSERT_EQ(S_OK, device.Close(0));

        // Every refill is one whole half, from one thread, with no input.
        for (const UINT size : engine.Sizes())
            ASSERT_EQ(half, size);
        for (const LONG frames : engine.FramesArguments())
            ASSERT_EQ(-1, frames);
        EXPECT_EQ(1u, engine.ThreadCount());
        EXPECT_EQ(0, engine.CallsWithInput());

        const std::vector<std::uint8_t> played = mvtest::AlsaTestConfig::ReadSamples<std::uint8_t>(m_alsa.OutputFile());
        // The two halves of silence that Start writes, then the engine's
        // halves in order: all but the last refill or two reached the device.
        ASSERT_GE(played.size(), std::size_t(2 + engine.Calls() - 2) * half);
        ASSERT_LE(played.size(), std::size_t(2 + engine.Calls()) * half);
        for (std::size_t i = 0; i < 2 * half; ++i)
            ASSERT_EQ(0, played[i]) << "byte " << i;
        for (std::size_t i = 2 * half; i < played.size(); ++i)
            ASSERT_EQ(mvtest::FakeEngineOwner::StreamByte(i - 2 * half), played[i]) << "byte " << i;
    }
}

TEST_F(CDirectSoundTest, TheEngineIsCalledOnTheAudioThreadWhileTheUIThreadDrivesTheDevice)
{
    const mv::ScopedThreadRole ui(mv::ThreadRole::UI);
    CDirectSound device(&m_engine);
    ASSERT_EQ(S_OK, device.Open());
    ASSERT_EQ(S_OK, device.SetFormat(44100, 16, 1024));
    PlayHalves(device, 3);
    EXPECT_EQ(std::set<mv::ThreadRole>{mv::ThreadRole::Audio}, m_engine.Roles());
}

#if MV_THREAD_CHECKS
TEST_F(CDirectSoundTest, DrivingTheDeviceFromTheAudioThreadDies)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    CDirectSound device(&m_engine);
    EXPECT_DEATH(
        {
            mv::MarkCurrentThread(mv::ThreadRole::Audio);
            device.Open();
        },
        "Open belongs to the UI thread but was called on the audio thread");
    ASSERT_EQ(S_OK, device.Open());
    EXPECT_DEATH(
        {
            mv::MarkCurrentThread(mv::ThreadRole::Audio);
            device.Close(0);
        },
        "Close belongs to the UI thread");
}
#endif

TEST_F(CDirectSoundTest, BuffersHoldAtLeastTenMilliseconds)
{
    CDirectSound device(&m_engine);
    ASSERT_EQ(S_OK, device.Open());
    ASSERT_EQ(S_OK, device.SetFormat(44100, 16, 256));
    unsigned bytes = 0;
    ASSERT_EQ(S_OK, device.GetBufferBytes(&bytes));
    EXPECT_EQ(441u * 4, bytes);
    EXPECT_EQ(E_POINTER, device.GetBufferBytes(nullptr));
    const WAVEFORMATEX* format = device.GetWaveFormat();
    EXPECT_EQ(44100u, format->nSamplesPerSec);
    EXPECT_EQ(4u, format->nBlockAlign);
    // Buffers that exist are kept.
    EXPECT_EQ(S_OK, device.SetFormat(48000, 16, 4096));
    ASSERT_EQ(S_OK, device.GetBufferBytes(&bytes));
    EXPECT_EQ(441u * 4, bytes);
    ASSERT_EQ(S_OK, device.ReleaseBuffers());

    ASSERT_EQ(S_OK, device.SetFormat(44100, 16, 2048));
    ASSERT_EQ(S_OK, device.GetBufferBytes(&bytes));
    EXPECT_EQ(2048u * 4, bytes);
}

TEST_F(CDirectSoundTest, OffersDevicesThatTakeSixteenBitsAtAnEngineRate)
{
    CDirectSound device(&m_engine);
    ASSERT_EQ(S_OK, device.Open());
    EXPECT_EQ(S_FALSE, device.Open());
    PortList outputs;
    ASSERT_EQ(S_OK, device.EnumPorts(&outputs, kAudioOutput));
    ASSERT_FALSE(outputs.ports.empty());
    EXPECT_EQ(DSDEVID_DefaultPlayback, outputs.ports[0].id);
    EXPECT_EQ("Primary Sound Driver", outputs.ports[0].name);
    EXPECT_EQ(0x100u, outputs.ports[0].mask);

    const Port* second = outputs.Find("mvsecond");
    ASSERT_NE(nullptr, second);
    EXPECT_EQ("Morvane second test output", second->name);
    EXPECT_EQ(0x1100u, second->mask);
    EXPECT_FALSE(second->hasLimits);
    // Neither the mu-law device nor the one that does not open is offered.
    EXPECT_EQ(nullptr, outputs.Find("mvmulaw"));
    EXPECT_EQ(nullptr, outputs.Find("mvbroken"));

    PortList inputs;
    ASSERT_EQ(S_OK, device.EnumPorts(&inputs, kAudioInput));
    ASSERT_FALSE(inputs.ports.empty());
    EXPECT_EQ(DSDEVID_DefaultCapture, inputs.ports[0].id);
    EXPECT_EQ(E_POINTER, device.EnumPorts(nullptr, kAudioOutput));

    // The selected port answers for its mask; an unknown device for 0x100.
    GUID id;
    CString name;
    unsigned mask = 0;
    ASSERT_EQ(S_OK, device.GetPortInfo(&id, &name, kAudioOutput, &mask, nullptr));
    EXPECT_EQ(DSDEVID_DefaultPlayback, id);
    EXPECT_EQ("Primary Sound Driver", name.Str());
    EXPECT_EQ(0x100u, mask);
    ASSERT_EQ(S_OK, device.SetPort(&second->id, second->name.c_str(), kAudioOutput));
    EXPECT_EQ(mvwin::GuidToString(second->id), CAppConfig::GetDSoundOutput());
    ASSERT_EQ(S_OK, device.GetPortInfo(nullptr, &name, kAudioOutput, &mask, nullptr));
    EXPECT_EQ(0x1100u, mask);
    EXPECT_EQ(E_INVALIDARG, device.GetPortInfo(nullptr, nullptr, kAudioOutput, &mask, nullptr));
}

TEST_F(CDirectSoundTest, PlaysOnTheStoredDevice)
{
    CAppConfig::SetDSoundOutput(mvwin::GuidToString(GuidOf("mvsecond")).c_str());
    CDirectSound device(&m_engine);
    ASSERT_EQ(S_OK, device.Open());
    CString name;
    device.GetPortInfo(nullptr, &name, kAudioOutput, nullptr, nullptr);
    EXPECT_EQ("Morvane second test output", name.Str());
    ASSERT_EQ(S_OK, device.SetFormat(44100, 16, 1024));
    PlayHalves(device, 3);
    EXPECT_TRUE(mvtest::ErrorTexts(device).empty());
    EXPECT_GE(mvtest::AlsaTestConfig::ReadSamples<std::uint8_t>(m_alsa.SecondFile()).size(), 3u * 4096);
}

TEST_F(CDirectSoundTest, ADeviceThatCannotBeOpenedIsReportedAndTheDefaultPlays)
{
    struct Case {
        const char* name;
        GUID stored;
        const char* portName;
    };
    const GUID absent = {0x01234567, 0x89AB, 0xCDEF, {1, 2, 3, 4, 5, 6, 7, 8}};
    const Case cases[] = {
        {"a device that is not present", absent, ""},
        {"a device that does not open", GuidOf("mvbroken"), "Morvane missing test output"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        mvtest::FakeEngineOwner engine;
        CAppConfig::SetDSoundOutput(mvwin::GuidToString(c.stored).c_str());
        CDirectSound device(&engine);
        ASSERT_EQ(S_OK, device.Open());
        ASSERT_EQ(S_OK, device.SetFormat(44100, 16, 1024));
        const std::vector<std::string> errors = mvtest::ErrorTexts(device);
        ASSERT_EQ(1u, errors.size());
        EXPECT_EQ(std::string("Unable to open ") + c.portName + " output.  Trying default DirectSound device.",
                  errors[0]);
        EXPECT_EQ(mvwin::GuidToString(DSDEVID_DefaultPlayback), CAppConfig::GetDSoundOutput());
        GUID id;
        device.GetPortInfo(&id, nullptr, kAudioOutput, nullptr, nullptr);
        EXPECT_EQ(DSDEVID_DefaultPlayback, id);

        ASSERT_EQ(S_OK, device.Start());
        ASSERT_TRUE(engine.WaitForCalls(3));
        ASSERT_EQ(S_OK, device.Stop());
        ASSERT_EQ(S_OK, device.Close(0));
        EXPECT_GE(mvtest::AlsaTestConfig::ReadSamples<std::uint8_t>(m_alsa.OutputFile()).size(), 3u * 4096);
    }
}

TEST_F(CDirectSoundTest, ADefaultDeviceThatCannotBeOpenedEndsTheFormat)
{
    mvtest::AlsaTestConfig noDefault("nodefault-test.conf");
    CAppConfig::SetDSoundOutput(mvwin::GuidToString(GuidOf("mvbroken")).c_str());
    CDirectSound device(&m_engine);
    ASSERT_EQ(S_OK, device.Open());
    EXPECT_EQ(DSERR_NODRIVER, device.SetFormat(44100, 16, 1024));
    const std::vector<std::string> errors = mvtest::ErrorTexts(device);
    ASSERT_EQ(2u, errors.size());
    EXPECT_EQ("Unable to open Morvane missing test output output.  Trying default DirectSound device.", errors[0]);
    EXPECT_EQ("Unable to open default DirectSound output device [88780078].", errors[1]);
    EXPECT_EQ(E_FAIL, device.Start());
    EXPECT_EQ(std::vector<std::string>{"DirectSound Play failed [00000000]."}, mvtest::ErrorTexts(device));
}

TEST_F(CDirectSoundTest, OperationsWithoutBuffersAreReported)
{
    CDirectSound device(&m_engine);
    ASSERT_EQ(S_OK, device.Open());
    EXPECT_EQ(E_FAIL, device.Start());
    EXPECT_EQ(E_FAIL, device.Stop());
    EXPECT_EQ(E_FAIL, device.Pause());
    EXPECT_EQ(E_FAIL, device.Resume());
    EXPECT_EQ((std::vector<std::string>{"DirectSound Play failed [00000000].",
                                        "DirectSound Pause - Unexpected error.",
                                        "DirectSound Resume - Unexpected error."}),
              mvtest::ErrorTexts(device));
    EXPECT_EQ(E_POINTER, device.GetErrorList(nullptr));
}

TEST_F(CDirectSoundTest, StartTwiceKeepsOneThreadAndPauseKeepsItWaiting)
{
    CDirectSound device(&m_engine);
    ASSERT_EQ(S_OK, device.Open());
    ASSERT_EQ(S_OK, device.SetFormat(44100, 16, 1024));
    ASSERT_EQ(S_OK, device.Start());
    EXPECT_EQ(S_FALSE, device.Start());
    ASSERT_TRUE(m_engine.WaitForCalls(2));
    EXPECT_EQ(S_OK, device.Pause());
    EXPECT_EQ(S_FALSE, device.Pause());
    EXPECT_EQ(S_FALSE, device.Stop());
    EXPECT_EQ(S_OK, device.Resume());
    EXPECT_EQ(S_FALSE, device.Resume());
    const int calls = m_engine.Calls();
    ASSERT_TRUE(m_engine.WaitForCalls(calls + 2));
    EXPECT_EQ(S_OK, device.Stop());
    EXPECT_EQ(S_FALSE, device.Stop());
    EXPECT_EQ(1u, m_engine.ThreadCount());
    EXPECT_TRUE(mvtest::ErrorTexts(device).empty());
}

TEST_F(CDirectSoundTest, AThreadStuckInTheEngineKeepsWhatItWritesIntoUntilItReturns)
{
    // A ring in pages of its own: written after it was freed, it would fault.
    CDirectSound* device = new CDirectSound(&m_engine, 100);
    ASSERT_EQ(S_OK, device->Open());
    ASSERT_EQ(S_OK, device->SetFormat(44100, 16, 65536));
    m_engine.HoldNextCall();
    ASSERT_EQ(S_OK, device->Start());
    ASSERT_TRUE(m_engine.WaitUntilHeld());

    EXPECT_EQ(HRESULT_FROM_WIN32(WAIT_TIMEOUT), device->Stop());
    EXPECT_EQ(std::vector<std::string>{"DirectSound Stop failed [80070102]."}, mvtest::ErrorTexts(*device));
    // No second thread enters the engine while the first is inside.
    EXPECT_EQ(HRESULT_FROM_WIN32(WAIT_TIMEOUT), device->Start());
    EXPECT_EQ(std::vector<std::string>{"DirectSound Play failed [80070102]."}, mvtest::ErrorTexts(*device));
    ASSERT_EQ(S_OK, device->ReleaseBuffers());
    ASSERT_EQ(S_OK, device->Close(0));
    delete device;

    const int calls = m_engine.Calls();
    m_engine.Release();  // the held call now writes its whole half
    ASSERT_TRUE(m_engine.WaitForCalls(calls + 1));
    EXPECT_EQ(1u, m_engine.ThreadCount());
}

}  // namespace
