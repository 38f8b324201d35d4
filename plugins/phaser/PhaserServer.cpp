// The phaser plug-in's class table: its filter. The property page comes
// with the window layer's pages.
#include "CPhaser.h"
#include "PhaserClass.h"
#include "plugins/synthframework/PlugInServer.h"

namespace {
HRESULT CreatePhaser(IUnknown* outer, REFIID riid, void** ppv)
{
    return mvsynth::CFilter::CreateInstance(mvphaser::CPhaser::Class(), outer, riid, ppv);
}

const mvsynth::FactoryTemplate kTemplates[] = {
    {mvphaser::kPhaserFilterName, &mvphaser::CLSID_Phaser, &CreatePhaser, true},
};
}  // namespace

std::span<const mvsynth::FactoryTemplate> mvsynth::PlugInFactories() { return kTemplates; }
