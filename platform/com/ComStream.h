// Streams over memory and files, and the movable global memory blocks that
// memory streams live in (CreateStreamOnHGlobal semantics).
#pragma once

#include "platform/com/Stream.h"

struct HGLOBAL__;
using HGLOBAL = HGLOBAL__*;

constexpr UINT GMEM_FIXED = 0x0000;
constexpr UINT GMEM_MOVEABLE = 0x0002;
constexpr UINT GMEM_ZEROINIT = 0x0040;
constexpr UINT GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

HGLOBAL GlobalAlloc(UINT flags, std::size_t bytes);
HGLOBAL GlobalReAlloc(HGLOBAL mem, std::size_t bytes, UINT flags);
void* GlobalLock(HGLOBAL mem);
BOOL GlobalUnlock(HGLOBAL mem);
std::size_t GlobalSize(HGLOBAL mem);
HGLOBAL GlobalFree(HGLOBAL mem);  // null on success
// Growing a block may move its data: a pointer from GlobalLock is taken again
// after GlobalReAlloc (or a write through a stream on the block).

// A null block makes a new empty one. With deleteOnRelease the block is freed
// with the stream's last Release.
HRESULT CreateStreamOnHGlobal(HGLOBAL mem, BOOL deleteOnRelease, IStream** stream);
HRESULT GetHGlobalFromStream(IStream* stream, HGLOBAL* mem);

// A stream over a file. Modes as STGM: read, write or read-write, and create.
constexpr DWORD STGM_READ = 0x0;
constexpr DWORD STGM_WRITE = 0x1;
constexpr DWORD STGM_READWRITE = 0x2;
constexpr DWORD STGM_CREATE = 0x1000;
HRESULT SHCreateStreamOnFileA(LPCSTR path, DWORD mode, IStream** stream);
