#include "model/CCommand.h"

#include <gtest/gtest.h>

#include "tests/model/UndoTestSupport.h"

using undotest::Add;

namespace {

TEST(CCommandTest, UndoWalksBackwardsAndRedoForwards)
{
    int total = 0;
    CCommand command("Edit", 0x1000, TRUE, TRUE);
    EXPECT_EQ(S_OK, command.Undo());  // no steps
    Add(command, total, 1);
    Add(command, total, 10);
    EXPECT_EQ(11, total);
    EXPECT_EQ(S_OK, command.Undo());
    EXPECT_EQ(0, total);
    EXPECT_EQ(S_OK, command.Redo());
    EXPECT_EQ(11, total);
    EXPECT_EQ(0x1000u, command.GetHint());
    EXPECT_STREQ("Edit", command.GetName());
}

TEST(CCommandTest, AnUndoThatFailsPartWayPutsBackTheStepsItWalked)
{
    int total = 0;
    CCommand command("Edit", 0, TRUE, TRUE);
    auto* first = Add(command, total, 1);
    Add(command, total, 10);
    Add(command, total, 100);
    first->failUndo = true;
    EXPECT_EQ(E_FAIL, command.Undo());
    EXPECT_EQ(111, total);
}

TEST(CCommandTest, ARedoThatFailsPartWayTakesBackTheStepsItWalked)
{
    int total = 0;
    CCommand command("Edit", 0, TRUE, TRUE);
    Add(command, total, 1);
    Add(command, total, 10);
    auto* last = Add(command, total, 100);
    EXPECT_EQ(S_OK, command.Undo());
    last->failRedo = true;
    EXPECT_EQ(E_FAIL, command.Redo());
    EXPECT_EQ(0, total);
}

TEST(CCommandTest, AbortUndoesAndDeletesTheStepsButKeepsTheCommand)
{
    int total = 0;
    CCommand command("Edit", 0, TRUE, TRUE);
    Add(command, total, 1);
    Add(command, total, 10);
    EXPECT_EQ(S_OK, command.Abort());
    EXPECT_EQ(0, total);
    EXPECT_EQ(0, command.GetStepCount());
    EXPECT_EQ(E_INVALIDARG, command.AddStep(nullptr));
}

}  // namespace
