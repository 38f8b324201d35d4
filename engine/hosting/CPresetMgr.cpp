#include "engine/hosting/CPresetMgr.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <new>
#include <strings.h>

#include "engine/hosting/CMfxFilterWrap.h"
#include "engine/hosting/IPlugInPresets.h"
#include "platform/com/ComStream.h"
#include "platform/com/Persist.h"
#include "platform/registry/Profile.h"
#include "platform/registry/Registry.h"
#include "platform/res/MessageBox.h"
#include "platform/win/Guid.h"
#include "platform/win/Module.h"
#include "platform/win/WideString.h"

namespace fs = std::filesystem;

namespace {


constexpr const char* kFilterPresets = "SOFTWARE\\Varnholt Music Software\\ActiveMovie\\Presets";
constexpr const char* kMidiFilterPresets = "Software\\Varnholt Music Software\\MIDI Filters\\Presets";
constexpr const char* kNoPreset = "No Preset";

std::map<CFilterWrap*, CPresetMgr*> g_managers;
std::string g_root;

template <class T>
T* Query(IUnknown* object, REFIID riid)
{
    T* itf = nullptr;
    if (!object || FAILED(object->QueryInterface(riid, reinterpret_cast<void**>(&itf))))
        return nullptr;
    return itf;
}

bool SameName(const CString& a, const CString& b) { return strcasecmp(a.GetString(), b.GetString()) == 0; }

// A name that can stand as a file name in the preset folder.
bool IsSafeName(const std::string& name)
{
    if (name.empty() || name == "." || name == "..")
        return false;
    for (unsigned char c : name)
        if (c < 0x20 || c == '/' || c == '\\')
            return false;
    return true;
}

std::string ProgramFolder()
{
    char path[4096] = {};
    if (GetModuleFileNameA(nullptr, path, sizeof path) == 0)
        return {};
    return fs::path(path).parent_path().string();
}

void Refuse(const CString& name)
{
    CString text;
    text.Format("The preset \"%s\" cannot be read.", name.GetString());
    AfxMessageBox(text.GetString(), MB_OK | MB_ICONWARNING);
}

}  // namespace

CPresetMgr::CPresetMgr(CFilterWrap* wrap) : m_clsid(wrap->Clsid()), m_wrap(wrap) {}

void CPresetMgr::SetPresetRoot(const std::string& folder) { g_root = folder; }

std::string CPresetMgr::PresetRoot()
{
    if (!g_root.empty())
        return g_root;
    const std::string program = ProgramFolder();
    return program.empty() ? std::string() : (fs::path(program) / "Presets").string();
}

HRESULT CPresetMgr::Acquire(IAdviseNewPreset* sink, CFilterWrap* wrap, CPresetMgr** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!wrap)
        return E_INVALIDARG;
    CPresetMgr* manager = nullptr;
    if (const auto it = g_managers.find(wrap); it != g_managers.end()) {
        manager = it->second;
    } else {
        IUnknown* object = wrap->GetFilterObject();
        if (!object)
            return E_FAIL;
        IPersistStream* persist = Query<IPersistStream>(object, IID_IPersistStream);
        if (!persist)
            return S_FALSE;  // a plug-in without saved state has no presets
        persist->Release();
        manager = new (std::nothrow) CPresetMgr(wrap);
        if (!manager)
            return E_OUTOFMEMORY;
        g_managers[wrap] = manager;
    }
    if (!sink)
        return E_INVALIDARG;
    if (!manager->m_sinks.insert(sink).second)
        return E_UNEXPECTED;
    ++manager->m_refs;
    *out = manager;
    return S_OK;
}

HRESULT CPresetMgr::ReleaseFor(CPresetMgr* manager, IAdviseNewPreset* sink)
{
    if (!manager || !sink)
        return E_POINTER;
    manager->m_sinks.erase(sink);
    if (--manager->m_refs == 0) {
        g_managers.erase(manager->m_wrap);
        delete manager;
    }
    return S_OK;
}

std::string CPresetMgr::RegistryKey() const
{
    IUnknown* object = m_wrap->GetFilterObject();
    std::string root;
    if (IBaseFilter* filter = Query<IBaseFilter>(object, IID_IBaseFilter)) {
        filter->Release();
        root = kFilterPresets;
    } else if (IUnknown* effect = Query<IUnknown>(object, IID_IMfxEventFilter)) {
        effect->Release();
        root = kMidiFilterPresets;
    } else {
        root = std::string("Software\\") + GetRegistryKey().GetString() + "\\" + GetProfileName().GetString() +
               "\\Presets";
    }
    return root + "\\" + mvwin::GuidToString(m_clsid);
}

std::string CPresetMgr::FileFolder() const
{
    const std::string root = PresetRoot();
    return root.empty() ? root : (fs::path(root) / mvwin::GuidToString(m_clsid)).string();
}

int CPresetMgr::Find(const CString& name) const
{
    for (std::size_t i = 0; i < m_list.size(); ++i)
        if (SameName(m_list[i].name, name))
            return static_cast<int>(i);
    return -1;
}

void CPresetMgr::Insert(int number, const CString& name)
{
    if (const int at = Find(name); at >= 0) {
        m_list[static_cast<std::size_t>(at)].number = number;  // a user preset replaces a built-in of its name
        return;
    }
    const auto where = std::find_if(m_list.begin(), m_list.end(), [&](const Record& r) {
        return strcasecmp(r.name.GetString(), name.GetString()) > 0;
    });
    m_list.insert(where, Record{number, name});
}

void CPresetMgr::LoadList()
{
    m_list.clear();
    m_listLoaded = true;
    if (IPlugInPresets* presets = Query<IPlugInPresets>(m_wrap->GetFilterObject(), IID_IPlugInPresets)) {
        for (int i = 0; i < kMaxBuiltIn; ++i) {
            WCHAR wide[256] = {};
            if (presets->GetPresetName(i, wide, 256) != S_OK)
                break;
            wide[255] = 0;
            Insert(i, CString(mvwin::Utf16ToUtf8(std::u16string_view(wide, mvwin::WideLength(wide))).c_str()));
        }
        presets->Release();
    }
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RegistryKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    // Names as long as a save may write them; a longer one, which no save
    // wrote, is passed over without ending the list.
    for (DWORD i = 0;; ++i) {
        char name[kMaxNameLength + 1] = {};
        DWORD size = sizeof name;
        const LONG err = RegEnumValueA(key, i, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (err == ERROR_MORE_DATA)
            continue;
        if (err != ERROR_SUCCESS)
            break;
        if (name[0])
            Insert(-1, CString(name));
    }
    RegCloseKey(key);
}

int CPresetMgr::GetPresetCount()
{
    if (!m_listLoaded)
        LoadList();
    return static_cast<int>(m_list.size());
}

int CPresetMgr::GetCurrentPresetIndex()
{
    if (m_currentKnown)
        return m_current;
    if (!m_listLoaded)
        LoadList();
    const CString name(m_wrap->GetPresetName());
    m_current = name.IsEmpty() || name == kNoPreset ? -1 : Find(name);
    m_currentKnown = m_current >= 0;
    return m_current;
}

CString CPresetMgr::GetCurrentPresetName()
{
    const CString name(m_wrap->GetPresetName());
    return name.IsEmpty() ? CString(kNoPreset) : name;
}

bool CPresetMgr::GetPresetName(int index, CString* name, int* number)
{
    if (!m_listLoaded)
        LoadList();
    if (index < 0 || index >= static_cast<int>(m_list.size()))
        return false;
    if (name)
        *name = m_list[static_cast<std::size_t>(index)].name;
    if (number)
        *number = m_list[static_cast<std::size_t>(index)].number;
    return true;
}

HRESULT CPresetMgr::Notify(bool listChanged)
{
    if (m_sinks.empty())
        return E_FAIL;
    for (IAdviseNewPreset* sink : m_sinks) {
        if (!sink)
            return E_UNEXPECTED;
        listChanged ? sink->OnPresetListChanged() : sink->OnNewPreset();
    }
    return S_OK;
}

HRESULT CPresetMgr::ReadStoredState(DWORD type, const BYTE* value, std::size_t size, const std::string& folder,
                                    std::vector<BYTE>* state)
{
    if (!state || (!value && size))
        return E_POINTER;
    if (size == 0)
        return E_FAIL;
    if (type != REG_SZ) {
        state->assign(value, value + size);
        return S_OK;
    }
    // The file must be a plain file of this plug-in's preset folder, of a
    // size a state may have, and be read whole.
    const std::string path(reinterpret_cast<const char*>(value),
                           strnlen(reinterpret_cast<const char*>(value), size));
    std::error_code ec;
    const fs::path root = folder.empty() ? fs::path() : fs::weakly_canonical(folder, ec);
    const fs::path file = path.empty() || ec ? fs::path() : fs::weakly_canonical(path, ec);
    if (ec || root.empty() || file.empty() || file.parent_path() != root)
        return E_ACCESSDENIED;
    const auto status = fs::status(file, ec);
    if (ec || !fs::is_regular_file(status))
        return E_FAIL;
    const std::uintmax_t length = fs::file_size(file, ec);
    if (ec || length == 0 || length > kMaxFileState)
        return E_FAIL;
    std::ifstream in(file, std::ios::binary);
    if (!in)
        return E_FAIL;
    std::vector<BYTE> bytes(static_cast<std::size_t>(length));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (static_cast<std::uintmax_t>(in.gcount()) != length)
        return E_FAIL;
    *state = std::move(bytes);
    return S_OK;
}

HRESULT CPresetMgr::ReadUserPreset(const CString& name, std::vector<BYTE>* state)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RegistryKey().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return E_FAIL;
    DWORD type = 0, size = 0;
    LONG err = RegQueryValueExA(key, name.GetString(), nullptr, &type, nullptr, &size);
    std::vector<BYTE> value(size);
    if (err == ERROR_SUCCESS && size)
        err = RegQueryValueExA(key, name.GetString(), nullptr, &type, value.data(), &size);
    RegCloseKey(key);
    if (err != ERROR_SUCCESS)
        return E_FAIL;
    return ReadStoredState(type, value.data(), std::min<std::size_t>(size, value.size()), FileFolder(), state);
}

std::filesystem::path CPresetMgr::StoredFile(HKEY key, const CString& name) const
{
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key, name.GetString(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ ||
        size == 0)
        return {};
    std::vector<char> path(size + 1, '\0');
    if (RegQueryValueExA(key, name.GetString(), nullptr, &type, reinterpret_cast<BYTE*>(path.data()), &size) !=
        ERROR_SUCCESS)
        return {};
    std::error_code ec;
    const fs::path file = fs::weakly_canonical(path.data(), ec);
    if (ec || file.parent_path() != fs::weakly_canonical(FileFolder(), ec) || ec)
        return {};  // only a file of this plug-in's folder
    return file;
}

HRESULT CPresetMgr::LoadPreset(int index)
{
    if (index < 0) {
        if (GetCurrentPresetIndex() < 0 && !m_wrap->GetPresetName()[0])
            return S_FALSE;
        m_current = -1;
        m_currentKnown = true;
        m_wrap->SetPresetName(CString(""));
        return Notify(false);
    }
    CString name;
    int number = 0;
    if (!GetPresetName(index, &name, &number))
        return E_INVALIDARG;
    // The preset is current while it is applied; one that cannot be applied
    // leaves the current preset as it was.
    const int previous = m_current;
    const bool previousKnown = m_currentKnown;
    m_current = index;
    m_currentKnown = true;
    if (HRESULT hr = Apply(name, number); FAILED(hr)) {
        m_current = previous;
        m_currentKnown = previousKnown;
        return hr;
    }
    m_wrap->SetPresetName(name);
    return Notify(false);
}

HRESULT CPresetMgr::Apply(const CString& name, int number)
{
    IUnknown* object = m_wrap->GetFilterObject();
    if (number != -1) {
        IPlugInPresets* presets = Query<IPlugInPresets>(object, IID_IPlugInPresets);
        if (!presets)
            return E_FAIL;
        HRESULT hr = presets->SelectPreset(number);
        presets->Release();
        if (FAILED(hr))
            return hr;
    } else {
        std::vector<BYTE> state;
        if (FAILED(ReadUserPreset(name, &state))) {
            Refuse(name);  // a damaged preset is never handed to the plug-in
            return E_FAIL;
        }
        IPersistStream* persist = Query<IPersistStream>(object, IID_IPersistStream);
        if (!persist)
            return E_FAIL;
        IStream* stream = nullptr;
        HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
        if (SUCCEEDED(hr)) {
            stream->Write(state.data(), static_cast<ULONG>(state.size()), nullptr);
            LARGE_INTEGER zero{};
            stream->Seek(zero, STREAM_SEEK_SET, nullptr);
            hr = persist->Load(stream);
            stream->Release();
        }
        persist->Release();
        if (FAILED(hr)) {
            Refuse(name);
            return hr;
        }
    }
    return S_OK;
}

HRESULT CPresetMgr::SavePreset(const CString& presetName)
{
    IPersistStream* persist = Query<IPersistStream>(m_wrap->GetFilterObject(), IID_IPersistStream);
    if (!persist)
        return S_FALSE;
    std::string name = presetName.GetString();
    if (name.size() > kMaxNameLength)
        name.resize(kMaxNameLength);
    if (!IsSafeName(name)) {
        persist->Release();
        return E_INVALIDARG;  // it would not stay a name in the preset folder
    }
    if (!m_listLoaded)
        LoadList();
    if (Find(CString(name.c_str())) >= 0 &&
        AfxMessageBox("Are you sure you want to overwrite this preset?", MB_OKCANCEL | MB_ICONWARNING) != IDOK) {
        persist->Release();
        return S_FALSE;
    }
    std::vector<BYTE> state;
    IStream* stream = nullptr;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (SUCCEEDED(hr)) {
        hr = persist->Save(stream, TRUE);
        STATSTG stat{};
        stream->Stat(&stat, 1);
        state.resize(static_cast<std::size_t>(stat.cbSize.QuadPart));
        LARGE_INTEGER zero{};
        stream->Seek(zero, STREAM_SEEK_SET, nullptr);
        stream->Read(state.data(), static_cast<ULONG>(state.size()), nullptr);
        stream->Release();
    }
    persist->Release();
    if (FAILED(hr) || state.empty())
        return FAILED(hr) ? hr : S_FALSE;

    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, RegistryKey().c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return E_FAIL;
    // The file of the preset this save replaces, if it had one.
    const int replaced = Find(CString(name.c_str()));
    const fs::path oldFile =
        replaced >= 0 && m_list[static_cast<std::size_t>(replaced)].number == -1
            ? StoredFile(key, m_list[static_cast<std::size_t>(replaced)].name)
            : fs::path();
    fs::path written;
    LONG err = ERROR_SUCCESS;
    if (state.size() < kRegistryLimit) {
        err = RegSetValueExA(key, name.c_str(), 0, REG_BINARY, state.data(), static_cast<DWORD>(state.size()));
    } else {
        std::error_code ec;
        const fs::path folder = FileFolder();
        if (folder.empty() || (fs::create_directories(folder, ec), ec)) {
            RegCloseKey(key);
            return E_FAIL;
        }
        // Written in a folder of its own beside the preset folder, where no
        // preset's file can stand, and renamed into place: a failed write
        // leaves the preset that was there.
        const fs::path partial = folder.string() + ".partial";
        if (fs::create_directories(partial, ec), ec) {
            RegCloseKey(key);
            return E_FAIL;
        }
        const fs::path file = folder / name;
        const fs::path temp = partial / name;
        {
            std::ofstream out(temp, std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(state.data()), static_cast<std::streamsize>(state.size()));
            out.flush();
            if (!out) {
                fs::remove(temp, ec);
                RegCloseKey(key);
                return E_FAIL;
            }
        }
        fs::rename(temp, file, ec);
        if (ec) {
            fs::remove(temp, ec);
            RegCloseKey(key);
            return E_FAIL;
        }
        const std::string path = file.string();
        err = RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(path.c_str()),
                             static_cast<DWORD>(path.size() + 1));
        written = fs::weakly_canonical(file, ec);
    }
    RegCloseKey(key);
    if (err != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(err);
    // A replaced preset's file that no value names any more goes with it.
    if (!oldFile.empty() && oldFile != written) {
        std::error_code ec;
        fs::remove(oldFile, ec);
    }
    Insert(-1, CString(name.c_str()));
    m_current = Find(CString(name.c_str()));
    m_currentKnown = true;
    m_wrap->SetPresetName(CString(name.c_str()));
    Notify(true);
    return S_OK;
}

HRESULT CPresetMgr::DeletePreset(const CString& name)
{
    if (!m_listLoaded)
        LoadList();
    const int at = Find(name);
    if (at < 0)
        return S_FALSE;
    if (m_list[static_cast<std::size_t>(at)].number != -1) {
        std::fputc('\a', stderr);  // a built-in preset cannot be deleted
        return S_FALSE;
    }
    if (AfxMessageBox("Are you sure you want to delete this preset?", MB_OKCANCEL | MB_ICONWARNING) != IDOK)
        return S_FALSE;
    const CString stored = m_list[static_cast<std::size_t>(at)].name;
    m_list.erase(m_list.begin() + at);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, RegistryKey().c_str(), 0, KEY_ALL_ACCESS, &key) == ERROR_SUCCESS) {
        const fs::path file = StoredFile(key, stored);
        std::error_code ec;
        if (!file.empty())
            fs::remove(file, ec);
        RegDeleteValueA(key, stored.GetString());
        RegCloseKey(key);
    }
    m_current = -1;
    m_currentKnown = true;
    m_wrap->SetPresetName(CString(""));
    Notify(true);
    return S_OK;
}

HRESULT CPresetMgr::NextPreset()
{
    const int n = GetPresetCount();
    const int c = GetCurrentPresetIndex();
    return LoadPreset(std::min(c + 1, n - 1));
}

HRESULT CPresetMgr::PreviousPreset()
{
    const int c = GetCurrentPresetIndex();
    return LoadPreset(c - 1 >= 0 ? c - 1 : -1);
}
