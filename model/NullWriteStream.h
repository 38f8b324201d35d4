// A stream that discards what is written and counts: the size is the highest
// position reached. Measuring a persistent object saves it into one of these,
// nested objects included, so sizes are exact without buffering any data.
// Lives on its creator's stack or in its owner: Release never deletes.
#pragma once

#include <atomic>

#include "model/CBasicStream.h"

class NullWriteStream : public CBasicStream {
public:
    NullWriteStream() = default;
    ~NullWriteStream() override = default;
    NullWriteStream(const NullWriteStream&) = delete;
    NullWriteStream& operator=(const NullWriteStream&) = delete;

    ULONGLONG GetSize() const { return m_size; }

    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    STDMETHOD(Read)(void* pv, ULONG cb, ULONG* read) override;
    STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* written) override;
    // Origins SET, CUR and END (END counts from the size). A move below 0 or
    // any other origin: STG_E_INVALIDFUNCTION. A null out-pointer:
    // STG_E_INVALIDPOINTER.
    STDMETHOD(Seek)(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override;
    // Name "NullWriteStream", type stream, size the highest position reached.
    STDMETHOD(Stat)(STATSTG* stat, DWORD flags) override;

private:
    std::atomic<ULONG> m_refs{1};
    ULONGLONG m_position = 0;
    ULONGLONG m_size = 0;
};
