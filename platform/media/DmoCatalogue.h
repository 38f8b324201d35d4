// The catalogue of DirectX Media Objects: DMOs registered by category, listed
// by category. Identifiers, flags and slot order are the platform's.
//
// Where it keeps the catalogue, below HKEY_CLASSES_ROOT:
//   DirectShow\MediaObjects\{dmo}                       default value: the name;
//                                                       "InputTypes", "OutputTypes"
//                                                       (binary: type and subtype pairs)
//   DirectShow\MediaObjects\{dmo}\Keyed                 present for a keyed DMO
//   DirectShow\MediaObjects\Categories\{category}\{dmo} one empty key per DMO
// A category lists its DMOs in the order of its key; a subkey that is not a
// braced class identifier, or a DMO whose MediaObjects key is gone, is passed
// over. An enumerator takes its list when it is made.
//
// Registry failures come back as HRESULT_FROM_WIN32 of the registry's error.
// Any thread but the audio thread (the registry takes a lock and does I/O).
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IEnumDMO, 0x2C3CD98A, 0x2BFA, 0x4A53, 0x9C, 0x27, 0x52, 0x49, 0xBA, 0x64, 0xBA, 0x0F);
MV_DEFINE_GUID(DMOCATEGORY_AUDIO_EFFECT, 0xF3602B3F, 0x0592, 0x48DF, 0xA4, 0xCD, 0x67, 0x47, 0x21, 0xE7, 0xEB, 0xEB);

constexpr DWORD DMO_REGISTERF_IS_KEYED = 0x1;
constexpr DWORD DMO_ENUMF_INCLUDE_KEYED = 0x1;

struct DMO_PARTIAL_MEDIATYPE {
    GUID type;
    GUID subtype;
};
static_assert(sizeof(DMO_PARTIAL_MEDIATYPE) == 32, "DMO_PARTIAL_MEDIATYPE must be 32 bytes");

struct IEnumDMO : IUnknown {
    // Class ids into `clsids`; names, when `names` is not null, in task memory
    // that the caller frees with CoTaskMemFree. S_FALSE when fewer than
    // `count` were left; *fetched may be null only when `count` is 1.
    STDMETHOD(Next)(DWORD count, CLSID* clsids, LPWSTR* names, DWORD* fetched) = 0;
    STDMETHOD(Skip)(DWORD count) = 0;
    STDMETHOD(Reset)() = 0;
    STDMETHOD(Clone)(IEnumDMO** copy) = 0;
};

// Registers (or registers again) a DMO under its name in one category, with
// the media types it takes and gives. E_INVALIDARG for GUID_NULL as category.
HRESULT DMORegister(LPCWSTR name, REFCLSID clsid, REFGUID category, DWORD flags, DWORD inTypeCount,
                    const DMO_PARTIAL_MEDIATYPE* inTypes, DWORD outTypeCount, const DMO_PARTIAL_MEDIATYPE* outTypes);
// Removes a DMO from one category; GUID_NULL removes it from every category
// and forgets it. A DMO that is not there is not an error.
HRESULT DMOUnregister(REFCLSID clsid, REFGUID category);
// The DMOs of one category; keyed ones only with DMO_ENUMF_INCLUDE_KEYED.
// Listing every category (GUID_NULL) or filtering by media type is not
// offered: E_NOTIMPL.
HRESULT DMOEnum(REFGUID category, DWORD flags, DWORD inTypeCount, const DMO_PARTIAL_MEDIATYPE* inTypes,
                DWORD outTypeCount, const DMO_PARTIAL_MEDIATYPE* outTypes, IEnumDMO** dmos);
