// One slice of a loop clip: a stretch of a sample store with its musical
// start and length (48.16 fixed-point ticks) and its place in samples, and
// the renderer that fits the slice's audio into the time the slice gets at
// the song's tempo without changing its pitch: a slice that must become
// shorter is cut and its tail crossfaded in early; one that must become
// longer repeats the part from a restart frame on, crossfaded at each
// repeat. Crossfades are parabolic (out 1 - x^2, in 1 - (1 - x)^2).
//
// Positions and lengths take a unit: 0 whole ticks (the fixed value >> 16),
// 1 fixed ticks, 3 samples; kNone stands for no value in the tick units.
//
// The renders read the store and add into the caller's buffer; they
// allocate nothing. Set up on the UI thread, rendered on the audio thread.
#pragma once

#include "platform/win/WinTypes.h"

class CClipAudio;

class CClipSlice {
public:
    static constexpr LONGLONG kNone = INT64_MAX;
    static constexpr int kUnitTicks = 0;
    static constexpr int kUnitFixedTicks = 1;
    static constexpr int kUnitSamples = 3;

    CClipSlice() = default;
    CClipSlice(const CClipSlice& other);
    CClipSlice& operator=(const CClipSlice&) = delete;
    ~CClipSlice();

    // Plays audio (one reference taken) from frame offset of the store; the
    // slice's start in samples is its place in the clip, set apart.
    void Attach(CClipAudio* audio, LONG offset);
    LONG GetDataOffset() const { return m_dataOffset; }
    CClipAudio* GetAudio() const { return m_audio; }
    WORD GetChannels() const { return m_channels; }
    double GetRateRatio() const { return m_ratio; }

    // Inline: a clip's render asks every slice of two cycles for its place
    // in every block.
    LONGLONG GetStart(int unit) const
    {
        if (unit == kUnitSamples) return m_startSamples;
        if (unit == kUnitTicks) return m_startFixed == kNone ? kNone : m_startFixed >> 16;
        return m_startFixed;
    }
    void SetStart(LONGLONG value, int unit);
    LONGLONG GetLength(int unit) const
    {
        if (unit == kUnitSamples) return m_lengthSamples;
        if (unit == kUnitTicks) return m_lengthFixed == kNone ? kNone : m_lengthFixed >> 16;
        return m_lengthFixed;
    }
    void SetLength(LONGLONG value, int unit);
    LONGLONG GetEnd(int unit) const;

    // The sample place as loaded, before any change of the stream's rate.
    void SetLoadedPlace(LONG start, LONG length) { m_loadedStart = start, m_loadedLength = length; }
    LONG GetLoadedStart() const { return m_loadedStart; }
    LONG GetLoadedLength() const { return m_loadedLength; }
    // The first store frame as loaded.
    void SetLoadedOffset(LONG offset) { m_loadedOffset = offset; }
    LONG GetLoadedOffset() const { return m_loadedOffset; }
    // The second length in samples, at the stream's rate and as loaded; a
    // clip's saved state carries both.
    void SetSecondLength(LONG samples) { m_secondLength = samples; }
    LONG GetSecondLength() const { return m_secondLength; }
    void SetLoadedSecondLength(LONG samples) { m_loadedSecondLength = samples; }
    LONG GetLoadedSecondLength() const { return m_loadedSecondLength; }
    // The slice's share of the store's overview points.
    void SetOverviewShare(DWORD first, DWORD count) { m_overviewFirst = first, m_overviewCount = count; }
    DWORD GetOverviewFirst() const { return m_overviewFirst; }
    DWORD GetOverviewCount() const { return m_overviewCount; }
    // 1 for a slice cut from the file's slice list, 0 for the one slice of a
    // one-shot sound.
    DWORD GetSliced() const { return m_sliced; }
    void SetSliced(DWORD sliced) { m_sliced = sliced; }
    // A playback-rate factor of the slice's own, kept with the clip's state.
    double GetRateFactor() const { return m_rateFactor; }
    void SetRateFactor(double factor) { m_rateFactor = factor; }

    float GetGain() const { return m_gain; }
    void SetGain(float gain) { m_gain = gain; }
    float GetPan() const { return m_pan; }
    void SetPan(float pan) { m_pan = pan; }
    LONG GetTranspose() const { return m_transpose; }
    void SetTranspose(LONG semitones) { m_transpose = semitones; }
    int GetIndex() const { return m_index; }
    void SetIndex(int index) { m_index = index; }
    bool GetUseSecondStore() const { return m_useSecondStore; }
    void SetUseSecondStore(bool on) { m_useSecondStore = on; }

    // Renders frames frames of the slice stretched to targetLength samples
    // (below 1: its own length), from offset frames into the stretched
    // slice, adding them at outputOffset frames into output. clipPan and the
    // slice's pan make the left and right gains.
    // Audio thread: no allocation, no blocking.
    void RenderSlice(LONG offset, LONG outputOffset, LONG frames, LONG targetLength, float* output,
                     int outputChannels, float gain, float clipPan) const;
    // The same, shifted by semitones: the source is read at 2^(shift/12)
    // times the rate ratio with linear interpolation.
    // Audio thread: no allocation, no blocking.
    void RenderSliceShifted(LONG offset, LONG outputOffset, LONG frames, LONG targetLength, float* output,
                            int outputChannels, float gain, float clipPan, int shift) const;

private:
    void Gains(float gain, float clipPan, double& left, double& right) const;

    CClipAudio* m_audio = nullptr;
    WORD m_channels = 0;
    LONG m_dataOffset = 0;
    LONGLONG m_startFixed = 0;
    LONG m_startSamples = 0;
    LONGLONG m_lengthFixed = kNone;
    LONG m_lengthSamples = 0;
    LONG m_loadedStart = 0;
    LONG m_loadedLength = 0;
    LONG m_loadedOffset = 0;
    LONG m_secondLength = 0;
    LONG m_loadedSecondLength = 0;
    DWORD m_overviewFirst = 0;
    DWORD m_overviewCount = 0;
    DWORD m_sliced = 0;
    double m_rateFactor = 1.0;
    float m_gain = 1.0f;
    float m_pan = 0.5f;
    LONG m_transpose = 0;
    double m_ratio = 1.0;
    int m_index = -1;
    bool m_useSecondStore = false;
};
