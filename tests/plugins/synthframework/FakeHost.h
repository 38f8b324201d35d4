// A host of soft synths for the framework's tests: a tempo map of one tempo
// (120 BPM unless told, 960 ticks a quarter), a meter map, and on request a
// time converter (seconds and samples at its own rate) and a notify
// interface that records the output changes it hears of. Each interface
// can be left out to see a connection refused. Reference counts are
// counted, not owned: the test keeps the host on its stack. A plug-in may
// take and give back references on threads of its own, so the count is
// atomic.
#pragma once

#include <atomic>
#include <vector>

#include "plugins/synthframework/MfxSynth.h"

namespace mvtest {

class FakeHost : public mvsynth::IMfxTempoMap,
                 public mvsynth::IMfxMeterMap,
                 public mvsynth::IMfxTimeConverter,
                 public mvsynth::IMfxNotifyHost {
public:
    bool hasTempoMap = true;
    bool hasMeterMap = true;
    bool hasConverter = false;
    bool hasNotify = false;
    LONG tempo = 12000;  // BPM x 100
    LONGLONG converterRate = 48000;
    std::atomic<long> refs{0};
    std::vector<DWORD> notices;  // code << 16 | count

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        *ppv = nullptr;
        if (IsEqualGUID(riid, IID_IUnknown) || (hasTempoMap && IsEqualGUID(riid, mvsynth::IID_IMfxTempoMap)))
            *ppv = static_cast<mvsynth::IMfxTempoMap*>(this);
        else if (hasMeterMap && IsEqualGUID(riid, mvsynth::IID_IMfxMeterMap))
            *ppv = static_cast<mvsynth::IMfxMeterMap*>(this);
        else if (hasConverter && IsEqualGUID(riid, mvsynth::IID_IMfxTimeConverter))
            *ppv = static_cast<mvsynth::IMfxTimeConverter*>(this);
        else if (hasNotify && IsEqualGUID(riid, mvsynth::IID_IMfxNotifyHost))
            *ppv = static_cast<mvsynth::IMfxNotifyHost*>(this);
        if (!*ppv)
            return E_NOINTERFACE;
        ++refs;
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(++refs); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(--refs); }
    // A reference to hand over to Connect.
    IUnknown* Handed()
    {
        ++refs;
        return static_cast<mvsynth::IMfxTempoMap*>(this);
    }

    // Tempo map: one tempo from tick 0.
    STDMETHODIMP_(LONG) TicksToMsecs(LONG ticks) override
    {
        return static_cast<LONG>(static_cast<LONGLONG>(ticks) * 60000 * 100 / (960LL * tempo));
    }
    STDMETHODIMP_(LONG) MsecsToTicks(LONG ms) override
    {
        return static_cast<LONG>(static_cast<LONGLONG>(ms) * 960 * tempo / (60000LL * 100));
    }
    STDMETHODIMP_(LONG) GetTicksPerQuarter() override { return 960; }
    STDMETHODIMP_(LONG) GetTempoIndexAt(LONG) override { return 0; }
    STDMETHODIMP_(LONG) GetTempoCount() override { return 1; }
    STDMETHODIMP GetTempoAt(LONG index, LONG* ticks, LONG* t) override
    {
        if (index != 0)
            return E_INVALIDARG;
        *ticks = 0;
        *t = tempo;
        return S_OK;
    }

    // Meter map: 4/4 throughout.
    STDMETHODIMP TicksToMbt(LONG, LONG*, LONG*, LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP_(LONG) MbtToTicks(LONG, LONG, LONG) override { return 0; }
    STDMETHODIMP_(LONG) GetMeterIndexAt(LONG) override { return 0; }
    STDMETHODIMP_(LONG) GetMeterCount() override { return 1; }
    STDMETHODIMP GetMeterAt(LONG, LONG* ticks, LONG* n, LONG* d) override
    {
        *ticks = 0;
        *n = 4;
        *d = 2;
        return S_OK;
    }

    // Converter: seconds to samples at its own rate; ticks at a fixed 10
    // samples a tick, to tell it from the tempo map.
    STDMETHODIMP ConvertTime(mvsynth::MFX_TIME* t, DWORD target) override
    {
        if (t->format == mvsynth::kMfxTimeSeconds && target == mvsynth::kMfxTimeSamples) {
            t->samples = static_cast<LONGLONG>(t->seconds * static_cast<double>(converterRate));
        } else if (t->format == mvsynth::kMfxTimeTicks && target == mvsynth::kMfxTimeSamples) {
            t->samples = 10LL * t->ticks;
        } else {
            return E_NOTIMPL;
        }
        t->format = target;
        return S_OK;
    }

    STDMETHODIMP OnPlugInNotify(DWORD code, DWORD, DWORD count) override
    {
        notices.push_back(code << 16 | count);
        return S_OK;
    }
};

// The host's event queue: records in time order.
class FakeEventQueue : public mvsynth::IMfxEventQueue {
public:
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Add(const mvsynth::MfxEvent* e) override
    {
        events.push_back(*e);
        return S_OK;
    }
    STDMETHODIMP GetCount(int* count) override
    {
        *count = static_cast<int>(events.size());
        return S_OK;
    }
    STDMETHODIMP GetAt(int index, mvsynth::MfxEvent* e) override
    {
        *e = events[static_cast<std::size_t>(index)];
        return S_OK;
    }
    // A note of the host's record.
    void AddNote(LONG time, BYTE channel, BYTE key, BYTE velocity, DWORD duration)
    {
        mvsynth::MfxEvent e{};
        e.m_time = time;
        e.m_channel = channel;
        e.m_kind = mvsynth::kMfxNote;
        e.m_data[0] = key;
        e.m_data[1] = velocity;
        e.m_data[2] = 64;
        std::memcpy(e.m_data + 3, &duration, 4);
        events.push_back(e);
    }
    std::vector<mvsynth::MfxEvent> events;
};

// The host's raw MIDI queue: (time, short message) pairs.
class FakeMidiQueue : public mvsynth::IMfxDataQueue {
public:
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Add(const mvsynth::MfxData* d) override
    {
        records.push_back(*d);
        return S_OK;
    }
    STDMETHODIMP GetCount(int* count) override
    {
        *count = static_cast<int>(records.size());
        return S_OK;
    }
    STDMETHODIMP GetAt(int index, mvsynth::MfxData* d) override
    {
        *d = records[static_cast<std::size_t>(index)];
        return S_OK;
    }
    void Message(DWORD time, BYTE status, BYTE d1, BYTE d2 = 0)
    {
        records.push_back({time, static_cast<DWORD>(status | d1 << 8 | d2 << 16)});
    }
    std::vector<mvsynth::MfxData> records;
};

}  // namespace mvtest
