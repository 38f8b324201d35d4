// The program's stand-in for a soft synth that is built in-process instead
// of created as a plug-in: one input and 1 to 16 outputs; it renders nothing
// and passes its input (the source's silent block) to every output as the
// tee does (see CFanOutFilter). The first connection decides the type of
// every pin: after it, only an identical type is accepted.
//
// Threads: creation and type checks on the UI thread; blocks pass on the
// audio thread (CFanOutFilter).
#pragma once

#include "engine/graph/CFanOutFilter.h"

MV_DEFINE_GUID(CLSID_NullSynth, 0x2A9ED14D, 0xDDE9, 0x4D69, 0x98, 0x24, 0xAA, 0x3A, 0x47, 0x1E, 0x23, 0x6A);

// The null synth's input, "NullSynthIPin".
class CNullSynthInputPin : public CFanOutInputPin {
public:
    CNullSynthInputPin(CFanOutFilter* owner, HRESULT* phr, CDxFilterGraph* graph);
};

// An output of the null synth, "NullSynthOPin".
class CNullSynthOutputPin : public CFanOutOutputPin {
public:
    CNullSynthOutputPin(CFanOutFilter* owner, HRESULT* phr, CDxFilterGraph* graph);
};

class CNullSynth : public CFanOutFilter {
public:
    static constexpr int kMaxOutputs = 16;

    // A new null synth with one reference. E_INVALIDARG without a graph or
    // for an output count outside 1..16.
    static HRESULT Create(CDxFilterGraph* graph, int outputs, CNullSynth** out);

    // With no pin connected any type; otherwise only the type of the
    // connection (the input's, else the first connected output's), field
    // for field (VFW_E_TYPE_NOT_ACCEPTED).
    HRESULT CheckPinType(const CBasePin* pin, const CMediaType* mt) override;

private:
    explicit CNullSynth(CDxFilterGraph* graph);

    // The connection type, or null with nothing connected.
    const CMediaType* ConnectionType() const;
};
