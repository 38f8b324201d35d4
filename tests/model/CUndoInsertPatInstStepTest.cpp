#include "model/CUndoInsertPatInstStep.h"

#include <gtest/gtest.h>

#include "PatternTestSupport.h"
#include "model/CUndoVector.h"

namespace {

using pattest::FakeSongDocument;

struct CUndoInsertPatInstStepTest : ::testing::Test {
    FakeSongDocument document;
    CUndoVector<CPatternInstance> timeline;
    CPatternInstance placed;
    CPatternInstance other;
};

TEST_F(CUndoInsertPatInstStepTest, UndoingThePlacementOfTheActiveInstanceLeavesNoneAndRedoRestoresIt)
{
    ASSERT_EQ(S_OK, timeline.Insert(0, other));
    CUndoInsertPatInstStep step(&document, timeline, 0, placed);
    ASSERT_EQ(S_OK, step.Do());
    document.active.Set(0, placed.GetInstanceId());

    ASSERT_EQ(S_OK, step.Undo());
    EXPECT_EQ(1, timeline.GetSize());
    EXPECT_EQ(ISongDocument::kNoInstance, document.GetActiveInstance());
    ASSERT_EQ(S_OK, step.Redo());
    EXPECT_EQ(2, timeline.GetSize());
    EXPECT_EQ(placed.GetInstanceId(), document.GetActiveInstance());
}

TEST_F(CUndoInsertPatInstStepTest, AnotherActiveInstanceStaysActive)
{
    CUndoInsertPatInstStep step(&document, timeline, 0, placed);
    ASSERT_EQ(S_OK, step.Do());
    document.active.Set(0, other.GetInstanceId());
    ASSERT_EQ(S_OK, step.Undo());
    EXPECT_EQ(other.GetInstanceId(), document.GetActiveInstance());
    ASSERT_EQ(S_OK, step.Redo());
    EXPECT_EQ(other.GetInstanceId(), document.GetActiveInstance());
}

TEST_F(CUndoInsertPatInstStepTest, FailuresAreReportedAndWithoutADocumentItIsAPlainInsert)
{
    CUndoInsertPatInstStep bad(&document, timeline, 3, placed);
    EXPECT_EQ(E_INVALIDARG, bad.Do());

    CUndoInsertPatInstStep step(&document, timeline, 0, placed);
    ASSERT_EQ(S_OK, step.Do());
    document.active.Set(0, placed.GetInstanceId());
    document.setActiveResult = E_FAIL;
    EXPECT_EQ(E_FAIL, step.Undo());
    EXPECT_EQ(0, timeline.GetSize());

    CUndoInsertPatInstStep plain(nullptr, timeline, 0, placed);
    ASSERT_EQ(S_OK, plain.Do());
    ASSERT_EQ(S_OK, plain.Undo());
    ASSERT_EQ(S_OK, plain.Redo());
    EXPECT_EQ(1, timeline.GetSize());
}

}  // namespace
