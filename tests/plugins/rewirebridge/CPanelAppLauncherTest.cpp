// Which panel applications the bridge starts itself and which it leaves to
// the engine: the known editors of kind-8 devices are found through the
// registry entry of their device and started in its folder.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "tests/plugins/rewirebridge/PlenthHarness.h"

namespace {

using namespace plenthtest;

void WriteEditor(const std::string& path)
{
    std::ofstream(path) << "#!/bin/sh\npwd > \"$0.started\"\n";
    chmod(path.c_str(), 0755);
}

void RegisterDevice(const char* subkey, const std::string& devicePath)
{
    HKEY key = nullptr;
    const std::string path = std::string("SOFTWARE\\Propellerhead Software\\ReWire\\") + subkey;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                             nullptr, &key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(key, "Device Path", 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(devicePath.c_str()),
                                            static_cast<DWORD>(devicePath.size() + 1)));
    RegCloseKey(key);
}

TEST_F(PlenthHarness, TheKnownEditorsAreStartedByTheBridgeAndTheRestByTheEngine)
{
    engine = MVTEST_FAKE_ENGINE;
    Install(true);
    mvtest::TempDir editors;
    for (const char* file : {"ReBirth 2.EXE", "ReBirth 1.exe", "Unity DS-1 Editor.EXE", "Retro AS-1 Editor 2.EXE",
                             "Other.EXE"})
        WriteEditor(editors.File(file));
    RegisterDevice("ReBirth", editors.File("ReBirth.dll"));
    RegisterDevice("UnityDS-1", editors.File("UnityDS-1.dll"));
    mvtest::TempDir empty;
    RegisterDevice("RetroAS-1", empty.File("RetroAS-1.dll"));

    struct Case {
        const char* kind;
        const char* device;
        HRESULT result;
        const char* editor;  // the file the bridge started; null: none
        int engineLaunches;
    } const table[] = {
        {"8", "ReBirth RB-338", S_OK, "ReBirth 1.exe", 0},  // the first in name order, any case
        {"8", "unity ds-1", S_OK, "Unity DS-1 Editor.EXE", 0},
        {"0", "ReBirth RB-338", S_OK, nullptr, 1},  // another kind: the engine's
        {"8", "Fake Device", S_OK, nullptr, 1},     // not a known editor: the engine's
        {"8", "Retro AS-1", E_FAIL, nullptr, 0},    // its folder holds no editor
    };
    for (const Case& c : table) {
        SCOPED_TRACE(std::string(c.kind) + " " + c.device);
        setenv("FAKE_ENGINE_KIND", c.kind, 1);
        setenv("FAKE_ENGINE_DEVICE", c.device, 1);
        ASSERT_EQ(S_OK, Create());
        void* library = dlopen(folder.File("ReWire.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
        ASSERT_NE(nullptr, library);
        reinterpret_cast<void (*)()>(dlsym(library, "FakeEngineReset"))();
        ASSERT_EQ(S_OK, bridgeFilter->QueryInterface(IID_IReWireBridge, reinterpret_cast<void**>(&bridge)));
        EXPECT_EQ(E_UNEXPECTED, bridge->LaunchPanelApp()) << "no open device";
        ASSERT_EQ(S_OK, bridge->SelectDevice(c.device));
        ASSERT_EQ(S_OK, bridge->Attach());
        EXPECT_EQ(c.result, bridge->LaunchPanelApp());
        EXPECT_EQ(c.engineLaunches, reinterpret_cast<int (*)()>(dlsym(library, "FakeEngineLaunches"))());
        if (c.editor) {
            const std::string mark = editors.File(c.editor) + ".started";
            ASSERT_TRUE(mvtest::Eventually([&] { return fs::exists(mark) && fs::file_size(mark) > 0; }));
            std::ifstream in(mark);
            std::string cwd;
            std::getline(in, cwd);
            EXPECT_EQ(fs::canonical(editors.Path()), fs::canonical(cwd)) << "started in its folder";
            fs::remove(mark);
        }
        for (const char* other : {"ReBirth 2.EXE", "Retro AS-1 Editor 2.EXE", "Other.EXE"})
            EXPECT_FALSE(fs::exists(editors.File(other) + ".started")) << other;
        reinterpret_cast<void (*)()>(dlsym(library, "FakeEngineReset"))();  // the engine's panel quits
        Close();
        bridgeFilter->Release();
        bridgeFilter = nullptr;
        dlclose(library);
    }
    unsetenv("FAKE_ENGINE_KIND");
    unsetenv("FAKE_ENGINE_DEVICE");
}

}  // namespace
