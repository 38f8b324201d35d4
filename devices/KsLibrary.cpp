#include "devices/KsLibrary.h"

#include <cstdarg>
#include <cstdio>
#include <string>

#include "devices/CPCMAudioFilter.h"
#include "devices/CTopologyFilter.h"
#include "platform/registry/Registry.h"
#include "platform/sync/CriticalSection.h"
#include "platform/sync/Event.h"

namespace {

constexpr int kPoolSize = 16;

struct OverlappedRecord {
    OVERLAPPED overlapped{};
    OverlappedRecord* next = nullptr;
};

struct KsLibraryState {
    bool initialised = false;
    bool available = false;
    int logLevel = 1;
    CRITICAL_SECTION poolLock;
    OverlappedRecord pool[kPoolSize];
    OverlappedRecord* freeList = nullptr;
    KsFilterList render;
    KsFilterList capture;
    bool renderBuilt = false;
    bool captureBuilt = false;
};

KsLibraryState g_ks;

int ReadLogLevel()
{
    HKEY key = nullptr;
    DWORD level = 1;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Debug", 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD value = 0, type = 0, size = sizeof value;
        if (RegQueryValueExA(key, "KsLogLevel", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) ==
                ERROR_SUCCESS &&
            type == REG_DWORD)
            level = value;
        RegCloseKey(key);
    }
    return static_cast<int>(level);
}

void ReleasePool()
{
    for (OverlappedRecord& r : g_ks.pool)
        if (r.overlapped.hEvent) {
            CloseHandle(r.overlapped.hEvent);
            r.overlapped.hEvent = nullptr;
        }
    g_ks.freeList = nullptr;
    DeleteCriticalSection(&g_ks.poolLock);
}

bool CreatePool()
{
    InitializeCriticalSection(&g_ks.poolLock);
    for (OverlappedRecord& r : g_ks.pool) {
        r.overlapped.hEvent = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        if (!r.overlapped.hEvent) {
            ReleasePool();
            return false;
        }
        r.next = g_ks.freeList;
        g_ks.freeList = &r;
    }
    return true;
}

OverlappedRecord* TakeRecord()
{
    if (!g_ks.available)
        return nullptr;
    EnterCriticalSection(&g_ks.poolLock);
    OverlappedRecord* r = g_ks.freeList;
    if (r)
        g_ks.freeList = r->next;
    LeaveCriticalSection(&g_ks.poolLock);
    return r;
}

void GiveBack(OverlappedRecord* r)
{
    EnterCriticalSection(&g_ks.poolLock);
    r->next = g_ks.freeList;
    g_ks.freeList = r;
    LeaveCriticalSection(&g_ks.poolLock);
}

bool PropertyRequest(HANDLE handle, const void* request, ULONG requestSize, void* value, ULONG size)
{
    DWORD returned = 0;
    return SyncIoctl(handle, IOCTL_KS_PROPERTY, const_cast<void*>(request), requestSize, value, size, &returned);
}

std::string RegistryText(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property)
{
    char text[CKsFilter::kMaxText] = {};
    if (!SetupDiGetDeviceRegistryPropertyA(set, device, property, nullptr, reinterpret_cast<BYTE*>(text),
                                           sizeof text - 1, nullptr))
        return {};
    return text;
}

std::unique_ptr<CKsFilter> MakeFilter(int type, const std::vector<std::string>& texts)
{
    switch (type) {
    case CKsFilter::kPCMAudio:
        return std::make_unique<CPCMAudioFilter>(texts);
    case CKsFilter::kTopology:
        return std::make_unique<CTopologyFilter>(texts);
    default:
        return std::make_unique<CKsFilter>(texts, type);
    }
}

HRESULT BuildList(KsFilterList& list, bool& built, const GUID& second)
{
    if (built)
        return S_OK;
    const GUID categories[2] = {KSCATEGORY_AUDIO, second};
    const HRESULT hr = EnumerateFilters(list, CKsFilter::kPCMAudio, categories, 2);
    built = SUCCEEDED(hr);
    return hr;
}

}  // namespace

bool InitKsLibrary()
{
    if (g_ks.initialised)
        return g_ks.available;
    g_ks.initialised = true;
    g_ks.logLevel = ReadLogLevel();
    // The device interface calls and pin creation are linked in here, not
    // loaded: only the pool remains to be made.
    g_ks.available = CreatePool();
    if (!g_ks.available)
        KsLog(1, "No overlapped records for kernel streaming");
    return g_ks.available;
}

void ReleaseKsLibrary()
{
    g_ks.render.clear();
    g_ks.capture.clear();
    g_ks.renderBuilt = g_ks.captureBuilt = false;
    if (g_ks.available)
        ReleasePool();
    g_ks.available = false;
    g_ks.initialised = false;
}

int KsLogLevel() { return g_ks.logLevel; }

void KsLog(int level, const char* format, ...)
{
    if (level > g_ks.logLevel)
        return;
    va_list args;
    va_start(args, format);
    std::fputs("ks: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

bool SyncIoctl(HANDLE handle, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned)
{
    if (!handle || handle == INVALID_HANDLE_VALUE) {
        SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    OverlappedRecord* record = TakeRecord();
    if (!record) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return false;
    }
    DWORD bytes = 0;
    bool ok = DeviceIoControl(handle, code, in, inSize, out, outSize, &bytes, &record->overlapped);
    if (!ok && GetLastError() == ERROR_IO_PENDING)
        ok = WaitForSingleObject(record->overlapped.hEvent, INFINITE) == WAIT_OBJECT_0;
    const DWORD error = GetLastError();
    if (!ok && code == IOCTL_KS_PROPERTY && outSize == 0 &&
        (error == ERROR_INSUFFICIENT_BUFFER || error == ERROR_MORE_DATA))
        ok = true;
    GiveBack(record);
    if (returned)
        *returned = bytes;
    SetLastError(error);
    return ok;
}

bool KsGetProperty(HANDLE handle, const GUID& set, ULONG id, void* value, ULONG size)
{
    const KSPROPERTY request{set, id, KSPROPERTY_TYPE_GET};
    return PropertyRequest(handle, &request, sizeof request, value, size);
}

bool KsSetProperty(HANDLE handle, const GUID& set, ULONG id, void* value, ULONG size)
{
    const KSPROPERTY request{set, id, KSPROPERTY_TYPE_SET};
    return PropertyRequest(handle, &request, sizeof request, value, size);
}

bool KsGetPinProperty(HANDLE handle, const GUID& set, ULONG id, ULONG pinId, void* value, ULONG size)
{
    const KSP_PIN request{{set, id, KSPROPERTY_TYPE_GET}, pinId, 0};
    const bool ok = PropertyRequest(handle, &request, sizeof request, value, size);
    if (!ok)
        KsLog(2, "pin %lu property %lu failed", static_cast<unsigned long>(pinId), static_cast<unsigned long>(id));
    return ok;
}

std::vector<BYTE> KsGetMultipleItems(HANDLE handle, const void* request, ULONG requestSize)
{
    DWORD size = 0;
    if (!SyncIoctl(handle, IOCTL_KS_PROPERTY, const_cast<void*>(request), requestSize, nullptr, 0, &size) ||
        size < sizeof(KSMULTIPLE_ITEM))
        return {};
    std::vector<BYTE> items(size, 0);
    DWORD returned = 0;
    if (!SyncIoctl(handle, IOCTL_KS_PROPERTY, const_cast<void*>(request), requestSize, items.data(), size, &returned))
        return {};
    items.resize(returned);
    return items;
}

HRESULT EnumerateFilters(KsFilterList& list, int filterType, const GUID* categories, int count)
{
    if (!categories || count < 1)
        return E_INVALIDARG;
    HDEVINFO set = SetupDiGetClassDevsA(&categories[0], nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
    if (set == INVALID_HANDLE_VALUE)
        return E_FAIL;
    SP_DEVICE_INTERFACE_DATA data{};
    data.cbSize = sizeof data;
    for (DWORD index = 0; SetupDiEnumDeviceInterfaces(set, nullptr, &categories[0], index, &data); ++index) {
        DWORD required = 0;
        SP_DEVINFO_DATA device{};
        device.cbSize = sizeof device;
        SetupDiGetDeviceInterfaceDetailA(set, &data, nullptr, 0, &required, &device);
        std::vector<char> detailBytes(required + sizeof(DWORD), 0);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_A*>(detailBytes.data());
        detail->cbSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_A);
        if (!SetupDiGetDeviceInterfaceDetailA(set, &data, detail, required, nullptr, &device))
            continue;
        bool member = true;
        for (int c = 1; c < count && member; ++c) {
            SP_DEVICE_INTERFACE_DATA alias{};
            alias.cbSize = sizeof alias;
            member = SetupDiGetDeviceInterfaceAlias(set, &data, &categories[c], &alias) &&
                     (alias.Flags & SPINT_ACTIVE) && !(alias.Flags & SPINT_REMOVED);
        }
        if (!member)
            continue;
        std::vector<std::string> texts(CKsFilter::kTextCount);
        texts[CKsFilter::kPath] = detail->DevicePath;
        texts[CKsFilter::kFriendlyName] = RegistryText(set, &device, SPDRP_FRIENDLYNAME);
        texts[CKsFilter::kDescription] = RegistryText(set, &device, SPDRP_DEVICEDESC);
        texts[CKsFilter::kHardwareId] = RegistryText(set, &device, SPDRP_HARDWAREID);
        texts[CKsFilter::kDriverKey] = RegistryText(set, &device, SPDRP_DRIVER);
        texts[CKsFilter::kDriverFile] = RegistryText(set, &device, SPDRP_SERVICE);
        std::unique_ptr<CKsFilter> filter = MakeFilter(filterType, texts);
        if (!filter->Open() || !filter->EnumeratePins())
            continue;
        if (filterType == CKsFilter::kTopology)
            filter->EnumerateNodes();
        list.push_back(std::move(filter));
    }
    SetupDiDestroyDeviceInfoList(set);
    return list.empty() ? E_FAIL : S_OK;
}

HRESULT GetRenderFilters(KsFilterList** list)
{
    *list = &g_ks.render;
    return BuildList(g_ks.render, g_ks.renderBuilt, KSCATEGORY_RENDER);
}

HRESULT GetCaptureFilters(KsFilterList** list)
{
    *list = &g_ks.capture;
    return BuildList(g_ks.capture, g_ks.captureBuilt, KSCATEGORY_CAPTURE);
}
