// Level meters and the CPU meter: what a scripted level source makes them
// light (rising and falling), their segment layout and clip lamp, that
// unchanged levels repaint nothing, and the engine load bar and its text.
#include "uikit/CNWMeterCtrl.h"

#include <gtest/gtest.h>

#include <atomic>

#include "uikit/CCpuMeter.h"
#include "uikit/CDropDownCtrl.h"
#include "uikit/CNWEditControl.h"
#include "uikit/CNWHorizBitmapVUMeter.h"
#include "tests/uikit/NWTestHost.h"

namespace {

// A level source that plays a script: levels[t] at tick t, both channels.
class CScriptedSource : public ILevelMeterSource {
public:
    HRESULT QueryInterface(REFIID, void** ppv) override
    {
        if (ppv)
            *ppv = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG Release() override { return static_cast<ULONG>(--refs); }
    void SetFirstSetting(int v) override { settings.push_back(v); }
    void SetSecondSetting(int v) override { settings.push_back(v); }
    void SetThirdSetting(int v) override { settings.push_back(v); }
    void GetLevels(int channels, float* out) override
    {
        for (int c = 0; c < channels * 3; ++c)
            out[c] = level;
    }
    void GetPeaks(int channels, float* out) override
    {
        for (int c = 0; c < channels * 3; ++c)
            out[c] = peak;
    }
    void Reset() override { ++resets; }

    std::atomic<int> refs{0};
    std::vector<int> settings;
    float level = -100.0f;
    float peak = -100.0f;
    int resets = 0;
};

constexpr UINT kRow = 9401;
// A meter strip of cap 4, segment 3, clip 6: each image its own colour.
const QColor kDarkCap(40, 40, 40), kDarkNormal(30, 60, 30), kDarkWarning(70, 60, 20), kDarkClip(60, 20, 20),
    kLitCap(200, 200, 200), kLitNormal(80, 230, 80), kLitWarning(240, 200, 40), kLitClip(250, 40, 40);

class CNWMeterCtrlTest : public mvtest::NWControlTest {
protected:
    void SetUp() override
    {
        NWControlTest::SetUp();
        QImage strip(2 * (4 + 3 + 3 + 6), 4, QImage::Format_RGB32);
        QPainter p(&strip);
        int x = 0;
        for (const auto& [c, w] : {std::pair{kDarkCap, 4}, {kDarkNormal, 3}, {kDarkWarning, 3}, {kDarkClip, 6},
                                   {kLitCap, 4}, {kLitNormal, 3}, {kLitWarning, 3}, {kLitClip, 6}}) {
            p.fillRect(x, 0, w, 4, c);
            x += w;
        }
        p.end();
        mvtest::RegisterImage(kRow, strip);
        QImage back(80, 16, QImage::Format_RGB32);
        back.fill(QColor(20, 24, 20));
        mvtest::RegisterImage(CCpuMeter::kBackground, back);
        meter = mvtest::Place(host, new CNWHorizBitmapVUMeter(&host, kRow, kRow, 4, 6, 3), 10, 10, false,
                              CSize(100, 8));
        meter->AttachMeter(&source);
    }
    void TearDown() override
    {
        host.RemoveAllControls();
        mvui::RegisterBitmapResource(nullptr, kRow, CBitmap());
        mvui::RegisterBitmapResource(nullptr, CCpuMeter::kBackground, CBitmap());
        NWControlTest::TearDown();
    }
    // Segment i of row 1 as painted.
    QColor Segment(int i) { return Pixel(10 + 4 + 3 * i + 1, 11); }
    CScriptedSource source;
    CNWHorizBitmapVUMeter* meter = nullptr;
};

TEST_F(CNWMeterCtrlTest, AttachingHoldsAndConfiguresTheSourceOnce)
{
    EXPECT_EQ(source.refs, 1);
    EXPECT_EQ(source.settings, (std::vector<int>{5, 50, 20}));
    meter->AttachMeter(&source);
    EXPECT_EQ(source.refs, 1);
    EXPECT_EQ(source.settings.size(), 3u);
    CScriptedSource other;
    meter->AttachMeter(&other);
    EXPECT_EQ(source.refs, 0);
    EXPECT_EQ(other.refs, 1);
    host.RemoveAllControls();
    EXPECT_EQ(other.refs, 0);
}

TEST_F(CNWMeterCtrlTest, SegmentsAndTheWarningStartFollowTheWidth)
{
    EXPECT_EQ(meter->GetSegmentCount(), 30);
    EXPECT_EQ(meter->GetWarningIndex(), 22);
    EXPECT_FLOAT_EQ(meter->ScaleBottom(), -24.0f);
}

TEST_F(CNWMeterCtrlTest, LevelsLightTheirShareOfTheScale)
{
    const struct {
        float db;
        float fraction;
        int pixels;
    } cases[] = {{-12.0f, 0.5f, 50}, {-30.0f, 0.0f, 0}, {0.0f, 1.0f, 100}, {-6.0f, 0.75f, 75}, {3.0f, 1.0f, 100}};
    for (const auto& c : cases) {
        source.level = c.db;
        meter->UpdateMeter();
        EXPECT_FLOAT_EQ(meter->GetLitFraction(0), c.fraction) << c.db;
        EXPECT_EQ(meter->GetLitPixels(1), c.pixels) << c.db;
    }
}

TEST_F(CNWMeterCtrlTest, AScriptedFeedRisesAndFallsOnTheSegments)
{
    // Level in dB at each tick, and the segments lit (of 30) it shows.
    const struct {
        float db;
        int lit;
    } script[] = {{-100, 0}, {-18, 8}, {-12, 15}, {-3, 26}, {-0.04f, 30}, {-6, 23}, {-20, 5}, {-60, 0}};
    for (const auto& tick : script) {
        source.level = tick.db;
        meter->UpdateMeter();
        const int lastLit = tick.lit - 1;
        if (tick.lit > 0) {
            const QColor expected = lastLit >= 22 ? kLitWarning : kLitNormal;
            EXPECT_EQ(Segment(lastLit), expected) << tick.db;
        }
        if (tick.lit < 30) {
            const QColor expected = tick.lit >= 22 ? kDarkWarning : kDarkNormal;
            EXPECT_EQ(Segment(tick.lit), expected) << tick.db;
        }
        if (tick.db == -3.0f)
            mvtest::Shot(host, "vumeter-rising");
    }
}

TEST_F(CNWMeterCtrlTest, TheClipLampLightsFromMinusFiveHundredthsOfADecibel)
{
    const int lampX = 10 + 4 + 30 * 3 + 2;
    source.level = -0.06f;
    meter->UpdateMeter();
    EXPECT_EQ(Pixel(lampX, 11), kDarkClip);
    source.level = -0.04f;
    meter->UpdateMeter();
    EXPECT_EQ(Pixel(lampX, 11), kLitClip);
    EXPECT_EQ(Pixel(lampX, 15), kLitClip);  // the second row
    // With peaks shown the lamp follows the peak.
    meter->SetShowPeaks(true);
    source.level = -10.0f;
    source.peak = 0.0f;
    meter->UpdateMeter();
    EXPECT_EQ(Pixel(lampX, 11), kLitClip);
}

TEST_F(CNWMeterCtrlTest, UnchangedLevelsRepaintNothingAndAClickResetsTheSource)
{
    source.level = -10.0f;
    meter->UpdateMeter();
    host.UpdateWindow();
    meter->UpdateMeter();
    CRect dirty;
    EXPECT_FALSE(host.GetUpdateRect(&dirty));
    source.level = -9.0f;
    meter->UpdateMeter();
    EXPECT_TRUE(host.GetUpdateRect(&dirty));
    host.Click(20, 12);
    EXPECT_EQ(source.resets, 1);
    EXPECT_TRUE(host.TakeLog().empty());  // no edit gesture
}

TEST_F(CNWMeterCtrlTest, CpuMeterShowsTheEngineLoadCappedAtFull)
{
    auto* cpu = mvtest::Place(host, new CCpuMeter(&host), 130, 10);
    const struct {
        float load;
        int lit;
        const char* text;
    } cases[] = {{1.3f, 10, "100"}, {0.44f, 4, "44"}, {0.0f, 0, "0"}};
    for (const auto& c : cases) {
        cpu->SetLoadSource([&c] { return c.load; });
        int litLines = 0, darkLines = 0;
        CString text;
        for (const DcCall& call : host.Record()) {
            if (call.op == CString("LineTo"))
                (call.colour == RGB(60, 90, 37) ? litLines : darkLines)++;
            if (call.op == CString("DrawText"))
                text = call.text;
        }
        EXPECT_EQ(litLines, c.lit) << c.load;
        EXPECT_EQ(darkLines, 10 - c.lit) << c.load;
        EXPECT_STREQ(text, c.text);
        EXPECT_STREQ(cpu->GetToolTipText(), c.text);
    }
}

TEST_F(CNWMeterCtrlTest, AStripWithADropDownAnEditAMeterAndTheCpuMeter)
{
    NWAPPEARANCE a{};
    a.background1 = RGB(24, 26, 30);
    a.text1 = RGB(230, 230, 230);
    a.mask = NWA_BACKGROUND1 | NWA_TEXT1;
    auto* drop = mvtest::Place(host, new CDropDownCtrl(&host), 10, 30, true, CSize(100, 18));
    drop->SetText("Master");
    drop->SetAppearance(a);
    auto* edit = mvtest::Place(host, new CNWEditControl(&host), 10, 54, true, CSize(100, 18));
    edit->SetText("120.00");
    edit->SetAppearance(a);
    auto* cpu = mvtest::Place(host, new CCpuMeter(&host), 130, 10);
    cpu->SetLoadSource([] { return 0.37f; });
    source.level = -8.0f;
    meter->UpdateMeter();
    mvtest::Shot(host, "strip-dropdown-edit-meter-cpu");
}

}  // namespace
