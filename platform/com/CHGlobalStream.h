// An IStream over a global memory block (CreateStreamOnHGlobal). The
// stream's size is the block's size: writing past the end grows the block,
// SetSize resizes it, and GetHGlobalFromStream hands out a block of exactly
// the bytes written. Clones share the block and keep their own position; the
// block is freed with the last of them when the stream was made with
// delete-on-release. Used by one thread at a time; the reference count is
// atomic.
#pragma once

#include <memory>

#include "platform/com/CStreamImpl.h"
#include "platform/com/ComStream.h"

namespace mvcom {

class CHGlobalStream : public CStreamImpl {
public:
    CHGlobalStream(HGLOBAL mem, bool deleteOnRelease);

    HGLOBAL Block() const { return m_block->mem; }

    STDMETHODIMP Read(void* pv, ULONG cb, ULONG* read) override;
    STDMETHODIMP Write(const void* pv, ULONG cb, ULONG* written) override;
    STDMETHODIMP Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) override;
    STDMETHODIMP SetSize(ULARGE_INTEGER newSize) override;
    STDMETHODIMP Stat(STATSTG* stat, DWORD flags) override;
    STDMETHODIMP Clone(IStream** clone) override;

private:
    // The block and who frees it, shared by a stream and its clones.
    struct SharedBlock {
        SharedBlock(HGLOBAL m, bool d) : mem(m), deleteOnRelease(d) {}
        SharedBlock(const SharedBlock&) = delete;
        SharedBlock& operator=(const SharedBlock&) = delete;
        ~SharedBlock();
        HGLOBAL mem;
        bool deleteOnRelease;
    };

    CHGlobalStream(std::shared_ptr<SharedBlock> block, ULONGLONG position);

    std::shared_ptr<SharedBlock> m_block;
    ULONGLONG m_position = 0;
};

}  // namespace mvcom
