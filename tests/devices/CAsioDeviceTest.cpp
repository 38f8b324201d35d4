#include "devices/CAsioDevice.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "devices/CAppConfig.h"
#include "devices/IEngineOwner.h"
#include "platform/audio/CJackAsioDriver.h"
#include "platform/registry/Registry.h"
#include "platform/sync/ThreadAffinity.h"
#include "tests/platform/audio/FakeAsioDriver.h"
#include "tests/platform/audio/JackTestSupport.h"
#include "tests/support/TempRegistry.h"

namespace {

using namespace std::chrono_literals;
using mvtest::FakeAsio;
using mvtest::FakeAsioConfig;
using mvtest::WaitFor;

// The engine owner as a back-end sees it. Each buffer gets bytes i * 7 + 1
// + 3 * call (every byte different within a buffer, and buffers differ), or
// with `counting` a 24-bit stereo counter in 32-bit words: left
// ((n & 0xFFFF) << 7) for frame n, right its negation.
class FakeEngine : public IEngineOwner {
public:
    HRESULT ProcessBuffer(void* out, void* in, UINT outBytes, LONG frames) override
    {
        const std::thread::id caller = std::this_thread::get_id();
        if (calls.load() > 0 && caller != thread.load())
            ++threadChanges;
        thread = caller;
        audioMarkedCalls += mv::CurrentThreadRole() == mv::ThreadRole::Audio;
        lastOut = out;
        lastIn = in;
        lastBytes = outBytes;
        lastFrames = frames;
        auto* bytes = static_cast<unsigned char*>(out);
        if (counting) {
            auto* words = static_cast<std::int32_t*>(out);
            for (UINT f = 0; f < outBytes / 8; ++f, ++frame) {
                words[2 * f] = static_cast<std::int32_t>((frame & 0xFFFF) << 7);
                words[2 * f + 1] = -words[2 * f];
            }
        } else {
            for (UINT i = 0; i < outBytes; ++i)
                bytes[i] = static_cast<unsigned char>(i * 7 + 1 + 3 * static_cast<UINT>(calls.load()));
        }
        ++calls;
        return S_OK;
    }
    HRESULT RequestAudioReset() override
    {
        ++resets;
        return S_OK;
    }

    std::atomic<int> calls{0};
    std::atomic<int> resets{0};
    std::atomic<std::thread::id> thread{};
    std::atomic<int> threadChanges{0};
    std::atomic<int> audioMarkedCalls{0};
    // Written on the device's thread, read by the test's while it runs.
    std::atomic<void*> lastOut{nullptr};
    std::atomic<void*> lastIn{reinterpret_cast<void*>(1)};
    std::atomic<UINT> lastBytes{0};
    std::atomic<LONG> lastFrames{0};
    bool counting = false;
    std::uint32_t frame = 0;
};

struct PortSeen {
    GUID id;
    std::string name;
    unsigned mask;
    std::string driver;
    std::vector<int> limits;
};

class PortCollector : public IEnumAudioDeviceCallback {
public:
    void AddPort(const GUID* id, const char* name, unsigned mask, const char* driverName, const int* limits) override
    {
        ports.push_back(PortSeen{*id, name, mask, driverName,
                                 limits ? std::vector<int>(limits, limits + kBufferLimitEntries) : std::vector<int>()});
    }
    std::vector<PortSeen> ports;
};

std::vector<std::string> PortNames(IAudioDevice& device, int isInput)
{
    PortCollector c;
    EXPECT_EQ(S_OK, device.EnumPorts(&c, isInput));
    std::vector<std::string> names;
    for (const PortSeen& p : c.ports)
        names.push_back(p.name);
    return names;
}

std::vector<int> Limits(int minimum, int maximum, int granularity)
{
    std::vector<int> limits(kBufferLimitEntries);
    std::fill_n(limits.begin() + kBufferLimitMinimum, kAudioFormatCount, minimum);
    std::fill_n(limits.begin() + kBufferLimitMaximum, kAudioFormatCount, maximum);
    std::fill_n(limits.begin() + kBufferLimitGranularity, kAudioFormatCount, granularity);
    return limits;
}

// Every test starts with its own hive, no drivers, a fresh driver list and
// no port chosen in the settings.
class AsioDeviceFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        FakeAsio::Reset();
        CAsioDevice::DeleteDriverList();
        CAppConfig::SetAsioOutput("");
        CAppConfig::SetAsioInput("");
    }
    void TearDown() override
    {
        CAsioDevice::DeleteDriverList();
        FakeAsio::Reset();
    }

    mvtest::TempRegistry m_registry;
    FakeEngine m_engine;
};

class CAsioDeviceTest : public AsioDeviceFixture {
protected:
    void SetUp() override
    {
        AsioDeviceFixture::SetUp();
        m_device.emplace(&m_engine);
    }
    void TearDown() override
    {
        m_device.reset();
        AsioDeviceFixture::TearDown();
    }

    // The fake driver "Fake" with `config`, and a device opened on it.
    void OpenOn(FakeAsioConfig config = {})
    {
        FakeAsio::Install(mvtest::CLSID_FakeAsioA, "FakeKey", "Fake", std::move(config));
        ASSERT_EQ(S_OK, m_device->Open());
    }
    // Opened, formatted and started at 48000 Hz with 256 frames.
    void Stream(unsigned short bits, unsigned short mode24, FakeAsioConfig config = {})
    {
        OpenOn(std::move(config));
        m_device->Set24BitMode(mode24);
        ASSERT_EQ(S_OK, m_device->SetFormat(48000, bits, 256));
        ASSERT_EQ(S_OK, m_device->Start());
    }
    static std::vector<unsigned char> HalfBytes(std::size_t channel, int index, std::size_t bytes)
    {
        const auto* p = static_cast<const unsigned char*>(FakeAsio::Half(channel, index));
        return std::vector<unsigned char>(p, p + bytes);
    }

    std::optional<CAsioDevice> m_device;
};

TEST_F(CAsioDeviceTest, EachStereoPairOfOutputsIsOnePort)
{
    struct Case {
        int outputs;
        std::vector<std::string> ports;
    };
    const Case cases[] = {
        {8, {"Fake Ch 1", "Fake Ch 3", "Fake Ch 5", "Fake Ch 7"}},
        {7, {"Fake Ch 1", "Fake Ch 3", "Fake Ch 5"}},
        {2, {"Fake Ch 1"}},
    };
    for (const Case& c : cases) {
        SetUp();
        FakeAsioConfig config;
        config.outputs = c.outputs;
        OpenOn(config);
        EXPECT_EQ(c.ports, PortNames(*m_device, kAudioOutput)) << c.outputs << " outputs";
        EXPECT_EQ(FakeAsio::Log().created, FakeAsio::Log().destroyed) << "drivers stay loaded after listing";
        m_device->Close(TRUE);
        TearDown();
    }
}

TEST_F(CAsioDeviceTest, ADriverWithOneOutputOffersNoPortAndOpenFails)
{
    FakeAsioConfig config;
    config.outputs = 1;
    FakeAsio::Install(mvtest::CLSID_FakeAsioA, "FakeKey", "Fake", config);
    EXPECT_EQ(E_FAIL, m_device->Open());
    EXPECT_TRUE(PortNames(*m_device, kAudioOutput).empty());
    EXPECT_EQ(S_FALSE, m_device->Close(FALSE));
}

TEST_F(CAsioDeviceTest, WithoutDriversOpenFails)
{
    EXPECT_EQ(E_FAIL, m_device->Open());
    EXPECT_EQ(S_FALSE, m_device->Close(TRUE));
}

TEST_F(CAsioDeviceTest, ADriverThatCannotStartOffersNoPort)
{
    FakeAsioConfig refusing;
    refusing.initFails = true;
    FakeAsio::Install(mvtest::CLSID_FakeAsioA, "A", "Broken", refusing);
    FakeAsio::Install(mvtest::CLSID_FakeAsioB, "B", "Fine", {});
    ASSERT_EQ(S_OK, m_device->Open());
    EXPECT_EQ((std::vector<std::string>{"Fine Ch 1"}), PortNames(*m_device, kAudioOutput));
}

TEST_F(CAsioDeviceTest, PortsCarryTheDriverAndItsFixedBufferSize)
{
    FakeAsioConfig config;
    config.bufferFrames = 384;
    OpenOn(config);
    PortCollector c;
    ASSERT_EQ(S_OK, m_device->EnumPorts(&c, kAudioOutput));
    ASSERT_EQ(1u, c.ports.size());
    EXPECT_EQ(GUID_NULL, c.ports[0].id);
    EXPECT_EQ("Fake", c.ports[0].driver);
    // The device runs at the preferred size only, whatever the driver allows.
    EXPECT_EQ(Limits(384, 384, 0), c.ports[0].limits);
    EXPECT_EQ(E_POINTER, m_device->EnumPorts(nullptr, kAudioOutput));
}

TEST_F(CAsioDeviceTest, InputsAreListedByTheDriversInputCount)
{
    FakeAsioConfig config;
    config.outputs = 4;
    config.inputs = 2;
    OpenOn(config);
    EXPECT_EQ((std::vector<std::string>{"Fake Ch 1", "Fake Ch 3"}), PortNames(*m_device, kAudioInput));
    m_device->Close(TRUE);
    TearDown();
    SetUp();
    config.inputs = 1;
    OpenOn(config);
    EXPECT_TRUE(PortNames(*m_device, kAudioInput).empty());
}

TEST_F(CAsioDeviceTest, TheCapabilityMaskFollowsTheSampleTypeAtEachRateTheDriverTakes)
{
    struct Case {
        std::int32_t type;
        unsigned bit;
    };
    const Case cases[] = {
        {kAsioInt16LSB, 1},   {kAsioInt16MSB, 1},   {kAsioInt24LSB, 2},   {kAsioInt24MSB, 2},
        {kAsioInt32LSB, 8},   {kAsioInt32MSB, 8},   {kAsioInt32LSB16, 4}, {kAsioInt32LSB18, 4},
        {kAsioInt32LSB20, 4}, {kAsioInt32LSB24, 4}, {kAsioInt32MSB24, 4}, {kAsioFloat32LSB, 0},
        {kAsioFloat64MSB, 0},
    };
    for (const Case& c : cases) {
        SetUp();
        FakeAsioConfig config;
        config.sampleType = c.type;
        config.rates = {22050.0, 48000.0, 96000.0, 32000.0};
        OpenOn(config);
        unsigned mask = 0xDEAD;
        CString name;
        ASSERT_EQ(S_OK, m_device->GetPortInfo(nullptr, &name, kAudioOutput, &mask, nullptr));
        EXPECT_EQ(c.bit << 4 | c.bit << 12 | c.bit << 20, mask) << "type " << c.type;
        m_device->Close(TRUE);
        TearDown();
    }
}

TEST_F(CAsioDeviceTest, OpenTakesTheStoredPortOrElseTheFirst)
{
    FakeAsioConfig config;
    config.outputs = 4;
    CAppConfig::SetAsioOutput("fake CH 3");
    OpenOn(config);
    CString name;
    unsigned mask = 0;
    std::vector<int> limits(kBufferLimitEntries, -7);
    GUID id = mvtest::CLSID_FakeAsioB;
    ASSERT_EQ(S_OK, m_device->GetPortInfo(&id, &name, kAudioOutput, &mask, limits.data()));
    EXPECT_EQ(GUID_NULL, id);
    EXPECT_STREQ("fake CH 3", name);
    EXPECT_EQ(8u << 8 | 8u << 12, mask);
    EXPECT_EQ(Limits(256, 256, 0), limits);
    EXPECT_EQ(S_OK, m_device->Open());  // already open
    m_device->Close(TRUE);

    CAppConfig::SetAsioOutput("Another Card Out 1");
    ASSERT_EQ(S_OK, m_device->Open());
    ASSERT_EQ(S_OK, m_device->GetPortInfo(nullptr, &name, kAudioOutput, nullptr, nullptr));
    EXPECT_STREQ("Fake Ch 1", name);
}

TEST_F(CAsioDeviceTest, PortInfoOfAnUnknownNameLeavesMaskAndLimits)
{
    OpenOn();
    CAppConfig::SetAsioInput("nothing");
    ASSERT_EQ(S_OK, m_device->Close(TRUE));
    ASSERT_EQ(S_OK, m_device->Open());
    unsigned mask = 0x1234;
    std::vector<int> limits(kBufferLimitEntries, -7);
    CString name;
    EXPECT_EQ(S_OK, m_device->GetPortInfo(nullptr, &name, kAudioInput, &mask, limits.data()));
    EXPECT_STREQ("nothing", name);
    EXPECT_EQ(0x1234u, mask);
    EXPECT_EQ(std::vector<int>(kBufferLimitEntries, -7), limits);
    EXPECT_EQ(E_INVALIDARG, m_device->GetPortInfo(nullptr, nullptr, kAudioOutput, &mask, nullptr));
}

TEST_F(CAsioDeviceTest, SetPortStoresTheNameInTheSettings)
{
    EXPECT_EQ(S_OK, m_device->SetPort(nullptr, "Fake Ch 3", kAudioOutput));
    EXPECT_STREQ("Fake Ch 3", CAppConfig::GetAsioOutput());
    EXPECT_EQ(S_OK, m_device->SetPort(nullptr, "Fake Ch 1", kAudioInput));
    EXPECT_STREQ("Fake Ch 1", CAppConfig::GetAsioInput());
    EXPECT_EQ(E_INVALIDARG, m_device->SetPort(nullptr, "x", 2));
    CString name;
    m_device->GetPortInfo(nullptr, &name, kAudioOutput, nullptr, nullptr);
    EXPECT_STREQ("Fake Ch 3", name);
    std::vector<CString> errors{"old"};
    EXPECT_EQ(S_OK, m_device->GetErrorList(&errors));
    EXPECT_EQ(S_OK, m_device->Pause());
    EXPECT_EQ(S_OK, m_device->Resume());
}

TEST_F(CAsioDeviceTest, AResetRequestDuringTheTestStartMakesTheLoadTryOnceMore)
{
    FakeAsio::Log().resetRequestsOnStart = 1;
    OpenOn();
    EXPECT_EQ(2, FakeAsio::Log().inits);
    EXPECT_EQ((std::vector<std::string>{"Fake Ch 1"}), PortNames(*m_device, kAudioOutput));
    EXPECT_EQ(1, m_engine.resets.load());
}

TEST_F(CAsioDeviceTest, ADriverThatKeepsAskingForResetsIsLeftStoppedAndUnloaded)
{
    FakeAsio::Log().resetRequestsOnStart = 2;
    FakeAsio::Install(mvtest::CLSID_FakeAsioA, "FakeKey", "Fake", {});
    EXPECT_EQ(E_FAIL, m_device->Open());
    EXPECT_EQ(2, FakeAsio::Log().inits);
    EXPECT_FALSE(FakeAsio::Log().running);
    EXPECT_EQ(FakeAsio::Log().created, FakeAsio::Log().destroyed);
}

TEST_F(CAsioDeviceTest, TheBufferSwitchSplitsTheEnginesBlockInTheChannelsByteOrder)
{
    struct Case {
        unsigned short bits;
        unsigned short mode24;
        std::int32_t type;
        int blockAlign;
    };
    const Case cases[] = {
        {16, 0, kAsioInt16LSB, 4},   {16, 0, kAsioInt16MSB, 4},   {24, 0, kAsioInt24LSB, 6},
        {24, 0, kAsioInt24MSB, 6},   {24, 1, kAsioInt32LSB24, 8}, {24, 2, kAsioInt32MSB24, 8},
        {32, 3, kAsioInt32LSB, 8},   {32, 4, kAsioInt32MSB, 8},
    };
    for (const Case& c : cases) {
        SetUp();
        m_engine.calls = 0;
        FakeAsioConfig config;
        config.sampleType = c.type;
        Stream(c.bits, c.mode24, config);
        unsigned bytes = 0;
        ASSERT_EQ(S_OK, m_device->GetBufferBytes(&bytes));
        EXPECT_EQ(static_cast<unsigned>(c.blockAlign) * 256, bytes);
        EXPECT_EQ(c.blockAlign, m_device->GetWaveFormat()->nBlockAlign);
        const int readies = FakeAsio::Log().outputReadies;

        FakeAsio::Callbacks().bufferSwitch(1, TRUE);
        ASSERT_EQ(1, m_engine.calls.load());
        EXPECT_EQ(nullptr, m_engine.lastIn.load());
        EXPECT_EQ(bytes, m_engine.lastBytes.load());
        EXPECT_EQ(-1, m_engine.lastFrames.load());
        EXPECT_EQ(readies + 1, FakeAsio::Log().outputReadies);

        const int s = c.blockAlign / 2;
        const bool bigEndian = c.type < kAsioInt16LSB;
        const auto* block = static_cast<const unsigned char*>(m_engine.lastOut.load());
        for (std::size_t channel = 0; channel < 2; ++channel) {
            const std::vector<unsigned char> half = HalfBytes(channel, 1, static_cast<std::size_t>(256 * s));
            for (int f = 0; f < 256; ++f) {
                std::vector<unsigned char> sample(block + f * c.blockAlign + static_cast<int>(channel) * s,
                                                  block + f * c.blockAlign + static_cast<int>(channel + 1) * s);
                if (bigEndian)
                    std::reverse(sample.begin(), sample.end());
                ASSERT_EQ(sample, std::vector<unsigned char>(half.begin() + f * s, half.begin() + (f + 1) * s))
                    << c.bits << "/" << c.mode24 << " type " << c.type << " channel " << channel << " frame " << f;
            }
            EXPECT_EQ(std::vector<unsigned char>(static_cast<std::size_t>(256 * s), 0),
                      HalfBytes(channel, 0, static_cast<std::size_t>(256 * s)))
                << "the other half is not touched";
        }
        m_device->Close(TRUE);
        TearDown();
    }
}

TEST_F(CAsioDeviceTest, FormatsTheChannelsCannotHoldAreRefused)
{
    struct Case {
        std::int32_t type;
        unsigned short bits;
        unsigned short mode24;
    };
    const Case cases[] = {
        {kAsioInt32LSB, 16, 0},   // 2-byte samples into 4-byte channels
        {kAsioInt16LSB, 32, 4},   // 4-byte samples into 2-byte channels: an overrun
        {kAsioInt32LSB, 24, 0},   // packed samples into words
        {kAsioInt24LSB, 24, 1},   // words into packed channels
        {kAsioFloat32LSB, 32, 4}, // integers into float channels
    };
    for (const Case& c : cases) {
        SetUp();
        FakeAsioConfig config;
        config.sampleType = c.type;
        OpenOn(config);
        m_device->Set24BitMode(c.mode24);
        EXPECT_EQ(E_FAIL, m_device->SetFormat(48000, c.bits, 256)) << "type " << c.type << ", " << c.bits;
        m_device->Close(TRUE);
        EXPECT_EQ(FakeAsio::Log().created, FakeAsio::Log().destroyed);
        TearDown();
    }
}

TEST_F(CAsioDeviceTest, RateAndSizeTheDriverRefusesFailTheFormat)
{
    OpenOn();
    EXPECT_EQ(E_FAIL, m_device->SetFormat(96000, 32, 256));
    m_device->Close(FALSE);
    ASSERT_EQ(S_OK, m_device->Open());
    EXPECT_EQ(E_FAIL, m_device->SetFormat(48000, 32, 512));
    m_device->Close(FALSE);
    ASSERT_EQ(S_OK, m_device->Open());
    EXPECT_EQ(E_INVALIDARG, m_device->SetFormat(48000, 32, 0));
    EXPECT_EQ(S_OK, m_device->SetFormat(48000, 32, 256));
    EXPECT_EQ(48000.0, FakeAsio::Log().rate);
    EXPECT_EQ(E_UNEXPECTED, m_device->SetFormat(48000, 32, 256)) << "a driver is loaded";
}

#if MV_THREAD_CHECKS
TEST_F(CAsioDeviceTest, ABufferSwitchOnTheUIThreadDies)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Stream(32, 4);
    EXPECT_DEATH(
        {
            mv::MarkCurrentThread(mv::ThreadRole::UI);
            FakeAsio::Callbacks().bufferSwitch(0, TRUE);
        },
        "BufferSwitch belongs to the audio thread but was called on the UI thread");
    EXPECT_EQ(0, m_engine.calls.load());
}
#endif

TEST_F(CAsioDeviceTest, WhileStopHoldsTheLockTheHalfIsZeroedNotPlayedAgain)
{
    FakeAsioConfig config;
    // A buffer switch on the driver's thread while Stop is under way.
    config.onStop = [] { std::thread([] { FakeAsio::Callbacks().bufferSwitch(0, TRUE); }).join(); };
    Stream(32, 4, config);
    FakeAsio::Callbacks().bufferSwitch(0, TRUE);
    ASSERT_EQ(1, m_engine.calls.load());
    ASSERT_NE(std::vector<unsigned char>(1024, 0), HalfBytes(0, 0, 1024));
    const int readies = FakeAsio::Log().outputReadies;

    ASSERT_EQ(S_OK, m_device->Stop());
    EXPECT_EQ(1, m_engine.calls.load()) << "the engine was called while the lock was busy";
    EXPECT_EQ(readies + 1, FakeAsio::Log().outputReadies);
    EXPECT_EQ(std::vector<unsigned char>(1024, 0), HalfBytes(0, 0, 1024));
    EXPECT_EQ(std::vector<unsigned char>(1024, 0), HalfBytes(1, 0, 1024));
}

TEST_F(CAsioDeviceTest, APendingResetZeroesTheHalvesAndTheReopeningListsTheDriverAgain)
{
    Stream(32, 4);
    FakeAsio::Callbacks().bufferSwitch(1, TRUE);
    ASSERT_NE(std::vector<unsigned char>(1024, 0), HalfBytes(1, 1, 1024));
    EXPECT_EQ(1, FakeAsio::Callbacks().asioMessage(kAsioResetRequest, 0, nullptr, nullptr));
    EXPECT_EQ(1, m_engine.resets.load());

    FakeAsio::Callbacks().bufferSwitch(1, TRUE);
    EXPECT_EQ(1, m_engine.calls.load());
    EXPECT_EQ(std::vector<unsigned char>(1024, 0), HalfBytes(0, 1, 1024));
    EXPECT_EQ(std::vector<unsigned char>(1024, 0), HalfBytes(1, 1, 1024));

    // The engine owner's reset: close and reopen.
    const int inits = FakeAsio::Log().inits;
    ASSERT_EQ(S_OK, m_device->Close(FALSE));
    EXPECT_EQ(FakeAsio::Log().created, FakeAsio::Log().destroyed) << "the driver was unloaded";
    ASSERT_EQ(S_OK, m_device->Open());
    EXPECT_GT(FakeAsio::Log().inits, inits) << "the ports were listed again";
    ASSERT_EQ(S_OK, m_device->SetFormat(48000, 32, 256));
    ASSERT_EQ(S_OK, m_device->Start());
    FakeAsio::Callbacks().bufferSwitch(0, TRUE);
    EXPECT_EQ(2, m_engine.calls.load());
}

TEST_F(CAsioDeviceTest, AfterCloseTheCallbacksReachNothing)
{
    Stream(32, 4);
    const AsioCallbacks callbacks = FakeAsio::Callbacks();
    ASSERT_EQ(S_OK, m_device->Close(FALSE));
    EXPECT_FALSE(FakeAsio::Log().running);
    EXPECT_GE(FakeAsio::Log().disposes, 1);
    EXPECT_LT(FakeAsio::Log().destroyed, FakeAsio::Log().created) << "kept loaded without unload";
    callbacks.bufferSwitch(0, TRUE);
    EXPECT_EQ(0, m_engine.calls.load());
    EXPECT_EQ(S_FALSE, m_device->Close(TRUE));
}

TEST_F(CAsioDeviceTest, TheDriversMessagesAreAnswered)
{
    OpenOn();
    const auto message = FakeAsio::Callbacks().asioMessage;
    EXPECT_EQ(2, message(kAsioEngineVersion, 0, nullptr, nullptr));
    EXPECT_EQ(1, message(kAsioResyncRequest, 0, nullptr, nullptr));
    for (std::int32_t other : {kAsioSelectorSupported, kAsioBufferSizeChange, kAsioLatenciesChanged,
                               kAsioSupportsTimeInfo, 99})
        EXPECT_EQ(0, message(other, 0, nullptr, nullptr)) << other;
    EXPECT_EQ(0, m_engine.resets.load());
}

TEST_F(CAsioDeviceTest, TheTimeInfoSwitchRendersAndReturnsTheFirstBlockItWasGiven)
{
    Stream(32, 4);
    AsioTime first{1.0, 111, 222, 48000.0, 3};
    AsioTime second{1.0, 333, 444, 48000.0, 3};
    const AsioTime* kept = FakeAsio::Callbacks().bufferSwitchTimeInfo(&first, 0, TRUE);
    ASSERT_NE(nullptr, kept);
    EXPECT_EQ(222, kept->samplePosition);
    EXPECT_EQ(kept, FakeAsio::Callbacks().bufferSwitchTimeInfo(&second, 1, TRUE));
    EXPECT_EQ(222, kept->samplePosition);
    EXPECT_EQ(2, m_engine.calls.load());
}

TEST_F(CAsioDeviceTest, TheControlPanelKeepsResetsFromTheEngineAndGivesWayToStreaming)
{
    OpenOn();
    ASSERT_EQ(S_OK, m_device->ShowControlPanel("Fake"));
    EXPECT_EQ(1, FakeAsio::Log().controlPanels);
    FakeAsio::Callbacks().asioMessage(kAsioResetRequest, 0, nullptr, nullptr);
    EXPECT_EQ(0, m_engine.resets.load()) << "a reset asked for from the panel is not the engine's";
    EXPECT_EQ(E_FAIL, m_device->ShowControlPanel("Nothing"));
    ASSERT_EQ(S_OK, m_device->ShowControlPanel("Fake"));
    EXPECT_EQ(2, FakeAsio::Log().controlPanels);

    // The driver loaded for the panel does not stand in the way of the device.
    ASSERT_EQ(S_OK, m_device->SetFormat(48000, 32, 256));
    ASSERT_EQ(S_OK, m_device->Start());
    FakeAsio::Callbacks().bufferSwitch(0, TRUE);
    EXPECT_EQ(1, m_engine.calls.load());
}

TEST_F(CAsioDeviceTest, TheDestructorUnloadsTheDriver)
{
    FakeAsio::Install(mvtest::CLSID_FakeAsioA, "FakeKey", "Fake", {});
    {
        CAsioDevice device(&m_engine);
        ASSERT_EQ(S_OK, device.Open());
        ASSERT_EQ(S_OK, device.SetFormat(48000, 32, 256));
        ASSERT_EQ(S_OK, device.Start());
    }
    EXPECT_FALSE(FakeAsio::Log().running);
    EXPECT_EQ(FakeAsio::Log().created, FakeAsio::Log().destroyed);
}

// The back-end on the JACK driver, against the run's JACK server or one of
// the test's own.
class CAsioDeviceOnJackTest : public AsioDeviceFixture {
protected:
    void SetUp() override
    {
        AsioDeviceFixture::SetUp();
        m_server = mvtest::SharedJackServer();
        if (!m_server)
            GTEST_SKIP() << "no JACK server (MORVANE_JACK_SERVER)";
        ASSERT_EQ(S_OK, CJackAsioDriver::Register());
        m_engine.counting = true;
    }
    void TearDown() override
    {
        CJackAsioDriver::Unregister();
        AsioDeviceFixture::TearDown();
    }

    // `device` streaming 24-bit samples in 32-bit words at 48000 Hz and 256
    // frames on `server` (the test's own), the engine seen to render.
    void StreamOn(const mvtest::JackTestServer& server, CAsioDevice& device)
    {
        ASSERT_TRUE(server.IsUp());
        ASSERT_EQ(S_OK, device.Open());
        ASSERT_EQ(S_OK, device.Set24BitMode(1));
        ASSERT_EQ(S_OK, device.SetFormat(48000, 24, 256));
        ASSERT_EQ(S_OK, device.Start());
        ASSERT_TRUE(WaitFor([&] { return m_engine.calls.load() > 2; }));
    }

    const char* m_server = nullptr;
    mvtest::ScopedEnv m_clientName{"MORVANE_JACK_CLIENT", mvtest::DriverClientName().c_str()};
};

TEST_F(CAsioDeviceOnJackTest, TheEngineRendersOnJacksThreadAtTheServersRateAndIsHeardByAnotherClient)
{
    mvtest::JackProbe probe(m_server, 2, 0);
    ASSERT_TRUE(probe.IsOpen());
    const int rate = static_cast<int>(jack_get_sample_rate(probe.Client()));
    const int frames = static_cast<int>(jack_get_buffer_size(probe.Client()));
    ASSERT_GE(AudioRateIndex(rate), 0) << "the server runs at a rate the engine does not know";

    CAsioDevice asio(&m_engine);
    IAudioDevice& device = asio;  // as the engine owner drives it
    ASSERT_EQ(S_OK, device.Open());
    EXPECT_EQ(std::vector<std::string>{"JACK Out 1"}, PortNames(device, kAudioOutput));
    unsigned mask = 0;
    CString name;
    std::vector<int> limits(kBufferLimitEntries);
    ASSERT_EQ(S_OK, device.GetPortInfo(nullptr, &name, kAudioOutput, &mask, limits.data()));
    EXPECT_EQ(4u << (4 * AudioRateIndex(rate)), mask) << "24 bits in 32 at the server's rate only";
    EXPECT_EQ(Limits(frames, frames, 0), limits);
    EXPECT_EQ(S_OK, IsAudioFormatSupported(rate, 24, 1, mask));
    const int chosen = ComputeBufferFrames(100, rate, 24, 1, limits.data());
    EXPECT_EQ(frames, chosen);

    ASSERT_EQ(S_OK, device.Set24BitMode(1));
    ASSERT_EQ(S_OK, device.SetFormat(rate, 24, chosen));
    ASSERT_EQ(S_OK, device.Start());
    ASSERT_TRUE(probe.Connect(mvtest::DriverPort("Out 1"), probe.InputName(0)));
    ASSERT_TRUE(probe.Connect(mvtest::DriverPort("Out 2"), probe.InputName(1)));
    ASSERT_TRUE(WaitFor([&] { return m_engine.calls.load() > 4; }));

    probe.StartRecording();
    const mvtest::CountedSecond second = mvtest::CountOverOneSecond(m_engine.calls);
    probe.StopRecording();
    ASSERT_EQ(S_OK, device.Stop());
    const int stopped = m_engine.calls;

    const double expected = static_cast<double>(rate) / frames * second.seconds;
    // A dummy server that cannot keep its clock on a loaded machine drops
    // cycles and says so; only then may the rate fall short.
    const bool starved = probe.Xruns() > 0 && second.count <= expected * 0.5;
    if (!starved) {
        EXPECT_GT(second.count, expected * 0.5);
    }
    EXPECT_LT(second.count, expected * 1.5);
    EXPECT_NE(std::this_thread::get_id(), m_engine.thread.load());
    EXPECT_EQ(0, m_engine.threadChanges.load()) << "the engine was called from more than one thread";
    EXPECT_EQ(static_cast<UINT>(frames) * 8, m_engine.lastBytes.load());
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(stopped, m_engine.calls.load()) << "the engine was called after Stop returned";

    // A lost cycle can leave the probe reading one port before and the other
    // after a cycle of ours: the stream is checked only when none was lost.
    if (probe.Xruns() > 0)
        GTEST_SKIP() << "the server lost " << probe.Xruns() << " cycles: the streams cannot be compared frame by frame";
    // The engine's 24-bit samples, split to Out 1 and Out 2, arrive as
    // sample / 2^23: the counter frame after frame (but for cycles a busy
    // machine loses), and its negation.
    EXPECT_EQ("",
              mvtest::CounterStreamFault(probe.Recorded(0), probe.Recorded(1), static_cast<std::size_t>(frames)));
}

TEST_F(CAsioDeviceOnJackTest, JacksProcessThreadIsTheAudioThreadWhileTheUIThreadDrivesTheDevice)
{
    mvtest::JackProbe probe(m_server, 0, 0);
    ASSERT_TRUE(probe.IsOpen());
    const int rate = static_cast<int>(jack_get_sample_rate(probe.Client()));
    const int frames = static_cast<int>(jack_get_buffer_size(probe.Client()));
    const mv::ScopedThreadRole ui(mv::ThreadRole::UI);
    CAsioDevice device(&m_engine);
    ASSERT_EQ(S_OK, device.Open());
    ASSERT_EQ(S_OK, device.Set24BitMode(1));
    ASSERT_EQ(S_OK, device.SetFormat(rate, 24, frames));
    ASSERT_EQ(S_OK, device.Start());
    ASSERT_TRUE(WaitFor([&] { return m_engine.calls.load() > 2; }));
    ASSERT_EQ(S_OK, device.Stop());
    EXPECT_EQ(m_engine.calls.load(), m_engine.audioMarkedCalls.load());
}

TEST_F(CAsioDeviceOnJackTest, WithoutAServerOpenFailsAndTheProgramGoesOn)
{
    const std::string missing = fmt::format("mvtest-none-{}", getpid());
    mvtest::ScopedEnv server("MORVANE_JACK_SERVER", missing.c_str());
    auto* device = new CAsioDevice(&m_engine);
    EXPECT_EQ(E_FAIL, device->Open());
    EXPECT_EQ(E_FAIL, device->Open()) << "and again, without a hang";
    EXPECT_EQ(S_FALSE, device->Close(TRUE));
    delete device;
    EXPECT_EQ(0, m_engine.calls.load());
}

TEST_F(CAsioDeviceOnJackTest, AServerShutDownAsksTheEngineForAReset)
{
    mvtest::JackTestServer own;
    mvtest::ScopedEnv server("MORVANE_JACK_SERVER", own.Name().c_str());
    CAsioDevice device(&m_engine);
    StreamOn(own, device);
    ASSERT_FALSE(HasFailure());
    own.Kill();
    ASSERT_TRUE(WaitFor([&] { return m_engine.resets.load() > 0; }));

    // The engine owner's reset closes and reopens: without the server the
    // reopening fails, and nothing hangs.
    EXPECT_EQ(S_OK, device.Close(FALSE));
    EXPECT_EQ(E_FAIL, device.Open());
}

TEST_F(CAsioDeviceOnJackTest, ABufferSizeChangeAsksForAResetAndTheReopenedDeviceTakesTheNewSize)
{
    mvtest::JackTestServer own;
    mvtest::ScopedEnv server("MORVANE_JACK_SERVER", own.Name().c_str());
    CAsioDevice device(&m_engine);
    StreamOn(own, device);
    ASSERT_FALSE(HasFailure());

    mvtest::JackProbe probe(own.Name().c_str(), 0, 0);
    ASSERT_TRUE(probe.IsOpen());
    ASSERT_EQ(0, jack_set_buffer_size(probe.Client(), 512));
    ASSERT_TRUE(WaitFor([&] { return m_engine.resets.load() > 0; }));

    ASSERT_EQ(S_OK, device.Close(FALSE));
    ASSERT_EQ(S_OK, device.Open());
    std::vector<int> limits(kBufferLimitEntries);
    unsigned mask = 0;
    CString name;
    ASSERT_EQ(S_OK, device.GetPortInfo(nullptr, &name, kAudioOutput, &mask, limits.data()));
    EXPECT_EQ(Limits(512, 512, 0), limits);
    ASSERT_EQ(S_OK, device.SetFormat(48000, 24, 512));
    ASSERT_EQ(S_OK, device.Start());
    const int calls = m_engine.calls;
    EXPECT_TRUE(WaitFor([&] { return m_engine.calls.load() > calls + 2; }));
    EXPECT_EQ(512u * 8, m_engine.lastBytes.load());
}

}  // namespace
