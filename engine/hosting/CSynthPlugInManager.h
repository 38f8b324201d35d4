// The list of installed soft synths: one per subkey of HKEY_CLASSES_ROOT
// "MfxSoftSynths" named by a braced class id, listed under the class's short
// user type name. A subkey whose class is no longer registered at all (the
// synth was uninstalled and left its key) is removed while the list is
// built. The manager also keeps the user's list of synths whose editor
// window floats outside the main window, in the profile section
// "NonHostedSynthUIs" ("Count", then "0", "1", ... each a braced class id).
// One process-wide instance, kept for the whole run.
//
// UI thread only.
#pragma once

#include <vector>

#include "engine/hosting/CPlugInManager.h"

// A soft synth: created through the filter interface; its short name is its
// name and its description.
class CRegSynthPlugIn : public CRegPlugIn {
public:
    CRegSynthPlugIn(REFCLSID clsid, const std::string& name);
};

class CSynthPlugInManager : public CPlugInManager {
public:
    BOOL Enumerate() override;
    UINT GetTitleStringId() const override;
    // The "Synths" pop-up in place of the "SYNTH PLUGIN" item.
    void AddToMenu(CMenuModel& menu, UINT firstCommandId) override;

    bool IsNonHostedSynthUI(REFCLSID clsid) const;
    // Adds or removes the synth and saves the list; nothing happens when it
    // is already so.
    void SetNonHostedSynthUI(REFCLSID clsid, bool on);

private:
    // Entries that are empty or no class id are dropped (and vanish at the
    // next save). The count is believed only as far as the section has values.
    void LoadNonHostedList();
    void SaveNonHostedList() const;

    std::vector<CLSID> m_nonHosted;
};

// The number of subkeys of HKEY_CLASSES_ROOT "MfxSoftSynths"; 0 when it
// cannot be opened or asked.
DWORD GetSoftSynthKeyCount();
// The index-th synth's class id and its optional "Description" and
// "HelpFilePath" (task memory, freed by the caller; null when absent) and
// "HelpFileTopic" (0xFFFFFFFF when absent). S_FALSE when "MfxSoftSynths"
// cannot be opened, E_FAIL when the subkey cannot be read, is no class id
// or cannot be opened.
HRESULT EnumSoftSynthKey(DWORD index, CLSID* clsid, LPSTR* description, LPSTR* helpFilePath, DWORD* helpTopic);
// The class's short user type name in `buffer` (cut to fit, terminated);
// false when the class has none.
bool GetClassShortName(REFCLSID clsid, char* buffer, std::size_t size);

CSynthPlugInManager* GetSynthPlugInManager();
void ReleaseSynthPlugInManager();
