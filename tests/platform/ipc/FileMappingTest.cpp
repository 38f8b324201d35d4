#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

#include "platform/ipc/FileMapping.h"
#include "platform/ipc/NamedEvent.h"
#include "platform/sync/Event.h"
#include "tests/platform/ipc/IpcTestSupport.h"

namespace {

constexpr DWORD kSize = 0x1001464;  // larger than 16 MB, not a whole number of pages

class FileMapping : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(ns.Leftovers().empty()) << "every object is removed on close"; }
    mvtest::IpcNamespace ns;
};

TEST_F(FileMapping, AnotherProcessSeesAndWritesTheSameBlock)
{
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, kSize, "MvMapping");
    ASSERT_NE(mapping, nullptr);
    auto* block = static_cast<std::uint32_t*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block[0], 0u) << "a new block is zeroed";
    block[0] = 0x12345678;
    mvtest::ChildProcess other([] {
        HANDLE m = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "MvMapping");
        if (!m)
            return 1;
        auto* view = static_cast<std::uint32_t*>(MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (!view)
            return 2;
        if (view[0] != 0x12345678)
            return 3;
        view[(kSize - 4) / 4] = 0xCAFEF00D;  // the last word of the block
        UnmapViewOfFile(view);
        CloseHandle(m);
        return 0;
    });
    ASSERT_EQ(other.Join(), 0);
    EXPECT_EQ(block[(kSize - 4) / 4], 0xCAFEF00Du);
    EXPECT_TRUE(UnmapViewOfFile(block));
    EXPECT_TRUE(CloseHandle(mapping));
}

TEST_F(FileMapping, CreatingAnExistingNameOpensItAndTheCreatorRemovesTheName)
{
    BOOL existed = TRUE;
    HANDLE first = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8192, "MvMapping", &existed);
    ASSERT_NE(first, nullptr);
    EXPECT_FALSE(existed);
    HANDLE second = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "MvMapping", &existed);
    ASSERT_NE(second, nullptr);
    EXPECT_TRUE(existed);
    auto* a = static_cast<char*>(MapViewOfFile(first, FILE_MAP_WRITE, 0, 0, 0));
    auto* b = static_cast<char*>(MapViewOfFile(second, FILE_MAP_WRITE, 0, 0, 0));
    ASSERT_TRUE(a && b);
    b[8191] = 'x';  // the existing block's own size, not the one asked for
    EXPECT_EQ(a[8191], 'x');

    CloseHandle(first);
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_READ, FALSE, "MvMapping"), nullptr) << "the creator's close removes the name";
    a[0] = 'y';  // views outlive the handles
    EXPECT_EQ(b[0], 'y');
    EXPECT_TRUE(UnmapViewOfFile(a));
    EXPECT_TRUE(UnmapViewOfFile(b));
    EXPECT_FALSE(UnmapViewOfFile(b)) << "unmapped twice";
    CloseHandle(second);
}

TEST_F(FileMapping, BadRequestsFail)
{
    EXPECT_EQ(OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "MvMapping"), nullptr);
    EXPECT_EQ(CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 0, "Empty"), nullptr);
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 8192, nullptr);
    ASSERT_NE(mapping, nullptr) << "an unnamed mapping";
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 100, 0), nullptr) << "offset inside a page";
    EXPECT_EQ(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 8193), nullptr) << "beyond the end";
    EXPECT_EQ(MapViewOfFile(nullptr, FILE_MAP_WRITE, 0, 0, 0), nullptr);
    int local = 0;
    EXPECT_FALSE(UnmapViewOfFile(&local));
    CloseHandle(mapping);
    HANDLE event = CreateNamedEventA(nullptr, FALSE, FALSE, "NotAMapping");
    EXPECT_EQ(MapViewOfFile(event, FILE_MAP_WRITE, 0, 0, 0), nullptr);
    CloseHandle(event);
}

}  // namespace
