// What the loop-clip tests play clips through: a player at a fixed song
// tempo and rate, and the float stream format the player renders.
#pragma once

#include <cmath>

#include "plugins/loopplayer/cliplib/CLoopClip.h"
#include "plugins/loopplayer/cliplib/IRembetHost.h"

// Ticks and samples convert exactly, rounded.
class FakeHost : public IRembetHost {
public:
    FakeHost(double bpm, LONG rate) : bpm(bpm), rate(rate) {}
    LONGLONG SamplesToFixedTicks(LONGLONG samples) override
    {
        return std::llround(double(samples) / rate * bpm / 60.0 * CLoopClip::kFixedQuarter);
    }
    LONGLONG FixedTicksToSamples(LONGLONG ticks) override
    {
        return std::llround(double(ticks) / CLoopClip::kFixedQuarter * 60.0 / bpm * rate);
    }
    LONG GetSampleRate() override { return rate; }
    double bpm;
    LONG rate;
};

inline WAVEFORMATEX FloatFormat(DWORD rate, WORD channels)
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f.nChannels = channels;
    f.nSamplesPerSec = rate;
    f.wBitsPerSample = 32;
    f.nBlockAlign = WORD(4 * channels);
    f.nAvgBytesPerSec = rate * f.nBlockAlign;
    return f;
}
