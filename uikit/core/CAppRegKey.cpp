#include "uikit/core/CAppRegKey.h"

#include <string_view>

namespace {

struct AppKeyTexts {
    CString fullKey;
    CString appKey;
    CString registryKeyName;
    CString name;
    CString version;
};

AppKeyTexts& Texts()
{
    static AppKeyTexts texts;
    return texts;
}

const char kKeyTemplate[] = "Software\\Varnholt Music Software\\APPNAME\\APPVERSION";
constexpr std::string_view kSoftwarePrefix = "Software\\";

}  // namespace

// Until the application key is known, root code 0 gives no key.
CAppRegKey::CAppRegKey(const char* subKey, int mode, int rootCode)
    : CRegKeyBase(Texts().fullKey, subKey, mode, Texts().fullKey.IsEmpty() ? 0 : rootCode)
{
}

CAppRegKey::CAppRegKey(const char* path, int mode, HKEY root) : CRegKeyBase(path, mode, root) {}

void CAppRegKey::SetAppRegistryRoot(const char* name, const char* version)
{
    AppKeyTexts& t = Texts();
    t.name = CString(name);
    t.version = CString(version);
    t.fullKey = kKeyTemplate;
    t.fullKey.Replace("APPNAME", t.name);
    t.fullKey.Replace("APPVERSION", t.version);
    t.appKey = kKeyTemplate;
    t.appKey = t.appKey.Left(t.appKey.Find("\\APPVERSION"));
    t.appKey.Replace("APPNAME", t.name);
    t.registryKeyName = t.appKey.Mid(static_cast<int>(kSoftwarePrefix.size()));
}

const CString& CAppRegKey::GetAppRegistryKeyName() { return Texts().registryKeyName; }
const CString& CAppRegKey::GetAppProfileName() { return Texts().version; }
const CString& CAppRegKey::GetAppFullKey() { return Texts().fullKey; }
const CString& CAppRegKey::GetAppKey() { return Texts().appKey; }
