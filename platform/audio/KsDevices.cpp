#include "platform/audio/KsDevices.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "platform/audio/CAlsaKsProvider.h"
#include "platform/audio/KsDeviceProvider.h"
#include "platform/sync/CKernelObject.h"
#include "platform/sync/Event.h"
#include "platform/sync/ThreadAffinity.h"

namespace {

constexpr DWORD kErrorInvalidData = 13;
constexpr DWORD kRegSz = 1;

thread_local DWORD t_lastError = 0;

BOOL Fail(DWORD error)
{
    t_lastError = error;
    return FALSE;
}

std::mutex g_providerLock;
std::shared_ptr<IKsDeviceProvider> g_provider;

std::shared_ptr<IKsDeviceProvider> Provider()
{
    std::lock_guard guard(g_providerLock);
    if (!g_provider)
        g_provider = std::make_shared<mvaudio::CAlsaKsProvider>();
    return g_provider;
}

bool HasCategory(const KsFilterDescription& f, const GUID& category)
{
    return std::find(f.categories.begin(), f.categories.end(), category) != f.categories.end();
}

struct CDeviceSet {
    GUID category;
    std::vector<KsFilterDescription> filters;
};

CDeviceSet* SetOf(HDEVINFO set) { return set && set != INVALID_HANDLE_VALUE ? static_cast<CDeviceSet*>(set) : nullptr; }

// Copies a reply of `size` bytes, or tells the size needed: an empty buffer
// is a size query (ERROR_MORE_DATA), a short one ERROR_INSUFFICIENT_BUFFER.
BOOL Reply(void* out, DWORD outSize, DWORD* returned, const void* data, std::size_t size)
{
    if (returned)
        *returned = static_cast<DWORD>(size);
    if (!out || outSize == 0)
        return Fail(ERROR_MORE_DATA);
    if (outSize < size)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(out, data, size);
    return TRUE;
}

BOOL ReplyULong(void* out, DWORD outSize, DWORD* returned, ULONG value)
{
    return Reply(out, outSize, returned, &value, sizeof value);
}

// A KSMULTIPLE_ITEM followed by the items, each padded to 8 bytes.
template <class Item>
BOOL ReplyItems(void* out, DWORD outSize, DWORD* returned, const std::vector<Item>& items)
{
    const std::size_t stride = (sizeof(Item) + 7) & ~std::size_t(7);
    std::vector<BYTE> bytes(sizeof(KSMULTIPLE_ITEM) + stride * items.size());
    const KSMULTIPLE_ITEM header{static_cast<ULONG>(bytes.size()), static_cast<ULONG>(items.size())};
    std::memcpy(bytes.data(), &header, sizeof header);
    for (std::size_t i = 0; i < items.size(); ++i)
        std::memcpy(bytes.data() + sizeof header + i * stride, &items[i], sizeof(Item));
    return Reply(out, outSize, returned, bytes.data(), bytes.size());
}

class CKsFilterObject : public mvsync::CKernelObject {
public:
    CKsFilterObject(KsFilterDescription desc, std::shared_ptr<IKsDeviceProvider> provider)
        : m_desc(std::move(desc)), m_provider(std::move(provider))
    {
    }

    BOOL Property(const KSPROPERTY& p, DWORD inSize, const void* in, void* out, DWORD outSize, DWORD* returned)
    {
        if (p.Set == KSPROPSETID_Pin && (p.Flags & KSPROPERTY_TYPE_GET))
            return PinProperty(p, inSize, in, out, outSize, returned);
        if (p.Set == KSPROPSETID_Topology && p.Id == KSPROPERTY_TOPOLOGY_NODES && (p.Flags & KSPROPERTY_TYPE_GET)) {
            std::vector<GUID> types;
            for (const KsNodeDescription& n : m_desc.nodes)
                types.push_back(n.type);
            return ReplyItems(out, outSize, returned, types);
        }
        if (inSize < sizeof(KSP_NODE))
            return Fail(ERROR_SET_NOT_FOUND);
        const ULONG node = static_cast<const KSP_NODE*>(in)->NodeId;
        if ((p.Set == KSPROPSETID_Topology || p.Set == KSPROPSETID_Audio) && node >= m_desc.nodes.size())
            return Fail(ERROR_NOT_FOUND);
        if (p.Set == KSPROPSETID_Topology && p.Id == KSPROPERTY_TOPOLOGY_NAME) {
            std::u16string name = m_desc.nodes[node].name;
            return Reply(out, outSize, returned, name.c_str(), (name.size() + 1) * sizeof(char16_t));
        }
        if (p.Set == KSPROPSETID_Audio && (p.Flags & KSPROPERTY_TYPE_BASICSUPPORT) && p.Id >= 1 &&
            p.Id <= KSPROPERTY_AUDIO_LAST) {
            const KsNodeDescription& n = m_desc.nodes[node];
            const std::uint64_t bit = std::uint64_t(1) << (p.Id - 1);
            if (!((n.getMask | n.setMask) & bit))
                return Fail(ERROR_NOT_FOUND);
            KSPROPERTY_DESCRIPTION d{};
            d.AccessFlags = ((n.getMask & bit) ? KSPROPERTY_TYPE_GET : 0) | ((n.setMask & bit) ? KSPROPERTY_TYPE_SET : 0);
            d.DescriptionSize = sizeof d;
            return Reply(out, outSize, returned, &d, sizeof d);
        }
        return Fail(ERROR_SET_NOT_FOUND);
    }

    const KsFilterDescription& Description() const { return m_desc; }
    const std::shared_ptr<IKsDeviceProvider>& ProviderOf() const { return m_provider; }

private:
    BOOL PinProperty(const KSPROPERTY& p, DWORD inSize, const void* in, void* out, DWORD outSize, DWORD* returned)
    {
        if (p.Id == KSPROPERTY_PIN_CTYPES)
            return ReplyULong(out, outSize, returned, static_cast<ULONG>(m_desc.pins.size()));
        if (inSize < sizeof(KSP_PIN))
            return Fail(ERROR_INVALID_PARAMETER);
        const ULONG id = static_cast<const KSP_PIN*>(in)->PinId;
        if (id >= m_desc.pins.size())
            return Fail(ERROR_NOT_FOUND);
        const KsPinDescription& pin = m_desc.pins[id];
        switch (p.Id) {
        case KSPROPERTY_PIN_DATAFLOW:
            return ReplyULong(out, outSize, returned, pin.dataFlow);
        case KSPROPERTY_PIN_COMMUNICATION:
            return ReplyULong(out, outSize, returned, pin.communication);
        case KSPROPERTY_PIN_DATARANGES:
            return ReplyItems(out, outSize, returned, pin.ranges);
        case KSPROPERTY_PIN_INTERFACES: {
            std::vector<KSIDENTIFIER> sets;
            if (pin.standardStreaming)
                sets.push_back({KSINTERFACESETID_Standard, KSINTERFACE_STANDARD_STREAMING, 0});
            return ReplyItems(out, outSize, returned, sets);
        }
        case KSPROPERTY_PIN_MEDIUMS: {
            std::vector<KSIDENTIFIER> sets;
            if (pin.standardMedium)
                sets.push_back({KSMEDIUMSETID_Standard, KSMEDIUM_TYPE_ANYINSTANCE, 0});
            return ReplyItems(out, outSize, returned, sets);
        }
        default:
            return Fail(ERROR_NOT_FOUND);
        }
    }

    const KsFilterDescription m_desc;
    const std::shared_ptr<IKsDeviceProvider> m_provider;
};

class CKsPinObject : public mvsync::CKernelObject {
public:
    CKsPinObject(const KsPinDescription& desc, std::unique_ptr<IKsPinStream> stream)
        : m_desc(desc), m_stream(std::move(stream))
    {
        // The worker stands in for the device's side of the stream: audio
        // side, never UI.
        m_worker = std::thread([this] {
            mv::MarkCurrentThread(mv::ThreadRole::Audio);
            WorkerLoop();
        });
    }
    ~CKsPinObject() override
    {
        {
            std::lock_guard guard(m_lock);
            m_closing = true;
        }
        m_ready.notify_all();
        m_worker.join();
        HandBack();
        m_stream->SetState(KSSTATE_STOP);
    }

    BOOL Property(const KSPROPERTY& p, DWORD inSize, const void* in, void* out, DWORD outSize, DWORD* returned)
    {
        if (p.Set != KSPROPSETID_Connection)
            return Fail(ERROR_SET_NOT_FOUND);
        if (p.Id == KSPROPERTY_CONNECTION_STATE && (p.Flags & KSPROPERTY_TYPE_SET)) {
            if (!out || outSize < sizeof(ULONG))
                return Fail(ERROR_INVALID_PARAMETER);
            ULONG state;
            std::memcpy(&state, out, sizeof state);
            return state <= KSSTATE_RUN ? SetState(static_cast<KSSTATE>(state)) : Fail(ERROR_INVALID_PARAMETER);
        }
        if (!(p.Flags & KSPROPERTY_TYPE_GET))
            return Fail(ERROR_NOT_FOUND);
        if (p.Id == KSPROPERTY_CONNECTION_STATE) {
            std::lock_guard guard(m_lock);
            return ReplyULong(out, outSize, returned, m_state);
        }
        if (p.Id == KSPROPERTY_CONNECTION_ALLOCATORFRAMING && m_desc.allocatorFrameSize) {
            KSALLOCATOR_FRAMING f{};
            f.Frames = 2;
            f.FrameSize = m_desc.allocatorFrameSize;
            return Reply(out, outSize, returned, &f, sizeof f);
        }
        if (p.Id == KSPROPERTY_CONNECTION_ALLOCATORFRAMING_EX && m_desc.framingExMinFrameSize) {
            KSALLOCATOR_FRAMING_EX f{};
            f.CountItems = 1;
            f.FramingItem[0].Frames = 2;
            f.FramingItem[0].FramingRange.Range = {m_desc.framingExMinFrameSize, 0xFFFFFFFFu, 1};
            return Reply(out, outSize, returned, &f, sizeof f);
        }
        return Fail(ERROR_NOT_FOUND);
    }

    BOOL Write(KSSTREAM_HEADER* header, OVERLAPPED* overlapped)
    {
        if (!header || !overlapped || !overlapped->hEvent || header->Size < sizeof(KSSTREAM_HEADER))
            return Fail(ERROR_INVALID_PARAMETER);
        {
            std::lock_guard guard(m_lock);
            if (m_count == m_queue.size())
                return Fail(ERROR_NOT_ENOUGH_MEMORY);
            m_queue[(m_first + m_count) % m_queue.size()] = {header, overlapped->hEvent};
            ++m_count;
        }
        m_ready.notify_one();
        return Fail(ERROR_IO_PENDING);
    }

private:
    struct Packet {
        KSSTREAM_HEADER* header;
        HANDLE event;
    };

    BOOL SetState(KSSTATE state)
    {
        {
            std::lock_guard guard(m_lock);
            m_state = state;
        }
        m_stream->SetState(state);
        if (state == KSSTATE_STOP)
            HandBack();
        m_ready.notify_all();
        return TRUE;
    }

    // Completes every waiting packet unplayed.
    void HandBack()
    {
        std::unique_lock guard(m_lock);
        while (m_count > 0) {
            const Packet p = m_queue[m_first];
            m_first = (m_first + 1) % m_queue.size();
            --m_count;
            p.header->DataUsed = 0;
            SetEvent(p.event);
        }
    }

    void WorkerLoop()
    {
        std::unique_lock guard(m_lock);
        for (;;) {
            m_ready.wait(guard, [this] { return m_closing || (m_state == KSSTATE_RUN && m_count > 0); });
            if (m_closing)
                return;
            const Packet p = m_queue[m_first];
            m_first = (m_first + 1) % m_queue.size();
            --m_count;
            guard.unlock();
            m_stream->Write(p.header->Data, p.header->DataUsed);
            SetEvent(p.event);
            guard.lock();
        }
    }

    const KsPinDescription m_desc;
    const std::unique_ptr<IKsPinStream> m_stream;
    std::mutex m_lock;
    std::condition_variable m_ready;
    ULONG m_state = KSSTATE_STOP;
    std::array<Packet, 64> m_queue{};
    std::size_t m_first = 0;
    std::size_t m_count = 0;
    bool m_closing = false;
    std::thread m_worker;
};

bool RangeHolds(const KSDATARANGE_AUDIO& r, const WAVEFORMATEX& f)
{
    const bool pcm = r.DataRange.SubFormat == KSDATAFORMAT_SUBTYPE_PCM || r.DataRange.SubFormat == GUID_NULL;
    return r.DataRange.MajorFormat == KSDATAFORMAT_TYPE_AUDIO && pcm && f.nChannels <= r.MaximumChannels &&
           f.wBitsPerSample >= r.MinimumBitsPerSample && f.wBitsPerSample <= r.MaximumBitsPerSample &&
           f.nSamplesPerSec >= r.MinimumSampleFrequency && f.nSamplesPerSec <= r.MaximumSampleFrequency;
}

}  // namespace

void KsSetDeviceProvider(std::shared_ptr<IKsDeviceProvider> provider)
{
    std::lock_guard guard(g_providerLock);
    g_provider = std::move(provider);
}

DWORD GetLastError() { return t_lastError; }
void SetLastError(DWORD error) { t_lastError = error; }

HDEVINFO SetupDiGetClassDevsA(const GUID* category, LPCSTR, HWND, DWORD flags)
{
    if (!category || !(flags & DIGCF_DEVICEINTERFACE)) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    auto* set = new CDeviceSet{*category, {}};
    for (KsFilterDescription& f : Provider()->Filters())
        if (HasCategory(f, *category))
            set->filters.push_back(std::move(f));
    return set;
}

BOOL SetupDiEnumDeviceInterfaces(HDEVINFO set, SP_DEVINFO_DATA*, const GUID* category, DWORD index,
                                 SP_DEVICE_INTERFACE_DATA* data)
{
    CDeviceSet* s = SetOf(set);
    if (!s || !category || !data || data->cbSize != sizeof(SP_DEVICE_INTERFACE_DATA))
        return Fail(ERROR_INVALID_PARAMETER);
    if (*category != s->category || index >= s->filters.size())
        return Fail(ERROR_NO_MORE_ITEMS);
    data->InterfaceClassGuid = s->category;
    data->Flags = SPINT_ACTIVE;
    data->Reserved = index;
    return TRUE;
}

BOOL SetupDiGetDeviceInterfaceDetailA(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data,
                                      SP_DEVICE_INTERFACE_DETAIL_DATA_A* detail, DWORD detailSize, DWORD* required,
                                      SP_DEVINFO_DATA* device)
{
    CDeviceSet* s = SetOf(set);
    if (!s || !data || data->Reserved >= s->filters.size())
        return Fail(ERROR_INVALID_PARAMETER);
    const std::string& path = s->filters[data->Reserved].path;
    const DWORD needed = static_cast<DWORD>(offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_A, DevicePath) + path.size() + 1);
    if (required)
        *required = needed;
    if (device) {
        device->ClassGuid = s->category;
        device->DevInst = static_cast<DWORD>(data->Reserved);
        device->Reserved = data->Reserved;
    }
    if (!detail || detailSize < needed)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(detail->DevicePath, path.c_str(), path.size() + 1);
    return TRUE;
}

BOOL SetupDiGetDeviceInterfaceAlias(HDEVINFO set, SP_DEVICE_INTERFACE_DATA* data, const GUID* aliasCategory,
                                    SP_DEVICE_INTERFACE_DATA* alias)
{
    CDeviceSet* s = SetOf(set);
    if (!s || !data || !aliasCategory || !alias || data->Reserved >= s->filters.size())
        return Fail(ERROR_INVALID_PARAMETER);
    if (!HasCategory(s->filters[data->Reserved], *aliasCategory))
        return Fail(ERROR_NO_SUCH_INTERFACE_DEVICE);
    alias->InterfaceClassGuid = *aliasCategory;
    alias->Flags = SPINT_ACTIVE;
    alias->Reserved = data->Reserved;
    return TRUE;
}

BOOL SetupDiGetDeviceRegistryPropertyA(HDEVINFO set, SP_DEVINFO_DATA* device, DWORD property, DWORD* type,
                                       BYTE* buffer, DWORD size, DWORD* required)
{
    CDeviceSet* s = SetOf(set);
    if (!s || !device || device->Reserved >= s->filters.size())
        return Fail(ERROR_INVALID_PARAMETER);
    const KsFilterDescription& f = s->filters[device->Reserved];
    const std::string* text = nullptr;
    switch (property) {
    case SPDRP_DEVICEDESC: text = &f.description; break;
    case SPDRP_HARDWAREID: text = &f.hardwareId; break;
    case SPDRP_SERVICE: text = &f.service; break;
    case SPDRP_DRIVER: text = &f.driverKey; break;
    case SPDRP_FRIENDLYNAME: text = &f.friendlyName; break;
    default: break;
    }
    if (!text || text->empty())
        return Fail(kErrorInvalidData);
    if (type)
        *type = kRegSz;
    if (required)
        *required = static_cast<DWORD>(text->size() + 1);
    if (!buffer || size < text->size() + 1)
        return Fail(ERROR_INSUFFICIENT_BUFFER);
    std::memcpy(buffer, text->c_str(), text->size() + 1);
    return TRUE;
}

BOOL SetupDiDestroyDeviceInfoList(HDEVINFO set)
{
    CDeviceSet* s = SetOf(set);
    if (!s)
        return Fail(ERROR_INVALID_HANDLE);
    delete s;
    return TRUE;
}

HANDLE KsOpenDeviceInterface(LPCSTR path, DWORD, DWORD)
{
    if (!path) {
        Fail(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    const std::shared_ptr<IKsDeviceProvider> provider = Provider();
    for (KsFilterDescription& f : provider->Filters())
        if (f.path == path)
            return mvsync::OpenHandle(std::make_shared<CKsFilterObject>(std::move(f), provider));
    Fail(ERROR_FILE_NOT_FOUND);
    return INVALID_HANDLE_VALUE;
}

BOOL DeviceIoControl(HANDLE device, DWORD code, void* in, DWORD inSize, void* out, DWORD outSize, DWORD* returned,
                     OVERLAPPED* overlapped)
{
    if (returned)
        *returned = 0;
    const std::shared_ptr<mvsync::CKernelObject> object = mvsync::LookupHandle(device);
    auto* filter = dynamic_cast<CKsFilterObject*>(object.get());
    auto* pin = dynamic_cast<CKsPinObject*>(object.get());
    if (!filter && !pin)
        return Fail(ERROR_INVALID_HANDLE);
    if (code == IOCTL_KS_WRITE_STREAM) {
        if (!pin)
            return Fail(ERROR_INVALID_FUNCTION);
        if (outSize < sizeof(KSSTREAM_HEADER))
            return Fail(ERROR_INVALID_PARAMETER);
        return pin->Write(static_cast<KSSTREAM_HEADER*>(out), overlapped);
    }
    if (code != IOCTL_KS_PROPERTY || !in || inSize < sizeof(KSPROPERTY))
        return Fail(ERROR_INVALID_FUNCTION);
    KSPROPERTY p;
    std::memcpy(&p, in, sizeof p);
    return filter ? filter->Property(p, inSize, in, out, outSize, returned)
                  : pin->Property(p, inSize, in, out, outSize, returned);
}

DWORD KsCreatePin(HANDLE filterHandle, KSPIN_CONNECT* connect, DWORD, HANDLE* pin)
{
    if (!pin)
        return ERROR_INVALID_PARAMETER;
    *pin = nullptr;
    const auto filter = mvsync::LookupHandleAs<CKsFilterObject>(filterHandle);
    if (!filter)
        return ERROR_INVALID_HANDLE;
    if (!connect)
        return ERROR_INVALID_PARAMETER;
    const KsFilterDescription& desc = filter->Description();
    if (connect->PinId >= desc.pins.size())
        return ERROR_NOT_FOUND;
    const KsPinDescription& p = desc.pins[connect->PinId];
    const bool streaming = connect->Interface.Set == KSINTERFACESETID_Standard &&
                           connect->Interface.Id <= KSINTERFACE_STANDARD_LOOPED_STREAMING && p.standardStreaming;
    if (!streaming || connect->Medium.Set != KSMEDIUMSETID_Standard || !p.standardMedium)
        return ERROR_NO_MATCH;
    const auto* format = reinterpret_cast<const KSDATAFORMAT*>(connect + 1);
    if (format->FormatSize < sizeof(KSDATAFORMAT) + sizeof(WAVEFORMATEX) ||
        format->MajorFormat != KSDATAFORMAT_TYPE_AUDIO || format->SubFormat != KSDATAFORMAT_SUBTYPE_PCM ||
        format->Specifier != KSDATAFORMAT_SPECIFIER_WAVEFORMATEX)
        return ERROR_NO_MATCH;
    WAVEFORMATEX wave;
    std::memcpy(&wave, format + 1, sizeof wave);
    if (std::none_of(p.ranges.begin(), p.ranges.end(), [&](const KSDATARANGE_AUDIO& r) { return RangeHolds(r, wave); }))
        return ERROR_NO_MATCH;
    DWORD error = ERROR_DEVICE_NOT_CONNECTED;
    std::unique_ptr<IKsPinStream> stream = filter->ProviderOf()->OpenPin(desc.path, connect->PinId, wave, &error);
    if (!stream)
        return error ? error : ERROR_DEVICE_NOT_CONNECTED;
    *pin = mvsync::OpenHandle(std::make_shared<CKsPinObject>(p, std::move(stream)));
    return ERROR_SUCCESS;
}
