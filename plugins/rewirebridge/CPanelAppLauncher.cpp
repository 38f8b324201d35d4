#include "plugins/rewirebridge/CPanelAppLauncher.h"

#include <fnmatch.h>
#include <spawn.h>
#include <strings.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <new>
#include <string>
#include <system_error>
#include <vector>

#include "platform/registry/Registry.h"

extern char** environ;

namespace mvrewire {

namespace {

constexpr const char* kReWireKey = "SOFTWARE\\Propellerhead Software\\ReWire\\";

// The editors started so far: each is collected once it has ended, so none
// lingers; the host's other children are left alone.
std::vector<pid_t>& Started()
{
    static std::vector<pid_t> pids;
    return pids;
}

void ReapEnded()
{
    auto& pids = Started();
    pids.erase(std::remove_if(pids.begin(), pids.end(), [](pid_t p) { return waitpid(p, nullptr, WNOHANG) != 0; }),
               pids.end());
}

}  // namespace

const CPanelAppLauncher::Editor* CPanelAppLauncher::Find(const char* deviceName)
{
    static const Editor kEditors[] = {{"ReBirth", "ReBirth", "\\ReBirth*.EXE"},
                                      {"Unity DS", "UnityDS-1", "\\Unity DS-1 Editor*.EXE"},
                                      {"Retro AS", "RetroAS-1", "\\Retro AS-1 Editor*.EXE"}};
    if (!deviceName)
        return nullptr;
    for (const Editor& e : kEditors)
        if (strncasecmp(deviceName, e.prefix, std::strlen(e.prefix)) == 0)
            return &e;
    return nullptr;
}

bool CPanelAppLauncher::StartsEditor(const char* deviceName, int kind)
{
    return kind == kEditorDeviceKind && Find(deviceName);
}

std::string CPanelAppLauncher::FirstMatch(const std::string& folder, const char* pattern)
{
    // The pattern starts at the folder's separator; names match without
    // regard to case, and of several the first in name order is taken.
    const char* name = pattern + std::strspn(pattern, "\\/");
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
        const std::string file = entry.path().filename().string();
        if (entry.is_regular_file(ec) && fnmatch(name, file.c_str(), FNM_CASEFOLD) == 0)
            found.push_back(file);
    }
    if (found.empty())
        return {};
    return folder + "/" + *std::min_element(found.begin(), found.end());
}

HRESULT CPanelAppLauncher::Launch(const char* deviceName)
{
    const Editor* editor = Find(deviceName);
    if (!editor)
        return E_FAIL;
    HKEY key = nullptr;
    const std::string path = std::string(kReWireKey) + editor->subkey;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return E_FAIL;
    char device[1024] = {};
    DWORD type = 0;
    DWORD size = sizeof device - 1;
    const LONG read =
        RegQueryValueExA(key, "Device Path", nullptr, &type, reinterpret_cast<BYTE*>(device), &size);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS || type != REG_SZ)
        return E_FAIL;
    device[std::min<DWORD>(size, sizeof device - 1)] = '\0';
    // The folder of the registered file.
    const std::string registered = device;
    const std::size_t cut = registered.find_last_of("\\/");
    if (cut == std::string::npos)
        return E_FAIL;
    std::string folder(registered, 0, std::max<std::size_t>(cut, 1));
    std::replace(folder.begin(), folder.end(), '\\', '/');
    const std::string program = FirstMatch(folder, editor->pattern);
    if (program.empty())
        return E_FAIL;

    ReapEnded();
    posix_spawn_file_actions_t actions;
    if (posix_spawn_file_actions_init(&actions) != 0)
        return E_FAIL;
    posix_spawn_file_actions_addchdir_np(&actions, folder.c_str());
    std::string arg0 = program;
    char* argv[] = {arg0.data(), nullptr};
    pid_t pid = 0;
    const int r = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (r != 0)
        return E_FAIL;
    try {
        Started().push_back(pid);
    } catch (const std::bad_alloc&) {
        // Started all the same; only its end goes uncollected.
    }
    return S_OK;
}

}  // namespace mvrewire
