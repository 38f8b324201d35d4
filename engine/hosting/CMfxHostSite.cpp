#include "engine/hosting/CMfxHostSite.h"

#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "engine/CTimer.h"
#include "engine/ITransportDocument.h"
#include "engine/hosting/CIMfxNameListSet.h"
#include "engine/IMfxSiteDocument.h"
#include "engine/IMfxSiteEngine.h"
#include "model/CMeterKeySigMap.h"
#include "model/CTempoMap.h"
#include "platform/com/TaskMemory.h"
#include "platform/win/WideString.h"

namespace {

bool Unconverted(DWORD format) { return format >= 6 && format <= 9; }
bool Musical(DWORD format) { return format == MfxTimeTicks || format == MfxTimeFixedTicks || format == MfxTimeMbt; }
bool Clock(DWORD format) { return format == MfxTimeSeconds || format == MfxTimeSamples; }

// Whether a live tempo is set and the tick lies before the tick it is
// anchored at: such times are read from the entries alone.
bool BeforeLiveTick(const CTempoMap& map, LONG tick)
{
    LONG liveTick = 0;
    return map.GetFixedTempo(&liveTick, nullptr, nullptr) == S_OK && tick < liveTick;
}

LONG Saturate(LONGLONG v)
{
    if (v > 0x7FFFFFFFLL)
        return 0x7FFFFFFF;
    return v < -0x7FFFFFFFLL - 1 ? static_cast<LONG>(-0x7FFFFFFFLL - 1) : static_cast<LONG>(v);
}

}  // namespace

HRESULT CreateMfxHostSite(IMfxSiteEngine* engine, CMfxHostSite** site)
{
    if (site == nullptr)
        return E_POINTER;
    *site = new (std::nothrow) CMfxHostSite(engine);
    return *site ? S_OK : E_OUTOFMEMORY;
}

CMfxHostSite::CMfxHostSite(IMfxSiteEngine* engine) : m_engine(engine) {}

CMfxHostSite::~CMfxHostSite()
{
    // The timer must not call into a site that is going.
    StopPulse();
}

// ---- IUnknown ----

STDMETHODIMP CMfxHostSite::QueryInterface(REFIID iid, void** ppv)
{
    if (ppv == nullptr)
        return E_POINTER;
    void* face = nullptr;
    if (iid == IID_IUnknown || iid == IID_IMfxTempoMap)
        face = static_cast<IMfxTempoMap*>(this);
    else if (iid == IID_IMfxTimeConverter)
        face = static_cast<IMfxTimeConverter*>(this);
    else if (iid == IID_IMfxMeterMap)
        face = static_cast<IMfxMeterMap*>(this);
    else if (iid == IID_IMfxKeySigMap)
        face = static_cast<IMfxKeySigMap*>(this);
    else if (iid == IID_IMfxMarkerMap)
        face = static_cast<IMfxMarkerMap*>(this);
    else if (iid == IID_IMfxNotifyHost)
        face = static_cast<IMfxNotifyHost*>(this);
    else if (iid == IID_IMfxInputCallback)
        face = static_cast<IMfxInputCallback*>(this);
    else if (iid == IID_IMfxInputPulse)
        face = static_cast<IMfxInputPulse*>(this);
    else if (iid == IID_IMfxInstruments)
        face = static_cast<IMfxInstruments*>(this);
    else if (iid == IID_IStepSeqHostPreview)
        face = static_cast<IStepSeqHostPreview*>(this);
    *ppv = face;
    if (face == nullptr)
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) CMfxHostSite::AddRef() { return static_cast<ULONG>(++m_refs); }

STDMETHODIMP_(ULONG) CMfxHostSite::Release()
{
    const LONG left = --m_refs;
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

// ---- The engine owner's side ----

STDMETHODIMP CMfxHostSite::SetDocument(ITransportDocument* document)
{
    // The song document implements both views of itself; a document without
    // the site's view counts as none rather than being misread.
    return SetSiteDocument(document ? dynamic_cast<IMfxSiteDocument*>(document) : nullptr);
}

HRESULT CMfxHostSite::SetSiteDocument(IMfxSiteDocument* document)
{
    m_document.store(document, std::memory_order_release);
    if (document == nullptr)
        return StopPulse();
    return S_OK;
}

HRESULT CMfxHostSite::StopPulse()
{
    std::lock_guard<std::mutex> lock(m_pulseLock);
    m_pulseCount.store(0);
    CTimer* timer = GetTimer();
    if (timer == nullptr || !IsRegistered())
        return S_OK;
    const HRESULT hr = timer->SetClientInterval(this, 0);
    return FAILED(hr) ? hr : S_OK;
}

// ---- IMfxTempoMap ----

STDMETHODIMP_(LONG) CMfxHostSite::TicksToMsecs(LONG ticks)
{
    IMfxSiteDocument* doc = Document();
    if (doc == nullptr)
        return 0;
    const CTempoMap& map = doc->GetSiteTempoMap();
    const LONGLONG ms = map.TicksToTime(ticks, 1000, BeforeLiveTick(map, ticks) ? TRUE : FALSE);
    return ms < 0 ? 0 : Saturate(ms);
}

STDMETHODIMP_(LONG) CMfxHostSite::MsecsToTicks(LONG msecs)
{
    IMfxSiteDocument* doc = Document();
    if (doc == nullptr)
        return 0;
    const CTempoMap& map = doc->GetSiteTempoMap();
    LONG liveTick = 0;
    BOOL ignoreLive = FALSE;
    if (map.GetFixedTempo(&liveTick, nullptr, nullptr) == S_OK)
        ignoreLive = msecs < map.TicksToTime(liveTick, 1000, TRUE) ? TRUE : FALSE;
    const LONG ticks = map.TimeToTicks(msecs, 1000, ignoreLive);
    return ticks < 0 ? 0 : ticks;
}

STDMETHODIMP_(LONG) CMfxHostSite::GetTicksPerQuarter()
{
    IMfxSiteDocument* doc = Document();
    return doc ? doc->GetSiteTempoMap().GetTicksPerQuarter() : kNeutralTicksPerQuarter;
}

STDMETHODIMP_(LONG) CMfxHostSite::GetTempoIndexAt(LONG ticks)
{
    IMfxSiteDocument* doc = Document();
    return doc ? doc->GetSiteTempoMap().IndexAt(ticks) : 0;
}

STDMETHODIMP_(LONG) CMfxHostSite::GetTempoCount()
{
    IMfxSiteDocument* doc = Document();
    return doc ? doc->GetSiteTempoMap().GetSize() : 1;
}

STDMETHODIMP CMfxHostSite::GetTempoAt(LONG index, LONG* ticks, LONG* tempo)
{
    IMfxSiteDocument* doc = Document();
    if (doc == nullptr)
        return E_UNEXPECTED;
    const CTempoMap& map = doc->GetSiteTempoMap();
    if (!map.IsValidIndex(index))
        return E_INVALIDARG;
    if (ticks == nullptr || tempo == nullptr)
        return E_POINTER;
    *ticks = map[index].m_tick;
    *tempo = map[index].m_tempo;
    return S_OK;
}

// ---- IMfxMeterMap ----

STDMETHODIMP CMfxHostSite::TicksToMbt(LONG ticks, LONG* measure, LONG* beat, LONG* tick)
{
    IMfxSiteDocument* doc = Document();
    if (doc == nullptr)
        return E_UNEXPECTED;
    if (measure == nullptr || beat == nullptr || tick == nullptr)
        return E_POINTER;
    SHORT b = 0, t = 0;
    doc->GetSiteMeterKeySigMap().TickToMbt(ticks, measure, &b, &t);
    *beat = b;
    *tick = t;
    return S_OK;
}

STDMETHODIMP_(LONG) CMfxHostSite::MbtToTicks(LONG measure, LONG beat, LONG tick)
{
    IMfxSiteDocument* doc = Document();
    return doc ? doc->GetSiteMeterKeySigMap().MbtToTick(measure, beat, tick) : 0;
}

STDMETHODIMP_(LONG) CMfxHostSite::GetMeterIndexAt(LONG ticks)
{
    IMfxSiteDocument* doc = Document();
    return doc ? doc->GetSiteMeterKeySigMap().FindIndexAtTick(ticks) : 0;
}

STDMETHODIMP_(LONG) CMfxHostSite::GetMeterCount()
{
    IMfxSiteDocument* doc = Document();
    return doc ? doc->GetSiteMeterKeySigMap().GetSize() : 1;
}

STDMETHODIMP CMfxHostSite::GetMeterAt(LONG index, LONG* ticks, LONG* numerator, LONG* denominator)
{
    IMfxSiteDocument* doc = Document();
    if (doc == nullptr)
        return E_UNEXPECTED;
    const CMeterKeySigMap& map = doc->GetSiteMeterKeySigMap();
    if (!map.IsValidIndex(index))
        return E_INVALIDARG;
    if (ticks == nullptr || numerator == nullptr || denominator == nullptr)
        return E_POINTER;
    *ticks = map[index].m_startTick;
    *numerator = map[index].m_numerator;
    *denominator = map[index].m_power;
    return S_OK;
}

// ---- IMfxKeySigMap ----

STDMETHODIMP_(LONG) CMfxHostSite::GetKeySigIndexAt(LONG ticks) { return GetMeterIndexAt(ticks); }

STDMETHODIMP_(LONG) CMfxHostSite::GetKeySigCount()
{
    IMfxSiteDocument* doc = Document();
    return doc ? doc->GetSiteMeterKeySigMap().GetSize() : 0;
}

STDMETHODIMP CMfxHostSite::GetKeySigAt(LONG index, LONG* ticks, LONG* key)
{
    IMfxSiteDocument* doc = Document();
    if (doc == nullptr)
        return E_UNEXPECTED;
    const CMeterKeySigMap& map = doc->GetSiteMeterKeySigMap();
    if (!map.IsValidIndex(index))
        return E_INVALIDARG;
    if (ticks == nullptr || key == nullptr)
        return E_POINTER;
    *ticks = map[index].m_startTick;
    *key = map[index].m_key;
    return S_OK;
}

// ---- IMfxMarkerMap ----

STDMETHODIMP_(LONG) CMfxHostSite::GetMarkerIndexAt(LONG ticks)
{
    IMfxSiteDocument* doc = Document();
    if (doc == nullptr)
        return 0;
    LONG found = -1;
    const int count = doc->GetMarkerCount();
    for (int i = 0; i < count; ++i) {
        LONG tick = 0;
        if (FAILED(doc->GetMarker(i, &tick, nullptr)) || tick > ticks)
            break;
        found = i;
    }
    return found;
}

STDMETHODIMP_(LONG) CMfxHostSite::GetMarkerCount()
{
    IMfxSiteDocument* doc = Document();
    return doc ? doc->GetMarkerCount() : 0;
}

STDMETHODIMP CMfxHostSite::GetMarkerAt(LONG index, LONG* ticks, DWORD* flags, WCHAR** name)
{
    IMfxSiteDocument* doc = Document();
    if (doc == nullptr)
        return E_UNEXPECTED;
    if (index < 0 || index >= doc->GetMarkerCount())
        return E_INVALIDARG;
    if (ticks == nullptr || flags == nullptr || name == nullptr)
        return E_POINTER;
    *name = nullptr;
    LONG tick = 0;
    CString text;
    HRESULT hr = doc->GetMarker(index, &tick, &text);
    if (FAILED(hr))
        return hr;
    std::u16string wide;
    try {
        wide = mvwin::Utf8ToUtf16(text.GetString());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    auto* copy = static_cast<WCHAR*>(CoTaskMemAlloc((wide.size() + 1) * sizeof(WCHAR)));
    if (copy == nullptr)
        return E_OUTOFMEMORY;
    std::memcpy(copy, wide.c_str(), (wide.size() + 1) * sizeof(WCHAR));
    *ticks = tick;
    *flags = 0;
    *name = copy;
    return S_OK;
}

// ---- IMfxInputPulse ----

STDMETHODIMP CMfxHostSite::GetPulseInterval(LONG* msecs)
{
    if (msecs == nullptr)
        return E_POINTER;
    *msecs = kPulseIntervalMs;
    return S_OK;
}

STDMETHODIMP CMfxHostSite::BeginPulse()
{
    std::lock_guard<std::mutex> lock(m_pulseLock);
    if (m_pulseCount.fetch_add(1) != 0)
        return S_OK;
    CTimer* timer = m_engine ? m_engine->GetSiteTimer() : nullptr;
    if (timer == nullptr) {
        m_pulseCount.store(0);
        return E_UNEXPECTED;
    }
    const HRESULT hr = timer->SetClientInterval(this, kPulseIntervalMs);
    if (FAILED(hr)) {
        m_pulseCount.store(0);
        return hr;
    }
    return S_OK;
}

STDMETHODIMP CMfxHostSite::EndPulse()
{
    std::lock_guard<std::mutex> lock(m_pulseLock);
    // A close without an open would leave the count below zero and the next
    // open without a pulse.
    if (m_pulseCount.load() == 0)
        return S_FALSE;
    if (m_pulseCount.fetch_sub(1) != 1)
        return S_OK;
    CTimer* timer = GetTimer();
    if (timer == nullptr)
        return S_OK;
    const HRESULT hr = timer->SetClientInterval(this, 0);
    return FAILED(hr) ? hr : S_OK;
}

// ---- IMfxNotifyHost, IMfxInputCallback ----

STDMETHODIMP CMfxHostSite::OnPlugInNotify(DWORD code, DWORD, DWORD) { return code == 1 || code == 2 ? S_OK : E_FAIL; }

STDMETHODIMP CMfxHostSite::OnInput(DWORD, DWORD) { return S_OK; }

// ---- IMfxTimeConverter ----

STDMETHODIMP CMfxHostSite::ConvertTime(MFX_TIME* time, DWORD target)
{
    if (time == nullptr)
        return E_POINTER;
    const DWORD source = time->format;
    if (source == target)
        return S_OK;
    IMfxSiteDocument* doc = Document();
    if (doc == nullptr)
        return E_UNEXPECTED;
    if (Unconverted(source) || Unconverted(target))
        return E_NOTIMPL;
    if (!(Musical(source) || Clock(source)) || !(Musical(target) || Clock(target)))
        return E_INVALIDARG;
    const int rate = m_engine ? m_engine->GetSiteSampleRate() : 0;
    // Without a rate there is no sample to count in.
    if (rate <= 0)
        return E_UNEXPECTED;
    const CTempoMap& tempo = doc->GetSiteTempoMap();
    const CMeterKeySigMap& meter = doc->GetSiteMeterKeySigMap();

    auto storeMbt = [&](LONG ticks) {
        SHORT beat = 0, tick = 0;
        LONG measure = 0;
        meter.TickToMbt(ticks, &measure, &beat, &tick);
        time->mbt.measure = measure;
        time->mbt.beat = beat;
        time->mbt.tick = tick;
    };
    auto storeClock = [&](LONGLONG samples) {
        if (samples <= 0)
            samples = 0;
        if (target == MfxTimeSeconds)
            time->seconds = static_cast<double>(samples) / rate;
        else
            time->samples = samples;
    };

    if (Musical(source)) {
        LONGLONG fixed = 0;
        if (source == MfxTimeFixedTicks)
            fixed = time->fixedTicks;
        else if (source == MfxTimeTicks)
            fixed = TicksToFixed(time->ticks);
        else
            fixed = TicksToFixed(meter.MbtToTick(time->mbt.measure, time->mbt.beat, time->mbt.tick));
        if (target == MfxTimeFixedTicks)
            time->fixedTicks = fixed;
        else if (target == MfxTimeTicks)
            time->ticks = FixedToTicks(fixed);
        else if (target == MfxTimeMbt)
            storeMbt(FixedToTicks(fixed));
        else
            storeClock(tempo.FixedTicksToTime(fixed, rate));
    } else {
        LONGLONG samples = 0;
        if (source == MfxTimeSamples)
            samples = time->samples;
        else
            samples = std::llround(time->seconds * rate);
        if (Clock(target)) {
            storeClock(samples);
        } else {
            LONGLONG fixed = tempo.TimeToFixedTicks(samples, rate);
            if (fixed <= 0)
                fixed = 0;
            if (target == MfxTimeFixedTicks)
                time->fixedTicks = fixed;
            else if (target == MfxTimeTicks)
                time->ticks = Saturate(fixed >> 16);
            else
                storeMbt(Saturate(fixed >> 16));
        }
    }
    time->format = target;
    return S_OK;
}

// ---- IMfxInstruments ----

HRESULT CMfxHostSite::NewNameListSet(IMfxNameListSet** set)
{
    if (set == nullptr)
        return E_POINTER;
    *set = new (std::nothrow) CIMfxNameListSet(&CIMfxNameListSet::SharedMap());
    return *set ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CMfxHostSite::GetPatchNames(IMfxNameListSet** set) { return NewNameListSet(set); }
STDMETHODIMP CMfxHostSite::GetNoteNames(IMfxNameListSet** set) { return NewNameListSet(set); }
STDMETHODIMP CMfxHostSite::GetControllerNames(IMfxNameListSet** set) { return NewNameListSet(set); }

// ---- IStepSeqHostPreview ----

STDMETHODIMP CMfxHostSite::BeginPreview(WORD channelId)
{
    IMfxSiteDocument* doc = Document();
    return doc ? doc->SetStepPreview(channelId, TRUE) : S_OK;
}

STDMETHODIMP CMfxHostSite::EndPreview(WORD channelId)
{
    IMfxSiteDocument* doc = Document();
    return doc ? doc->SetStepPreview(channelId, FALSE) : S_OK;
}

// ---- CTimerClient ----

void CMfxHostSite::OnTimer()
{
    if (IMfxSiteDocument* doc = Document())
        doc->PumpMfxChains();
}
