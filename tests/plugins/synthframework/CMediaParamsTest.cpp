#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "platform/com/TaskMemory.h"
#include "plugins/synthframework/CMediaParams.h"

namespace {

using mvsynth::CMediaParams;
using mvsynth::MediaParamEntry;

constexpr REFERENCE_TIME kSecond = 10000000;

// Nine 0..1 floats, a boolean among them, and an enumeration of three
// steps; the record past the table is all zero.
const MediaParamEntry kTable[] = {
    {{MPT_FLOAT, 0x1F, 0, 1, 0.25f, u"%", u"Depth"}, 0, 1, nullptr},
    {{MPT_BOOL, 0x1, 0, 1, 0, u"", u"Bypass"}, 0, 1, nullptr},
    {{MPT_ENUM, 0x1, 0, 1, 0, u"", u"Shape"}, 0, 2, u"Sine,Triangle,Square"},
    {{MPT_FLOAT, 0x1F, 0, 1, 0, u"", u"P3"}, 0, 1, nullptr},
    {{MPT_FLOAT, 0x1F, 0, 1, 0, u"", u"P4"}, 0, 1, nullptr},
    {{MPT_FLOAT, 0x1F, 0, 1, 0, u"", u"P5"}, 0, 1, nullptr},
    {{MPT_FLOAT, 0x1F, 0, 1, 0, u"", u"P6"}, 0, 1, nullptr},
    {{MPT_FLOAT, 0x1F, 0, 1, 0, u"", u"P7"}, 0, 1, nullptr},
    {{MPT_FLOAT, 0x1F, 0, 1, 0, u"", u"P8"}, 0, 1, nullptr},
};

struct MediaParams : ::testing::Test {
    void SetUp() override { ASSERT_EQ(S_OK, CMediaParams::Create(nullptr, kTable, 9, &params)); }
    void TearDown() override
    {
        if (params)
            params->Release();
    }
    float ValueAt(DWORD index, REFERENCE_TIME t)
    {
        params->UpdateAt(mvsynth::CParamEnvelope::TimeToSample(t, params->SampleRate()));
        float v = -1;
        EXPECT_EQ(S_OK, params->GetParam(index, &v));
        return v;
    }
    static MP_ENVELOPE_SEGMENT Segment(REFERENCE_TIME start, REFERENCE_TIME end, float a, float b, MP_CURVE_TYPE c)
    {
        return MP_ENVELOPE_SEGMENT{start, end, a, b, c, 0};
    }
    CMediaParams* params = nullptr;
};

TEST_F(MediaParams, EachCurveGivesItsValueAtTheSegmentMiddle)
{
    struct Case {
        const char* name;
        MP_CURVE_TYPE curve;
        float middle;
    } cases[] = {
        {"jump", MP_CURVE_JUMP, 0.2f},
        {"linear", MP_CURVE_LINEAR, 0.6f},
        {"square", MP_CURVE_SQUARE, 0.2f + 0.8f * 0.25f},
        {"inverse square", MP_CURVE_INVSQUARE, 1.0f - 0.8f * 0.25f},
        {"sine", MP_CURVE_SINE, 0.6f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(S_OK, params->FlushEnvelope(0, std::numeric_limits<REFERENCE_TIME>::min(),
                                              std::numeric_limits<REFERENCE_TIME>::max()));
        MP_ENVELOPE_SEGMENT s = Segment(0, kSecond, 0.2f, 1.0f, c.curve);
        ASSERT_EQ(S_OK, params->AddEnvelope(0, 1, &s));
        EXPECT_NEAR(c.middle, ValueAt(0, kSecond / 2), 1e-4);
        EXPECT_NEAR(1.0f, ValueAt(0, 2 * kSecond), 1e-6) << "after its end the end value holds";
    }
}

TEST_F(MediaParams, SquareAndSineCurvesBendTheWayTheirNamesSay)
{
    MP_ENVELOPE_SEGMENT s[] = {Segment(0, kSecond, 0, 1, MP_CURVE_SQUARE),
                               Segment(kSecond, 2 * kSecond, 0, 1, MP_CURVE_SINE)};
    ASSERT_EQ(S_OK, params->AddEnvelope(3, 2, s));
    EXPECT_NEAR(0.0625f, ValueAt(3, kSecond / 4), 1e-4);
    EXPECT_NEAR((1 + std::sin((0.25 - 0.5) * M_PI)) / 2, ValueAt(3, kSecond + kSecond / 4), 1e-4);
}

TEST_F(MediaParams, TheSameSegmentAddedTwiceIsKeptOnce)
{
    MP_ENVELOPE_SEGMENT s = Segment(0, kSecond, 0, 1, MP_CURVE_LINEAR);
    ASSERT_EQ(S_OK, params->AddEnvelope(4, 1, &s));
    ASSERT_EQ(S_OK, params->AddEnvelope(4, 1, &s));
    std::vector<LONGLONG> points;
    params->GetChangePoints(0, 2000, points);
    EXPECT_EQ((std::vector<LONGLONG>{0, 0, 882, 1764}), points) << "one start, not two";
}

TEST_F(MediaParams, ChangePointsAreTheGridAndTheSegmentEndsSorted)
{
    std::vector<LONGLONG> points{99};
    params->GetChangePoints(0, 2000, points);
    EXPECT_TRUE(points.empty()) << "no envelope anywhere: not even grid points";

    MP_ENVELOPE_SEGMENT s = Segment(0, kSecond, 0, 1, MP_CURVE_LINEAR);
    ASSERT_EQ(S_OK, params->AddEnvelope(0, 1, &s));
    params->GetChangePoints(0, 2000, points);
    EXPECT_EQ((std::vector<LONGLONG>{0, 0, 882, 1764}), points);
    params->GetChangePoints(43000, 46000, points);
    EXPECT_EQ((std::vector<LONGLONG>{43218, 44100, 44100, 44982, 45864}), points);
}

TEST_F(MediaParams, SetValueRulesUntilAnEnvelopeCoversTheTime)
{
    MP_ENVELOPE_SEGMENT s = Segment(kSecond, 2 * kSecond, 0, 1, MP_CURVE_LINEAR);
    ASSERT_EQ(S_OK, params->AddEnvelope(0, 1, &s));
    ASSERT_EQ(S_OK, params->SetParam(0, 0.9f));
    EXPECT_FLOAT_EQ(0.9f, ValueAt(0, kSecond / 2)) << "before the first segment";
    EXPECT_NEAR(0.5f, ValueAt(0, kSecond + kSecond / 2), 1e-4) << "the envelope takes over";

    // Flushing everything leaves the last envelope value in force.
    ASSERT_EQ(S_OK, params->FlushEnvelope(0, 0, 3 * kSecond));
    EXPECT_NEAR(0.5f, ValueAt(0, 3 * kSecond), 1e-4);
}

TEST_F(MediaParams, CapturedParameterKeepsTheUsersValue)
{
    MP_ENVELOPE_SEGMENT s = Segment(0, kSecond, 0, 1, MP_CURVE_LINEAR);
    ASSERT_EQ(S_OK, params->AddEnvelope(0, 1, &s));
    DWORD index = 0;
    float value = 0.75f;
    ASSERT_EQ(S_OK, params->ParamsBeginCapture(&index, 1));
    ASSERT_EQ(S_OK, params->ParamsChanged(&index, 1, &value));
    EXPECT_FLOAT_EQ(0.75f, ValueAt(0, kSecond / 2));
    ASSERT_EQ(S_OK, params->ParamsEndCapture(&index, 1));
    EXPECT_NEAR(0.6f, ValueAt(0, kSecond * 6 / 10), 1e-4);
}

TEST_F(MediaParams, IndicesPastTheTable)
{
    DWORD count = 0;
    ASSERT_EQ(S_OK, params->GetParamCount(&count));
    EXPECT_EQ(9u, count);
    float v = -1;
    EXPECT_EQ(S_OK, params->SetParam(9, 0.5f));
    EXPECT_EQ(S_OK, params->GetParam(9, &v));
    EXPECT_EQ(0.0f, v) << "the zero-range record gives 0, not NaN";
    EXPECT_EQ(E_INVALIDARG, params->GetParam(10, &v));
    EXPECT_EQ(E_INVALIDARG, params->SetParam(10, 0));
    MP_ENVELOPE_SEGMENT s = Segment(0, kSecond, 0, 1, MP_CURVE_LINEAR);
    EXPECT_EQ(E_INVALIDARG, params->AddEnvelope(9, 1, &s));
    EXPECT_EQ(E_POINTER, params->AddEnvelope(0, 1, nullptr));
    EXPECT_EQ(E_INVALIDARG, params->FlushEnvelope(0, 2, 1));

    ASSERT_EQ(S_OK, params->AddEnvelope(0xFFFFFFFF, 1, &s));
    for (DWORD i = 0; i < 9; ++i)
        EXPECT_NEAR(i == 1 || i == 2 ? ValueAt(i, kSecond / 2) : 0.5f, ValueAt(i, kSecond / 2), 1e-4) << i;
}

TEST_F(MediaParams, ZeroRangeParameterNeverGivesNaN)
{
    const MediaParamEntry flat[] = {{{MPT_FLOAT, 0x1F, 0.5f, 0.5f, 0.5f, u"", u"Flat"}, 0.3f, 0.3f, nullptr}};
    CMediaParams* p = nullptr;
    ASSERT_EQ(S_OK, CMediaParams::Create(nullptr, flat, 1, &p));
    float v = -1;
    ASSERT_EQ(S_OK, p->SetParam(0, 0.7f));
    ASSERT_EQ(S_OK, p->GetParam(0, &v));
    EXPECT_FALSE(std::isnan(v));
    EXPECT_EQ(0.5f, v);
    EXPECT_FALSE(std::isnan(p->Value(0)));
    p->Release();
}

TEST_F(MediaParams, ScalesSnapBooleansAndRoundEnumerations)
{
    float v = -1;
    ASSERT_EQ(S_OK, params->SetParam(1, 0.49f));
    EXPECT_EQ(0.0f, params->Value(1));
    ASSERT_EQ(S_OK, params->SetParam(1, 0.5f));
    EXPECT_EQ(1.0f, params->Value(1));
    ASSERT_EQ(S_OK, params->SetParam(2, 0.7f));
    EXPECT_EQ(1.0f, params->Value(2)) << "0.7 of three steps rounds to the middle one";
    ASSERT_EQ(S_OK, params->GetParam(2, &v));
    EXPECT_FLOAT_EQ(0.5f, v);
}

TEST_F(MediaParams, ParamTextHoldsLabelUnitAndEnumerationTexts)
{
    WCHAR* text = nullptr;
    ASSERT_EQ(S_OK, params->GetParamText(2, &text));
    const std::u16string expected(u"Shape\0\0Sine\0Triangle\0Square\0\0", 29);
    EXPECT_EQ(expected, std::u16string(text, expected.size()));
    CoTaskMemFree(text);
    EXPECT_EQ(E_INVALIDARG, params->GetParamText(9, &text));
}

struct RecordingCallback : IMediaParamsUICallback {
    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP ParamsBeginCapture(DWORD*, DWORD) override { return ++begins, S_OK; }
    STDMETHODIMP ParamsChanged(DWORD*, DWORD, MP_DATA*) override { return ++changes, S_OK; }
    STDMETHODIMP ParamsEndCapture(DWORD*, DWORD) override { return ++ends, S_OK; }
    ULONG refs = 0;
    int begins = 0, changes = 0, ends = 0;
};

TEST_F(MediaParams, EditorGesturesReachTheHostsCallbackUnlessAnIndexIsBad)
{
    RecordingCallback host;
    ASSERT_EQ(S_OK, params->SetUICallback(&host));
    EXPECT_EQ(1u, host.refs);
    DWORD indices[] = {0, 12};
    float values[] = {0.3f, 0.4f};
    EXPECT_EQ(S_OK, params->ParamsBeginCapture(indices, 1));
    EXPECT_EQ(E_INVALIDARG, params->ParamsChanged(indices, 2, values));
    EXPECT_EQ(0, host.changes) << "a bad index stops before the host hears of it";
    EXPECT_FLOAT_EQ(0.3f, params->Value(0)) << "the indices before it were set";
    EXPECT_EQ(S_OK, params->ParamsChanged(indices, 1, values));
    EXPECT_EQ(1, host.changes);
    EXPECT_EQ(1, host.begins);
    ASSERT_EQ(S_OK, params->SetUICallback(nullptr));
    EXPECT_EQ(0u, host.refs);
}

TEST_F(MediaParams, OnlyReferenceTimeIsATimeFormat)
{
    GUID g{};
    EXPECT_EQ(S_OK, params->SetTimeFormat(GUID_TIME_REFERENCE, 0));
    EXPECT_EQ(E_INVALIDARG, params->SetTimeFormat(IID_IUnknown, 0));
    EXPECT_EQ(S_OK, params->GetSupportedTimeFormat(0, &g));
    EXPECT_TRUE(IsEqualGUID(g, GUID_TIME_REFERENCE));
    EXPECT_EQ(E_INVALIDARG, params->GetSupportedTimeFormat(1, &g));
}

}  // namespace
