#include "platform/com/OleRegistry.h"

#include <algorithm>
#include <string>
#include <vector>

#include "platform/com/TaskMemory.h"
#include "platform/registry/Registry.h"
#include "platform/win/WideString.h"

namespace {

// The default value of `path` below HKEY_CLASSES_ROOT as text; false when the
// key is missing (`keyFound` false) or has no text there.
bool ReadDefault(const std::string& path, std::string& text, bool& keyFound)
{
    HKEY key = nullptr;
    keyFound = RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
    if (!keyFound)
        return false;
    DWORD type = REG_NONE;
    DWORD size = 0;
    bool ok = false;
    if (RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ &&
        size > 0) {
        std::vector<char> buffer(size + 1, '\0');
        if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) ==
                ERROR_SUCCESS &&
            type == REG_SZ) {
            text.assign(buffer.data());
            ok = !text.empty();
        }
    }
    RegCloseKey(key);
    return ok;
}

}  // namespace

HRESULT OleRegGetUserType(REFCLSID clsid, DWORD form, LPOLESTR* userType)
{
    if (!userType)
        return E_POINTER;
    *userType = nullptr;
    if (form != USERCLASSTYPE_FULL && form != USERCLASSTYPE_SHORT && form != USERCLASSTYPE_APPNAME)
        return E_INVALIDARG;

    const std::string classKey = "CLSID\\" + mvwin::GuidToString(clsid);
    std::string name;
    bool keyFound = false;
    bool found = false;
    if (form != USERCLASSTYPE_FULL) {
        bool auxFound = false;
        found = ReadDefault(classKey + "\\AuxUserType\\" + std::to_string(form), name, auxFound);
    }
    if (!found)
        found = ReadDefault(classKey, name, keyFound);
    else
        keyFound = true;
    if (!keyFound)
        return REGDB_E_CLASSNOTREG;
    if (!found)
        return REGDB_E_READREGDB;

    const std::u16string wide = mvwin::Utf8ToUtf16(name);
    auto* copy = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
    if (!copy)
        return E_OUTOFMEMORY;
    std::copy(wide.begin(), wide.end(), copy);
    copy[wide.size()] = u'\0';
    *userType = copy;
    return S_OK;
}

HRESULT CLSIDFromString(LPCOLESTR text, CLSID* clsid)
{
    if (!text || !clsid)
        return E_POINTER;
    const std::u16string_view wide(text, mvwin::WideLength(text));
    // Only ASCII can spell a class identifier; anything wider is refused
    // before it is narrowed.
    for (char16_t c : wide)
        if (c > 0x7F)
            return CO_E_CLASSSTRING;
    const std::string narrow(wide.begin(), wide.end());
    return mvwin::GuidFromString(narrow, *clsid) ? S_OK : CO_E_CLASSSTRING;
}

int StringFromGUID2(REFGUID guid, LPOLESTR text, int size)
{
    const std::string narrow = mvwin::GuidToString(guid);
    const int needed = static_cast<int>(narrow.size()) + 1;
    if (!text || size < needed)
        return 0;
    std::copy(narrow.begin(), narrow.end(), text);
    text[narrow.size()] = u'\0';
    return needed;
}
