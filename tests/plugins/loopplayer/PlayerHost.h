// A host for the loop player's tests: one tempo, a meter map of any entries,
// a time converter between stream samples and 48.16 fixed ticks at that
// tempo, and the song key query. The player's synth layer runs bare around
// the engine (mvtest::BareSynth), with no filter, so each test renders the slices it wants at
// the stream positions it wants.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

// The synth layer and its host interfaces come with the player.
#include "CTamblor.h"
#include "tests/plugins/synthframework/BareSynth.h"

namespace mvtest {

class PlayerHost : public mvsynth::IMfxTempoMap,
                   public mvsynth::IMfxMeterMap,
                   public mvsynth::IMfxTimeConverter,
                   public mvsynth::IMfxKeyQuery {
public:
    struct Meter {
        LONG tick, numerator, code;
    };
    double bpm = 120.0;
    LONGLONG rate = 48000;
    std::vector<Meter> meters{{0, 4, 2}};
    LONG key = -1;
    LONGLONG keyAskedAt = -1;  // fixed ticks of the last key query
    long refs = 0;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, mvsynth::IID_IMfxTempoMap))
            *ppv = static_cast<mvsynth::IMfxTempoMap*>(this);
        else if (IsEqualGUID(riid, mvsynth::IID_IMfxMeterMap))
            *ppv = static_cast<mvsynth::IMfxMeterMap*>(this);
        else if (IsEqualGUID(riid, mvsynth::IID_IMfxTimeConverter))
            *ppv = static_cast<mvsynth::IMfxTimeConverter*>(this);
        else if (IsEqualGUID(riid, mvsynth::IID_IMfxKeyQuery))
            *ppv = static_cast<mvsynth::IMfxKeyQuery*>(this);
        if (!*ppv) return E_NOINTERFACE;
        ++refs;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return ULONG(--refs); }
    IUnknown* Handed()
    {
        ++refs;
        return static_cast<mvsynth::IMfxTempoMap*>(this);
    }

    STDMETHODIMP_(LONG) TicksToMsecs(LONG ticks) override { return LONG(std::lround(ticks * 60000.0 / (960 * bpm))); }
    STDMETHODIMP_(LONG) MsecsToTicks(LONG ms) override { return LONG(std::lround(ms * 960 * bpm / 60000.0)); }
    STDMETHODIMP_(LONG) GetTicksPerQuarter() override { return 960; }
    STDMETHODIMP_(LONG) GetTempoIndexAt(LONG) override { return 0; }
    STDMETHODIMP_(LONG) GetTempoCount() override { return 1; }
    STDMETHODIMP GetTempoAt(LONG index, LONG* ticks, LONG* t) override
    {
        if (index != 0) return E_INVALIDARG;
        *ticks = 0;
        *t = LONG(std::lround(bpm * 100));
        return S_OK;
    }

    STDMETHODIMP TicksToMbt(LONG, LONG*, LONG*, LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP_(LONG) MbtToTicks(LONG, LONG, LONG) override { return 0; }
    STDMETHODIMP_(LONG) GetMeterIndexAt(LONG ticks) override
    {
        LONG index = 0;
        for (size_t i = 0; i < meters.size(); ++i)
            if (meters[i].tick <= ticks) index = LONG(i);
        return index;
    }
    STDMETHODIMP_(LONG) GetMeterCount() override { return LONG(meters.size()); }
    STDMETHODIMP GetMeterAt(LONG index, LONG* ticks, LONG* n, LONG* d) override
    {
        if (index < 0 || size_t(index) >= meters.size()) return E_INVALIDARG;
        *ticks = meters[size_t(index)].tick;
        *n = meters[size_t(index)].numerator;
        *d = meters[size_t(index)].code;
        return S_OK;
    }

    STDMETHODIMP ConvertTime(mvsynth::MFX_TIME* t, DWORD target) override
    {
        const double quarter = 62914560.0;
        if (t->format == mvsynth::kMfxTimeSamples && target == mvsynth::kMfxTimeFixedTicks)
            t->fixedTicks = std::llround(double(t->samples) / double(rate) * bpm / 60.0 * quarter);
        else if (t->format == mvsynth::kMfxTimeFixedTicks && target == mvsynth::kMfxTimeSamples)
            t->samples = std::llround(double(t->fixedTicks) / quarter * 60.0 / bpm * double(rate));
        else if (t->format == mvsynth::kMfxTimeSeconds && target == mvsynth::kMfxTimeSamples)
            t->samples = std::llround(t->seconds * double(rate));
        else if (t->format == mvsynth::kMfxTimeTicks && target == mvsynth::kMfxTimeSamples)
            t->samples = std::llround(t->ticks / 960.0 * 60.0 / bpm * double(rate));
        else if (t->format == mvsynth::kMfxTimeSamples && target == mvsynth::kMfxTimeTicks)
            t->ticks = LONG(std::floor(double(t->samples) / double(rate) * bpm / 60.0 * 960.0));
        else
            return E_NOTIMPL;
        t->format = target;
        return S_OK;
    }

    STDMETHODIMP Reserved3() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved4() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved5() override { return E_NOTIMPL; }
    STDMETHODIMP QueryValue(const mvsynth::MFX_HOST_QUERY* query, LONG* value) override
    {
        keyAskedAt = LONGLONG(std::uint64_t(std::uint32_t(query->b)) << 32 | std::uint32_t(query->a));
        *value = key;
        return S_OK;
    }
};

}  // namespace mvtest
