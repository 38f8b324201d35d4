#include "engine/CTimeKeeper.h"

#include <gtest/gtest.h>

#include <cmath>

#include "engine/graph/IAudioProperties.h"

namespace {

// A counter the test moves by hand, in microseconds.
LONGLONG g_counter = 0;
BOOL FakeCounter(LARGE_INTEGER* count)
{
    count->QuadPart = g_counter;
    return TRUE;
}
BOOL FakeFrequency(LARGE_INTEGER* frequency)
{
    frequency->QuadPart = 1'000'000;
    return TRUE;
}

class FakeRenderer : public IAudioProperties {
public:
    int GetSampleRate() override { return rate; }
    LONGLONG GetSamplePosition() override { return position; }
    int rate = 44100;
    LONGLONG position = 0;
};

// The engine owner as the keeper sees it: 120 beats a minute at 44100 Hz,
// so one quarter note (960 ticks) is 22050 samples.
class FakeSite : public ITimeKeeperSite {
public:
    bool IsPlaying() override { return playing; }
    bool IsCountInActive() override { return countIn; }
    LONG GetPlayPosition() override { return playPosition; }
    bool IsLoopOn(bool usePending) override { return loopOn; }
    HRESULT GetLoopTimes(LONGLONG* start, LONGLONG* end) override
    {
        *start = loopStart;
        *end = loopEnd;
        return loopResult;
    }
    IAudioProperties* GetAudioProperties() override { return hasRenderer ? &renderer : nullptr; }
    HRESULT SamplesToTicks(LONGLONG samples, LONG* ticks) override
    {
        *ticks = static_cast<LONG>(samples * 960 / 22050);
        return convertResult;
    }

    bool playing = false;
    bool countIn = false;
    LONG playPosition = 0;
    bool loopOn = false;
    LONGLONG loopStart = 0;
    LONGLONG loopEnd = 44100;
    HRESULT loopResult = S_OK;
    bool hasRenderer = true;
    FakeRenderer renderer;
    HRESULT convertResult = S_OK;
};

class CTimeKeeperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_counter = 1'000'000;
        ASSERT_EQ(S_OK, m_keeper.Init());
    }

    // The device time as the next buffer will see it: two stamps make it
    // the previous buffer's start, which a plain estimate reports.
    LONGLONG Heard()
    {
        m_keeper.StampBuffer();
        m_keeper.StampBuffer();
        return m_keeper.GetDeviceTime(false);
    }

    // Counter microseconds that make `samples` at 44100 Hz.
    static LONGLONG MicrosFor(double samples) { return std::llround(samples * 1e6 / 44100.0); }

    FakeSite m_site;
    CTimeKeeper m_keeper{&m_site, FakeCounter, FakeFrequency};
};

TEST_F(CTimeKeeperTest, HalfABufferOfRenderingGivesHalfTheInstantLoad)
{
    EXPECT_FLOAT_EQ(10.0f, m_keeper.GetBufferPeriod());
    EXPECT_EQ(0.0f, m_keeper.GetLoad());
    m_keeper.SetBufferPeriod(10.0f);
    EXPECT_NEAR(0.932, m_keeper.GetSmoothingFactor(), 0.0005);

    m_keeper.StampBuffer();
    g_counter += 5000;  // 5 ms of a 10 ms buffer
    ASSERT_EQ(S_OK, m_keeper.EndBuffer());
    EXPECT_NEAR(0.5 * (1 - std::pow(0.03, 0.02)), m_keeper.GetLoad(), 1e-5);
    EXPECT_NEAR(0.034, m_keeper.GetLoad(), 0.001);
}

TEST_F(CTimeKeeperTest, LoadForgetsAtTheSameRatePerSecondWhateverTheBufferSize)
{
    struct Case {
        float periodMs;
        int buffersPerSecond;
    };
    for (const Case c : {Case{10.0f, 100}, Case{5.0f, 200}, Case{50.0f, 20}, Case{100.0f, 10}}) {
        CTimeKeeper keeper(&m_site, FakeCounter, FakeFrequency);
        keeper.Init();
        keeper.SetBufferPeriod(c.periodMs);
        // One second of buffers that each take their whole period: what
        // remains of the starting load of 0 weighs 0.03^2.
        for (int i = 0; i < c.buffersPerSecond; ++i) {
            keeper.StampBuffer();
            g_counter += static_cast<LONGLONG>(c.periodMs * 1000);
            ASSERT_EQ(S_OK, keeper.EndBuffer());
        }
        EXPECT_NEAR(1.0 - 0.0009, keeper.GetLoad(), 2e-4) << c.periodMs << " ms";
    }
}

TEST_F(CTimeKeeperTest, EndBufferNeedsTheFrequencyAndAPeriod)
{
    CTimeKeeper fresh(&m_site, FakeCounter, FakeFrequency);
    fresh.StampBuffer();
    EXPECT_EQ(E_UNEXPECTED, fresh.EndBuffer());

    m_keeper.SetBufferPeriod(10.0f);
    m_keeper.StampBuffer();
    g_counter += 10000;
    m_keeper.EndBuffer();
    const float load = m_keeper.GetLoad();
    m_keeper.SetBufferPeriod(0.0f);  // a buffer of no frames
    m_keeper.StampBuffer();
    g_counter += 10000;
    EXPECT_EQ(S_OK, m_keeper.EndBuffer());
    EXPECT_EQ(load, m_keeper.GetLoad());
    EXPECT_TRUE(std::isfinite(m_keeper.GetLoad()));
}

TEST_F(CTimeKeeperTest, DeviceTimeWrapsAtTheLoopEndOnlyWhilePlayingALoop)
{
    struct Case {
        const char* name;
        bool playing;
        bool loopOn;
        LONGLONG advance;
        LONGLONG expected;
    };
    const Case cases[] = {
        {"past the end while looping", true, true, 110, 10},
        {"exactly at the end", true, true, 100, 44100},
        {"stopped", false, true, 110, 44110},
        {"loop off", true, false, 110, 44110},
    };
    for (const Case& c : cases) {
        m_site.playing = c.playing;
        m_site.loopOn = c.loopOn;
        m_keeper.SetDeviceTime(44000);
        EXPECT_EQ(S_OK, m_keeper.AdvanceDeviceTime(c.advance)) << c.name;
        EXPECT_EQ(c.expected, Heard()) << c.name;
    }
}

TEST_F(CTimeKeeperTest, AdvancingAnUnsetTimeOrWithoutLoopTimesFails)
{
    m_keeper.SetDeviceTime(CTimeKeeper::kUnset);
    EXPECT_EQ(E_FAIL, m_keeper.AdvanceDeviceTime(256));

    m_keeper.SetDeviceTime(44000);
    m_site.playing = m_site.loopOn = true;
    m_site.loopResult = E_FAIL;
    EXPECT_EQ(E_FAIL, m_keeper.AdvanceDeviceTime(200));
    m_site.loopResult = S_OK;
    m_site.loopOn = false;
    EXPECT_EQ(44200, Heard());  // advanced, not wrapped
}

TEST_F(CTimeKeeperTest, LiveEstimateMovesOnFromThePreviousBufferAndWrapsIntoTheLoop)
{
    m_site.playing = m_site.loopOn = true;
    struct Case {
        double elapsedSamples;
        LONGLONG expected;
    };
    // Loop 0..44100: an estimate of 44110 is reported as 10; one exactly at
    // the end is not wrapped.
    for (const Case c : {Case{60, 44060}, Case{100, 44100}, Case{110, 10}}) {
        m_keeper.SetDeviceTime(44000);
        m_keeper.StampBuffer();
        g_counter += MicrosFor(c.elapsedSamples);
        EXPECT_EQ(c.expected, m_keeper.GetDeviceTime(true)) << c.elapsedSamples;
        EXPECT_EQ(44000, m_keeper.GetDeviceTime(false));
    }
}

TEST_F(CTimeKeeperTest, NegativeEstimateIsReportedAsZero)
{
    m_keeper.SetDeviceTime(-500);
    EXPECT_EQ(0, m_keeper.GetDeviceTime(false));
    m_site.playing = true;
    EXPECT_EQ(0, m_keeper.GetLiveNowTicks(false));
}

TEST_F(CTimeKeeperTest, NowTicksIsThePlayPositionUnlessPlayingLive)
{
    m_site.playPosition = 1234;
    m_keeper.SetDeviceTime(22050 * 3);  // three quarter notes: 2880 ticks
    m_keeper.StampBuffer();
    EXPECT_EQ(1234, m_keeper.GetNowTicks(true));  // stopped

    m_site.playing = true;
    EXPECT_EQ(1234, m_keeper.GetNowTicks(false));
    m_site.countIn = true;
    EXPECT_EQ(1234, m_keeper.GetNowTicks(true));
    m_site.countIn = false;
    EXPECT_EQ(2880, m_keeper.GetNowTicks(true));

    m_site.convertResult = E_FAIL;
    EXPECT_EQ(1234, m_keeper.GetNowTicks(true));
}

TEST_F(CTimeKeeperTest, FirstEstimatesAfterStartingUseNoBufferFromBeforeTheStart)
{
    m_site.playing = true;
    m_keeper.SetDeviceTime(1000);
    m_keeper.StampBuffer();
    m_keeper.AdvanceDeviceTime(512);
    m_keeper.StampBuffer();  // previous 1000, current 1512
    m_keeper.AdvanceDeviceTime(512);

    m_keeper.ForgetPreviousBuffer();  // the transport starts
    EXPECT_EQ(2024, m_keeper.GetDeviceTime(true));  // the device time, not 1000 moved on
    m_keeper.StampBuffer();                        // previous unset, current 2024
    m_keeper.AdvanceDeviceTime(512);
    g_counter += MicrosFor(300);
    EXPECT_EQ(2024, m_keeper.GetDeviceTime(true));
    m_keeper.StampBuffer();  // previous 2024 again: estimates move on from it
    g_counter += MicrosFor(300);
    EXPECT_EQ(2324, m_keeper.GetDeviceTime(true));

    // Stopped meanwhile, the estimate still comes from a known buffer, never 0.
    m_site.playing = false;
    m_keeper.ForgetPreviousBuffer();
    m_keeper.StampBuffer();
    EXPECT_EQ(2536, m_keeper.GetDeviceTime(true));
}

TEST_F(CTimeKeeperTest, KeepOffsetCarriesTheDistanceBetweenRawCountAndDeviceTime)
{
    m_keeper.SetDeviceTime(1000);
    m_keeper.AdvanceSamples(300);
    m_keeper.AdvanceDeviceTime(100);  // raw 1300, device 1100
    m_keeper.SetDeviceTimeKeepOffset(5000);
    EXPECT_EQ(4800, Heard());
    m_keeper.AdvanceSamples(10);
    m_keeper.AdvanceDeviceTime(10);
    m_keeper.SetDeviceTimeKeepOffset(5000);  // no distance left after SetDeviceTime
    EXPECT_EQ(5000, Heard());
}

TEST_F(CTimeKeeperTest, AudioResetLeavesTheDeviceTimeSeededFromTheRenderer)
{
    m_keeper.SetBufferPeriod(10.0f);
    m_site.renderer.position = 123456;
    m_keeper.ResetDeviceTime();
    EXPECT_EQ(123456, Heard());

    // The buffers after the reset keep time and load.
    for (int i = 0; i < 3; ++i) {
        m_keeper.StampBuffer();
        m_keeper.AdvanceSamples(441);
        ASSERT_EQ(S_OK, m_keeper.AdvanceDeviceTime(441));
        g_counter += 5000;
        ASSERT_EQ(S_OK, m_keeper.EndBuffer());
    }
    EXPECT_EQ(123456 + 3 * 441, Heard());
    EXPECT_GT(m_keeper.GetLoad(), 0.0f);

    m_site.hasRenderer = false;
    m_keeper.ResetDeviceTime();
    EXPECT_EQ(S_OK, m_keeper.AdvanceDeviceTime(64));
    EXPECT_EQ(64, Heard());
}

}  // namespace
