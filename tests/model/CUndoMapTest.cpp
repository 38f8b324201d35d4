#include "model/CUndoMap.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CUndoMapTest, InsertOfAPresentKeyIsRefusedAndKeepsTheValue)
{
    CUndoMap<short, std::string> m;
    EXPECT_EQ(S_OK, m.Insert(3, "three"));
    EXPECT_EQ(E_INVALIDARG, m.Insert(3, "other"));
    std::string out;
    EXPECT_EQ(S_OK, m.Get(3, &out));
    EXPECT_EQ("three", out);
}

TEST(CUndoMapTest, SetRemoveAndGetRefuseAnAbsentKey)
{
    CUndoMap<short, std::string> m;
    EXPECT_EQ(S_OK, m.Insert(1, "one"));
    std::string out = "untouched";
    EXPECT_EQ(E_INVALIDARG, m.Set(2, "two"));
    EXPECT_EQ(E_INVALIDARG, m.Remove(2));
    EXPECT_EQ(E_INVALIDARG, m.Get(2, &out));
    EXPECT_EQ("untouched", out);
    EXPECT_EQ(E_POINTER, m.Get(2, nullptr));  // the out-parameter first
    EXPECT_EQ(S_OK, m.Set(1, "uno"));
    EXPECT_EQ(S_OK, m.Get(1, &out));
    EXPECT_EQ("uno", out);
    EXPECT_EQ(S_OK, m.Remove(1));
    EXPECT_EQ(0, m.GetSize());
}

TEST(CUndoMapTest, SixteenBitIdsAscendAsSignedNumbers)
{
    CUndoMap<short, int> m;
    for (short id : {short(5), short(-1), short(0x7FFF), short(-32768), short(0)})
        EXPECT_EQ(S_OK, m.Insert(id, id));
    std::vector<short> order;
    for (const auto& kv : m.Items())
        order.push_back(kv.first);
    EXPECT_EQ((std::vector<short>{-32768, -1, 0, 5, 0x7FFF}), order);
}

}  // namespace
