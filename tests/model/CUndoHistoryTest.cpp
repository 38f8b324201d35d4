#include "model/CUndoHistory.h"

#include <gtest/gtest.h>

#include <string>

#include <stdlib.h>

#include "model/CUndoRemovePtrStep.h"
#include "platform/registry/Profile.h"
#include "platform/sync/ThreadAffinity.h"
#include "tests/model/UndoTestSupport.h"
#include "tests/support/TempProfile.h"

using undotest::Add;
using undotest::AddStep;
using undotest::FakeHistoryDocument;
using undotest::FailingPtrMap;
using undotest::Tracked;

namespace {

// A command that notes its own deletion.
class NamedCommand : public CCommand {
public:
    NamedCommand(const std::string& name, std::vector<std::string>& deleted, DWORD hint = 0,
                 BOOL updateViews = TRUE, BOOL modifies = TRUE)
        : CCommand(name.c_str(), hint, updateViews, modifies), m_deleted(deleted)
    {
    }
    ~NamedCommand() override { m_deleted.push_back(GetName()); }

private:
    std::vector<std::string>& m_deleted;
};

class CUndoHistoryTest : public ::testing::Test {
protected:
    void TearDown() override { history.Clear(); }

    NamedCommand* Commit(const std::string& name, DWORD hint = 0)
    {
        auto* command = new NamedCommand(name, deleted, hint);
        Add(*command, total, 1);
        EXPECT_EQ(S_OK, history.AddCommand(command));
        return command;
    }
    void CommitNumbered(int n)
    {
        for (int i = 1; i <= n; ++i)
            Commit("c" + std::to_string(i));
    }
    int Count()
    {
        int n = -1;
        history.GetCount(&n);
        return n;
    }
    int Position()
    {
        int p = -1;
        history.GetPosition(&p);
        return p;
    }

    CUndoHistory history;
    std::vector<std::string> deleted;
    int total = 0;
};

TEST_F(CUndoHistoryTest, KeepsSixteenCommandsAtFirstAndPushesTheOldestOut)
{
    EXPECT_EQ(16, history.GetMaxLevels());
    CommitNumbered(16);
    EXPECT_TRUE(deleted.empty());
    Commit("c17");
    EXPECT_EQ(std::vector<std::string>{"c1"}, deleted);
    EXPECT_EQ(16, Count());
    EXPECT_STREQ("c2", history.GetCommandName(15));
}

TEST_F(CUndoHistoryTest, ACommandPushedOutDestroysTheObjectsItsStepsHold)
{
    Tracked::Destroyed().clear();
    FailingPtrMap map;
    map.Insert(7, new Tracked{7});
    history.SetMaxLevels(1);
    auto* command = new CCommand("Delete", 0, TRUE, TRUE);
    auto* step = new CUndoRemovePtrStep<int, Tracked>(map, 7);
    ASSERT_EQ(S_OK, step->Do());
    command->AddStep(step);
    history.AddCommand(command);
    EXPECT_TRUE(Tracked::Destroyed().empty());
    Commit("next");
    EXPECT_EQ(1u, Tracked::Destroyed().count(7));
}

TEST_F(CUndoHistoryTest, ANewCommandCutsOffTheUndoneOnes)
{
    CommitNumbered(3);
    EXPECT_EQ(S_OK, history.Undo());
    EXPECT_EQ(S_OK, history.Undo());
    EXPECT_TRUE(history.CanRedo());
    Commit("new");
    EXPECT_EQ((std::vector<std::string>{"c3", "c2"}), deleted);
    EXPECT_FALSE(history.CanRedo());
    EXPECT_EQ(S_FALSE, history.Redo());
    EXPECT_EQ(2, Count());
}

// The depth the program runs with comes from the user's settings.
class CUndoHistoryProfileTest : public CUndoHistoryTest {
protected:
    mvtest::TempProfile m_profile;
};

TEST_F(CUndoHistoryProfileTest, StartsAtSixteenThenTakesTheProfileDepth)
{
    EXPECT_EQ(16, history.GetMaxLevels());
    history.SetMaxLevelsFromProfile();
    EXPECT_EQ(64, history.GetMaxLevels());  // not set: the default

    ASSERT_TRUE(WriteProfileInt("Options", "UndoDepth", 3));
    history.SetMaxLevelsFromProfile();
    EXPECT_EQ(3, history.GetMaxLevels());
    CommitNumbered(4);
    EXPECT_EQ(3, Count());
    EXPECT_EQ(std::vector<std::string>{"c1"}, deleted);

    ASSERT_TRUE(WriteProfileInt("Options", "UndoDepth", -1));
    history.SetMaxLevelsFromProfile();
    EXPECT_EQ(0, history.GetMaxLevels());
}

TEST_F(CUndoHistoryTest, TrimmingBelowTheCountWhenAllIsUndoneKeepsTheNewestRedoable)
{
    CommitNumbered(4);
    while (history.CanUndo())
        history.Undo();
    EXPECT_EQ(0, total);
    EXPECT_EQ(S_OK, history.TrimToLevels(2));
    EXPECT_EQ((std::vector<std::string>{"c1", "c2"}), deleted);
    EXPECT_EQ(2, Position());  // done count stays 0
    EXPECT_EQ(S_OK, history.Redo());
    EXPECT_EQ(1, total);
    EXPECT_EQ(2, history.GetMaxLevels());
    EXPECT_EQ(S_OK, history.TrimToLevels(40));
    EXPECT_EQ(40, history.GetMaxLevels());
    EXPECT_EQ(2, Count());
}

TEST_F(CUndoHistoryTest, ACapacityOfZeroStillKeepsTheNewestCommand)
{
    history.SetMaxLevels(0);
    CommitNumbered(2);
    EXPECT_EQ(1, Count());
    EXPECT_STREQ("c2", history.GetCommandName(0));
    history.SetMaxLevels(-5);  // a bad profile value counts as 0
    EXPECT_EQ(0, history.GetMaxLevels());
}

TEST_F(CUndoHistoryTest, SetMaxLevelsRemovesNothing)
{
    CommitNumbered(5);
    history.SetMaxLevels(2);
    EXPECT_EQ(5, Count());
    Commit("c6");  // one oldest goes per new command
    EXPECT_EQ(5, Count());
}

TEST_F(CUndoHistoryTest, NamesListNewestFirstWhetherDoneOrUndone)
{
    CommitNumbered(3);
    history.Undo();
    EXPECT_STREQ("c3", history.GetCommandName(0));
    EXPECT_STREQ("c1", history.GetCommandName(2));
    EXPECT_STREQ("err", history.GetCommandName(3));
    EXPECT_STREQ("err", history.GetCommandName(-1));
    EXPECT_EQ(1, Position());
    EXPECT_EQ(E_INVALIDARG, history.GetPosition(nullptr));
    EXPECT_EQ(E_INVALIDARG, history.GetCount(nullptr));
}

TEST_F(CUndoHistoryTest, MenuTextsNameTheCommandThatWouldBeUndoneOrRedone)
{
    EXPECT_STREQ("&Undo \tCtrl-Z", history.GetUndoMenuText());
    EXPECT_STREQ("&Redo \tCtrl-Shift-Z", history.GetRedoMenuText());
    Commit("Insert Time Signature");
    Commit("Delete 100% of it");
    history.Undo();
    EXPECT_STREQ("&Undo Insert Time Signature\tCtrl-Z", history.GetUndoMenuText());
    EXPECT_STREQ("&Redo Delete 100% of it\tCtrl-Shift-Z", history.GetRedoMenuText());
}

TEST_F(CUndoHistoryTest, AddCommandRefusesNullAndACommandAlreadyHeld)
{
    auto* command = Commit("once");
    EXPECT_EQ(E_INVALIDARG, history.AddCommand(command));
    EXPECT_EQ(E_INVALIDARG, history.AddCommand(nullptr));
    EXPECT_EQ(1, Count());
}

TEST_F(CUndoHistoryTest, EmptyHistoryAnswersSFalse)
{
    EXPECT_EQ(S_FALSE, history.Undo());
    EXPECT_EQ(S_FALSE, history.Redo());
    EXPECT_EQ(S_FALSE, history.RemoveOldest());
    EXPECT_EQ(S_FALSE, history.Clear());
}

TEST_F(CUndoHistoryTest, TheDocumentIsToldOfCommitsUndosAndRedos)
{
    FakeHistoryDocument doc;
    history.SetDocument(&doc);
    auto* quiet = new NamedCommand("quiet", deleted, 0x10, FALSE, FALSE);
    history.AddCommand(quiet);
    EXPECT_TRUE(doc.updates.empty());
    EXPECT_EQ(0, doc.modified);
    Commit("loud", 0x1000);
    EXPECT_EQ(std::vector<DWORD>{0x1000}, doc.updates);
    EXPECT_EQ(1, doc.modified);

    DWORD hint = 0;
    EXPECT_EQ(S_OK, history.Undo(&hint));
    EXPECT_EQ(0x1000u, hint);
    EXPECT_EQ(S_OK, history.Undo(&hint));
    EXPECT_EQ(0x10u, hint);
    EXPECT_EQ((std::vector<DWORD>{0x1000, 0x1000, 0x10}), doc.updates);  // undo always updates
    EXPECT_EQ(2, doc.modified);                                        // only a modifying command marks
    history.SetDocument(nullptr);
}

TEST_F(CUndoHistoryTest, AFailedUndoLeavesTheCommandWhereItWas)
{
    FakeHistoryDocument doc;
    history.SetDocument(&doc);
    auto* command = new NamedCommand("stuck", deleted);
    auto* first = Add(*command, total, 1);
    Add(*command, total, 10);
    history.AddCommand(command);
    doc.updates.clear();
    first->failUndo = true;
    EXPECT_EQ(E_FAIL, history.Undo());
    EXPECT_EQ(11, total);
    EXPECT_TRUE(history.CanUndo());
    EXPECT_EQ(0, Position());
    EXPECT_TRUE(doc.updates.empty());
    history.SetDocument(nullptr);
}

TEST_F(CUndoHistoryTest, GoToPositionWalksBothWaysAndOrsTheHints)
{
    FakeHistoryDocument doc;
    history.SetDocument(&doc);
    Commit("a", 0x1);
    Commit("b", 0x2);
    Commit("c", 0x4);
    doc.updates.clear();
    DWORD hints = 0;
    EXPECT_EQ(S_OK, history.GoToPosition(3, &hints));  // undo everything
    EXPECT_EQ(0, total);
    EXPECT_EQ(0x7u, hints);
    EXPECT_EQ(4u, doc.updates.size());  // one per command, then one for the walk
    EXPECT_EQ(0x7u, doc.updates.back());
    EXPECT_EQ(S_OK, history.GoToPosition(0, &hints));  // redo everything
    EXPECT_EQ(3, total);
    EXPECT_EQ(S_OK, history.GoToPosition(2, &hints));
    EXPECT_EQ(0x6u, hints);
    EXPECT_EQ(1, total);
    EXPECT_EQ(3, doc.waitShown);
    EXPECT_EQ(0, doc.waitDepth);
    EXPECT_EQ(E_INVALIDARG, history.GoToPosition(4));
    EXPECT_EQ(E_INVALIDARG, history.GoToPosition(-1));
    history.SetDocument(nullptr);
}

TEST_F(CUndoHistoryTest, AGoToPositionThatFailsWalksBackToWhereItStarted)
{
    FakeHistoryDocument doc;
    history.SetDocument(&doc);
    Commit("a");
    auto* b = new NamedCommand("b", deleted);
    auto* stuck = Add(*b, total, 10);
    history.AddCommand(b);
    Commit("c");
    stuck->failUndo = true;
    EXPECT_EQ(E_FAIL, history.GoToPosition(3));
    EXPECT_EQ(12, total);
    EXPECT_EQ(0, Position());
    EXPECT_EQ(0, doc.waitDepth);
    history.SetDocument(nullptr);
}

}  // namespace

#if MV_THREAD_CHECKS
TEST_F(CUndoHistoryTest, UndoingOnTheAudioThreadDies)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Commit("c1");
    EXPECT_DEATH(
        {
            mv::MarkCurrentThread(mv::ThreadRole::Audio);
            history.Undo(nullptr);
        },
        "Undo belongs to the UI thread but was called on the audio thread");
    EXPECT_EQ(0, Position());
}
#endif
