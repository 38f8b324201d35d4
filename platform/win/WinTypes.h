// Base types, result codes and GUIDs with the numbers Windows gives them.
// Values that reach files, logs and plug-ins keep those numbers, so a project
// or a preset written on one system reads the same on the other.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using ULONG = std::uint32_t;
using LONG = std::int32_t;
using INT = std::int32_t;
using BOOL = std::int32_t;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using DWORD_PTR = std::uintptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using WCHAR = char16_t;
using LPCSTR = const char*;
using LPSTR = char*;
using LPCWSTR = const char16_t*;
using LPWSTR = char16_t*;
using LPVOID = void*;
using LPCVOID = const void*;
using HRESULT = std::int32_t;
using LRESULT = std::intptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using REFERENCE_TIME = std::int64_t;  // 100-ns units

#ifndef TRUE
#define TRUE 1
#define FALSE 0
#endif

#define STDMETHODCALLTYPE
#define STDMETHOD(name) virtual HRESULT STDMETHODCALLTYPE name
#define STDMETHOD_(type, name) virtual type STDMETHODCALLTYPE name
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE

constexpr bool SUCCEEDED(HRESULT hr) { return hr >= 0; }
constexpr bool FAILED(HRESULT hr) { return hr < 0; }

constexpr HRESULT MakeHr(std::uint32_t v) { return static_cast<HRESULT>(v); }

constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;
constexpr HRESULT E_NOTIMPL = MakeHr(0x80004001);
constexpr HRESULT E_NOINTERFACE = MakeHr(0x80004002);
constexpr HRESULT E_POINTER = MakeHr(0x80004003);
constexpr HRESULT E_ABORT = MakeHr(0x80004004);
constexpr HRESULT E_FAIL = MakeHr(0x80004005);
constexpr HRESULT E_PENDING = MakeHr(0x8000000A);
constexpr HRESULT E_UNEXPECTED = MakeHr(0x8000FFFF);
constexpr HRESULT E_ACCESSDENIED = MakeHr(0x80070005);
constexpr HRESULT E_HANDLE = MakeHr(0x80070006);
constexpr HRESULT E_OUTOFMEMORY = MakeHr(0x8007000E);
constexpr HRESULT E_INVALIDARG = MakeHr(0x80070057);

constexpr HRESULT CLASS_E_NOAGGREGATION = MakeHr(0x80040110);
constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = MakeHr(0x80040111);
constexpr HRESULT REGDB_E_CLASSNOTREG = MakeHr(0x80040154);
constexpr HRESULT REGDB_E_READREGDB = MakeHr(0x80040150);
constexpr HRESULT CO_E_DLLNOTFOUND = MakeHr(0x800401F8);
constexpr HRESULT CO_E_ERRORINDLL = MakeHr(0x800401F9);
constexpr HRESULT CO_E_NOTINITIALIZED = MakeHr(0x800401F0);
constexpr HRESULT SELFREG_E_CLASS = MakeHr(0x80040201);

constexpr HRESULT STG_E_INVALIDFUNCTION = MakeHr(0x80030001);
constexpr HRESULT STG_E_FILENOTFOUND = MakeHr(0x80030002);
constexpr HRESULT STG_E_ACCESSDENIED = MakeHr(0x80030005);
constexpr HRESULT STG_E_INSUFFICIENTMEMORY = MakeHr(0x80030008);
constexpr HRESULT STG_E_INVALIDPOINTER = MakeHr(0x80030009);
constexpr HRESULT STG_E_WRITEFAULT = MakeHr(0x8003001D);
constexpr HRESULT STG_E_READFAULT = MakeHr(0x8003001E);
constexpr HRESULT STG_E_SEEKERROR = MakeHr(0x80030019);
constexpr HRESULT STG_E_MEDIUMFULL = MakeHr(0x80030070);
constexpr HRESULT STG_E_INVALIDPARAMETER = MakeHr(0x80030057);
constexpr HRESULT STG_E_INVALIDHEADER = MakeHr(0x800300FB);
constexpr HRESULT STG_E_UNKNOWN = MakeHr(0x800300FD);
constexpr HRESULT STG_E_DOCFILECORRUPT = MakeHr(0x80030109);
constexpr HRESULT STG_E_DOCFILETOOLARGE = MakeHr(0x80030111);

// Win32 error codes (registry calls return these, not HRESULTs).
constexpr LONG ERROR_SUCCESS = 0;
constexpr LONG ERROR_FILE_NOT_FOUND = 2;
constexpr LONG ERROR_ACCESS_DENIED = 5;
constexpr LONG ERROR_INVALID_HANDLE = 6;
constexpr LONG ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr LONG ERROR_INVALID_PARAMETER = 87;
constexpr LONG ERROR_MORE_DATA = 234;
constexpr LONG ERROR_NO_MORE_ITEMS = 259;
constexpr LONG ERROR_CANTWRITE = 1013;

constexpr HRESULT HRESULT_FROM_WIN32(LONG e)
{
    return e <= 0 ? static_cast<HRESULT>(e)
                  : static_cast<HRESULT>((static_cast<std::uint32_t>(e) & 0xFFFFu) | 0x80070000u);
}

// GUID with the Windows byte layout: Data1..Data3 little-endian integers,
// Data4 eight bytes as they stand.
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16, "GUID must be 16 bytes");

using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;

inline bool IsEqualGUID(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool operator==(REFGUID a, REFGUID b) { return IsEqualGUID(a, b); }
inline bool operator!=(REFGUID a, REFGUID b) { return !IsEqualGUID(a, b); }
inline bool operator<(REFGUID a, REFGUID b) { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
#define IsEqualIID(a, b) IsEqualGUID(a, b)
#define IsEqualCLSID(a, b) IsEqualGUID(a, b)

constexpr GUID GUID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};
union ULARGE_INTEGER {
    struct {
        DWORD LowPart;
        DWORD HighPart;
    } u;
    ULONGLONG QuadPart;
};

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

// A window, as message boxes and windows take their owner. Opaque here.
struct HWND__;
using HWND = HWND__*;
