#include "platform/sync/CSpscByteRing.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <thread>
#include <vector>

namespace {

TEST(CSpscByteRingTest, WholeMessagesOrNothingAcrossTheWrap)
{
    CSpscByteRing ring(10);
    ASSERT_EQ(16u, ring.Capacity());
    const char first[] = "0123456789AB";  // 12 bytes, then 12 again wraps
    char out[16] = {};
    ASSERT_TRUE(ring.Write(first, 12));
    EXPECT_FALSE(ring.Write(first, 5)) << "only 4 bytes are free";
    EXPECT_EQ(12u, ring.ReadSpace());
    ASSERT_TRUE(ring.Read(out, 12));
    EXPECT_EQ(0, std::memcmp(out, first, 12));

    ASSERT_TRUE(ring.Write("abcdefghijkl", 12));  // 4 at the end, 8 at the start
    EXPECT_FALSE(ring.Peek(out, 13));
    ASSERT_TRUE(ring.Peek(out, 3));
    EXPECT_EQ(0, std::memcmp(out, "abc", 3));
    EXPECT_EQ(12u, ring.ReadSpace()) << "a peek takes nothing";
    ring.Skip(2);
    ASSERT_TRUE(ring.Read(out, 10));
    EXPECT_EQ(0, std::memcmp(out, "cdefghijkl", 10));
    EXPECT_EQ(0u, ring.ReadSpace());
    EXPECT_EQ(16u, ring.WriteSpace());
    ring.Skip(5);
    EXPECT_EQ(0u, ring.ReadSpace()) << "skipping past the end takes only what is there";
}

// A producer and a consumer on their own threads: every record arrives
// once, whole and in order, however the two interleave.
TEST(CSpscByteRingTest, RecordsCrossThreadsWholeAndInOrder)
{
    CSpscByteRing ring(64);
    constexpr std::uint32_t kRecords = 100000;
    std::thread producer([&] {
        for (std::uint32_t i = 0; i < kRecords;) {
            const std::uint32_t record[3] = {i, ~i, i * 7u};
            if (ring.Write(record, sizeof record))
                ++i;
            else
                std::this_thread::yield();
        }
    });
    std::uint32_t next = 0;
    bool whole = true;
    while (next < kRecords && whole) {
        std::uint32_t record[3];
        if (!ring.Read(record, sizeof record)) {
            std::this_thread::yield();
            continue;
        }
        whole = record[0] == next && record[1] == ~next && record[2] == next * 7u;
        ++next;
    }
    producer.join();
    EXPECT_TRUE(whole) << "record " << next - 1 << " arrived torn or out of order";
    EXPECT_EQ(kRecords, next);
}

}  // namespace
