// What the song document needs of the engine owner: attaching itself, the
// filter graph its objects live in, the MIDI source it listens to, the MIDI
// sync generator its flag drives, the MIDI-effect host site its plug-ins see,
// re-seeking after a rebuild, the song position, and the main window that
// hears of rebuild trouble. CTransport implements it. UI thread.
#pragma once

#include "platform/win/WinTypes.h"

class CDxFilterGraph;
class IAudioProperties;
class IMidiInputRouter;
class IMidiSource;
class IMidiSyncGen;
class ITransportDocument;
struct IMfxHostSite;

class IDocumentEngine {
public:
    // Null detaches.
    virtual HRESULT SetDocument(ITransportDocument* document) = 0;
    virtual CDxFilterGraph* GetFilterGraph() const = 0;
    // The audio renderer's properties; null while there is no renderer.
    virtual IAudioProperties* GetAudioProperties() = 0;
    virtual IMidiSource* GetMidiSource() const = 0;
    // The remote-control front end of live MIDI input; null: none.
    virtual IMidiInputRouter* GetMidiInputRouter() const = 0;
    virtual IMidiSyncGen* GetMidiSyncGen() const = 0;
    virtual IMfxHostSite* GetMfxHostSite() const = 0;
    virtual HRESULT ResyncEngine() = 0;
    // The transport plays; a count-in runs; its record-mode bits.
    // Audio thread: no allocation, no blocking (these three).
    virtual bool IsPlaying() = 0;
    virtual bool IsCountInActive() = 0;
    virtual DWORD GetRecordMode() const = 0;
    // The transport's play-mode flag (set when the user started playback).
    virtual LONG GetPlayMode() const = 0;
    // The transport's own buttons, for the document's step-sequencer
    // preview hold. UI thread.
    virtual HRESULT Play() = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT SetRecordMode(DWORD bits) = 0;
    // Adds a text to the audio-engine errors the user is shown after a
    // failed graph rebuild. UI thread.
    virtual void AddEngineError(const char* text) = 0;
    // The song position in ticks: the play position when stopped, during a
    // count-in or when not `live`, else where playback is heard now. Called
    // by the recorder on the MIDI input thread as well.
    // Audio and MIDI threads: no allocation, no blocking.
    virtual LONG GetNowTicks(BOOL live) = 0;
    // Moving the song position and putting the modes back, as a committed
    // live tempo does.
    virtual HRESULT Locate(LONG tick) = 0;
    virtual HRESULT SetPlayMode(LONG flag) = 0;
    // Nothing when there is no main window.
    virtual void PostToMainWindow(UINT message, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~IDocumentEngine() = default;
};
