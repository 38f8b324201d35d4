#include "plugins/rewirebridge/CReWireBinding.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace mvrewire {

namespace {

// In the order the engine library is preferred.
constexpr const char* kLibraryNames[] = {"ReWireDebug.so", "ReWire.so"};

// The entry points, in the order of the table.
constexpr const char* kEntryNames[] = {
    "RWM2OpenImp",          "RWM2IsCloseOKImp",           "RWM2CloseImp",           "RWM2GetDeviceCountImp",
    "RWM2GetDeviceInfoImp", "RWM2GetDeviceInfoByHandleImp", "RWM2OpenDeviceImp",    "RWM2IsCloseDeviceOKImp",
    "RWM2CloseDeviceImp",   "RWM2DriveAudioImp",          "RWM2IdleImp",            "RWM2LaunchPanelAppImp",
    "RWM2IsPanelAppLaunchedImp", "RWM2QuitPanelAppImp",   "RWM2GetEventInfoImp",    "RWM2GetEventBusInfoImp",
    "RWM2GetEventChannelInfoImp", "RWM2GetControllerInfoImp", "RWM2GetNoteInfoImp", "RWM2SetAudioInfoImp"};
static_assert(std::size(kEntryNames) == 20);

std::string FolderOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string ModuleFolder(HMODULE module)
{
    char path[4096];
    const DWORD n = GetModuleFileNameA(module, path, sizeof path);
    return n > 0 && n < sizeof path ? FolderOf(path) : std::string();
}

// Why a file that exists did not load, as the engine's table tells it.
std::int32_t CodeOfFailedLoad(const std::string& path)
{
    struct stat st{};
    if (stat(path.c_str(), &st) != 0)
        return errno == ENOMEM ? rewire::kLoadNoMemory : rewire::kLibraryNotFound;
    const char* why = dlerror();
    if (why && (std::strstr(why, "invalid ELF header") || std::strstr(why, "file too short") ||
                std::strstr(why, "wrong ELF class") || std::strstr(why, "Input/output error")))
        return rewire::kBadModule;
    if (why && (std::strstr(why, "Cannot allocate memory") || std::strstr(why, "Too many open files")))
        return rewire::kLoadNoMemory;
    return rewire::kLoadFailed;
}

}  // namespace

CReWireBinding::CReWireBinding()
{
    m_folders.push_back(ModuleFolder(nullptr));
    HMODULE self = ModuleOfAddress(reinterpret_cast<const void*>(&kLibraryNames));
    if (self) {
        m_folders.push_back(ModuleFolder(self));
        FreeLibrary(self);
    }
}

CReWireBinding::CReWireBinding(std::vector<std::string> folders) : m_folders(std::move(folders)) {}

CReWireBinding::~CReWireBinding()
{
    if (IsOpen())
        CloseReWire();
    while (m_library)
        Unload();
}

HMODULE CReWireBinding::LoadByName(const std::string& name, std::int32_t* code)
{
    *code = rewire::kLibraryNotFound;
    for (const std::string& folder : m_folders) {
        if (folder.empty())
            continue;
        const std::string path = folder + "/" + name;
        if (HMODULE module = LoadLibraryA(path.c_str()))
            return module;
        const std::int32_t why = CodeOfFailedLoad(path);
        if (why != rewire::kLibraryNotFound) {
            *code = why;
            return nullptr;
        }
    }
    return nullptr;
}

std::int32_t CReWireBinding::LoadEngine()
{
    if (m_library) {
        ++m_loadCount;
        return rewire::kOk;
    }
    std::int32_t code = rewire::kLibraryNotFound;
    for (const char* name : kLibraryNames) {
        std::int32_t why = rewire::kLibraryNotFound;
        m_library = LoadByName(name, &why);
        if (m_library)
            break;
        // A preferred library that exists but does not load is the answer.
        if (why != rewire::kLibraryNotFound) {
            code = why;
            break;
        }
    }
    if (!m_library)
        return code;
    // Shared libraries carry no version resource: the engine's version is
    // the one its open call checks.
    m_loadCount = 1;
    return rewire::kOk;
}

bool CReWireBinding::ResolveEntries()
{
    auto* slots = reinterpret_cast<void**>(&m_entries);
    for (std::size_t i = 0; i < std::size(kEntryNames); ++i) {
        FARPROC p = GetProcAddress(m_library, kEntryNames[i]);
        if (!p) {
            m_entries = {};
            return false;
        }
        std::memcpy(&slots[i], &p, sizeof p);
    }
    return true;
}

void CReWireBinding::Unload()
{
    m_entries = {};
    if (m_loadCount > 0 && --m_loadCount > 0)
        return;
    if (m_library)
        FreeLibrary(m_library);
    m_library = nullptr;
    m_loadCount = 0;
}

std::int32_t CReWireBinding::OpenReWire(const rewire::OpenInfo* openRecord)
{
    if (IsOpen())
        return rewire::kAlreadyOpen;
    if (std::int32_t r = LoadEngine(); r != rewire::kOk)
        return r;
    std::int32_t r = rewire::kEntryPointMissing;
    if (ResolveEntries())
        r = m_entries.open(rewire::kOpenVersion, openRecord);
    if (r != rewire::kOk)
        Unload();
    return r;
}

std::int32_t CReWireBinding::CloseReWire()
{
    if (!IsOpen())
        return rewire::kNotOpen;
    const std::int32_t r = m_entries.close();
    if (r == rewire::kOk)
        Unload();
    return r;
}

// Every forwarder needs the system open: the entry points are null otherwise.
#define MV_FORWARD(entry, ...) return IsOpen() ? m_entries.entry(__VA_ARGS__) : rewire::kNotOpen

std::int32_t CReWireBinding::IsCloseOK(std::int32_t* flag) { MV_FORWARD(isCloseOK, flag); }
std::int32_t CReWireBinding::GetDeviceCount(std::int32_t* count) { MV_FORWARD(getDeviceCount, count); }
std::int32_t CReWireBinding::GetDeviceInfo(std::int32_t index, rewire::DeviceInfo* info)
{
    MV_FORWARD(getDeviceInfo, index, info);
}
std::int32_t CReWireBinding::GetDeviceInfoByHandle(rewire::DeviceHandle handle, rewire::DeviceInfo* info)
{
    MV_FORWARD(getDeviceInfoByHandle, handle, info);
}
std::int32_t CReWireBinding::OpenDevice(std::int32_t index, rewire::DeviceHandle* handle)
{
    MV_FORWARD(openDevice, index, handle);
}
std::int32_t CReWireBinding::IsCloseDeviceOK(rewire::DeviceHandle handle, std::int32_t* flag)
{
    MV_FORWARD(isCloseDeviceOK, handle, flag);
}
std::int32_t CReWireBinding::CloseDevice(rewire::DeviceHandle handle) { MV_FORWARD(closeDevice, handle); }
std::int32_t CReWireBinding::DriveAudio(rewire::DeviceHandle handle, const rewire::DriveAudioInput* in,
                                        rewire::DriveAudioOutput* out)
{
    MV_FORWARD(driveAudio, handle, in, out);
}
std::int32_t CReWireBinding::Idle() { MV_FORWARD(idle); }
std::int32_t CReWireBinding::LaunchPanelApp(rewire::DeviceHandle handle) { MV_FORWARD(launchPanelApp, handle); }
std::int32_t CReWireBinding::IsPanelAppLaunched(rewire::DeviceHandle handle, std::int32_t* flag)
{
    MV_FORWARD(isPanelAppLaunched, handle, flag);
}
std::int32_t CReWireBinding::QuitPanelApp(rewire::DeviceHandle handle) { MV_FORWARD(quitPanelApp, handle); }
std::int32_t CReWireBinding::GetEventInfo(rewire::DeviceHandle handle, rewire::EventInfo* info)
{
    MV_FORWARD(getEventInfo, handle, info);
}
std::int32_t CReWireBinding::GetEventBusInfo(rewire::DeviceHandle handle, std::int32_t bus,
                                             rewire::EventBusInfo* info)
{
    MV_FORWARD(getEventBusInfo, handle, bus, info);
}
std::int32_t CReWireBinding::GetEventChannelInfo(rewire::DeviceHandle handle, const rewire::EventTarget* target,
                                                 rewire::EventChannelInfo* info)
{
    MV_FORWARD(getEventChannelInfo, handle, target, info);
}
std::int32_t CReWireBinding::GetNoteInfo(rewire::DeviceHandle handle, const rewire::EventTarget* target,
                                         std::int32_t note, rewire::NoteInfo* info)
{
    MV_FORWARD(getNoteInfo, handle, target, note, info);
}
std::int32_t CReWireBinding::SetAudioInfo(const rewire::AudioInfo* info) { MV_FORWARD(setAudioInfo, info); }

#undef MV_FORWARD

}  // namespace mvrewire
