#include "uikit/core/CRegKeyBase.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

HKEY RootOf(int code)
{
    switch (code) {
    case CRegKeyBase::kLocalMachine: return HKEY_LOCAL_MACHINE;
    case CRegKeyBase::kCurrentUser: return HKEY_CURRENT_USER;
    case CRegKeyBase::kClassesRoot: return HKEY_CLASSES_ROOT;
    default: return nullptr;
    }
}

CString JoinPath(const char* basePath, const char* subKey)
{
    CString path(basePath);
    if (subKey && *subKey)
        path += CString("\\") + subKey;
    return path;
}

}  // namespace

CRegKeyBase::CRegKeyBase(const char* basePath, const char* subKey, int mode, int rootCode)
    : CRegKeyBase(JoinPath(basePath, subKey), mode, RootOf(rootCode))
{
}

CRegKeyBase::CRegKeyBase(const char* path, int mode, HKEY root) : m_mode(mode)
{
    if (!root)
        return;
    if (RegOpenKeyA(root, path, &m_hKey) != ERROR_SUCCESS && mode == kOpenOrCreate)
        RegCreateKeyA(root, path, &m_hKey);
}

CRegKeyBase::~CRegKeyBase()
{
    if (m_hKey)
        RegCloseKey(m_hKey);
}

bool CRegKeyBase::QueryValue(const char* name, DWORD& type, DWORD& size) const
{
    size = 0;
    return m_hKey && RegQueryValueExA(m_hKey, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
}

bool CRegKeyBase::SetString(const char* name, const char* text)
{
    if (!m_hKey || !text)
        return false;
    return RegSetValueExA(m_hKey, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                          static_cast<DWORD>(std::strlen(text) + 1)) == ERROR_SUCCESS;
}

int CRegKeyBase::GetStringBuf(const char* name, const char* defaultText, char* buffer, int bufferSize) const
{
    if (!buffer || bufferSize <= 0)
        return 0;
    DWORD type = 0, size = static_cast<DWORD>(bufferSize);
    if (m_hKey && RegQueryValueExA(m_hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) ==
                      ERROR_SUCCESS &&
        type == REG_SZ && size > 0) {
        buffer[std::min<DWORD>(size, static_cast<DWORD>(bufferSize)) - 1] = '\0';
        return static_cast<int>(std::strlen(buffer));
    }
    const char* text = defaultText ? defaultText : "";
    std::size_t n = std::min(std::strlen(text), static_cast<std::size_t>(bufferSize - 1));
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

void CRegKeyBase::GetString(const char* name, const char* defaultText, CString& out) const
{
    DWORD type = 0, size = 0;
    if (QueryValue(name, type, size) && type == REG_SZ && size > 0) {
        std::vector<char> text(size);
        if (RegQueryValueExA(m_hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(text.data()), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ && size > 0) {
            text[size - 1] = '\0';
            out = CString(text.data());
            return;
        }
    }
    out = CString(defaultText);
}

DWORD CRegKeyBase::GetDword(const char* name, DWORD defaultValue) const
{
    DWORD type = 0, value = 0, size = sizeof value;
    if (m_hKey && RegQueryValueExA(m_hKey, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                      ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof value)
        return value;
    return defaultValue;
}

bool CRegKeyBase::SetBinary(const char* name, const void* data, DWORD size)
{
    return m_hKey && RegSetValueExA(m_hKey, name, 0, REG_BINARY, static_cast<const BYTE*>(data), size) ==
                         ERROR_SUCCESS;
}

DWORD CRegKeyBase::GetBinarySize(const char* name) const
{
    DWORD type = 0, size = 0;
    return QueryValue(name, type, size) && type == REG_BINARY ? size : 0;
}

DWORD CRegKeyBase::GetBinary(const char* name, void* buffer, DWORD size) const
{
    DWORD type = 0, stored = 0;
    if (!QueryValue(name, type, stored) || type != REG_BINARY)
        return 0;
    if (stored != size)
        return stored;
    if (size == 0)
        return 0;
    if (!buffer || RegQueryValueExA(m_hKey, name, nullptr, &type, static_cast<BYTE*>(buffer), &stored) !=
                       ERROR_SUCCESS)
        return 0;
    return stored;
}
