#include "plugins/loopplayer/cliplib/CClipAudio.h"

#include <algorithm>
#include <cmath>
#include <new>

namespace {

constexpr int kPhases = 1024;
constexpr double kPi = 3.14159265358979323846;

float BandwidthFactor(double r)
{
    if (r >= 1.0) return 1.0f;
    return std::max(1.0f, 1.0f / (float(r) * 0.9f));
}

}  // namespace

int ResamplerTaps(double r)
{
    if (r >= 1.0) return 6;
    int n = int(std::lround(8.0 * BandwidthFactor(r)));
    n = std::max(n, 20);
    return (n + 1) & ~1;
}

std::vector<float> ResampleWindowedSinc(const float* source, LONG frames, int channels, double r)
{
    const float g = BandwidthFactor(r);
    const int n = ResamplerTaps(r);
    const int c = n * kPhases / 2;
    std::vector<float> table(size_t(n) * kPhases + 1);
    table[size_t(c)] = 1.0f;
    for (int i = 1; i <= c; ++i) {
        float w = (float(i) / float(c) + 1.0f) * float(kPi);
        float x = float(i) * float(kPi) / float(kPhases) / g;
        double v = (0.42f - 0.5 * std::cos(w) + 0.08f * std::cos(2.0 * w)) * std::sin(x) / x;
        table[size_t(c + i)] = table[size_t(c - i)] = float(v);
    }
    double tail = 0;
    for (int i = c + 1; i <= 2 * c; ++i) tail += table[size_t(i)];
    const double norm = (1.0 + 2.0 * tail) / kPhases;
    for (float& e : table) e = float(e / norm);

    const LONG outFrames = LONG(std::llround(double(frames) * r));
    std::vector<float> out(size_t(std::max<LONG>(outFrames, 0)) * size_t(channels));
    for (LONG j = 0; j < outFrames; ++j) {
        double v = double(j) / r;
        LONG k = LONG(std::floor(v));
        int phase = int(std::lround((v - double(k)) * kPhases));
        for (int ch = 0; ch < channels; ++ch) {
            double sum = 0;
            for (int t = 0; t < n; ++t) {
                // Frames outside the source are silence.
                long long f = (long long)k + n / 2 - t;
                if (f < 0 || f >= frames) continue;
                sum += double(source[size_t(f) * size_t(channels) + size_t(ch)]) *
                       table[size_t(phase) + size_t(kPhases) * size_t(t)];
            }
            out[size_t(j) * size_t(channels) + size_t(ch)] = float(sum);
        }
    }
    return out;
}

CClipAudio* CClipAudio::Create(WORD channels, DWORD sampleRate, LONG frames)
{
    if (channels < 1 || channels > 2 || frames < 0) return nullptr;
    auto* a = new (std::nothrow) CClipAudio;
    if (!a) return nullptr;
    try {
        a->m_samples.assign((size_t(frames) + 1) * channels, 0.0f);
    } catch (const std::bad_alloc&) {
        delete a;
        return nullptr;
    }
    a->m_channels = channels;
    a->m_sampleRate = sampleRate;
    a->m_frames = frames;
    return a;
}

CClipAudio* CClipAudio::Adopt(WORD channels, DWORD sampleRate, LONG frames, std::vector<float>& samples)
{
    if (channels < 1 || channels > 2 || frames < 0 || samples.size() != (size_t(frames) + 1) * channels)
        return nullptr;
    auto* a = new (std::nothrow) CClipAudio;
    if (!a) return nullptr;
    a->m_samples.swap(samples);
    a->m_channels = channels;
    a->m_sampleRate = sampleRate;
    a->m_frames = frames;
    return a;
}

ULONG CClipAudio::Release()
{
    ULONG left = --m_refs;
    if (left == 0) delete this;
    return left;
}

void CClipAudio::SetGuardFrame()
{
    for (int ch = 0; ch < m_channels; ++ch) {
        float last = m_frames > 0 ? m_samples[size_t(m_frames - 1) * m_channels + ch] : 0.0f;
        m_samples[size_t(m_frames) * m_channels + ch] = last;
    }
}

HRESULT CClipAudio::KeepLoadedCopy()
{
    try {
        m_loaded.assign(m_samples.begin(), m_samples.begin() + size_t(m_frames) * m_channels);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    m_loadedRate = m_sampleRate;
    m_loadedFrames = m_frames;
    return S_OK;
}

HRESULT CClipAudio::Resample(DWORD newRate, bool useLoadedCopy)
{
    if (newRate == m_sampleRate || newRate == 0) return S_FALSE;
    const bool fromLoaded = useLoadedCopy && !m_loaded.empty();
    const float* source = fromLoaded ? m_loaded.data() : m_samples.data();
    const LONG frames = fromLoaded ? m_loadedFrames : m_frames;
    const DWORD sourceRate = fromLoaded ? m_loadedRate : m_sampleRate;
    try {
        std::vector<float> next;
        double ratio;
        if (newRate == sourceRate) {
            next.assign(source, source + size_t(frames) * m_channels);
            ratio = 1.0;
        } else {
            double r = double(newRate) / double(sourceRate);
            next = ResampleWindowedSinc(source, frames, m_channels, r);
            ratio = fromLoaded ? r : m_ratio * r;
        }
        LONG newFrames = LONG(next.size() / m_channels);
        next.resize(next.size() + m_channels);
        m_samples.swap(next);
        m_frames = newFrames;
        m_ratio = ratio;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    SetGuardFrame();
    m_sampleRate = newRate;
    if (m_buckets) BuildOverview(m_buckets);
    return S_OK;
}

void CClipAudio::BuildOverview(int buckets)
{
    m_buckets = std::max(buckets, 0);
    m_overview.clear();
    if (m_buckets == 0) return;
    m_overview.assign(size_t(m_buckets) * m_channels * 2, 0.0f);
    const double perBucket = double(m_frames) / m_buckets;
    for (int ch = 0; ch < m_channels; ++ch) {
        int bucket = -1;
        float lo = 1.0f, hi = -1.0f;
        auto flush = [&] {
            if (bucket < 0 || bucket >= m_buckets) return;
            m_overview[(size_t(bucket) * m_channels + ch) * 2] = lo;
            m_overview[(size_t(bucket) * m_channels + ch) * 2 + 1] = hi;
        };
        for (LONG i = 0; i < m_frames; ++i) {
            int b = perBucket > 0 ? int(std::floor(double(i) / perBucket)) : 0;
            if (b != bucket) {
                flush();
                bucket = b;
                lo = 1.0f;
                hi = -1.0f;
            }
            float v = m_samples[size_t(i) * m_channels + ch];
            lo = std::min(lo, v);
            hi = std::max(hi, v);
        }
        flush();
    }
}

bool CClipAudio::AdoptOverview(int buckets, std::vector<float>& table)
{
    if (buckets < 0 || table.size() != size_t(buckets) * m_channels * 2) return false;
    m_overview.swap(table);
    m_buckets = buckets;
    return true;
}

std::pair<float, float> CClipAudio::GetPeak(int bucket, int channel) const
{
    if (bucket < 0 || bucket >= m_buckets || channel < 0 || channel >= m_channels) return {0.0f, 0.0f};
    size_t at = (size_t(bucket) * m_channels + channel) * 2;
    return {m_overview[at], m_overview[at + 1]};
}
