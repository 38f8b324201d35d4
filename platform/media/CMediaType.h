// A media type that owns its format block: copies are deep, destruction frees
// the block and releases pUnk. Also the helpers for the bare AM_MEDIA_TYPE
// blocks that pins and enumerators hand across interfaces: such a block and
// its format are task memory (CoTaskMemAlloc), freed with FreeMediaType /
// DeleteMediaType.
#pragma once

#include "platform/media/MediaTypes.h"

// Frees the format block and releases pUnk; the structure itself stays.
void FreeMediaType(AM_MEDIA_TYPE& mt);
// FreeMediaType and then the structure made by CreateMediaType. Null is allowed.
void DeleteMediaType(AM_MEDIA_TYPE* mt);
// Deep copy into an empty (or freed) target. E_OUTOFMEMORY leaves it empty.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);
// A new deep copy, or null when memory runs out.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);

class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    CMediaType(const AM_MEDIA_TYPE& other);
    CMediaType(const CMediaType& other);
    ~CMediaType();
    CMediaType& operator=(const AM_MEDIA_TYPE& other);
    CMediaType& operator=(const CMediaType& other);

    // Same major type, subtype, format type and format bytes.
    bool operator==(const CMediaType& other) const;
    bool operator!=(const CMediaType& other) const { return !(*this == other); }

    HRESULT Set(const AM_MEDIA_TYPE& other);
    // Back to the empty type: every GUID null, no format block.
    void InitMediaType();
    bool IsValid() const { return !IsEqualGUID(majortype, GUID_NULL); }
    // A type with a null major type or format type only names a family.
    bool IsPartiallySpecified() const;
    // This (possibly partial) type admits `other`: every non-null GUID equal,
    // and the format bytes equal when this one has a format block.
    bool MatchesPartial(const CMediaType* other) const;

    BYTE* Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }
    // Replaces the format block with `length` uninitialised bytes; null when
    // memory runs out (the type then has no format block).
    BYTE* AllocFormatBuffer(ULONG length);
    bool SetFormat(const BYTE* format, ULONG length);
    void ResetFormatBuffer();
};
