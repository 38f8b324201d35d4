#include "devices/CMidiInputRouter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "devices/CNrpnContext.h"

namespace {

DWORD Msg(int status, int d1, int d2 = 0) { return static_cast<DWORD>(status | d1 << 8 | d2 << 16); }

// A learned message that decodes the short kinds the way a remote-control
// target's does, and records every time it fired.
class FakeLearnedMsg : public IMidiLearnedMsg {
public:
    FakeLearnedMsg(int kind, WORD channel, int number = 0) : kind(kind), channel(channel), number(number) {}

    int GetKind() override { return kind; }
    WORD GetChannel() override { return channel; }
    WORD GetKind1Number() override { return static_cast<WORD>(number); }
    WORD GetNrpnNumber() override { return static_cast<WORD>(number); }
    WORD GetRpnNumber() override { return static_cast<WORD>(number); }
    WORD GetNoteNumber() override { return static_cast<WORD>(number); }
    BOOL IsValueQualified() override { return qualified; }
    LONG GetQualifyingValue() override { return qualifyingValue; }
    DWORD GetLongPrefixLength() override { return static_cast<DWORD>(prefix.size()); }
    DWORD GetLongPrefix(DWORD i) override { return prefix[i]; }
    int GetShortMsgCount() override { return kind == 5 || kind == 6 ? 4 : 1; }
    DWORD BuildShortMsg(int value, int i) override
    {
        const int ch = channel == kAnyChannel ? 0 : channel;
        switch (kind) {
        case 0: return Msg(0xB0 | ch, number, value);
        case 11: return Msg(0xE0 | ch, value & 127, value >> 7);
        case 12: return Msg(0x90 | ch, number, value);
        case 14: return Msg(0xD0 | ch, value);
        default: return 0;
        }
    }

    int Match(DWORD pass, DWORD m, int port) override
    {
        if (pass == firedInPass)
            return 0;
        const int status = m & 0xF0, ch = m & 15, d1 = (m >> 8) & 127, d2 = (m >> 16) & 127;
        if (channel != kAnyChannel && channel != ch)
            return 0;
        int value = -1;
        switch (kind) {
        case 0: if (status == 0xB0 && d1 == number) value = d2; break;
        case 1: if (status == 0xB0 && d2 == number) value = d1; break;
        case 11: if (status == 0xE0) value = d2 << 7 | d1; break;
        case 12:
            if (status == 0x90 && d1 == number) value = d2;
            if (status == 0x80 && d1 == number) value = 0;
            break;
        case 13: if (status == 0x90) value = d2; break;
        case 14: if (status == 0xD0) value = d1; break;
        default: break;
        }
        if (value < 0 || (qualified && value != qualifyingValue))
            return 0;
        firedInPass = pass;
        values.push_back(value);
        ports.push_back(port);
        return 1;
    }
    int MatchLong(DWORD pass, DWORD length, const BYTE* bytes, int) override
    {
        if (kind != 7 || length != prefix.size() + 1)
            return 0;
        for (std::size_t i = 0; i < prefix.size(); ++i)
            if (bytes[i] != prefix[i])
                return 0;
        firedInPass = pass;
        values.push_back(bytes[prefix.size()]);
        return 1;
    }
    int MatchNrpn(DWORD pass, DWORD parserKind, int n, int ch, int value, int port) override
    {
        const bool wanted = (parserKind == 1 && kind == 5) || (parserKind == 2 && kind == 6);
        if (!wanted || n != number || ch != channel || pass == firedInPass)
            return 0;
        firedInPass = pass;
        values.push_back(value);
        ports.push_back(port);
        return 1;
    }

    int kind;
    WORD channel;
    int number;
    BOOL qualified = FALSE;
    LONG qualifyingValue = 0;
    std::vector<BYTE> prefix;
    DWORD firedInPass = 0xFFFFFFFF;
    std::vector<int> values;
    std::vector<int> ports;
};

class CMidiInputRouterTest : public ::testing::Test {
protected:
    CMidiInputRouter router{nullptr};
};

TEST_F(CMidiInputRouterTest, ALearnedControllerConsumesItsChannelOnly)
{
    FakeLearnedMsg volume(0, 1, 7);
    EXPECT_EQ(router.Register(&volume), 1);
    EXPECT_EQ(router.Register(&volume), 0);
    EXPECT_EQ(router.OnShortMsg(Msg(0xB1, 7, 100), 0, 0), 1);
    EXPECT_EQ(router.OnShortMsg(Msg(0xB2, 7, 100), 0, 0), 0);
    EXPECT_EQ(router.OnShortMsg(Msg(0xB1, 8, 100), 0, 0), 0);
    EXPECT_EQ(router.OnShortMsg(Msg(0x91, 7, 100), 0, 0), 0);
    EXPECT_EQ(volume.values, std::vector<int>{100});
    EXPECT_EQ(router.Unregister(&volume), 1);
    EXPECT_EQ(router.Unregister(&volume), 0);
    EXPECT_EQ(router.OnShortMsg(Msg(0xB1, 7, 100), 0, 0), 0);
}

TEST_F(CMidiInputRouterTest, AnyChannelFiresOnEveryChannel)
{
    FakeLearnedMsg volume(0, IMidiLearnedMsg::kAnyChannel, 7);
    router.Register(&volume);
    for (int ch = 0; ch < 16; ++ch)
        EXPECT_EQ(router.OnShortMsg(Msg(0xB0 | ch, 7, ch), 0, 3), 1) << ch;
    EXPECT_EQ(volume.values.size(), 16u);
    EXPECT_EQ(volume.ports.back(), 3);
}

TEST_F(CMidiInputRouterTest, KeysByKind)
{
    FakeLearnedMsg note(12, 0, 60), anyNote(13, 2), wheel(11, 3), pressure(14, 4), byValue(1, 5, 99);
    for (auto* m : {&note, &anyNote, &wheel, &pressure, &byValue})
        router.Register(m);
    // A learned note fires on its note-on and on its note-off.
    EXPECT_EQ(router.OnShortMsg(Msg(0x90, 60, 90), 0, 0), 1);
    EXPECT_EQ(router.OnShortMsg(Msg(0x80, 60, 30), 0, 0), 1);
    EXPECT_EQ(router.OnShortMsg(Msg(0x90, 61, 90), 0, 0), 0);
    EXPECT_EQ(note.values, (std::vector<int>{90, 0}));
    // Any note fires in its own pass, which does not consume.
    EXPECT_EQ(router.OnShortMsg(Msg(0x92, 64, 70), 0, 0), 0);
    EXPECT_EQ(anyNote.values, std::vector<int>{70});
    // Pitch wheel and channel pressure are keyed by status alone.
    EXPECT_EQ(router.OnShortMsg(Msg(0xE3, 0, 64), 0, 0), 1);
    EXPECT_EQ(router.OnShortMsg(Msg(0xE3, 127, 127), 0, 0), 1);
    EXPECT_EQ(wheel.values, (std::vector<int>{8192, 16383}));
    EXPECT_EQ(router.OnShortMsg(Msg(0xD4, 55), 0, 0), 1);
    EXPECT_EQ(pressure.values, std::vector<int>{55});
    // A controller by value: looked up by its value, fires without consuming.
    EXPECT_EQ(router.OnShortMsg(Msg(0xB5, 20, 99), 0, 0), 0);
    EXPECT_EQ(byValue.values, std::vector<int>{20});
}

TEST_F(CMidiInputRouterTest, AValueQualifiedMessageFiresOnlyForItsValue)
{
    FakeLearnedMsg button(0, 0, 64);
    button.qualified = TRUE;
    button.qualifyingValue = 127;
    router.Register(&button);
    EXPECT_EQ(router.OnShortMsg(Msg(0xB0, 64, 0), 0, 0), 0);
    EXPECT_EQ(router.OnShortMsg(Msg(0xB0, 64, 127), 0, 0), 0);  // fires in its own pass
    EXPECT_EQ(button.values, std::vector<int>{127});
}

TEST_F(CMidiInputRouterTest, CompletedNrpnReachesItsLearnedMessagePerPortAndChannel)
{
    FakeLearnedMsg nrpn(5, 2, 130), rpn(6, 2, 0);
    router.Register(&nrpn);
    router.Register(&rpn);
    auto cc = [&](int ch, int c, int v, int port) { return router.OnShortMsg(Msg(0xB0 | ch, c, v), 0, port); };
    cc(2, 99, 1, 0);
    cc(2, 98, 2, 1);  // another port: its own slot, which holds no MSB
    cc(2, 98, 2, 0);
    EXPECT_EQ(cc(2, 6, 64, 0), 0);  // parameter values never consume the controller
    EXPECT_EQ(nrpn.values, std::vector<int>{8192});
    cc(2, 38, 5, 0);
    cc(2, 96, 0, 0);
    EXPECT_EQ(nrpn.values, (std::vector<int>{8192, 8197, 8198}));
    cc(2, 6, 1, 1);  // port 1 completes NRPN 2, which nobody learned
    EXPECT_EQ(nrpn.values.size(), 3u);
    cc(2, 101, 0, 0);
    cc(2, 100, 0, 0);
    cc(2, 6, 2, 0);
    EXPECT_EQ(rpn.values, std::vector<int>{256});
}

TEST_F(CMidiInputRouterTest, LongMessagesMatchByPrefix)
{
    FakeLearnedMsg sysex(7, 0);
    sysex.prefix = {0xF0, 0x43, 0x10};
    router.Register(&sysex);
    const BYTE hit[] = {0xF0, 0x43, 0x10, 0x55};
    const BYTE miss[] = {0xF0, 0x41, 0x10, 0x55};
    EXPECT_EQ(router.OnLongMsg(sizeof hit, hit, 0), 1);
    EXPECT_EQ(router.OnLongMsg(sizeof miss, miss, 0), 0);
    EXPECT_EQ(sysex.values, std::vector<int>{0x55});
}

// The parser alone: each case feeds controllers on one port and channel
// and names the completions it must give.
class RecordingParser : public CNrpnContext {
public:
    struct Done {
        DWORD kind;
        int number, channel, value, port;
        bool operator==(const Done&) const = default;
    };
    void OnNrpnComplete(DWORD kind, int number, int channel, int value, int port) override
    {
        done.push_back({kind, number, channel, value, port});
    }
    std::vector<Done> done;
};

struct ParserCase {
    const char* name;
    std::vector<std::pair<int, int>> controllers;  // controller, value
    std::vector<int> values;                        // completed values, in order
};

class NrpnParserTest : public ::testing::TestWithParam<ParserCase> {};

TEST_P(NrpnParserTest, CompletesAsExpected)
{
    RecordingParser parser;
    for (auto [c, v] : GetParam().controllers)
        parser.ParseNrpn(Msg(0xB3, c, v), 5);
    std::vector<int> values;
    for (const auto& d : parser.done) {
        values.push_back(d.value);
        EXPECT_EQ(d.channel, 3);
        EXPECT_EQ(d.port, 5);
    }
    EXPECT_EQ(values, GetParam().values);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, NrpnParserTest,
    ::testing::Values(
        ParserCase{"MsbLsbThenDataEntry", {{99, 1}, {98, 2}, {6, 64}, {38, 5}, {96, 0}}, {8192, 8197, 8198}},
        ParserCase{"IncrementStopsAtTheTop", {{101, 0}, {100, 0}, {6, 127}, {38, 126}, {96, 0}, {96, 0}},
                   {16256, 16382, 16383}},
        ParserCase{"DecrementStopsAtZero", {{99, 0}, {98, 1}, {6, 0}, {97, 0}}, {0}},
        ParserCase{"DataEntryWithoutASelectionIsIgnored", {{6, 10}, {38, 1}, {96, 0}}, {}},
        ParserCase{"OtherControllersLeaveTheState", {{99, 1}, {7, 100}, {98, 2}, {1, 5}, {6, 3}}, {384}},
        ParserCase{"AnLsbSelectionOfTheOtherKindStartsFromZero", {{101, 9}, {98, 4}, {6, 1}}, {128}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(NrpnParser, KindsAndNumbersComeWithTheCompletion)
{
    RecordingParser parser;
    parser.ParseNrpn(Msg(0xB0, 99, 1), 0);
    parser.ParseNrpn(Msg(0xB0, 98, 2), 0);
    parser.ParseNrpn(Msg(0xB0, 6, 64), 0);
    parser.ParseNrpn(Msg(0xB0, 101, 0), 0);
    parser.ParseNrpn(Msg(0xB0, 100, 1), 0);
    parser.ParseNrpn(Msg(0xB0, 6, 2), 0);
    ASSERT_EQ(parser.done.size(), 2u);
    EXPECT_EQ(parser.done[0], (RecordingParser::Done{CNrpnContext::kNrpn, 130, 0, 8192, 0}));
    EXPECT_EQ(parser.done[1], (RecordingParser::Done{CNrpnContext::kRpn, 1, 0, 256, 0}));
}

TEST(NrpnParser, WaitingForTheLsbHoldsTheMsbBack)
{
    RecordingParser parser;
    parser.SetWaitForLsb(true);
    parser.ParseNrpn(Msg(0xB0, 99, 0), 0);
    parser.ParseNrpn(Msg(0xB0, 98, 7), 0);
    parser.ParseNrpn(Msg(0xB0, 6, 1), 0);
    EXPECT_TRUE(parser.done.empty());
    parser.ParseNrpn(Msg(0xB0, 38, 1), 0);
    ASSERT_EQ(parser.done.size(), 1u);
    EXPECT_EQ(parser.done[0].value, 129);
}

TEST(NrpnParser, PortsBeyondTheTableAreIgnored)
{
    RecordingParser parser;
    for (int port : {CNrpnContext::kPorts, CNrpnContext::kPorts + 100, -1}) {
        parser.ParseNrpn(Msg(0xB0, 99, 0), port);
        parser.ParseNrpn(Msg(0xB0, 98, 7), port);
        parser.ParseNrpn(Msg(0xB0, 6, 1), port);
    }
    EXPECT_TRUE(parser.done.empty());
    parser.ParseNrpn(Msg(0xB0, 99, 0), CNrpnContext::kPorts - 1);
    parser.ParseNrpn(Msg(0xB0, 6, 1), CNrpnContext::kPorts - 1);
    EXPECT_EQ(parser.done.size(), 1u);
}

}  // namespace
