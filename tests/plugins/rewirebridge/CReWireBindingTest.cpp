#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "plugins/rewirebridge/CReWireBinding.h"
#include "tests/platform/ipc/IpcTestSupport.h"
#include "tests/support/TempDir.h"

namespace {

using namespace rewire;
using mvrewire::CReWireBinding;
namespace fs = std::filesystem;

// A folder of libraries as a case lays it out: each entry is a file name
// and what it is a copy of (a path), or, when not a path, its text.
struct Layout {
    const char* file;
    const char* source;
};

void Lay(const mvtest::TempDir& dir, std::initializer_list<Layout> files)
{
    for (const Layout& f : files) {
        if (f.source[0] == '/') {
            fs::copy_file(f.source, dir.File(f.file));
        } else {
            std::ofstream(dir.File(f.file)) << f.source;
        }
    }
}

const OpenInfo kOpen{sizeof(OpenInfo), {sizeof(AudioInfo), 44100, 65536}};

struct LoadCase {
    const char* name;
    std::initializer_list<Layout> files;
    std::int32_t code;
};

TEST(ReWireBinding, OpeningGivesTheCodeOfWhatItFound)
{
    const LoadCase cases[] = {
        {"no library", {}, kLibraryNotFound},
        {"a library without the entry points", {{"ReWire.so", MVTEST_OTHER_LIBRARY}}, kEntryPointMissing},
        {"a file that is no library", {{"ReWire.so", "not a library"}}, kBadModule},
        {"the engine", {{"ReWire.so", MVTEST_REWIRE_ENGINE}}, kOk},
        {"the debug engine first", {{"ReWireDebug.so", MVTEST_REWIRE_ENGINE}, {"ReWire.so", "not a library"}}, kOk},
    };
    for (const LoadCase& c : cases) {
        mvtest::TempDir dir;
        Lay(dir, c.files);
        CReWireBinding binding({dir.Path()});
        EXPECT_EQ(binding.OpenReWire(&kOpen), c.code) << c.name;
        EXPECT_EQ(binding.IsOpen(), c.code == kOk) << c.name;
        EXPECT_EQ(binding.LoadCount(), c.code == kOk ? 1 : 0) << c.name << ": a failed open releases the library";
        if (c.code == kOk) {
            EXPECT_EQ(binding.CloseReWire(), kOk) << c.name;
        }
    }
}

TEST(ReWireBinding, ASecondOpenIsRefusedAndAClosedSystemForwardsNothing)
{
    mvtest::IpcNamespace ns;
    mvtest::TempDir dir;
    Lay(dir, {{"ReWire.so", MVTEST_REWIRE_ENGINE}});
    CReWireBinding binding({dir.Path()});
    ASSERT_EQ(binding.OpenReWire(&kOpen), kOk);
    EXPECT_EQ(binding.OpenReWire(&kOpen), kAlreadyOpen);
    EXPECT_EQ(binding.LoadCount(), 1) << "not loaded a second time";
    std::int32_t count = 0;
    EXPECT_EQ(binding.GetDeviceCount(&count), kOk);
    EXPECT_EQ(count, 1);
    ASSERT_EQ(binding.CloseReWire(), kOk);
    EXPECT_FALSE(binding.IsOpen());
    EXPECT_EQ(binding.LoadCount(), 0);
    EXPECT_EQ(binding.GetDeviceCount(&count), kNotOpen);
    EXPECT_EQ(binding.Idle(), kNotOpen);
    EXPECT_EQ(binding.CloseReWire(), kNotOpen);
    // And it opens again.
    EXPECT_EQ(binding.OpenReWire(&kOpen), kOk);
}

}  // namespace
