// The bridge plug-in's class table: its filter, catalogued with no
// category key, so that no host lists it by itself.
#include "plugins/rewirebridge/BridgeClass.h"
#include "plugins/rewirebridge/CReWireBridge.h"
#include "plugins/synthframework/CFilter.h"
#include "plugins/synthframework/PlugInServer.h"

namespace {
HRESULT CreateBridge(IUnknown* outer, REFIID riid, void** ppv)
{
    return mvsynth::CFilter::CreateInstance(mvrewire::CReWireBridge::Class(), outer, riid, ppv);
}

const mvsynth::FactoryTemplate kTemplates[] = {
    {mvrewire::kBridgeFilterName, &mvrewire::CLSID_ReWireBridge, &CreateBridge, true, false},
};
}  // namespace

std::span<const mvsynth::FactoryTemplate> mvsynth::PlugInFactories() { return kTemplates; }
