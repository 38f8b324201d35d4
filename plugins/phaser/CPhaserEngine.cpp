#include "CPhaserEngine.h"

#include <algorithm>
#include <iterator>
#include <cmath>
#include <numbers>

#include <immintrin.h>

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
    float smallest = CAllpassChain::kFlushBelow;
    const Side a0 = a, b0 = b;
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
    float smallest = CAllpassChain::kFlushBelow;
    const Side a0 = a;
    const float o = Step<Fused, false>(a, x, c, smallest);
    if (smallest >= CAllpassChain::kFlushBelow)
        return o;
    a = a0;
    return Step<Fused, true>(a, x, c, smallest);
}

[[gnu::target("fma"), gnu::always_inline]] inline __m128 LoadPair(const float* p)
{
    return _mm_castpd_ps(_mm_load_sd(reinterpret_cast<const double*>(p)));
}

// The pair at p in lanes 0 and 1 and again in lanes 2 and 3.
[[gnu::target("fma"), gnu::always_inline]] inline __m128 LoadPairTwice(const float* p)
{
    return _mm_castpd_ps(_mm_loaddup_pd(reinterpret_cast<const double*>(p)));
}

// Whether every sample of the pairs is zero.
inline bool IsSilent(const float* pairs, int count)
{
    for (int i = 0; i < 2 * count; ++i)
        if (pairs[i] != 0.0f)
            return false;
    return true;
}

// Whether the chains' inputs, the pairs with the level applied (their
// mean in mono), all lie below the flush threshold.
inline bool StaysBelowFlush(const float* pairs, const float* level, int count, bool mono)
{
    bool below = true;
    for (int i = 0; i < count; ++i, pairs += 2) {
        if (mono) {
            below &= std::fabs((pairs[0] + pairs[1]) * level[i] * 0.5f) < CAllpassChain::kFlushBelow;
        } else {
            below &= std::fabs(pairs[0] * level[i]) < CAllpassChain::kFlushBelow;
            below &= std::fabs(pairs[1] * level[i]) < CAllpassChain::kFlushBelow;
        }
    }
    return below;
}

// Whether every sample of the pairs lies below the flush threshold (the
// engine's silence is such a pattern of tiny values, not zeros): at any
// level up to 1, chains at rest stay so.
inline bool IsBelowFlush(const float* pairs, int count)
{
    for (int i = 0; i < 2 * count; ++i)
        if (!(std::fabs(pairs[i]) < CAllpassChain::kFlushBelow))
            return false;
    return true;
}

}  // namespace

// The level's glide and the LFO's phase, copied out of the engine while a
// stretch runs so that they stay in registers.
struct CPhaserEngine::Lfo {
    explicit Lfo(const CPhaserEngine& e)
        : table(e.m_waveTable), phase(e.m_phase), increment(e.m_phaseIncrement), levelCurrent(e.m_levelCurrent),
          levelTarget(e.m_levelTarget), countdown(e.m_levelCountdown)
    {
    }
    void Store(CPhaserEngine& e) const
    {
        e.m_phase = phase;
        e.m_levelCurrent = levelCurrent;
        e.m_levelCountdown = countdown;
    }
    // One frame on; the LFO's value there.
    [[gnu::always_inline]] float Advance()
    {
        const int previous = countdown;
        countdown = previous - 1;
        if (previous < 1) {
            countdown = 5;
            if (levelCurrent != levelTarget) {
                levelCurrent += (levelTarget - levelCurrent) * 0.112f;
                if (std::fabs(levelCurrent - levelTarget) < 0.001f)
                    levelCurrent = levelTarget;
            }
        }
        phase += increment;
        if (phase >= kTableSize)
            phase -= kTableSize;
        const int index = std::clamp(static_cast<int>(std::nearbyint(phase - 0.5f)), 0, kTableSize - 1);
        return table[index];
    }

    const float* table;
    float phase;
    float increment;
    float levelCurrent;
    float levelTarget;
    int countdown;
};

template <bool Fused>
[[gnu::always_inline]] inline void CPhaserEngine::RunStretch(float* frame, int n)
{
    // The LFO, the level and (for chains that step) the coefficients of the
    // stretch come first, so that the divisions run side by side and the
    // chains' loop holds only the chains.
    float level[kStretch], firstModulation[kStretch], secondModulation[kStretch];
    float firstCoefficient[kStretch], secondCoefficient[kStretch];
    const bool mono = m_mode == kMono;
    const float sign = m_mode == kQuadrature ? -1.0f : 1.0f;
    Lfo lfo(*this);
    for (int i = 0; i < n; ++i) {
        const float value = lfo.Advance();
        level[i] = lfo.levelCurrent;
        firstModulation[i] = value;
        secondModulation[i] = sign * value;
    }
    lfo.Store(*this);
    auto coefficients = [&] {
        for (int i = 0; i < n; ++i) {
            firstCoefficient[i] = Coefficient(m_first, firstModulation[i]);
            secondCoefficient[i] = Coefficient(m_second, secondModulation[i]);
        }
    };
    Side first(m_first), second(m_second);
    if (first.AtRest() && second.AtRest() && IsSilent(frame, n)) {
        // Silence into chains at rest: each step would leave them so.
        first.Rest();
        second.Rest();
        std::fill(frame, frame + 2 * n, 0.0f);
    } else if (first.AtRest() && second.AtRest() && StaysBelowFlush(frame, level, n, mono)) {
        // Chain inputs too small to pass the flush into chains at rest:
        // each flushed step leaves the chains at rest and gives its input.
        if (mono) {
            for (int i = 0; i < n; ++i, frame += 2)
                frame[0] = frame[1] = (frame[0] + frame[1]) * level[i] * 0.5f;
        } else {
            for (int i = 0; i < n; ++i, frame += 2) {
                frame[0] *= level[i];
                frame[1] *= level[i];
            }
        }
    } else if (mono) {
        coefficients();
        for (int i = 0; i < n; ++i, frame += 2)
            frame[0] = frame[1] = StepOne<Fused>(first, (frame[0] + frame[1]) * level[i] * 0.5f, firstCoefficient[i]);
    } else {
        coefficients();
        for (int i = 0; i < n; ++i, frame += 2) {
            float l = frame[0] * level[i];
            float r = frame[1] * level[i];
            StepPair<Fused>(first, second, l, r, firstCoefficient[i], secondCoefficient[i]);
            frame[0] = l;
            frame[1] = r;
        }
    }
    first.Store(m_first);
    second.Store(m_second);
    m_first.modulation = firstModulation[n - 1];
    if (!mono)
        m_second.modulation = secondModulation[n - 1];
}

// The two chains side by side and their stages regrouped, so that a
// frame waits on a few fused multiply-adds instead of nine in a row.
// Stage k gives y_k = s_k - c*y_{k-1} (y_{-1} the chain's input u), so
// four stages in a row give
//   y_3 = c^4*u + ((s_3 - c*s_2) + c^2*(s_1 - c*s_0))
// and all eight y_7 = c^8*u + (c^4*(bracket of y_3) + bracket of the
// second four on y_3), where the brackets come from the states of the
// frame before and so are ready before u is. A stage's new state,
// y_{k-1} + c*y_k, is c*s_k + (1 - c^2)*y_{k-1}; with y_{k-1} written out
// as above it too waits on u (or y_3) alone. Registers hold stage k in
// lanes 0 and 1 (first and second chain) and stage k + 4 in lanes 2 and
// 3. The sums group differently from the stage-by-stage step, which moves
// the result by float rounding only. The flush is applied to the states
// the stretch leaves, not inside it: a value that comes below the
// threshold within 64 frames moves the output by less than it, and a
// decay into silence still comes to rest at exact zeros. In mono only the
// first chain's lanes count, and the second chain is left alone.
template <bool Mono>
[[gnu::target("fma")]] void CPhaserEngine::StepSideBySide(float* frame, int n)
{
    constexpr int kStages = CAllpassChain::kStages;
    static_assert(kStages == 8);
    CAllpassChain& a = m_first;
    CAllpassChain& b = m_second;
    const float quadrature = m_mode == kQuadrature ? -1.0f : 1.0f;

    // The LFO first, on its own: its phase is a chain of its own, and the
    // coefficients it leads to are long in coming.
    alignas(32) float value[kStretch];
    float level[kStretch];
    Lfo lfo(*this);
    for (int i = 0; i < n; ++i) {
        value[i] = lfo.Advance();
        level[i] = lfo.levelCurrent;
    }
    std::fill(value + n, value + (n + 3) / 4 * 4, 0.0f);
    // The coefficients and what the loop needs of them, the two chains'
    // side by side for each frame, eight lanes at a time (the arrays are
    // long enough for the rounding up).
    alignas(32) float coefficient[8][2 * kStretch];
    {
        const __m256 low = _mm256_setr_ps(a.sweepLow, b.sweepLow, a.sweepLow, b.sweepLow, a.sweepLow, b.sweepLow,
                                          a.sweepLow, b.sweepLow);
        const __m256 high = _mm256_setr_ps(a.sweepHigh, b.sweepHigh, a.sweepHigh, b.sweepHigh, a.sweepHigh,
                                           b.sweepHigh, a.sweepHigh, b.sweepHigh);
        const __m256 span = _mm256_sub_ps(high, low);
        const __m256 sign = _mm256_setr_ps(1.0f, quadrature, 1.0f, quadrature, 1.0f, quadrature, 1.0f, quadrature);
        const __m256 one = _mm256_set1_ps(1.0f);
        const __m256 half = _mm256_set1_ps(0.5f);
        for (int i = 0; i < n; i += 4) {
            const __m128 v = _mm_load_ps(value + i);
            const __m256 modulation = _mm256_mul_ps(_mm256_setr_m128(_mm_unpacklo_ps(v, v), _mm_unpackhi_ps(v, v)), sign);
            const __m256 corner = _mm256_add_ps(low, _mm256_mul_ps(_mm256_mul_ps(_mm256_add_ps(modulation, one), half), span));
            const __m256 c = _mm256_div_ps(_mm256_sub_ps(one, corner), _mm256_add_ps(one, corner));
            const __m256 c2 = _mm256_mul_ps(c, c);
            const __m256 c3 = _mm256_mul_ps(c2, c);
            const __m256 c4 = _mm256_mul_ps(c2, c2);
            const __m256 g = _mm256_sub_ps(one, c2);
            _mm256_store_ps(coefficient[0] + 2 * i, c);
            _mm256_store_ps(coefficient[1] + 2 * i, c2);
            _mm256_store_ps(coefficient[2] + 2 * i, c4);
            _mm256_store_ps(coefficient[3] + 2 * i, _mm256_mul_ps(c4, c4));
            _mm256_store_ps(coefficient[4] + 2 * i, g);
            _mm256_store_ps(coefficient[5] + 2 * i, _mm256_mul_ps(g, c));
            _mm256_store_ps(coefficient[6] + 2 * i, _mm256_mul_ps(g, c2));
            _mm256_store_ps(coefficient[7] + 2 * i, _mm256_mul_ps(g, c3));
        }
    }

    const float bs = Mono ? 0.0f : 1.0f;  // the second chain's state, kept out of mono's lanes
    __m128 s[4];
    for (int k = 0; k < 4; ++k)
        s[k] = _mm_setr_ps(a.state[k], bs * b.state[k], a.state[k + 4], bs * b.state[k + 4]);
    __m128 last = _mm_setr_ps(a.lastOutput, bs * b.lastOutput, 0.0f, 0.0f);
    const __m128 feedback = _mm_setr_ps(a.feedback, b.feedback, 0.0f, 0.0f);
    const __m128 depth = _mm_setr_ps(a.depth, b.depth, 0.0f, 0.0f);
    for (int i = 0; i < n; ++i) {
        float* pair = frame + 2 * i;
        const __m128 c = LoadPairTwice(coefficient[0] + 2 * i);
        const __m128 c2 = LoadPairTwice(coefficient[1] + 2 * i);
        const __m128 c4 = LoadPairTwice(coefficient[2] + 2 * i);
        const __m128 c8 = LoadPair(coefficient[3] + 2 * i);
        const __m128 g = LoadPairTwice(coefficient[4] + 2 * i);
        const __m128 gc = LoadPairTwice(coefficient[5] + 2 * i);
        const __m128 gc2 = LoadPairTwice(coefficient[6] + 2 * i);
        const __m128 gc3 = LoadPairTwice(coefficient[7] + 2 * i);
        __m128 x;
        if constexpr (Mono)
            x = _mm_set_ss((pair[0] + pair[1]) * level[i] * 0.5f);
        else
            x = _mm_mul_ps(LoadPair(pair), _mm_set1_ps(level[i]));

        // The brackets, from the states alone: lanes 2 and 3 hold the
        // second four stages' on y_3, and p7 the whole chain's.
        const __m128 p1 = _mm_fnmadd_ps(c, s[0], s[1]);
        const __m128 p23 = _mm_fnmadd_ps(c, s[2], s[3]);
        const __m128 p2 = _mm_fnmadd_ps(c, p1, s[2]);
        const __m128 p3 = _mm_fmadd_ps(c2, p1, p23);
        const __m128 p7 = _mm_fmadd_ps(c4, p3, _mm_movehl_ps(p3, p3));

        const __m128 u = _mm_fmadd_ps(feedback, last, x);
        last = _mm_fmadd_ps(c8, u, p7);
        const __m128 y3 = _mm_fmadd_ps(c4, u, p3);
        const __m128 v = _mm_movelh_ps(u, y3);  // each half's input

        // The new states, c*s_k + (1 - c^2)*y_{k-1}, with y_{k-1} written
        // out so that each waits on v alone.
        s[3] = _mm_fnmadd_ps(gc3, v, _mm_fmadd_ps(g, p2, _mm_mul_ps(c, s[3])));
        s[2] = _mm_fmadd_ps(gc2, v, _mm_fmadd_ps(g, p1, _mm_mul_ps(c, s[2])));
        s[1] = _mm_fnmadd_ps(gc, v, _mm_fmadd_ps(g, s[0], _mm_mul_ps(c, s[1])));
        s[0] = _mm_fmadd_ps(g, v, _mm_mul_ps(c, s[0]));

        const __m128 out = _mm_fmadd_ps(depth, last, x);
        if constexpr (Mono)
            pair[0] = pair[1] = _mm_cvtss_f32(out);
        else
            _mm_storel_pi(reinterpret_cast<__m64*>(pair), out);
    }
    // Magnitudes below the threshold (and anything not a number) become
    // +0, keeping denormals out of the state and letting a decay rest.
    const __m128 magnitude = _mm_castsi128_ps(_mm_set1_epi32(0x7fffffff));
    const __m128 threshold = _mm_set1_ps(CAllpassChain::kFlushBelow);
    auto flushed = [&](__m128 x) { return _mm_and_ps(x, _mm_cmpge_ps(_mm_and_ps(x, magnitude), threshold)); };
    for (__m128& k : s)
        k = flushed(k);
    last = flushed(last);
    lfo.Store(*this);
    alignas(16) float lanes[4];
    for (int k = 0; k < 4; ++k) {
        _mm_store_ps(lanes, s[k]);
        a.state[k] = lanes[0];
        a.state[k + 4] = lanes[2];
        if constexpr (!Mono) {
            b.state[k] = lanes[1];
            b.state[k + 4] = lanes[3];
        }
    }
    _mm_store_ps(lanes, last);
    a.lastOutput = lanes[0];
    a.modulation = value[n - 1];
    if constexpr (!Mono) {
        b.lastOutput = lanes[1];
        b.modulation = quadrature * value[n - 1];
    }
}

void CPhaserEngine::RunPlain(float* pairs, int count)
{
    for (int at = 0; at < count; at += kStretch)
        RunStretch<false>(pairs + 2 * at, std::min(kStretch, count - at));
}

__attribute__((target("fma"))) void CPhaserEngine::RunFused(float* pairs, int count)
{
    const bool mono = m_mode == kMono;
    for (int at = 0; at < count; at += kStretch) {
        float* frame = pairs + 2 * at;
        const int n = std::min(kStretch, count - at);
        const bool quiet = Side(m_first).AtRest() && Side(m_second).AtRest() && IsBelowFlush(frame, n);
        if (quiet)
            RunStretch<true>(frame, n);
        else if (mono)
            StepSideBySide<true>(frame, n);
        else
            StepSideBySide<false>(frame, n);
    }
}

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
