#include "engine/CTimeKeeper.h"

#include <algorithm>
#include <cassert>
#include <cmath>

#include "engine/graph/IAudioProperties.h"

CTimeKeeper::CTimeKeeper(ITimeKeeperSite* site, CounterFunction counter, CounterFunction frequency)
    : m_site(site), m_counter(counter), m_frequencyFunction(frequency)
{
    assert(site && counter && frequency && "a time keeper needs its engine owner and a counter");
}

CTimeKeeper::~CTimeKeeper() = default;

HRESULT CTimeKeeper::Init()
{
    LARGE_INTEGER frequency{};
    m_frequencyFunction(&frequency);
    m_frequency = frequency.QuadPart;
    return S_OK;
}

LONGLONG CTimeKeeper::ReadCounter() const
{
    LARGE_INTEGER count{};
    m_counter(&count);
    return count.QuadPart;
}

void CTimeKeeper::StampBuffer()
{
    m_stamp.store(ReadCounter());
    m_previousBufferStart.store(m_currentBufferStart.load());
    m_currentBufferStart.store(m_deviceTime.load());
}

HRESULT CTimeKeeper::EndBuffer()
{
    if (m_frequency <= 0)
        return E_UNEXPECTED;
    const float period = m_bufferPeriod.load();
    if (!(period > 0.0f))
        return S_OK;
    const double elapsed = static_cast<double>(ReadCounter() - m_stamp.load()) / static_cast<double>(m_frequency);
    const float instant = static_cast<float>(elapsed / (period * 0.001));
    const float load = m_load.load();
    m_load.store((load - instant) * m_smoothing.load() + instant);
    return S_OK;
}

void CTimeKeeper::SetBufferPeriod(float ms)
{
    m_bufferPeriod.store(ms);
    m_smoothing.store(static_cast<float>(std::pow(0.03, ms * 0.002)));
}

void CTimeKeeper::AdvanceSamples(LONGLONG frames) { m_rawSampleCount.fetch_add(frames); }

HRESULT CTimeKeeper::AdvanceDeviceTime(LONGLONG frames)
{
    LONGLONG t = m_deviceTime.load();
    if (t == kUnset)
        return E_FAIL;
    t += frames;
    HRESULT hr = S_OK;
    if (m_site->IsPlaying() && m_site->IsLoopOn(true)) {
        LONGLONG loopStart = 0, loopEnd = 0;
        hr = m_site->GetLoopTimes(&loopStart, &loopEnd);
        if (SUCCEEDED(hr) && t > loopEnd)
            t = t - loopEnd + loopStart;
    }
    m_deviceTime.store(t);
    return FAILED(hr) ? hr : S_OK;
}

void CTimeKeeper::SetDeviceTime(LONGLONG t)
{
    m_deviceTime.store(t);
    m_rawSampleCount.store(t);
    m_currentBufferStart.store(t);
    m_previousBufferStart.store(t);
}

void CTimeKeeper::SetDeviceTimeKeepOffset(LONGLONG t)
{
    const LONGLONG deviceTime = m_deviceTime.load();
    SetDeviceTime(deviceTime == kUnset ? t : t - (m_rawSampleCount.load() - deviceTime));
}

void CTimeKeeper::ResetDeviceTime()
{
    IAudioProperties* renderer = m_site->GetAudioProperties();
    SetDeviceTime(renderer ? renderer->GetSamplePosition() : 0);
}

void CTimeKeeper::ForgetPreviousBuffer() { m_currentBufferStart.store(kUnset); }

LONGLONG CTimeKeeper::GetDeviceTime(bool live)
{
    const LONGLONG previous = m_previousBufferStart.load();
    const LONGLONG current = m_currentBufferStart.load();
    const bool playing = m_site->IsPlaying();
    LONGLONG t = previous;
    if (previous == kUnset) {
        // The first buffer after the transport started: nothing to move on from.
        t = current != kUnset ? current : m_deviceTime.load();
    } else {
        if (live) {
            IAudioProperties* renderer = m_site->GetAudioProperties();
            const double rate = renderer ? renderer->GetSampleRate() : 0;
            const LONGLONG elapsed = ReadCounter() - m_stamp.load();
            if (rate > 0 && m_frequency > 0 && elapsed > 0)
                t = static_cast<LONGLONG>(
                    rate * (static_cast<double>(previous) / rate +
                            static_cast<double>(elapsed) / static_cast<double>(m_frequency)) +
                    0.5);
        }
        if (playing && current == kUnset)
            t = m_deviceTime.load();
    }
    if (playing && m_site->IsLoopOn(true)) {
        LONGLONG loopStart = 0, loopEnd = 0;
        if (SUCCEEDED(m_site->GetLoopTimes(&loopStart, &loopEnd)) && t > loopEnd)
            t = t - loopEnd + loopStart;
    }
    return std::max<LONGLONG>(t, 0);
}

LONG CTimeKeeper::GetNowTicks(bool live)
{
    if (!live || !m_site->IsPlaying() || m_site->IsCountInActive())
        return m_site->GetPlayPosition();
    return GetLiveNowTicks(live);
}

LONG CTimeKeeper::GetLiveNowTicks(bool live)
{
    LONG ticks = 0;
    if (FAILED(m_site->SamplesToTicks(GetDeviceTime(live), &ticks)))
        return m_site->GetPlayPosition();
    return std::max<LONG>(ticks, 0);
}
