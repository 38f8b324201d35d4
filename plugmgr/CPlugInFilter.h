// The filter a plug-in built on the plug-in manager runs as ("Plug-In
// Filter"): the media-graph plumbing (pins, formats, allocators, state
// changes, persistence, load measuring) around the plug-in's processing
// object, which is asked only what is particular to it: accepting a wave
// format, starting and stopping, processing, and storing its state.
//
// Three kinds: in place (the input sample is processed where it lies and
// passed on), buffer to buffer (into a separate output buffer), and async
// (the plug-in consumes the input samples itself; its output offers the
// 16-bit PCM formats the plug-in accepts).
//
// Threads: formats, state changes and persistence on the application
// thread; Receive and EndOfStream on the streaming thread. Both take the
// filter lock, then the processing lock; the streaming thread only tries
// them, and a busy lock refuses the block rather than wait.
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "CPlugInInputPin.h"
#include "CPlugInOutputPin.h"
#include "IPlugInLoad.h"
#include "IPlugInProcess.h"
#include "IPlugInTimedProcess.h"
#include "platform/com/Persist.h"
#include "platform/media/CBaseFilter.h"

class CPlugInFilter : public CBaseFilter, public IPersistStream, public IPlugInLoad {
public:
    enum Kind { kInPlace, kBufToBuf, kAsync };
    static constexpr int kCandidateFormats = 16;
    // The bytes GetSizeMax adds to the plug-in's state size.
    static constexpr ULONG kSizeMaxExtra = 24;

    // A new filter around `processor` (one reference taken over), or null
    // with *phr set: E_OUTOFMEMORY without a processor, the query's error
    // when it is no IPlugInProcess.
    static CUnknown* Create(Kind kind, REFCLSID clsid, IUnknown* processor, IUnknown* outer, HRESULT* phr);

    // The fraction of real time spent in the plug-in: (ticks / frequency)
    // seconds of work for frames / rate seconds of audio; 0 without frames
    // or rate.
    static double LoadOf(LONGLONG ticks, LONGLONG frequency, LONGLONG frames, DWORD rate);
    // Candidate p of the async kind's output formats: 16-bit PCM, stereo
    // for 0..3 and 8..11, at 11025, 22050, 44100 or 48000 by p mod 4.
    static WAVEFORMATEX CandidateFormat(int p);

    DECLARE_IUNKNOWN
    HRESULT NonDelegatingQueryInterface(REFIID riid, void** ppv) override;

    int GetPinCount() override { return 2; }
    CBasePin* GetPin(int n) override;
    STDMETHODIMP Stop() override;
    STDMETHODIMP Pause() override;

    // IPersistStream
    STDMETHODIMP GetClassID(CLSID* clsid) override { return CBaseFilter::GetClassID(clsid); }
    STDMETHODIMP IsDirty() override { return S_OK; }
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;

    // IPlugInLoad
    STDMETHODIMP_(LONGLONG) EnableTiming(BOOL on) override;
    STDMETHODIMP_(void) ResetLoad() override;
    STDMETHODIMP_(double) GetLoad() override;

    // For the pins.
    Kind GetKind() const { return m_kind; }
    IPlugInProcess* Process() const { return m_process; }
    CPlugInInputPin* InputPin() { return &m_input; }
    CPlugInOutputPin* OutputPin() { return &m_output; }
    // E_INVALIDARG unless the plug-in takes the input format.
    HRESULT CheckInputType(const CMediaType* mt);
    HRESULT SetInputType(const CMediaType* mt);
    // The async kind's i-th accepted candidate.
    HRESULT GetOutputCandidate(int i, CMediaType* mt);
    // Audio thread: no allocation, no blocking (these two).
    HRESULT Receive(IMediaSample* sample);
    HRESULT EndOfStream();

    ~CPlugInFilter() override;

private:
    CPlugInFilter(Kind kind, REFCLSID clsid, IPlugInProcess* process, IUnknown* processor, IUnknown* outer,
                  HRESULT* phr);

    HRESULT StartStreaming();
    HRESULT StopStreaming();
    // Tells the graph a streaming failure ended the stream.
    void ReportAbort(HRESULT hr);
    HRESULT ProcessSample(IMediaSample* sample, LONG* frames);

    Kind m_kind;
    CCritSec m_filterLock;
    CCritSec m_processLock;
    IUnknown* m_processor;      // referenced
    IPlugInProcess* m_process;  // referenced
    std::vector<BYTE> m_state;
    std::atomic<WORD> m_blockAlign{1};
    std::atomic<DWORD> m_sampleRate{0};
    IPlugInTimedProcess* m_timed = nullptr;  // referenced while streaming
    LONGLONG m_frequency = 0;                // 0: timing off
    std::atomic<LONGLONG> m_elapsed{0};
    std::atomic<LONGLONG> m_frames{0};
    std::vector<WAVEFORMATEX> m_candidates;
    bool m_candidatesTried = false;
    CPlugInInputPin m_input;
    CPlugInOutputPin m_output;
};
