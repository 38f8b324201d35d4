// The program-wide list of pattern files (".PTN", in any case) kept in the
// user's two pattern folders, one for MIDI patterns and one for audio
// patterns, as the settings table names them. The pattern bin, the pattern
// menus and the pattern file export read its two name lists and ask it to
// rescan after the folders or their contents change.
//
// A name is the file name without its extension, its first character
// upper-cased; names are listed in ascending byte order, each once. Hidden
// files (a leading dot), folders and files that cannot be read are left
// out; the unreadable ones are kept in a list of their own for the caller
// to report.
//
// UI thread only.
#pragma once

#include <string>
#include <vector>

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class CSharedPatterns {
public:
    virtual ~CSharedPatterns() = default;

    // The program's one list.
    static CSharedPatterns& Instance();

    void Clear();
    // Both folders again; a folder named by both settings (ignoring case)
    // fills the MIDI list only. S_OK.
    HRESULT Refresh();
    // One folder's files into its list. S_OK; a folder that cannot be
    // searched leaves the list empty.
    HRESULT ScanFolder(BOOL midi);
    int GetCount(BOOL midi) const;
    // E_INVALIDARG for an index not below the count.
    HRESULT GetName(BOOL midi, int index, CString* name) const;
    bool IsSameFolder() const { return m_sameFolder; }
    // Pattern files found but not readable at the last scan, full paths.
    const std::vector<std::string>& GetUnreadable() const { return m_unreadable; }

private:
    std::vector<std::string> m_midi;
    std::vector<std::string> m_audio;
    bool m_sameFolder = true;
    std::vector<std::string> m_unreadable;
};
