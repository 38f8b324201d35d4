#include "engine/hosting/CMfxHostSite.h"

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "engine/hosting/CIMfxNameListSet.h"
#include "platform/com/TaskMemory.h"
#include "platform/win/WideString.h"
#include "tests/engine/hosting/HostSiteFakes.h"

using namespace sitetest;

namespace {

class CMfxHostSiteTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        engine.timer = &timer;
        ASSERT_EQ(S_OK, CreateMfxHostSite(&engine, &site));
    }
    void TearDown() override
    {
        if (site) {
            EXPECT_EQ(0u, site->Release());
        }
    }
    void Attach() { ASSERT_EQ(S_OK, site->SetDocument(&doc)); }

    CTimer timer{10};
    FakeSiteEngine engine;
    FakeSiteDocument doc;
    CMfxHostSite* site = nullptr;
};

template <class I>
I* Face(CMfxHostSite* site, REFIID iid)
{
    void* p = nullptr;
    EXPECT_EQ(S_OK, site->QueryInterface(iid, &p));
    static_cast<IUnknown*>(static_cast<I*>(p))->Release();
    return static_cast<I*>(p);
}

TEST_F(CMfxHostSiteTest, AnswersEachOfItsFacesAndNothingElse)
{
    struct Case {
        const char* name;
        const GUID* iid;
        void* expected;
    };
    const Case cases[] = {
        {"IUnknown", &IID_IUnknown, static_cast<IMfxTempoMap*>(site)},
        {"tempo map", &IID_IMfxTempoMap, static_cast<IMfxTempoMap*>(site)},
        {"meter map", &IID_IMfxMeterMap, static_cast<IMfxMeterMap*>(site)},
        {"key map", &IID_IMfxKeySigMap, static_cast<IMfxKeySigMap*>(site)},
        {"marker map", &IID_IMfxMarkerMap, static_cast<IMfxMarkerMap*>(site)},
        {"input pulse", &IID_IMfxInputPulse, static_cast<IMfxInputPulse*>(site)},
        {"notify host", &IID_IMfxNotifyHost, static_cast<IMfxNotifyHost*>(site)},
        {"input callback", &IID_IMfxInputCallback, static_cast<IMfxInputCallback*>(site)},
        {"time converter", &IID_IMfxTimeConverter, static_cast<IMfxTimeConverter*>(site)},
        {"instruments", &IID_IMfxInstruments, static_cast<IMfxInstruments*>(site)},
        {"step preview", &IID_IStepSeqHostPreview, static_cast<IStepSeqHostPreview*>(site)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        void* p = nullptr;
        ASSERT_EQ(S_OK, site->QueryInterface(*c.iid, &p));
        EXPECT_EQ(c.expected, p);
        EXPECT_EQ(1u, site->Release());
    }
    constexpr GUID kLoopPlayerOption = {0x1516243C, 0x0D2C, 0x4F9D, {0x96, 0x4D, 0xF3, 0xD7, 0x3D, 0x53, 0xF5, 0xD1}};
    void* p = &p;
    EXPECT_EQ(E_NOINTERFACE, site->QueryInterface(kLoopPlayerOption, &p));
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(E_POINTER, site->QueryInterface(IID_IUnknown, nullptr));
    EXPECT_EQ(2u, site->AddRef());
    EXPECT_EQ(1u, site->Release());
    EXPECT_EQ(S_OK, site->OnPlugInNotify(1, 0, 0));
    EXPECT_EQ(S_OK, site->OnPlugInNotify(2, 0, 0));
    EXPECT_EQ(E_FAIL, site->OnPlugInNotify(3, 0, 0));
    EXPECT_EQ(S_OK, site->OnInput(1, 2));
}

TEST_F(CMfxHostSiteTest, WithoutADocumentTheMapsAnswerNeutralValues)
{
    LONG a = 0, b = 0, c = 0;
    DWORD flags = 0;
    WCHAR* name = nullptr;
    EXPECT_EQ(960, site->GetTicksPerQuarter());
    EXPECT_EQ(1, site->GetTempoCount());
    EXPECT_EQ(0, site->GetTempoIndexAt(5000));
    EXPECT_EQ(0, site->TicksToMsecs(960));
    EXPECT_EQ(0, site->MsecsToTicks(1000));
    EXPECT_EQ(1, site->GetMeterCount());
    EXPECT_EQ(0, site->MbtToTicks(2, 1, 0));
    EXPECT_EQ(0, site->GetKeySigCount());
    EXPECT_EQ(0, site->GetMarkerIndexAt(100));
    EXPECT_EQ(0, site->GetMarkerCount());
    EXPECT_EQ(E_UNEXPECTED, site->GetTempoAt(0, &a, &b));
    EXPECT_EQ(E_UNEXPECTED, site->GetMeterAt(0, &a, &b, &c));
    EXPECT_EQ(E_UNEXPECTED, site->GetKeySigAt(0, &a, &b));
    EXPECT_EQ(E_UNEXPECTED, site->TicksToMbt(0, &a, &b, &c));
    EXPECT_EQ(E_UNEXPECTED, site->GetMarkerAt(0, &a, &flags, &name));
    MFX_TIME t{};
    t.format = MfxTimeTicks;
    EXPECT_EQ(E_UNEXPECTED, site->ConvertTime(&t, MfxTimeSamples));
    EXPECT_EQ(S_OK, site->ConvertTime(&t, MfxTimeTicks));
    EXPECT_EQ(S_OK, site->BeginPreview(3));
}

TEST_F(CMfxHostSiteTest, TempoMeterAndKeyComeFromTheDocumentsMaps)
{
    ASSERT_EQ(S_OK, doc.tempo.Set(0, CTempo(0, 12000)));
    ASSERT_EQ(S_OK, doc.tempo.Insert(1, CTempo(3840, 6000)));
    ASSERT_EQ(S_OK, doc.meter.Insert(1, CMeterKey(3, 3, 2, -2)));
    Attach();

    EXPECT_EQ(960, site->GetTicksPerQuarter());
    EXPECT_EQ(2, site->GetTempoCount());
    EXPECT_EQ(1, site->GetTempoIndexAt(4000));
    LONG tick = 0, tempo = 0;
    ASSERT_EQ(S_OK, site->GetTempoAt(1, &tick, &tempo));
    EXPECT_EQ(3840, tick);
    EXPECT_EQ(6000, tempo);
    EXPECT_EQ(E_INVALIDARG, site->GetTempoAt(2, &tick, &tempo));
    EXPECT_EQ(E_INVALIDARG, site->GetTempoAt(-1, &tick, &tempo));
    EXPECT_EQ(E_POINTER, site->GetTempoAt(0, nullptr, &tempo));
    // 120 BPM: a quarter is 500 ms.
    EXPECT_EQ(500, site->TicksToMsecs(960));
    EXPECT_EQ(960, site->MsecsToTicks(500));
    EXPECT_EQ(0, site->TicksToMsecs(-960));

    EXPECT_EQ(2, site->GetMeterCount());
    EXPECT_EQ(2, site->GetKeySigCount());
    LONG num = 0, den = 0, key = 0;
    ASSERT_EQ(S_OK, site->GetMeterAt(1, &tick, &num, &den));
    EXPECT_EQ(7680, tick);  // measure 3 after two 4/4 measures
    EXPECT_EQ(3, num);
    EXPECT_EQ(2, den);
    ASSERT_EQ(S_OK, site->GetKeySigAt(1, &tick, &key));
    EXPECT_EQ(-2, key);
    EXPECT_EQ(1, site->GetMeterIndexAt(7680));
    EXPECT_EQ(1, site->GetKeySigIndexAt(7680));
    EXPECT_EQ(0, site->GetKeySigIndexAt(7679));
    LONG m = 0, b = 0, t = 0;
    ASSERT_EQ(S_OK, site->TicksToMbt(7680 + 960 + 5, &m, &b, &t));
    EXPECT_EQ(3, m);
    EXPECT_EQ(2, b);
    EXPECT_EQ(5, t);
    EXPECT_EQ(7680 + 960 + 5, site->MbtToTicks(3, 2, 5));
    EXPECT_EQ(E_POINTER, site->TicksToMbt(0, &m, nullptr, &t));
}

TEST_F(CMfxHostSiteTest, MarkersAreFoundByTickAndHandedOutAsTaskMemory)
{
    doc.markers = {{960, "Verse"}, {3840, "Chorus"}};
    Attach();
    EXPECT_EQ(2, site->GetMarkerCount());
    EXPECT_EQ(-1, site->GetMarkerIndexAt(959));
    EXPECT_EQ(0, site->GetMarkerIndexAt(960));
    EXPECT_EQ(1, site->GetMarkerIndexAt(100000));
    LONG tick = 0;
    DWORD flags = 7;
    WCHAR* name = nullptr;
    ASSERT_EQ(S_OK, site->GetMarkerAt(1, &tick, &flags, &name));
    EXPECT_EQ(3840, tick);
    EXPECT_EQ(0u, flags);
    ASSERT_NE(nullptr, name);
    EXPECT_EQ("Chorus", mvwin::Utf16ToUtf8(name));
    CoTaskMemFree(name);
    EXPECT_EQ(E_INVALIDARG, site->GetMarkerAt(2, &tick, &flags, &name));
    EXPECT_EQ(E_POINTER, site->GetMarkerAt(0, &tick, &flags, nullptr));
    doc.markers.clear();
    EXPECT_EQ(-1, site->GetMarkerIndexAt(100000));
}

TEST_F(CMfxHostSiteTest, TimesConvertThroughTheTempoAndMeterMaps)
{
    ASSERT_EQ(S_OK, doc.tempo.Set(0, CTempo(0, 12000)));  // 120 BPM: 960 ticks in 0.5 s
    Attach();
    struct Case {
        const char* name;
        MFX_TIME in;
        DWORD target;
        MFX_TIME out;
    };
    auto seconds = [](double s) {
        MFX_TIME t{};
        t.format = MfxTimeSeconds;
        t.seconds = s;
        return t;
    };
    auto samples = [](LONGLONG n) {
        MFX_TIME t{};
        t.format = MfxTimeSamples;
        t.samples = n;
        return t;
    };
    auto ticks = [](LONG n) {
        MFX_TIME t{};
        t.format = MfxTimeTicks;
        t.ticks = n;
        return t;
    };
    auto fixed = [](LONGLONG n) {
        MFX_TIME t{};
        t.format = MfxTimeFixedTicks;
        t.fixedTicks = n;
        return t;
    };
    auto mbt = [](LONG m, SHORT b, SHORT k) {
        MFX_TIME t{};
        t.format = MfxTimeMbt;
        t.mbt.measure = m;
        t.mbt.beat = b;
        t.mbt.tick = k;
        return t;
    };
    const Case cases[] = {
        {"half a second to samples", seconds(0.5), MfxTimeSamples, samples(22050)},
        {"samples to seconds", samples(44100), MfxTimeSeconds, seconds(1.0)},
        {"negative samples to seconds", samples(-5), MfxTimeSeconds, seconds(0.0)},
        {"a tick and a half rounds up", fixed(3 * 32768), MfxTimeTicks, ticks(2)},
        {"ticks to fixed", ticks(3), MfxTimeFixedTicks, fixed(3 * 65536)},
        {"ticks to mbt", ticks(3840 + 960 + 7), MfxTimeMbt, mbt(2, 2, 7)},
        {"mbt to ticks", mbt(2, 2, 7), MfxTimeTicks, ticks(3840 + 960 + 7)},
        {"ticks to samples", ticks(960), MfxTimeSamples, samples(22050)},
        {"ticks to seconds", ticks(1920), MfxTimeSeconds, seconds(1.0)},
        {"samples to ticks", samples(22050), MfxTimeTicks, ticks(960)},
        // 1.5 ticks of time: the fraction is dropped.
        {"a time of a tick and a half truncates", samples(2 * 22050 * 3 / 1920 / 2), MfxTimeTicks, ticks(1)},
        {"samples to mbt", samples(44100 * 2), MfxTimeMbt, mbt(2, 1, 0)},
        {"negative ticks to samples", ticks(-960), MfxTimeSamples, samples(0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MFX_TIME t = c.in;
        ASSERT_EQ(S_OK, site->ConvertTime(&t, c.target));
        EXPECT_EQ(c.target, t.format);
        switch (c.target) {
        case MfxTimeSeconds: EXPECT_DOUBLE_EQ(c.out.seconds, t.seconds); break;
        case MfxTimeSamples: EXPECT_EQ(c.out.samples, t.samples); break;
        case MfxTimeTicks: EXPECT_EQ(c.out.ticks, t.ticks); break;
        case MfxTimeFixedTicks: EXPECT_EQ(c.out.fixedTicks, t.fixedTicks); break;
        case MfxTimeMbt:
            EXPECT_EQ(c.out.mbt.measure, t.mbt.measure);
            EXPECT_EQ(c.out.mbt.beat, t.mbt.beat);
            EXPECT_EQ(c.out.mbt.tick, t.mbt.tick);
            break;
        }
    }
    MFX_TIME t = ticks(5);
    EXPECT_EQ(E_NOTIMPL, site->ConvertTime(&t, 6));
    t.format = 9;
    EXPECT_EQ(E_NOTIMPL, site->ConvertTime(&t, MfxTimeTicks));
    t = ticks(5);
    engine.rate = 0;
    EXPECT_EQ(E_UNEXPECTED, site->ConvertTime(&t, MfxTimeSamples));
    EXPECT_EQ(MfxTimeTicks, t.format);
}

TEST_F(CMfxHostSiteTest, ThePulseIsRegisteredOnceAndSharedByItsHolders)
{
    Attach();
    LONG interval = 0;
    ASSERT_EQ(S_OK, site->GetPulseInterval(&interval));
    EXPECT_EQ(50, interval);
    EXPECT_EQ(E_POINTER, site->GetPulseInterval(nullptr));

    ASSERT_EQ(S_OK, site->BeginPulse());
    EXPECT_TRUE(site->IsRegistered());
    ASSERT_EQ(S_OK, site->BeginPulse());
    ASSERT_EQ(S_OK, site->EndPulse());
    EXPECT_TRUE(site->IsRegistered());
    // The timer thread runs the chains meanwhile.
    for (int i = 0; i < 200 && doc.pumps.load() == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    EXPECT_GT(doc.pumps.load(), 0);
    ASSERT_EQ(S_OK, site->EndPulse());
    EXPECT_FALSE(site->IsRegistered());
    EXPECT_EQ(S_FALSE, site->EndPulse());
    EXPECT_EQ(0, site->GetPulseCount());

    // Detaching the document ends an open pulse.
    ASSERT_EQ(S_OK, site->BeginPulse());
    ASSERT_EQ(S_OK, site->SetDocument(nullptr));
    EXPECT_FALSE(site->IsRegistered());
    EXPECT_EQ(0, site->GetPulseCount());
}

TEST_F(CMfxHostSiteTest, ThePulseCountStaysExactUnderHoldersOnSeveralThreads)
{
    Attach();
    std::vector<std::thread> holders;
    for (int t = 0; t < 4; ++t) {
        holders.emplace_back([this] {
            for (int i = 0; i < 200; ++i) {
                site->BeginPulse();
                site->EndPulse();
            }
            site->BeginPulse();
        });
    }
    for (auto& h : holders)
        h.join();
    EXPECT_EQ(4, site->GetPulseCount());
    EXPECT_TRUE(site->IsRegistered());
    for (int t = 0; t < 4; ++t)
        site->EndPulse();
    EXPECT_FALSE(site->IsRegistered());
}

TEST_F(CMfxHostSiteTest, StepPreviewsReachTheDocument)
{
    Attach();
    ASSERT_EQ(S_OK, site->BeginPreview(4));
    ASSERT_EQ(S_OK, site->EndPreview(4));
    EXPECT_EQ((std::vector<std::pair<WORD, BOOL>>{{4, TRUE}, {4, FALSE}}), doc.previews);
    doc.previewResult = E_FAIL;
    EXPECT_EQ(E_FAIL, site->BeginPreview(4));
}

TEST_F(CMfxHostSiteTest, EveryInstrumentListIsAnEmptySet)
{
    using Getter = HRESULT (CMfxHostSite::*)(IMfxNameListSet**);
    const Getter getters[] = {&CMfxHostSite::GetPatchNames, &CMfxHostSite::GetNoteNames,
                              &CMfxHostSite::GetControllerNames};
    for (Getter g : getters) {
        IMfxNameListSet* set = nullptr;
        ASSERT_EQ(S_OK, (site->*g)(&set));
        LONG count = -1;
        ASSERT_EQ(S_OK, set->GetCount(&count));
        EXPECT_EQ(0, count);
        IMfxNameList* list = reinterpret_cast<IMfxNameList*>(1);
        EXPECT_EQ(E_INVALIDARG, set->GetNameList(0, &list));
        EXPECT_EQ(0u, set->Release());
        EXPECT_EQ(E_POINTER, (site->*g)(nullptr));
    }
}

}  // namespace
