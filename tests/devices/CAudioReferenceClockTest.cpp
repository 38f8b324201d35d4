#include <gtest/gtest.h>

#include <memory>

#include "devices/CAudioReferenceClock.h"
#include "devices/CAudioRenderer.h"

namespace {

struct FixedAudio : IAudioProperties {
    int GetSampleRate() override { return rate; }
    LONGLONG GetSamplePosition() override { return position; }
    int rate = 44100;
    LONGLONG position = 0;
};

REFERENCE_TIME TimeAt(int rate, LONGLONG position)
{
    FixedAudio audio;
    audio.rate = rate;
    audio.position = position;
    auto* clock = new CAudioReferenceClock("clock", nullptr, nullptr, &audio);
    clock->AddRef();
    REFERENCE_TIME t = -1;
    EXPECT_EQ(S_OK, clock->GetTime(&t));
    clock->Release();
    return t;
}

}  // namespace

TEST(AudioReferenceClock, TimeIsTheSampleCountInHundredsOfNanoseconds)
{
    struct Case {
        int rate;
        LONGLONG position;
        REFERENCE_TIME time;
    } cases[] = {{44100, 44100, 10000000},
                 {44100, 1, 226},
                 {96000, 1, 104},
                 {48000, 48000LL * 3600 * 24, 10000000LL * 3600 * 24},
                 {0, 1000, 0x7FFFFFFFFFFFFFFFLL},
                 {-5, 1000, 0x7FFFFFFFFFFFFFFFLL}};
    for (const Case& c : cases)
        EXPECT_EQ(c.time, TimeAt(c.rate, c.position)) << c.rate << " Hz, " << c.position;
}

TEST(AudioReferenceClock, FollowsTheCounterEvenBackwards)
{
    FixedAudio audio;
    auto* clock = new CAudioReferenceClock("clock", nullptr, nullptr, &audio);
    clock->AddRef();
    IReferenceClock* rc = nullptr;
    ASSERT_EQ(S_OK, clock->QueryInterface(IID_IReferenceClock, reinterpret_cast<void**>(&rc)));
    REFERENCE_TIME t = -1;
    audio.position = 88200;
    rc->GetTime(&t);
    EXPECT_EQ(20000000, t);
    audio.position = 44100;
    rc->GetTime(&t);
    EXPECT_EQ(10000000, t);
    EXPECT_EQ(E_POINTER, rc->GetTime(nullptr));
    EXPECT_EQ(-1, clock->GetLogSource());
    rc->Release();
    EXPECT_EQ(0u, clock->Release());
}

TEST(AudioReferenceClock, WithoutASourceTheTimeIsUnknown)
{
    auto* clock = new CAudioReferenceClock("clock", nullptr, nullptr, nullptr);
    clock->AddRef();
    REFERENCE_TIME t = 0;
    clock->GetTime(&t);
    EXPECT_EQ(0x7FFFFFFFFFFFFFFFLL, t);
    clock->Release();
}

TEST(AudioReferenceClock, FollowsTheRenderersSampleCounter)
{
    auto renderer = std::make_unique<CAudioRenderer>();
    auto* clock = new CAudioReferenceClock("clock", nullptr, nullptr, renderer.get());
    clock->AddRef();
    REFERENCE_TIME t = -1;
    clock->GetTime(&t);
    EXPECT_EQ(0, t);
    renderer->SetSampleRate(48000);
    renderer->SetSamplePosition(96000);
    clock->GetTime(&t);
    EXPECT_EQ(20000000, t);
    clock->Release();
}
