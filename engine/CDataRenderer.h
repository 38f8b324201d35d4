// The data renderer: tells every mixer object of the open song what the
// transport does. Each broadcast goes to every channel (ascending id), then
// to every aux bus (ascending id), then to the master bus, and the first
// failure ends it: the receivers after the failing one are not called and
// its code is returned. Live input and recording changes reach channels
// only. Without a document (or one without receivers) every broadcast
// returns S_OK. The renderer keeps no state besides the document.
//
// Threads: called by the engine owner only, which keeps two broadcasts from
// overlapping; Locate and SetRecording on the UI thread, the others also on
// the audio thread inside the per-buffer entry.
#pragma once

#include "engine/IDataRenderer.h"

class IRenderTarget;
class IRenderTargets;

class CDataRenderer : public IDataRenderer {
public:
    void SetDocument(ITransportDocument* document) override { m_document = document; }

    HRESULT Locate(LONG tick) override;
    HRESULT SetRecording(BOOL recording) override;
    // Audio thread: no allocation, no blocking (the five below).
    HRESULT Stop(LONG tick) override;
    HRESULT Start(LONG tick) override;
    HRESULT Loop(LONG loopStart, LONG loopEnd) override;
    HRESULT BeginSpan(LONG tick) override;
    HRESULT Render(LONG fromTick, LONG toTick) override;

private:
    // Calls `call` on each receiver in broadcast order (channels only when
    // `buses` is false). An exception from a receiver ends the broadcast with
    // E_UNEXPECTED. Audio thread: no allocation, no blocking.
    template <class Call>
    HRESULT Broadcast(bool buses, Call call);

    ITransportDocument* m_document = nullptr;
};
