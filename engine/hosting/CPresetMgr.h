// The named presets of one plug-in instance: the plug-in's own built-in
// presets, which it lists and selects through its preset interface, and
// user presets, its saved state under a name — in the registry when it is
// small, in a file of the "Presets" folder when it is not. One manager per
// instance, shared by the views that show it, created on first request and
// gone with its last reference.
//
// Registry: under HKEY_CURRENT_USER the key of the plug-in's kind (filters,
// MIDI effects, or the program's own profile), then the plug-in class; one
// value per preset, REG_BINARY holding the state when it is shorter than
// 1024 bytes, else REG_SZ holding the path of a file that holds it,
// <program folder>/Presets/<class>/<preset name>.
//
// A preset whose name could not be a file name is refused; a preset file is
// written in a folder beside the preset folder and renamed into place, so a
// failed write leaves the old preset; a stored preset that cannot be read
// whole, or whose path leads out of the preset folder, is refused with a
// message and never handed to the plug-in, and one the plug-in refuses is
// reported too; either leaves the current preset as it was.
//
// UI thread only.
#pragma once

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "engine/hosting/CFilterWrap.h"
#include "engine/hosting/IAdviseNewPreset.h"
#include "platform/registry/Registry.h"
#include "platform/win/CString.h"

class CPresetMgr {
public:
    static constexpr ULONG kRegistryLimit = 1024;
    static constexpr int kMaxBuiltIn = 1024;
    // The longest preset name (a registry value name) a save writes.
    static constexpr std::size_t kMaxNameLength = 255;
    // The largest preset file read back: more than any plug-in state.
    static constexpr std::uintmax_t kMaxFileState = 64u << 20;

    // E_POINTER for a null out, E_INVALIDARG for a null wrapper or sink,
    // E_FAIL without a plug-in, S_FALSE (no manager) for a plug-in without
    // saved state, E_UNEXPECTED for a sink already advised.
    static HRESULT Acquire(IAdviseNewPreset* sink, CFilterWrap* wrap, CPresetMgr** out);
    static HRESULT ReleaseFor(CPresetMgr* manager, IAdviseNewPreset* sink);
    // The folder that holds the preset files; the program's folder's
    // "Presets" unless set (tests keep theirs apart).
    static void SetPresetRoot(const std::string& folder);
    static std::string PresetRoot();

    // The state a stored user preset holds, from its registry value as
    // read: the value's bytes for any type but REG_SZ; for REG_SZ, the whole
    // content of the file the value names (text up to its first zero),
    // which must be a plain file directly in `folder` of 1 to kMaxFileState
    // bytes. E_ACCESSDENIED for a path that leads elsewhere, E_FAIL for an
    // empty value or a file that cannot be read whole; *state is then
    // untouched. These bytes come from outside and are checked here before
    // any reach the plug-in.
    static HRESULT ReadStoredState(DWORD type, const BYTE* value, std::size_t size, const std::string& folder,
                                   std::vector<BYTE>* state);

    int GetPresetCount();
    int GetCurrentPresetIndex();
    CString GetCurrentPresetName();
    bool GetPresetName(int index, CString* name, int* number);
    HRESULT LoadPreset(int index);
    HRESULT SavePreset(const CString& name);
    HRESULT DeletePreset(const CString& name);
    HRESULT NextPreset();
    HRESULT PreviousPreset();

private:
    struct Record {
        int number;  // built-in preset number, -1 for a user preset
        CString name;
    };

    explicit CPresetMgr(CFilterWrap* wrap);

    void LoadList();
    void Insert(int number, const CString& name);
    int Find(const CString& name) const;
    std::string RegistryKey() const;
    std::string FileFolder() const;
    HRESULT ReadUserPreset(const CString& name, std::vector<BYTE>* state);
    // The file of this plug-in's preset folder that the open key's value
    // names; empty for a value that names none or a file elsewhere.
    std::filesystem::path StoredFile(HKEY key, const CString& name) const;
    // Selects the built-in preset or loads the user preset's state into the
    // plug-in; a stored state that is refused (by the checks or by the
    // plug-in) is reported to the user.
    HRESULT Apply(const CString& name, int number);
    HRESULT Notify(bool listChanged);

    bool m_listLoaded = false;
    std::set<IAdviseNewPreset*> m_sinks;
    GUID m_clsid;
    CFilterWrap* m_wrap;
    std::vector<Record> m_list;
    int m_current = -1;
    bool m_currentKnown = false;
    ULONG m_refs = 0;
};
