#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "model/CUndoInsertPtrStep.h"
#include "model/CUndoInsertStep.h"
#include "model/CUndoRemovePtrStep.h"
#include "model/CUndoRemoveStep.h"
#include "model/CUndoSetAttributeStep.h"
#include "model/CUndoSetPtrStep.h"
#include "model/CUndoSetStep.h"
#include "model/CUndoVector.h"
#include "tests/model/UndoTestSupport.h"

using undotest::Contents;
using undotest::Tracked;

namespace {

using PointerStepTest = undotest::TrackedMapTest;

TEST(CUndoValueStepTest, InsertRemoveAndSetRunUndoAndRedo)
{
    CUndoVector<int> v;
    v.Insert(0, 1);
    v.Insert(1, 2);

    CUndoInsertStep<int, int> insert(v, 1, 9);
    EXPECT_EQ(S_OK, insert.Do());
    EXPECT_EQ((std::vector<int>{1, 9, 2}), Contents(v));
    EXPECT_EQ(S_OK, insert.Undo());
    EXPECT_EQ((std::vector<int>{1, 2}), Contents(v));
    EXPECT_EQ(S_OK, insert.Redo());
    EXPECT_EQ((std::vector<int>{1, 9, 2}), Contents(v));

    CUndoRemoveStep<int, int> remove(v, 0);
    EXPECT_EQ(S_OK, remove.Do());
    EXPECT_EQ((std::vector<int>{9, 2}), Contents(v));
    EXPECT_EQ(S_OK, remove.Undo());
    EXPECT_EQ((std::vector<int>{1, 9, 2}), Contents(v));
    EXPECT_EQ(S_OK, remove.Redo());
    EXPECT_EQ((std::vector<int>{9, 2}), Contents(v));

    CUndoSetStep<int, int> set(v, 1, 7);
    EXPECT_EQ(S_OK, set.Do());
    EXPECT_EQ((std::vector<int>{9, 7}), Contents(v));
    EXPECT_EQ(S_OK, set.Undo());
    EXPECT_EQ((std::vector<int>{9, 2}), Contents(v));
    EXPECT_EQ(S_OK, set.Redo());
    EXPECT_EQ((std::vector<int>{9, 7}), Contents(v));
}

TEST(CUndoValueStepTest, AStepWhoseFirstContainerCallFailsChangesNothing)
{
    CUndoVector<int> v;
    v.Insert(0, 1);
    CUndoRemoveStep<int, int> remove(v, 4);
    CUndoSetStep<int, int> set(v, 4, 0);
    CUndoInsertStep<int, int> insert(v, 2, 0);
    EXPECT_EQ(E_INVALIDARG, remove.Do());
    EXPECT_EQ(E_INVALIDARG, set.Do());
    EXPECT_EQ(E_INVALIDARG, insert.Do());
    EXPECT_EQ((std::vector<int>{1}), Contents(v));
}

TEST_F(PointerStepTest, InsertStepHoldsTheObjectOnlyWhileItIsUndone)
{
    {
        CUndoInsertPtrStep<int, Tracked> step(map, 1, new Tracked{1});
        EXPECT_EQ(S_OK, step.Do());
    }
    EXPECT_EQ(0, DestroyedCount(1));  // the map has it
    {
        CUndoInsertPtrStep<int, Tracked> step(map, 2, new Tracked{2});
        EXPECT_EQ(S_OK, step.Do());
        EXPECT_EQ(S_OK, step.Undo());
        EXPECT_EQ(S_OK, step.Redo());
        EXPECT_EQ(S_OK, step.Undo());
    }
    EXPECT_EQ(1, DestroyedCount(2));
    EXPECT_EQ(1, map.GetSize());
}

TEST_F(PointerStepTest, InsertStepWhoseUndoFailsDoesNotDestroyWhatTheContainerStillHas)
{
    {
        CUndoInsertPtrStep<int, Tracked> step(map, 1, new Tracked{1});
        EXPECT_EQ(S_OK, step.Do());
        map.failRemove = true;
        EXPECT_EQ(E_FAIL, step.Undo());
    }
    EXPECT_EQ(0, DestroyedCount(1));
    EXPECT_EQ(1, map.GetSize());  // TearDown frees it exactly once
}

TEST_F(PointerStepTest, InsertStepWhoseRedoFailsKeepsHoldingTheObject)
{
    {
        CUndoInsertPtrStep<int, Tracked> step(map, 1, new Tracked{1});
        EXPECT_EQ(S_OK, step.Do());
        EXPECT_EQ(S_OK, step.Undo());
        map.failInsert = true;
        EXPECT_EQ(E_FAIL, step.Redo());
    }
    EXPECT_EQ(1, DestroyedCount(1));  // out of the map: not leaked
}

TEST_F(PointerStepTest, RemoveStepHoldsTheObjectFromDoUntilUndo)
{
    map.Insert(1, new Tracked{1});
    map.Insert(2, new Tracked{2});
    {
        CUndoRemovePtrStep<int, Tracked> step(map, 1);
        EXPECT_EQ(S_OK, step.Do());
    }
    EXPECT_EQ(1, DestroyedCount(1));
    {
        CUndoRemovePtrStep<int, Tracked> step(map, 2);
        EXPECT_EQ(S_OK, step.Do());
        EXPECT_EQ(S_OK, step.Undo());
    }
    EXPECT_EQ(0, DestroyedCount(2));
    EXPECT_EQ(1, map.GetSize());
}

TEST_F(PointerStepTest, RemoveStepWhoseCallsFailHoldsExactlyWhatIsOutOfTheContainer)
{
    map.Insert(1, new Tracked{1});
    {
        CUndoRemovePtrStep<int, Tracked> step(map, 1);
        map.failRemove = true;
        EXPECT_EQ(E_FAIL, step.Do());
    }
    EXPECT_EQ(0, DestroyedCount(1));
    map.failRemove = false;
    {
        CUndoRemovePtrStep<int, Tracked> step(map, 1);
        EXPECT_EQ(S_OK, step.Do());
        map.failInsert = true;
        EXPECT_EQ(E_FAIL, step.Undo());
    }
    EXPECT_EQ(1, DestroyedCount(1));
    EXPECT_EQ(0, map.GetSize());
}

TEST_F(PointerStepTest, RemoveStepOfAnAbsentKeyHoldsNothing)
{
    CUndoRemovePtrStep<int, Tracked> step(map, 5);
    EXPECT_EQ(E_INVALIDARG, step.Do());
}

TEST_F(PointerStepTest, SetStepDestroysWhicheverObjectIsOutWhenDropped)
{
    struct Case {
        const char* name;
        int undos;  // after Do: alternately undo and redo this many times
        int destroyed;
    };
    const Case cases[] = {{"after Do", 0, 10}, {"after Undo", 1, 11}, {"after Redo", 2, 10}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Tracked::Destroyed().clear();
        map.Insert(1, new Tracked{10});
        {
            CUndoSetPtrStep<int, Tracked> step(map, 1, new Tracked{11});
            EXPECT_EQ(S_OK, step.Do());
            for (int i = 0; i < c.undos; ++i)
                EXPECT_EQ(S_OK, i % 2 == 0 ? step.Undo() : step.Redo());
        }
        EXPECT_EQ(1, static_cast<int>(Tracked::Destroyed().size()));
        EXPECT_EQ(1, DestroyedCount(c.destroyed));
        Tracked* left = nullptr;
        map.Get(1, &left);
        delete left;
        map.Remove(1);
    }
}

TEST_F(PointerStepTest, SetStepWhoseDoFailsLeavesTheNewObjectWithTheCaller)
{
    map.Insert(1, new Tracked{10});
    auto replacement = std::make_unique<Tracked>(Tracked{11});
    {
        CUndoSetPtrStep<int, Tracked> step(map, 1, replacement.get());
        map.failSet = true;
        EXPECT_EQ(E_FAIL, step.Do());
    }
    EXPECT_TRUE(Tracked::Destroyed().empty());
}

struct Owner {
    std::string name;
};

class NameStep : public CUndoSetAttributeStep<int, Owner*, std::string> {
public:
    using CUndoSetAttributeStep::CUndoSetAttributeStep;
    HRESULT SetAttribute(Owner* owner, const std::string& value) override
    {
        owner->name = value;
        return S_OK;
    }
    HRESULT GetAttribute(Owner* owner, std::string* out) override
    {
        *out = owner->name;
        return S_OK;
    }
};

TEST(CUndoSetAttributeStepTest, LooksTheOwnerUpAgainOnEveryRun)
{
    Owner first{"Bass"};
    Owner second{"Lead"};
    CUndoMap<int, Owner*> owners;
    owners.Insert(1, &first);
    NameStep step(owners, 1, "Drums");
    EXPECT_EQ(S_OK, step.Do());
    EXPECT_EQ("Drums", first.name);

    // The owner left and another object now lives under the key.
    owners.Remove(1);
    EXPECT_EQ(E_INVALIDARG, step.Undo());
    EXPECT_EQ("Drums", first.name);
    owners.Insert(1, &second);
    EXPECT_EQ(S_OK, step.Undo());
    EXPECT_EQ("Bass", second.name);
    EXPECT_EQ(S_OK, step.Redo());
    EXPECT_EQ("Drums", second.name);
}

TEST(CUndoSetAttributeStepTest, AnOwnerKeyThatDoesNotResolveChangesNothing)
{
    CUndoMap<int, Owner*> owners;
    NameStep step(owners, 4, "x");
    EXPECT_EQ(E_INVALIDARG, step.Do());
}

}  // namespace
