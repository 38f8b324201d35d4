// The MIDI activity meter under a timer stand-in whose clock the test moves:
// it lights with the first message in or out and goes dark at its first
// look 200 ms after the last one, however long the burst; with the real
// timer service it goes dark on its own.
#include "engine/CMidiMeter.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/CTimer.h"
#include "engine/IClientTimer.h"
#include "tests/platform/sync/Eventually.h"

namespace {

// Calls each registered client every interval on a clock of its own, which
// the test moves on; the meter reads the same clock.
class FakeClientTimer : public IClientTimer {
public:
    HRESULT SetClientInterval(CTimerClient* client, DWORD intervalMs) override
    {
        if (intervalMs == 0)
            return m_clients.erase(client) ? S_OK : S_FALSE;
        m_clients[client] = {intervalMs, now + intervalMs};
        return S_OK;
    }
    void Advance(DWORD ms)
    {
        for (DWORD i = 0; i < ms; ++i) {
            ++now;
            for (auto& [client, due] : m_clients)
                if (due.second <= now) {
                    due.second += due.first;
                    client->OnTimer();
                }
        }
    }
    bool Scheduled(const CTimerClient* client) const
    {
        return m_clients.count(const_cast<CTimerClient*>(client)) != 0;
    }

    static DWORD Now() { return now; }
    static inline DWORD now = 1000;

private:
    std::map<CTimerClient*, std::pair<DWORD, DWORD>> m_clients;  // interval, next due
};

class CMidiMeterTest : public ::testing::Test {
protected:
    void SetUp() override { FakeClientTimer::now = 1000; }
    FakeClientTimer timer;
};

TEST_F(CMidiMeterTest, LightsOnAMessageInOrOutAndGoesDark200MsAfterTheLast)
{
    CMidiMeter meter(&timer, &FakeClientTimer::Now);
    ASSERT_EQ(meter.Start(), S_OK);
    EXPECT_FALSE(meter.IsLit());
    timer.Advance(100);
    EXPECT_FALSE(meter.IsLit());

    // A burst of incoming messages, one every 50 ms: lit all along.
    for (int i = 0; i < 6; ++i) {
        meter.Trigger();
        EXPECT_TRUE(meter.IsLit());
        timer.Advance(50);
        EXPECT_TRUE(meter.IsLit()) << "message " << i;
    }
    timer.Advance(149);  // 199 ms after the last
    EXPECT_TRUE(meter.IsLit());
    timer.Advance(CMidiMeter::kPollMs);  // dark at the first look after 200 ms
    EXPECT_FALSE(meter.IsLit());

    // An event played out lights it again the same way.
    meter.Trigger();
    EXPECT_TRUE(meter.IsLit());
    timer.Advance(199);
    EXPECT_TRUE(meter.IsLit());
    timer.Advance(CMidiMeter::kPollMs);
    EXPECT_FALSE(meter.IsLit());
}

TEST_F(CMidiMeterTest, GoingAwayLeavesTheTimer)
{
    const CTimerClient* gone = nullptr;
    {
        CMidiMeter meter(&timer, &FakeClientTimer::Now);
        meter.Start();
        meter.Trigger();
        EXPECT_TRUE(timer.Scheduled(&meter));
        gone = &meter;
    }
    EXPECT_FALSE(timer.Scheduled(gone));
    timer.Advance(300);  // no call reaches the meter that went
}

TEST_F(CMidiMeterTest, GoesDarkOnItsOwnWithTheTimerService)
{
    CTimer service(10);
    CMidiMeter meter(&service);
    ASSERT_EQ(meter.Start(), S_OK);
    meter.Trigger();
    EXPECT_TRUE(meter.IsLit());
    EXPECT_TRUE(mvtest::Eventually([&] { return !meter.IsLit(); }));
}

}  // namespace
