// The loop player's class table: its filter. The property page comes with
// the window layer's pages.
#include "CTamblor.h"
#include "TamblorClass.h"
#include "plugins/synthframework/PlugInServer.h"

namespace {
HRESULT CreateTamblor(IUnknown* outer, REFIID riid, void** ppv)
{
    return mvsynth::CFilter::CreateInstance(mvtamblor::CTamblor::Class(), outer, riid, ppv);
}

const mvsynth::FactoryTemplate kTemplates[] = {
    {mvtamblor::kTamblorFilterName, &mvtamblor::CLSID_Tamblor, &CreateTamblor, true},
};
}  // namespace

std::span<const mvsynth::FactoryTemplate> mvsynth::PlugInFactories() { return kTemplates; }
