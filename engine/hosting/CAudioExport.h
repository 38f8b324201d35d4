// One audio export: the song rendered offline and written to a WAV or MP3
// file as the export options ask. The engine owner plays the song into a
// file device (CFileAudioDevice) that stands in for the sound card, through
// the same per-buffer entry and graph that play it, at the export's rate
// and at the engine's own block length; what is written is what is heard.
//
// The span: the song from its start to its end (the last pattern instance's
// end) plus the effect tails, or exactly the loop region when asked. The
// loop and the metronome are off while it renders and come back after, as
// does the play position; the sound card reopens with the user's settings
// at the next audio reset.
//
// The file is written under a temporary name and renamed over the target
// only when complete; a failure or a cancel leaves no file behind and the
// target as it was.
//
// Threads: UI thread, but for Cancel (any thread) and the progress
// callback, which runs on the render thread.
#pragma once

#include <atomic>

#include "devices/CExportOptions.h"
#include "devices/CFileAudioDevice.h"
#include "platform/win/WinTypes.h"

class CMidiDoc;
class CTransport;

class CAudioExport {
public:
    // Neither is owned; the document must be the one the engine owner plays.
    CAudioExport(CTransport* transport, CMidiDoc* document);

    // Block length of the render; 0 (the default) takes the engine's own.
    void SetBlockFrames(int frames) { m_blockFrames = frames; }

    // Renders the song and writes `path`. S_OK when the file is complete;
    // E_ABORT when cancelled; E_INVALIDARG for options that do not validate
    // or a null path; E_UNEXPECTED without an engine or document, or when
    // the song (or loop) is empty; STG_E_WRITEFAULT when the file cannot be
    // written; else the engine's failure.
    HRESULT Run(const char* path, const CExportOptions& options, const CFileAudioDevice::Progress& progress = {});
    // Any thread: the running export stops within one block.
    void Cancel();

private:
    // The first sample and the number of frames of the span, in the
    // engine's time at the export's rate (an offline render runs).
    HRESULT MeasureSpan(const CExportOptions& options, LONG loopStart, LONG loopEnd, LONG* startTick,
                        LONGLONG* frames);

    CTransport* m_transport;
    CMidiDoc* m_document;
    int m_blockFrames = 0;
    std::atomic<bool> m_cancel{false};
    std::atomic<CFileAudioDevice*> m_device{nullptr};
};
