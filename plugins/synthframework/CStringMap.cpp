#include "plugins/synthframework/CStringMap.h"

#include <algorithm>
#include <cstring>

namespace mvsynth {

namespace {
// Copies at most size - 1 characters and a terminator.
void CopyCut(const std::string& text, char* buffer, LONG size)
{
    if (size <= 0)
        return;
    const std::size_t n = std::min(text.size(), static_cast<std::size_t>(size - 1));
    std::memcpy(buffer, text.data(), n);
    buffer[n] = 0;
}
}  // namespace

CStringMap::CStringMap(std::string title, LONG size) : m_title(std::move(title)), m_size(size) {}

HRESULT CStringMap::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IMfxNameList) ||
        IsEqualGUID(riid, IID_IMfxNameList2)) {
        *ppv = static_cast<IMfxNameList2*>(this);
        AddRef();
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

ULONG CStringMap::Release()
{
    const ULONG left = --m_refCount;
    if (left == 0)
        delete this;
    return left;
}

HRESULT CStringMap::GetTitle(char* buffer, LONG size)
{
    if (!buffer)
        return E_POINTER;
    CopyCut(m_title, buffer, size);
    return S_OK;
}

HRESULT CStringMap::GetSize(LONG* size)
{
    if (!size)
        return E_POINTER;
    *size = m_size;
    return S_OK;
}

HRESULT CStringMap::GetNameAt(LONG index, char* buffer, LONG size)
{
    if (!buffer || size <= 0)
        return E_POINTER;
    if (index < 0 || index >= m_size)
        return E_INVALIDARG;
    auto it = m_names.find(static_cast<DWORD>(index));
    CopyCut(it == m_names.end() ? std::string() : it->second, buffer, size);
    return S_OK;
}

HRESULT CStringMap::GetNameCount(LONG* count)
{
    if (!count)
        return E_POINTER;
    *count = static_cast<LONG>(m_names.size());
    return S_OK;
}

HRESULT CStringMap::LookupName(LONG key, char* buffer, LONG size)
{
    if (!buffer || size <= 0)
        return E_POINTER;
    auto it = m_names.find(static_cast<DWORD>(key));
    if (it == m_names.end())
        return S_FALSE;
    CopyCut(it->second, buffer, size);
    return S_OK;
}

}  // namespace mvsynth
