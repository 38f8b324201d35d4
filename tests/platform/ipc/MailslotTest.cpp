#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstring>

#include "platform/ipc/Mailslot.h"
#include "platform/sync/Event.h"
#include "tests/platform/ipc/IpcTestSupport.h"

namespace {

constexpr const char* kSlot = "\\\\.\\mailslot\\mv";

using Record = std::array<unsigned char, 24>;

Record RecordOf(unsigned char tag)
{
    Record r{};
    r[0] = tag;
    r[23] = static_cast<unsigned char>(0xA0 + tag);
    return r;
}

class Mailslot : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(ns.Leftovers().empty()) << "every object is removed on close"; }
    mvtest::IpcNamespace ns;
};

TEST_F(Mailslot, RecordsFromAnotherProcessArriveWholeAndInOrder)
{
    HANDLE slot = CreateMailslotA(kSlot, 0, 2000, nullptr);
    ASSERT_NE(slot, INVALID_HANDLE_VALUE);
    mvtest::ChildProcess writer([] {
        HANDLE out = OpenMailslotA("\\\\.\\MAILSLOT\\MV");  // names ignore case
        if (out == INVALID_HANDLE_VALUE)
            return 1;
        for (unsigned char tag = 1; tag <= 3; ++tag) {
            const Record r = RecordOf(tag);
            DWORD written = 0;
            if (!WriteMailslot(out, r.data(), r.size(), &written) || written != r.size())
                return 2;
        }
        CloseHandle(out);
        return 0;
    });
    ASSERT_TRUE(writer.Started());
    for (unsigned char tag = 1; tag <= 3; ++tag) {
        Record got{};
        DWORD read = 0;
        ASSERT_TRUE(ReadMailslot(slot, got.data(), got.size(), &read)) << int(tag);
        EXPECT_EQ(read, 24u);
        EXPECT_EQ(got, RecordOf(tag));
    }
    EXPECT_EQ(writer.Join(), 0);
    EXPECT_TRUE(CloseHandle(slot));
}

TEST_F(Mailslot, WritersFindOnlyALiveSlotAndTheNameGoesWithItsReader)
{
    EXPECT_EQ(OpenMailslotA(kSlot), INVALID_HANDLE_VALUE);
    HANDLE slot = CreateMailslotA(kSlot, 24, 0, nullptr);
    ASSERT_NE(slot, INVALID_HANDLE_VALUE);
    EXPECT_EQ(CreateMailslotA(kSlot, 24, 0, nullptr), INVALID_HANDLE_VALUE) << "a second reader";
    HANDLE out = OpenMailslotA(kSlot);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    CloseHandle(slot);
    EXPECT_EQ(OpenMailslotA(kSlot), INVALID_HANDLE_VALUE);
    // A slot of the same name can be made again once the old one is gone.
    HANDLE again = CreateMailslotA(kSlot, 24, 0, nullptr);
    EXPECT_NE(again, INVALID_HANDLE_VALUE);
    CloseHandle(again);
    CloseHandle(out);
}

TEST_F(Mailslot, AnEmptySlotTimesOutAndAShortBufferKeepsTheMessage)
{
    HANDLE slot = CreateMailslotA(kSlot, 24, 50, nullptr);
    ASSERT_NE(slot, INVALID_HANDLE_VALUE);
    Record got{};
    DWORD read = 99;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(ReadMailslot(slot, got.data(), got.size(), &read));
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(45));
    EXPECT_EQ(read, 0u);

    DWORD maxSize = 0, next = 0, count = 9, timeout = 0;
    ASSERT_TRUE(GetMailslotInfo(slot, &maxSize, &next, &count, &timeout));
    EXPECT_EQ(maxSize, 24u);
    EXPECT_EQ(next, MAILSLOT_NO_MESSAGE);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(timeout, 50u);

    HANDLE out = OpenMailslotA(kSlot);
    const Record r = RecordOf(7);
    ASSERT_TRUE(WriteMailslot(out, r.data(), 20, nullptr));
    ASSERT_TRUE(WriteMailslot(out, r.data(), 24, nullptr));
    ASSERT_TRUE(GetMailslotInfo(slot, nullptr, &next, &count, nullptr));
    EXPECT_EQ(next, 20u);
    EXPECT_EQ(count, 2u);
    char small[8];
    EXPECT_FALSE(ReadMailslot(slot, small, sizeof small, &read));
    ASSERT_TRUE(ReadMailslot(slot, got.data(), got.size(), &read));
    EXPECT_EQ(read, 20u);
    ASSERT_TRUE(ReadMailslot(slot, got.data(), got.size(), &read));
    EXPECT_EQ(read, 24u);
    CloseHandle(out);
    CloseHandle(slot);
}

TEST_F(Mailslot, WritersNeverBlockAndRefuseWhatDoesNotFit)
{
    HANDLE slot = CreateMailslotA(kSlot, 24, 0, nullptr);
    HANDLE out = OpenMailslotA(kSlot);
    ASSERT_NE(out, INVALID_HANDLE_VALUE);
    char big[25] = {};
    DWORD written = 7;
    EXPECT_FALSE(WriteMailslot(out, big, sizeof big, &written));
    EXPECT_EQ(written, 0u);
    int accepted = 0;
    while (WriteMailslot(out, big, 24, nullptr) && accepted < 1000)
        ++accepted;
    EXPECT_GT(accepted, 0);
    EXPECT_LT(accepted, 1000) << "a full slot refuses at once";
    EXPECT_FALSE(WriteMailslot(slot, big, 24, nullptr)) << "the reading end cannot write";
    EXPECT_FALSE(ReadMailslot(out, big, 24, nullptr)) << "a writing end cannot read";
    CloseHandle(out);
    CloseHandle(slot);
}

}  // namespace
