// Fakes for the undo framework's tests: element objects whose destruction is
// counted, a container whose calls can be made to fail, and the two
// documents a command and the history talk to.
#pragma once

#include <map>
#include <set>
#include <vector>

#include <gtest/gtest.h>

#include "model/CCommand.h"
#include "model/CUndoMap.h"
#include "model/CUndoVector.h"
#include "model/CUndoPtrTraits.h"
#include "model/ICommandDocument.h"
#include "model/IHistoryDocument.h"

namespace undotest {

// An element object handled by pointer steps; the test sees which ones were
// destroyed and how often.
struct Tracked {
    int id;
    static std::multiset<int>& Destroyed()
    {
        static std::multiset<int> destroyed;
        return destroyed;
    }
};

// A map of pointers whose Insert, Set or Remove can be told to fail.
class FailingPtrMap : public CUndoMap<int, Tracked*> {
public:
    bool failInsert = false;
    bool failSet = false;
    bool failRemove = false;

    HRESULT Insert(const int& key, Tracked* const& value) override
    {
        return failInsert ? E_FAIL : CUndoMap::Insert(key, value);
    }
    HRESULT Set(const int& key, Tracked* const& value) override
    {
        return failSet ? E_FAIL : CUndoMap::Set(key, value);
    }
    HRESULT Remove(const int& key) override { return failRemove ? E_FAIL : CUndoMap::Remove(key); }
};

// A step that adds its amount to a shared total; its undo or redo can be told
// to fail.
class AddStep : public CUndoStep {
public:
    AddStep(int& total, int amount) : m_total(total), m_amount(amount) {}
    bool failUndo = false;
    bool failRedo = false;

    HRESULT Do() override
    {
        m_total += m_amount;
        return S_OK;
    }
    HRESULT Undo() override
    {
        if (failUndo)
            return E_FAIL;
        m_total -= m_amount;
        return S_OK;
    }
    HRESULT Redo() override { return failRedo ? E_FAIL : Do(); }

private:
    int& m_total;
    int m_amount;
};

// Runs a step and gives it to the command, as an edit does; returns it so
// that a test can make it fail later.
inline AddStep* Add(CCommand& command, int& total, int amount)
{
    auto* step = new AddStep(total, amount);
    step->Do();
    command.AddStep(step);
    return step;
}

// The elements of a vector, in order.
template <class T>
std::vector<T> Contents(const CUndoVector<T>& v)
{
    std::vector<T> out;
    for (int i = 0; i < v.GetSize(); ++i)
        out.push_back(v[i]);
    return out;
}

class FakeHistoryDocument : public IHistoryDocument {
public:
    std::vector<DWORD> updates;
    int modified = 0;
    int waitDepth = 0;
    int waitShown = 0;

    void UpdateAllViews(DWORD hint) override { updates.push_back(hint); }
    void SetModifiedFlag(BOOL flag) override { modified += flag ? 1 : 0; }
    void BeginWaitCursor() override
    {
        ++waitDepth;
        ++waitShown;
    }
    void EndWaitCursor() override { --waitDepth; }
};

class FakeCommandDocument : public ICommandDocument {
public:
    std::vector<const char*> calls;
    SHORT active = 1000;
    HRESULT songLengthResult = S_OK;
    HRESULT selectionResult = S_OK;

    HRESULT RecalcSongLength() override
    {
        calls.push_back("length");
        return songLengthResult;
    }
    HRESULT ResetInstanceCursors(SHORT id) override
    {
        calls.push_back(id == kNoId ? "cursors(all)" : "cursors");
        return S_OK;
    }
    HRESULT RefreshActiveSelection() override
    {
        calls.push_back("selection");
        return selectionResult;
    }
    SHORT GetActiveContainer() override { return active; }
    HRESULT SetActiveContainer(SHORT id, BOOL, CMvCommand* command) override
    {
        calls.push_back(command == nullptr && id == active ? "announce" : "announce(wrong)");
        return S_OK;
    }
};

}  // namespace undotest

template <>
struct CUndoPtrTraits<undotest::Tracked> {
    static void Destroy(undotest::Tracked* p)
    {
        undotest::Tracked::Destroyed().insert(p->id);
        delete p;
    }
};

namespace undotest {

// A fixture with a map of tracked objects; what the map still holds at the
// end is freed, so every other destruction shows in Destroyed().
class TrackedMapTest : public ::testing::Test {
protected:
    void SetUp() override { Tracked::Destroyed().clear(); }
    void TearDown() override
    {
        for (const auto& kv : map.Items())
            delete kv.second;
    }
    static int DestroyedCount(int id) { return static_cast<int>(Tracked::Destroyed().count(id)); }

    FailingPtrMap map;
};

}  // namespace undotest
