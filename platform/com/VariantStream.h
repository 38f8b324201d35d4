// Variants in a stream, as property pages save their values: each variant
// is a 16-bit little-endian type word followed by its payload:
//   VT_EMPTY, VT_NULL   nothing
//   VT_I4               4 bytes, little-endian two's complement
//   VT_R8               8 bytes, the IEEE 754 double, little-endian
//   VT_BOOL             2 bytes, VARIANT_TRUE (-1) or VARIANT_FALSE (0)
//   VT_BSTR             a 32-bit little-endian byte count, then the bytes
//                       (no terminator), at most kMaxVariantText
// Reading checks every length against what the stream holds and refuses an
// unknown type word, a text over the limit or a stream that ends early
// (E_FAIL; the variant is left as it was). Any thread.
#pragma once

#include "platform/com/Stream.h"
#include "platform/com/Variant.h"

constexpr ULONG kMaxVariantText = 1u << 20;

HRESULT WriteVariant(IStream* stream, const VARIANT& value);
HRESULT ReadVariant(IStream* stream, VARIANT& value);
// The bytes WriteVariant writes for `value` (its size in a stream).
ULONG VariantStreamSize(const VARIANT& value);
