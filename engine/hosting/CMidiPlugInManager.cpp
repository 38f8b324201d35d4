#include "engine/hosting/CMidiPlugInManager.h"

#include <new>

#include "platform/com/OleRegistry.h"
#include "platform/com/TaskMemory.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/win/Guid.h"
#include "platform/win/WideString.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

constexpr const char* kMidiFiltersKey = "Software\\Varnholt Music Software\\MIDI Filters";
constexpr std::size_t kNameBytes = 128;
constexpr DWORD kSubkeyNameChars = 128;

constexpr GUID kNeverListed[] = {
    {0xB7441A60, 0x0F5B, 0x11D2, {0x91, 0x34, 0x00, 0x60, 0x08, 0x17, 0xCD, 0xCA}},
    {0x20648980, 0x2230, 0x11D2, {0xAF, 0x6A, 0x00, 0x10, 0x4B, 0xC9, 0x20, 0x0C}},
    {0x5FA5E6E3, 0x0A82, 0x11D2, {0x91, 0x34, 0x00, 0x60, 0x08, 0x17, 0xCD, 0xCA}},
    {0x012F4602, 0x10EB, 0x11D2, {0xA2, 0x66, 0x00, 0xAA, 0x00, 0x61, 0xEA, 0x5D}},
    {0xBD337AA1, 0xDC8E, 0x11D2, {0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF}},
    {0x03A707E0, 0xEF2D, 0x11D1, {0xAF, 0xFF, 0x00, 0xA0, 0xC9, 0x0D, 0xA0, 0x71}},
    {0xFB965400, 0xF92E, 0x11D1, {0xAF, 0xFF, 0x00, 0xA0, 0xC9, 0x0D, 0xA0, 0x71}},
    {0x75547F20, 0xE36C, 0x11D1, {0xAF, 0xFF, 0x00, 0xA0, 0xC9, 0x0D, 0xA0, 0x71}},
    {0xB0932D87, 0xB8F7, 0x11D2, {0x8E, 0x65, 0x00, 0xA0, 0x24, 0xA8, 0x9C, 0x17}},
    {0xB0932C89, 0xB8F7, 0x11D2, {0x8E, 0x65, 0x00, 0xA0, 0x24, 0xA8, 0x9C, 0x17}},
};

// The number of MIDI filters now; a key that cannot be opened has none.
DWORD MidiFilterCount()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMidiFiltersKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        count = 0;
    RegCloseKey(key);
    return count;
}

bool MidiFilterName(DWORD index, std::string& name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMidiFiltersKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    char buffer[kSubkeyNameChars + 1] = {};
    DWORD size = sizeof buffer;
    const bool ok = RegEnumKeyExA(key, index, buffer, &size, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    if (ok)
        name.assign(buffer, size);
    return ok;
}

DWORD ReadDword(HKEY key, const char* name, DWORD fallback)
{
    DWORD value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return fallback;
    return value;
}

CMidiPlugInManager* g_manager = nullptr;

}  // namespace

CRegMfxPlugIn::CRegMfxPlugIn(REFCLSID clsid, const std::string& name, std::string description,
                             std::string helpFilePath, DWORD helpTopic)
    : CRegPlugIn(clsid, CATID_MidiEffect, name, std::move(description), std::move(helpFilePath), helpTopic)
{
}

bool CMidiPlugInManager::IsFixedExclusion(REFCLSID clsid)
{
    for (const GUID& g : kNeverListed)
        if (g == clsid)
            return true;
    return false;
}

BOOL CMidiPlugInManager::Enumerate()
{
    MV_ASSERT_UI_THREAD();
    HKEY maker = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "VarnholtPlugIns", 0, KEY_READ, &maker) != ERROR_SUCCESS)
        maker = nullptr;

    // The count is asked again each time round: the key may change under us.
    for (DWORD i = 0; i < MidiFilterCount(); ++i) {
        std::string keyName;
        CLSID clsid{};
        if (!MidiFilterName(i, keyName))
            continue;
        const std::u16string wide = mvwin::Utf8ToUtf16(keyName);
        if (FAILED(CLSIDFromString(wide.c_str(), &clsid)))
            continue;
        if (IsFixedExclusion(clsid) || IsExcluded(clsid))
            continue;

        LPOLESTR userType = nullptr;
        if (FAILED(OleRegGetUserType(clsid, USERCLASSTYPE_FULL, &userType)) || !userType)
            continue;
        const std::string name = FitText(mvwin::Utf16ToUtf8(userType), kNameBytes);
        CoTaskMemFree(userType);

        std::string description;
        std::string helpFilePath;
        DWORD helpTopic = 0xFFFFFFFF;
        HKEY help = nullptr;
        if (maker && RegOpenKeyExA(maker, mvwin::GuidToString(clsid).c_str(), 0, KEY_READ, &help) == ERROR_SUCCESS) {
            description = ReadRegistryText(help, "Description");
            helpFilePath = ReadRegistryText(help, "HelpFilePath");
            helpTopic = ReadDword(help, "HelpFileTopic", 0xFFFFFFFF);
            RegCloseKey(help);
        }
        std::unique_ptr<CRegPlugIn> record(new (std::nothrow) CRegMfxPlugIn(
            clsid, name, std::move(description), std::move(helpFilePath), helpTopic));
        if (record)
            InsertSorted(std::move(record));
    }

    GroupNames();
    if (maker)
        RegCloseKey(maker);
    return 1;
}

UINT CMidiPlugInManager::GetTitleStringId() const
{
    return IDS_MIDI_PLUGIN_MENU;
}

void CMidiPlugInManager::AddToMenu(CMenuModel& menu, UINT firstCommandId)
{
    BuildMenu(menu, "Mfx", LoadResString(GetTitleStringId()), firstCommandId);
}

CMidiPlugInManager* GetMidiPlugInManager()
{
    if (!g_manager)
        g_manager = new (std::nothrow) CMidiPlugInManager;
    return g_manager;
}

void ReleaseMidiPlugInManager()
{
    if (g_manager)
        g_manager->Destroy();
    g_manager = nullptr;
}
