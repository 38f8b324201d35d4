#include "platform/com/ComStream.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <new>
#include <string_view>
#include <unistd.h>

#include "platform/com/CHGlobalStream.h"
#include "platform/com/CPosixFileStream.h"
#include "platform/win/WideString.h"

// A block keeps room beyond its size so that a stream growing by small
// writes does not copy the whole block each time. Bytes between the old and
// the new size are always zero after growing, whatever the flags: stale
// bytes never reach a saved file.
struct HGLOBAL__ {
    std::byte* data = nullptr;
    std::size_t size = 0;
    std::size_t capacity = 0;
    int locks = 0;
};

namespace {

bool Reserve(HGLOBAL__& block, std::size_t bytes)
{
    if (bytes <= block.capacity)
        return true;
    std::size_t grown = block.capacity + block.capacity / 2;
    for (std::size_t want : {std::max(bytes, grown), bytes}) {
        if (void* p = std::realloc(block.data, want)) {
            block.data = static_cast<std::byte*>(p);
            block.capacity = want;
            return true;
        }
    }
    return false;
}

}  // namespace

HGLOBAL GlobalAlloc(UINT, std::size_t bytes)
{
    auto* block = new (std::nothrow) HGLOBAL__;
    if (!block)
        return nullptr;
    // Room for one byte at least, so that locking an empty block still
    // gives a usable pointer.
    block->data = static_cast<std::byte*>(std::calloc(std::max<std::size_t>(bytes, 1), 1));
    if (!block->data) {
        delete block;
        return nullptr;
    }
    block->size = bytes;
    block->capacity = std::max<std::size_t>(bytes, 1);
    return block;
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, std::size_t bytes, UINT)
{
    if (!mem || !Reserve(*mem, bytes))
        return nullptr;
    if (bytes > mem->size)
        std::memset(mem->data + mem->size, 0, bytes - mem->size);
    mem->size = bytes;
    return mem;
}

void* GlobalLock(HGLOBAL mem)
{
    if (!mem)
        return nullptr;
    ++mem->locks;
    return mem->data;
}

BOOL GlobalUnlock(HGLOBAL mem)
{
    if (!mem || mem->locks == 0)
        return FALSE;
    return --mem->locks > 0 ? TRUE : FALSE;
}

std::size_t GlobalSize(HGLOBAL mem)
{
    return mem ? mem->size : 0;
}

HGLOBAL GlobalFree(HGLOBAL mem)
{
    if (mem) {
        std::free(mem->data);
        delete mem;
    }
    return nullptr;
}

HRESULT CreateStreamOnHGlobal(HGLOBAL mem, BOOL deleteOnRelease, IStream** stream)
{
    if (!stream)
        return E_INVALIDARG;
    *stream = nullptr;
    bool ownNew = !mem;
    if (ownNew && !(mem = GlobalAlloc(GMEM_MOVEABLE, 0)))
        return E_OUTOFMEMORY;
    try {
        *stream = new mvcom::CHGlobalStream(mem, deleteOnRelease != FALSE);
    } catch (const std::bad_alloc&) {
        if (ownNew)
            GlobalFree(mem);
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* mem)
{
    if (!mem)
        return E_INVALIDARG;
    *mem = nullptr;
    auto* memory = dynamic_cast<mvcom::CHGlobalStream*>(stream);
    if (!memory)
        return E_INVALIDARG;
    *mem = memory->Block();
    return S_OK;
}

HRESULT SHCreateStreamOnFileA(LPCSTR path, DWORD mode, IStream** stream)
{
    if (!stream)
        return E_INVALIDARG;
    *stream = nullptr;
    if (!path || !*path)
        return E_INVALIDARG;
    int flags = O_CLOEXEC;
    switch (mode & 0x3) {
    case STGM_READ: flags |= O_RDONLY; break;
    case STGM_WRITE: flags |= O_WRONLY; break;
    case STGM_READWRITE: flags |= O_RDWR; break;
    default: return E_INVALIDARG;
    }
    if (mode & STGM_CREATE) {
        // Creating means replacing: it needs write access.
        if ((mode & 0x3) == STGM_READ)
            return E_INVALIDARG;
        flags |= O_CREAT | O_TRUNC;
    }
    int fd;
    do {
        fd = ::open(path, flags, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        switch (errno) {
        case ENOENT:
        case ENOTDIR: return STG_E_FILENOTFOUND;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS: return STG_E_ACCESSDENIED;
        case ENOSPC:
        case EDQUOT: return STG_E_MEDIUMFULL;
        case ENOMEM: return STG_E_INSUFFICIENTMEMORY;
        default: return E_FAIL;
        }
    }
    std::string_view name(path);
    if (std::size_t slash = name.find_last_of('/'); slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    try {
        *stream = new mvcom::CPosixFileStream(fd, mvwin::Utf8ToUtf16(name));
    } catch (const std::bad_alloc&) {
        ::close(fd);
        return E_OUTOFMEMORY;
    }
    return S_OK;
}
