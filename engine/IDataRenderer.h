// The data renderer: the seven broadcasts through which the engine owner
// drives the song's MIDI and automation. Each goes to every channel, then
// every aux bus, then the master bus, and returns the first failure.
// Owned by the engine owner, which hands it the document.
//
// Threads: Locate and SetRecording on the UI thread under the engine owner's
// locks; the others also on the audio thread inside the per-buffer entry.
#pragma once

#include "platform/win/WinTypes.h"

class ITransportDocument;

class IDataRenderer {
public:
    virtual ~IDataRenderer() = default;

    virtual void SetDocument(ITransportDocument* document) = 0;
    // Channels reposition the play cursors of their instances at the tick.
    virtual HRESULT Locate(LONG tick) = 0;
    // Passed to every channel.
    virtual HRESULT SetRecording(BOOL recording) = 0;

    // Audio thread: no allocation, no blocking (the five below).
    // Synths and MIDI-effect chains stop at the tick.
    virtual HRESULT Stop(LONG tick) = 0;
    virtual HRESULT Start(LONG tick) = 0;
    // Playback wrapped: effect chains and synths hear of it and channels
    // relocate to the loop start.
    virtual HRESULT Loop(LONG loopStart, LONG loopEnd) = 0;
    // Channels deliver their queued live input at the tick.
    virtual HRESULT BeginSpan(LONG tick) = 0;
    // Channels turn the pattern instances of the span into events for their
    // synths; the master bus's metronome adds its own.
    virtual HRESULT Render(LONG fromTick, LONG toTick) = 0;
};
