#include "model/CKelPersistArchive.h"

#include <algorithm>
#include <string>

#include "model/NullWriteStream.h"
#include "model/PersistIo.h"

using namespace mvpersist;

namespace {

// Strings are read in pieces of this size, so that even where no chunk bounds
// the read, memory grows only with bytes that really arrive.
constexpr ULONG kStringPiece = 64 * 1024;

}  // namespace

CKelPersistArchive::CKelPersistArchive(IStream* stream, BOOL saving, BOOL clearDirty)
    : m_stream(stream), m_measure(nullptr), m_saving(saving ? TRUE : FALSE), m_clearDirty(clearDirty)
{
    if (m_stream)
        m_stream->AddRef();
}

CKelPersistArchive::CKelPersistArchive(NullWriteStream* measure, BOOL clearDirty)
    : m_stream(measure), m_measure(measure), m_saving(TRUE), m_clearDirty(clearDirty)
{
    if (m_stream)
        m_stream->AddRef();
}

CKelPersistArchive::~CKelPersistArchive()
{
    if (m_stream)
        m_stream->Release();
}

void CKelPersistArchive::BoundToChunk(ULONGLONG payloadBytes)
{
    m_bounded = true;
    m_left = payloadBytes;
}

HRESULT CKelPersistArchive::CheckRemaining(ULONGLONG bytes)
{
    if (m_saving || !m_bounded)
        return S_OK;
    return bytes <= m_left ? S_OK : STG_E_READFAULT;
}

HRESULT CKelPersistArchive::Consume(ULONGLONG bytes)
{
    HRESULT hr = CheckRemaining(bytes);
    if (SUCCEEDED(hr) && m_bounded && !m_saving)
        m_left -= bytes;
    return hr;
}

HRESULT CKelPersistArchive::PersistBytes(ULONG size, void* address)
{
    if (!m_stream)
        return E_FAIL;
    if (!address)
        return E_POINTER;
    if (m_saving)
        return WriteAll(m_stream, address, size);
    HRESULT hr = Consume(size);
    return SUCCEEDED(hr) ? ReadAll(m_stream, address, size) : hr;
}

HRESULT CKelPersistArchive::PersistString(CString* text)
{
    if (!m_stream)
        return E_FAIL;
    if (m_saving) {
        if (!text) {
            const DWORD none = 0;
            return WriteAll(m_stream, &none, sizeof none);
        }
        // A length that would read back as negative could not be loaded.
        const std::size_t length = text->Str().size();
        if (length >= 0x7FFFFFFFu)
            return E_INVALIDARG;
        const DWORD n = static_cast<DWORD>(length + 1);
        HRESULT hr = WriteAll(m_stream, &n, sizeof n);
        if (FAILED(hr))
            return hr;
        return WriteAll(m_stream, text->GetString(), n);
    }

    if (!text)
        return E_POINTER;
    DWORD n = 0;
    HRESULT hr = PersistBytes(sizeof n, &n);
    if (FAILED(hr))
        return hr;
    if (static_cast<LONG>(n) <= 0) {
        text->Empty();
        return S_OK;
    }
    if (FAILED(hr = Consume(n)))
        return hr;
    std::string bytes;
    while (bytes.size() < n) {
        const std::size_t have = bytes.size();
        const ULONG piece = static_cast<ULONG>(std::min<std::size_t>(kStringPiece, n - have));
        bytes.resize(have + piece);
        if (FAILED(hr = ReadAll(m_stream, bytes.data() + have, piece)))
            return hr;
    }
    // The stored bytes are a zero-terminated text: anything after the first
    // zero is not part of it.
    *text = CString(bytes.c_str());
    return S_OK;
}

HRESULT CKelPersistArchive::PersistBool(BOOL* value)
{
    if (!m_stream)
        return E_FAIL;
    if (!value)
        return E_POINTER;
    BYTE b = 0;
    if (m_saving) {
        b = *value ? 1 : 0;
        return WriteAll(m_stream, &b, 1);
    }
    HRESULT hr = PersistBytes(1, &b);
    if (SUCCEEDED(hr))
        *value = b;
    return hr;
}

HRESULT CKelPersistArchive::PersistObject(IPersistStreamInit* object)
{
    if (!m_stream)
        return E_FAIL;
    if (!object)
        return E_POINTER;
    if (m_saving)
        return object->Save(m_stream, m_clearDirty);
    if (!m_bounded)
        return object->Load(m_stream);
    // The child reads its own chunk straight from the stream; what it took
    // is measured by position and must lie inside this chunk.
    ULONGLONG before = 0;
    HRESULT hr = BeginMeasuredRead(&before);
    if (FAILED(hr))
        return hr;
    return EndMeasuredRead(before, object->Load(m_stream));
}

HRESULT CKelPersistArchive::BeginMeasuredRead(ULONGLONG* before) { return GetPosition(m_stream, *before); }

HRESULT CKelPersistArchive::EndMeasuredRead(ULONGLONG before, HRESULT childResult)
{
    if (FAILED(childResult))
        return childResult;
    ULONGLONG after = 0;
    HRESULT hrPos = GetPosition(m_stream, after);
    if (FAILED(hrPos))
        return hrPos;
    if (after < before)
        return STG_E_READFAULT;
    HRESULT hrLeft = Consume(after - before);
    return FAILED(hrLeft) ? hrLeft : childResult;
}
