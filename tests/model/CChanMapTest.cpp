#include "model/CChanMap.h"

#include <future>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace {

using Log = std::vector<std::string>;

struct FakeDoc;

// A channel that notes when it enters and leaves the document.
struct FakeChannel {
    std::string name;
    Log* log;
    FakeDoc* doc;
    HRESULT insertResult = S_OK;
    HRESULT removeResult = S_OK;
    HRESULT OnInsertedIntoDocument();
    HRESULT OnRemovedFromDocument();
};

struct FakeDoc final : IChanMapDocument<FakeChannel> {
    CHeapCriticalSection lock;
    Log log;
    std::vector<std::string> unlocked;
    CHeapCriticalSection* GetMidiLock() override { return &lock; }
    HRESULT UpdateChannelGraph(FakeChannel* c) override { return Note("upkeep " + c->name); }
    HRESULT Note(const std::string& what)
    {
        log.push_back(what);
        // Everything happens with the MIDI lock held: another thread cannot
        // take it meanwhile.
        const bool free = std::async(std::launch::async, [this] {
                              const bool got = lock.TryLock();
                              if (got)
                                  lock.Unlock();
                              return got;
                          }).get();
        if (free)
            unlocked.push_back(what);
        return S_OK;
    }
};

HRESULT FakeChannel::OnInsertedIntoDocument()
{
    doc->Note("in " + name);
    return insertResult;
}

HRESULT FakeChannel::OnRemovedFromDocument()
{
    doc->Note("out " + name);
    return removeResult;
}

struct CChanMapTest : ::testing::Test {
    FakeDoc doc;
    CChanMap<SHORT, FakeChannel> channels{&doc};
    FakeChannel a{"a", nullptr, &doc};
    FakeChannel b{"b", nullptr, &doc};
};

TEST_F(CChanMapTest, ChannelsEnterAndLeaveUnderTheMidiLock)
{
    ASSERT_EQ(S_OK, channels.Insert(1000, &a));
    ASSERT_EQ(S_OK, channels.Set(1000, &b));
    ASSERT_EQ(S_OK, channels.Remove(1000));
    EXPECT_EQ((Log{"in a", "upkeep a", "out a", "in b", "upkeep b", "out b", "upkeep b"}), doc.log);
    EXPECT_TRUE(doc.unlocked.empty());
    EXPECT_EQ(0, channels.GetSize());
}

TEST_F(CChanMapTest, ARefusedChangeLeavesNothingHalfDone)
{
    // A channel that cannot enter is not inserted.
    a.insertResult = E_FAIL;
    EXPECT_EQ(E_FAIL, channels.Insert(1000, &a));
    EXPECT_EQ(0, channels.GetSize());

    // An id already taken: the channel is told it left again.
    a.insertResult = S_OK;
    ASSERT_EQ(S_OK, channels.Insert(1000, &a));
    doc.log.clear();
    EXPECT_EQ(E_INVALIDARG, channels.Insert(1000, &b));
    EXPECT_EQ((Log{"in b", "out b"}), doc.log);

    // A replacement that cannot enter puts the old channel back.
    doc.log.clear();
    b.insertResult = E_FAIL;
    EXPECT_EQ(E_FAIL, channels.Set(1000, &b));
    EXPECT_EQ((Log{"out a", "in b", "in a"}), doc.log);
    FakeChannel* held = nullptr;
    ASSERT_EQ(S_OK, channels.Get(1000, &held));
    EXPECT_EQ(&a, held);

    // A channel that cannot leave stays.
    a.removeResult = E_FAIL;
    EXPECT_EQ(E_FAIL, channels.Remove(1000));
    EXPECT_EQ(1, channels.GetSize());
    EXPECT_EQ(E_INVALIDARG, channels.Remove(1001));
    EXPECT_EQ(E_INVALIDARG, channels.Set(1001, &a));
}

}  // namespace
