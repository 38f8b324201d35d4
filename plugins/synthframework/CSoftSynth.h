// The MIDI and timing side of a soft synth: the interfaces through which
// the host connects its time maps, starts and stops the synth and hands it
// events; the queue that holds events until the audio reaches their sample
// time; and what each event source's settings do to them on the way
// (channel override, key and velocity offsets clamped to 0..127, mute).
//
// Events are kept on the rendered-total scale: frames rendered since the
// host started the synth. An event that comes due inside a slice is taken
// when the slice is prepared; one that arrives after its time has passed
// is taken by the next slice and plays at its start rather than waiting
// for a time that will never come again.
//
// The filter derives from this class and answers IUnknown for it.
//
// Threads: every method takes the instrument's lock, the lock of the
// filter and its pins, so events can arrive from the host's thread while
// the streaming thread renders and each sees the queues whole. The queues
// are reserved up front; while they stay within that, nothing here
// allocates.
#pragma once

#include <vector>

#include "plugins/synthframework/CDXi.h"
#include "plugins/synthframework/CInstrument.h"

namespace mvsynth {

// What the host said about one source of events.
struct DXiSourceState {
    DWORD source = 0;
    BYTE channelOverride = 255;  // 255: none
    BYTE flags = 0;              // non-zero: muted
    signed char velocityOffsetA = 0;
    signed char velocityOffsetB = 0;
    signed char keyOffsetA = 0;
    signed char keyOffsetB = 0;
};

class CSoftSynth : public CDXiSynthContext, public IMfxSoftSynth2, public IMfxNotify, public IMfxInputPort {
public:
    static constexpr std::size_t kPendingCapacity = 4096;
    static constexpr std::size_t kActiveCapacity = 1024;
    static constexpr std::size_t kSourceCapacity = 64;
    // A muted source's raw MIDI notes pass while this flag is set.
    static constexpr BYTE kPassMidiWhileMuted = 8;

    // `hr` is E_OUTOFMEMORY when the name lists cannot be made.
    CSoftSynth(CDXi* instrument, const char* instrumentName, HRESULT* hr);
    ~CSoftSynth() override;

    // IMfxSoftSynth2
    STDMETHODIMP Connect(IUnknown* host) override;
    STDMETHODIMP Disconnect() override;
    STDMETHODIMP Start(LONG time) override;
    STDMETHODIMP AdvanceTime(LONG from, LONG to) override;
    // Final here: the filter's own Stop (of its media-filter face) has the
    // same name and form, and each face must keep its meaning.
    STDMETHODIMP Stop() final;
    // The host hands the song's events over on its audio thread, so the lock
    // is only tried: while another thread holds it nothing is queued and
    // E_PENDING asks the host to hand the same events over again later.
    // Audio thread: no allocation, no blocking.
    STDMETHODIMP SendEvents(LONG from, LONG thru, DWORD source, IMfxEventQueue* queue) override;
    // Live messages, as SendEvents. On the audio thread: E_PENDING while
    // another thread holds the instrument's lock, nothing taken; no
    // allocation, no blocking. Other threads wait for the lock.
    STDMETHODIMP SendMidi(DWORD source, IMfxDataQueue* queue) override;
    STDMETHODIMP GetBankMethods(DWORD** methods, LONG* count) override;
    STDMETHODIMP IsSpecialPatch(LONG bank, LONG patch) override;
    STDMETHODIMP IsValidPatch(LONG bank, LONG patch) override;
    STDMETHODIMP GetPatchNames(LONG bank, IMfxNameList** list) override;
    STDMETHODIMP GetNoteNames(LONG bank, LONG patch, IMfxNameList** list) override;
    STDMETHODIMP GetControllerNames(IMfxNameList** list) override;
    STDMETHODIMP GetRpnNames(IMfxNameList** list) override;
    STDMETHODIMP GetNrpnNames(IMfxNameList** list) override;
    STDMETHODIMP GetInstrument(IMfxInstrument** instrument) override;

    // IMfxNotify
    STDMETHODIMP OnNotify(const MFX_NOTIFY_MSG* message) override;

    // IMfxInputPort
    STDMETHODIMP SetInputCallback(IMfxInputCallback* callback) override;
    STDMETHODIMP GetInputCallback(IMfxInputCallback** callback) override;

    // Time services of the context. Any thread; while the instrument renders
    // (audio thread, lock held) they re-enter the lock without waiting.
    LONGLONG TicksToSamples(LONG ticks) override;
    LONG SamplesToTicks(LONGLONG samples) override;
    LONGLONG FixedTicksToSamples(LONGLONG ticks) override;
    LONGLONG SamplesToFixedTicks(LONGLONG samples) override;
    LONG QueryHostValue(LONG a, LONG b) override;
    bool IsPlaying() override;
    LONG GetSampleRate() override;
    IMfxMeterMap* GetMeterMap() override;
    IMfxTempoMap* GetTempoMap() override { return m_tempoMap; }

    // Before each slice of `frames`: takes the events that are due (or
    // late), applies their source's settings, starts notes and pairs
    // note-offs with held notes. The caller holds the instrument's lock (the
    // filter's render path, which only tries it). Audio thread: no
    // allocation, no blocking.
    HRESULT PrepareSlice(DWORD frames);
    // After each slice (flush 0), and from Start and Stop (flush 1): asks
    // the instrument about each active note and drops other events once
    // their time has passed. The caller holds the instrument's lock. Audio
    // thread: no allocation, no blocking.
    HRESULT DispatchActive(bool flush);

    const DXiEventList& ActiveEvents() const { return m_active; }
    std::size_t PendingCount() const { return m_pending.size(); }
    LONGLONG RenderedTotal() const { return m_renderedTotal; }
    void AdvanceRendered(LONGLONG frames) { m_renderedTotal += frames; }
    bool IsConnected() const { return m_connected; }
    // Events dropped because the pending queue was full.
    std::size_t DroppedCount() const { return m_dropped; }

protected:
    // The instrument's stored input rate, 44100 before a format is set.
    LONG InputRate() const;
    IMfxNotifyHost* NotifyHost() const { return m_notifyHost; }

    CDXi* m_instrument;

private:
    // The engine's names when it has its own, else the filter's.
    IMfxInstrument* Names() const;
    DXiSourceState& SourceState(DWORD source);
    // TicksToSamples for a caller that holds the lock already.
    LONGLONG TicksToSamplesHeld(LONG ticks) const;
    HRESULT Deliver(const DXiEvent& event);
    void ReleaseHost();
    void ClearQueues();

    IMfxTempoMap* m_tempoMap = nullptr;
    IMfxMeterMap* m_meterMap = nullptr;
    IMfxTimeConverter* m_converter = nullptr;
    IMfxKeyQuery* m_keyQuery = nullptr;
    IMfxInputCallback* m_inputCallback = nullptr;
    IMfxNotifyHost* m_notifyHost = nullptr;
    bool m_connected = false;
    double m_tempo = 120.0;
    bool m_playing = false;
    CInstrument* m_names = nullptr;
    DXiEventList m_pending;
    DXiEventList m_active;
    std::vector<DXiSourceState> m_sources;
    LONGLONG m_renderedTotal = 0;
    LONGLONG m_startOffset = 0;
    LONGLONG m_loopOffset = 0;
    std::size_t m_dropped = 0;
};

}  // namespace mvsynth
