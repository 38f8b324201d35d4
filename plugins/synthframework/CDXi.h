// The instrument engine a soft synth is made of: it accepts the formats,
// renders slices of the stream with the events that are due, and follows
// its notes. The filter and the synth layer call it under its lock (this
// object is that lock), so the streaming thread and the host's control
// thread never run inside it at once.
//
// The default implementations accept every format the filter accepts,
// keep every event, start every note, end a note when its note-off came
// (duration 0) and render silence with no state to save.
#pragma once

#include <vector>

#include "platform/com/Stream.h"
#include "platform/media/CCritSec.h"
#include "platform/media/MediaTypes.h"
#include "plugins/synthframework/CDXiSynthContext.h"
#include "plugins/synthframework/DXiBuffer.h"
#include "plugins/synthframework/DXiEvent.h"
#include "plugins/synthframework/MfxSynth.h"

namespace mvsynth {

class CMediaParams;

// The events that are due, in arrival order.
using DXiEventList = std::vector<DXiEvent>;

class CDXi : public CCritSec {
public:
    // Process's answer when the tail has finished.
    static constexpr HRESULT kTailDone = S_FALSE;

    CDXi() = default;
    virtual ~CDXi() = default;

    virtual HRESULT Initialize() { return S_OK; }
    virtual HRESULT CheckInputFormat(const WAVEFORMATEX* format) { return S_OK; }
    virtual HRESULT CheckOutputFormat(const WAVEFORMATEX* format) { return S_OK; }
    virtual HRESULT CheckFormats(const WAVEFORMATEX* input, const WAVEFORMATEX* output) { return S_OK; }
    virtual HRESULT AdjustOutputFormat(WAVEFORMATEX* format) { return S_OK; }
    // The same for one output pin, for an engine whose outputs differ in
    // their channels; by default every output has the one output format.
    virtual HRESULT CheckPinFormat(const WAVEFORMATEX* format, DWORD pinId) { return CheckOutputFormat(format); }
    virtual HRESULT CheckPinFormats(const WAVEFORMATEX* input, const WAVEFORMATEX* output, DWORD pinId)
    {
        return CheckFormats(input, output);
    }
    virtual HRESULT AdjustPinFormat(WAVEFORMATEX* format, DWORD pinId) { return AdjustOutputFormat(format); }
    virtual WAVEFORMATEX* GetInputFormat() { return &m_inputFormat; }
    virtual WAVEFORMATEX* GetOutputFormat() { return &m_outputFormat; }
    // Renders one slice. `position` is the stream's sample position;
    // `input` is null while the tail renders. 0, kTailDone when the tail has
    // finished, or an error. Audio thread: no allocation, no blocking.
    virtual HRESULT Process(LONGLONG position, const DXiBuffer* input, DXiBuffer* outputs, DWORD outputCount,
                            LONGLONG renderedTotal, const DXiEventList& events);
    // On arrival: 0 queues it, 1 drops it, an error stops the delivery.
    // Audio thread: no allocation, no blocking (these three).
    virtual HRESULT AcceptEvent(const DXiEvent& event) { return S_OK; }
    // A note-on fell due: 0 makes it active, anything else drops it.
    virtual HRESULT OnNoteStart(const DXiEvent& event) { return S_OK; }
    // After a slice: 0 the note is over, 1 it stays, an error.
    virtual HRESULT UpdateNote(const DXiEvent& event, bool flush)
    {
        return flush || event.Duration() == kMfxNoteOff ? S_OK : S_FALSE;
    }
    virtual HRESULT OnStart() { return S_OK; }
    virtual HRESULT OnStop() { return S_OK; }
    virtual HRESULT OnStreamStart() { return S_OK; }
    virtual HRESULT OnStreamStop() { return S_OK; }
    virtual ULONG GetStateSize() { return 0; }
    virtual HRESULT LoadState(IStream* stream) { return S_OK; }
    virtual HRESULT SaveState(IStream* stream) { return S_OK; }
    // The format hook: the input format's tag, channels, rate, bytes per
    // second and block align, after the filter stored a format.
    virtual HRESULT SetFormat(WORD tag, WORD channels, DWORD rate, DWORD bytesPerSecond, WORD blockAlign)
    {
        return S_OK;
    }

    // An interface of the engine's own that the filter answers for; `owner`
    // is the filter's controlling unknown, which the answer must count on.
    virtual HRESULT QueryEngineInterface(IUnknown* owner, REFIID riid, void** ppv) { return E_NOINTERFACE; }

    // Whether note-offs are events of their own, for an engine that
    // forwards events rather than sounding notes: a note-off is not paired
    // with its held note but reaches Process as it is, and one still
    // pending when the host stops becomes active at once and reaches the
    // next Process, so that no note hangs on the other side.
    virtual bool ForwardsNoteOffs() const { return false; }

    // The host connected through the soft-synth interface (its unknown, not
    // referenced beyond the call), and disconnected. Control thread.
    virtual void OnHostConnect(IUnknown* host) {}
    virtual void OnHostDisconnect() {}

    // The instrument whose names the host reads, for an engine whose names
    // come from elsewhere (not referenced; it lives as long as the engine);
    // null: the filter's own. Control thread, under this object's lock.
    virtual IMfxInstrument* Names() { return nullptr; }

    void SetContext(CDXiSynthContext* context) { m_context = context; }
    CDXiSynthContext* Context() const { return m_context; }
    void SetMediaParams(CMediaParams* params) { m_params = params; }
    CMediaParams* MediaParams() const { return m_params; }

    // The frames of a slice the buffer starts at, as a typed pointer; null
    // when the sample has no data. Audio thread: no allocation, no blocking.
    static BYTE* SliceData(const DXiBuffer& buffer, WORD blockAlign);
    // Before an instrument adds into a buffer: a buffer that holds no data
    // yet is cleared whole (slices the instrument leaves alone then stay
    // silent) and marked written. Audio thread: no allocation, no blocking.
    static void BeginWrite(DXiBuffer& buffer);

protected:
    WAVEFORMATEX m_inputFormat{};
    WAVEFORMATEX m_outputFormat{};
    CDXiSynthContext* m_context = nullptr;
    CMediaParams* m_params = nullptr;  // not referenced: the filter holds it
};

}  // namespace mvsynth
