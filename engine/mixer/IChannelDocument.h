// What a channel needs of the song document beyond the mixer objects'
// common needs: solo and mute upkeep across all channels, the recorder's
// parameter gestures, the source filters that feed synths, the soft-synth
// wrapper factory and the synths' property windows, the message box, and
// what the channel's MIDI-effect chain asks of the document. The song document implements it.
// UI thread unless said.
#pragma once

#include "engine/mixer/IMixerDocument.h"
#include "platform/win/CString.h"

class CControlParamSet;
class IMfxFilterWrap;
class ISynthWrap;
class ISynthWrapFactory;

class IChannelDocument : public IMixerDocument {
public:
    // ---- Solo and mute ----
    // No output of any channel is soloed.
    virtual BOOL IsNoChannelSoloed() = 0;
    // Every channel applies solo to its outputs again.
    virtual HRESULT UpdateSoloMutes() = 0;
    // The cached "some output is muted" state is stale.
    virtual void InvalidateMuteState() = 0;
    // An undoable change of a channel parameter (a touch ended).
    virtual HRESULT SetChannelParam(WORD channelId, DWORD id, float value) = 0;

    // ---- Recorder (on the calling thread) ----
    virtual HRESULT RecordParamValue(DWORD id, WORD channelId, float value) = 0;
    virtual HRESULT BeginParamTouch(DWORD id, WORD channelId) = 0;
    virtual HRESULT EndParamTouch(DWORD id, WORD channelId) = 0;

    // ---- Graph ----
    // A source filter from the document's pool, with a reference; E_FAIL
    // when none is left.
    virtual HRESULT AcquireSourceFilter(IBaseFilter** source) = 0;

    // ---- Synths ----
    virtual ISynthWrapFactory* GetSynthWrapFactory() = 0;
    virtual HRESULT ShowSynthPropertyPage(ISynthWrap* wrap, const CString& title) = 0;
    virtual HRESULT CloseSynthPropertyPage(ISynthWrap* wrap) = 0;
    virtual void ShowMessageBox(const CString& text) = 0;

    // ---- The channel's MIDI-effect chain ----
    virtual double GetShuffleAmount() = 0;
    virtual HRESULT CreateMfxWrap(REFCLSID clsid, const char* name, IMfxFilterWrap** wrap) = 0;
    virtual HRESULT UpdateStepPreview() = 0;
    virtual HRESULT ShowMfxPropertyPage(IMfxFilterWrap* wrap, HWND parent) = 0;
    virtual HRESULT CloseMfxPropertyPage(IMfxFilterWrap* wrap) = 0;

    // ---- Live input ----
    // No channel of the document is armed. The MIDI input thread.
    virtual BOOL IsNoChannelArmed() = 0;
    virtual HRESULT DisarmAllChannels() = 0;
    // A channel's arming changed.
    virtual void OnArmChanged() = 0;
    // The number of MIDI input ports open.
    virtual DWORD GetMidiInputPortCount() = 0;
    // The index of the virtual ReWire MIDI input port while the program runs
    // as a ReWire device, else 0xFFFFFFFE (no port). Audio and MIDI threads:
    // no allocation, no blocking.
    virtual DWORD GetRewirePortIndex() = 0;

    // ---- Playback (audio thread: no allocation, no blocking) ----
    // The transport plays; its recording bit 0 is set; a count-in runs.
    virtual BOOL IsPlaying() = 0;
    virtual BOOL IsRecording() = 0;
    virtual BOOL IsCountInOn() = 0;
    // The transport's current position in ticks (0 without a transport).
    virtual LONG GetTransportNow() = 0;
    // The channel's MIDI activity meter lights.
    virtual void TriggerMidiMeter(WORD channelId) = 0;

protected:
    ~IChannelDocument() = default;
};
