// The phaser's sound: an LFO read from one of three wave tables sweeps the
// corners of two allpass chains, whose output is mixed back onto the dry
// signal. The plug-in class hands it the nine parameters (each 0..1)
// through the setters, the sample rate, the host's tempo and the song
// position, and steps it once for every stereo frame. It knows nothing of
// COM, media types or threads.
//
// Threads: setters and the per-frame step on the streaming thread, under
// the plug-in's lock; the engine itself takes none. The per-frame step
// uses no transcendental function: those run only at construction and in
// the setters.
//
// Where the processor has fused multiply-adds, the two chains run side by
// side in the lanes of SIMD registers with their stages regrouped, so
// that a frame waits on a few multiply-adds rather than on all nine in
// a row (the result then differs from the plain products and sums by
// float rounding only), and the flush of tiny values is applied to the
// states a stretch of 64 frames leaves (values 360 dB down move the output
// by less than rounding does); elsewhere they run one stage at a time,
// and the flush is checked after each frame rather than inside every
// stage: a frame where it would change a value is done again stage by
// stage with it, so the result is the same as flushing at every stage.
// Silence into chains that have come to rest leaves them at rest and is
// not stepped.
#pragma once

#include <memory>
#include <string_view>

#include "CAllpassChain.h"

namespace mvphaser {

class CPhaserEngine {
public:
    static constexpr int kTableSize = 65536;
    static constexpr int kSyncRows = 27;
    // The exponent of the rate curve, chosen so that the knob at its middle
    // gives 1.5 Hz of the 0.01..10 Hz range.
    static const double kRateExponent;

    enum Mode { kOff = 0, kMono = 1, kStereo = 2, kQuadrature = 3 };
    enum Waveform { kSine = 0, kSineCubed = 1, kTriangle = 2 };

    // Throws std::bad_alloc when the tables cannot be had.
    CPhaserEngine();

    // The value text of a sync row (some end in a blank) and its LFO
    // period in beats, 0 for "OFF"; row clamped to 0..26.
    static std::string_view SyncText(int row);
    static double SyncBeats(int row);
    // The sync row a raw 0..1 value selects.
    static int SyncRow(float x);

    // Parameter setters, each a 0..1 value. Audio thread: no allocation, no blocking.
    void SetMode(float x);
    void SetSync(float x);
    void SetRate(float x);
    void SetDepth(float x);
    void SetWaveform(float x);
    void SetCenterFrequency(float x);
    void SetFeedback(float x);
    void SetLevel(float x);

    // Audio thread: no allocation, no blocking (these six).
    void SnapLevel() { m_levelCurrent = m_levelTarget; }
    // Re-applies the sync (and so the LFO increment) for the new rate and
    // parks the sweep at 0.1..0.5 until the centre frequency comes again.
    void SetSampleRate(float fs);
    void SetTempo(float bpm);
    // The song position in beats, aligning the LFO when sync is on.
    void SetPosition(double beats);
    // One step on the pair `frame` points to.
    void ProcessFrame() { ProcessFrames(m_frame, 1); }
    // Steps through `count` interleaved pairs in place.
    void ProcessFrames(float* pairs, int count);

    // Whether the step may take the fused path where the processor has
    // fused multiply-adds (the default); off, it takes the plain one, so
    // that tests can hear both.
    void UseFused(bool on) { m_fused = on && __builtin_cpu_supports("fma"); }

    void SetFrame(float* frame) { m_frame = frame; }
    void SetPhase(float phase) { m_phase = phase; }

    // Read back, for the plug-in and its tests.
    int GetMode() const { return m_mode; }
    int GetWaveform() const { return m_waveform; }
    bool IsEnabled() const { return m_enabled; }
    float SampleRate() const { return m_sampleRate; }
    float LfoFrequency() const { return m_lfoFrequency; }
    float PhaseIncrement() const { return m_phaseIncrement; }
    float Phase() const { return m_phase; }
    double SyncBeatsInUse() const { return m_syncBeats; }
    float LevelCurrent() const { return m_levelCurrent; }
    float LevelTarget() const { return m_levelTarget; }
    const CAllpassChain& First() const { return m_first; }
    const CAllpassChain& Second() const { return m_second; }
    const float* Table(int waveform) const;

private:
    static constexpr int kStretch = 64;

    // The level's glide and the LFO's phase while a stretch runs.
    struct Lfo;
    // The frames of a stretch of up to kStretch, one chain stage at a time.
    template <bool Fused>
    void RunStretch(float* frame, int n);
    // The same with the two chains side by side and fused multiply-adds,
    // the flush applied to the states the stretch leaves.
    template <bool Mono>
    void StepSideBySide(float* frame, int n);
    void RunPlain(float* pairs, int count);
    void RunFused(float* pairs, int count);
    void ApplyIncrement() { m_phaseIncrement = m_lfoFrequency * kTableSize / m_sampleRate; }

    float* m_frame = nullptr;
    CAllpassChain m_first;
    CAllpassChain m_second;
    float m_sampleRate = 44100.0f;
    int m_levelCountdown = 0;
    std::unique_ptr<float[]> m_sineTable;
    std::unique_ptr<float[]> m_sineCubedTable;
    std::unique_ptr<float[]> m_triangleTable;
    const float* m_waveTable = nullptr;
    int m_mode = 0;
    int m_waveform = 0;
    float m_depthValue = 0.0f;
    float m_rateValue = 0.0f;
    float m_feedbackValue = 0.0f;
    float m_levelTarget = 0.0f;
    float m_levelCurrent = 0.0f;
    double m_syncBeats = 0.0;
    float m_tempo = 0.0f;  // a synced LFO stands still until a tempo comes
    float m_syncValue = 0.0f;
    float m_lfoFrequency = 0.0f;
    float m_phase = 0.0f;
    float m_phaseIncrement = 0.0f;
    bool m_enabled = false;
    bool m_fused = false;
};

}  // namespace mvphaser
