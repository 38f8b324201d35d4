#include "platform/win/Module.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <climits>
#include <string>

#include "tests/support/ProgramPath.h"

namespace {

TEST(ModuleFileName, NullModuleIsTheRunningProgram)
{
    char buf[PATH_MAX];
    DWORD n = GetModuleFileNameA(nullptr, buf, sizeof buf);
    EXPECT_EQ(mvtest::ProgramFile(), buf);
    EXPECT_EQ(n, std::string(buf).size());
    EXPECT_EQ('/', buf[0]);
}

TEST(ModuleFileName, ShortBufferCutsTerminatesAndReturnsSize)
{
    std::string full = mvtest::ProgramFile();
    ASSERT_GT(full.size(), 5u);
    char buf[6] = {'x', 'x', 'x', 'x', 'x', 'x'};
    EXPECT_EQ(6u, GetModuleFileNameA(nullptr, buf, 6));
    EXPECT_EQ(full.substr(0, 5), buf);
    EXPECT_EQ(0u, GetModuleFileNameA(nullptr, buf, 0));
    EXPECT_EQ(0u, GetModuleFileNameA(nullptr, nullptr, 10));
}

TEST(ModuleFileName, LoadedLibraryHandleGivesItsPath)
{
    void* self = dlopen(nullptr, RTLD_NOW);
    ASSERT_NE(nullptr, self);
    char buf[PATH_MAX];
    EXPECT_GT(GetModuleFileNameA(reinterpret_cast<HMODULE>(self), buf, sizeof buf), 0u);
    EXPECT_EQ(mvtest::ProgramFile(), buf);
    dlclose(self);

    void* lib = dlopen("libmvplatform.so", RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(nullptr, lib);
    ASSERT_GT(GetModuleFileNameA(reinterpret_cast<HMODULE>(lib), buf, sizeof buf), 0u);
    std::string path = buf;
    EXPECT_EQ('/', path[0]);
    EXPECT_NE(std::string::npos, path.find("libmvplatform.so"));
    dlclose(lib);
}

}  // namespace
