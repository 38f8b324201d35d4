#include "uikit/core/PathText.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace {

TEST(PathText, ReplaceExtension)
{
    struct Case {
        const char* path;
        const char* newExtension;
        bool ok;
        const char* result;
        const char* old;
    } cases[] = {
        {"/dir.x/file", "txt", true, "/dir.x/file.txt", ""},  // the dot in the folder is no extension
        {"name.wav", ".mid", true, "name.mid", ".wav"},
        {"/a/b.tar.gz", "zip", true, "/a/b.tar.zip", ".gz"},
        {"/a/b.wav", nullptr, true, "/a/b", ".wav"},
        {"/a/b.wav", "", true, "/a/b", ".wav"},
        {"/home/u/.config", "mid", true, "/home/u/.config.mid", ""},  // a leading dot begins the name
        {"/a/dir/", "txt", false, "/a/dir/", ""},
        {"", "txt", false, "", ""},
    };
    for (auto& c : cases) {
        CString path(c.path);
        CString old("junk");
        EXPECT_EQ(c.ok, ReplaceExtension(path, c.newExtension, &old)) << c.path;
        EXPECT_EQ(c.result, path) << c.path;
        EXPECT_EQ(c.old, old) << c.path;
    }
    CString path("x.a");
    EXPECT_TRUE(ReplaceExtension(path, "b", nullptr));
    EXPECT_EQ("x.b", path);
}

TEST(PathText, FileNameAndTitle)
{
    struct Case {
        const char* path;
        const char* name;
        const char* title;
    } cases[] = {
        {"/a/b.c.d", "b.c.d", "b.c"},
        {"song.mvp", "song.mvp", "song"},
        {"/dir.x/file", "file", "file"},
        {"/a/dir/", "", ""},
        {"/a/.hidden", ".hidden", ".hidden"},
        {"", "", ""},
    };
    for (auto& c : cases) {
        EXPECT_EQ(c.name, GetFileNamePart(c.path)) << c.path;
        EXPECT_EQ(c.title, GetFileTitlePart(c.path)) << c.path;
    }
}

TEST(PathText, MakeValidFileName)
{
    CString name("a/b\\c:d*e?f\"g<h>i|j\tk l.m;n,o=p[q]r caf\xc3\xa9");
    MakeValidFileName(name);
    EXPECT_EQ("a_b_c_d_e_f_g_h_i_j_k l.m;n,o=p[q]r caf\xc3\xa9", name);
}

TEST(PathText, RemoveFileSpecAndStripPath)
{
    struct Case {
        const char* path;
        bool removed;
        const char* parent;
        const char* stripped;
    } cases[] = {
        {"/a/b/c", true, "/a/b", "c"},
        {"/a", true, "/", "a"},
        {"/", false, "/", "/"},
        {"name", true, "", "name"},
        {"/a/b/", true, "/a/b", "b/"},
        {"", false, "", ""},
    };
    for (auto& c : cases) {
        CString parent(c.path), stripped(c.path);
        EXPECT_EQ(c.removed, RemoveFileSpec(parent)) << c.path;
        EXPECT_EQ(c.parent, parent) << c.path;
        EXPECT_TRUE(StripPathToFileName(stripped)) << c.path;
        EXPECT_EQ(c.stripped, stripped) << c.path;
    }

    CString overlong(std::string(PATH_MAX, 'x').insert(0, "/a/"));
    CString copy = overlong;
    EXPECT_FALSE(RemoveFileSpec(overlong));
    EXPECT_FALSE(StripPathToFileName(overlong));
    EXPECT_EQ(copy, overlong);
}

}  // namespace
