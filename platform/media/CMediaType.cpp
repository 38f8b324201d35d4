#include "platform/media/CMediaType.h"

#include <cstring>

#include "platform/com/TaskMemory.h"

namespace {

BYTE* AllocTaskBytes(ULONG n) { return static_cast<BYTE*>(CoTaskMemAlloc(n ? n : 1)); }

}  // namespace

void FreeMediaType(AM_MEDIA_TYPE& mt)
{
    if (mt.cbFormat != 0 || mt.pbFormat) {
        CoTaskMemFree(mt.pbFormat);
        mt.cbFormat = 0;
        mt.pbFormat = nullptr;
    }
    if (mt.pUnk) {
        mt.pUnk->Release();
        mt.pUnk = nullptr;
    }
}

void DeleteMediaType(AM_MEDIA_TYPE* mt)
{
    if (!mt)
        return;
    FreeMediaType(*mt);
    CoTaskMemFree(mt);
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source)
{
    if (!target || !source)
        return E_POINTER;
    *target = *source;
    if (source->cbFormat != 0 && source->pbFormat) {
        target->pbFormat = AllocTaskBytes(source->cbFormat);
        if (!target->pbFormat) {
            target->cbFormat = 0;
            target->pUnk = nullptr;
            return E_OUTOFMEMORY;
        }
        std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
    } else {
        target->cbFormat = 0;
        target->pbFormat = nullptr;
    }
    if (target->pUnk)
        target->pUnk->AddRef();
    return S_OK;
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source)
{
    auto* mt = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (!mt)
        return nullptr;
    if (!source) {
        std::memset(mt, 0, sizeof(*mt));
        return mt;
    }
    if (FAILED(CopyMediaType(mt, source))) {
        CoTaskMemFree(mt);
        return nullptr;
    }
    return mt;
}

CMediaType::CMediaType() : AM_MEDIA_TYPE{} { InitMediaType(); }

CMediaType::CMediaType(const AM_MEDIA_TYPE& other) : AM_MEDIA_TYPE{} { Set(other); }

CMediaType::CMediaType(const CMediaType& other) : AM_MEDIA_TYPE{} { Set(other); }

CMediaType::~CMediaType() { FreeMediaType(*this); }

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& other)
{
    Set(other);
    return *this;
}

CMediaType& CMediaType::operator=(const CMediaType& other)
{
    Set(other);
    return *this;
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& other)
{
    if (&other == this)
        return S_OK;
    FreeMediaType(*this);
    HRESULT hr = CopyMediaType(this, &other);
    if (FAILED(hr))
        InitMediaType();
    return hr;
}

void CMediaType::InitMediaType()
{
    FreeMediaType(*this);
    std::memset(static_cast<AM_MEDIA_TYPE*>(this), 0, sizeof(AM_MEDIA_TYPE));
    bFixedSizeSamples = TRUE;
    lSampleSize = 1;
}

bool CMediaType::operator==(const CMediaType& other) const
{
    return IsEqualGUID(majortype, other.majortype) && IsEqualGUID(subtype, other.subtype) &&
           IsEqualGUID(formattype, other.formattype) && cbFormat == other.cbFormat &&
           (cbFormat == 0 || std::memcmp(pbFormat, other.pbFormat, cbFormat) == 0);
}

bool CMediaType::IsPartiallySpecified() const
{
    return IsEqualGUID(majortype, GUID_NULL) || IsEqualGUID(formattype, GUID_NULL);
}

bool CMediaType::MatchesPartial(const CMediaType* other) const
{
    if (!IsEqualGUID(majortype, GUID_NULL) && !IsEqualGUID(majortype, other->majortype))
        return false;
    if (!IsEqualGUID(subtype, GUID_NULL) && !IsEqualGUID(subtype, other->subtype))
        return false;
    if (!IsEqualGUID(formattype, GUID_NULL)) {
        if (!IsEqualGUID(formattype, other->formattype) || cbFormat != other->cbFormat)
            return false;
        if (cbFormat != 0 && std::memcmp(pbFormat, other->pbFormat, cbFormat) != 0)
            return false;
    }
    return true;
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length)
{
    ResetFormatBuffer();
    pbFormat = AllocTaskBytes(length);
    cbFormat = pbFormat ? length : 0;
    return pbFormat;
}

bool CMediaType::SetFormat(const BYTE* format, ULONG length)
{
    if (!AllocFormatBuffer(length))
        return false;
    if (length)
        std::memcpy(pbFormat, format, length);
    return true;
}

void CMediaType::ResetFormatBuffer()
{
    CoTaskMemFree(pbFormat);
    pbFormat = nullptr;
    cbFormat = 0;
}
