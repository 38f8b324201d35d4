#include "model/CKelPersistStream.h"

#include <cstring>

#include "model/IKelPersist.h"
#include "model/IKelStreamContext.h"
#include "model/PersistIo.h"

using namespace mvpersist;

namespace {

constexpr ULONGLONG kHeaderBytes = 12;  // u64 length + u32 version word

// Holds the object's borrowed lock, when it has one, for a whole operation.
class LockGuard {
public:
    explicit LockGuard(CRITICAL_SECTION* lock) : m_lock(lock)
    {
        if (m_lock)
            EnterCriticalSection(m_lock);
    }
    ~LockGuard()
    {
        if (m_lock)
            LeaveCriticalSection(m_lock);
    }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

private:
    CRITICAL_SECTION* m_lock;
};

// Writes a chunk header whose length is the placeholder 8 and returns where
// the chunk starts; EndChunk patches the length once the payload is written.
HRESULT BeginChunk(IStream* stream, DWORD versionWord, ULONGLONG& start)
{
    HRESULT hr = GetPosition(stream, start);
    if (FAILED(hr))
        return hr;
    BYTE header[kHeaderBytes];
    const ULONGLONG placeholder = 8;
    std::memcpy(header, &placeholder, 8);
    std::memcpy(header + 8, &versionWord, 4);
    return WriteAll(stream, header, sizeof header);
}

// The stream must stand exactly `length` bytes past the chunk's start: a
// payload writer that moved elsewhere would leave a chunk whose length lies.
HRESULT EndChunk(IStream* stream, ULONGLONG start, ULONGLONG length)
{
    ULONGLONG end = 0;
    HRESULT hr = GetPosition(stream, end);
    if (FAILED(hr))
        return hr;
    if (end < start || end - start != length)
        return STG_E_WRITEFAULT;
    if (FAILED(hr = SeekTo(stream, start)))
        return hr;
    if (FAILED(hr = WriteAll(stream, &length, sizeof length)))
        return hr;
    return SeekTo(stream, end);
}

// Reads a chunk header. A length that cannot hold its own header, or that no
// seek could pass over, is a broken header rather than a length to trust.
HRESULT ReadChunkHeader(IStream* stream, ULONGLONG& length, DWORD& versionWord)
{
    BYTE header[kHeaderBytes];
    HRESULT hr = ReadAll(stream, header, sizeof header);
    if (FAILED(hr))
        return hr;
    std::memcpy(&length, header, 8);
    std::memcpy(&versionWord, header + 8, 4);
    if (length < kHeaderBytes || length > static_cast<ULONGLONG>(INT64_MAX))
        return STG_E_INVALIDHEADER;
    return S_OK;
}

}  // namespace

CKelPersistStream::CKelPersistStream(DWORD versionWord, CRITICAL_SECTION* lock, WORD firstChunk)
    : m_dirty(0),
      m_major(KelVersionMajor(versionWord)),
      m_minor(KelVersionIndex(versionWord)),
      m_firstChunk(firstChunk),
      m_lock(lock)
{
}

CKelPersistStream::CKelPersistStream(const CKelPersistStream& other)
    : m_dirty(other.m_dirty),
      m_major(other.m_major),
      m_minor(other.m_minor),
      m_firstChunk(other.m_firstChunk),
      m_lock(other.m_lock)
{
}

CKelPersistStream& CKelPersistStream::operator=(const CKelPersistStream& other)
{
    m_dirty = other.m_dirty;
    m_major = other.m_major;
    m_minor = other.m_minor;
    m_firstChunk = other.m_firstChunk;
    m_lock = other.m_lock;
    return *this;
}

CKelPersistStream::~CKelPersistStream() = default;

STDMETHODIMP CKelPersistStream::GetClassID(CLSID* clsid)
{
    if (!clsid)
        return E_POINTER;
    *clsid = GUID_NULL;
    return S_FALSE;
}

STDMETHODIMP CKelPersistStream::IsDirty()
{
    LockGuard guard(m_lock);
    return m_dirty ? S_OK : S_FALSE;
}

STDMETHODIMP CKelPersistStream::InitNew() { return S_OK; }

STDMETHODIMP_(BOOL) CKelPersistStream::IsSequentialOnly() { return TRUE; }

HRESULT CKelPersistStream::CheckVersion(DWORD versionWord) const
{
    if (KelVersionMajor(versionWord) != m_major || KelVersionIndex(versionWord) > m_minor)
        return E_INVALIDARG;
    return S_OK;
}

HRESULT CKelPersistStream::SaveSubChunk(IStream* stream, DWORD versionWord, BOOL clearDirty, ULONGLONG* chunkLength)
{
    ULONGLONG start = 0;
    HRESULT hr = BeginChunk(stream, versionWord, start);
    if (FAILED(hr))
        return hr;
    ULONGLONG payload = 0;
    if (FAILED(hr = SaveChunk(versionWord, stream, &payload, clearDirty)))
        return hr;
    *chunkLength = kHeaderBytes + payload;
    return EndChunk(stream, start, *chunkLength);
}

STDMETHODIMP CKelPersistStream::Save(IStream* stream, BOOL clearDirty)
{
    if (!stream)
        return STG_E_INVALIDPOINTER;
    LockGuard guard(m_lock);

    const DWORD word = GetVersionWord();
    ULONGLONG start = 0;
    HRESULT hr = BeginChunk(stream, word, start);
    if (FAILED(hr))
        return hr;

    // Objects found again by position record where their chunk starts; the
    // sequential ones never ask, which keeps the common save free of lookups.
    if (!IsSequentialOnly()) {
        IKelStreamContext* context = nullptr;
        if (SUCCEEDED(stream->QueryInterface(IID_IKelStreamContext, reinterpret_cast<void**>(&context))) && context) {
            hr = context->AddChunk(m_major, start, nullptr);
            context->Release();
            if (FAILED(hr))
                return hr;
        }
    }

    ULONGLONG length = kHeaderBytes;
    if (m_firstChunk >= m_minor) {
        ULONGLONG payload = 0;
        if (FAILED(hr = SaveChunk(word, stream, &payload, clearDirty)))
            return hr;
        length += payload;
    } else {
        for (DWORD index = m_firstChunk; index <= m_minor; ++index) {
            ULONGLONG subLength = 0;
            hr = SaveSubChunk(stream, MakeKelVersionWord(m_major, static_cast<WORD>(index)), clearDirty, &subLength);
            if (FAILED(hr))
                return hr;
            length += subLength;
        }
    }
    if (FAILED(hr = EndChunk(stream, start, length)))
        return hr;
    if (clearDirty == 1)
        m_dirty = 0;
    return S_OK;
}

STDMETHODIMP CKelPersistStream::Load(IStream* stream)
{
    if (!stream)
        return STG_E_INVALIDPOINTER;
    if (!IsSequentialOnly()) {
        IKelStreamContext* context = nullptr;
        if (SUCCEEDED(stream->QueryInterface(IID_IKelStreamContext, reinterpret_cast<void**>(&context))) && context) {
            DWORD mode = 0;
            DWORD ordinal = 0;
            HRESULT hr = S_OK;
            if (SUCCEEDED(context->GetMode(&mode)) && mode == 1)
                hr = context->NextOrdinal(m_major, &ordinal);
            context->Release();
            if (FAILED(hr))
                return hr;
            if (mode == 1)
                return LoadFromContext(stream, ordinal, FALSE);
        }
    }
    return LoadChunks(stream);
}

HRESULT CKelPersistStream::LoadChunks(IStream* stream)
{
    LockGuard guard(m_lock);

    ULONGLONG length = 0;
    DWORD word = 0;
    HRESULT hr = ReadChunkHeader(stream, length, word);
    if (FAILED(hr))
        return hr;
    if (KelVersionMajor(word) != m_major)
        return STG_E_INVALIDHEADER;
    ULONGLONG remaining = length - kHeaderBytes;
    const WORD storedMinor = KelVersionIndex(word);

    if (storedMinor <= m_firstChunk)
        return LoadChunk(word, stream, remaining);

    // Sub-chunks. Each one is checked against what is left of the outer chunk
    // before it is read or skipped, so a broken length can neither seek
    // backwards nor run past the outer chunk, and every pass consumes at least
    // one header: the loop always ends.
    WORD index = 0;
    do {
        ULONGLONG subLength = 0;
        DWORD subWord = 0;
        if (FAILED(hr = ReadChunkHeader(stream, subLength, subWord)))
            return hr;
        if (subLength > remaining)
            return STG_E_INVALIDHEADER;
        remaining -= subLength;
        index = KelVersionIndex(subWord);
        if (KelVersionMajor(subWord) != m_major || index > storedMinor)
            return STG_E_INVALIDHEADER;
        const ULONGLONG payload = subLength - kHeaderBytes;
        if (index > m_minor) {
            // Written by a newer format: skip it.
            LARGE_INTEGER move{};
            move.QuadPart = static_cast<LONGLONG>(payload);
            ULARGE_INTEGER now{};
            hr = stream->Seek(move, STREAM_SEEK_CUR, &now);
        } else {
            hr = LoadChunk(subWord, stream, payload);
        }
        if (FAILED(hr))
            return hr;
    } while (index < storedMinor);

    if (remaining != 0)
        return STG_E_UNKNOWN;
    m_dirty = 0;
    return hr;
}

STDMETHODIMP CKelPersistStream::LoadFromContext(IStream* stream, DWORD ordinal, BOOL restorePosition)
{
    if (!stream)
        return STG_E_INVALIDPOINTER;
    IKelStreamContext* context = nullptr;
    if (FAILED(stream->QueryInterface(IID_IKelStreamContext, reinterpret_cast<void**>(&context))) || !context)
        return S_OK;
    if (IsSequentialOnly()) {
        context->Release();
        return LoadChunks(stream);
    }

    ULONGLONG remembered = 0;
    HRESULT hr = S_OK;
    if (restorePosition && FAILED(hr = GetPosition(stream, remembered))) {
        context->Release();
        return hr;
    }
    ULONGLONG position = 0;
    const bool found = SUCCEEDED(context->FindChunk(m_major, ordinal, &position));
    context->Release();
    if (found && FAILED(hr = SeekTo(stream, position)))
        return hr;
    if (FAILED(hr = LoadChunks(stream)))
        return hr;
    if (restorePosition)
        return SeekTo(stream, remembered);
    return hr;
}

STDMETHODIMP CKelPersistStream::GetSizeMax(ULARGE_INTEGER* size)
{
    if (!size)
        return E_POINTER;
    LockGuard guard(m_lock);

    // Counted exactly as Save writes: every chunk's header, and every
    // sub-chunk also when its payload is empty.
    ULONGLONG total = kHeaderBytes;
    HRESULT hr = S_OK;
    if (m_firstChunk >= m_minor) {
        ULONGLONG payload = 0;
        hr = MeasureChunk(GetVersionWord(), &payload);
        total += payload;
    } else {
        for (DWORD index = m_firstChunk; index <= m_minor && SUCCEEDED(hr); ++index) {
            ULONGLONG payload = 0;
            hr = MeasureChunk(MakeKelVersionWord(m_major, static_cast<WORD>(index)), &payload);
            total += kHeaderBytes + payload;
        }
    }
    if (FAILED(hr))
        return hr;
    size->QuadPart = total;
    return hr;
}
