#include "devices/CKsNode.h"

#include "devices/KsLibrary.h"

CKsNode::CKsNode(HANDLE filter, ULONG id, const GUID& type, std::u16string name)
    : m_filter(filter), m_id(id), m_type(type), m_name(std::move(name))
{
}

void CKsNode::ReadPropertySupport()
{
    m_getMask = m_setMask = 0;
    for (ULONG id = 1; id <= KSPROPERTY_AUDIO_LAST; ++id) {
        KSP_NODE request{{KSPROPSETID_Audio, id, KSPROPERTY_TYPE_BASICSUPPORT | KSPROPERTY_TYPE_TOPOLOGY}, m_id, 0};
        KSPROPERTY_DESCRIPTION description{};
        DWORD returned = 0;
        if (!SyncIoctl(m_filter, IOCTL_KS_PROPERTY, &request, sizeof request, &description, sizeof description,
                       &returned))
            continue;
        const std::uint64_t bit = std::uint64_t(1) << (id - 1);
        if (description.AccessFlags & KSPROPERTY_TYPE_GET)
            m_getMask |= bit;
        if (description.AccessFlags & KSPROPERTY_TYPE_SET)
            m_setMask |= bit;
    }
}
