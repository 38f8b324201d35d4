#include "platform/com/Variant.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

namespace {

bool IsSupported(VARTYPE vt)
{
    return vt == VT_EMPTY || vt == VT_NULL || vt == VT_I4 || vt == VT_R8 || vt == VT_BSTR || vt == VT_BOOL;
}

// The whole text, blanks around it aside, must be one decimal number.
HRESULT TextToDouble(const CString& text, double* out)
{
    CString t = text;
    t.Trim();
    if (t.IsEmpty())
        return DISP_E_TYPEMISMATCH;
    char* end = nullptr;
    errno = 0;
    const double v = std::strtod(t.GetString(), &end);
    if (end == t.GetString() || *end != '\0')
        return DISP_E_TYPEMISMATCH;
    // strtod also reads "inf", "nan" and hexadecimal; a COM number is none of them.
    for (const char* p = t.GetString(); *p; ++p)
        if (std::isalpha(static_cast<unsigned char>(*p)) && *p != 'e' && *p != 'E')
            return DISP_E_TYPEMISMATCH;
    if (errno == ERANGE && std::isinf(v))
        return DISP_E_OVERFLOW;
    *out = v;
    return S_OK;
}

HRESULT ToDouble(const VARIANT& src, double* out)
{
    switch (src.vt) {
    case VT_EMPTY: *out = 0.0; return S_OK;
    case VT_I4: *out = src.lVal; return S_OK;
    case VT_R8: *out = src.dblVal; return S_OK;
    case VT_BOOL: *out = src.boolVal ? -1.0 : 0.0; return S_OK;
    case VT_BSTR: return TextToDouble(src.bstrVal, out);
    default: return DISP_E_TYPEMISMATCH;
    }
}

}  // namespace

VARIANT VariantFromI4(LONG value)
{
    VARIANT v;
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

VARIANT VariantFromR8(double value)
{
    VARIANT v;
    v.vt = VT_R8;
    v.dblVal = value;
    return v;
}

VARIANT VariantFromBool(bool value)
{
    VARIANT v;
    v.vt = VT_BOOL;
    v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
    return v;
}

VARIANT VariantFromText(const char* text)
{
    VARIANT v;
    v.vt = VT_BSTR;
    v.bstrVal = text;
    return v;
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* src, USHORT flags, VARTYPE vt)
{
    if (dest == nullptr || src == nullptr)
        return E_POINTER;
    if (!IsSupported(vt) || !IsSupported(src->vt))
        return DISP_E_BADVARTYPE;
    VARIANT out;
    out.vt = vt;
    if (src->vt == vt) {
        *dest = *src;
        return S_OK;
    }
    if (src->vt == VT_NULL || vt == VT_NULL)
        return DISP_E_TYPEMISMATCH;
    switch (vt) {
    case VT_EMPTY:
        break;
    case VT_I4: {
        double d = 0.0;
        if (const HRESULT hr = ToDouble(*src, &d); FAILED(hr))
            return hr;
        const double r = std::nearbyint(d);  // the default rounding mode: half to even
        if (!(r >= std::numeric_limits<LONG>::min() && r <= std::numeric_limits<LONG>::max()))
            return DISP_E_OVERFLOW;
        out.lVal = static_cast<LONG>(r);
        break;
    }
    case VT_R8:
        if (const HRESULT hr = ToDouble(*src, &out.dblVal); FAILED(hr))
            return hr;
        break;
    case VT_BOOL: {
        if (src->vt == VT_BSTR) {
            if (src->bstrVal.CompareNoCase("True") == 0) {
                out.boolVal = VARIANT_TRUE;
                break;
            }
            if (src->bstrVal.CompareNoCase("False") == 0) {
                out.boolVal = VARIANT_FALSE;
                break;
            }
        }
        double d = 0.0;
        if (const HRESULT hr = ToDouble(*src, &d); FAILED(hr))
            return hr;
        out.boolVal = d != 0.0 ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    }
    case VT_BSTR:
        switch (src->vt) {
        case VT_EMPTY: break;
        case VT_I4: out.bstrVal.Format("%d", src->lVal); break;
        case VT_R8: out.bstrVal.Format("%.15g", src->dblVal); break;
        case VT_BOOL:
            if (flags & VARIANT_ALPHABOOL)
                out.bstrVal = src->boolVal ? "True" : "False";
            else
                out.bstrVal = src->boolVal ? "-1" : "0";
            break;
        default: return DISP_E_TYPEMISMATCH;
        }
        break;
    default:
        return DISP_E_BADVARTYPE;
    }
    *dest = out;
    return S_OK;
}
