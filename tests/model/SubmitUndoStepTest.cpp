#include "model/SubmitUndoStep.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "model/CUndoInsertPtrStep.h"
#include "model/CUndoInsertStep.h"
#include "model/CUndoRemovePtrStep.h"
#include "model/CUndoSetStep.h"
#include "model/CUndoVector.h"
#include "tests/model/UndoTestSupport.h"

using undotest::Contents;
using undotest::Tracked;

namespace {

using InsertInt = CUndoInsertStep<int, int>;
using InsertTracked = CUndoInsertPtrStep<int, Tracked>;
using RemoveTracked = CUndoRemovePtrStep<int, Tracked>;

// A command that can record only a given number of steps.
class LimitedCommand : public CCommand {
public:
    explicit LimitedCommand(int room) : CCommand("Limited", 0, TRUE, TRUE), m_room(room) {}
    HRESULT AddStep(CUndoStep* step) override
    {
        if (GetStepCount() >= m_room)
            return E_OUTOFMEMORY;
        return CCommand::AddStep(step);
    }

private:
    int m_room;
};

// A vector whose Insert throws something that is not an HRESULT.
class ThrowingVector : public CUndoVector<int> {
public:
    HRESULT Insert(const int&, const int&) override { throw std::runtime_error("boom"); }
};

template <class F>
HRESULT Thrown(F&& f)
{
    try {
        f();
    } catch (const CHResultException& e) {
        return e.Code();
    }
    return S_OK;
}

class SubmitUndoStepTest : public undotest::TrackedMapTest {
protected:
    CUndoVector<int> v;
};

TEST_F(SubmitUndoStepTest, WithoutACommandTheChangeStaysAndCannotBeUndone)
{
    SubmitUndoStep<InsertInt>(nullptr, v, 0, 5);
    EXPECT_EQ((std::vector<int>{5}), Contents(v));

    SubmitUndoStep<InsertTracked>(nullptr, map, 1, new Tracked{1});
    EXPECT_EQ(1, map.GetSize());  // an inserted object stays in the container
    EXPECT_TRUE(Tracked::Destroyed().empty());

    SubmitUndoStep<RemoveTracked>(nullptr, map, 1);
    EXPECT_EQ(0, map.GetSize());  // a removed object is destroyed at once
    EXPECT_EQ(1u, Tracked::Destroyed().count(1));
}

TEST_F(SubmitUndoStepTest, WithACommandTheCommandTakesTheStepAndCanUndoIt)
{
    CCommand command("Edit", 0, TRUE, TRUE);
    SubmitUndoStep<InsertInt>(&command, v, 0, 5);
    SubmitUndoStep<InsertInt>(&command, v, 1, 6);
    EXPECT_EQ(2, command.GetStepCount());
    EXPECT_EQ(S_OK, command.Undo());
    EXPECT_TRUE(Contents(v).empty());
    EXPECT_EQ(S_OK, command.Redo());
    EXPECT_EQ((std::vector<int>{5, 6}), Contents(v));
}

TEST_F(SubmitUndoStepTest, AFailingDoAbortsTheWholeCommandAndThrows)
{
    CCommand command("Edit", 0, TRUE, TRUE);
    SubmitUndoStep<InsertInt>(&command, v, 0, 5);
    EXPECT_EQ(E_INVALIDARG, Thrown([&] { SubmitUndoStep<InsertInt>(&command, v, 9, 6); }));
    EXPECT_TRUE(Contents(v).empty());
    EXPECT_EQ(0, command.GetStepCount());
}

TEST_F(SubmitUndoStepTest, AnInsertedObjectWhoseDoFailsStaysWithTheCaller)
{
    map.Insert(1, new Tracked{1});
    auto duplicate = std::make_unique<Tracked>(Tracked{2});
    EXPECT_EQ(E_INVALIDARG, Thrown([&] { SubmitUndoStep<InsertTracked>(nullptr, map, 1, duplicate.get()); }));
    EXPECT_TRUE(Tracked::Destroyed().empty());
}

TEST_F(SubmitUndoStepTest, AStepThatCannotBeRecordedIsUndoneWithTheRestOfTheCommand)
{
    LimitedCommand command(1);
    SubmitUndoStep<InsertInt>(&command, v, 0, 5);
    EXPECT_EQ(E_OUTOFMEMORY, Thrown([&] { SubmitUndoStep<InsertInt>(&command, v, 1, 6); }));
    EXPECT_TRUE(Contents(v).empty());
    EXPECT_EQ(0, command.GetStepCount());
}

TEST_F(SubmitUndoStepTest, AnObjectWhoseStepCannotBeRecordedGoesBackToTheCaller)
{
    LimitedCommand command(0);
    auto object = std::make_unique<Tracked>(Tracked{3});
    EXPECT_EQ(E_OUTOFMEMORY, Thrown([&] { SubmitUndoStep<InsertTracked>(&command, map, 3, object.get()); }));
    EXPECT_EQ(0, map.GetSize());
    EXPECT_TRUE(Tracked::Destroyed().empty());
}

TEST_F(SubmitUndoStepTest, OtherExceptionsBecomeEFail)
{
    ThrowingVector t;
    CCommand command("Edit", 0, TRUE, TRUE);
    SubmitUndoStep<InsertInt>(&command, v, 0, 5);
    EXPECT_EQ(E_FAIL, Thrown([&] { SubmitUndoStep<InsertInt>(&command, t, 0, 1); }));
    EXPECT_TRUE(Contents(v).empty());
}

}  // namespace
