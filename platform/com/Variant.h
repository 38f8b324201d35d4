// The COM variant: a tagged value of one of the few types our properties and
// documents exchange (32-bit integer, double, boolean, text), and the type
// change with the conversion rules COM callers expect: doubles round half to
// even into integers, a value that does not fit is an overflow rather than a
// wrapped number, and text is read as a number only when all of it is one.
#pragma once

#include <cstdint>

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

using VARTYPE = std::uint16_t;
using VARIANT_BOOL = std::int16_t;

constexpr VARTYPE VT_EMPTY = 0;
constexpr VARTYPE VT_NULL = 1;
constexpr VARTYPE VT_I4 = 3;
constexpr VARTYPE VT_R8 = 5;
constexpr VARTYPE VT_BSTR = 8;
constexpr VARTYPE VT_BOOL = 11;

constexpr VARIANT_BOOL VARIANT_TRUE = -1;
constexpr VARIANT_BOOL VARIANT_FALSE = 0;

// Flag of VariantChangeType: a boolean becomes "True" or "False" as text
// instead of "-1" or "0".
constexpr USHORT VARIANT_ALPHABOOL = 0x2;

constexpr HRESULT DISP_E_TYPEMISMATCH = MakeHr(0x80020005);
constexpr HRESULT DISP_E_OVERFLOW = MakeHr(0x8002000A);
constexpr HRESULT DISP_E_BADVARTYPE = MakeHr(0x80020008);

// The text of a VT_BSTR lives beside the union, so a variant copies and
// destroys like any value.
struct VARIANT {
    VARTYPE vt = VT_EMPTY;
    union {
        LONG lVal;
        double dblVal = 0.0;
        VARIANT_BOOL boolVal;
    };
    CString bstrVal;
};

VARIANT VariantFromI4(LONG value);
VARIANT VariantFromR8(double value);
VARIANT VariantFromBool(bool value);
VARIANT VariantFromText(const char* text);

// Converts src into dest as type vt. On failure dest is left as it was and
// the result is DISP_E_TYPEMISMATCH (no conversion between the types, or
// text that is not a number), DISP_E_OVERFLOW (a number outside the target
// type) or DISP_E_BADVARTYPE (a type this variant does not carry). dest and
// src may be the same variant.
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt);
