// A stored user preset from arbitrary bytes: the first byte picks the
// registry value's type (0 binary, 1 text, else the byte itself), the rest
// is the value. The preset folder holds a good file, an empty one, a folder,
// a pipe and a link that leads out, and a file stands beside the folder.
// Whatever the value, the read must end: a binary value gives its own bytes,
// a text value at most the whole content of a plain file directly in the
// folder, and nothing else ever comes back.
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/hosting/CPresetMgr.h"
#include "platform/registry/Registry.h"

namespace fs = std::filesystem;

namespace {

// Fixed, so the dictionary can name its paths.
constexpr const char* kRoot = "/tmp/mvpresetfuzz";
constexpr const char* kFolder = "/tmp/mvpresetfuzz/p";

std::vector<BYTE> ReadAll(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::vector<BYTE>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void MakeFolder()
{
    std::error_code ec;
    fs::create_directories(fs::path(kFolder) / "sub", ec);
    std::ofstream(fs::path(kFolder) / "good", std::ios::binary) << "preset state";
    std::ofstream(fs::path(kFolder) / "empty", std::ios::binary);
    std::ofstream(fs::path(kRoot) / "outside", std::ios::binary) << "not a preset";
    fs::create_symlink(fs::path(kRoot) / "outside", fs::path(kFolder) / "link", ec);
    mkfifo((std::string(kFolder) + "/fifo").c_str(), 0600);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const bool made = (MakeFolder(), true);
    (void)made;
    if (size == 0)
        return 0;
    const DWORD type = data[0] == 0 ? REG_BINARY : data[0] == 1 ? REG_SZ : data[0];
    const BYTE* value = data + 1;
    const std::size_t length = size - 1;

    std::vector<BYTE> state{0xA5};
    const HRESULT hr = CPresetMgr::ReadStoredState(type, value, length, kFolder, &state);
    if (FAILED(hr)) {
        if (state != std::vector<BYTE>{0xA5})
            __builtin_trap();  // a refusal hands nothing on
        if (type != REG_SZ && length > 0)
            __builtin_trap();  // a binary state is never refused
        return 0;
    }
    if (state.empty())
        __builtin_trap();
    if (type != REG_SZ) {
        if (state.size() != length || std::memcmp(state.data(), value, length) != 0)
            __builtin_trap();
        return 0;
    }
    // A text value: the file it names, canonically in the folder, whole.
    const std::string path(reinterpret_cast<const char*>(value), strnlen(reinterpret_cast<const char*>(value), length));
    std::error_code ec;
    const fs::path file = fs::weakly_canonical(path, ec);
    if (ec || file.parent_path() != fs::weakly_canonical(kFolder, ec) || !fs::is_regular_file(file, ec))
        __builtin_trap();
    if (state != ReadAll(file) || state.size() > CPresetMgr::kMaxFileState)
        __builtin_trap();
    return 0;
}
