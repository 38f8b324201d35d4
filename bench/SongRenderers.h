// The two renderers through which the real-time benches play a song document
// from its start, as the engine owner does after a locate to tick 0: the
// audio renderer prepared over the document's graph at the sample position
// 0, and the data renderer located and started. Both let go of the document
// when this goes.
#pragma once

#include "devices/CAudioRenderer.h"
#include "engine/CDataRenderer.h"
#include "engine/hosting/CMidiDoc.h"

namespace mvbench {

struct SongRenderers {
    SongRenderers(CMidiDoc* doc, int rate)
    {
        audio.SetSampleRate(rate);
        audio.SetDocument(doc->GetRenderDocument());
        ready = SUCCEEDED(audio.Prepare()) && SUCCEEDED(audio.SetSamplePosition(0));
        data.SetDocument(doc);
        data.Locate(0);
        data.Start(0);
    }
    ~SongRenderers()
    {
        audio.SetDocument(nullptr);
        data.SetDocument(nullptr);
    }
    SongRenderers(const SongRenderers&) = delete;
    SongRenderers& operator=(const SongRenderers&) = delete;

    CAudioRenderer audio;
    CDataRenderer data;
    // Whether the audio renderer took the document's graph.
    bool ready = false;
};

}  // namespace mvbench
