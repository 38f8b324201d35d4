// The filter mapper's interfaces: the catalogue of installed filters by the
// media types their pins take and give. A plug-in registers its filter, its
// pins and their types; a host asks for the filters that fit a pair of types
// (audio in, audio out: the effects). Slot order and identifiers are the
// platform's, so plug-ins built apart register through the same table.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(CLSID_FilterMapper, 0xCF49D4E0, 0x1115, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IFilterMapper, 0x56A868A3, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);
MV_DEFINE_GUID(IID_IEnumRegFilters, 0x56A868A4, 0x0AD4, 0x11CE, 0xB0, 0x3A, 0x00, 0x20, 0xAF, 0x0B, 0xA7, 0x70);

constexpr DWORD MERIT_PREFERRED = 0x800000;
constexpr DWORD MERIT_NORMAL = 0x600000;
constexpr DWORD MERIT_UNLIKELY = 0x400000;
constexpr DWORD MERIT_DO_NOT_USE = 0x200000;

// One filter found. The enumerator hands out each record in one block of task
// memory that holds the name too; the caller frees it with CoTaskMemFree.
struct REGFILTER {
    CLSID Clsid;
    LPWSTR Name;
};

struct IEnumRegFilters : IUnknown {
    // S_FALSE when fewer than `count` were left; *fetched may be null only
    // when `count` is 1.
    STDMETHOD(Next)(ULONG count, REGFILTER** filters, ULONG* fetched) = 0;
    STDMETHOD(Skip)(ULONG count) = 0;
    STDMETHOD(Reset)() = 0;
    STDMETHOD(Clone)(IEnumRegFilters** copy) = 0;
};

struct IFilterMapper : IUnknown {
    STDMETHOD(RegisterFilter)(CLSID clsid, LPCWSTR name, DWORD merit) = 0;
    STDMETHOD(RegisterFilterInstance)(CLSID clsid, LPCWSTR name, CLSID* instance) = 0;
    STDMETHOD(RegisterPin)(CLSID filter, LPCWSTR name, BOOL rendered, BOOL output, BOOL zero, BOOL many,
                           CLSID connectsToFilter, LPCWSTR connectsToPin) = 0;
    STDMETHOD(RegisterPinType)(CLSID filter, LPCWSTR pinName, CLSID majorType, CLSID subType) = 0;
    STDMETHOD(UnregisterFilter)(CLSID filter) = 0;
    STDMETHOD(UnregisterFilterInstance)(CLSID instance) = 0;
    STDMETHOD(UnregisterPin)(CLSID filter, LPCWSTR name) = 0;
    // GUID_NULL as a wanted type means any; so does GUID_NULL as a
    // registered type.
    STDMETHOD(EnumMatchingFilters)(IEnumRegFilters** filters, DWORD merit, BOOL inputNeeded, CLSID inMajor,
                                   CLSID inSub, BOOL render, BOOL outputNeeded, CLSID outMajor,
                                   CLSID outSub) = 0;
};
