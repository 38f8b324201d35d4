#include "CPhaserEngine.h"

#include <algorithm>
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
      m_triangleTable(new float[kTableSize])
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

void CPhaserEngine::ProcessFrame()
{
    if (!m_enabled)
        return;
    const int n = m_levelCountdown;
    m_levelCountdown = n - 1;
    if (n < 1) {
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
    float& left = m_frame[0];
    float& right = m_frame[1];
    switch (m_mode) {
    case kMono: {
        m_first.modulation = lfo;
        const float o = m_first.Process((left + right) * m_levelCurrent * 0.5f);
        left = right = o;
        break;
    }
    case kStereo:
    case kQuadrature:
        m_first.modulation = lfo;
        m_second.modulation = m_mode == kQuadrature ? -lfo : lfo;
        left = m_first.Process(left * m_levelCurrent);
        right = m_second.Process(right * m_levelCurrent);
        break;
    default:
        break;
    }
}

}  // namespace mvphaser
