#include "devices/CWDMAudio.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "devices/CAppConfig.h"
#include "platform/sync/ThreadAffinity.h"
#include "tests/devices/AudioDeviceErrors.h"
#include "tests/devices/FakeEngineOwner.h"
#include "tests/devices/KsTestFixture.h"

namespace {

using mvtest::RenderFilter;
using mvtest::RenderPin;

struct Port {
    std::string name;
    unsigned mask;
    std::string device;
    std::vector<int> limits;
};

class PortList : public IEnumAudioDeviceCallback {
public:
    void AddPort(const GUID* id, const char* name, unsigned mask, const char* device, const int* limits) override
    {
        EXPECT_EQ(GUID_NULL, *id);
        ports.push_back({name, mask, device, limits ? std::vector<int>(limits, limits + kBufferLimitEntries)
                                                    : std::vector<int>()});
    }
    std::vector<Port> ports;
};

KsFilterDescription CaptureFilter(const std::string& name)
{
    KsPinDescription pin = RenderPin({PcmAudioRange(2, 16, 16, 44100, 48000)});
    pin.dataFlow = KSPIN_DATAFLOW_OUT;
    KsFilterDescription f = RenderFilter(name, {pin});
    f.categories = {KSCATEGORY_AUDIO, KSCATEGORY_CAPTURE};
    return f;
}

class CWDMAudioTest : public mvtest::KsTestFixture {
protected:
    void SetUp() override
    {
        KsTestFixture::SetUp();
        CAppConfig::SetWDMOutput("");
        CAppConfig::SetWDMInput("");
    }
    void TearDown() override
    {
        CAppConfig::SetWDMOutput("");
        KsTestFixture::TearDown();
    }

    mvtest::FakeEngineOwner m_engine;
};

TEST_F(CWDMAudioTest, ProbesEachRenderDeviceForFormatsAndBufferLimits)
{
    m_provider->filters = {
        RenderFilter("Only 44100", {RenderPin({PcmAudioRange(2, 16, 16, 44100, 44100)}, 1024)}),
        RenderFilter("Wide",
                     {RenderPin({PcmAudioRange(2, 16, 16, 8000, 96000), PcmAudioRange(2, 24, 24, 8000, 48000)})}),
        CaptureFilter("Line In"),
    };
    CWDMAudio device(&m_engine);
    ASSERT_EQ(S_OK, device.Open());
    PortList outputs;
    ASSERT_EQ(S_OK, device.EnumPorts(&outputs, kAudioOutput));
    ASSERT_EQ(2u, outputs.ports.size());

    const Port& only = outputs.ports[0];
    EXPECT_EQ("Only 44100", only.name);
    EXPECT_EQ("Only 44100 (fake device)", only.device);
    EXPECT_EQ(0x100u, only.mask);
    const int i44 = FormatIndex(44100, 16, 0);
    for (int i = 0; i < kAudioFormatCount; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(i == i44 ? 256 : 0, only.limits[kBufferLimitMinimum + i]);
        EXPECT_EQ(i == i44 ? 88200 : 0, only.limits[kBufferLimitMaximum + i]);
        EXPECT_EQ(i == i44 ? 256 : 0, only.limits[kBufferLimitGranularity + i]);
    }

    // 16 bits at every rate, 24 bits (packed or in 32) up to 48000 Hz; no
    // framing: 10 ms.
    const Port& wide = outputs.ports[1];
    EXPECT_EQ(0x117777u, wide.mask);
    const int i48 = FormatIndex(48000, 16, 0);
    EXPECT_EQ(480, wide.limits[kBufferLimitMinimum + i48]);
    EXPECT_EQ(96000, wide.limits[kBufferLimitMaximum + i48]);
    EXPECT_EQ(480, wide.limits[kBufferLimitGranularity + i48]);

    PortList inputs;
    ASSERT_EQ(S_OK, device.EnumPorts(&inputs, kAudioInput));
    ASSERT_EQ(1u, inputs.ports.size());
    EXPECT_EQ("Line In", inputs.ports[0].name);
    EXPECT_TRUE(inputs.ports[0].limits.empty());

    // The first render device is chosen; its mask and limits answer.
    CString name;
    unsigned mask = 0;
    int limits[kBufferLimitEntries] = {};
    GUID id = {1, 2, 3, {}};
    ASSERT_EQ(S_OK, device.GetPortInfo(&id, &name, kAudioOutput, &mask, limits));
    EXPECT_EQ(GUID_NULL, id);
    EXPECT_EQ("Only 44100", name.Str());
    EXPECT_EQ(0x100u, mask);
    EXPECT_EQ(256, limits[kBufferLimitMinimum + i44]);
    EXPECT_EQ(E_INVALIDARG, device.GetPortInfo(nullptr, nullptr, kAudioOutput, &mask, limits));
    EXPECT_EQ(256, ComputeBufferFrames(5, 44100, 16, 0, limits));
}

TEST_F(CWDMAudioTest, ThePlayedStreamIsTheRenderedStreamAfterTheStartingSilence)
{
    m_provider->filters = {RenderFilter("Speakers", {RenderPin({PcmAudioRange(2, 16, 32, 44100, 48000)}, 1024)}),
                           CaptureFilter("Line In")};
    CWDMAudio device(&m_engine);
    ASSERT_EQ(S_OK, device.Open());
    ASSERT_EQ(S_OK, device.Set24BitMode(0));
    ASSERT_EQ(S_OK, device.SetFormat(48000, 24, 512));
    EXPECT_EQ(6u, device.GetWaveFormat()->nBlockAlign);
    EXPECT_EQ(6u, m_provider->LastFormat().nBlockAlign);
    unsigned bytes = 0;
    ASSERT_EQ(S_OK, device.GetBufferBytes(&bytes));
    EXPECT_EQ(3072u, bytes);  // 512 frames of 6 bytes in 1024-byte allocator frames
    ASSERT_EQ(S_OK, device.Start());
    EXPECT_EQ(S_FALSE, device.Start());
    ASSERT_TRUE(m_engine.WaitForCalls(8));
    ASSERT_EQ(S_OK, device.Stop());
    EXPECT_EQ(S_FALSE, device.Stop());
    ASSERT_EQ(S_OK, device.Close(0));
    EXPECT_EQ(S_FALSE, device.Close(0));

    for (const UINT size : m_engine.Sizes())
        ASSERT_EQ(bytes, size);
    for (const LONG frames : m_engine.FramesArguments())
        ASSERT_EQ(-1, frames);
    EXPECT_EQ(1u, m_engine.ThreadCount());
    EXPECT_EQ(0, m_engine.CallsWithInput());
    const std::vector<std::uint8_t> played = m_provider->Played();
    ASSERT_GE(played.size(), std::size_t(2 + m_engine.Calls() - 2) * bytes);
    for (std::size_t i = 0; i < 2 * bytes; ++i)
        ASSERT_EQ(0, played[i]) << "byte " << i;
    for (std::size_t i = 2 * bytes; i < played.size(); ++i)
        ASSERT_EQ(mvtest::FakeEngineOwner::StreamByte(i - 2 * bytes), played[i]) << "byte " << i;
    EXPECT_TRUE(mvtest::ErrorTexts(device).empty());
}

TEST_F(CWDMAudioTest, TheEngineIsCalledOnTheAudioThreadWhileTheUIThreadDrivesTheDevice)
{
    m_provider->filters = {RenderFilter("Speakers", {RenderPin({PcmAudioRange(2, 16, 16, 44100, 48000)}, 1024)})};
    const mv::ScopedThreadRole ui(mv::ThreadRole::UI);
    CWDMAudio device(&m_engine);
    ASSERT_EQ(S_OK, device.Open());
    ASSERT_EQ(S_OK, device.SetFormat(48000, 16, 512));
    ASSERT_EQ(S_OK, device.Start());
    ASSERT_TRUE(m_engine.WaitForCalls(4));
    ASSERT_EQ(S_OK, device.Stop());
    ASSERT_EQ(S_OK, device.Close(0));
    EXPECT_EQ(std::set<mv::ThreadRole>{mv::ThreadRole::Audio}, m_engine.Roles());
}

TEST_F(CWDMAudioTest, WithoutDevicesOpenFailsAndTheBackEndCanBeDeleted)
{
    auto device = std::make_unique<CWDMAudio>(&m_engine);
    EXPECT_TRUE(FAILED(device->Open()));
    PortList outputs;
    EXPECT_EQ(E_UNEXPECTED, device->EnumPorts(&outputs, kAudioOutput));
    EXPECT_EQ(std::vector<std::string>{"WDM Enum Devices - Unexpected error."}, mvtest::ErrorTexts(*device));
    EXPECT_EQ(S_FALSE, device->Close(0));
    device.reset();
}

TEST_F(CWDMAudioTest, RenderDevicesAloneAreEnoughToOpen)
{
    m_provider->filters = {RenderFilter("Speakers", {RenderPin({PcmAudioRange(2, 16, 16, 44100, 44100)})})};
    CWDMAudio device(&m_engine);
    ASSERT_EQ(S_OK, device.Open());
    EXPECT_EQ(S_FALSE, device.Open());
    PortList inputs;
    ASSERT_EQ(S_OK, device.EnumPorts(&inputs, kAudioInput));
    EXPECT_TRUE(inputs.ports.empty());
    ASSERT_EQ(S_OK, device.SetFormat(44100, 16, 441));
    ASSERT_EQ(S_OK, device.Start());
    ASSERT_TRUE(m_engine.WaitForCalls(2));
    ASSERT_EQ(S_OK, device.Stop());
}

TEST_F(CWDMAudioTest, TheStoredOutputOrTheFirstDeviceIsChosen)
{
    m_provider->filters = {RenderFilter("First", {RenderPin({PcmAudioRange(2, 16, 16, 44100, 44100)})}),
                           RenderFilter("Second", {RenderPin({PcmAudioRange(2, 16, 16, 48000, 48000)})})};
    struct Case {
        const char* stored;
        const char* chosen;
        unsigned mask;
    };
    // A stored name matches whatever its case, and stays as stored.
    for (const Case& c : {Case{"second", "second", 0x1000u}, Case{"Gone", "First", 0x100u}}) {
        SCOPED_TRACE(c.stored);
        CAppConfig::SetWDMOutput(c.stored);
        CWDMAudio device(&m_engine);
        ASSERT_EQ(S_OK, device.Open());
        CString name;
        unsigned mask = 0;
        ASSERT_EQ(S_OK, device.GetPortInfo(nullptr, &name, kAudioOutput, &mask, nullptr));
        EXPECT_EQ(c.chosen, name.Str());
        EXPECT_EQ(c.mask, mask);
    }
    CWDMAudio device(&m_engine);
    ASSERT_EQ(S_OK, device.SetPort(nullptr, "Second", kAudioOutput));
    EXPECT_STREQ("Second", CAppConfig::GetWDMOutput());
    ASSERT_EQ(S_OK, device.SetPort(nullptr, "Line In", kAudioInput));
    EXPECT_STREQ("Line In", CAppConfig::GetWDMInput());
}

TEST_F(CWDMAudioTest, FailuresAreReportedInTheErrorList)
{
    m_provider->filters = {RenderFilter("Speakers", {RenderPin({PcmAudioRange(2, 16, 16, 44100, 44100)})})};
    CWDMAudio device(&m_engine);
    ASSERT_EQ(S_OK, device.Open());
    EXPECT_EQ(E_FAIL, device.Start());
    EXPECT_EQ(E_FAIL, device.Stop());
    EXPECT_EQ(E_FAIL, device.Pause());
    EXPECT_EQ(E_FAIL, device.Resume());
    unsigned bytes = 0;
    EXPECT_EQ(E_FAIL, device.GetBufferBytes(&bytes));
    EXPECT_EQ(E_POINTER, device.GetBufferBytes(nullptr));
    EXPECT_EQ(E_FAIL, device.SetFormat(48000, 16, 480));
    EXPECT_EQ((std::vector<std::string>{"WDM Play - Unexpected error.", "WDM Stop - Unexpected error.",
                                        "WDM Pause - Unexpected error.", "WDM Resume - Unexpected error.",
                                        "CreateRenderPin failed on device Speakers."}),
              mvtest::ErrorTexts(device));
    // The failed pin left nothing behind: a format the device takes works.
    ASSERT_EQ(S_OK, device.SetFormat(44100, 16, 441));
    ASSERT_EQ(S_OK, device.Start());
    EXPECT_EQ(S_OK, device.Pause());
    EXPECT_EQ(S_FALSE, device.Pause());
    EXPECT_EQ(S_OK, device.Resume());
    EXPECT_EQ(S_FALSE, device.Resume());
    EXPECT_EQ(S_OK, device.Stop());
}

TEST_F(CWDMAudioTest, AThreadStuckInTheEngineKeepsItsPacketsUntilItReturns)
{
    m_provider->filters = {RenderFilter("Speakers", {RenderPin({PcmAudioRange(2, 16, 16, 44100, 44100)}, 1024)})};
    auto* device = new CWDMAudio(&m_engine, 100);
    ASSERT_EQ(S_OK, device->Open());
    ASSERT_EQ(S_OK, device->SetFormat(44100, 16, 16384));
    m_engine.HoldNextCall();
    ASSERT_EQ(S_OK, device->Start());
    ASSERT_TRUE(m_engine.WaitUntilHeld());

    EXPECT_EQ(HRESULT_FROM_WIN32(WAIT_TIMEOUT), device->Stop());
    EXPECT_EQ(std::vector<std::string>{"WDM Stop - Unexpected error."}, mvtest::ErrorTexts(*device));
    EXPECT_EQ(E_FAIL, device->Start());
    EXPECT_EQ(std::vector<std::string>{"Failed to create WDM audio thread."}, mvtest::ErrorTexts(*device));
    EXPECT_EQ(S_OK, device->Close(0));
    delete device;  // releases the layer and its filters as well

    const int calls = m_engine.Calls();
    m_engine.Release();  // the held call now writes its whole packet
    ASSERT_TRUE(m_engine.WaitForCalls(calls + 1));
    EXPECT_EQ(1u, m_engine.ThreadCount());
}

}  // namespace
