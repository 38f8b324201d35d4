// One per-user folder setting (the pattern folders, the metronome folder),
// stored as a text value of the application key's "UserPaths" section under
// HKEY_CURRENT_USER. It never holds a folder that does not exist: such a path
// falls back to the program's directory (the folder of the running
// executable). Paths are '/'-separated; a sub-folder passed to the
// constructor begins with '/' ("/Patterns").
// UI thread.
#pragma once

#include "platform/win/CString.h"

class CUserPath {
public:
    // The default is the program's directory followed by subFolder, or, when
    // `other` is given, other's current path. Then the stored value is read.
    CUserPath(const char* valueName, const CUserPath* other, const char* subFolder);

    // Reads the stored path (the current path is the default).
    void Load();
    // Takes a new path (normalised, existing or else the program's
    // directory); with store, writes it at once.
    void SetPath(const char* path, bool store);
    void Save();

    const CString& GetPath() const { return m_path; }
    const CString& GetStoredPath() const { return m_storedPath; }
    const CString& GetValueName() const { return m_valueName; }

    // Trims spaces; keeps an existing directory; otherwise reduces the text
    // to its directory part (as a path to a file) and tests again.
    static bool NormalizeDirPath(CString& path);
    // Drops a trailing '/' (but not from the root "/"); then the path must be
    // an existing directory.
    static bool IsExistingDir(CString& path);
    // Trims; a non-empty existing directory is kept (true). Otherwise, with
    // fallback, the path becomes the program's directory; without, false.
    static bool EnsureDir(CString& path, bool fallback);

private:
    // The directory of the running executable, without a trailing '/'.
    static CString GetProgramDir();

    CString m_valueName;
    CString m_path;
    CString m_storedPath;
};
