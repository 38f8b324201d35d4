// Each output pin of the bridge carries what its device channel is: a
// stereo pair as two interleaved channels, a lone channel as one.
#include <gtest/gtest.h>

#include "engine/graph/FloatAudioType.h"
#include "tests/plugins/rewirebridge/FakeEngineHarness.h"

namespace {

using namespace plenthtest;

struct BridgePins : FakeEngineHarness {
    // Output pin n (0 the first) of the bridge.
    IPin* OutputPin(int n)
    {
        IEnumPins* pins = nullptr;
        EXPECT_EQ(S_OK, bridgeFilter->EnumPins(&pins));
        IPin* pin[4] = {};
        ULONG got = 0;
        pins->Next(4, pin, &got);
        pins->Release();
        IPin* wanted = nullptr;
        for (ULONG i = 0; i < got; ++i) {
            if (static_cast<int>(i) == n + 1)
                wanted = pin[i];
            else
                pin[i]->Release();
        }
        return wanted;
    }
};

TEST_F(BridgePins, APairPlaysOnTwoChannelsAndALoneChannelOnOne)
{
    Play("", {0, 1});
    ASSERT_FALSE(HasFatalFailure());
    ASSERT_EQ(S_OK, PushTaken());
    ASSERT_EQ(2, sinks[0]->Channels()) << "Left / Right";
    ASSERT_EQ(1, sinks[1]->Channels()) << "Solo";
    const std::vector<float>& pair = sinks[0]->Last().data;
    ASSERT_EQ(static_cast<std::size_t>(kBlock) * 2, pair.size());
    const std::vector<float>& solo = sinks[1]->Last().data;
    ASSERT_EQ(static_cast<std::size_t>(kBlock), solo.size());
    for (int f : {0, 1, kBlock - 1}) {
        EXPECT_EQ(0.25f, pair[2 * f]) << "device channel 0, frame " << f;
        EXPECT_EQ(0.5f, pair[2 * f + 1]) << "device channel 1, frame " << f;
        EXPECT_EQ(0.75f, solo[f]) << "device channel 2, frame " << f;
    }
}

TEST_F(BridgePins, EachPinAcceptsFloatWithItsOwnChannelCountOnly)
{
    Play("", {0, 1});
    ASSERT_FALSE(HasFatalFailure());
    struct Case {
        int pin;
        bool pcm;
        WORD channels;
        HRESULT answer;
    } const table[] = {
        {0, false, 2, S_OK},    {0, false, 1, S_FALSE}, {0, true, 2, S_FALSE},
        {1, false, 1, S_OK},    {1, false, 2, S_FALSE}, {1, true, 1, S_FALSE},
    };
    for (const Case& c : table) {
        IPin* pin = OutputPin(c.pin);
        ASSERT_NE(nullptr, pin);
        CMediaType mt;
        if (c.pcm)
            BuildPcm16MediaType(&mt, c.channels, 44100);
        else
            BuildFloatMediaType(&mt, c.channels, 44100);
        EXPECT_EQ(c.answer, pin->QueryAccept(&mt)) << "pin " << c.pin << (c.pcm ? " pcm " : " float ") << c.channels;
        pin->Release();
    }
}

}  // namespace
