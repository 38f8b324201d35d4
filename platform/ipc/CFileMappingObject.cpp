#include "platform/ipc/CFileMappingObject.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <map>
#include <mutex>

namespace mvipc {

namespace {

struct ViewTable {
    std::mutex lock;
    std::map<const void*, std::size_t> views;
};

ViewTable& Views()
{
    static ViewTable* table = new ViewTable;
    return *table;
}

std::string AnonymousName()
{
    static std::atomic<unsigned> serial{0};
    return "/mv.anon." + std::to_string(static_cast<long>(getpid())) + "." + std::to_string(++serial);
}

}  // namespace

CFileMappingObject::CFileMappingObject(int fd, unsigned long long size, std::string ownedName, bool writable)
    : m_fd(fd), m_size(size), m_ownedName(std::move(ownedName)), m_writable(writable)
{
}

std::shared_ptr<CFileMappingObject> CFileMappingObject::Create(const std::string& posixName,
                                                               unsigned long long size, bool* existed)
{
    if (existed)
        *existed = false;
    if (posixName.empty() || size == 0)
        return nullptr;
    int fd = shm_open(posixName.c_str(), O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd < 0 && errno == EEXIST) {
        if (existed)
            *existed = true;
        return Open(posixName, true);
    }
    if (fd < 0)
        return nullptr;
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        close(fd);
        shm_unlink(posixName.c_str());
        return nullptr;
    }
    return std::shared_ptr<CFileMappingObject>(new CFileMappingObject(fd, size, posixName, true));
}

std::shared_ptr<CFileMappingObject> CFileMappingObject::CreateAnonymous(unsigned long long size)
{
    const std::string name = AnonymousName();
    auto object = Create(name, size, nullptr);
    if (object) {
        shm_unlink(name.c_str());
        object->m_ownedName.clear();
    }
    return object;
}

std::shared_ptr<CFileMappingObject> CFileMappingObject::Open(const std::string& posixName, bool writable)
{
    if (posixName.empty())
        return nullptr;
    const int fd = shm_open(posixName.c_str(), writable ? O_RDWR : O_RDONLY, 0);
    if (fd < 0)
        return nullptr;
    struct stat st{};
    if (fstat(fd, &st) != 0 || st.st_size <= 0) {
        close(fd);
        return nullptr;
    }
    return std::shared_ptr<CFileMappingObject>(
        new CFileMappingObject(fd, static_cast<unsigned long long>(st.st_size), {}, writable));
}

CFileMappingObject::~CFileMappingObject()
{
    close(m_fd);
    if (!m_ownedName.empty())
        shm_unlink(m_ownedName.c_str());
}

void* CFileMappingObject::Map(unsigned long long offset, unsigned long long bytes, bool writable)
{
    const auto page = static_cast<unsigned long long>(sysconf(_SC_PAGESIZE));
    if (offset % page != 0 || offset >= m_size || (writable && !m_writable))
        return nullptr;
    if (bytes == 0)
        bytes = m_size - offset;
    if (bytes > m_size - offset)
        return nullptr;
    void* address = mmap(nullptr, bytes, PROT_READ | (writable ? PROT_WRITE : 0), MAP_SHARED, m_fd,
                         static_cast<off_t>(offset));
    if (address == MAP_FAILED)
        return nullptr;
    ViewTable& t = Views();
    std::lock_guard guard(t.lock);
    t.views[address] = bytes;
    return address;
}

bool CFileMappingObject::Unmap(const void* address)
{
    std::size_t bytes = 0;
    {
        ViewTable& t = Views();
        std::lock_guard guard(t.lock);
        const auto it = t.views.find(address);
        if (it == t.views.end())
            return false;
        bytes = it->second;
        t.views.erase(it);
    }
    return munmap(const_cast<void*>(address), bytes) == 0;
}

}  // namespace mvipc
