#include "platform/media/CFilterMapper.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "platform/com/ComRuntime.h"
#include "platform/com/TaskMemory.h"
#include "platform/registry/Registry.h"
#include "platform/win/WideString.h"

namespace {

const bool g_registered = SUCCEEDED(mvcom::RegisterBuiltinClass(CLSID_FilterMapper, &CFilterMapper::CreateInstance));

constexpr const char* kFilterList = "Filter";

struct Listed {
    CLSID clsid;
    std::u16string name;
};

// The records an enumerator hands out, taken when it was made.
class CEnumRegFilters : public mvcom::CUnknownImpl<IEnumRegFilters> {
public:
    CEnumRegFilters(std::vector<Listed> entries, std::size_t position)
        : m_entries(std::move(entries)), m_position(position)
    {
    }

    STDMETHODIMP Next(ULONG count, REGFILTER** filters, ULONG* fetched) override
    {
        if (!filters || (!fetched && count != 1))
            return E_POINTER;
        ULONG got = 0;
        while (got < count && m_position < m_entries.size()) {
            const Listed& e = m_entries[m_position];
            // The record and its name share one block, freed with one call.
            const std::size_t bytes = sizeof(REGFILTER) + (e.name.size() + 1) * sizeof(char16_t);
            auto* record = static_cast<REGFILTER*>(CoTaskMemAlloc(bytes));
            if (!record) {
                for (ULONG i = 0; i < got; ++i) {
                    CoTaskMemFree(filters[i]);
                    filters[i] = nullptr;
                }
                m_position -= got;
                if (fetched)
                    *fetched = 0;
                return E_OUTOFMEMORY;
            }
            record->Clsid = e.clsid;
            record->Name = reinterpret_cast<LPWSTR>(record + 1);
            std::copy(e.name.begin(), e.name.end(), record->Name);
            record->Name[e.name.size()] = u'\0';
            filters[got++] = record;
            ++m_position;
        }
        if (fetched)
            *fetched = got;
        return got == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override
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
    STDMETHODIMP Clone(IEnumRegFilters** copy) override
    {
        if (!copy)
            return E_POINTER;
        *copy = new (std::nothrow) CEnumRegFilters(m_entries, m_position);
        return *copy ? S_OK : E_OUTOFMEMORY;
    }

protected:
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override
    {
        static const mvcom::InterfaceEntry table[] = {
            Entry<CEnumRegFilters, IEnumRegFilters>(IID_IEnumRegFilters)};
        return table;
    }

private:
    std::vector<Listed> m_entries;
    std::size_t m_position;
};

std::string ClassKey(REFCLSID clsid)
{
    return "CLSID\\" + mvwin::GuidToString(clsid);
}

std::string PinsKey(REFCLSID clsid)
{
    return ClassKey(clsid) + "\\Pins";
}

std::string Narrow(LPCWSTR text)
{
    return text ? mvwin::Utf16ToUtf8(std::u16string_view(text, mvwin::WideLength(text))) : std::string();
}

LONG SetString(HKEY key, const char* name, const std::string& value)
{
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
}

LONG SetDword(HKEY key, const char* name, DWORD value)
{
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
}

DWORD ReadDword(HKEY key, const char* name)
{
    DWORD value = 0;
    DWORD type = REG_NONE;
    DWORD size = sizeof value;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
        return 0;
    return value;
}

std::string ReadString(HKEY key, const char* name)
{
    DWORD type = REG_NONE;
    DWORD size = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
        return {};
    std::vector<char> buffer(size + 1, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &size) !=
        ERROR_SUCCESS)
        return {};
    return buffer.data();
}

// The names of a key's subkeys, in order.
std::vector<std::string> SubkeyNames(HKEY key)
{
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        char name[260];
        DWORD size = sizeof name;
        LONG err = RegEnumKeyExA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (err == ERROR_NO_MORE_ITEMS)
            break;
        if (err == ERROR_SUCCESS)
            names.emplace_back(name, size);
    }
    return names;
}

bool Fits(REFGUID wanted, REFGUID registered)
{
    return wanted == GUID_NULL || registered == GUID_NULL || wanted == registered;
}

// True when the pin's Types key lists a type that fits the wanted pair.
bool PinTakes(HKEY pin, REFGUID major, REFGUID sub)
{
    HKEY types = nullptr;
    if (RegOpenKeyExA(pin, "Types", 0, KEY_READ, &types) != ERROR_SUCCESS)
        return false;
    bool found = false;
    for (const std::string& majorName : SubkeyNames(types)) {
        GUID registeredMajor{};
        if (!mvwin::GuidFromString(majorName, registeredMajor) || !Fits(major, registeredMajor))
            continue;
        HKEY subs = nullptr;
        if (RegOpenKeyExA(types, majorName.c_str(), 0, KEY_READ, &subs) != ERROR_SUCCESS)
            continue;
        for (const std::string& subName : SubkeyNames(subs)) {
            GUID registeredSub{};
            if (mvwin::GuidFromString(subName, registeredSub) && Fits(sub, registeredSub)) {
                found = true;
                break;
            }
        }
        RegCloseKey(subs);
        if (found)
            break;
    }
    RegCloseKey(types);
    return found;
}

struct PinWanted {
    bool needed;
    DWORD direction;  // 0 input, 1 output
    GUID major;
    GUID sub;
    bool rendered;
};

bool HasPin(REFCLSID filter, const PinWanted& want)
{
    HKEY pins = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, PinsKey(filter).c_str(), 0, KEY_READ, &pins) != ERROR_SUCCESS)
        return false;
    bool found = false;
    for (const std::string& pinName : SubkeyNames(pins)) {
        HKEY pin = nullptr;
        if (RegOpenKeyExA(pins, pinName.c_str(), 0, KEY_READ, &pin) != ERROR_SUCCESS)
            continue;
        found = (ReadDword(pin, "Direction") != 0 ? 1u : 0u) == want.direction &&
                (!want.rendered || ReadDword(pin, "IsRendered") != 0) && PinTakes(pin, want.major, want.sub);
        RegCloseKey(pin);
        if (found)
            break;
    }
    RegCloseKey(pins);
    return found;
}

DWORD MeritOf(REFCLSID filter)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ClassKey(filter).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    const DWORD merit = ReadDword(key, "Merit");
    RegCloseKey(key);
    return merit;
}

}  // namespace

HRESULT CFilterMapper::CreateInstance(IUnknown* outer, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    auto* mapper = new (std::nothrow) CFilterMapper;
    if (!mapper)
        return E_OUTOFMEMORY;
    const HRESULT hr = mapper->QueryInterface(riid, ppv);
    mapper->Release();
    return hr;
}

std::span<const mvcom::InterfaceEntry> CFilterMapper::InterfaceTable() const
{
    static const mvcom::InterfaceEntry table[] = {Entry<CFilterMapper, IFilterMapper>(IID_IFilterMapper)};
    return table;
}

STDMETHODIMP CFilterMapper::RegisterFilter(CLSID clsid, LPCWSTR name, DWORD merit)
{
    if (!name)
        return E_POINTER;
    HKEY key = nullptr;
    LONG err = RegCreateKeyExA(HKEY_CLASSES_ROOT, (std::string(kFilterList) + "\\" + mvwin::GuidToString(clsid)).c_str(),
                               0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (err != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(err);
    err = SetString(key, nullptr, Narrow(name));
    RegCloseKey(key);
    if (err != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(err);
    err = RegCreateKeyExA(HKEY_CLASSES_ROOT, ClassKey(clsid).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                          nullptr);
    if (err != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(err);
    err = SetDword(key, "Merit", merit);
    RegCloseKey(key);
    return HRESULT_FROM_WIN32(err);
}

STDMETHODIMP CFilterMapper::RegisterFilterInstance(CLSID, LPCWSTR, CLSID* instance)
{
    if (instance)
        *instance = GUID_NULL;
    return E_NOTIMPL;
}

STDMETHODIMP CFilterMapper::RegisterPin(CLSID filter, LPCWSTR name, BOOL rendered, BOOL output, BOOL zero, BOOL many,
                                        CLSID connectsToFilter, LPCWSTR connectsToPin)
{
    const std::string pinName = Narrow(name);
    if (pinName.empty() || pinName.find('\\') != std::string::npos)
        return E_INVALIDARG;
    const std::string path = PinsKey(filter) + "\\" + pinName;
    LONG err = RegDeleteTreeA(HKEY_CLASSES_ROOT, path.c_str());
    if (err != ERROR_SUCCESS && err != ERROR_FILE_NOT_FOUND)
        return HRESULT_FROM_WIN32(err);
    HKEY pin = nullptr;
    err = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &pin, nullptr);
    if (err != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(err);
    const LONG errs[] = {SetDword(pin, "Direction", output ? 1 : 0), SetDword(pin, "IsRendered", rendered ? 1 : 0),
                         SetDword(pin, "AllowedZero", zero ? 1 : 0), SetDword(pin, "AllowedMany", many ? 1 : 0),
                         SetString(pin, "ConnectsToFilter", mvwin::GuidToString(connectsToFilter)),
                         SetString(pin, "ConnectsToPin", Narrow(connectsToPin))};
    RegCloseKey(pin);
    for (LONG e : errs)
        if (e != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(e);
    return S_OK;
}

STDMETHODIMP CFilterMapper::RegisterPinType(CLSID filter, LPCWSTR pinName, CLSID majorType, CLSID subType)
{
    const std::string pin = Narrow(pinName);
    if (pin.empty() || pin.find('\\') != std::string::npos)
        return E_INVALIDARG;
    const std::string pinPath = PinsKey(filter) + "\\" + pin;
    HKEY key = nullptr;
    LONG err = RegOpenKeyExA(HKEY_CLASSES_ROOT, pinPath.c_str(), 0, KEY_READ, &key);
    if (err != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(err);
    RegCloseKey(key);
    const std::string path =
        pinPath + "\\Types\\" + mvwin::GuidToString(majorType) + "\\" + mvwin::GuidToString(subType);
    err = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr);
    if (err != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(err);
    RegCloseKey(key);
    return S_OK;
}

STDMETHODIMP CFilterMapper::UnregisterFilter(CLSID filter)
{
    LONG err = RegDeleteTreeA(HKEY_CLASSES_ROOT,
                              (std::string(kFilterList) + "\\" + mvwin::GuidToString(filter)).c_str());
    if (err != ERROR_SUCCESS && err != ERROR_FILE_NOT_FOUND)
        return HRESULT_FROM_WIN32(err);
    err = RegDeleteTreeA(HKEY_CLASSES_ROOT, PinsKey(filter).c_str());
    if (err != ERROR_SUCCESS && err != ERROR_FILE_NOT_FOUND)
        return HRESULT_FROM_WIN32(err);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, ClassKey(filter).c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        err = RegDeleteValueA(key, "Merit");
        RegCloseKey(key);
        if (err != ERROR_SUCCESS && err != ERROR_FILE_NOT_FOUND)
            return HRESULT_FROM_WIN32(err);
    }
    return S_OK;
}

STDMETHODIMP CFilterMapper::UnregisterFilterInstance(CLSID)
{
    return E_NOTIMPL;
}

STDMETHODIMP CFilterMapper::UnregisterPin(CLSID filter, LPCWSTR name)
{
    const std::string pin = Narrow(name);
    if (pin.empty() || pin.find('\\') != std::string::npos)
        return E_INVALIDARG;
    const LONG err = RegDeleteTreeA(HKEY_CLASSES_ROOT, (PinsKey(filter) + "\\" + pin).c_str());
    return err == ERROR_SUCCESS || err == ERROR_FILE_NOT_FOUND ? S_OK : HRESULT_FROM_WIN32(err);
}

STDMETHODIMP CFilterMapper::EnumMatchingFilters(IEnumRegFilters** filters, DWORD merit, BOOL inputNeeded,
                                                CLSID inMajor, CLSID inSub, BOOL render, BOOL outputNeeded,
                                                CLSID outMajor, CLSID outSub)
{
    if (!filters)
        return E_POINTER;
    *filters = nullptr;
    const PinWanted input{inputNeeded != 0, 0, inMajor, inSub, render != 0};
    const PinWanted output{outputNeeded != 0, 1, outMajor, outSub, false};

    std::vector<Listed> found;
    HKEY list = nullptr;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, kFilterList, 0, KEY_READ, &list) == ERROR_SUCCESS) {
        for (const std::string& name : SubkeyNames(list)) {
            CLSID clsid{};
            if (!mvwin::GuidFromString(name, clsid))
                continue;
            if (MeritOf(clsid) < merit || (input.needed && !HasPin(clsid, input)) ||
                (output.needed && !HasPin(clsid, output)))
                continue;
            HKEY key = nullptr;
            std::string text;
            if (RegOpenKeyExA(list, name.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
                text = ReadString(key, nullptr);
                RegCloseKey(key);
            }
            found.push_back({clsid, mvwin::Utf8ToUtf16(text)});
        }
        RegCloseKey(list);
    }
    *filters = new (std::nothrow) CEnumRegFilters(std::move(found), 0);
    return *filters ? S_OK : E_OUTOFMEMORY;
}
