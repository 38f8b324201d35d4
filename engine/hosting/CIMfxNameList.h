// One instrument name list handed to a plug-in: a reference-counted view of
// a record of the host's name-list map. The record outlives every list
// handed out over it (the map is emptied only at exit).
#pragma once

#include <atomic>
#include <vector>

#include "engine/hosting/IMfxNameList.h"
#include "platform/win/CString.h"

struct MfxNameListRecord {
    CString title;
    std::vector<CString> names;
};

class CIMfxNameList final : public IMfxNameList {
public:
    // One reference, the caller's.
    explicit CIMfxNameList(const MfxNameListRecord* record);

    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;
    STDMETHOD(GetTitle)(char* buffer, LONG size) override;
    STDMETHOD(GetCount)(LONG* count) override;
    // E_INVALIDARG outside 0..count-1.
    STDMETHOD(GetName)(LONG index, char* buffer, LONG size) override;

private:
    ~CIMfxNameList() = default;

    std::atomic<LONG> m_refs{1};
    const MfxNameListRecord* m_record;
};

// Copies at most size - 1 characters and a zero; E_POINTER for a null
// buffer or a size below 1.
HRESULT CopyNameText(const CString& text, char* buffer, LONG size);
