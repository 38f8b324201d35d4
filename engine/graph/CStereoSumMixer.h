// The summing mixer of the aux buses and the master bus: any number of
// stereo float inputs added into one output, stereo or mono (a mono output
// carries (left + right) / 2 of the sum). Silent inputs are skipped without
// touching their buffers; when every input is silent the output is only
// marked silent. Inputs are stereo float only; the output is float of either
// width.
//
// Threads as CBaseAudioMixer: Mix runs on the pushing thread under the
// filter lock.
#pragma once

#include "engine/graph/CBaseAudioMixer.h"

MV_DEFINE_GUID(CLSID_StereoSumMixer, 0xEDDE675C, 0xE520, 0x4639, 0xAB, 0x9D, 0xB4, 0xC0, 0xFA, 0x71, 0x63, 0x5B);

class CStereoSumMixer : public CBaseAudioMixer {
public:
    // A new mixer with one reference and no inputs yet. E_INVALIDARG without
    // a graph; the audio properties give the device rate and position (the
    // output format's rate stands in without them).
    static HRESULT Create(CDxFilterGraph* graph, IAudioProperties* properties, const char* name,
                          CStereoSumMixer** out);

    // Float stereo only (E_INVALIDARG otherwise).
    HRESULT CheckInputType(int n, const AM_MEDIA_TYPE* mt) override;
    // Float of any width.
    HRESULT CheckOutputType(const AM_MEDIA_TYPE* mt) override;

    // Audio thread: no allocation, no blocking. The output block comes from
    // the allocator of the first input that holds a sample, has that
    // input's length in frames, and is stamped at the stream time (moved
    // back into the loop when it has passed the loop end, or to the start of
    // a discontinuous input). An input that has ended with nothing queued
    // adds nothing; a connected input that has not ended and holds nothing
    // is VFW_E_SAMPLE_REJECTED. A shorter input adds silence for its missing
    // frames.
    HRESULT Mix(IMediaSample** out) override;

    // At most this many non-silent inputs are summed per block.
    static constexpr int kMaxActive = 512;

private:
    CStereoSumMixer(const char* name, CDxFilterGraph* graph, IAudioProperties* properties, HRESULT* phr);

    // Moves the stream time back into the graph's loop when it has passed
    // the loop end.
    // Audio thread: no allocation, no blocking (this and AddInput).
    void WrapStreamTime();

    struct Active {
        const float* data;
        CAudioMixerIPin* pin;
        LONG frames;
    };
    // Adds (or, first, copies) one input into the output; frames it lacks
    // stay silent.
    static void AddInput(float* dst, WORD outChannels, LONG frames, const Active& input, bool first);
    Active m_active[kMaxActive];
    const float* m_sources[kMaxActive];
};
