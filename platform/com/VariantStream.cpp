#include "platform/com/VariantStream.h"

#include <cstring>
#include <string>

namespace {

HRESULT WriteAll(IStream* stream, const void* data, ULONG size)
{
    ULONG written = 0;
    const HRESULT hr = stream->Write(data, size, &written);
    return FAILED(hr) || written != size ? E_FAIL : S_OK;
}

HRESULT ReadAll(IStream* stream, void* data, ULONG size)
{
    ULONG read = 0;
    const HRESULT hr = stream->Read(data, size, &read);
    return FAILED(hr) || read != size ? E_FAIL : S_OK;
}

template <class T>
void PutLittle(BYTE* out, T value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out[i] = static_cast<BYTE>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF);
}

std::uint64_t GetLittle(const BYTE* in, int bytes)
{
    std::uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= static_cast<std::uint64_t>(in[i]) << (8 * i);
    return v;
}

}  // namespace

ULONG VariantStreamSize(const VARIANT& value)
{
    switch (value.vt) {
    case VT_I4: return 2 + 4;
    case VT_R8: return 2 + 8;
    case VT_BOOL: return 2 + 2;
    case VT_BSTR: return 2 + 4 + static_cast<ULONG>(value.bstrVal.GetLength());
    default: return 2;
    }
}

HRESULT WriteVariant(IStream* stream, const VARIANT& value)
{
    if (!stream)
        return E_POINTER;
    BYTE head[2 + 8];
    PutLittle(head, value.vt, 2);
    switch (value.vt) {
    case VT_EMPTY:
    case VT_NULL: return WriteAll(stream, head, 2);
    case VT_I4:
        PutLittle(head + 2, static_cast<std::uint32_t>(value.lVal), 4);
        return WriteAll(stream, head, 6);
    case VT_R8: {
        std::uint64_t bits = 0;
        std::memcpy(&bits, &value.dblVal, sizeof bits);
        PutLittle(head + 2, bits, 8);
        return WriteAll(stream, head, 10);
    }
    case VT_BOOL:
        PutLittle(head + 2, static_cast<std::uint16_t>(value.boolVal), 2);
        return WriteAll(stream, head, 4);
    case VT_BSTR: {
        const auto length = static_cast<ULONG>(value.bstrVal.GetLength());
        if (length > kMaxVariantText)
            return E_FAIL;
        PutLittle(head + 2, length, 4);
        if (FAILED(WriteAll(stream, head, 6)))
            return E_FAIL;
        return length ? WriteAll(stream, value.bstrVal.GetString(), length) : S_OK;
    }
    default: return E_FAIL;
    }
}

HRESULT ReadVariant(IStream* stream, VARIANT& value)
{
    if (!stream)
        return E_POINTER;
    BYTE buffer[8];
    if (FAILED(ReadAll(stream, buffer, 2)))
        return E_FAIL;
    const auto vt = static_cast<VARTYPE>(GetLittle(buffer, 2));
    VARIANT next;
    next.vt = vt;
    switch (vt) {
    case VT_EMPTY:
    case VT_NULL: break;
    case VT_I4:
        if (FAILED(ReadAll(stream, buffer, 4)))
            return E_FAIL;
        next.lVal = static_cast<LONG>(static_cast<std::int32_t>(GetLittle(buffer, 4)));
        break;
    case VT_R8: {
        if (FAILED(ReadAll(stream, buffer, 8)))
            return E_FAIL;
        const std::uint64_t bits = GetLittle(buffer, 8);
        std::memcpy(&next.dblVal, &bits, sizeof bits);
        break;
    }
    case VT_BOOL: {
        if (FAILED(ReadAll(stream, buffer, 2)))
            return E_FAIL;
        const auto b = static_cast<VARIANT_BOOL>(static_cast<std::int16_t>(GetLittle(buffer, 2)));
        if (b != VARIANT_TRUE && b != VARIANT_FALSE)
            return E_FAIL;
        next.boolVal = b;
        break;
    }
    case VT_BSTR: {
        if (FAILED(ReadAll(stream, buffer, 4)))
            return E_FAIL;
        const auto length = static_cast<ULONG>(GetLittle(buffer, 4));
        // Bounded before anything is allocated, then checked against what
        // the stream really holds while reading it in small pieces.
        if (length > kMaxVariantText)
            return E_FAIL;
        std::string text;
        char piece[4096];
        for (ULONG left = length; left > 0;) {
            const ULONG n = left < sizeof piece ? left : static_cast<ULONG>(sizeof piece);
            if (FAILED(ReadAll(stream, piece, n)))
                return E_FAIL;
            text.append(piece, n);
            left -= n;
        }
        if (text.find('\0') != std::string::npos)
            return E_FAIL;
        next.bstrVal = CString(text.c_str());
        break;
    }
    default: return E_FAIL;
    }
    value = next;
    return S_OK;
}
