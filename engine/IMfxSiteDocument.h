// What the MIDI-effect host site reads of the song document: its tempo and
// meter/key maps, its markers, the step-sequencer preview hold and the
// periodic run of every channel's MIDI-effect chain. The song document
// implements it beside ITransportDocument; the site finds it on the
// document the engine owner hands it.
//
// The map reads come from any thread (plug-ins call the site from the UI,
// audio and timer threads) and take no lock; the document serialises edits
// with them as it does for its own readers.
#pragma once

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class CMeterKeySigMap;
class CTempoMap;

class IMfxSiteDocument {
public:
    virtual const CTempoMap& GetSiteTempoMap() = 0;
    virtual const CMeterKeySigMap& GetSiteMeterKeySigMap() = 0;
    virtual int GetMarkerCount() = 0;
    // E_INVALIDARG outside 0..count-1; the name is copied unless it is null.
    virtual HRESULT GetMarker(int index, LONG* tick, CString* name) = 0;
    // Marks (or clears) the step-sequencer preview of a channel and
    // re-evaluates the transport hold.
    virtual HRESULT SetStepPreview(WORD channelId, BOOL on) = 0;
    // Under the document's MIDI lock every channel runs its MIDI-effect
    // chain once. Timer thread.
    virtual void PumpMfxChains() = 0;

protected:
    ~IMfxSiteDocument() = default;
};
