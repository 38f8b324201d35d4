// The sample store of one loaded sound, shared by reference between the
// clips and slices that play it: interleaved float frames (one or two
// channels) with one more frame that repeats the last, so interpolation may
// read one frame past the end; the as-loaded samples and rate, kept for a
// later change of rate; and a peak overview for drawing the sound.
//
// Built and resampled on the UI thread; while a clip plays, the audio thread
// only reads the samples, and a store being resampled is not playing.
#pragma once

#include <vector>

#include "platform/win/WinTypes.h"

class CClipAudio {
public:
    // Null when the frames cannot be held. Starts with one reference.
    static CClipAudio* Create(WORD channels, DWORD sampleRate, LONG frames);
    // A store over samples already read: (frames + 1) x channels of them,
    // the guard frame last. Null when they do not fit the frame count or
    // memory runs out; the samples are taken over only on success.
    static CClipAudio* Adopt(WORD channels, DWORD sampleRate, LONG frames, std::vector<float>& samples);

    ULONG AddRef() { return ++m_refs; }
    ULONG Release();

    WORD GetChannels() const { return m_channels; }
    DWORD GetSampleRate() const { return m_sampleRate; }
    LONG GetFrames() const { return m_frames; }
    double GetRateRatio() const { return m_ratio; }
    // frames + 1 frames, interleaved.
    float* GetSamples() { return m_samples.data(); }
    const float* GetSamples() const { return m_samples.data(); }

    // Copies the last frame into the guard frame after the samples changed.
    void SetGuardFrame();
    // Keeps the current samples and rate as the as-loaded copy.
    HRESULT KeepLoadedCopy();
    bool HasLoadedCopy() const { return !m_loaded.empty(); }
    // The as-loaded copy: frames x channels samples, without a guard frame.
    const float* GetLoadedSamples() const { return m_loaded.data(); }
    DWORD GetLoadedRate() const { return m_loadedRate; }
    LONG GetLoadedFrames() const { return m_loadedFrames; }

    // Five words that a clip's saved state carries for the store unchanged.
    static constexpr int kStateWords = 5;
    DWORD GetStateWord(int index) const { return m_stateWords[index]; }
    void SetStateWord(int index, DWORD value) { m_stateWords[index] = value; }

    // Changes the store to another rate: S_FALSE when it has that rate
    // already; from the as-loaded copy when asked and present. A windowed-
    // sinc resampler makes the new frames. E_OUTOFMEMORY leaves it as it was.
    HRESULT Resample(DWORD newRate, bool useLoadedCopy);

    // Per bucket and channel the (minimum, maximum) of the frames that fall
    // into it; rebuilt for a new bucket count, dropped for none.
    void BuildOverview(int buckets);
    int GetOverviewBuckets() const { return m_buckets; }
    // (minimum, maximum) of a bucket and channel.
    std::pair<float, float> GetPeak(int bucket, int channel) const;
    // The whole table, bucket by bucket, channel by channel, minimum first.
    const std::vector<float>& GetOverview() const { return m_overview; }
    // Takes over a table of buckets x channels x 2 values (false, and the
    // table left alone, when its size does not match).
    bool AdoptOverview(int buckets, std::vector<float>& table);

private:
    CClipAudio() = default;

    ULONG m_refs = 1;
    WORD m_channels = 0;
    DWORD m_sampleRate = 0;
    LONG m_frames = 0;
    double m_ratio = 1.0;
    std::vector<float> m_samples;
    std::vector<float> m_loaded;
    DWORD m_loadedRate = 0;
    LONG m_loadedFrames = 0;
    int m_buckets = 0;
    std::vector<float> m_overview;
    DWORD m_stateWords[kStateWords] = {};
};

// The resampler on its own: frames of channels interleaved source samples at
// ratio r = new rate / source rate into round(frames * r) frames.
std::vector<float> ResampleWindowedSinc(const float* source, LONG frames, int channels, double r);
// Its tap count for a ratio (an even number; 6 going up).
int ResamplerTaps(double r);
