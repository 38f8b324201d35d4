// Allocates the data blocks that system-exclusive and text events carry.
// A block is laid out as tag "MfxB", u32 data size, the data, 4 spare bytes.
//
// Events hold 32-bit handles, so a handle is a token into one process-wide
// table of live blocks, never an address: any factory resolves any live
// handle, and a handle that was freed, never issued or made up resolves to
// nothing. A token carries a generation, so a stale handle does not reach a
// block that later reused its slot.
//
// Threads: Alloc, Duplicate and Free allocate and take the table's short lock;
// GetPointer, Fill and IsValidBuffer take no lock and allocate nothing (audio thread
// safe). Freeing a handle while another thread resolves the same handle is the
// owner's error, as with any freed block. Reference counts are atomic; the
// last Release deletes the factory (the blocks stay with their owners).
#pragma once

#include "model/Mfx.h"
#include "platform/com/CUnknownImpl.h"

class CMfxBufferFactory : public mvcom::CUnknownImpl<IMfxBufferFactory> {
public:
    // A new factory holding one reference for the caller.
    CMfxBufferFactory() = default;

    // The process-wide factory that event copies use; lives for the whole run.
    static CMfxBufferFactory& GetShared();

    STDMETHOD(Alloc)(DWORD size, HMFXBUFFER* handle) override;
    STDMETHOD(Duplicate)(HMFXBUFFER source, DWORD size, HMFXBUFFER* handle) override;
    // Audio thread: no allocation, no blocking.
    STDMETHOD(GetPointer)(HMFXBUFFER handle, void** data, DWORD* size) override;

    // Overwrites the block's tag and frees it; the handle is dead afterwards.
    // E_INVALIDARG for a handle that is not a live block.
    HRESULT Free(HMFXBUFFER handle);
    // Copies `size` bytes into a live block and makes them its data, so a
    // block allocated ahead can carry data of any size up to the one it was
    // allocated with. E_INVALIDARG for a handle that is not a live block,
    // E_OUTOFMEMORY when the data is larger than the block (it is unchanged).
    // Audio thread: no allocation, no blocking.
    HRESULT Fill(HMFXBUFFER handle, const void* data, DWORD size);
    // Audio thread: no allocation, no blocking.
    BOOL IsValidBuffer(HMFXBUFFER handle) const;

protected:
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override;
};
