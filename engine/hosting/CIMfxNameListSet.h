// A set of instrument name lists handed to a plug-in: a reference-counted
// view of the host's name-list map, in key order. The host hands out sets
// over one process-wide map that nothing in this program fills, so every
// set a plug-in receives holds no list; a host that offers instrument names
// would fill it at start-up, before any set is handed out.
#pragma once

#include <atomic>
#include <map>

#include "engine/hosting/CIMfxNameList.h"
#include "engine/hosting/IMfxNameListSet.h"

using MfxNameListMap = std::map<DWORD, MfxNameListRecord>;

class CIMfxNameListSet final : public IMfxNameListSet {
public:
    // One reference, the caller's.
    explicit CIMfxNameListSet(const MfxNameListMap* map);

    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(GetCount)(LONG* count) override;
    // E_INVALIDARG outside 0..count-1; a new list with one reference.
    STDMETHOD(GetNameList)(LONG index, IMfxNameList** list) override;

    // The process-wide map.
    static MfxNameListMap& SharedMap();

private:
    ~CIMfxNameListSet() = default;

    std::atomic<LONG> m_refs{1};
    const MfxNameListMap* m_map;
};
