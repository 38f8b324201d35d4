// A registry key with typed value accessors, for settings kept outside the
// application profile. Short-lived: construct, read or write, destroy. A key
// that could not be opened (or, in mode 1, created) leaves the object without
// a handle: every read then gives its default and every write does nothing.
// UI thread (any thread but the audio thread).
#pragma once

#include "platform/registry/Registry.h"
#include "platform/win/CString.h"

class CRegKeyBase {
public:
    // Root codes of the first constructor.
    static constexpr int kLocalMachine = -1;
    static constexpr int kCurrentUser = -2;
    static constexpr int kClassesRoot = -3;
    // Modes.
    static constexpr int kOpenOnly = 0;
    static constexpr int kOpenOrCreate = 1;

    // The key basePath, or basePath\subKey when subKey is not empty, below
    // the root of the code (any other code gives no key).
    CRegKeyBase(const char* basePath, const char* subKey, int mode, int rootCode);
    // The key path below an open key or a predefined root.
    CRegKeyBase(const char* path, int mode, HKEY root);
    virtual ~CRegKeyBase();
    CRegKeyBase(const CRegKeyBase&) = delete;
    CRegKeyBase& operator=(const CRegKeyBase&) = delete;

    // Null when the key could not be opened.
    HKEY GetKey() const { return m_hKey; }

    // REG_SZ with its terminator. True when written.
    bool SetString(const char* name, const char* text);
    // Reads REG_SZ text into the buffer and returns its length; when the value
    // is missing, of another type or does not fit, the default (cut to fit)
    // is copied instead and its length returned.
    int GetStringBuf(const char* name, const char* defaultText, char* buffer, int bufferSize) const;
    // Text of any length; the default on any failure.
    void GetString(const char* name, const char* defaultText, CString& out) const;
    // A REG_DWORD of 4 bytes, else the default.
    DWORD GetDword(const char* name, DWORD defaultValue) const;
    bool SetBinary(const char* name, const void* data, DWORD size);
    // Size of a REG_BINARY value; 0 when missing or of another type.
    DWORD GetBinarySize(const char* name) const;
    // Reads a REG_BINARY value of exactly `size` bytes into the buffer and
    // returns the stored size. A binary value of another size is not read
    // (its size is returned, so the caller sees the mismatch); a missing
    // value, one of another type, or a failed read gives 0.
    DWORD GetBinary(const char* name, void* buffer, DWORD size) const;

protected:
    // The stored type and size of a value; false when there is none.
    bool QueryValue(const char* name, DWORD& type, DWORD& size) const;

    HKEY m_hKey = nullptr;
    int m_mode;
};
