// The one COM object through which plug-ins see the song: MIDI-effect
// plug-ins and soft synths receive it when they are connected and ask it for
// the tempo map, the meter and key-signature maps, the markers, a time
// converter between ticks, measure/beat/tick, seconds and samples, a periodic
// pulse, a notification entry, the instrument name lists and the step
// sequencer preview. Every answer is computed from the attached document's
// maps at the moment of the call; without a document the queries answer
// with neutral values (960 ticks per quarter, one tempo, one meter, no key
// signatures, no markers) and the accessors of single entries fail with
// E_UNEXPECTED.
//
// The engine owner creates the site once, keeps a reference for the
// engine's life and hands it each document (SetDocument). Plug-ins hold
// references; the site goes with the last.
//
// Threads: plug-ins call from the UI, audio and timer threads; the map
// queries take no lock of the site and read the document's maps as they
// stand. The pulse's timer callback runs on the timer thread. The reference
// count and the pulse count are atomic, and the pulse's registration changes
// under a small lock of its own (never taken on the audio thread: plug-ins
// open and close the pulse from their UI or start-up).
#pragma once

#include <atomic>
#include <mutex>

#include "engine/CTimerClient.h"
#include "engine/IMfxHostSite.h"
#include "engine/IMfxMeterMap.h"
#include "engine/IMfxTimeConverter.h"
#include "engine/hosting/IMfxInputCallback.h"
#include "engine/hosting/IMfxInputPulse.h"
#include "engine/hosting/IMfxInstruments.h"
#include "engine/hosting/IMfxKeySigMap.h"
#include "engine/hosting/IMfxMarkerMap.h"
#include "engine/hosting/IMfxNotifyHost.h"
#include "engine/hosting/IMfxTempoMap.h"
#include "engine/hosting/IStepSeqHostPreview.h"

class IMfxSiteDocument;
class IMfxSiteEngine;

class CMfxHostSite final : public IMfxTempoMap,
                           public IMfxMeterMap,
                           public IMfxKeySigMap,
                           public IMfxMarkerMap,
                           public IMfxInputPulse,
                           public IMfxNotifyHost,
                           public IMfxInputCallback,
                           public IMfxTimeConverter,
                           public IMfxInstruments,
                           public IStepSeqHostPreview,
                           public CTimerClient,
                           public IMfxHostSite {
public:
    static constexpr LONG kPulseIntervalMs = 50;
    static constexpr LONG kNeutralTicksPerQuarter = 960;

    // ---- IUnknown (every face) ----
    STDMETHOD(QueryInterface)(REFIID iid, void** ppv) override;
    STDMETHOD_(ULONG, AddRef)() override;
    STDMETHOD_(ULONG, Release)() override;

    // ---- The engine owner's side ----
    // The song document, found on what the engine owner hands over; null
    // also ends the pulse's registration. UI thread.
    STDMETHOD(SetDocument)(ITransportDocument* document) override;
    // The same with the site's own view of the document.
    HRESULT SetSiteDocument(IMfxSiteDocument* document);
    LONG GetPulseCount() const { return m_pulseCount.load(); }

    // ---- IMfxTempoMap ----
    STDMETHOD_(LONG, TicksToMsecs)(LONG ticks) override;
    STDMETHOD_(LONG, MsecsToTicks)(LONG msecs) override;
    STDMETHOD_(LONG, GetTicksPerQuarter)() override;
    STDMETHOD_(LONG, GetTempoIndexAt)(LONG ticks) override;
    STDMETHOD_(LONG, GetTempoCount)() override;
    STDMETHOD(GetTempoAt)(LONG index, LONG* ticks, LONG* tempo) override;

    // ---- IMfxMeterMap ----
    STDMETHOD(TicksToMbt)(LONG ticks, LONG* measure, LONG* beat, LONG* tick) override;
    STDMETHOD_(LONG, MbtToTicks)(LONG measure, LONG beat, LONG tick) override;
    // Audio thread: no allocation, no blocking.
    STDMETHOD_(LONG, GetMeterIndexAt)(LONG ticks) override;
    STDMETHOD_(LONG, GetMeterCount)() override;
    // Audio thread: no allocation, no blocking.
    STDMETHOD(GetMeterAt)(LONG index, LONG* ticks, LONG* numerator, LONG* denominator) override;

    // ---- IMfxKeySigMap ----
    STDMETHOD_(LONG, GetKeySigIndexAt)(LONG ticks) override;
    STDMETHOD_(LONG, GetKeySigCount)() override;
    STDMETHOD(GetKeySigAt)(LONG index, LONG* ticks, LONG* key) override;

    // ---- IMfxMarkerMap ----
    STDMETHOD_(LONG, GetMarkerIndexAt)(LONG ticks) override;
    STDMETHOD_(LONG, GetMarkerCount)() override;
    STDMETHOD(GetMarkerAt)(LONG index, LONG* ticks, DWORD* flags, WCHAR** name) override;

    // ---- IMfxInputPulse ----
    STDMETHOD(GetPulseInterval)(LONG* msecs) override;
    // The first open pulse registers the site with the timer service.
    STDMETHOD(BeginPulse)() override;
    // The last one to close unregisters it; S_FALSE when none is open.
    STDMETHOD(EndPulse)() override;

    // ---- IMfxNotifyHost, IMfxInputCallback ----
    STDMETHOD(OnPlugInNotify)(DWORD code, DWORD a, DWORD b) override;
    STDMETHOD(OnInput)(DWORD a, DWORD b) override;

    // ---- IMfxTimeConverter ----
    // Audio thread: no allocation, no blocking.
    STDMETHOD(ConvertTime)(MFX_TIME* time, DWORD targetFormat) override;

    // ---- IMfxInstruments ----
    STDMETHOD(GetPatchNames)(IMfxNameListSet** set) override;
    STDMETHOD(GetNoteNames)(IMfxNameListSet** set) override;
    STDMETHOD(GetControllerNames)(IMfxNameListSet** set) override;

    // ---- IStepSeqHostPreview ----
    STDMETHOD(BeginPreview)(WORD channelId) override;
    STDMETHOD(EndPreview)(WORD channelId) override;

    // ---- CTimerClient ----
    // Timer thread: every channel runs its MIDI-effect chain once.
    void OnTimer() override;

private:
    friend HRESULT CreateMfxHostSite(IMfxSiteEngine* engine, CMfxHostSite** site);

    explicit CMfxHostSite(IMfxSiteEngine* engine);
    ~CMfxHostSite() override;

    IMfxSiteDocument* Document() const { return m_document.load(std::memory_order_acquire); }
    HRESULT NewNameListSet(IMfxNameListSet** set);
    HRESULT StopPulse();

    IMfxSiteEngine* m_engine;
    std::atomic<LONG> m_refs{1};
    std::atomic<LONG> m_pulseCount{0};
    std::mutex m_pulseLock;
    std::atomic<IMfxSiteDocument*> m_document{nullptr};
};

// E_POINTER for a null out, E_OUTOFMEMORY; a new site with one reference.
HRESULT CreateMfxHostSite(IMfxSiteEngine* engine, CMfxHostSite** site);
