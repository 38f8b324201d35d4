// The common base of the plug-in lists (audio effects, soft synths, MIDI
// effects): a vector of plug-in records kept in name order without regard
// to case, the process-wide list of plug-ins the user excluded, the grouping
// of neighbouring names by their leading words, and the cascading menu built
// from the records. A list is filled once at start-up and not refreshed; an
// entry's index, and so its command id (first command id + index), stays
// valid for the whole run.
//
// UI thread only: filled at start-up, read when menus are built and when a
// command picks an entry.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "engine/hosting/CMenuModel.h"
#include "engine/hosting/CRegPlugIn.h"
#include "platform/registry/Registry.h"

class CPlugInManager {
public:
    CPlugInManager();
    virtual ~CPlugInManager();
    CPlugInManager(const CPlugInManager&) = delete;
    CPlugInManager& operator=(const CPlugInManager&) = delete;

    virtual BOOL Initialize();
    // Fills the list; 1 even when nothing was found.
    virtual BOOL Enumerate() = 0;
    // Deletes every record, then the manager.
    virtual void Destroy();
    // The string id of the menu's placeholder text.
    virtual UINT GetTitleStringId() const = 0;
    virtual void AddToMenu(CMenuModel& menu, UINT firstCommandId) = 0;

    // Reads HKEY_CURRENT_USER "Software\Varnholt Music Software\ExcludedPlugIns"
    // into the process-wide excluded list, which it empties first. A non-zero
    // value "Reset" deletes the key instead, so nothing is excluded now or at
    // the next start. Otherwise each subkey name is a class id; a name that
    // cannot be read or parsed ends the reading with false, keeping the ids
    // read before it. A missing key excludes nothing and gives true.
    static bool LoadExclusionList();
    static bool IsExcluded(REFCLSID clsid);
    static const std::vector<CLSID>& GetExclusionList();

    int GetCount() const { return static_cast<int>(m_plugIns.size()); }
    bool IsValidIndex(int index) const { return index >= 0 && index < GetCount(); }
    // Null out of range.
    CRegPlugIn* GetPlugIn(int index) const;

    // Finds the item of `menu` titled `popupTitle` (built before: nothing to
    // do) or `placeholderText`, and puts in the placeholder's place a pop-up
    // of the records: single entries first, in order, then a sub-menu per
    // group under its title, a separator between the two kinds. Entry i has
    // command id firstCommandId + i; hidden records get no entry. With no
    // records the placeholder is removed.
    void BuildMenu(CMenuModel& menu, const std::string& popupTitle, const std::string& placeholderText,
                   UINT firstCommandId) const;

    // A REG_SZ value of `key` into task memory (freed with CoTaskMemFree),
    // at most 259 bytes of text; E_FAIL when it is missing or of another
    // type, E_OUTOFMEMORY.
    static HRESULT ReadRegistryString(HKEY key, LPCSTR valueName, LPSTR* text);

protected:
    // Inserts before the first record whose name compares greater than or
    // equal to the new one, ignoring case: an equal name goes first.
    void InsertSorted(std::unique_ptr<CRegPlugIn> plugIn);
    // Groups runs of neighbours that share leading words (see the source).
    void GroupNames();
    void DeleteAll();

    // `text` cut to fit a buffer of `bufferBytes` with its terminator, never
    // inside a UTF-8 character.
    static std::string FitText(std::string text, std::size_t bufferBytes);
    // A registry string value as text; empty when ReadRegistryString fails.
    static std::string ReadRegistryText(HKEY key, LPCSTR valueName);

    std::vector<std::unique_ptr<CRegPlugIn>> m_plugIns;
};
