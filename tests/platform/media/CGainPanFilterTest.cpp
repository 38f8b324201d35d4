#include <gtest/gtest.h>

#include <cmath>

#include "platform/com/ComStream.h"
#include "platform/com/TaskMemory.h"
#include "platform/media/CGainPanFilter.h"
#include "platform/media/IBufferMatcher.h"
#include "platform/media/FaderTaper.h"
#include "tests/platform/media/FloatChain.h"

namespace {

using mvtest::FloatChain;

constexpr float kCos45 = 0.70710678f;

// Frames of one repeated input frame.
std::vector<float> Repeat(int frames, std::vector<float> frame)
{
    std::vector<float> v;
    for (int k = 0; k < frames; ++k)
        v.insert(v.end(), frame.begin(), frame.end());
    return v;
}

void SetParams(IMediaParams* params, std::initializer_list<std::pair<DWORD, float>> values)
{
    for (const auto& [index, value] : values)
        ASSERT_EQ(S_OK, params->SetParam(index, value));
}

}  // namespace

TEST(GainPanFilter, IsMadeByItsClassIdentifierWithTheInterfacesTheProgramAsksFor)
{
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_GainPanFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&filter)));
    for (const IID* iid : {&IID_IGainPanSend, &IID_IGainPan, &IID_IMediaParams, &IID_IMediaParamInfo,
                           &IID_IPersistStream, &IID_IBaseFilter}) {
        IUnknown* itf = nullptr;
        EXPECT_EQ(S_OK, filter->QueryInterface(*iid, reinterpret_cast<void**>(&itf)));
        if (itf)
            itf->Release();
    }
    IUnknown* none = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(E_NOINTERFACE, filter->QueryInterface(IID_IBufferMatcher, reinterpret_cast<void**>(&none)));
    EXPECT_EQ(nullptr, none);
    CLSID clsid{};
    filter->GetClassID(&clsid);
    EXPECT_TRUE(IsEqualGUID(CLSID_GainPanFilter, clsid));
    EXPECT_EQ(0u, filter->Release());
}

TEST(GainPanFilter, ReportsItsParameters)
{
    FloatChain chain(CLSID_GainPanFilter, 2, 2);
    auto* info = chain.Query<IMediaParamInfo>(IID_IMediaParamInfo);
    DWORD count = 0;
    ASSERT_EQ(S_OK, info->GetParamCount(&count));
    ASSERT_EQ(8u, count);
    struct Row {
        const char16_t* label;
        MP_TYPE type;
        float min, max, neutral;
    } rows[] = {{u"Invert", MPT_BOOL, 0, 1, 0},  {u"Volume", MPT_FLOAT, 0, 1, 101.0f / 127.0f},
                {u"Width", MPT_FLOAT, 0, 1, 1},  {u"Spread", MPT_FLOAT, 0, 90, 90},
                {u"Pan", MPT_FLOAT, -1, 1, 0},   {u"Mute", MPT_BOOL, 0, 1, 0},
                {u"Mono", MPT_BOOL, 0, 1, 0},    {u"Solo Mute", MPT_BOOL, 0, 1, 0}};
    auto* params = chain.Query<IMediaParams>(IID_IMediaParams);
    for (DWORD i = 0; i < count; ++i) {
        MP_PARAMINFO p{};
        ASSERT_EQ(S_OK, info->GetParamInfo(i, &p));
        EXPECT_EQ(std::u16string(rows[i].label), std::u16string(p.szLabel));
        EXPECT_EQ(rows[i].type, p.mpType);
        EXPECT_EQ(rows[i].min, p.mpdMinValue);
        EXPECT_EQ(rows[i].max, p.mpdMaxValue);
        EXPECT_EQ(rows[i].neutral, p.mpdNeutralValue);
        MP_DATA v = -5;
        ASSERT_EQ(S_OK, params->GetParam(i, &v));
        EXPECT_EQ(rows[i].neutral, v);
    }
    MP_PARAMINFO p{};
    EXPECT_EQ(E_INVALIDARG, info->GetParamInfo(8, &p));
    WCHAR* text = nullptr;
    ASSERT_EQ(S_OK, info->GetParamText(3, &text));
    EXPECT_EQ(std::u16string(u"Spread"), std::u16string(text));
    EXPECT_EQ(std::u16string(u"\u00B0"), std::u16string(text + 7));
    CoTaskMemFree(text);
    GUID format{};
    MP_TIMEDATA data = 1;
    EXPECT_EQ(S_OK, info->GetCurrentTimeFormat(&format, &data));
    EXPECT_TRUE(IsEqualGUID(GUID_TIME_REFERENCE, format));
    EXPECT_EQ(E_INVALIDARG, params->SetTimeFormat(GUID_NULL, 0));
    // Values are kept within their range.
    MP_DATA v = 0;
    params->SetParam(4, -3.0f);
    params->GetParam(4, &v);
    EXPECT_EQ(-1.0f, v);
    EXPECT_EQ(E_INVALIDARG, params->SetParam(8, 0.0f));
}

TEST(GainPanFilter, AppliesItsGainAndPanLaws)
{
    const float half = mvmedia::FaderPositionToGain(0.5f);
    struct Case {
        const char* name;
        WORD in, out;
        std::initializer_list<std::pair<DWORD, float>> params;
        std::vector<float> frame, expected;
    } cases[] = {
        {"neutral stereo passes unchanged", 2, 2, {}, {0.5f, -0.25f}, {0.5f, -0.25f}},
        {"top of the fader is +6 dB", 2, 2, {{1, 1.0f}}, {0.5f, -0.25f}, {1.0f, -0.5f}},
        {"bottom of the fader is silence", 2, 2, {{1, 0.0f}}, {0.5f, -0.25f}, {0.0f, 0.0f}},
        {"the fader follows the taper", 2, 2, {{1, 0.5f}}, {1.0f, 1.0f}, {half, half}},
        {"mono at the centre, -3 dB each side", 1, 2, {}, {1.0f}, {kCos45, kCos45}},
        {"mono hard left", 1, 2, {{4, -1.0f}}, {1.0f}, {1.0f, 0.0f}},
        {"mono hard right", 1, 2, {{4, 1.0f}}, {1.0f}, {0.0f, 1.0f}},
        {"no spread keeps mono in the centre", 1, 2, {{4, -1.0f}, {3, 0.0f}}, {1.0f}, {kCos45, kCos45}},
        {"half spread, hard left", 1, 2, {{4, -1.0f}, {3, 45.0f}}, {1.0f}, {0.92387953f, 0.38268343f}},
        {"stereo balanced half right", 2, 2, {{4, 0.5f}}, {1.0f, 1.0f}, {0.5f, 1.0f}},
        {"stereo balanced fully left", 2, 2, {{4, -1.0f}}, {0.75f, 1.0f}, {0.75f, 0.0f}},
        {"no width sums to the middle", 2, 2, {{2, 0.0f}}, {1.0f, 0.0f}, {0.5f, 0.5f}},
        {"half width", 2, 2, {{2, 0.5f}}, {1.0f, 0.0f}, {0.75f, 0.25f}},
        {"invert", 2, 2, {{0, 1.0f}}, {0.5f, -0.25f}, {-0.5f, 0.25f}},
        {"mute", 2, 2, {{5, 1.0f}}, {0.5f, -0.25f}, {0.0f, 0.0f}},
        {"mute below one half plays", 2, 2, {{5, 0.49f}}, {0.5f, -0.25f}, {0.5f, -0.25f}},
        {"solo mute", 1, 2, {{7, 1.0f}}, {1.0f}, {0.0f, 0.0f}},
        {"mono output", 2, 2, {{6, 1.0f}}, {1.0f, 0.0f}, {0.5f, 0.5f}},
        {"stereo into a mono output", 2, 1, {}, {1.0f, 0.5f}, {0.75f}},
        {"mono into a mono output ignores pan", 1, 1, {{4, -1.0f}, {1, 1.0f}}, {0.25f}, {0.5f}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FloatChain chain(CLSID_GainPanFilter, c.in, c.out);
        SetParams(chain.Query<IMediaParams>(IID_IMediaParams), c.params);
        chain.Run();
        ASSERT_EQ(S_OK, chain.Push(Repeat(64, c.frame)));
        ASSERT_EQ(1u, chain.blocks.size());
        const std::vector<float> expected = Repeat(64, c.expected);
        ASSERT_EQ(expected.size(), chain.blocks[0].data.size());
        for (std::size_t i = 0; i < expected.size(); ++i)
            ASSERT_NEAR(expected[i], chain.blocks[0].data[i], 1e-6f) << i;
    }
}

TEST(GainPanFilter, AChangeGlidesAcrossOneBlock)
{
    FloatChain chain(CLSID_GainPanFilter, 2, 2);
    auto* params = chain.Query<IMediaParams>(IID_IMediaParams);
    chain.Run();
    chain.Push(Repeat(4, {1.0f, 1.0f}));
    params->SetParam(5, 1.0f);
    chain.Push(Repeat(4, {1.0f, 1.0f}));
    chain.Push(Repeat(4, {1.0f, 1.0f}));
    ASSERT_EQ(3u, chain.blocks.size());
    EXPECT_EQ(Repeat(4, {1.0f, 1.0f}), chain.blocks[0].data);
    EXPECT_EQ((std::vector<float>{1.0f, 1.0f, 0.75f, 0.75f, 0.5f, 0.5f, 0.25f, 0.25f}), chain.blocks[1].data);
    EXPECT_EQ(Repeat(4, {0.0f, 0.0f}), chain.blocks[2].data);
}

// A glide over a block of odd length (pairs of frames and a last one on
// its own): every sample is its input times the gain at its own frame,
// i / frames of the way from 1 to 0, to the bit.
TEST(GainPanFilter, AGlideOverAnOddBlockScalesEveryFrameByItsOwnStep)
{
    constexpr int kFrames = 7;
    FloatChain chain(CLSID_GainPanFilter, 2, 2);
    auto* params = chain.Query<IMediaParams>(IID_IMediaParams);
    chain.Run();
    chain.Push(Repeat(kFrames, {1.0f, 1.0f}));
    params->SetParam(5, 1.0f);
    const std::vector<float> in = {0.5f, -0.25f, 0.3f, 0.7f, -0.9f, 0.1f, 0.33f, -0.66f,
                                   0.2f, 0.4f,   -1.0f, 1.0f, 0.125f, -0.875f};
    ASSERT_EQ(S_OK, chain.Push(in));
    ASSERT_EQ(2u, chain.blocks.size());
    const std::vector<float>& out = chain.blocks[1].data;
    ASSERT_EQ(in.size(), out.size());
    for (int i = 0; i < kFrames; ++i) {
        const float t = static_cast<float>(i) / static_cast<float>(kFrames);
        const float gain = 1.0f + (0.0f - 1.0f) * t;
        EXPECT_EQ(gain * in[2 * i], out[2 * i]) << i;
        EXPECT_EQ(gain * in[2 * i + 1], out[2 * i + 1]) << i;
    }
}

// Blocks of distinct frames through a fixed matrix (half width, panned
// right), of lengths around the four-frame turn of the fast path: every
// frame, the last ones too, is its own two products and sum, to the bit.
TEST(GainPanFilter, AFixedMatrixMixesEveryFrameOfAnyLengthOnItsOwn)
{
    for (int frames : {1, 3, 4, 5, 8, 11, 64, 67}) {
        SCOPED_TRACE(frames);
        FloatChain chain(CLSID_GainPanFilter, 2, 2);
        SetParams(chain.Query<IMediaParams>(IID_IMediaParams), {{2, 0.5f}, {4, 0.5f}});
        chain.Run();
        std::vector<float> in(2 * static_cast<std::size_t>(frames));
        for (std::size_t i = 0; i < in.size(); ++i)
            in[i] = std::sin(0.37f * static_cast<float>(i + 1)) * (i % 2 ? -0.5f : 1.0f);
        ASSERT_EQ(S_OK, chain.Push(in));
        ASSERT_EQ(1u, chain.blocks.size());
        const std::vector<float>& out = chain.blocks[0].data;
        ASSERT_EQ(in.size(), out.size());
        // Half width: 3/4 of a side stays, 1/4 crosses; pan half right
        // halves the left row.
        const float m[2][2] = {{0.5f * 0.75f, 0.5f * 0.25f}, {0.25f, 0.75f}};
        for (int i = 0; i < frames; ++i) {
            const float l = in[2 * i], r = in[2 * i + 1];
            EXPECT_EQ(m[0][0] * l + m[0][1] * r, out[2 * i]) << i;
            EXPECT_EQ(m[1][0] * l + m[1][1] * r, out[2 * i + 1]) << i;
        }
    }
}

TEST(GainPanFilter, AfterTheTransportStartsTheValuesApplyAtOnce)
{
    FloatChain chain(CLSID_GainPanFilter, 2, 2);
    auto* params = chain.Query<IMediaParams>(IID_IMediaParams);
    auto* send = chain.Query<IGainPanSend>(IID_IGainPanSend);
    chain.Run();
    chain.Push(Repeat(4, {1.0f, 1.0f}));
    params->SetParam(1, 1.0f);
    ASSERT_EQ(S_OK, send->OnTransportStart());
    chain.Push(Repeat(4, {1.0f, 1.0f}));
    EXPECT_EQ(Repeat(4, {2.0f, 2.0f}), chain.blocks[1].data);
}

TEST(GainPanFilter, EnvelopesAreReadAtBothEndsOfEachBlock)
{
    FloatChain chain(CLSID_GainPanFilter, 2, 2);
    auto* params = chain.Query<IMediaParams>(IID_IMediaParams);
    // Width from 1 to 0 over two blocks of 441 frames (10 ms each).
    MP_ENVELOPE_SEGMENT seg{0, chain.TimeOf(882), 1.0f, 0.0f, MP_CURVE_LINEAR, MPF_ENVLP_STANDARD};
    ASSERT_EQ(S_OK, params->AddEnvelope(2, 1, &seg));
    chain.Run();
    for (int b = 0; b < 3; ++b)
        ASSERT_EQ(S_OK, chain.Push(Repeat(441, {1.0f, 0.0f}), chain.TimeOf(441LL * b)));
    // Left is (1 + width) / 2: 1, 0.75 and 0.5 where the blocks start.
    EXPECT_NEAR(1.0f, chain.blocks[0].data[0], 1e-6f);
    EXPECT_NEAR(0.75f, chain.blocks[1].data[0], 1e-6f);
    EXPECT_NEAR(0.5f, chain.blocks[2].data[0], 1e-6f);
    EXPECT_NEAR(0.5f, chain.blocks[2].data[880], 1e-6f);
    MP_DATA width = 1;
    params->GetParam(2, &width);
    EXPECT_EQ(0.0f, width);
    EXPECT_EQ(chain.TimeOf(441), chain.blocks[1].start);
}

TEST(GainPanFilter, ASegmentMayStartFromTheCurrentValue)
{
    FloatChain chain(CLSID_GainPanFilter, 2, 2);
    auto* params = chain.Query<IMediaParams>(IID_IMediaParams);
    params->SetParam(2, 0.0f);
    MP_ENVELOPE_SEGMENT seg{chain.TimeOf(441), chain.TimeOf(882), 1.0f, 1.0f, MP_CURVE_LINEAR,
                            MPF_ENVLP_BEGIN_CURRENTVAL};
    ASSERT_EQ(S_OK, params->AddEnvelope(2, 1, &seg));
    chain.Run();
    for (int b = 0; b < 3; ++b)
        chain.Push(Repeat(441, {1.0f, 0.0f}), chain.TimeOf(441LL * b));
    EXPECT_NEAR(0.5f, chain.blocks[1].data[0], 1e-6f);
    EXPECT_NEAR(1.0f, chain.blocks[2].data[0], 1e-6f);
}

TEST(GainPanFilter, EnvelopeCallsCheckWhatTheyAreGiven)
{
    FloatChain chain(CLSID_GainPanFilter, 2, 2);
    auto* params = chain.Query<IMediaParams>(IID_IMediaParams);
    MP_ENVELOPE_SEGMENT seg{100, 50, 0, 1, MP_CURVE_LINEAR, 0};
    EXPECT_EQ(E_INVALIDARG, params->AddEnvelope(1, 1, &seg));
    seg = {0, 100, 0, 1, static_cast<MP_CURVE_TYPE>(3), 0};
    EXPECT_EQ(E_INVALIDARG, params->AddEnvelope(1, 1, &seg));
    seg.iCurve = MP_CURVE_SINE;
    EXPECT_EQ(E_INVALIDARG, params->AddEnvelope(8, 1, &seg));
    EXPECT_EQ(E_POINTER, params->AddEnvelope(1, 1, nullptr));
    std::vector<MP_ENVELOPE_SEGMENT> many(CGainPanFilter::kMaxSegments + 1, seg);
    EXPECT_EQ(E_OUTOFMEMORY, params->AddEnvelope(1, static_cast<DWORD>(many.size()), many.data()));
    EXPECT_EQ(S_OK, params->AddEnvelope(1, CGainPanFilter::kMaxSegments, many.data()));
    EXPECT_EQ(E_OUTOFMEMORY, params->AddEnvelope(1, 1, &seg));
    EXPECT_EQ(E_INVALIDARG, params->FlushEnvelope(1, 10, 5));
    // Flushed, the segments no longer play.
    EXPECT_EQ(S_OK, params->FlushEnvelope(1, 0, 864000000000LL));
    chain.Run();
    chain.Push(Repeat(8, {1.0f, 1.0f}), 0);
    EXPECT_EQ(Repeat(8, {1.0f, 1.0f}), chain.blocks[0].data);
}

TEST(GainPanFilter, SavesAndLoadsItsValues)
{
    FloatChain first(CLSID_GainPanFilter, 2, 2), second(CLSID_GainPanFilter, 2, 2);
    auto* params = first.Query<IMediaParams>(IID_IMediaParams);
    auto* persist = first.Query<IPersistStream>(IID_IPersistStream);
    EXPECT_EQ(S_FALSE, persist->IsDirty());
    SetParams(params, {{1, 0.25f}, {4, -0.5f}, {5, 1.0f}});
    EXPECT_EQ(S_OK, persist->IsDirty());
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ASSERT_EQ(S_OK, persist->Save(stream, TRUE));
    EXPECT_EQ(S_FALSE, persist->IsDirty());
    ULARGE_INTEGER size{}, end{};
    persist->GetSizeMax(&size);
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_CUR, &end);
    EXPECT_EQ(size.QuadPart, end.QuadPart);

    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    auto* other = second.Query<IPersistStream>(IID_IPersistStream);
    ASSERT_EQ(S_OK, other->Load(stream));
    auto* loaded = second.Query<IMediaParams>(IID_IMediaParams);
    for (DWORD i = 0; i < 8; ++i) {
        MP_DATA a = 0, b = 1;
        params->GetParam(i, &a);
        loaded->GetParam(i, &b);
        EXPECT_EQ(a, b) << i;
    }
    // A short stream is a read fault; a foreign header is refused.
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    ULARGE_INTEGER shortSize{};
    shortSize.QuadPart = 20;
    stream->SetSize(shortSize);
    EXPECT_EQ(STG_E_READFAULT, other->Load(stream));
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    const DWORD bad[2] = {7, 8};
    stream->Write(bad, sizeof bad, nullptr);
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    EXPECT_EQ(STG_E_INVALIDHEADER, other->Load(stream));
    stream->Release();
}

TEST(GainPanFilter, TheOutputTapGetsTheNextBlockOnly)
{
    FloatChain chain(CLSID_GainPanFilter, 1, 2);
    auto* send = chain.Query<IGainPanSend>(IID_IGainPanSend);
    LONG count = 0;
    send->GetSendCount(&count);
    EXPECT_EQ(1, count);
    IUnknown* none = reinterpret_cast<IUnknown*>(1);
    EXPECT_EQ(S_FALSE, send->GetSendObject(1, &none));
    EXPECT_EQ(nullptr, none);
    IUnknown* object = nullptr;
    ASSERT_EQ(S_OK, send->GetSendObject(0, &object));
    IGainPanTap* tap = nullptr;
    ASSERT_EQ(S_OK, object->QueryInterface(IID_IGainPanTap, reinterpret_cast<void**>(&tap)));
    object->Release();
    chain.Run();
    std::vector<float> block(16, -1.0f);
    tap->SetOutputTap(block.data());
    chain.Push(Repeat(8, {1.0f}));
    EXPECT_EQ(chain.blocks[0].data, block);
    std::fill(block.begin(), block.end(), -1.0f);
    chain.Push(Repeat(8, {1.0f}));
    EXPECT_EQ(std::vector<float>(16, -1.0f), block);
    tap->Release();
}

TEST(GainPanFilter, TakesFloatAudioOfOneOrTwoChannelsOnly)
{
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_GainPanFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&filter)));
    auto* gainPan = static_cast<CGainPanFilter*>(filter);
    CMediaType pcm = mvtest::FloatType(2);
    reinterpret_cast<WAVEFORMATEX*>(pcm.pbFormat)->wFormatTag = WAVE_FORMAT_PCM;
    reinterpret_cast<WAVEFORMATEX*>(pcm.pbFormat)->wBitsPerSample = 16;
    CMediaType three = mvtest::FloatType(3);
    CMediaType mono = mvtest::FloatType(1);
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, gainPan->InputPin()->CheckMediaType(&pcm));
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, gainPan->OutputPin()->CheckMediaType(&three));
    EXPECT_EQ(S_OK, gainPan->InputPin()->CheckMediaType(&mono));
    filter->Release();
}
