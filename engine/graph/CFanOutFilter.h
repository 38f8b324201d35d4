// The common part of the filters that copy one stream to several outputs
// (the simple tee and the null synth): one input, a fixed number of outputs.
// Output 0 passes on the received sample itself; every further connected
// output gets its own copy of the block (silence stays a flag and is never
// copied). The copies are all made before any output is served, so a filter
// behind output 0 that changes the block in place cannot change what the
// other outputs receive. Outputs are served in order; a failure is returned
// at once and later outputs get nothing for that block.
//
// Everything runs under the filter lock (the CCritSec part, also every
// pin's lock); the fan-out only tries it. A filter whose input is not
// connected sends end-of-stream through its outputs when it pauses or runs.
#pragma once

#include <new>
#include <vector>

#include "engine/graph/CFanOutInputPin.h"
#include "engine/graph/CFanOutOutputPin.h"
#include "platform/media/CBaseFilter.h"

class CDxFilterGraph;

class CFanOutFilter : public CCritSec, public CBaseFilter {
public:
    ~CFanOutFilter() override;

    int GetPinCount() override { return OutputCount() + 1; }
    // The input at 0, output i at i + 1.
    CBasePin* GetPin(int n) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;

    // The type rule of the filter's pins: S_OK or the refusal.
    virtual HRESULT CheckPinType(const CBasePin* pin, const CMediaType* mt) = 0;

    // Audio thread: no allocation, no blocking. One block to every output.
    HRESULT FanOut(IMediaSample* sample);
    // Calls `deliver` on every connected output; the first failure.
    template <class Deliver>
    HRESULT ToEveryOutput(Deliver deliver)
    {
        HRESULT first = S_OK;
        for (CFanOutOutputPin* out : m_outputs) {
            if (!out->IsConnected())
                continue;
            HRESULT hr = deliver(out);
            if (FAILED(hr) && SUCCEEDED(first))
                first = hr;
        }
        return first;
    }

    int OutputCount() const { return static_cast<int>(m_outputs.size()); }
    CFanOutInputPin* InputPin() const { return m_input; }
    CFanOutOutputPin* OutputPin(int n) const;
    CDxFilterGraph* Graph() const { return m_graph; }
    // The allocator last notified to the input (no reference added).
    IMemAllocator* HeldAllocator() const { return m_held; }
    void HoldAllocator(IMemAllocator* allocator);

protected:
    CFanOutFilter(const char* objectName, CDxFilterGraph* graph, REFCLSID clsid);

    // Makes the input and `outputs` outputs of the subclass's pin kinds; the
    // first failure (E_OUTOFMEMORY when a pin cannot be made).
    template <class InputPin, class OutputPin>
    HRESULT MakePins(int outputs)
    {
        HRESULT hr = S_OK;
        std::vector<CFanOutOutputPin*> pins;
        try {
            pins.reserve(static_cast<std::size_t>(outputs));
            for (int i = 0; i < outputs; ++i)
                pins.push_back(new (std::nothrow) OutputPin(this, &hr, m_graph));
        } catch (const std::bad_alloc&) {
            hr = E_OUTOFMEMORY;
        }
        HRESULT adopted = AdoptPins(new (std::nothrow) InputPin(this, &hr, m_graph), std::move(pins));
        return FAILED(hr) ? hr : adopted;
    }

private:
    // Takes the pins made (each may be null when it could not be made);
    // E_OUTOFMEMORY when one is missing.
    HRESULT AdoptPins(CFanOutInputPin* input, std::vector<CFanOutOutputPin*> outputs);
    void EndIfUnfed();

    CDxFilterGraph* m_graph;
    CFanOutInputPin* m_input = nullptr;
    std::vector<CFanOutOutputPin*> m_outputs;
    // One slot per output for the copies of the block in flight.
    std::vector<IMediaSample*> m_copies;
    IMemAllocator* m_held = nullptr;  // referenced
};
