#include "uikit/core/CUserPath.h"

#include <sys/stat.h>

#include <climits>

#include "platform/win/Module.h"
#include "uikit/core/CAppRegKey.h"

namespace {

const char kSection[] = "UserPaths";

}  // namespace

CUserPath::CUserPath(const char* valueName, const CUserPath* other, const char* subFolder)
    : m_valueName(valueName)
{
    if (other) {
        m_path = other->m_path;
        EnsureDir(m_path, true);
    } else {
        m_path = GetProgramDir() + CString(subFolder);
    }
    Load();
}

void CUserPath::Load()
{
    CAppRegKey key(kSection, CRegKeyBase::kOpenOnly, CRegKeyBase::kCurrentUser);
    CString path;
    key.GetString(m_valueName, m_path, path);
    m_path = path;
    EnsureDir(m_path, true);
    m_storedPath = m_path;
}

void CUserPath::SetPath(const char* path, bool store)
{
    m_path = CString(path);
    NormalizeDirPath(m_path);
    EnsureDir(m_path, true);
    m_storedPath = m_path;
    if (store)
        Save();
}

void CUserPath::Save()
{
    CAppRegKey key(kSection, CRegKeyBase::kOpenOrCreate, CRegKeyBase::kCurrentUser);
    key.SetString(m_valueName, m_path);
}

bool CUserPath::NormalizeDirPath(CString& path)
{
    path.Trim();
    if (IsExistingDir(path))
        return true;
    int slash = path.ReverseFind('/');
    path = slash < 0 ? CString() : path.Left(slash + 1);
    return IsExistingDir(path);
}

bool CUserPath::IsExistingDir(CString& path)
{
    if (path.GetLength() >= 2 && path[path.GetLength() - 1] == '/')
        path = path.Left(path.GetLength() - 1);
    struct stat st;
    return !path.IsEmpty() && stat(path, &st) == 0 && S_ISDIR(st.st_mode);
}

bool CUserPath::EnsureDir(CString& path, bool fallback)
{
    path.Trim();
    if (!path.IsEmpty() && IsExistingDir(path))
        return true;
    if (!fallback)
        return false;
    path = GetProgramDir();
    return !path.IsEmpty();
}

CString CUserPath::GetProgramDir()
{
    char name[PATH_MAX];
    CString dir;
    if (GetModuleFileNameA(nullptr, name, sizeof name) < sizeof name)
        dir = name;
    NormalizeDirPath(dir);
    return dir;
}
