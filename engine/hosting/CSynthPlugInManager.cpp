#include "engine/hosting/CSynthPlugInManager.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "platform/com/OleRegistry.h"
#include "platform/com/TaskMemory.h"
#include "platform/media/MediaInterfaces.h"
#include "platform/registry/Profile.h"
#include "platform/sync/ThreadAffinity.h"
#include "platform/win/Guid.h"
#include "platform/win/WideString.h"
#include "resources/MorvaneStrings.h"
#include "uikit/core/ResString.h"

namespace {

constexpr const char* kSoftSynthsKey = "MfxSoftSynths";
constexpr const char* kNonHostedSection = "NonHostedSynthUIs";
constexpr std::size_t kNameBytes = 128;
constexpr DWORD kSubkeyNameChars = 128;

CSynthPlugInManager* g_manager = nullptr;

bool IsClassRegistered(REFCLSID clsid)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ("CLSID\\" + mvwin::GuidToString(clsid)).c_str(), 0, KEY_READ, &key) !=
        ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// How many values the profile section holds: a bound on how many entries
// its "Count" may honestly claim.
DWORD SectionValueCount(const char* section)
{
    const CString registryKey = GetRegistryKey();
    if (registryKey.IsEmpty())
        return 0;
    const std::string path =
        std::string("Software\\") + registryKey.GetString() + "\\" + GetProfileName().GetString() + "\\" + section;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD values = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        values = 0;
    RegCloseKey(key);
    return values;
}

}  // namespace

CRegSynthPlugIn::CRegSynthPlugIn(REFCLSID clsid, const std::string& name)
    : CRegPlugIn(clsid, IID_IBaseFilter, name, name, std::string(), 0xFFFFFFFF)
{
}

DWORD GetSoftSynthKeyCount()
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kSoftSynthsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD count = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr, nullptr, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        count = 0;
    RegCloseKey(key);
    return count;
}

HRESULT EnumSoftSynthKey(DWORD index, CLSID* clsid, LPSTR* description, LPSTR* helpFilePath, DWORD* helpTopic)
{
    if (!clsid || !description || !helpFilePath || !helpTopic)
        return E_POINTER;
    *description = nullptr;
    *helpFilePath = nullptr;
    *helpTopic = 0xFFFFFFFF;
    HKEY synths = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kSoftSynthsKey, 0, KEY_READ, &synths) != ERROR_SUCCESS)
        return S_FALSE;

    char name[kSubkeyNameChars + 1] = {};
    DWORD size = sizeof name;
    HKEY synth = nullptr;
    if (RegEnumKeyExA(synths, index, name, &size, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
        FAILED(CLSIDFromString(mvwin::Utf8ToUtf16(std::string_view(name, size)).c_str(), clsid)) ||
        RegOpenKeyExA(synths, name, 0, KEY_READ, &synth) != ERROR_SUCCESS) {
        RegCloseKey(synths);
        return E_FAIL;
    }
    CPlugInManager::ReadRegistryString(synth, "Description", description);
    CPlugInManager::ReadRegistryString(synth, "HelpFilePath", helpFilePath);
    DWORD topic = 0;
    DWORD type = REG_NONE;
    DWORD topicSize = sizeof topic;
    if (RegQueryValueExA(synth, "HelpFileTopic", nullptr, &type, reinterpret_cast<BYTE*>(&topic), &topicSize) ==
            ERROR_SUCCESS &&
        type == REG_DWORD && topicSize == sizeof topic)
        *helpTopic = topic;
    RegCloseKey(synth);
    RegCloseKey(synths);
    return S_OK;
}

bool GetClassShortName(REFCLSID clsid, char* buffer, std::size_t size)
{
    if (!buffer || size == 0)
        return false;
    LPOLESTR userType = nullptr;
    if (FAILED(OleRegGetUserType(clsid, USERCLASSTYPE_SHORT, &userType)) || !userType)
        return false;
    std::string name = mvwin::Utf16ToUtf8(userType);
    CoTaskMemFree(userType);
    if (name.size() >= size) {
        std::size_t n = size - 1;
        while (n > 0 && (static_cast<unsigned char>(name[n]) & 0xC0) == 0x80)
            --n;
        name.resize(n);
    }
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    return true;
}

BOOL CSynthPlugInManager::Enumerate()
{
    MV_ASSERT_UI_THREAD();
    std::vector<CLSID> stale;
    for (DWORD index = 0; index < GetSoftSynthKeyCount(); ++index) {
        CLSID clsid{};
        LPSTR description = nullptr;
        LPSTR helpFilePath = nullptr;
        DWORD helpTopic = 0;
        const HRESULT hr = EnumSoftSynthKey(index, &clsid, &description, &helpFilePath, &helpTopic);
        CoTaskMemFree(description);
        CoTaskMemFree(helpFilePath);
        if (hr != S_OK || IsExcluded(clsid))
            continue;
        char name[kNameBytes];
        if (GetClassShortName(clsid, name, sizeof name)) {
            std::unique_ptr<CRegPlugIn> record(new (std::nothrow) CRegSynthPlugIn(clsid, name));
            if (record)
                InsertSorted(std::move(record));
        } else if (!IsClassRegistered(clsid)) {
            // Only a class gone from the registry marks a key left behind by
            // an uninstalled synth; one registered without a name keeps its key.
            stale.push_back(clsid);
        }
    }

    GroupNames();

    if (!stale.empty()) {
        HKEY synths = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kSoftSynthsKey, 0, KEY_ALL_ACCESS, &synths) == ERROR_SUCCESS) {
            for (const CLSID& clsid : stale)
                RegDeleteTreeA(synths, mvwin::GuidToString(clsid).c_str());
            RegCloseKey(synths);
        }
    }

    LoadNonHostedList();
    return 1;
}

UINT CSynthPlugInManager::GetTitleStringId() const
{
    return IDS_SYNTH_PLUGIN_MENU;
}

void CSynthPlugInManager::AddToMenu(CMenuModel& menu, UINT firstCommandId)
{
    const std::string popupTitle = LoadResString(IDS_SYNTHS_MENU);
    BuildMenu(menu, popupTitle, LoadResString(GetTitleStringId()), firstCommandId);
}

bool CSynthPlugInManager::IsNonHostedSynthUI(REFCLSID clsid) const
{
    return std::find(m_nonHosted.begin(), m_nonHosted.end(), clsid) != m_nonHosted.end();
}

void CSynthPlugInManager::SetNonHostedSynthUI(REFCLSID clsid, bool on)
{
    MV_ASSERT_UI_THREAD();
    if (IsNonHostedSynthUI(clsid) == on)
        return;
    if (on)
        m_nonHosted.push_back(clsid);
    else
        m_nonHosted.erase(std::remove(m_nonHosted.begin(), m_nonHosted.end(), clsid), m_nonHosted.end());
    SaveNonHostedList();
}

void CSynthPlugInManager::LoadNonHostedList()
{
    m_nonHosted.clear();
    const DWORD count =
        std::min<DWORD>(GetProfileIntA(kNonHostedSection, "Count", 0), SectionValueCount(kNonHostedSection));
    for (DWORD i = 0; i < count; ++i) {
        const CString text = GetProfileStringA(kNonHostedSection, std::to_string(i).c_str(), "");
        CLSID clsid{};
        if (!text.IsEmpty() && SUCCEEDED(CLSIDFromString(mvwin::Utf8ToUtf16(text.Str()).c_str(), &clsid)))
            m_nonHosted.push_back(clsid);
    }
}

void CSynthPlugInManager::SaveNonHostedList() const
{
    WriteProfileString(kNonHostedSection, nullptr, nullptr);
    WriteProfileInt(kNonHostedSection, "Count", static_cast<INT>(m_nonHosted.size()));
    for (std::size_t i = 0; i < m_nonHosted.size(); ++i)
        WriteProfileString(kNonHostedSection, std::to_string(i).c_str(), mvwin::GuidToString(m_nonHosted[i]).c_str());
}

CSynthPlugInManager* GetSynthPlugInManager()
{
    if (!g_manager)
        g_manager = new (std::nothrow) CSynthPlugInManager;
    return g_manager;
}

void ReleaseSynthPlugInManager()
{
    if (g_manager)
        g_manager->Destroy();
    g_manager = nullptr;
}
