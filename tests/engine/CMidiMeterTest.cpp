// The MIDI activity meter under a timer stand-in whose clock the test moves:
// it lights with the first message in or out and goes dark 200 ms after the
// last one, however long the burst; with the real timer service it goes
// dark on its own.
#include "engine/CMidiMeter.h"

#include <gtest/gtest.h>

#include <map>

#include "engine/CTimer.h"
#include "engine/IClientTimer.h"
#include "tests/platform/sync/Eventually.h"

namespace {

// Keeps each client's due time on a clock of its own and calls the due
// one-shot clients when the test moves the clock on.
class FakeClientTimer : public IClientTimer {
public:
    HRESULT SetClientInterval(CTimerClient* client, DWORD intervalMs) override
    {
        if (intervalMs == 0)
            return m_due.erase(client) ? S_OK : S_FALSE;
        m_due[client] = now + intervalMs;
        return S_OK;
    }
    void Advance(DWORD ms)
    {
        for (DWORD i = 0; i < ms; ++i) {
            ++now;
            for (auto it = m_due.begin(); it != m_due.end();) {
                CTimerClient* client = it->first;
                if (it->second <= now) {
                    it = m_due.erase(it);
                    client->OnTimer();
                } else {
                    ++it;
                }
            }
        }
    }
    bool Scheduled(CTimerClient* client) const { return m_due.count(client) != 0; }

    DWORD now = 0;

private:
    std::map<CTimerClient*, DWORD> m_due;
};

TEST(CMidiMeterTest, LightsOnAMessageInOrOutAndGoesDark200MsAfterTheLast)
{
    FakeClientTimer timer;
    CMidiMeter meter(&timer);
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
    timer.Advance(1);
    EXPECT_FALSE(meter.IsLit());
    EXPECT_FALSE(timer.Scheduled(&meter));

    // An event played out lights it again the same way.
    meter.Trigger();
    EXPECT_TRUE(meter.IsLit());
    timer.Advance(199);
    EXPECT_TRUE(meter.IsLit());
    timer.Advance(1);
    EXPECT_FALSE(meter.IsLit());
}

TEST(CMidiMeterTest, GoingAwayLeavesTheTimer)
{
    FakeClientTimer timer;
    const CTimerClient* gone = nullptr;
    {
        CMidiMeter meter(&timer);
        meter.Trigger();
        EXPECT_TRUE(timer.Scheduled(&meter));
        gone = &meter;
    }
    EXPECT_FALSE(timer.Scheduled(const_cast<CTimerClient*>(gone)));
    timer.Advance(300);  // no call reaches the meter that went
}

TEST(CMidiMeterTest, GoesDarkOnItsOwnWithTheTimerService)
{
    CTimer timer(10);
    CMidiMeter meter(&timer);
    meter.Trigger();
    EXPECT_TRUE(meter.IsLit());
    EXPECT_TRUE(mvtest::Eventually([&] { return !meter.IsLit(); }));
}

}  // namespace
