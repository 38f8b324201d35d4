#include "model/CFileStream.h"

#include <algorithm>
#include <climits>
#include <cstring>

#include "model/CKelPersistArchive.h"
#include "model/PersistIo.h"
#include "platform/com/StreamSupport.h"
#include "platform/win/CFile.h"

using namespace mvpersist;

CFileStream::CFileStream(CFile* file, BOOL saving, HRESULT* result) : m_file(file), m_saving(saving ? TRUE : FALSE)
{
    CKelPersistArchive archive(this, m_saving, 1);
    HRESULT hr = E_UNEXPECTED;
    if (m_file && m_file->Seek(0, CFile::current, &m_position) == CFile::none) {
        m_windowStart = m_position;
        hr = GetPosition(this, m_start);
    }
    if (SUCCEEDED(hr)) {
        hr = archive.PersistObject(&m_header);
        if (!m_saving)
            hr = OpenForLoad(hr);
        else if (SUCCEEDED(hr))
            hr = FlushWindow();  // a file that takes nothing says so at once
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
    if (FAILED(hr = archive.PersistObject(&m_header)) || FAILED(hr = FlushWindow()))
        return hr;
    m_closed = TRUE;
    return m_fault;
}

HRESULT CFileStream::WriteFault(CFile::Cause cause)
{
    if (SUCCEEDED(m_fault))
        m_fault = cause == CFile::diskFull ? STG_E_MEDIUMFULL : E_FAIL;
    return m_fault;
}

HRESULT CFileStream::FlushWindow()
{
    if (FAILED(m_fault))
        return m_fault;
    if (m_dirtyEnd <= m_dirtyBegin)
        return S_OK;
    const std::size_t begin = m_dirtyBegin;
    const std::size_t bytes = m_dirtyEnd - m_dirtyBegin;
    m_dirtyBegin = m_dirtyEnd = 0;
    CFile::Cause cause = m_file->Seek(static_cast<LONGLONG>(m_windowStart + begin), CFile::begin, nullptr);
    if (cause == CFile::none)
        cause = m_file->Write(m_window.data() + begin, static_cast<UINT>(bytes));
    return cause == CFile::none ? S_OK : WriteFault(cause);
}

HRESULT CFileStream::MoveWindow(bool fill)
{
    HRESULT hr = FlushWindow();
    if (FAILED(hr))
        return hr;
    m_windowStart = m_position;
    m_windowBytes = 0;
    if (m_window.size() < kWindowBytes)
        m_window.resize(kWindowBytes);
    if (!fill)
        return S_OK;
    UINT got = 0;
    if (m_file->Seek(static_cast<LONGLONG>(m_position), CFile::begin, nullptr) != CFile::none ||
        m_file->Read(m_window.data(), static_cast<UINT>(kWindowBytes), &got) != CFile::none)
        return E_UNEXPECTED;
    m_windowBytes = got;
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
    if (!m_file)
        return E_UNEXPECTED;
    BYTE* out = static_cast<BYTE*>(pv);
    ULONG done = 0;
    while (done < cb) {
        if (m_position >= m_windowStart && m_position < WindowEnd()) {
            const std::size_t at = static_cast<std::size_t>(m_position - m_windowStart);
            const std::size_t n = std::min<std::size_t>(m_windowBytes - at, cb - done);
            std::memcpy(out + done, m_window.data() + at, n);
            done += static_cast<ULONG>(n);
            m_position += n;
            continue;
        }
        const ULONG left = cb - done;
        if (left >= kWindowBytes) {
            // A large block goes straight into the caller's memory.
            if (FAILED(FlushWindow()))
                return E_UNEXPECTED;
            UINT got = 0;
            if (m_file->Seek(static_cast<LONGLONG>(m_position), CFile::begin, nullptr) != CFile::none ||
                m_file->Read(out + done, left, &got) != CFile::none)
                return E_UNEXPECTED;
            done += got;
            m_position += got;
            break;
        }
        if (FAILED(MoveWindow(true)))
            return E_UNEXPECTED;
        if (m_windowBytes == 0)
            break;  // the end of the file
    }
    if (read)
        *read = done;
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
    if (FAILED(m_fault))
        return m_fault;
    // The window takes bytes that continue or overwrite what it holds.
    const bool fits = m_position >= m_windowStart && m_position <= WindowEnd() &&
                      m_position + cb <= m_windowStart + m_window.size();
    if (!fits) {
        HRESULT hr = MoveWindow(false);
        if (FAILED(hr))
            return hr;
        if (cb > m_window.size()) {
            CFile::Cause cause = m_file->Seek(static_cast<LONGLONG>(m_position), CFile::begin, nullptr);
            if (cause == CFile::none)
                cause = m_file->Write(pv, cb);
            if (cause != CFile::none)
                return WriteFault(cause);
            m_position += cb;
            if (written)
                *written = cb;
            return S_OK;
        }
    }
    const std::size_t at = static_cast<std::size_t>(m_position - m_windowStart);
    std::memcpy(m_window.data() + at, pv, cb);
    if (m_dirtyEnd <= m_dirtyBegin) {
        m_dirtyBegin = at;
        m_dirtyEnd = at + cb;
    } else {
        m_dirtyBegin = std::min(m_dirtyBegin, at);
        m_dirtyEnd = std::max(m_dirtyEnd, at + cb);
    }
    m_windowBytes = std::max(m_windowBytes, at + cb);
    m_position += cb;
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
    if (!m_file)
        return E_UNEXPECTED;
    LONGLONG base = 0;
    switch (origin) {
    case STREAM_SEEK_SET: break;
    case STREAM_SEEK_CUR: base = static_cast<LONGLONG>(m_position); break;
    case STREAM_SEEK_END: {
        ULONGLONG length = 0;
        if (m_file->GetLength(&length) != CFile::none)
            return E_UNEXPECTED;
        base = static_cast<LONGLONG>(std::max(length, WindowEnd()));
        break;
    }
    default: return E_UNEXPECTED;
    }
    const LONGLONG at = base + move.QuadPart;
    if (at < 0)
        return E_UNEXPECTED;
    m_position = static_cast<ULONGLONG>(at);
    if (newPosition)
        newPosition->QuadPart = m_position;
    return S_OK;
}

STDMETHODIMP CFileStream::Stat(STATSTG* stat, DWORD flags)
{
    if (!m_file)
        return E_UNEXPECTED;
    return mvcom::FillStreamStat(stat, flags, m_position, u"FileStream");
}
