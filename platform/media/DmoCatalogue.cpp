#include "platform/media/DmoCatalogue.h"

#include <algorithm>
#include <new>
#include <string>
#include <vector>

#include "platform/com/CUnknownImpl.h"
#include "platform/com/TaskMemory.h"
#include "platform/registry/Registry.h"
#include "platform/win/WideString.h"

namespace {

constexpr const char* kObjects = "DirectShow\\MediaObjects";
constexpr const char* kCategories = "DirectShow\\MediaObjects\\Categories";

struct Listed {
    CLSID clsid;
    std::u16string name;
};

class CEnumDMO : public mvcom::CUnknownImpl<IEnumDMO> {
public:
    CEnumDMO(std::vector<Listed> entries, std::size_t position) : m_entries(std::move(entries)), m_position(position) {}

    STDMETHODIMP Next(DWORD count, CLSID* clsids, LPWSTR* names, DWORD* fetched) override
    {
        if (!clsids || (!fetched && count != 1))
            return E_POINTER;
        DWORD got = 0;
        while (got < count && m_position < m_entries.size()) {
            const Listed& e = m_entries[m_position];
            if (names) {
                auto* copy = static_cast<LPWSTR>(CoTaskMemAlloc((e.name.size() + 1) * sizeof(char16_t)));
                if (!copy) {
                    for (DWORD i = 0; i < got; ++i) {
                        CoTaskMemFree(names[i]);
                        names[i] = nullptr;
                    }
                    m_position -= got;
                    if (fetched)
                        *fetched = 0;
                    return E_OUTOFMEMORY;
                }
                std::copy(e.name.begin(), e.name.end(), copy);
                copy[e.name.size()] = u'\0';
                names[got] = copy;
            }
            clsids[got++] = e.clsid;
            ++m_position;
        }
        if (fetched)
            *fetched = got;
        return got == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(DWORD count) override
    {
        const std::size_t left = m_entries.size() - m_position;
        m_position += std::min<std::size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override
    {
        m_position = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumDMO** copy) override
    {
        if (!copy)
            return E_POINTER;
        *copy = new (std::nothrow) CEnumDMO(m_entries, m_position);
        return *copy ? S_OK : E_OUTOFMEMORY;
    }

protected:
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override
    {
        static const mvcom::InterfaceEntry table[] = {Entry<CEnumDMO, IEnumDMO>(IID_IEnumDMO)};
        return table;
    }

private:
    std::vector<Listed> m_entries;
    std::size_t m_position;
};

std::string ObjectKey(REFCLSID clsid)
{
    return std::string(kObjects) + "\\" + mvwin::GuidToString(clsid);
}

std::string CategoryKey(REFGUID category)
{
    return std::string(kCategories) + "\\" + mvwin::GuidToString(category);
}

LONG SetTypes(HKEY key, const char* name, DWORD count, const DMO_PARTIAL_MEDIATYPE* types)
{
    if (count == 0 || !types) {
        const LONG err = RegDeleteValueA(key, name);
        return err == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : err;
    }
    return RegSetValueExA(key, name, 0, REG_BINARY, reinterpret_cast<const BYTE*>(types),
                          static_cast<DWORD>(count * sizeof(DMO_PARTIAL_MEDIATYPE)));
}

std::vector<std::string> SubkeyNames(HKEY key)
{
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[260];
        DWORD size = sizeof name;
        const LONG err = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (err == ERROR_NO_MORE_ITEMS)
            break;
        if (err == ERROR_SUCCESS)
            names.emplace_back(name, size);
    }
    return names;
}

// The DMO's name, and whether it is keyed; false when it is not catalogued.
bool ReadObject(REFCLSID clsid, std::string& name, bool& keyed)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ObjectKey(clsid).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    name.clear();
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(key, nullptr, nullptr, &type, nullptr, &size) == ERROR_SUCCESS && type == REG_SZ) {
        std::vector<char> buffer(size + 1, '\0');
        if (RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) ==
            ERROR_SUCCESS)
            name = buffer.data();
    }
    HKEY keyedKey = nullptr;
    keyed = RegOpenKeyExA(key, "Keyed", 0, KEY_READ, &keyedKey) == ERROR_SUCCESS;
    if (keyed)
        RegCloseKey(keyedKey);
    RegCloseKey(key);
    return true;
}

}  // namespace

HRESULT DMORegister(LPCWSTR name, REFCLSID clsid, REFGUID category, DWORD flags, DWORD inTypeCount,
                    const DMO_PARTIAL_MEDIATYPE* inTypes, DWORD outTypeCount, const DMO_PARTIAL_MEDIATYPE* outTypes)
{
    if (!name)
        return E_POINTER;
    if (category == GUID_NULL)
        return E_INVALIDARG;
    HKEY key = nullptr;
    LONG err = RegCreateKeyExA(HKEY_CLASSES_ROOT, ObjectKey(clsid).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                               &key, nullptr);
    if (err != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(err);
    const std::string text = mvwin::Utf16ToUtf8(std::u16string_view(name, mvwin::WideLength(name)));
    err = RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                         static_cast<DWORD>(text.size() + 1));
    if (err == ERROR_SUCCESS)
        err = SetTypes(key, "InputTypes", inTypeCount, inTypes);
    if (err == ERROR_SUCCESS)
        err = SetTypes(key, "OutputTypes", outTypeCount, outTypes);
    if (err == ERROR_SUCCESS) {
        if (flags & DMO_REGISTERF_IS_KEYED) {
            HKEY keyed = nullptr;
            err = RegCreateKeyExA(key, "Keyed", 0, nullptr, 0, KEY_WRITE, nullptr, &keyed, nullptr);
            if (err == ERROR_SUCCESS)
                RegCloseKey(keyed);
        } else {
            err = RegDeleteTreeA(key, "Keyed");
            if (err == ERROR_FILE_NOT_FOUND)
                err = ERROR_SUCCESS;
        }
    }
    RegCloseKey(key);
    if (err != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(err);

    const std::string member = CategoryKey(category) + "\\" + mvwin::GuidToString(clsid);
    err = RegCreateKeyExA(HKEY_CLASSES_ROOT, member.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (err != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(err);
    RegCloseKey(key);
    return S_OK;
}

HRESULT DMOUnregister(REFCLSID clsid, REFGUID category)
{
    const std::string dmo = mvwin::GuidToString(clsid);
    std::vector<std::string> categories;
    if (category != GUID_NULL) {
        categories.push_back(mvwin::GuidToString(category));
    } else {
        HKEY all = nullptr;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kCategories, 0, KEY_READ, &all) == ERROR_SUCCESS) {
            categories = SubkeyNames(all);
            RegCloseKey(all);
        }
    }
    for (const std::string& c : categories) {
        const LONG err = RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string(kCategories) + "\\" + c + "\\" + dmo).c_str());
        if (err != ERROR_SUCCESS && err != ERROR_FILE_NOT_FOUND)
            return HRESULT_FROM_WIN32(err);
    }
    if (category == GUID_NULL) {
        const LONG err = RegDeleteTreeA(HKEY_CLASSES_ROOT, ObjectKey(clsid).c_str());
        if (err != ERROR_SUCCESS && err != ERROR_FILE_NOT_FOUND)
            return HRESULT_FROM_WIN32(err);
    }
    return S_OK;
}

HRESULT DMOEnum(REFGUID category, DWORD flags, DWORD inTypeCount, const DMO_PARTIAL_MEDIATYPE* inTypes,
                DWORD outTypeCount, const DMO_PARTIAL_MEDIATYPE* outTypes, IEnumDMO** dmos)
{
    if (!dmos)
        return E_POINTER;
    *dmos = nullptr;
    if (category == GUID_NULL || inTypeCount != 0 || outTypeCount != 0)
        return E_NOTIMPL;

    std::vector<Listed> found;
    HKEY members = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, CategoryKey(category).c_str(), 0, KEY_READ, &members) == ERROR_SUCCESS) {
        for (const std::string& member : SubkeyNames(members)) {
            CLSID clsid{};
            std::string name;
            bool keyed = false;
            if (!mvwin::GuidFromString(member, clsid) || !ReadObject(clsid, name, keyed))
                continue;
            if (keyed && !(flags & DMO_ENUMF_INCLUDE_KEYED))
                continue;
            found.push_back({clsid, mvwin::Utf8ToUtf16(name)});
        }
        RegCloseKey(members);
    }
    *dmos = new (std::nothrow) CEnumDMO(std::move(found), 0);
    return *dmos ? S_OK : E_OUTOFMEMORY;
}
