// One topology node of a filter: its type, its name and which of the audio
// properties (ids 1..36) it supports for get and for set.
#pragma once

#include <cstdint>
#include <string>

#include "platform/audio/KsDevices.h"

class CKsNode {
public:
    CKsNode(HANDLE filter, ULONG id, const GUID& type, std::u16string name);

    // Asks the filter which audio properties the node supports.
    void ReadPropertySupport();

    ULONG GetId() const { return m_id; }
    const GUID& GetType() const { return m_type; }
    const std::u16string& GetName() const { return m_name; }
    // Bit id - 1 for audio property id.
    std::uint64_t GetMask() const { return m_getMask; }
    std::uint64_t SetMask() const { return m_setMask; }

private:
    const HANDLE m_filter;
    const ULONG m_id;
    const GUID m_type;
    const std::u16string m_name;
    std::uint64_t m_getMask = 0;
    std::uint64_t m_setMask = 0;
};
