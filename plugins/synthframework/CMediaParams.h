// The automation object every plug-in built on the synth framework carries:
// the host reads the parameter descriptions and sets values and envelopes
// through it, the plug-in's editor reports gestures through it, and the
// filter asks it once per buffer where values change and has every envelope
// evaluated at each such point.
//
// It is not aggregated but answers for its owner (the filter): every
// interface but IUnknown is the owner's answer, so a host that asks the
// filter and a host that asks this object see one object.
//
// Records: one per entry of the plug-in's table and one more all-zero
// record past the end, which GetParam and SetParam reach (index = count)
// while the descriptions and envelopes stop at the table.
//
// Threads: descriptions, envelope edits and callbacks on the host's
// threads; GetChangePoints, UpdateAt and the value reads on the streaming
// thread (see CParamEnvelope for the locks).
#pragma once

#include <atomic>
#include <memory>
#include <vector>

#include "plugins/synthframework/CParamEnvelope.h"

namespace mvsynth {

class CMediaParams final : public IMediaParams,
                           public IMediaParamInfo,
                           public IMediaParamsSetUICallback,
                           public IMediaParamsUICallback {
public:
    static constexpr double kGridSeconds = 0.02;

    // E_POINTER for a null out; E_OUTOFMEMORY. The object comes back with one reference.
    static HRESULT Create(IUnknown* owner, const MediaParamEntry* table, DWORD count, CMediaParams** out);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IMediaParams
    STDMETHODIMP GetParam(DWORD index, MP_DATA* value) override;
    STDMETHODIMP SetParam(DWORD index, MP_DATA value) override;
    STDMETHODIMP AddEnvelope(DWORD index, DWORD count, MP_ENVELOPE_SEGMENT* segments) override;
    STDMETHODIMP FlushEnvelope(DWORD index, REFERENCE_TIME start, REFERENCE_TIME end) override;
    STDMETHODIMP SetTimeFormat(GUID format, MP_TIMEDATA data) override;

    // IMediaParamInfo
    STDMETHODIMP GetParamCount(DWORD* count) override;
    STDMETHODIMP GetParamInfo(DWORD index, MP_PARAMINFO* info) override;
    STDMETHODIMP GetParamText(DWORD index, WCHAR** text) override;
    STDMETHODIMP GetNumTimeFormats(DWORD* count) override;
    STDMETHODIMP GetSupportedTimeFormat(DWORD index, GUID* format) override;
    STDMETHODIMP GetCurrentTimeFormat(GUID* format, MP_TIMEDATA* data) override;

    // IMediaParamsSetUICallback
    STDMETHODIMP SetUICallback(IMediaParamsUICallback* callback) override;

    // IMediaParamsUICallback
    STDMETHODIMP ParamsBeginCapture(DWORD* indices, DWORD count) override;
    STDMETHODIMP ParamsChanged(DWORD* indices, DWORD count, MP_DATA* values) override;
    STDMETHODIMP ParamsEndCapture(DWORD* indices, DWORD count) override;

    // The samples in [first, end) where values change, ascending (equal
    // points stay): the grid every kGridSeconds and the segments' starts
    // and ends. No envelope on any parameter: `points` is left empty.
    // Audio thread: no allocation while `points` has room.
    void GetChangePoints(LONGLONG first, LONGLONG end, std::vector<LONGLONG>& points);
    // Evaluates every envelope at the sample. Audio thread: no allocation, no blocking.
    HRESULT UpdateAt(LONGLONG sample);
    // The parameter's current value, internal scale (0 out of range).
    // Audio thread: no allocation, no blocking.
    float Value(DWORD index) const;

    void SetSampleRate(int rate) { m_sampleRate.store(rate > 0 ? rate : 44100); }
    int SampleRate() const { return m_sampleRate.load(); }

private:
    CMediaParams(IUnknown* owner, DWORD count);
    ~CMediaParams();

    IUnknown* m_owner;  // not referenced: it owns this object
    IMediaParamsUICallback* m_hostCallback = nullptr;
    std::atomic<ULONG> m_refCount{0};
    DWORD m_count;
    std::unique_ptr<CParamEnvelope[]> m_records;  // m_count + 1
    std::atomic<int> m_sampleRate{44100};
};

}  // namespace mvsynth
