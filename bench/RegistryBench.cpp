// Loading a class hive with many keys: the plug-in registrations under
// Software\Classes\CLSID, one key per class with its server key below it,
// all the classes siblings under one parent. The figure to watch is the time
// to load the 100,000-key hive (goal: under 200 ms); the smaller sizes show
// that the time grows with the key count, not with its square.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/registry/Registry.h"

namespace {

namespace fs = std::filesystem;

// A hive of `keys` keys: keys / 2 classes, each with an InprocServer32 key.
std::string ClassHive(int keys)
{
    std::string text = "MORVANE-HIVE 1\n";
    char line[160];
    for (int i = 0; i < keys / 2; ++i) {
        std::snprintf(line, sizeof line, "[Software\\Classes\\CLSID\\{%08X-1B1B-11D2-A8E0-0000A0090DAF}]\n@=\"Plug-in %d\"\n",
                      static_cast<unsigned>(i), i);
        text += line;
        std::snprintf(line, sizeof line,
                      "[Software\\Classes\\CLSID\\{%08X-1B1B-11D2-A8E0-0000A0090DAF}\\InprocServer32]\n"
                      "@=\"/usr/lib/morvane/plugin%d.so\"\n\"ThreadingModel\"=\"Both\"\n",
                      static_cast<unsigned>(i), i);
        text += line;
    }
    text += "END-HIVE\n";
    return text;
}

void BM_LoadClassHive(benchmark::State& state)
{
    const int keys = static_cast<int>(state.range(0));
    const fs::path dir = fs::temp_directory_path() / ("morvane-bench-registry-" + std::to_string(keys));
    fs::create_directories(dir);
    std::ofstream(dir / "HKLM.hive", std::ios::binary) << ClassHive(keys);
    setenv("MORVANE_REGISTRY", dir.c_str(), 1);

    for (auto _ : state) {
        mvreg::ReloadHives();
        HKEY k = nullptr;
        // The first call after a reload reads and parses the file.
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID", 0, KEY_READ, &k) != ERROR_SUCCESS) {
            state.SkipWithError("the hive did not load");
            break;
        }
        RegCloseKey(k);
    }
    state.counters["keys/s"] = benchmark::Counter(static_cast<double>(keys) * static_cast<double>(state.iterations()),
                                                  benchmark::Counter::kIsRate);
    mvreg::ReloadHives();
    std::error_code ec;
    fs::remove_all(dir, ec);
}
BENCHMARK(BM_LoadClassHive)->Arg(20000)->Arg(40000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
