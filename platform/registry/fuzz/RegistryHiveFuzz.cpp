// Feeds arbitrary bytes to the registry as a user hive file, then checks that
// whatever it made of them survives being written: the hive is saved, read
// again and saved again, and the two files must be the same bytes. A crash, a
// sanitizer report or a save that changes what it saves stops the run.
// The hives live in a folder of this process's own, on /dev/shm where there
// is one so the saves' syncs cost nothing.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "platform/registry/Registry.h"

namespace {

namespace fs = std::filesystem;

const std::string& Folder()
{
    static const std::string dir = [] {
        fs::path base = fs::is_directory("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string d = (base / ("morvane-fuzz-" + std::to_string(getpid()))).string();
        fs::create_directories(d);
        setenv("MORVANE_REGISTRY", d.c_str(), 1);
        return d;
    }();
    return dir;
}

std::string ReadHive()
{
    std::ifstream in(Folder() + "/HKCU.hive", std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool SetMark(DWORD v)
{
    return RegSetValueExA(HKEY_CURRENT_USER, "fuzz mark", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4) ==
           ERROR_SUCCESS;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& dir = Folder();
    std::error_code ec;
    for (auto& e : fs::directory_iterator(dir, ec))
        fs::remove(e.path(), ec);
    std::ofstream(dir + "/HKCU.hive", std::ios::binary).write(reinterpret_cast<const char*>(data),
                                                              static_cast<std::streamsize>(size));
    mvreg::ReloadHives();

    // Walk what was read, as the program would.
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, nullptr, 0, KEY_READ, &k) == ERROR_SUCCESS) {
        char name[512];
        for (DWORD i = 0;; ++i) {
            DWORD n = sizeof name;
            if (RegEnumKeyExA(k, i, name, &n, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
        }
        for (DWORD i = 0;; ++i) {
            DWORD n = sizeof name, type = 0, bytes = 0;
            if (RegEnumValueA(k, i, name, &n, nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS)
                break;
        }
        RegCloseKey(k);
    }

    if (!SetMark(1))
        return 0;  // refused (not a hive): nothing is written, by design
    std::string first = ReadHive();
    mvreg::ReloadHives();
    if (!SetMark(2) || !SetMark(1)) {
        std::fprintf(stderr, "a hive the registry wrote itself was refused on reading it back\n");
        std::abort();
    }
    if (ReadHive() != first) {
        std::fprintf(stderr, "a saved hive changed when read back and saved again:\n--- first\n%s--- second\n%s",
                     first.c_str(), ReadHive().c_str());
        std::abort();
    }
    return 0;
}
