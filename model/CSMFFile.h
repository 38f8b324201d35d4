// A Standard MIDI File held whole in memory for the import: opened on a path
// (read at once, up to kMaxSize bytes) or given as bytes, with a read
// position that the importer moves through it. Keeping the file in memory
// bounds every read by the file's length and lets the track reader scan
// bytes without a call per byte. The file's name titles the import command.
//
// UI thread (or whichever one thread imports).
#pragma once

#include <string>
#include <vector>

#include "platform/win/WinTypes.h"

class CSMFFile {
public:
    // Larger files are refused (STG_E_DOCFILETOOLARGE): no MIDI file comes
    // near it, and it bounds what a hostile file can make the import hold.
    static constexpr ULONGLONG kMaxSize = 16ull * 1024 * 1024;

    // STG_E_FILENOTFOUND, STG_E_ACCESSDENIED, STG_E_READFAULT when the file
    // cannot be read, STG_E_DOCFILETOOLARGE; E_OUTOFMEMORY. The title is
    // the path's last component.
    HRESULT Open(const char* path);
    // The same over bytes already in memory, under the given title.
    HRESULT SetContents(const BYTE* data, ULONGLONG size, const char* title);

    // Exactly `count` bytes from the position, which moves past them;
    // STG_E_READFAULT (and no move) when fewer remain.
    HRESULT Read(void* buffer, DWORD count);
    // To `offset` from the start (begin) or from the position (current);
    // STG_E_INVALIDFUNCTION, with the position kept, for a place outside
    // the file (its end is a place inside).
    enum SeekFrom { begin, current };
    HRESULT Seek(LONGLONG offset, SeekFrom from);

    ULONGLONG GetPosition() const { return m_position; }
    ULONGLONG GetLength() const { return m_bytes.size(); }
    ULONGLONG GetRemaining() const { return m_bytes.size() - m_position; }
    // The bytes from the position on (GetRemaining of them).
    const BYTE* GetCurrent() const { return m_bytes.data() + m_position; }
    const std::string& GetTitle() const { return m_title; }

private:
    std::vector<BYTE> m_bytes;
    ULONGLONG m_position = 0;
    std::string m_title;
};
