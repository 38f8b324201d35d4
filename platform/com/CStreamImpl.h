// What the platform's streams share: the IStream and ISequentialStream
// table, CopyTo over the stream's own Read and the destination's Write,
// Commit and Revert with nothing to do, and no region locking.
#pragma once

#include "platform/com/CUnknownImpl.h"
#include "platform/com/Stream.h"

namespace mvcom {

class CStreamImpl : public CUnknownImpl<IStream> {
public:
    // Up to `cb` bytes from this stream's position into the destination's.
    // Either count pointer may be null.
    STDMETHODIMP CopyTo(IStream* dest, ULARGE_INTEGER cb, ULARGE_INTEGER* read, ULARGE_INTEGER* written) override;
    // Every write reaches the medium at once; there is no transaction.
    STDMETHODIMP Commit(DWORD flags) override;
    STDMETHODIMP Revert() override;
    STDMETHODIMP LockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER cb, DWORD lockType) override;
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER offset, ULARGE_INTEGER cb, DWORD lockType) override;

protected:
    std::span<const InterfaceEntry> InterfaceTable() const override;
};

}  // namespace mvcom
