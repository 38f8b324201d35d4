#include "devices/CKsFilter.h"

#include <cstring>

#include "devices/KsLibrary.h"

namespace {

bool HasStandardSet(HANDLE filter, ULONG property, ULONG pinId, const GUID& set)
{
    KSP_PIN request{{KSPROPSETID_Pin, property, KSPROPERTY_TYPE_GET}, pinId, 0};
    const std::vector<BYTE> items = KsGetMultipleItems(filter, &request, sizeof request);
    if (items.size() < sizeof(KSMULTIPLE_ITEM))
        return false;
    KSMULTIPLE_ITEM header;
    std::memcpy(&header, items.data(), sizeof header);
    for (ULONG i = 0; i < header.Count; ++i) {
        const std::size_t at = sizeof header + i * sizeof(KSIDENTIFIER);
        if (at + sizeof(KSIDENTIFIER) > items.size())
            break;
        KSIDENTIFIER id;
        std::memcpy(&id, items.data() + at, sizeof id);
        if (id.Set == set && id.Id == 0)
            return true;
    }
    return false;
}

std::vector<KSDATARANGE_AUDIO> AudioRanges(HANDLE filter, ULONG pinId)
{
    std::vector<KSDATARANGE_AUDIO> ranges;
    KSP_PIN request{{KSPROPSETID_Pin, KSPROPERTY_PIN_DATARANGES, KSPROPERTY_TYPE_GET}, pinId, 0};
    const std::vector<BYTE> items = KsGetMultipleItems(filter, &request, sizeof request);
    if (items.size() < sizeof(KSMULTIPLE_ITEM))
        return ranges;
    KSMULTIPLE_ITEM header;
    std::memcpy(&header, items.data(), sizeof header);
    std::size_t at = sizeof header;
    for (ULONG i = 0; i < header.Count && at + sizeof(KSDATARANGE) <= items.size(); ++i) {
        KSDATARANGE range;
        std::memcpy(&range, items.data() + at, sizeof range);
        if (range.FormatSize < sizeof range)
            break;
        if (range.FormatSize >= sizeof(KSDATARANGE_AUDIO) && at + sizeof(KSDATARANGE_AUDIO) <= items.size() &&
            range.MajorFormat == KSDATAFORMAT_TYPE_AUDIO) {
            KSDATARANGE_AUDIO audio;
            std::memcpy(&audio, items.data() + at, sizeof audio);
            ranges.push_back(audio);
        }
        // Ranges follow one another on 8-byte boundaries.
        at += (range.FormatSize + 7) & ~std::size_t(7);
    }
    return ranges;
}

}  // namespace

CKsFilter::CKsFilter(const std::vector<std::string>& texts, int type) : m_texts(kTextCount), m_type(type)
{
    for (std::size_t i = 0; i < kTextCount && i < texts.size(); ++i)
        m_texts[i] = texts[i].substr(0, kMaxText - 1);
}

CKsFilter::~CKsFilter()
{
    m_renderPin.reset();
    m_capturePin.reset();
    ReleaseLists();
}

bool CKsFilter::Open()
{
    m_handle = KsOpenDeviceInterface(m_texts[kPath].c_str(), GENERIC_READ | GENERIC_WRITE, FILE_FLAG_OVERLAPPED);
    return IsValid();
}

void CKsFilter::ReleaseLists()
{
    m_renderSink.clear();
    m_renderSource.clear();
    m_capture.clear();
    m_captureSource.clear();
    m_pins.clear();
    m_nodes.clear();
}

std::unique_ptr<CKsPin> CKsFilter::MakePin(ULONG id, ULONG dataFlow, ULONG communication,
                                           const std::vector<KSDATARANGE_AUDIO>&)
{
    return std::make_unique<CKsPin>(this, id, dataFlow, communication);
}

bool CKsFilter::EnumeratePins()
{
    ReleaseLists();
    ULONG count = 0;
    if (!KsGetProperty(m_handle, KSPROPSETID_Pin, KSPROPERTY_PIN_CTYPES, &count, sizeof count))
        return false;
    for (ULONG id = 0; id < count; ++id) {
        ULONG communication = 0, dataFlow = 0;
        if (!KsGetPinProperty(m_handle, KSPROPSETID_Pin, KSPROPERTY_PIN_COMMUNICATION, id, &communication,
                              sizeof communication) ||
            communication < KSPIN_COMMUNICATION_SINK || communication > KSPIN_COMMUNICATION_BOTH)
            continue;
        if (!HasStandardSet(m_handle, KSPROPERTY_PIN_INTERFACES, id, KSINTERFACESETID_Standard) ||
            !HasStandardSet(m_handle, KSPROPERTY_PIN_MEDIUMS, id, KSMEDIUMSETID_Standard))
            continue;
        const std::vector<KSDATARANGE_AUDIO> ranges = AudioRanges(m_handle, id);
        if (!KsGetPinProperty(m_handle, KSPROPSETID_Pin, KSPROPERTY_PIN_DATAFLOW, id, &dataFlow, sizeof dataFlow))
            continue;
        m_pins.push_back(MakePin(id, dataFlow, communication, ranges));
    }
    for (const std::unique_ptr<CKsPin>& pin : m_pins) {
        const bool sink = pin->GetCommunication() & KSPIN_COMMUNICATION_SINK;
        const bool source = pin->GetCommunication() & KSPIN_COMMUNICATION_SOURCE;
        if (pin->GetDataFlow() == KSPIN_DATAFLOW_IN) {
            if (sink)
                m_renderSink.push_back(pin.get());
            if (source)
                m_captureSource.push_back(pin.get());
        } else if (pin->GetDataFlow() == KSPIN_DATAFLOW_OUT) {
            if (sink)
                m_capture.push_back(pin.get());
            if (source)
                m_renderSource.push_back(pin.get());
        }
    }
    return !m_renderSink.empty() || !m_renderSource.empty() || !m_capture.empty() || !m_captureSource.empty();
}

bool CKsFilter::EnumerateNodes()
{
    m_nodes.clear();
    KSPROPERTY request{KSPROPSETID_Topology, KSPROPERTY_TOPOLOGY_NODES, KSPROPERTY_TYPE_GET};
    const std::vector<BYTE> items = KsGetMultipleItems(m_handle, &request, sizeof request);
    if (items.size() < sizeof(KSMULTIPLE_ITEM))
        return false;
    KSMULTIPLE_ITEM header;
    std::memcpy(&header, items.data(), sizeof header);
    for (ULONG id = 0; id < header.Count && sizeof header + (id + 1) * sizeof(GUID) <= items.size(); ++id) {
        GUID type;
        std::memcpy(&type, items.data() + sizeof header + id * sizeof(GUID), sizeof type);
        KSP_NODE nameRequest{{KSPROPSETID_Topology, KSPROPERTY_TOPOLOGY_NAME, KSPROPERTY_TYPE_GET}, id, 0};
        char16_t name[256] = {};
        DWORD returned = 0;
        SyncIoctl(m_handle, IOCTL_KS_PROPERTY, &nameRequest, sizeof nameRequest, name, sizeof name - sizeof(char16_t),
                  &returned);
        auto node = std::make_unique<CKsNode>(m_handle, id, type, std::u16string(name));
        node->ReadPropertySupport();
        m_nodes.push_back(std::move(node));
    }
    return true;
}
