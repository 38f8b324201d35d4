#include "platform/sync/CKernelObject.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>
#include <utility>

namespace mvsync {

DWORD CKernelObject::Wait(DWORD) { return WAIT_FAILED; }

namespace {

// Handle values start at 4 and step by 4, as on Windows, and are never
// reused, so a stale handle fails instead of reaching a newer object.
struct HandleTable {
    std::mutex lock;
    std::uintptr_t next = 4;
    std::unordered_map<std::uintptr_t, std::shared_ptr<CKernelObject>> objects;
};

// Never destroyed: threads that outlive main may still close their handles
// while static destructors run.
HandleTable& Table()
{
    static HandleTable* table = new HandleTable;
    return *table;
}

}  // namespace

HANDLE OpenHandle(std::shared_ptr<CKernelObject> object)
{
    if (!object)
        return nullptr;
    // The audio thread looks handles up (SetEvent) under the table's lock:
    // the entry is allocated before the lock is taken, so the lock is never
    // held across an allocation but for the rare growth of the bucket array.
    decltype(HandleTable::objects) staging;
    staging.emplace(0, std::move(object));
    auto node = staging.extract(staging.begin());
    HandleTable& t = Table();
    std::lock_guard guard(t.lock);
    const std::uintptr_t value = t.next;
    t.next += 4;
    node.key() = value;
    t.objects.insert(std::move(node));
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<CKernelObject> LookupHandle(HANDLE handle)
{
    HandleTable& t = Table();
    std::lock_guard guard(t.lock);
    const auto it = t.objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return it == t.objects.end() ? nullptr : it->second;
}

}  // namespace mvsync

BOOL CloseHandle(HANDLE handle)
{
    decltype(mvsync::HandleTable::objects)::node_type last;
    {
        mvsync::HandleTable& t = mvsync::Table();
        std::lock_guard guard(t.lock);
        last = t.objects.extract(reinterpret_cast<std::uintptr_t>(handle));
    }
    // The entry, and perhaps the object's last reference, are freed here,
    // outside the table's lock.
    return last.empty() ? FALSE : TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds)
{
    const std::shared_ptr<mvsync::CKernelObject> object = mvsync::LookupHandle(handle);
    return object ? object->Wait(milliseconds) : WAIT_FAILED;
}
