#include "model/CUndoVector.h"

#include <gtest/gtest.h>

#include "tests/model/UndoTestSupport.h"

using undotest::Contents;

namespace {

CUndoVector<int> Make(std::initializer_list<int> values)
{
    CUndoVector<int> v;
    int i = 0;
    for (int x : values)
        EXPECT_EQ(S_OK, v.Insert(i++, x));
    return v;
}

TEST(CUndoVectorTest, InsertAcceptsZeroToSizeAndMovesLaterElementsUp)
{
    auto v = Make({10, 20, 30});
    EXPECT_EQ(S_OK, v.Insert(3, 40));  // at size: appends
    EXPECT_EQ(S_OK, v.Insert(0, 5));
    EXPECT_EQ(S_OK, v.Insert(2, 15));
    EXPECT_EQ((std::vector<int>{5, 10, 15, 20, 30, 40}), Contents(v));
    EXPECT_EQ(E_INVALIDARG, v.Insert(7, 99));  // size + 1
    EXPECT_EQ(E_INVALIDARG, v.Insert(-1, 99));
    EXPECT_EQ(6, v.GetSize());
}

TEST(CUndoVectorTest, SetRemoveAndGetRefuseIndicesOutsideTheElements)
{
    auto v = Make({1, 2, 3});
    int out = -7;
    for (int bad : {-1, 3, 100}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(E_INVALIDARG, v.Set(bad, 9));
        EXPECT_EQ(E_INVALIDARG, v.Remove(bad));
        EXPECT_EQ(E_INVALIDARG, v.Get(bad, &out));
    }
    EXPECT_EQ(-7, out);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), Contents(v));
}

TEST(CUndoVectorTest, SetRemoveAndGetWorkInsideTheElements)
{
    auto v = Make({1, 2, 3});
    EXPECT_EQ(S_OK, v.Set(1, 22));
    EXPECT_EQ(S_OK, v.Remove(0));
    int out = 0;
    EXPECT_EQ(S_OK, v.Get(0, &out));
    EXPECT_EQ(22, out);
    EXPECT_EQ((std::vector<int>{22, 3}), Contents(v));
}

TEST(CUndoVectorTest, GetChecksTheOutParameterBeforeTheIndex)
{
    auto v = Make({1});
    EXPECT_EQ(E_POINTER, v.Get(5, nullptr));
    EXPECT_EQ(E_POINTER, v.Get(0, nullptr));
}

}  // namespace
