// The MIDI recorder as the engine owner sees it: a normal receiver of the
// MIDI source, told the document, asked whether a take is running, and fed
// by the per-buffer entry at every buffer and every loop wrap. Owned by the
// engine owner.
//
// Threads: the two calls marked below on the audio thread, inside the
// per-buffer entry; the others on the UI thread.
#pragma once

#include "platform/win/WinTypes.h"

class CMidiSink;
class ITransportDocument;

class ITransportRecorder {
public:
    virtual ~ITransportRecorder() = default;

    // The recorder as a receiver of live MIDI.
    virtual CMidiSink* GetMidiSink() = 0;
    // Stores the document and discards any take.
    virtual HRESULT SetDocument(ITransportDocument* document) = 0;
    // Whether a take is being captured.
    virtual BOOL IsRecording() = 0;
    // Commits the take as one undoable edit; E_UNEXPECTED without a take.
    virtual HRESULT EndTake() = 0;

    // Audio thread: no allocation, no blocking (the two below).
    // Playback wrapped from the loop end to the loop start.
    virtual HRESULT CommitTouches(LONG loopStart, LONG loopEnd) = 0;
    // The start tick of every buffer rendered while playing.
    virtual HRESULT WrapAtPatternEnd(LONG now) = 0;
};
