#include "model/CQuantizer.h"

#include <algorithm>
#include <cstdlib>

#include "uikit/core/ISeqUI.h"
#include "uikit/core/MemoryUtil.h"

CQuantizer::CQuantizer(ISeqUI* time) : CTimeGrid(kSixteenth), m_time(time) {}

LONG CQuantizer::ScaleByStrength(LONG base, LONG delta, LONG strength)
{
    if (strength == 0)
        return base;
    if (strength == 100)
        return base + delta;
    return base + MulDivTruncate(delta, strength, 100);
}

HRESULT CQuantizer::QuantizeTime(LONG* time, LONG* following)
{
    if (time == nullptr)
        return E_INVALIDARG;
    const LONG t = *time;
    LONG start = 0, length = 0;
    MeasureBounds(m_time, t, &start, &length);
    LONG resolution = m_resolution.GetValue();
    if (resolution < 1)
        resolution = GridIdToTicks(kSixteenth);
    const LONG grid = std::max<LONG>(1, resolution < length ? resolution : length);
    // The grid shifted at random by up to Randomize percent of half a step.
    const LONG range = (m_randomize.GetValue() * grid) / 200;
    const LONG shift = std::rand() % (2 * range + 1) - range;
    const LONG shifted = t - shift;
    LONG base = 0;
    if (shifted >= 0) {
        LONG unused = 0;
        MeasureBounds(m_time, shifted, &base, &unused);
    } else {
        const LONG second = m_time->MbtToTicks(2, 1, 0);
        base = second != 0 ? (shifted / second - 1) * second : 0;
    }
    // Grid points in pairs, the middle one placed by Swing.
    const LONG pair = 2 * grid;
    const LONG pairStart = base + ((shifted - base) / pair) * pair + shift;
    const LONG swingPoint = pairStart + (pair * m_swing.GetValue()) / 100;
    const LONG nextPair = pairStart + pair;
    const LONG nextSwing = nextPair + (pair * m_swing.GetValue()) / 100;
    LONG lower = swingPoint, upper = nextPair, after = nextSwing;
    if (swingPoint >= t) {
        lower = pairStart;
        upper = swingPoint;
        after = nextPair;
    }
    const LONG below = t - lower;
    const LONG above = upper - t;
    const LONG target = below < above ? lower : upper;
    if (following != nullptr)
        *following = below < above ? upper : after;
    if (std::min(below, above) > MulDivTruncate(upper - lower, m_window.GetValue(), 100))
        return S_FALSE;
    *time = std::clamp<LONG>(ScaleByStrength(t, target - t, m_strength.GetValue()), 0, 0x7FFFFFFF);
    return S_OK;
}

HRESULT CQuantizer::QuantizeEvent(CMfxEvent& event)
{
    const bool note = MfxCopy(event.m_kind) == MfxNote;
    if (!m_includeAutomation.GetValue() && !note)
        return S_FALSE;
    const DWORD oldDuration = note ? MfxCopy(event.m_note.duration) : 0;
    const bool moveEnd = m_noteDurations.GetValue() && note && oldDuration > 0;
    LONG end = moveEnd ? event.m_time + static_cast<LONG>(oldDuration) : 0;
    LONG time = event.m_time;
    LONG following = 0;
    HRESULT hr = QuantizeTime(&time, &following);
    if (FAILED(hr))
        return hr;
    if (m_startTimes.GetValue())
        event.m_time = time;
    if (!moveEnd)
        return S_OK;
    LONG unused = 0;
    if (FAILED(hr = QuantizeTime(&end, &unused)))
        return hr;
    if (end <= following)
        end = following;
    const LONG delta = end - event.m_time - static_cast<LONG>(oldDuration);
    const LONG duration = ScaleByStrength(static_cast<LONG>(oldDuration), delta, m_strength.GetValue());
    event.m_note.duration = static_cast<DWORD>(std::max<LONG>(0, duration));
    return S_OK;
}
