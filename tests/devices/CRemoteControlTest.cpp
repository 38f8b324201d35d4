// Learned MIDI messages, their listeners, the learner and the transport
// command targets, driven as a controller drives them: short messages
// through the real input router.
#include <gtest/gtest.h>

#include <vector>

#include "devices/CMidiInputRouter.h"
#include "devices/CMvRCCommand.h"
#include "devices/CRCCommandMap.h"
#include "devices/CRCLearner.h"
#include "model/CKelPersistArchive.h"
#include "model/CUndoHistory.h"
#include "platform/com/ComStream.h"
#include "tests/model/UndoTestSupport.h"

namespace {

DWORD Msg(int status, int d1, int d2) { return static_cast<DWORD>(status | d1 << 8 | d2 << 16); }

// A target that records what the listener drives.
class RecordingTarget : public CRCTarget {
public:
    explicit RecordingTarget(CMidiInputRouter* router, int valueType = kContinuous)
        : CRCTarget(router), m_valueType(valueType)
    {
    }
    IRCParam* AsParam() override { return nullptr; }
    int GetTargetKind() override { return 0; }
    LONG GetTargetId() override { return 1; }
    int GetValueType() override { return m_valueType; }
    HRESULT SetValue(CMidiMsg*, float v) override
    {
        values.push_back(v);
        return S_OK;
    }
    HRESULT SetState(CMidiMsg*, bool on) override
    {
        states.push_back(on);
        return S_OK;
    }
    std::vector<float> values;
    std::vector<bool> states;

private:
    int m_valueType;
};

class CommandSink : public IRCCommandSink {
public:
    void PostCommand(UINT id) override { posted.push_back(id); }
    std::vector<UINT> posted;
};

struct RemoteControl : ::testing::Test {
    void SetUp() override { CUndoHistory::Instance().Clear(); }
    void TearDown() override { CUndoHistory::Instance().Clear(); }
    CMidiInputRouter router{nullptr};
    int Send(int status, int d1, int d2, int port = 0) { return router.OnShortMsg(Msg(status, d1, d2), 0, port); }
};

TEST_F(RemoteControl, ALearnedControllerMovesItsTargetAndIsConsumedOnItsChannelOnly)
{
    RecordingTarget target(&router);
    target.Msg().m_kind = 0;
    target.Msg().m_controllerA = 7;
    target.Msg().m_channel = 3;
    ASSERT_EQ(S_OK, target.Register());
    EXPECT_EQ(1, Send(0xB3, 7, 127)) << "consumed: nobody else hears it";
    EXPECT_EQ(0, Send(0xB4, 7, 64)) << "the same controller on another channel passes through";
    EXPECT_EQ(0, Send(0xB3, 8, 64));
    EXPECT_EQ(std::vector<float>{1.0f}, target.values);

    target.Msg().m_channel = IMidiLearnedMsg::kAnyChannel;
    target.Register();
    EXPECT_EQ(1, Send(0xB9, 7, 0));
    EXPECT_EQ(0.0f, target.values.back()) << "any channel";

    target.Unregister();
    EXPECT_EQ(0, Send(0xB3, 7, 1)) << "an unregistered target hears nothing";
}

TEST_F(RemoteControl, FourteenBitPairsFireOnTheirSecondHalf)
{
    RecordingTarget target(&router);
    CMidiMsg& m = target.Msg();
    m.m_kind = 3;
    m.m_controllerA = 7;
    m.m_controllerB = 39;
    m.m_maxValue = 16383;
    target.Register();
    EXPECT_EQ(0, Send(0xB0, 39, 5)) << "B alone does not fire";
    Send(0xB0, 7, 100);
    EXPECT_EQ(1, Send(0xB0, 39, 5));
    EXPECT_EQ(12805, m.m_currentValue);
    ASSERT_EQ(1u, target.values.size());
    EXPECT_FLOAT_EQ(12805.0f / 16383, target.values[0]);
    // Built back, the pair is A then B.
    EXPECT_EQ(Msg(0xB0, 7, 100), m.BuildShortMsg(12805, 0));
    EXPECT_EQ(Msg(0xB0, 39, 5), m.BuildShortMsg(12805, 1));
}

TEST_F(RemoteControl, NrpnAndRpnSequencesFireHonouringAnyChannel)
{
    RecordingTarget nrpn(&router), rpn(&router);
    nrpn.Msg().m_kind = 5;
    nrpn.Msg().m_nrpnNumber = 300;
    nrpn.Msg().m_maxValue = 16383;
    rpn.Msg().m_kind = 6;
    rpn.Msg().m_rpnNumber = 0;
    rpn.Msg().m_maxValue = 16383;
    rpn.Msg().m_channel = 2;
    nrpn.Register();
    rpn.Register();
    // NRPN 300 = 2 << 7 | 44, value 1000 = 7 << 7 | 104, on channel 9.
    Send(0xB9, 99, 2);
    Send(0xB9, 98, 44);
    Send(0xB9, 6, 7);
    Send(0xB9, 38, 104);
    // Data entry completes the value with its high part, then again with
    // its low part.
    ASSERT_FALSE(nrpn.values.empty()) << "any channel holds for NRPNs";
    EXPECT_EQ(1000, nrpn.Msg().m_currentValue);
    EXPECT_FLOAT_EQ(1000.0f / 16383, nrpn.values.back());
    Send(0xB2, 101, 0);
    Send(0xB2, 100, 0);
    Send(0xB2, 6, 2);
    Send(0xB2, 38, 0);
    ASSERT_FALSE(rpn.values.empty());
    EXPECT_EQ(256, rpn.Msg().m_currentValue);
    const std::size_t heard = rpn.values.size();
    for (DWORD m : {Msg(0xB3, 101, 0), Msg(0xB3, 100, 0), Msg(0xB3, 6, 9)})
        router.OnShortMsg(m, 0, 0);
    EXPECT_EQ(heard, rpn.values.size()) << "an RPN learned on channel 2 ignores channel 3";
}

// The listener's modes on a target of 0..127.
TEST_F(RemoteControl, ModesMapRawValuesOntoTheTarget)
{
    struct Step {
        LONG input;
        LONG current;  // afterwards
    };
    struct Case {
        const char* name;
        DWORD mode;
        LONG start;
        bool pickup;
        std::vector<Step> steps;
    } cases[] = {
        {"sign-bit relative", CMidiMsgListener::kRelativeSignBit, 64, false, {{65, 63}, {3, 66}}},
        {"two's complement", CMidiMsgListener::kRelativeTwosComplement, 64, false, {{127, 63}, {2, 65}}},
        {"relative clamps", CMidiMsgListener::kRelativeSignBit, 126, false, {{5, 127}, {127, 64}}},
        {"absolute", CMidiMsgListener::kAbsolute, 0, false, {{10, 10}, {100, 100}}},
        {"pickup", CMidiMsgListener::kAbsolute, 64, true, {{10, 64}, {20, 64}, {30, 64}, {60, 64}, {70, 70}, {5, 5}}},
        {"gate", CMidiMsgListener::kGate, 0, false, {{100, 127}, {10, 0}}},
        {"toggle above", CMidiMsgListener::kToggleAboveThreshold, 0, false, {{0, 0}, {100, 127}, {100, 0}}},
        {"switch", CMidiMsgListener::kSwitch, 0, false, {{100, 1}, {100, 1}, {20, 0}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingTarget t(&router);
        t.m_mode = c.mode;
        t.m_current = c.start;
        t.m_pickup = c.pickup;
        t.m_threshold = 64;
        for (const Step& s : c.steps) {
            t.OnLearnedValue(&t.Msg(), s.input, 127);
            EXPECT_EQ(s.current, t.m_current) << "after " << s.input;
        }
    }
}

TEST_F(RemoteControl, CommandsRunTheTransportByTheirNames)
{
    CommandSink sink;
    CMvRCCommand::SetCommandSink(&sink);
    CMvRCCommand* play = nullptr;
    ASSERT_EQ(S_OK, CMvRCCommand::Create(&router, &play));
    ASSERT_EQ(S_OK, play->SetCommand(32801));
    EXPECT_STREQ("Play / Stop", CMvRCCommand::GetCommandName(32801));
    EXPECT_STREQ("Record", CMvRCCommand::GetCommandName(32851));
    EXPECT_STREQ("", CMvRCCommand::GetCommandName(12345));
    EXPECT_EQ(32801, play->GetTargetId());

    // A trigger: a press posts once, the release posts nothing.
    play->m_mode = CMidiMsgListener::kTrigger;
    play->Msg().m_kind = 12;
    play->Msg().m_noteNumber = 60;
    play->Register();
    Send(0x90, 60, 127);
    Send(0x80, 60, 0);
    Send(0x90, 60, 127);
    EXPECT_EQ((std::vector<UINT>{32801, 32801}), sink.posted);

    // A gate posts on every message, above and below its threshold.
    sink.posted.clear();
    play->m_mode = CMidiMsgListener::kGate;
    play->m_threshold = 64;
    Send(0x90, 60, 100);
    Send(0x90, 60, 10);
    EXPECT_EQ(2u, sink.posted.size());

    EXPECT_EQ(E_FAIL, play->SetCommand(12345));
    EXPECT_EQ(0, play->GetCommandIndex()) << "Invalid";
    sink.posted.clear();
    Send(0x90, 60, 100);
    EXPECT_TRUE(sink.posted.empty()) << "Invalid posts nothing";
    CRCTarget::Destroy(play);
    CMvRCCommand::SetCommandSink(nullptr);
}

TEST_F(RemoteControl, AssigningIsUndoableAndUndoTakesTheMessageFromTheRouter)
{
    undotest::FakeCommandDocument document;
    CommandSink sink;
    CMvRCCommand::SetCommandSink(&sink);
    {
        CRCCommandMap map(&document, &router);
        CMvRCCommand* play = nullptr;
        ASSERT_EQ(S_OK, CMvRCCommand::Create(&router, &play));
        play->SetCommand(32801);
        play->m_mode = CMidiMsgListener::kGate;
        play->Msg().m_kind = 0;
        play->Msg().m_controllerA = 20;
        EXPECT_EQ(E_FAIL, map.AssignCommand(12345, play, nullptr)) << "not a transport command";
        ASSERT_EQ(S_OK, map.AssignCommand(32801, play, nullptr));
        EXPECT_STREQ("Assign remote control.", CUndoHistory::Instance().GetCommandName(0));
        EXPECT_EQ(1, Send(0xB0, 20, 100));
        EXPECT_EQ(1u, sink.posted.size());

        ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
        EXPECT_EQ(0, map.GetMap().GetSize());
        EXPECT_EQ(0, Send(0xB0, 20, 100)) << "the router no longer has the message";
        ASSERT_EQ(S_OK, CUndoHistory::Instance().Redo());
        EXPECT_EQ(1, Send(0xB0, 20, 100));

        ASSERT_EQ(S_OK, map.UnassignCommand(32801, nullptr));
        EXPECT_STREQ("Unassign remote control.", CUndoHistory::Instance().GetCommandName(0));
        EXPECT_EQ(0, Send(0xB0, 20, 100));
        CUndoHistory::Instance().Clear();  // the history deletes the removed target
    }
    CMvRCCommand::SetCommandSink(nullptr);
}

TEST_F(RemoteControl, CommandMapsSaveAndLoadWithTheirMessagesRegistered)
{
    undotest::FakeCommandDocument document;
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    {
        CRCCommandMap map(&document, &router);
        for (LONG id : {32779L, 32801L, 32851L}) {
            CMvRCCommand* c = nullptr;
            ASSERT_EQ(S_OK, CMvRCCommand::Create(&router, &c));
            c->SetCommand(id);
            c->Msg().m_kind = 0;
            c->Msg().m_controllerA = static_cast<WORD>(id & 0x7F);
            c->m_mode = CMidiMsgListener::kTrigger;
            ASSERT_EQ(S_OK, map.AssignCommand(id, c, nullptr));
        }
        ASSERT_EQ(S_OK, map.Save(stream, TRUE));
        CUndoHistory::Instance().Clear();
    }
    CMidiInputRouter fresh{nullptr};
    CRCCommandMap loaded(&document, &fresh);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(S_OK, loaded.Load(stream));
    stream->Release();
    ASSERT_EQ(3, loaded.GetMap().GetSize());
    CommandSink sink;
    CMvRCCommand::SetCommandSink(&sink);
    for (LONG id : {32779L, 32801L, 32851L})
        EXPECT_EQ(1, fresh.OnShortMsg(Msg(0xB0, id & 0x7F, 127), 0, 0)) << id << " is registered after a load";
    EXPECT_EQ((std::vector<UINT>{32779, 32801, 32851}), sink.posted);
    CMvRCCommand::SetCommandSink(nullptr);
}

TEST(CMidiMsgTest, SystemExclusiveCannotBeStoredAndSavedMessagesComeBack)
{
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    CMidiMsg sysex;
    sysex.m_kind = 7;
    EXPECT_EQ(E_UNEXPECTED, sysex.Save(stream, TRUE));
    stream->Release();

    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    CMidiMsg pair;
    pair.m_kind = 4;
    pair.m_controllerA = 20;
    pair.m_controllerB = 52;
    pair.m_channel = 5;
    pair.m_port = 2;
    pair.m_maxValue = 16383;
    ASSERT_EQ(S_OK, pair.Save(stream, TRUE));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    CMidiMsg back;
    ASSERT_EQ(S_OK, back.Load(stream));
    stream->Release();
    EXPECT_EQ(4u, back.m_kind);
    EXPECT_EQ(20, back.m_controllerA);
    EXPECT_EQ(52, back.m_controllerB);
    EXPECT_EQ(5, back.m_channel);
    EXPECT_EQ(2u, back.m_port);
    EXPECT_EQ(16383u, back.m_maxValue);
}

struct Learner : RemoteControl {
    struct Counting : CRCLearner {
        void OnLearned() override { ++learned; }
        int learned = 0;
    } learner;
    RecordingTarget target{&router};
    void SetUp() override
    {
        RemoteControl::SetUp();
        ASSERT_EQ(S_OK, learner.SetTarget(&target));
    }
};

TEST_F(Learner, LearnsControllersNotesAndWheels)
{
    EXPECT_EQ(E_INVALIDARG, learner.SetTarget(nullptr));
    EXPECT_EQ(1, learner.OnShortMsg(Msg(0xB4, 74, 10), 0, 3));
    EXPECT_EQ(0u, target.Msg().m_kind);
    EXPECT_EQ(74, target.Msg().m_controllerA);
    EXPECT_EQ(4, target.Msg().m_channel);
    EXPECT_EQ(3u, target.Msg().m_port);
    EXPECT_EQ(1, learner.OnShortMsg(Msg(0x90, 36, 100), 0, 0));
    EXPECT_EQ(12u, target.Msg().m_kind);
    EXPECT_EQ(36, target.Msg().m_noteNumber);
    EXPECT_EQ(CMidiMsgListener::kToggleAboveThreshold, target.m_mode);
    EXPECT_EQ(1, learner.OnShortMsg(Msg(0xE0, 0, 64), 0, 0));
    EXPECT_EQ(11u, target.Msg().m_kind);
    EXPECT_EQ(16383u, target.Msg().m_maxValue);
    EXPECT_EQ(3, learner.learned);
    EXPECT_EQ(0, learner.OnShortMsg(Msg(0xC0, 5, 0), 0, 0)) << "a program change goes on to the others";
    EXPECT_EQ(0, learner.OnShortMsg(Msg(0xF8, 0, 0), 0, 0));
}

TEST_F(Learner, AnNrpnSequenceMakesAnNrpnTarget)
{
    for (DWORD m : {Msg(0xB1, 99, 3), Msg(0xB1, 98, 17), Msg(0xB1, 6, 64), Msg(0xB1, 38, 0)})
        learner.OnShortMsg(m, 0, 0);
    EXPECT_EQ(5u, target.Msg().m_kind);
    EXPECT_EQ(3 << 7 | 17, target.Msg().m_nrpnNumber);
    EXPECT_EQ(16383u, target.Msg().m_maxValue);
    EXPECT_EQ(1, target.Msg().m_channel);
}

}  // namespace
