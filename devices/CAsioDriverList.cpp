#include "devices/CAsioDriverList.h"

#include <cstring>
#include <filesystem>

#include "platform/com/ComRuntime.h"
#include "platform/registry/Registry.h"
#include "platform/win/Guid.h"

namespace {

// Drivers that hosts have long refused to load.
MV_DEFINE_GUID(kSkipped1, 0xA91EABA1, 0xCF4C, 0x11D3, 0xB9, 0x6A, 0x00, 0xA0, 0xC9, 0xC7, 0xB6, 0x1A);
MV_DEFINE_GUID(kSkipped2, 0x3A68A541, 0x081F, 0x11D1, 0xAE, 0xAB, 0x00, 0x60, 0x97, 0x0A, 0xAB, 0xAB);
MV_DEFINE_GUID(kSkipped3, 0xE3186861, 0x3A74, 0x11D1, 0xAE, 0xF8, 0x00, 0x80, 0xAD, 0x15, 0x32, 0x87);

class CKey {
public:
    CKey(HKEY parent, const char* path)
    {
        if (RegOpenKeyExA(parent, path, 0, KEY_READ, &m_key) != ERROR_SUCCESS)
            m_key = nullptr;
    }
    ~CKey()
    {
        if (m_key)
            RegCloseKey(m_key);
    }
    CKey(const CKey&) = delete;
    CKey& operator=(const CKey&) = delete;

    explicit operator bool() const { return m_key != nullptr; }
    HKEY Get() const { return m_key; }

    // A text value (null name: the default value); false when missing or not text.
    bool ReadText(const char* name, std::string& text) const
    {
        DWORD type = REG_NONE;
        DWORD size = 0;
        if (RegQueryValueExA(m_key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
            return false;
        std::string data(size + 1, '\0');
        if (RegQueryValueExA(m_key, name, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) !=
            ERROR_SUCCESS)
            return false;
        text.assign(data.c_str());
        return true;
    }

private:
    HKEY m_key = nullptr;
};

// Whether the class has an in-process server whose library file exists.
bool HasServerFile(const std::string& clsidText)
{
    const CKey server(HKEY_CLASSES_ROOT, ("clsid\\" + clsidText + "\\InprocServer32").c_str());
    std::string path;
    std::error_code ec;
    return server && server.ReadText(nullptr, path) && !path.empty() && std::filesystem::exists(path, ec);
}

}  // namespace

CAsioDriverList::CAsioDriverList()
{
    const CKey asio(HKEY_LOCAL_MACHINE, "software\\asio");
    if (!asio)
        return;
    for (DWORD i = 0;; ++i) {
        char keyName[kMaxKeyName + 1];
        DWORD size = sizeof keyName;
        const LONG err = RegEnumKeyExA(asio.Get(), i, keyName, &size, nullptr, nullptr, nullptr, nullptr);
        if (err == ERROR_NO_MORE_ITEMS)
            break;
        if (err != ERROR_SUCCESS)
            continue;
        const CKey driver(asio.Get(), keyName);
        std::string clsidText;
        CLSID clsid{};
        if (!driver || !driver.ReadText("clsid", clsidText) || !mvwin::GuidFromString(clsidText, clsid))
            continue;
        if (clsid == kSkipped1 || clsid == kSkipped2 || clsid == kSkipped3 || !HasServerFile(clsidText))
            continue;
        std::string name;
        if (!driver.ReadText("description", name))
            name = keyName;
        m_records.push_back(Record{clsid, std::move(name), nullptr});
    }
    if (!m_records.empty())
        m_comInitialised = SUCCEEDED(CoInitialize(nullptr));
}

CAsioDriverList::~CAsioDriverList()
{
    for (int i = 0; i < GetCount(); ++i)
        CloseDriver(i);
    if (m_comInitialised)
        CoUninitialize();
}

LONG CAsioDriverList::OpenDriver(int index, IAsioDriver** driver)
{
    if (!driver)
        return kInvalidParam;
    *driver = nullptr;
    if (index < 0 || index >= GetCount())
        return kNotFound;
    Record& r = m_records[static_cast<std::size_t>(index)];
    if (r.driver)
        return kAlreadyOpen;
    void* object = nullptr;
    const HRESULT hr = CoCreateInstance(r.clsid, nullptr, CLSCTX_INPROC_SERVER, r.clsid, &object);
    if (FAILED(hr))
        return hr;
    r.driver = static_cast<IAsioDriver*>(object);
    *driver = r.driver;
    return 0;
}

LONG CAsioDriverList::CloseDriver(int index)
{
    if (index < 0 || index >= GetCount())
        return kNotFound;
    Record& r = m_records[static_cast<std::size_t>(index)];
    if (r.driver) {
        IAsioDriver* d = r.driver;
        r.driver = nullptr;
        d->Release();
    }
    return 0;
}

LONG CAsioDriverList::GetDriverName(int index, char* name, int length) const
{
    if (!name || length < 1)
        return kInvalidParam;
    if (index < 0 || index >= GetCount())
        return kNotFound;
    const std::string& full = m_records[static_cast<std::size_t>(index)].name;
    const std::size_t room = static_cast<std::size_t>(length) - 1;
    if (full.size() <= room) {
        std::memcpy(name, full.c_str(), full.size() + 1);
        return 0;
    }
    const std::size_t kept = room >= 3 ? room - 3 : 0;
    std::string cut = full.substr(0, kept) + "...";
    cut.resize(room);
    std::memcpy(name, cut.c_str(), room + 1);
    return 0;
}
