#include "model/CSongTimeServices.h"

#include <cstring>

void CSongTimeServices::TicksToMbt(const LONG& ticks, LONG* measure, LONG* beat, LONG* tick)
{
    LONG m = 0;
    SHORT b = 0, t = 0;
    m_meter.TickToMbt(ticks, &m, &b, &t);
    if (measure != nullptr)
        *measure = m;
    if (beat != nullptr)
        *beat = b;
    if (tick != nullptr)
        *tick = t;
}

void CSongTimeServices::FramesToSmpte(LONG frames, LONG* hours, LONG* minutes, LONG* seconds, LONG* frameOfSecond)
{
    int h = 0, m = 0, s = 0, f = 0;
    m_tempo.FramesToSmpte(frames, &h, &m, &s, &f);
    if (hours != nullptr)
        *hours = h;
    if (minutes != nullptr)
        *minutes = m;
    if (seconds != nullptr)
        *seconds = s;
    if (frameOfSecond != nullptr)
        *frameOfSecond = f;
}

LONG CSongTimeServices::SmpteToFrames(LONG hours, LONG minutes, LONG seconds, LONG frames, LONG)
{
    return m_tempo.SmpteToFrames(hours, minutes, seconds, frames);
}

HRESULT CSongTimeServices::ParseSmpteText(const char* text, LONG* hours, LONG* minutes, LONG* seconds, LONG* frames)
{
    if (text == nullptr || hours == nullptr || minutes == nullptr || seconds == nullptr || frames == nullptr)
        return E_POINTER;
    constexpr const char* kSeparators = ":;.| \t";
    LONG fields[4] = {0, 0, 0, 0};
    int count = 0;
    const char* p = text;
    while (*p) {
        if (std::strchr(kSeparators, *p)) {
            ++p;
            continue;
        }
        if (*p < '0' || *p > '9' || count == 4)
            return E_INVALIDARG;
        int digits = 0;
        LONG v = 0;
        for (; *p >= '0' && *p <= '9'; ++p) {
            if (++digits > 6)
                return E_INVALIDARG;
            v = v * 10 + (*p - '0');
        }
        fields[count++] = v;
    }
    if (count == 0)
        return E_INVALIDARG;
    const double rate = m_tempo.GetFrameRate();
    const LONG perSecond = static_cast<LONG>(rate + 0.5);
    if (fields[0] >= 24 || fields[1] >= 60 || fields[2] >= 60 || fields[3] >= perSecond)
        return E_INVALIDARG;
    // Drop-frame counting has no labels 0 and 1 at the start of a minute that
    // is not a multiple of ten.
    const int code = m_tempo.GetFrameRateCode();
    const bool drop = code == CTempoMap::kFps30Drop || code == CTempoMap::kFps2997Drop;
    if (drop && fields[2] == 0 && fields[3] < 2 && fields[1] % 10 != 0)
        return E_INVALIDARG;
    *hours = fields[0];
    *minutes = fields[1];
    *seconds = fields[2];
    *frames = fields[3];
    return S_OK;
}

HRESULT CSongTimeServices::ParseMbtText(const char* text, LONG* measure, LONG* beat, LONG* tick)
{
    LONG ticks = 0;
    if (const HRESULT hr = m_meter.ParseMbt(text, &ticks); FAILED(hr))
        return hr;
    TicksToMbt(ticks, measure, beat, tick);
    return S_OK;
}
