#include "model/CSMFFile.h"

#include <cstring>
#include <new>

#include "platform/win/CFile.h"

namespace {

HRESULT FromCause(CFile::Cause cause)
{
    switch (cause) {
    case CFile::none: return S_OK;
    case CFile::fileNotFound: return STG_E_FILENOTFOUND;
    case CFile::accessDenied: return STG_E_ACCESSDENIED;
    default: return STG_E_READFAULT;
    }
}

std::string TitleOf(const char* path)
{
    const std::string p(path);
    const std::size_t slash = p.find_last_of("/\\");
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

}  // namespace

HRESULT CSMFFile::Open(const char* path)
{
    if (path == nullptr)
        return E_POINTER;
    CFile file;
    HRESULT hr = FromCause(file.Open(path, CFile::modeRead));
    if (FAILED(hr))
        return hr;
    ULONGLONG length = 0;
    if (FAILED(hr = FromCause(file.GetLength(&length))))
        return hr;
    if (length > kMaxSize)
        return STG_E_DOCFILETOOLARGE;
    std::vector<BYTE> bytes;
    try {
        bytes.resize(static_cast<std::size_t>(length));
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    UINT read = 0;
    if (FAILED(hr = FromCause(file.Read(bytes.data(), static_cast<UINT>(length), &read))))
        return hr;
    // A file that shrank since its length was taken is read as it is now.
    bytes.resize(read);
    m_bytes = std::move(bytes);
    m_position = 0;
    m_title = TitleOf(path);
    return S_OK;
}

HRESULT CSMFFile::SetContents(const BYTE* data, ULONGLONG size, const char* title)
{
    if (data == nullptr && size > 0)
        return E_POINTER;
    if (size > kMaxSize)
        return STG_E_DOCFILETOOLARGE;
    try {
        m_bytes.assign(data, data + size);
        m_title = title ? title : "";
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    m_position = 0;
    return S_OK;
}

HRESULT CSMFFile::Read(void* buffer, DWORD count)
{
    if (count > GetRemaining())
        return STG_E_READFAULT;
    if (count > 0)
        std::memcpy(buffer, GetCurrent(), count);
    m_position += count;
    return S_OK;
}

HRESULT CSMFFile::Seek(LONGLONG offset, SeekFrom from)
{
    // Offsets beyond the largest file are out of place anyway; refusing
    // them first keeps the sum below from overflowing.
    if (offset < -static_cast<LONGLONG>(kMaxSize) || offset > static_cast<LONGLONG>(kMaxSize))
        return STG_E_INVALIDFUNCTION;
    const LONGLONG target = (from == begin ? 0 : static_cast<LONGLONG>(m_position)) + offset;
    if (target < 0 || static_cast<ULONGLONG>(target) > GetLength())
        return STG_E_INVALIDFUNCTION;
    m_position = static_cast<ULONGLONG>(target);
    return S_OK;
}
