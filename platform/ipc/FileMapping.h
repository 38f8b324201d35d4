// Named file mappings backed by shared memory (shm_open): blocks of memory
// that processes map into their address space by name. The process that
// created a mapping owns its name and removes it when its handle is closed;
// views already mapped stay valid until unmapped, in every process.
// Handles are closed with CloseHandle.
#pragma once

#include "platform/sync/Handle.h"

using SIZE_T = std::size_t;

constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD FILE_MAP_WRITE = 0x0002;
constexpr DWORD FILE_MAP_READ = 0x0004;
constexpr DWORD FILE_MAP_ALL_ACCESS = 0x000F001F;

// A mapping of the paging file only (`file` must be INVALID_HANDLE_VALUE).
// When a mapping of that name exists it is opened instead, and *existed
// (when given) is set; its size is its own. A null name makes a mapping no
// other process can open. Null on failure (a zero size, a file handle, a
// name the system cannot hold).
HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES security, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCSTR name, BOOL* existed = nullptr);

// An existing mapping; null when there is none of that name.
HANDLE OpenFileMappingA(DWORD desiredAccess, BOOL inheritHandle, LPCSTR name);

// Maps `bytes` (0: up to the end) from the offset, which must be a multiple
// of the page size. Null on failure.
LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes);

// FALSE for an address that is not the start of a view.
BOOL UnmapViewOfFile(LPCVOID address);
