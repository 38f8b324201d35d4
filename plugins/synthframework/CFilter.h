// The COM object the host creates for a soft synth: a media filter with one
// audio input and any number of audio outputs, which is at the same time
// the synth layer (CSoftSynth) and carries the instrument engine and the
// automation object. Audio flows in through the input; each input block is
// cut into slices at the automation change points, the events due in each
// slice are handed to the instrument with it, and one block per output is
// delivered downstream.
//
// What makes one soft synth differ from another is its SynthClass: its
// class identifier, the instrument's name, its parameter table and how its
// engine is made.
//
// Threads: one lock, the instrument's, guards the filter, both pin kinds,
// the render path, the persistence calls and every soft-synth method. The
// render path only tries it (a busy lock refuses the block) so the
// streaming thread never waits on the host's control thread.
#pragma once

#include <memory>
#include <vector>

#include "platform/com/Persist.h"
#include "platform/media/CBaseFilter.h"
#include "plugins/synthframework/CFilterInputPin.h"
#include "plugins/synthframework/CFilterOutputPin.h"
#include "plugins/synthframework/CMediaParams.h"
#include "plugins/synthframework/CSoftSynth.h"

namespace mvsynth {

struct SynthClass {
    const CLSID* clsid;
    const char* instrumentName;
    const MediaParamEntry* params;
    DWORD paramCount;
    // A new engine, or null when there is no memory.
    CDXi* (*createInstrument)();
    // Whether the filter offers the automation interfaces to the host, and
    // makes an output pin of its own at creation (else all come from the
    // engine).
    bool mediaParams = true;
    bool ownOutputPin = true;
};

// Owns the engine, and as the first base outlives every part that uses its lock.
struct CInstrumentHolder {
    explicit CInstrumentHolder(CDXi* instrument) : m_owned(instrument) {}
    std::unique_ptr<CDXi> m_owned;
};

// The media-filter face of the synth. Its Stop is final and hands on to
// StopFilter, so that it and the soft-synth face's Stop (same name, same
// form) each keep their own meaning in the filter that carries both.
class CSynthFilterBase : public CBaseFilter {
public:
    using CBaseFilter::CBaseFilter;
    STDMETHODIMP Stop() final { return StopFilter(); }

protected:
    virtual HRESULT StopFilter() { return CBaseFilter::Stop(); }
};

class CFilter : private CInstrumentHolder, public CSoftSynth, public CSynthFilterBase, public IPersistStream {
public:
    // The longest tail rendered when the filter pauses or runs without an
    // input, in seconds: an instrument that never says its tail is done
    // cannot hold the host's state change for ever.
    static constexpr int kMaxTailSeconds = 10;
    // Change points a buffer holds before the list grows.
    static constexpr std::size_t kReservedChangePoints = 4096;
    static constexpr std::size_t kMaxOutputs = 64;

    // The class factory's creation: a new filter asked for riid.
    static HRESULT CreateInstance(const SynthClass& cls, IUnknown* outer, REFIID riid, void** ppv);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP GetClassID(CLSID* clsid) override;

    int GetPinCount() override;
    CBasePin* GetPin(int n) override;

    STDMETHODIMP Pause() override;
    STDMETHODIMP Run(REFERENCE_TIME start) override;

    // IPersistStream
    STDMETHODIMP IsDirty() override { return S_OK; }
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

    // Output pins, for the instrument.
    HRESULT AddOutputPin(const WCHAR* name, DWORD* id) override;
    HRESULT RemoveOutputPin(DWORD id) override;
    HRESULT RemoveAllOutputPins() override;
    CBasePin* FindOutputPin(DWORD id) override;
    DWORD GetOutputPinCount() override;
    LONG GetOutputPinId(DWORD index) override;

    // The format tests: S_OK or VFW_E_TYPE_NOT_ACCEPTED (E_POINTER for none);
    // an output's format is that of output pin `pinId`.
    HRESULT IsFormatAcceptable(bool output, const AM_MEDIA_TYPE* mt, DWORD pinId = 0);
    HRESULT IsTransformAcceptable(const AM_MEDIA_TYPE* input, const AM_MEDIA_TYPE* output, DWORD pinId);
    HRESULT SetFormat(bool output, const AM_MEDIA_TYPE* mt, DWORD pinId = 0);
    // Bytes per frame of an output pin: its own format's, else (no pin, no
    // type yet) the engine's output format's. Audio thread: no allocation.
    WORD OutputAlign(const CFilterOutputPin* pin) const;

    // The render path. Audio thread: no allocation, no blocking (these three).
    HRESULT Receive(IMediaSample* sample);
    HRESULT RenderTail();
    // The caller holds the filter lock (Receive and RenderTail have tried it).
    HRESULT DeliverOutput(DXiBuffer& buffer, int mode, bool release);

    CFilterInputPin* InputPin() { return &m_input; }
    CFilterOutputPin* OutputPinAt(DWORD index) { return index < m_outputs.size() ? m_outputs[index] : nullptr; }
    CDXi* Instrument() const { return m_instrument; }
    CMediaParams* Params() const { return m_params; }
    LONGLONG SamplePosition() const { return m_position; }
    CCritSec* Lock() { return m_instrument; }

    ~CFilter() override;

protected:
    HRESULT StopFilter() override;

private:
    CFilter(const SynthClass& cls, CDXi* instrument, IUnknown* outer, HRESULT* phr);

    HRESULT PrepareOutput(CFilterOutputPin* pin, IMediaSample* input, DXiBuffer& buffer);
    // FindOutputPin for a caller that holds the filter lock.
    CFilterOutputPin* FindOutputPinHeld(DWORD id) const;
    HRESULT RenderSlice(LONGLONG position, DXiBuffer* input, DWORD frames, HRESULT* last);
    void ReportChange(DWORD count, bool before, HRESULT* hr);
    void ReleaseOutputs(DWORD count);
    bool AnyOutputConnected() const;

    const SynthClass& m_class;
    CFilterInputPin m_input;
    std::vector<CFilterOutputPin*> m_outputs;  // owned
    CMediaParams* m_params = nullptr;           // referenced
    LONGLONG m_position = 0;
    bool m_startTimeValid = false;
    REFERENCE_TIME m_startTime = 0;
    std::vector<LONGLONG> m_changePoints;
    std::vector<DXiBuffer> m_outBuffers;  // one per output, reserved
};

}  // namespace mvsynth
