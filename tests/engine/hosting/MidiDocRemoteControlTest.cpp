// The song document's remote-control targets, the transport commands: made
// and preset for the command table, listed, assigned, changed and removed
// as undoable steps; and targets that come with a loaded song answer the
// engine's MIDI input router.
#include "engine/hosting/CMidiDoc.h"

#include <gtest/gtest.h>

#include <vector>

#include "devices/CMidiInputRouter.h"
#include "devices/IRCCommandSink.h"
#include "model/CUndoHistory.h"
#include "platform/com/ComStream.h"
#include "tests/engine/hosting/SongDocFixture.h"

namespace {

constexpr LONG kRewind = 32779;
constexpr LONG kPlayStop = 32801;
constexpr LONG kRecord = 32851;

class PostedCommands final : public IRCCommandSink {
public:
    void PostCommand(UINT id) override { posted.push_back(id); }
    std::vector<UINT> posted;
};

// The router outlives every song document of a test, as the engine's does.
CMidiInputRouter router{nullptr};

// A target of another kind than a transport command.
class OtherTarget final : public CRCTarget {
public:
    OtherTarget() : CRCTarget(nullptr) {}
    IRCParam* AsParam() override { return nullptr; }
    int GetTargetKind() override { return 0; }
    LONG GetTargetId() override { return 0; }
};

class MidiDocRemoteControlTest : public songdoctest::SongDocTest {
protected:
    void SetUp() override
    {
        engine.router = &router;
        SongDocTest::SetUp();
        CMvRCCommand::SetCommandSink(&sink);
    }
    void TearDown() override
    {
        CMvRCCommand::SetCommandSink(nullptr);
        SongDocTest::TearDown();
    }

    // A target for the command that a controller fires.
    CMvRCCommand* Learned(LONG commandId, WORD controller)
    {
        CMvRCCommand* target = nullptr;
        EXPECT_EQ(S_OK, doc->CreateTarget(commandId, &target));
        if (target != nullptr) {
            target->Msg().m_kind = 0;
            target->Msg().m_controllerA = controller;
            target->Msg().m_maxValue = 127;
            target->m_mode = CMidiMsgListener::kTrigger;
        }
        return target;
    }
    std::vector<std::pair<CMvRCCommand*, std::string>> Listed()
    {
        std::vector<CMidiDoc::RCTargetEntry> entries;
        EXPECT_EQ(S_OK, doc->ListTargets(&entries));
        std::vector<std::pair<CMvRCCommand*, std::string>> listed;
        for (const auto& e : entries) {
            EXPECT_EQ(doc, e.container);
            EXPECT_EQ(0u, e.value);
            listed.emplace_back(e.target, e.name.GetString());
        }
        return listed;
    }
    static DWORD Controller(int number, int value) { return 0xB0u | number << 8 | static_cast<DWORD>(value) << 16; }

    PostedCommands sink;
};

TEST_F(MidiDocRemoteControlTest, ANewTargetIsPresetForItsCommandAndAnUnknownIdMakesNone)
{
    CMvRCCommand* target = nullptr;
    ASSERT_EQ(S_OK, doc->CreateTarget(kRecord, &target));
    ASSERT_NE(nullptr, target);
    EXPECT_EQ(kRecord, target->GetTargetId());
    EXPECT_EQ(0xFFFF, target->Msg().m_channel);
    EXPECT_EQ(0xFFFFFFFFu, target->Msg().m_port);
    EXPECT_EQ(16383u, target->Msg().m_maxValue);
    EXPECT_EQ(11u, target->Msg().m_kind);
    EXPECT_EQ(static_cast<DWORD>(CMidiMsgListener::kSwitch), target->m_mode);
    EXPECT_EQ(S_OK, doc->DestroyTarget(target));

    for (LONG id : {-1L, 0L, 12345L}) {
        CMvRCCommand* none = reinterpret_cast<CMvRCCommand*>(1);
        EXPECT_EQ(E_FAIL, doc->CreateTarget(id, &none)) << id;
        EXPECT_EQ(nullptr, none);
    }
    OtherTarget other;
    EXPECT_EQ(E_FAIL, doc->DestroyTarget(&other));
}

TEST_F(MidiDocRemoteControlTest, AssignmentsAreListedInCommandOrderAndUndoable)
{
    CMvRCCommand* record = Learned(kRecord, 20);
    CMvRCCommand* rewind = Learned(kRewind, 21);
    ASSERT_EQ(S_OK, doc->AssignTarget(kRecord, record, nullptr));
    ASSERT_EQ(S_OK, doc->AssignTarget(kRewind, rewind, nullptr));
    EXPECT_STREQ("Assign remote control.", CUndoHistory::Instance().GetCommandName(0));
    using Listing = std::vector<std::pair<CMvRCCommand*, std::string>>;
    EXPECT_EQ((Listing{{rewind, "Rewind"}, {record, "Record"}}), Listed());

    // Assigned targets fire their commands from live input.
    EXPECT_EQ(1, router.OnShortMsg(Controller(20, 127), 0, 0));
    EXPECT_EQ(std::vector<UINT>{kRecord}, sink.posted);

    ASSERT_EQ(S_OK, doc->UnassignTarget(kRecord, nullptr));
    EXPECT_STREQ("Unassign remote control.", CUndoHistory::Instance().GetCommandName(0));
    EXPECT_EQ((Listing{{rewind, "Rewind"}}), Listed());
    EXPECT_EQ(0, router.OnShortMsg(Controller(20, 127), 0, 0));

    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ((Listing{{rewind, "Rewind"}, {record, "Record"}}), Listed());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_TRUE(Listed().empty());
}

TEST_F(MidiDocRemoteControlTest, ModifyingSwapsTheTargetAndOnlyCommandTargetsAreTaken)
{
    CMvRCCommand* first = Learned(kPlayStop, 30);
    ASSERT_EQ(S_OK, doc->AssignTarget(kPlayStop, first, nullptr));
    CMvRCCommand* second = Learned(kPlayStop, 31);
    ASSERT_EQ(S_OK, doc->ModifyTarget(kPlayStop, second, nullptr));
    EXPECT_STREQ("Modify remote control.", CUndoHistory::Instance().GetCommandName(0));
    EXPECT_EQ(0, router.OnShortMsg(Controller(30, 127), 0, 0));
    EXPECT_EQ(1, router.OnShortMsg(Controller(31, 127), 0, 0));
    EXPECT_EQ(std::vector<UINT>{kPlayStop}, sink.posted);

    OtherTarget other;
    EXPECT_EQ(E_FAIL, doc->AssignTarget(kRewind, &other, nullptr));
    EXPECT_EQ(E_FAIL, doc->ModifyTarget(kPlayStop, &other, nullptr));
    EXPECT_EQ(E_FAIL, doc->AssignTarget(kRewind, nullptr, nullptr));
}

TEST_F(MidiDocRemoteControlTest, TargetsOfALoadedSongAnswerTheEnginesRouter)
{
    ASSERT_EQ(S_OK, doc->AssignTarget(kRewind, Learned(kRewind, 40), nullptr));
    ASSERT_EQ(S_OK, doc->AssignTarget(kRecord, Learned(kRecord, 41), nullptr));
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ASSERT_EQ(S_OK, doc->Save(stream, TRUE));
    CUndoHistory::Instance().Clear();
    CMidiDoc::DestroyMidiDoc(doc);
    // The targets went with their song.
    EXPECT_EQ(0, router.OnShortMsg(Controller(40, 127), 0, 0));

    ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &doc));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ASSERT_EQ(S_OK, doc->Load(stream));
    stream->Release();
    EXPECT_EQ(2u, Listed().size());
    EXPECT_EQ(1, router.OnShortMsg(Controller(41, 127), 0, 0));
    EXPECT_EQ(1, router.OnShortMsg(Controller(40, 127), 0, 0));
    EXPECT_EQ((std::vector<UINT>{kRecord, kRewind}), sink.posted);
}

}  // namespace
