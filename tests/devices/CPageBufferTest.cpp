#include "devices/CPageBuffer.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

namespace {

TEST(CPageBufferTest, SizesAreWholePagesAndTheBlockIsZeroAndWritable)
{
    const std::size_t page = CPageBuffer::PageSize();
    ASSERT_GT(page, 0u);
    CPageBuffer buffer;
    EXPECT_EQ(nullptr, buffer.Get());
    ASSERT_EQ(S_OK, buffer.Reserve(256 * 8 + 64));
    EXPECT_EQ((256 * 8 + 64 + page - 1) / page * page, buffer.GetSize());
    auto* bytes = static_cast<unsigned char*>(buffer.Get());
    for (std::size_t i = 0; i < buffer.GetSize(); ++i)
        ASSERT_EQ(0, bytes[i]) << i;
    std::memset(bytes, 0x5A, buffer.GetSize());
    EXPECT_EQ(0x5A, bytes[buffer.GetSize() - 1]);
}

TEST(CPageBufferTest, TheSameRoundedSizeKeepsTheBlock)
{
    const std::size_t page = CPageBuffer::PageSize();
    CPageBuffer buffer;
    ASSERT_EQ(S_OK, buffer.Reserve(10));
    void* first = buffer.Get();
    static_cast<unsigned char*>(first)[0] = 42;
    ASSERT_EQ(S_OK, buffer.Reserve(page));
    EXPECT_EQ(first, buffer.Get());
    EXPECT_EQ(42, static_cast<unsigned char*>(buffer.Get())[0]);
    ASSERT_EQ(S_OK, buffer.Reserve(page + 1));
    EXPECT_EQ(2 * page, buffer.GetSize());
    EXPECT_EQ(0, static_cast<unsigned char*>(buffer.Get())[0]);  // a new block
}

TEST(CPageBufferTest, ReservingNothingFreesAndAFailedCommitLeavesItEmpty)
{
    CPageBuffer buffer;
    ASSERT_EQ(S_OK, buffer.Reserve(1));
    ASSERT_EQ(S_OK, buffer.Reserve(0));
    EXPECT_EQ(nullptr, buffer.Get());
    EXPECT_EQ(0u, buffer.GetSize());

    ASSERT_EQ(S_OK, buffer.Reserve(1));
    EXPECT_EQ(E_OUTOFMEMORY, buffer.Reserve(SIZE_MAX / 2));
    EXPECT_EQ(nullptr, buffer.Get());
    EXPECT_EQ(0u, buffer.GetSize());
    EXPECT_EQ(E_OUTOFMEMORY, buffer.Reserve(SIZE_MAX));
}

}  // namespace
