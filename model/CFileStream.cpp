#include "model/CFileStream.h"

#include <climits>

#include "model/CKelPersistArchive.h"
#include "model/PersistIo.h"
#include "platform/com/StreamSupport.h"
#include "platform/win/CFile.h"

using namespace mvpersist;

CFileStream::CFileStream(CFile* file, BOOL saving, HRESULT* result) : m_file(file), m_saving(saving ? TRUE : FALSE)
{
    CKelPersistArchive archive(this, m_saving, 1);
    HRESULT hr = GetPosition(this, m_start);
    if (SUCCEEDED(hr)) {
        hr = archive.PersistObject(&m_header);
        if (!m_saving)
            hr = OpenForLoad(hr);
    }
    if (result)
        *result = hr;
}

HRESULT CFileStream::OpenForLoad(HRESULT headerResult)
{
    // Whatever went wrong with the header, the caller may go on reading the
    // file as a plain sequence of chunks: it starts at the beginning.
    if (FAILED(headerResult)) {
        HRESULT hr = SeekTo(this, m_start);
        if (headerResult == STG_E_INVALIDHEADER)
            return FAILED(hr) ? hr : S_FALSE;
        return headerResult;
    }

    ULONGLONG afterHeader = 0;
    HRESULT hr = GetPosition(this, afterHeader);
    if (FAILED(hr))
        return hr;
    hr = SeekTo(this, m_header.GetContextPosition());
    if (SUCCEEDED(hr)) {
        CKelPersistArchive archive(this, FALSE, 1);
        hr = archive.PersistObject(&m_context);
    }
    // A directory read only in part would send objects to wrong places:
    // without it they are read where the stream stands.
    if (FAILED(hr))
        m_context.Clear();
    HRESULT hrBack = SeekTo(this, afterHeader);
    return FAILED(hr) ? hr : hrBack;
}

CFileStream::~CFileStream() { Close(); }

HRESULT CFileStream::Close()
{
    if (!m_saving || m_closed)
        return S_OK;
    CKelPersistArchive archive(this, TRUE, 1);
    ULONGLONG end = 0;
    HRESULT hr = GetPosition(this, end);
    if (FAILED(hr))
        return hr;
    m_header.SetContextPosition(end);
    if (FAILED(hr = archive.PersistObject(&m_context)))
        return hr;
    if (FAILED(hr = SeekTo(this, m_start)))
        return hr;
    if (FAILED(hr = archive.PersistObject(&m_header)))
        return hr;
    m_closed = TRUE;
    return S_OK;
}

STDMETHODIMP CFileStream::QueryInterface(REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    if (riid == IID_IKelStreamContext) {
        *ppv = static_cast<IKelStreamContext*>(&m_context);
        m_context.AddRef();
        return S_OK;
    }
    if (riid == IID_IUnknown || riid == IID_IStream) {
        *ppv = static_cast<IStream*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) CFileStream::AddRef() { return 1; }

STDMETHODIMP_(ULONG) CFileStream::Release() { return 0; }

STDMETHODIMP CFileStream::Read(void* pv, ULONG cb, ULONG* read)
{
    if (read)
        *read = 0;
    if (!pv)
        return STG_E_INVALIDPOINTER;
    UINT got = 0;
    if (!m_file || m_file->Read(pv, cb, &got) != CFile::none)
        return E_UNEXPECTED;
    if (read)
        *read = got;
    return S_OK;
}

STDMETHODIMP CFileStream::Write(const void* pv, ULONG cb, ULONG* written)
{
    if (written)
        *written = 0;
    if (!pv)
        return STG_E_INVALIDPOINTER;
    if (!m_file)
        return E_FAIL;
    const CFile::Cause cause = m_file->Write(pv, cb);
    if (cause == CFile::diskFull)
        return STG_E_MEDIUMFULL;
    if (cause != CFile::none)
        return E_FAIL;
    if (written)
        *written = cb;
    return S_OK;
}

STDMETHODIMP CFileStream::Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition)
{
    // Only moves that fit a signed 32-bit value: a larger one is refused
    // rather than cut to a move of another size or direction.
    if (move.QuadPart < INT_MIN || move.QuadPart > INT_MAX)
        return E_NOTIMPL;
    ULONGLONG at = 0;
    if (!m_file || m_file->Seek(move.QuadPart, origin, &at) != CFile::none)
        return E_UNEXPECTED;
    if (newPosition)
        newPosition->QuadPart = at;
    return S_OK;
}

STDMETHODIMP CFileStream::Stat(STATSTG* stat, DWORD flags)
{
    ULONGLONG position = 0;
    if (!m_file || m_file->Seek(0, CFile::current, &position) != CFile::none)
        return E_UNEXPECTED;
    return mvcom::FillStreamStat(stat, flags, position, u"FileStream");
}
