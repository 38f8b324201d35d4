// Registry fixtures for the plug-in list tests: keys and values written
// straight into the test's own hives, as an installer would leave them.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/registry/Registry.h"
#include "platform/win/Guid.h"

namespace mvtest {

inline void WriteKey(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS)
        << path;
    RegCloseKey(key);
}

// A null name sets the key's default value.
inline void WriteString(HKEY root, const std::string& path, const char* name, const std::string& value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS)
        << path;
    EXPECT_EQ(RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                             static_cast<DWORD>(value.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

inline void WriteDword(HKEY root, const std::string& path, const char* name, DWORD value)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr), ERROR_SUCCESS)
        << path;
    EXPECT_EQ(RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value),
              ERROR_SUCCESS);
    RegCloseKey(key);
}

inline bool KeyExists(HKEY root, const std::string& path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// A COM class's user type names, as its registration writes them; a null
// full name leaves the class key without one.
inline void RegisterClassName(REFCLSID clsid, const char* fullName, const char* shortName = nullptr)
{
    const std::string key = "CLSID\\" + mvwin::GuidToString(clsid);
    if (fullName)
        WriteString(HKEY_CLASSES_ROOT, key, nullptr, fullName);
    else
        WriteKey(HKEY_CLASSES_ROOT, key);
    if (shortName)
        WriteString(HKEY_CLASSES_ROOT, key + "\\AuxUserType\\2", nullptr, shortName);
}

// The maker's help texts of a plug-in under HKEY_CLASSES_ROOT "VarnholtPlugIns".
inline void WriteMakerEntry(REFCLSID clsid, const char* description, const char* helpFilePath, DWORD topic)
{
    const std::string key = "VarnholtPlugIns\\" + mvwin::GuidToString(clsid);
    WriteString(HKEY_CLASSES_ROOT, key, "Description", description);
    WriteString(HKEY_CLASSES_ROOT, key, "HelpFilePath", helpFilePath);
    WriteDword(HKEY_CLASSES_ROOT, key, "HelpFileTopic", topic);
}

// A numbered class id for fixtures: {6D0F00nn-4B1A-4C2E-9D3F-5A6B7C8D9E0F}.
inline GUID TestClsid(std::uint32_t n)
{
    return GUID{0x6D0F0000u + n, 0x4B1A, 0x4C2E, {0x9D, 0x3F, 0x5A, 0x6B, 0x7C, 0x8D, 0x9E, 0x0F}};
}

}  // namespace mvtest
