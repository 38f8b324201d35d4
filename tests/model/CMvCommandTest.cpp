#include "model/CMvCommand.h"

#include <gtest/gtest.h>

#include <string>

#include "model/CUndoHistory.h"
#include "model/CUndoInsertStep.h"
#include "model/CUndoVector.h"
#include "model/SubmitUndoStep.h"
#include "tests/model/UndoTestSupport.h"

using undotest::Add;
using undotest::FakeCommandDocument;

namespace {

using InsertInt = CUndoInsertStep<int, int>;

class CMvCommandTest : public ::testing::Test {
protected:
    void TearDown() override
    {
        EXPECT_EQ(nullptr, CMvCommand::GetOpenCommand());
        EXPECT_EQ(0, CMvCommand::GetOpenDepth());
        history.Clear();
    }

    // An editing operation written the way every one is: it adds to the
    // command it was given, or begins (or joins) the open command and ends
    // its own level.
    HRESULT Edit(int index, int value, CMvCommand* given = nullptr)
    {
        CMvCommand* command = given;
        if (command == nullptr) {
            command = BeginProjectCommand(&doc, "Edit", 0x1000, TRUE, TRUE);
            if (command == nullptr)
                return E_OUTOFMEMORY;
        }
        try {
            SubmitUndoStep<InsertInt>(command, v, index, value);
        } catch (const CHResultException& e) {
            if (given == nullptr)
                command->AbortAndDelete();
            return e.Code();
        }
        return given != nullptr ? S_OK : command->Commit(&history);
    }

    // An operation that makes two edits through nested operations, as a
    // paste makes several inserts.
    HRESULT EditTwice(int first, int second)
    {
        CMvCommand* command = BeginProjectCommand(&doc, "Paste", 0x0186, TRUE, TRUE);
        if (command == nullptr)
            return E_OUTOFMEMORY;
        HRESULT hr = Edit(first, 1);
        if (SUCCEEDED(hr))
            hr = Edit(second, 2);
        if (FAILED(hr)) {
            command->AbortAndDelete();
            return hr;
        }
        return command->Commit(&history);
    }

    int Count()
    {
        int n = -1;
        history.GetCount(&n);
        return n;
    }

    CUndoVector<int> v;
    FakeCommandDocument doc;
    CUndoHistory history;
};

TEST_F(CMvCommandTest, ANestedBeginJoinsTheOpenCommandAndAddsOnePlus)
{
    CMvCommand* outer = BeginProjectCommand(&doc, "Paste", 0x0186, TRUE, TRUE);
    CMvCommand* inner = BeginProjectCommand(nullptr, "Insert", 0x1, FALSE, FALSE);
    CMvCommand* innermost = BeginProjectCommand(nullptr, "Other", 0x2, FALSE, FALSE);
    EXPECT_EQ(outer, inner);
    EXPECT_EQ(outer, innermost);
    EXPECT_EQ(3, CMvCommand::GetOpenDepth());
    EXPECT_STREQ("Paste+", outer->GetName());
    EXPECT_EQ(0x0186u, outer->GetHint());
    EXPECT_EQ(&doc, outer->GetDocument());

    EXPECT_EQ(S_FALSE, innermost->Commit(&history));
    EXPECT_EQ(S_FALSE, inner->Commit(&history));
    EXPECT_EQ(0, Count());
    EXPECT_EQ(S_OK, outer->Commit(&history));
    EXPECT_EQ(1, Count());
    EXPECT_STREQ("&Undo Paste+\tCtrl-Z", history.GetUndoMenuText());
}

TEST_F(CMvCommandTest, NestedOperationsMakeOneCommand)
{
    EXPECT_EQ(S_OK, EditTwice(0, 1));
    EXPECT_EQ(1, Count());
    EXPECT_EQ(2, v.GetSize());
    EXPECT_STREQ("Paste+", history.GetCommandName(0));
    EXPECT_EQ(S_OK, history.Undo());
    EXPECT_EQ(0, v.GetSize());
}

TEST_F(CMvCommandTest, ANestedFailureAbortsEverythingAndOnlyTheBeginnerDeletes)
{
    // The second inner edit fails: it aborts the whole command but must not
    // delete it, since the paste still holds it and deletes it itself.
    EXPECT_EQ(E_INVALIDARG, EditTwice(0, 5));
    EXPECT_EQ(0, v.GetSize());
    EXPECT_EQ(0, Count());
}

TEST_F(CMvCommandTest, TheBeginnerCommittingAnAbortedCommandGetsAFailureNotAHistoryEntry)
{
    CMvCommand* command = BeginProjectCommand(&doc, "Paste", 0x0186, TRUE, TRUE);
    ASSERT_NE(nullptr, command);
    EXPECT_EQ(S_FALSE, Edit(0, 1));  // an inner level only leaves
    EXPECT_EQ(E_INVALIDARG, Edit(9, 1));  // aborts at every level
    EXPECT_EQ(nullptr, CMvCommand::GetOpenCommand());
    EXPECT_TRUE(command->IsAborted());

    // A careless caller goes on: its edits are refused and taken back.
    EXPECT_EQ(E_ABORT, Edit(0, 3, command));
    EXPECT_EQ(0, v.GetSize());
    EXPECT_EQ(E_ABORT, command->Commit(&history));  // and deletes it
    EXPECT_EQ(0, Count());
}

TEST_F(CMvCommandTest, CommitRecomputesTheSongLengthThenRefreshesTheDocument)
{
    EXPECT_EQ(S_OK, Edit(0, 1));
    EXPECT_EQ((std::vector<const char*>{"length", "cursors(all)", "selection", "announce"}), doc.calls);
    doc.calls.clear();
    EXPECT_EQ(S_OK, history.Undo());
    EXPECT_EQ((std::vector<const char*>{"length", "cursors(all)", "selection", "announce"}), doc.calls);
}

TEST_F(CMvCommandTest, WithNothingActiveNothingIsAnnounced)
{
    doc.active = ICommandDocument::kNoId;
    EXPECT_EQ(S_OK, Edit(0, 1));
    EXPECT_EQ((std::vector<const char*>{"length", "cursors(all)", "selection"}), doc.calls);
}

TEST_F(CMvCommandTest, ACommitThatFailsTakesTheEditBackAndDeletesTheCommand)
{
    doc.songLengthResult = E_OUTOFMEMORY;
    EXPECT_EQ(E_OUTOFMEMORY, Edit(0, 1));
    EXPECT_EQ(0, v.GetSize());
    EXPECT_EQ(0, Count());
}

TEST_F(CMvCommandTest, AnUndoWhoseRefreshFailsLeavesModelAndHistoryAsTheyWere)
{
    EXPECT_EQ(S_OK, Edit(0, 1));
    doc.selectionResult = E_FAIL;
    EXPECT_EQ(E_FAIL, history.Undo());
    EXPECT_EQ(1, v.GetSize());
    EXPECT_TRUE(history.CanUndo());
    doc.selectionResult = S_OK;
    EXPECT_EQ(S_OK, history.Undo());
    EXPECT_EQ(0, v.GetSize());
}

TEST_F(CMvCommandTest, AGivenCommandIsNeitherCommittedNorDeletedByTheOperation)
{
    CMvCommand* command = BeginProjectCommand(&doc, "Outer", 0x1, TRUE, TRUE);
    EXPECT_EQ(S_OK, Edit(0, 1, command));
    EXPECT_EQ(E_INVALIDARG, Edit(5, 1, command));  // aborted, still alive
    EXPECT_EQ(0, v.GetSize());
    EXPECT_EQ(S_OK, command->AbortAndDelete());
    EXPECT_EQ(0, Count());
}

TEST_F(CMvCommandTest, AbortClosesTheCommandAtEveryLevel)
{
    int total = 0;
    CMvCommand* command = BeginProjectCommand(nullptr, "A", 0, TRUE, TRUE);
    BeginProjectCommand(nullptr, "B", 0, TRUE, TRUE);
    Add(*command, total, 5);
    EXPECT_EQ(S_OK, command->Abort());
    EXPECT_EQ(0, total);
    EXPECT_EQ(nullptr, CMvCommand::GetOpenCommand());
    EXPECT_EQ(0, CMvCommand::GetOpenDepth());
    // Both levels end: the inner one leaves, the beginner deletes.
    EXPECT_EQ(E_ABORT, command->Commit(&history));
    EXPECT_EQ(E_ABORT, command->Commit(&history));
}

}  // namespace
