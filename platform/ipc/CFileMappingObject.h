// The object behind a file-mapping handle: a POSIX shared-memory object of
// a fixed size, whose name the creating handle removes when it is closed.
// Views are tracked process-wide, so UnmapViewOfFile needs only the address.
#pragma once

#include <string>

#include "platform/sync/CKernelObject.h"

namespace mvipc {

class CFileMappingObject : public mvsync::CKernelObject {
public:
    // Creates the object, or opens it when it exists (*existed then true).
    static std::shared_ptr<CFileMappingObject> Create(const std::string& posixName, unsigned long long size,
                                                      bool* existed);
    // An object no other process can open.
    static std::shared_ptr<CFileMappingObject> CreateAnonymous(unsigned long long size);
    static std::shared_ptr<CFileMappingObject> Open(const std::string& posixName, bool writable);
    ~CFileMappingObject() override;

    void* Map(unsigned long long offset, unsigned long long bytes, bool writable);
    static bool Unmap(const void* address);

private:
    CFileMappingObject(int fd, unsigned long long size, std::string ownedName, bool writable);

    int m_fd;
    unsigned long long m_size;
    std::string m_ownedName;  // empty unless this handle created the name
    bool m_writable;
};

}  // namespace mvipc
