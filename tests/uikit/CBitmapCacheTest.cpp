// The bitmap cache by its reference counts: a bitmap stays while it has
// users, goes with the last, loads again on a later use, and ids that differ
// above their low 16 bits are separate entries of one image.
#include "uikit/CBitmapCache.h"

#include <gtest/gtest.h>

#include "tests/uikit/NWTestHost.h"

namespace {

constexpr UINT kId = 9105;

class CBitmapCacheTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        QImage img(6, 4, QImage::Format_RGB32);
        img.fill(QColor(10, 20, 30));
        mvtest::RegisterImage(kId, img);
    }
    void TearDown() override
    {
        mvui::RegisterBitmapResource(nullptr, kId, CBitmap());
        UiTest::TearDown();
    }
    CBitmapCache cache;
};

TEST_F(CBitmapCacheTest, ABitmapLivesFromItsFirstReferenceToItsLast)
{
    EXPECT_EQ(cache.AddRef(kId), 1);
    EXPECT_EQ(cache.AddRef(kId), 1);
    CBitmap* first = cache.Lookup(kId);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->GetSize(), CSize(6, 4));
    EXPECT_EQ(cache.Release(kId), 1);
    EXPECT_EQ(cache.Lookup(kId), first);  // one user left: the same bitmap
    EXPECT_EQ(cache.Release(kId), 1);
    EXPECT_EQ(cache.Lookup(kId), nullptr);
    EXPECT_EQ(cache.Release(kId), 0);
    // A later use loads it again.
    cache.AddRef(kId);
    ASSERT_NE(cache.Lookup(kId), nullptr);
    EXPECT_EQ(cache.Lookup(kId)->GetSize(), CSize(6, 4));
}

TEST_F(CBitmapCacheTest, IdsDifferingAboveTheLowWordAreSeparateEntriesOfOneImage)
{
    const UINT high = kId | 0x10000;
    cache.AddRef(kId);
    cache.AddRef(high);
    ASSERT_NE(cache.Lookup(high), nullptr);
    EXPECT_NE(cache.Lookup(high), cache.Lookup(kId));
    EXPECT_EQ(cache.Lookup(high)->GetSize(), CSize(6, 4));
    cache.Release(kId);
    EXPECT_EQ(cache.Lookup(kId), nullptr);
    EXPECT_NE(cache.Lookup(high), nullptr);
}

TEST_F(CBitmapCacheTest, AMissingBitmapIsCachedEmptyAndCounted)
{
    const UINT missing = 9199;
    cache.AddRef(missing);
    CBitmap* b = cache.Lookup(missing);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->Data(), nullptr);
    EXPECT_EQ(cache.Release(missing), 1);
    EXPECT_EQ(cache.Lookup(missing), nullptr);
}

}  // namespace
