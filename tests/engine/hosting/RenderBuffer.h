// One device buffer of a song as the engine owner runs it: the span's data
// broadcast through the data renderer, then the block pushed through the
// document's graph by the audio renderer into `block` (interleaved stereo).
// Audio thread: no allocation, no blocking.
#pragma once

#include "devices/CAudioRenderer.h"
#include "engine/CDataRenderer.h"

namespace songplay {

// The first failure; E_FAIL when fewer than `frames` frames came out.
inline HRESULT RenderSongBuffer(CDataRenderer& data, CAudioRenderer& audio, LONG from, LONG to, float* block,
                                int frames)
{
    int got = 0;
    HRESULT hr = data.BeginSpan(from);
    if (SUCCEEDED(hr))
        hr = data.Render(from, to);
    if (SUCCEEDED(hr))
        hr = audio.BeginBuffer(frames);
    if (SUCCEEDED(hr))
        hr = audio.BeginSegment(frames, frames);
    if (SUCCEEDED(hr))
        hr = audio.RenderBuffer(block, nullptr, frames, &got, frames, 1);
    return SUCCEEDED(hr) && got != frames ? E_FAIL : hr;
}

}  // namespace songplay
