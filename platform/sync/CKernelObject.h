// The object behind a HANDLE. Services that hand out handles derive from
// CKernelObject and register each object in the process-wide handle table;
// the table keeps one reference per open handle, and a service may keep more
// (a running thread holds its own object until it ends).
#pragma once

#include <memory>

#include "platform/sync/Handle.h"

namespace mvsync {

class CKernelObject {
public:
    virtual ~CKernelObject() = default;

    // WaitForSingleObject's work: WAIT_OBJECT_0, WAIT_TIMEOUT, or WAIT_FAILED
    // for an object that cannot be waited on (the default).
    virtual DWORD Wait(DWORD milliseconds);
};

// A new handle for the object; null when `object` is null.
HANDLE OpenHandle(std::shared_ptr<CKernelObject> object);

// The object a handle names, or null for a null, closed or unknown handle.
std::shared_ptr<CKernelObject> LookupHandle(HANDLE handle);

// The object a handle names when it is of type T, else null.
template <class T>
std::shared_ptr<T> LookupHandleAs(HANDLE handle)
{
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

}  // namespace mvsync
