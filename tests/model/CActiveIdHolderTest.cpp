#include "model/CActiveIdHolder.h"

#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "model/CActiveContainerID.h"
#include "model/CActivePatternID.h"
#include "model/CActivePatternInstanceID.h"

namespace {

class FakeActiveDocument final : public IActiveIdDocument {
public:
    HRESULT RecalcSongLength() override { return S_OK; }
    HRESULT ResetInstanceCursors(SHORT) override { return S_OK; }
    HRESULT RefreshActiveSelection() override
    {
        log.push_back("refresh");
        return refreshResult;
    }
    SHORT GetActiveContainer() override { return kNoId; }
    HRESULT SetActiveContainer(SHORT, BOOL, CMvCommand*) override { return S_OK; }
    BOOL HasPattern(SHORT id) override { return patterns.count(id) != 0; }
    BOOL HasInstance(DWORD id) override { return instances.count(id) != 0; }
    BOOL HasContainer(SHORT id) override { return containers.count(id) != 0; }
    HRESULT NotifyActiveContainer(SHORT id) override
    {
        log.push_back("container " + std::to_string(id));
        return S_OK;
    }

    std::set<SHORT> patterns{3};
    std::set<DWORD> instances{0x10002};
    std::set<SHORT> containers{1000, 5000, 8000};
    std::vector<std::string> log;
    HRESULT refreshResult = S_OK;
};

struct CActiveIdHolderTest : ::testing::Test {
    FakeActiveDocument doc;
};

TEST_F(CActiveIdHolderTest, APatternTheSongDoesNotHoldIsStoredAsNone)
{
    CActivePatternID active(&doc);
    EXPECT_EQ(static_cast<SHORT>(0xFFFF), active.GetCurrent());
    ASSERT_EQ(S_OK, active.Insert(0, active.None()));
    ASSERT_EQ(S_OK, active.Set(0, 3));
    EXPECT_EQ(3, active.GetCurrent());
    EXPECT_EQ((std::vector<std::string>{"refresh"}), doc.log);

    // A pattern that does not exist: none is stored, and since a pattern was
    // active the selection is still refreshed.
    ASSERT_EQ(S_OK, active.Set(0, 42));
    EXPECT_EQ(static_cast<SHORT>(0xFFFF), active.GetCurrent());
    EXPECT_EQ(2u, doc.log.size());

    // The same id again changes nothing.
    ASSERT_EQ(S_OK, active.Set(0, static_cast<SHORT>(0xFFFF)));
    EXPECT_EQ(2u, doc.log.size());
}

TEST_F(CActiveIdHolderTest, OnlyIndexZeroIsAccepted)
{
    CActivePatternID pattern(&doc);
    CActivePatternInstanceID instance(&doc);
    CActiveContainerID container(&doc);
    // Empty: index 0 fails the vector's range test.
    EXPECT_EQ(E_INVALIDARG, pattern.Set(0, 3));
    ASSERT_EQ(S_OK, pattern.Insert(0, pattern.None()));
    ASSERT_EQ(S_OK, instance.Insert(0, instance.None()));
    ASSERT_EQ(S_OK, container.Insert(0, container.None()));
    EXPECT_EQ(E_INVALIDARG, pattern.Set(1, 3));
    EXPECT_EQ(E_INVALIDARG, instance.Set(1, 0x10002));
    EXPECT_EQ(E_INVALIDARG, container.Set(1, 1000));
    EXPECT_TRUE(doc.log.empty());
}

TEST_F(CActiveIdHolderTest, TheActiveInstanceMustBePlaced)
{
    CActivePatternInstanceID active(&doc);
    ASSERT_EQ(S_OK, active.Insert(0, active.None()));
    EXPECT_EQ(-1, active.GetCurrent());
    ASSERT_EQ(S_OK, active.Set(0, 0x10002));
    EXPECT_EQ(0x10002, active.GetCurrent());
    ASSERT_EQ(S_OK, active.Set(0, 0x20002));
    EXPECT_EQ(-1, active.GetCurrent());
}

TEST_F(CActiveIdHolderTest, TheActiveContainerTellsTheListenersWithTheIdAsGiven)
{
    CActiveContainerID active(&doc);
    ASSERT_EQ(S_OK, active.Insert(0, active.None()));
    for (SHORT id : {SHORT{1000}, SHORT{5000}, SHORT{8000}}) {
        ASSERT_EQ(S_OK, active.Set(0, id));
        EXPECT_EQ(id, active.GetCurrent());
    }
    doc.log.clear();
    ASSERT_EQ(S_OK, active.Set(0, 1234));
    EXPECT_EQ(static_cast<SHORT>(0xFFFF), active.GetCurrent());
    EXPECT_EQ((std::vector<std::string>{"refresh", "container 1234"}), doc.log);

    // A failing refresh is returned and the listeners are not told.
    doc.log.clear();
    doc.refreshResult = E_FAIL;
    EXPECT_EQ(E_FAIL, active.Set(0, 1000));
    EXPECT_EQ((std::vector<std::string>{"refresh"}), doc.log);
}

}  // namespace
