#include "plugins/synthframework/CParamEnvelope.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

namespace mvsynth {

CParamEnvelope::CParamEnvelope() { m_segments.reserve(kReservedSegments); }

void CParamEnvelope::Init(const MediaParamEntry& entry)
{
    CAutoLock lock(&m_lock);
    m_info = entry;
    const float v = m_info.ToInternal(m_info.info.mpdNeutralValue);
    m_envValue.store(v);
    if (m_segments.empty()) {
        m_useSet.store(true);
        m_setValue.store(v);
    }
}

float CParamEnvelope::Current() const
{
    if (m_useSet.load(std::memory_order_relaxed) || m_captured.load(std::memory_order_relaxed))
        return m_setValue.load(std::memory_order_relaxed);
    return m_envValue.load(std::memory_order_relaxed);
}

void CParamEnvelope::Set(float external)
{
    const float v = m_info.ToInternal(external);
    m_setValue.store(v, std::memory_order_relaxed);
    m_envValue.store(v, std::memory_order_relaxed);
    m_useSet.store(true, std::memory_order_relaxed);
}

LONGLONG CParamEnvelope::TimeToSample(REFERENCE_TIME t, int sampleRate)
{
    return static_cast<LONGLONG>(sampleRate * 1e-7 * static_cast<double>(t) + 0.5);
}

REFERENCE_TIME CParamEnvelope::SampleToTime(LONGLONG s, int sampleRate)
{
    return static_cast<REFERENCE_TIME>(static_cast<double>(s) / (sampleRate * 1e-7) + 0.5);
}

// Times that automation edits name are moved onto the sample they fall in,
// so that a flush or a replacement meets the segments that start there.
REFERENCE_TIME CParamEnvelope::ToSampleGrid(REFERENCE_TIME t, int sampleRate)
{
    const auto s = static_cast<LONGLONG>(sampleRate * 1e-7 * static_cast<double>(t));
    return SampleToTime(s, sampleRate);
}

int CParamEnvelope::FindSegment(REFERENCE_TIME t) const
{
    if (m_segments.empty())
        return -1;
    if (t >= m_segments.back().rtEnd)
        return static_cast<int>(m_segments.size()) - 1;
    // The segment that starts at t, else the last one that starts before it.
    auto it = std::upper_bound(m_segments.begin(), m_segments.end(), t,
                               [](REFERENCE_TIME v, const MP_ENVELOPE_SEGMENT& s) { return v < s.rtStart; });
    if (it == m_segments.begin())
        return -1;
    return static_cast<int>(it - m_segments.begin()) - 1;
}

HRESULT CParamEnvelope::AddEnvelope(DWORD count, const MP_ENVELOPE_SEGMENT* segments, int sampleRate)
{
    if (count == 0)
        return S_OK;
    if (!segments)
        return E_POINTER;
    CAutoLock lock(&m_lock);
    REFERENCE_TIME earliest = segments[0].rtStart;
    for (DWORD i = 0; i < count; ++i) {
        m_segments.push_back(segments[i]);
        earliest = std::min(earliest, segments[i].rtStart);
    }
    // New segments replace what is left of the old ones from where they
    // start once playback has gone past that point.
    const REFERENCE_TIME m = ToSampleGrid(earliest, sampleRate);
    const int k = FindSegment(m);
    if (k > 0 && m_lastTime > m)
        m_segments.erase(m_segments.begin(), m_segments.begin() + k);
    std::sort(m_segments.begin(), m_segments.end(),
              [](const MP_ENVELOPE_SEGMENT& a, const MP_ENVELOPE_SEGMENT& b) { return a.rtStart < b.rtStart; });
    // The host may send the same segment again; one copy plays.
    auto same = [](const MP_ENVELOPE_SEGMENT& a, const MP_ENVELOPE_SEGMENT& b) {
        return std::memcmp(&a, &b, sizeof a) == 0;
    };
    m_segments.erase(std::unique(m_segments.begin(), m_segments.end(), same), m_segments.end());
    m_segmentCount.store(m_segments.size(), std::memory_order_release);
    return S_OK;
}

HRESULT CParamEnvelope::FlushEnvelope(REFERENCE_TIME start, REFERENCE_TIME end, int sampleRate)
{
    constexpr REFERENCE_TIME lo = std::numeric_limits<REFERENCE_TIME>::min();
    constexpr REFERENCE_TIME hi = std::numeric_limits<REFERENCE_TIME>::max();
    if (start != lo && start != hi)
        start = ToSampleGrid(start, sampleRate);
    if (end != lo && end != hi)
        end = ToSampleGrid(end, sampleRate);
    CAutoLock lock(&m_lock);
    std::erase_if(m_segments, [&](const MP_ENVELOPE_SEGMENT& s) { return s.rtEnd > start && s.rtStart < end; });
    m_segmentCount.store(m_segments.size(), std::memory_order_release);
    m_lastTime = 0;
    if (m_segments.empty() && !m_useSet.load() && !m_captured.load()) {
        // The last value the envelope gave stays in force.
        m_setValue.store(m_envValue.load());
        m_useSet.store(true);
    }
    return S_OK;
}

void CParamEnvelope::UpdateAt(REFERENCE_TIME t)
{
    // Most parameters have no envelope: they cost no lock on every slice.
    if (m_segmentCount.load(std::memory_order_acquire) == 0)
        return;
    CTryLock lock(&m_lock);
    if (!lock.Locked() || m_segments.empty())
        return;
    const int i = FindSegment(t);
    if (i < 0)
        return;
    const MP_ENVELOPE_SEGMENT& s = m_segments[static_cast<std::size_t>(i)];
    if (s.rtStart <= t && t <= s.rtEnd) {
        m_useSet.store(false, std::memory_order_relaxed);
        const float a = m_info.ToInternal(s.valStart);
        const float b = m_info.ToInternal(s.valEnd);
        const float d = b - a;
        const double span = static_cast<double>(s.rtEnd - s.rtStart);
        const float u = span > 0 ? static_cast<float>(static_cast<double>(t - s.rtStart) / span) : 1.0f;
        float v;
        switch (s.iCurve) {
        case MP_CURVE_JUMP:
            v = a;
            break;
        case MP_CURVE_LINEAR:
            v = a + u * d;
            break;
        case MP_CURVE_SQUARE:
            v = a + d * u * u;
            break;
        case MP_CURVE_INVSQUARE:
            v = b - d * (1 - u) * (1 - u);
            break;
        default:
            v = a + d * (1 + std::sin((u - 0.5f) * std::numbers::pi_v<float>)) / 2;
            break;
        }
        m_envValue.store(v, std::memory_order_relaxed);
    } else if (t > s.rtEnd) {
        m_envValue.store(m_info.ToInternal(s.valEnd), std::memory_order_relaxed);
    }
    m_lastTime = std::max(m_lastTime, t);
}

std::size_t CParamEnvelope::AppendChangePoints(LONGLONG first, LONGLONG end, int sampleRate,
                                               std::vector<LONGLONG>& out)
{
    if (m_segmentCount.load(std::memory_order_acquire) == 0)
        return 0;
    CTryLock lock(&m_lock);
    if (!lock.Locked())
        return 0;
    for (const MP_ENVELOPE_SEGMENT& s : m_segments) {
        for (REFERENCE_TIME t : {s.rtStart, s.rtEnd}) {
            const LONGLONG p = TimeToSample(t, sampleRate);
            if (p >= first && p < end)
                out.push_back(p);
        }
    }
    return m_segments.size();
}

std::size_t CParamEnvelope::SegmentCount()
{
    CAutoLock lock(&m_lock);
    return m_segments.size();
}

}  // namespace mvsynth
