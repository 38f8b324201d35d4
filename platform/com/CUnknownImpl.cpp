#include "platform/com/CUnknownImpl.h"

namespace mvcom {

HRESULT QueryInterfaceFromTable(void* object, std::span<const InterfaceEntry> table, REFIID riid, void** ppv)
{
    if (!ppv)
        return E_POINTER;
    *ppv = nullptr;
    if (table.empty())
        return E_NOINTERFACE;
    const InterfaceEntry* found = nullptr;
    if (riid == IID_IUnknown) {
        found = &table.front();
    } else {
        for (const InterfaceEntry& e : table) {
            if (*e.iid == riid) {
                found = &e;
                break;
            }
        }
    }
    if (!found)
        return E_NOINTERFACE;
    IUnknown* unknown = found->cast(object);
    unknown->AddRef();
    *ppv = unknown;
    return S_OK;
}

}  // namespace mvcom
