#include "model/CSMFFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/TempDir.h"

namespace {

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream(path, std::ios::binary) << bytes;
}

TEST(CSMFFileTest, OpensAFileWholeUnderItsNameAndRefusesWhatItCannotHold)
{
    mvtest::TempDir dir;
    const std::string path = dir.File("Song One.mid");
    WriteFile(path, "MThd0123");
    CSMFFile file;
    ASSERT_EQ(S_OK, file.Open(path.c_str()));
    EXPECT_EQ("Song One.mid", file.GetTitle());
    EXPECT_EQ(8u, file.GetLength());
    EXPECT_EQ(0u, file.GetPosition());

    CSMFFile missing;
    EXPECT_EQ(STG_E_FILENOTFOUND, missing.Open(dir.File("none.mid").c_str()));
    EXPECT_EQ(E_POINTER, missing.Open(nullptr));

    // One byte over the limit: refused before anything is read.
    const std::string large = dir.File("large.mid");
    WriteFile(large, "");
    std::filesystem::resize_file(large, CSMFFile::kMaxSize + 1);
    CSMFFile tooLarge;
    EXPECT_EQ(STG_E_DOCFILETOOLARGE, tooLarge.Open(large.c_str()));
}

TEST(CSMFFileTest, ReadsAndSeeksStayInsideTheFile)
{
    const BYTE bytes[] = {1, 2, 3, 4, 5};
    CSMFFile file;
    ASSERT_EQ(S_OK, file.SetContents(bytes, sizeof bytes, "x.mid"));
    BYTE out[4] = {};
    ASSERT_EQ(S_OK, file.Read(out, 3));
    EXPECT_EQ(3, out[2]);
    // A short read fails and leaves the position where it was.
    EXPECT_EQ(STG_E_READFAULT, file.Read(out, 3));
    EXPECT_EQ(3u, file.GetPosition());
    EXPECT_EQ(2u, file.GetRemaining());
    EXPECT_EQ(4, file.GetCurrent()[0]);

    struct Case {
        LONGLONG offset;
        CSMFFile::SeekFrom from;
        HRESULT result;
        ULONGLONG position;
    };
    const Case cases[] = {
        {5, CSMFFile::begin, S_OK, 5},  {6, CSMFFile::begin, STG_E_INVALIDFUNCTION, 3},
        {-1, CSMFFile::begin, STG_E_INVALIDFUNCTION, 3},   {-3, CSMFFile::current, S_OK, 0},
        {-4, CSMFFile::current, STG_E_INVALIDFUNCTION, 3}, {0x7FFFFFFFFFFFFFFF, CSMFFile::current, STG_E_INVALIDFUNCTION, 3},
        {2, CSMFFile::current, S_OK, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.offset);
        ASSERT_EQ(S_OK, file.Seek(3, CSMFFile::begin));
        EXPECT_EQ(c.result, file.Seek(c.offset, c.from));
        EXPECT_EQ(c.position, file.GetPosition());
    }
}

}  // namespace
