#include "platform/registry/Profile.h"

#include <cstring>
#include <mutex>
#include <string>

namespace {

struct ProfileRoot {
    std::mutex mutex;
    std::string registryKey;
    std::string profileName;
};

ProfileRoot& Root()
{
    static ProfileRoot* root = new ProfileRoot;  // never destroyed: usable during exit
    return *root;
}

// HKCU-relative path of a section, or "" when there is no profile.
std::string SectionPath(LPCSTR section)
{
    ProfileRoot& r = Root();
    std::lock_guard lock(r.mutex);
    if (r.registryKey.empty() || !section)
        return {};
    std::string path = "Software\\" + r.registryKey;
    if (!r.profileName.empty())
        path += "\\" + r.profileName;
    if (*section)
        path += std::string("\\") + section;
    return path;
}

enum class Access { Read, Change, Create };

// A section key, closed with the object. Only Create makes a missing section.
class SectionKey {
public:
    SectionKey(LPCSTR section, Access access)
    {
        std::string path = SectionPath(section);
        if (path.empty())
            return;
        if (access == Access::Create)
            RegCreateKeyA(HKEY_CURRENT_USER, path.c_str(), &m_key);
        else
            RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access == Access::Read ? KEY_READ : KEY_ALL_ACCESS,
                          &m_key);
    }
    ~SectionKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    SectionKey(const SectionKey&) = delete;
    SectionKey& operator=(const SectionKey&) = delete;

    explicit operator bool() const { return m_key != nullptr; }

    // The value's bytes when it exists with the wanted type.
    bool Read(LPCSTR entry, DWORD wanted, std::vector<BYTE>& out) const
    {
        out.clear();
        DWORD type = 0, size = 0;
        if (!m_key || !entry || RegQueryValueExA(m_key, entry, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            type != wanted)
            return false;
        out.resize(size);
        if (RegQueryValueExA(m_key, entry, nullptr, &type, out.data(), &size) != ERROR_SUCCESS || type != wanted) {
            out.clear();
            return false;
        }
        out.resize(size);
        return true;
    }

    BOOL Write(LPCSTR entry, DWORD type, const void* data, DWORD size) const
    {
        return m_key && entry &&
               RegSetValueExA(m_key, entry, 0, type, static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
    }

    bool DeleteValue(LPCSTR entry) const
    {
        LONG rc = RegDeleteValueA(m_key, entry);
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    }

private:
    HKEY m_key = nullptr;
};

void SetRootText(std::string ProfileRoot::*field, LPCSTR text)
{
    ProfileRoot& r = Root();
    std::lock_guard lock(r.mutex);
    r.*field = text ? text : "";
}

CString GetRootText(std::string ProfileRoot::*field)
{
    ProfileRoot& r = Root();
    std::lock_guard lock(r.mutex);
    return CString(r.*field);
}

}  // namespace

void SetRegistryKey(LPCSTR registryKey) { SetRootText(&ProfileRoot::registryKey, registryKey); }
void SetProfileName(LPCSTR profileName) { SetRootText(&ProfileRoot::profileName, profileName); }
CString GetRegistryKey() { return GetRootText(&ProfileRoot::registryKey); }
CString GetProfileName() { return GetRootText(&ProfileRoot::profileName); }

UINT GetProfileIntA(LPCSTR section, LPCSTR entry, INT defaultValue)
{
    std::vector<BYTE> data;
    DWORD value = 0;
    if (!SectionKey(section, Access::Read).Read(entry, REG_DWORD, data) || data.size() != sizeof value)
        return static_cast<UINT>(defaultValue);
    std::memcpy(&value, data.data(), sizeof value);
    return value;
}

BOOL WriteProfileInt(LPCSTR section, LPCSTR entry, INT value)
{
    if (!entry)
        return FALSE;
    DWORD v = static_cast<DWORD>(value);
    return SectionKey(section, Access::Create).Write(entry, REG_DWORD, &v, sizeof v);
}

CString GetProfileStringA(LPCSTR section, LPCSTR entry, LPCSTR defaultValue)
{
    std::vector<BYTE> data;
    if (!SectionKey(section, Access::Read).Read(entry, REG_SZ, data))
        return CString(defaultValue);
    // Stored text ends in its terminator; the text is what comes before the
    // first one.
    return CString(reinterpret_cast<const char*>(data.data()));
}

BOOL WriteProfileString(LPCSTR section, LPCSTR entry, LPCSTR value)
{
    if (!entry) {
        std::string path = SectionPath(section);
        if (path.empty() || !*section)
            return FALSE;  // never the whole profile
        LONG rc = RegDeleteTreeA(HKEY_CURRENT_USER, path.c_str());
        return rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND;
    }
    if (!value) {
        if (SectionPath(section).empty())
            return FALSE;
        SectionKey key(section, Access::Change);
        return !key || key.DeleteValue(entry);  // no section: no entry either
    }
    return SectionKey(section, Access::Create).Write(entry, REG_SZ, value, static_cast<DWORD>(std::strlen(value) + 1));
}

BOOL GetProfileBinary(LPCSTR section, LPCSTR entry, std::vector<BYTE>& data)
{
    return SectionKey(section, Access::Read).Read(entry, REG_BINARY, data);
}

BOOL WriteProfileBinary(LPCSTR section, LPCSTR entry, const BYTE* data, UINT bytes)
{
    if (!entry || (!data && bytes))
        return FALSE;
    return SectionKey(section, Access::Create).Write(entry, REG_BINARY, data, bytes);
}
