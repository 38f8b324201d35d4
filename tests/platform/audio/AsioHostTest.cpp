#include "platform/audio/AsioHost.h"

#include <gtest/gtest.h>

#include <cstring>

#include "tests/platform/audio/FakeAsioDriver.h"

namespace {

using mvtest::FakeAsio;
using mvtest::FakeAsioConfig;
using mvtest::FakeAsioDriver;

class AsioHostTest : public ::testing::Test {
protected:
    void SetUp() override { FakeAsio::Reset(); }
    void TearDown() override
    {
        ASIOExit();
        FakeAsio::Reset();
    }

    // A driver made current; the host holds the only reference.
    void Load(FakeAsioConfig config = {})
    {
        auto* driver = new FakeAsioDriver(mvtest::CLSID_FakeAsioA, config);
        mvasio::SetCurrentDriver(driver);
        driver->Release();
    }
};

TEST_F(AsioHostTest, EveryCallAnswersNotPresentWithoutADriver)
{
    std::int32_t a = 0;
    std::int32_t b = 0;
    std::int32_t c = 0;
    std::int32_t d = 0;
    double rate = 0.0;
    AsioChannelInfo info{};
    AsioDriverInfo driverInfo{};
    EXPECT_EQ(nullptr, mvasio::GetCurrentDriver());
    EXPECT_EQ(kAsioNotPresent, ASIOInit(&driverInfo));
    EXPECT_STRNE("", driverInfo.errorMessage);
    EXPECT_EQ(kAsioNotPresent, ASIOStart());
    EXPECT_EQ(kAsioNotPresent, ASIOStop());
    EXPECT_EQ(kAsioNotPresent, ASIOGetChannels(&a, &b));
    EXPECT_EQ(kAsioNotPresent, ASIOGetBufferSize(&a, &b, &c, &d));
    EXPECT_EQ(kAsioNotPresent, ASIOCanSampleRate(48000.0));
    EXPECT_EQ(kAsioNotPresent, ASIOGetSampleRate(&rate));
    EXPECT_EQ(kAsioNotPresent, ASIOSetSampleRate(48000.0));
    EXPECT_EQ(kAsioNotPresent, ASIOGetChannelInfo(&info));
    EXPECT_EQ(kAsioNotPresent, ASIOCreateBuffers(nullptr, 0, 0, nullptr));
    EXPECT_EQ(kAsioNotPresent, ASIODisposeBuffers());
    EXPECT_EQ(kAsioNotPresent, ASIOControlPanel());
    EXPECT_EQ(kAsioNotPresent, ASIOOutputReady());
    EXPECT_EQ(kAsioOk, ASIOExit());
}

TEST_F(AsioHostTest, ExitLetsGoOfTheCurrentDriver)
{
    Load();
    EXPECT_NE(nullptr, mvasio::GetCurrentDriver());
    EXPECT_EQ(0, FakeAsio::Log().destroyed);
    ASIOExit();
    EXPECT_EQ(nullptr, mvasio::GetCurrentDriver());
    EXPECT_EQ(1, FakeAsio::Log().destroyed);
}

TEST_F(AsioHostTest, ANewDriverReplacesTheOldOne)
{
    Load();
    Load();
    EXPECT_EQ(2, FakeAsio::Log().created);
    EXPECT_EQ(1, FakeAsio::Log().destroyed);
}

TEST_F(AsioHostTest, InitHandsOverTheWindowAndReportsTheDriver)
{
    Load();
    AsioDriverInfo info{};
    info.asioVersion = kAsioHostVersion;
    info.sysRef = reinterpret_cast<void*>(0x1234);
    ASSERT_EQ(kAsioOk, ASIOInit(&info));
    EXPECT_EQ(reinterpret_cast<void*>(0x1234), FakeAsio::Log().sysRef);
    EXPECT_STREQ("Fake", info.name);
    EXPECT_EQ(7, info.driverVersion);
    EXPECT_STREQ("", info.errorMessage);
}

TEST_F(AsioHostTest, AFailedInitCarriesTheDriversMessage)
{
    FakeAsioConfig config;
    config.initFails = true;
    Load(config);
    AsioDriverInfo info{};
    EXPECT_EQ(kAsioNotPresent, ASIOInit(&info));
    EXPECT_STREQ("fake refuses", info.errorMessage);
}

TEST_F(AsioHostTest, CallsReachTheCurrentDriver)
{
    FakeAsioConfig config;
    config.inputs = 4;
    config.outputs = 8;
    config.outputReady = false;
    Load(config);
    AsioDriverInfo info{};
    ASSERT_EQ(kAsioOk, ASIOInit(&info));
    std::int32_t inputs = 0;
    std::int32_t outputs = 0;
    ASSERT_EQ(kAsioOk, ASIOGetChannels(&inputs, &outputs));
    EXPECT_EQ(4, inputs);
    EXPECT_EQ(8, outputs);
    EXPECT_EQ(kAsioOk, ASIOSetSampleRate(48000.0));
    EXPECT_EQ(kAsioNoClock, ASIOSetSampleRate(32000.0));
    double rate = 0.0;
    ASSERT_EQ(kAsioOk, ASIOGetSampleRate(&rate));
    EXPECT_EQ(48000.0, rate);
    AsioChannelInfo channel{};
    channel.channel = 5;
    ASSERT_EQ(kAsioOk, ASIOGetChannelInfo(&channel));
    EXPECT_STREQ("Ch 6", channel.name);
    EXPECT_EQ(kAsioNotPresent, ASIOOutputReady());
    EXPECT_EQ(1, FakeAsio::Log().outputReadies);
}

}  // namespace
