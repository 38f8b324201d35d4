#include "model/CKelStreamContext.h"

#include <cstring>

#include "model/CKelPersistArchive.h"

namespace {

constexpr ULONG kEntryBytes = 2 + 4 + 8;  // major, ordinal, position

}  // namespace

CKelStreamContext::CKelStreamContext() : CKelPersistObject(0x00010000) {}

STDMETHODIMP CKelStreamContext::QueryInterface(REFIID riid, void** ppv)
{
    if (ppv && riid == IID_IKelStreamContext) {
        *ppv = static_cast<IKelStreamContext*>(this);
        AddRef();
        return S_OK;
    }
    return CKelPersistObject::QueryInterface(riid, ppv);
}

STDMETHODIMP_(ULONG) CKelStreamContext::AddRef() { return CKelPersistObject::AddRef(); }

STDMETHODIMP_(ULONG) CKelStreamContext::Release() { return CKelPersistObject::Release(); }

STDMETHODIMP CKelStreamContext::SetMode(DWORD mode)
{
    m_mode = mode;
    return S_OK;
}

STDMETHODIMP CKelStreamContext::GetMode(DWORD* mode)
{
    if (!mode)
        return E_INVALIDARG;
    *mode = m_mode;
    return S_OK;
}

STDMETHODIMP CKelStreamContext::FindChunk(WORD major, DWORD ordinal, ULONGLONG* position)
{
    if (!position)
        return E_INVALIDARG;
    auto it = m_directory.find(Key(major, ordinal));
    if (it == m_directory.end())
        return E_FAIL;
    *position = it->second;
    return S_OK;
}

STDMETHODIMP CKelStreamContext::AddChunk(WORD major, ULONGLONG position, DWORD* ordinal)
{
    const DWORD next = m_counters[major]++;
    if (!m_directory.emplace(Key(major, next), position).second)
        return E_FAIL;
    if (ordinal)
        *ordinal = next;
    return S_OK;
}

STDMETHODIMP CKelStreamContext::RemoveChunk(WORD major, DWORD ordinal)
{
    return m_directory.erase(Key(major, ordinal)) ? S_OK : S_FALSE;
}

STDMETHODIMP CKelStreamContext::Clear()
{
    m_directory.clear();
    m_counters.clear();
    return S_OK;
}

STDMETHODIMP CKelStreamContext::NextOrdinal(WORD major, DWORD* ordinal)
{
    if (!ordinal)
        return E_INVALIDARG;
    *ordinal = m_counters[major]++;
    return S_OK;
}

STDMETHODIMP CKelStreamContext::PersistChunk(DWORD versionWord, CKelPersistArchive* archive)
{
    if (KelVersionIndex(versionWord) != 0)
        return S_OK;

    BYTE entry[kEntryBytes];
    if (archive->IsSaving()) {
        DWORD count = static_cast<DWORD>(m_directory.size());
        HRESULT hr = archive->PersistBytes(sizeof count, &count);
        for (auto it = m_directory.begin(); it != m_directory.end() && SUCCEEDED(hr); ++it) {
            std::memcpy(entry, &it->first.first, 2);
            std::memcpy(entry + 2, &it->first.second, 4);
            std::memcpy(entry + 6, &it->second, 8);
            hr = archive->PersistBytes(kEntryBytes, entry);
        }
        return hr;
    }

    m_directory.clear();
    m_counters.clear();
    DWORD count = 0;
    HRESULT hr = archive->PersistBytes(sizeof count, &count);
    if (FAILED(hr))
        return hr;
    // The count is checked against what the chunk holds before any entry
    // is inserted.
    if (FAILED(hr = archive->CheckRemaining(static_cast<ULONGLONG>(count) * kEntryBytes)))
        return hr;
    for (DWORD i = 0; i < count; ++i) {
        if (FAILED(hr = archive->PersistBytes(kEntryBytes, entry)))
            return hr;
        WORD major = 0;
        DWORD ordinal = 0;
        ULONGLONG position = 0;
        std::memcpy(&major, entry, 2);
        std::memcpy(&ordinal, entry + 2, 4);
        std::memcpy(&position, entry + 6, 8);
        if (!m_directory.emplace(Key(major, ordinal), position).second)
            return E_FAIL;
    }
    return S_OK;
}
