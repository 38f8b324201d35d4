#include "CPhaserEngine.h"

#include <algorithm>
#include <iterator>
#include <cmath>
#include <numbers>

namespace mvphaser {

namespace {

struct SyncRowInfo {
    std::string_view text;
    double beats;
};

// "D" rows are 1.5 times the plain value, "T" rows two thirds of it.
constexpr SyncRowInfo kSyncRowTable[CPhaserEngine::kSyncRows] = {
    {"OFF", 0.0},       {"16 D", 24.0},      {"16", 16.0},      {"16 T", 32.0 / 3},   {"8 D", 12.0},
    {"8 ", 8.0},        {"8 T", 16.0 / 3},   {"4 D", 6.0},      {"4 ", 4.0},          {"4 T", 8.0 / 3},
    {"2 D", 3.0},       {"2 ", 2.0},         {"2 T", 4.0 / 3},  {"1 D", 1.5},         {"1", 1.0},
    {"1 T", 2.0 / 3},   {"1/2 D", 0.75},     {"1/2 ", 0.5},     {"1/2 T", 1.0 / 3},   {"1/4 D", 0.375},
    {"1/4 ", 0.25},     {"1/4 T", 1.0 / 6},  {"1/8 D", 0.1875}, {"1/8 ", 0.125},      {"1/8 T", 1.0 / 12},
    {"1/16", 0.0625},   {"1/32", 0.03125},
};

int Truncate(float x) { return static_cast<int>(x); }

}  // namespace

const double CPhaserEngine::kRateExponent = std::log(0.14914914914914915) / std::log(0.5);

CPhaserEngine::CPhaserEngine()
    : m_sineTable(new float[kTableSize]),
      m_sineCubedTable(new float[kTableSize]),
      m_triangleTable(new float[kTableSize]),
      m_fused(__builtin_cpu_supports("fma"))
{
    const float w = static_cast<float>(2 * std::numbers::pi / kTableSize);
    for (int i = 0; i < kTableSize; ++i) {
        const double s = std::sin(i * static_cast<double>(w));
        m_sineTable[i] = static_cast<float>(s);
        m_sineCubedTable[i] = static_cast<float>(s * s * s);
        double c = i / 16384.0;
        if (c > 2)
            c = 4 - c;
        if (c > 1)
            c = 2 - c;
        m_triangleTable[i] = static_cast<float>(i <= 32768 ? c : -c);
    }
    m_waveTable = m_sineTable.get();
}

std::string_view CPhaserEngine::SyncText(int row) { return kSyncRowTable[std::clamp(row, 0, kSyncRows - 1)].text; }
double CPhaserEngine::SyncBeats(int row) { return kSyncRowTable[std::clamp(row, 0, kSyncRows - 1)].beats; }
int CPhaserEngine::SyncRow(float x) { return std::clamp(Truncate(x * 26.9f), 0, kSyncRows - 1); }

const float* CPhaserEngine::Table(int waveform) const
{
    switch (waveform) {
    case kSineCubed:
        return m_sineCubedTable.get();
    case kTriangle:
        return m_triangleTable.get();
    default:
        return m_sineTable.get();
    }
}

void CPhaserEngine::SetMode(float x)
{
    m_mode = std::clamp(Truncate(x * 3.9f), 0, 3);
    m_enabled = m_mode != kOff;
}

void CPhaserEngine::SetSync(float x)
{
    m_syncValue = x;
    const int row = SyncRow(x);
    if (row == 0) {
        m_syncBeats = 0.0;
        SetRate(m_rateValue);
    } else {
        m_syncBeats = kSyncRowTable[row].beats;
    }
    SetTempo(m_tempo);
}

void CPhaserEngine::SetRate(float x)
{
    m_rateValue = x;
    if (m_syncBeats != 0.0)
        return;
    m_lfoFrequency = static_cast<float>(0.01 + 9.99 * std::pow(static_cast<double>(x), kRateExponent));
    ApplyIncrement();
}

void CPhaserEngine::SetDepth(float x)
{
    m_depthValue = x;
    m_first.depth = m_second.depth = x;
}

void CPhaserEngine::SetWaveform(float x)
{
    m_waveform = std::clamp(Truncate(x * 2.9f), 0, 2);
    m_waveTable = Table(m_waveform);
}

void CPhaserEngine::SetCenterFrequency(float x)
{
    const float low = (x * 500.0f + 50.0f) * 2.0f / m_sampleRate;
    const float high = (x * 4000.0f + 1500.0f) * 2.0f / m_sampleRate;
    m_first.sweepLow = m_second.sweepLow = low;
    m_first.sweepHigh = m_second.sweepHigh = high;
}

void CPhaserEngine::SetFeedback(float x)
{
    m_feedbackValue = x * 0.98f;
    m_first.feedback = m_second.feedback = m_feedbackValue;
}

void CPhaserEngine::SetLevel(float x) { m_levelTarget = x * x; }

void CPhaserEngine::SetSampleRate(float fs)
{
    m_sampleRate = fs;
    SetSync(m_syncValue);
    m_first.sweepLow = m_second.sweepLow = 0.1f;
    m_first.sweepHigh = m_second.sweepHigh = 0.5f;
}

void CPhaserEngine::SetTempo(float bpm)
{
    m_tempo = bpm;
    if (m_syncBeats == 0.0)
        return;
    m_lfoFrequency = static_cast<float>(bpm / (m_syncBeats * 60.0));
    ApplyIncrement();
}

void CPhaserEngine::SetPosition(double beats)
{
    if (m_syncBeats == 0.0)
        return;
    const double q = std::trunc(beats / m_syncBeats);
    const double f = (beats - m_syncBeats * q) / m_syncBeats;
    m_phase = static_cast<float>(std::clamp(f, 0.0, 1.0) * kTableSize);
    // A position at the very end of a period is its next start.
    if (m_phase >= kTableSize)
        m_phase -= kTableSize;
}

namespace {

inline float Flushed(float y) { return std::fabs(y) < CAllpassChain::kFlushBelow ? 0.0f : y; }

// a + b * c, fused or as the plain product and sum.
template <bool Fused>
[[gnu::always_inline]] inline float MulAdd(float b, float c, float a)
{
    if constexpr (Fused)
        return __builtin_fmaf(b, c, a);
    else
        return a + b * c;
}

// The allpass coefficient for the chain's corner at the modulation.
inline float Coefficient(const CAllpassChain& chain, float modulation)
{
    const float b = chain.sweepLow + (modulation + 1.0f) * 0.5f * (chain.sweepHigh - chain.sweepLow);
    return (1.0f - b) / (1.0f + b);
}

// A chain's state, copied out while the frames run.
struct Side {
    explicit Side(const CAllpassChain& chain) : last(chain.lastOutput), feedback(chain.feedback), depth(chain.depth)
    {
        std::copy(std::begin(chain.state), std::end(chain.state), state);
    }
    void Store(CAllpassChain& chain) const
    {
        std::copy(std::begin(state), std::end(state), chain.state);
        chain.lastOutput = last;
    }

    // A chain with nothing left ringing: a step on exact silence leaves it
    // at +0 and gives +0, as the flushed step does.
    bool AtRest() const
    {
        bool rest = last == 0.0f;
        for (float s : state)
            rest &= s == 0.0f;
        return rest;
    }
    void Rest()
    {
        std::fill(std::begin(state), std::end(state), 0.0f);
        last = 0.0f;
    }

    float state[CAllpassChain::kStages];
    float last;
    float feedback;
    float depth;
};

// One sample through a chain, as CAllpassChain::Process does it. Without
// Flush it leaves tiny values alone and gives the smallest magnitude it
// met (taken pairwise, so the minimum is no chain of its own): flushing
// changes nothing while that is at or above the threshold.
template <bool Fused, bool Flush>
[[gnu::always_inline]] inline float Step(Side& side, float x, float c, float& smallest)
{
    constexpr int kStages = CAllpassChain::kStages;
    float magnitude[kStages + 1];
    float u = MulAdd<Fused>(side.feedback, side.last, x);
    if constexpr (Flush)
        u = Flushed(u);
    else
        magnitude[kStages] = std::fabs(u);
    float v = u;
#pragma GCC unroll 8
    for (int k = 0; k < kStages; ++k) {
        float y = MulAdd<Fused>(-c, v, side.state[k]);
        if constexpr (Flush)
            y = Flushed(y);
        else
            magnitude[k] = std::fabs(y);
        side.state[k] = MulAdd<Fused>(c, y, v);
        v = y;
    }
    side.last = v;
    if constexpr (!Flush) {
        static_assert(kStages == 8);
        const float a = std::min(std::min(magnitude[0], magnitude[1]), std::min(magnitude[2], magnitude[3]));
        const float b = std::min(std::min(magnitude[4], magnitude[5]), std::min(magnitude[6], magnitude[7]));
        smallest = std::min(smallest, std::min(std::min(a, b), magnitude[kStages]));
    }
    return MulAdd<Fused>(side.depth, v, x);
}

// One sample through each of two chains: without the flush first, and
// again from the same state with it when it could have changed a value
// (silence included, where the values are zeros).
template <bool Fused>
[[gnu::always_inline]] inline void StepPair(Side& a, Side& b, float& left, float& right, float ca, float cb)
{
    const Side a0 = a, b0 = b;
    float smallest = CAllpassChain::kFlushBelow;
    const float l = Step<Fused, false>(a, left, ca, smallest);
    const float r = Step<Fused, false>(b, right, cb, smallest);
    if (smallest >= CAllpassChain::kFlushBelow) {
        left = l;
        right = r;
        return;
    }
    a = a0;
    b = b0;
    left = Step<Fused, true>(a, left, ca, smallest);
    right = Step<Fused, true>(b, right, cb, smallest);
}

template <bool Fused>
[[gnu::always_inline]] inline float StepOne(Side& a, float x, float c)
{
    const Side a0 = a;
    float smallest = CAllpassChain::kFlushBelow;
    const float o = Step<Fused, false>(a, x, c, smallest);
    if (smallest >= CAllpassChain::kFlushBelow)
        return o;
    a = a0;
    return Step<Fused, true>(a, x, c, smallest);
}

// Whether every sample of the pairs is zero.
inline bool IsSilent(const float* pairs, int count)
{
    bool silent = true;
    for (int i = 0; i < 2 * count; ++i)
        silent &= pairs[i] == 0.0f;
    return silent;
}

}  // namespace

template <bool Fused>
[[gnu::always_inline]] inline void CPhaserEngine::Run(float* pairs, int count)
{
    // The LFO, the level and the coefficients of a stretch of frames come
    // first, so that the divisions run side by side and the chains' loop
    // holds only the chains.
    constexpr int kStretch = 64;
    float level[kStretch], firstModulation[kStretch], secondModulation[kStretch];
    float firstCoefficient[kStretch], secondCoefficient[kStretch];
    const CAllpassChain firstSweep = m_first, secondSweep = m_second;
    const bool mono = m_mode == kMono;
    const float sign = m_mode == kQuadrature ? -1.0f : 1.0f;
    Side first(m_first), second(m_second);
    for (int at = 0; at < count; at += kStretch) {
        const int n = std::min(kStretch, count - at);
        for (int i = 0; i < n; ++i) {
            const int countdown = m_levelCountdown;
            m_levelCountdown = countdown - 1;
            if (countdown < 1) {
                m_levelCountdown = 5;
                if (m_levelCurrent != m_levelTarget) {
                    m_levelCurrent += (m_levelTarget - m_levelCurrent) * 0.112f;
                    if (std::fabs(m_levelCurrent - m_levelTarget) < 0.001f)
                        m_levelCurrent = m_levelTarget;
                }
            }
            m_phase += m_phaseIncrement;
            if (m_phase >= kTableSize)
                m_phase -= kTableSize;
            const int index = std::clamp(static_cast<int>(std::nearbyint(m_phase - 0.5f)), 0, kTableSize - 1);
            const float lfo = m_waveTable[index];
            level[i] = m_levelCurrent;
            firstModulation[i] = lfo;
            secondModulation[i] = sign * lfo;
        }
        for (int i = 0; i < n; ++i) {
            firstCoefficient[i] = Coefficient(firstSweep, firstModulation[i]);
            secondCoefficient[i] = Coefficient(secondSweep, secondModulation[i]);
        }
        float* frame = pairs + 2 * at;
        if (first.AtRest() && second.AtRest() && IsSilent(frame, n)) {
            // Silence into chains at rest: each step would leave them so.
            first.Rest();
            second.Rest();
            std::fill(frame, frame + 2 * n, 0.0f);
        } else if (mono) {
            for (int i = 0; i < n; ++i, frame += 2)
                frame[0] = frame[1] =
                    StepOne<Fused>(first, (frame[0] + frame[1]) * level[i] * 0.5f, firstCoefficient[i]);
        } else {
            for (int i = 0; i < n; ++i, frame += 2) {
                float l = frame[0] * level[i];
                float r = frame[1] * level[i];
                StepPair<Fused>(first, second, l, r, firstCoefficient[i], secondCoefficient[i]);
                frame[0] = l;
                frame[1] = r;
            }
        }
        m_first.modulation = firstModulation[n - 1];
        if (!mono)
            m_second.modulation = secondModulation[n - 1];
    }
    first.Store(m_first);
    second.Store(m_second);
}

void CPhaserEngine::RunPlain(float* pairs, int count) { Run<false>(pairs, count); }

__attribute__((target("fma"))) void CPhaserEngine::RunFused(float* pairs, int count) { Run<true>(pairs, count); }

void CPhaserEngine::ProcessFrames(float* pairs, int count)
{
    if (!m_enabled)
        return;
    if (m_fused)
        RunFused(pairs, count);
    else
        RunPlain(pairs, count);
}

}  // namespace mvphaser
