#include "engine/graph/CNullSynth.h"

#include <cstring>
#include <new>

namespace {

// All fields of the two types and their format blocks equal.
bool Identical(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b)
{
    return IsEqualGUID(a.majortype, b.majortype) && IsEqualGUID(a.subtype, b.subtype) &&
           IsEqualGUID(a.formattype, b.formattype) && a.bFixedSizeSamples == b.bFixedSizeSamples &&
           a.bTemporalCompression == b.bTemporalCompression && a.lSampleSize == b.lSampleSize &&
           a.cbFormat == b.cbFormat && (a.cbFormat == 0 || std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0);
}

}  // namespace

CNullSynthInputPin::CNullSynthInputPin(CFanOutFilter* owner, HRESULT* phr, CDxFilterGraph* graph)
    : CFanOutInputPin("CNullSynthInputPin", owner, phr, u"NullSynthIPin", graph)
{
}

CNullSynthOutputPin::CNullSynthOutputPin(CFanOutFilter* owner, HRESULT* phr, CDxFilterGraph* graph)
    : CFanOutOutputPin("CNullSynthOutputPin", owner, phr, u"NullSynthOPin", graph)
{
}

CNullSynth::CNullSynth(CDxFilterGraph* graph) : CFanOutFilter("CNullSynth", graph, CLSID_NullSynth) {}

HRESULT CNullSynth::Create(CDxFilterGraph* graph, int outputs, CNullSynth** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (!graph || outputs < 1 || outputs > kMaxOutputs)
        return E_INVALIDARG;
    auto* synth = new (std::nothrow) CNullSynth(graph);
    HRESULT hr = synth ? synth->MakePins<CNullSynthInputPin, CNullSynthOutputPin>(outputs) : S_OK;
    return FinishCreate(synth, hr, out);
}

const CMediaType* CNullSynth::ConnectionType() const
{
    if (InputPin()->IsConnected())
        return &InputPin()->CurrentMediaType();
    for (int i = 0; i < OutputCount(); ++i) {
        if (OutputPin(i)->IsConnected())
            return &OutputPin(i)->CurrentMediaType();
    }
    return nullptr;
}

HRESULT CNullSynth::CheckPinType(const CBasePin*, const CMediaType* mt)
{
    if (!mt)
        return E_POINTER;
    const CMediaType* agreed = ConnectionType();
    if (!agreed)
        return S_OK;
    return Identical(*agreed, *mt) ? S_OK : VFW_E_TYPE_NOT_ACCEPTED;
}
