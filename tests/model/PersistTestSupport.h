// Helpers for the persistence tests: memory streams made from and read back
// into byte vectors, little-endian byte builders, and a stream that takes
// fewer bytes than asked once a budget is used up.
#pragma once

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "model/CBasicStream.h"
#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"

namespace mvtest {

using Bytes = std::vector<BYTE>;

inline mvcom::CComPtr<IStream> NewMemoryStream()
{
    mvcom::CComPtr<IStream> stream;
    EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
    return stream;
}

inline HRESULT SeekStream(IStream* stream, LONGLONG move, DWORD origin = STREAM_SEEK_SET)
{
    LARGE_INTEGER m{};
    m.QuadPart = move;
    ULARGE_INTEGER at{};
    return stream->Seek(m, origin, &at);
}

inline ULONGLONG StreamPosition(IStream* stream)
{
    LARGE_INTEGER zero{};
    ULARGE_INTEGER at{};
    EXPECT_EQ(S_OK, stream->Seek(zero, STREAM_SEEK_CUR, &at));
    return at.QuadPart;
}

// Every byte of the stream, from its start to its end; the position is left
// where it was.
inline Bytes StreamBytes(IStream* stream)
{
    const ULONGLONG here = StreamPosition(stream);
    LARGE_INTEGER zero{};
    ULARGE_INTEGER end{};
    EXPECT_EQ(S_OK, stream->Seek(zero, STREAM_SEEK_END, &end));
    Bytes bytes(static_cast<std::size_t>(end.QuadPart));
    EXPECT_EQ(S_OK, SeekStream(stream, 0));
    ULONG read = 0;
    if (!bytes.empty()) {
        EXPECT_EQ(S_OK, stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read));
    }
    EXPECT_EQ(S_OK, SeekStream(stream, static_cast<LONGLONG>(here)));
    return bytes;
}

// A memory stream holding the bytes, positioned at its start.
inline mvcom::CComPtr<IStream> StreamOf(const Bytes& bytes)
{
    mvcom::CComPtr<IStream> stream = NewMemoryStream();
    ULONG written = 0;
    if (!bytes.empty()) {
        EXPECT_EQ(S_OK, stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written));
    }
    EXPECT_EQ(S_OK, SeekStream(stream.Get(), 0));
    return stream;
}

template <class T>
void Put(Bytes& out, T value)
{
    BYTE b[sizeof(T)];
    std::memcpy(b, &value, sizeof(T));
    out.insert(out.end(), b, b + sizeof(T));
}

template <class T>
T Get(const Bytes& in, std::size_t offset)
{
    T value{};
    std::memcpy(&value, in.data() + offset, sizeof(T));
    return value;
}

template <class T>
void Patch(Bytes& in, std::size_t offset, T value)
{
    std::memcpy(in.data() + offset, &value, sizeof(T));
}

// Passes everything to a memory stream, but once `budget` bytes have been
// written it takes fewer than asked (and says so through *written), as a
// device that fills up without an error code would.
class ShortWriteStream : public CBasicStream {
public:
    explicit ShortWriteStream(ULONGLONG budget) : m_inner(NewMemoryStream()), m_budget(budget) {}
    ~ShortWriteStream() override = default;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (riid == IID_IUnknown || riid == IID_IStream || riid == IID_ISequentialStream) {
            *ppv = static_cast<IStream*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* read) override { return m_inner->Read(pv, cb, read); }
    STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* written) override
    {
        ULONG take = cb <= m_budget ? cb : static_cast<ULONG>(m_budget);
        m_budget -= take;
        return m_inner->Write(pv, take, written);
    }
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* at) override
    {
        return m_inner->Seek(move, origin, at);
    }
    STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }

private:
    mvcom::CComPtr<IStream> m_inner;
    ULONGLONG m_budget;
};

}  // namespace mvtest
