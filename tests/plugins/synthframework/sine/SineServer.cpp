// The sine test plug-in's class table: the filter only.
#include "CSineSynth.h"
#include "SineSynthClass.h"
#include "plugins/synthframework/PlugInServer.h"

namespace {
HRESULT CreateSine(IUnknown* outer, REFIID riid, void** ppv)
{
    return mvsynth::CFilter::CreateInstance(mvtest::CSineSynth::Class(), outer, riid, ppv);
}

const mvsynth::FactoryTemplate kTemplates[] = {
    {mvtest::kSineSynthName, &mvtest::CLSID_SineSynth, &CreateSine, true},
};
}  // namespace

std::span<const mvsynth::FactoryTemplate> mvsynth::PlugInFactories() { return kTemplates; }
