#include "platform/win/CFile.h"

#include <gtest/gtest.h>

#include "tests/support/TempDir.h"

TEST(CFile, WritesReadsAndSeeks)
{
    mvtest::TempDir dir;
    const std::string path = dir.File("data.bin");
    CFile f;
    ASSERT_EQ(CFile::none, f.Open(path.c_str(), CFile::modeCreate | CFile::modeReadWrite));
    ASSERT_EQ(CFile::none, f.Write("abcdef", 6));
    ULONGLONG length = 0;
    ASSERT_EQ(CFile::none, f.GetLength(&length));
    EXPECT_EQ(6u, length);

    ULONGLONG at = 0;
    ASSERT_EQ(CFile::none, f.Seek(-4, CFile::end, &at));
    EXPECT_EQ(2u, at);
    char buf[8] = {};
    UINT read = 0;
    ASSERT_EQ(CFile::none, f.Read(buf, 8, &read));
    EXPECT_EQ(4u, read);  // fewer at the end of the file
    EXPECT_EQ(std::string("cdef"), std::string(buf, read));
    ASSERT_EQ(CFile::none, f.Read(buf, 8, &read));
    EXPECT_EQ(0u, read);
    ASSERT_EQ(CFile::none, f.Seek(1, CFile::begin, &at));
    ASSERT_EQ(CFile::none, f.Seek(2, CFile::current, &at));
    EXPECT_EQ(3u, at);
    EXPECT_EQ(CFile::badSeek, f.Seek(-10, CFile::current, &at));
    EXPECT_EQ(CFile::badSeek, f.Seek(0, 7, &at));
    f.Close();
    EXPECT_FALSE(f.IsOpen());

    // Reopened with create and no-truncate, the content stays.
    ASSERT_EQ(CFile::none, f.Open(path.c_str(), CFile::modeCreate | CFile::modeNoTruncate | CFile::modeRead));
    ASSERT_EQ(CFile::none, f.GetLength(&length));
    EXPECT_EQ(6u, length);
}

TEST(CFile, FailuresSayWhy)
{
    mvtest::TempDir dir;
    CFile f;
    EXPECT_EQ(CFile::fileNotFound, f.Open(dir.File("missing").c_str(), CFile::modeRead));
    EXPECT_FALSE(f.IsOpen());
    char b = 0;
    UINT read = 0;
    EXPECT_EQ(CFile::invalidFile, f.Read(&b, 1, &read));
    EXPECT_EQ(CFile::invalidFile, f.Write(&b, 1));

    // A write-only file cannot be read.
    ASSERT_EQ(CFile::none, f.Open(dir.File("w").c_str(), CFile::modeCreate | CFile::modeWrite));
    EXPECT_NE(CFile::none, f.Read(&b, 1, &read));

    // The full-disk cause is told apart from other write failures.
    CFile full;
    if (full.Open("/dev/full", CFile::modeWrite) != CFile::none)
        GTEST_SKIP() << "no /dev/full here";
    EXPECT_EQ(CFile::diskFull, full.Write("x", 1));
}
