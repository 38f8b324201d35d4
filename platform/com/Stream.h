// ISequentialStream and IStream with the Windows slot order and codes.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_ISequentialStream, 0x0c733a30, 0x2a1c, 0x11ce, 0xad, 0xe5, 0x00, 0xaa, 0x00, 0x44, 0x77, 0x3d);
MV_DEFINE_GUID(IID_IStream, 0x0000000c, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

enum STREAM_SEEK : DWORD { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 };

enum STGTY : DWORD { STGTY_STORAGE = 1, STGTY_STREAM = 2, STGTY_LOCKBYTES = 3, STGTY_PROPERTY = 4 };
constexpr DWORD STATFLAG_DEFAULT = 0;
constexpr DWORD STATFLAG_NONAME = 1;

struct STATSTG {
    char16_t* pwcsName;  // task memory, freed by the caller with CoTaskMemFree
    DWORD type;
    ULARGE_INTEGER cbSize;
    FILETIME mtime;
    FILETIME ctime;
    FILETIME atime;
    DWORD grfMode;
    DWORD grfLocksSupported;
    CLSID clsid;
    DWORD grfStateBits;
    DWORD reserved;
};

struct ISequentialStream : IUnknown {
    // A read that reaches the end returns S_OK with fewer bytes in *read;
    // callers that need every byte compare *read with cb.
    STDMETHOD(Read)(void* pv, ULONG cb, ULONG* read) = 0;
    STDMETHOD(Write)(const void* pv, ULONG cb, ULONG* written) = 0;
};

struct IStream : ISequentialStream {
    STDMETHOD(Seek)(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* newPosition) = 0;
    STDMETHOD(SetSize)(ULARGE_INTEGER newSize) = 0;
    STDMETHOD(CopyTo)(IStream* dest, ULARGE_INTEGER cb, ULARGE_INTEGER* read, ULARGE_INTEGER* written) = 0;
    STDMETHOD(Commit)(DWORD flags) = 0;
    STDMETHOD(Revert)() = 0;
    STDMETHOD(LockRegion)(ULARGE_INTEGER offset, ULARGE_INTEGER cb, DWORD lockType) = 0;
    STDMETHOD(UnlockRegion)(ULARGE_INTEGER offset, ULARGE_INTEGER cb, DWORD lockType) = 0;
    STDMETHOD(Stat)(STATSTG* stat, DWORD flags) = 0;
    STDMETHOD(Clone)(IStream** clone) = 0;
};
