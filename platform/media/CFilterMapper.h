// The filter mapper over the registry, the class behind CLSID_FilterMapper
// (registered as a built-in class when the library loads).
//
// Where it keeps the catalogue, all below HKEY_CLASSES_ROOT:
//   Filter\{filter}                  default value: the filter's name
//   CLSID\{filter}                   "Merit" (dword; a filter without one has merit 0)
//   CLSID\{filter}\Pins\<pin>        "Direction" (dword: 0 input, 1 output),
//                                    "IsRendered", "AllowedZero", "AllowedMany"
//                                    (dwords), "ConnectsToFilter" (braced text),
//                                    "ConnectsToPin" (text)
//   CLSID\{filter}\Pins\<pin>\Types\{major}\{sub}   one empty key per type
// The class's own COM registration (its default value and InprocServer32)
// is not touched: a filter is registered with COM and with the mapper apart.
// Filters are listed in the order of the Filter key; one whose Filter subkey
// is not a braced class identifier is passed over. An enumerator takes its
// list when it is made and does not see later changes.
//
// Registry failures come back as HRESULT_FROM_WIN32 of the registry's error.
// Any thread but the audio thread (the registry takes a lock and does I/O).
#pragma once

#include "platform/com/CUnknownImpl.h"
#include "platform/media/FilterMapper.h"

class CFilterMapper : public mvcom::CUnknownImpl<IFilterMapper> {
public:
    static HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** ppv);

    // Replaces the name and merit of a filter registered before; its pins stay.
    STDMETHODIMP RegisterFilter(CLSID clsid, LPCWSTR name, DWORD merit) override;
    // E_NOTIMPL: filter instances are not catalogued.
    STDMETHODIMP RegisterFilterInstance(CLSID clsid, LPCWSTR name, CLSID* instance) override;
    // Replaces a pin of the same name, with its types.
    STDMETHODIMP RegisterPin(CLSID filter, LPCWSTR name, BOOL rendered, BOOL output, BOOL zero, BOOL many,
                             CLSID connectsToFilter, LPCWSTR connectsToPin) override;
    // The pin must be registered first (HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)).
    STDMETHODIMP RegisterPinType(CLSID filter, LPCWSTR pinName, CLSID majorType, CLSID subType) override;
    // Removes the filter from the catalogue with its merit and pins; one that
    // is not there is not an error.
    STDMETHODIMP UnregisterFilter(CLSID filter) override;
    STDMETHODIMP UnregisterFilterInstance(CLSID instance) override;
    STDMETHODIMP UnregisterPin(CLSID filter, LPCWSTR name) override;
    // Filters of at least `merit`; with `inputNeeded`, one input pin must
    // take a type that fits (and, with `render`, be rendered); with
    // `outputNeeded`, one output pin must give a type that fits.
    STDMETHODIMP EnumMatchingFilters(IEnumRegFilters** filters, DWORD merit, BOOL inputNeeded, CLSID inMajor,
                                     CLSID inSub, BOOL render, BOOL outputNeeded, CLSID outMajor,
                                     CLSID outSub) override;

protected:
    std::span<const mvcom::InterfaceEntry> InterfaceTable() const override;
};
