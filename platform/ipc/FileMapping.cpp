#include "platform/ipc/FileMapping.h"

#include "platform/ipc/CFileMappingObject.h"
#include "platform/ipc/IpcName.h"

using mvipc::CFileMappingObject;

HANDLE CreateFileMappingA(HANDLE file, LPSECURITY_ATTRIBUTES, DWORD protect, DWORD maximumSizeHigh,
                          DWORD maximumSizeLow, LPCSTR name, BOOL* existed)
{
    if (existed)
        *existed = FALSE;
    if (file != INVALID_HANDLE_VALUE || (protect != PAGE_READWRITE && protect != PAGE_READONLY))
        return nullptr;
    const unsigned long long size = (static_cast<unsigned long long>(maximumSizeHigh) << 32) | maximumSizeLow;
    bool found = false;
    auto object = name ? CFileMappingObject::Create(mvipc::PosixName("map", name), size, &found)
                       : CFileMappingObject::CreateAnonymous(size);
    if (!object)
        return nullptr;
    if (existed)
        *existed = found ? TRUE : FALSE;
    return mvsync::OpenHandle(std::move(object));
}

HANDLE OpenFileMappingA(DWORD desiredAccess, BOOL, LPCSTR name)
{
    const bool writable = (desiredAccess & FILE_MAP_WRITE) != 0;
    auto object = CFileMappingObject::Open(mvipc::PosixName("map", name), writable);
    return object ? mvsync::OpenHandle(std::move(object)) : nullptr;
}

LPVOID MapViewOfFile(HANDLE mapping, DWORD desiredAccess, DWORD offsetHigh, DWORD offsetLow, SIZE_T bytes)
{
    const auto object = mvsync::LookupHandleAs<CFileMappingObject>(mapping);
    if (!object)
        return nullptr;
    const unsigned long long offset = (static_cast<unsigned long long>(offsetHigh) << 32) | offsetLow;
    return object->Map(offset, bytes, (desiredAccess & FILE_MAP_WRITE) != 0);
}

BOOL UnmapViewOfFile(LPCVOID address) { return CFileMappingObject::Unmap(address) ? TRUE : FALSE; }
