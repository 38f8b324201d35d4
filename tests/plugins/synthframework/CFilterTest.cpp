// The filter made in the test program itself (the framework and the sine
// instrument are compiled in), so its pins and formats can be driven
// directly.
#include <gtest/gtest.h>

#include <cmath>

#include "FakeHost.h"
#include "plugins/synthframework/CFilter.h"
#include "sine/CSineSynth.h"
#include "sine/SineSynthClass.h"
#include "tests/engine/graph/AudioGraphFixture.h"

namespace {

using mvsynth::CFilter;

struct Filter : mvtest::AudioGraphFixture {
    void SetUp() override
    {
        AudioGraphFixture::SetUp();
        IBaseFilter* f = nullptr;
        ASSERT_EQ(S_OK, CFilter::CreateInstance(mvtest::CSineSynth::Class(), nullptr, IID_IBaseFilter,
                                                reinterpret_cast<void**>(&f)));
        filter = static_cast<CFilter*>(f);
        Keep(f, u"Sine");
    }
    static CMediaType Wave(WORD tag, WORD channels, WORD bits)
    {
        CMediaType mt;
        mt.InitMediaType();
        mt.majortype = MEDIATYPE_Audio;
        mt.subtype = tag == WAVE_FORMAT_IEEE_FLOAT ? MEDIASUBTYPE_IEEE_FLOAT : MEDIASUBTYPE_PCM;
        mt.formattype = FORMAT_WaveFormatEx;
        const WORD align = static_cast<WORD>(channels * bits / 8);
        const WAVEFORMATEX wfx{tag, channels, 44100, 44100u * align, align, bits, 0};
        mt.SetFormat(reinterpret_cast<const BYTE*>(&wfx), sizeof wfx);
        return mt;
    }
    CFilter* filter = nullptr;
};

TEST_F(Filter, ANewFilterHasOneOutputNamedOutput1)
{
    EXPECT_EQ(1u, filter->GetOutputPinCount());
    EXPECT_EQ(2, filter->GetPinCount());
    EXPECT_EQ(u"Output 1", filter->OutputPinAt(0)->Name());
    EXPECT_EQ(u"Input", filter->InputPin()->Name());

    DWORD id = 0;
    ASSERT_EQ(S_OK, filter->AddOutputPin(nullptr, &id));
    EXPECT_EQ(u"Output 2", filter->OutputPinAt(1)->Name());
    EXPECT_EQ(static_cast<LONG>(id), filter->GetOutputPinId(1));
    EXPECT_EQ(static_cast<LONG>(id) - 1, filter->GetOutputPinId(0)) << "ids count up within the library";
    EXPECT_EQ(-1, filter->GetOutputPinId(2));
    ASSERT_EQ(S_OK, filter->RemoveOutputPin(id));
    EXPECT_EQ(E_FAIL, filter->RemoveOutputPin(id));
    DWORD again = 0;
    ASSERT_EQ(S_OK, filter->AddOutputPin(u"Aux", &again));
    EXPECT_GT(again, id) << "ids are never reused";
    EXPECT_EQ(u"Aux", filter->OutputPinAt(1)->Name());
}

TEST_F(Filter, AcceptsSixteenBitAndFloatAudioOfOneOrTwoChannels)
{
    struct Case {
        const char* name;
        CMediaType mt;
        bool framework;  // before the instrument is asked
    } cases[] = {
        {"float stereo", Wave(WAVE_FORMAT_IEEE_FLOAT, 2, 32), true},
        {"float mono", Wave(WAVE_FORMAT_IEEE_FLOAT, 1, 32), true},
        {"16-bit PCM", Wave(WAVE_FORMAT_PCM, 2, 16), true},
        {"24-bit PCM", Wave(WAVE_FORMAT_PCM, 2, 24), false},
        {"8-bit PCM", Wave(WAVE_FORMAT_PCM, 1, 8), false},
        {"three channels", Wave(WAVE_FORMAT_IEEE_FLOAT, 3, 32), false},
        {"64-bit float", Wave(WAVE_FORMAT_IEEE_FLOAT, 2, 64), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // The sine instrument itself takes float only.
        const bool accepted = c.framework && mvtest::CSineSynth().CheckInputFormat(
                                                 reinterpret_cast<const WAVEFORMATEX*>(c.mt.pbFormat)) == S_OK;
        EXPECT_EQ(accepted ? S_OK : VFW_E_TYPE_NOT_ACCEPTED, filter->IsFormatAcceptable(false, &c.mt));
    }
    CMediaType video = Wave(WAVE_FORMAT_IEEE_FLOAT, 2, 32);
    video.majortype = IID_IUnknown;
    EXPECT_EQ(VFW_E_TYPE_NOT_ACCEPTED, filter->IsFormatAcceptable(false, &video));
    EXPECT_EQ(E_POINTER, filter->IsFormatAcceptable(false, nullptr));
}

TEST_F(Filter, AConnectedOutputCannotBeRemoved)
{
    CDxSource* src = MakeSource(2);
    mvtest::RecordingSink* sink = MakeSink();
    ASSERT_EQ(S_OK, graph->Connect(src, 0, filter, 0, nullptr));
    ASSERT_EQ(S_OK, graph->Connect(filter, 0, sink, 0, nullptr));
    const DWORD id = static_cast<DWORD>(filter->GetOutputPinId(0));
    EXPECT_EQ(E_UNEXPECTED, filter->RemoveOutputPin(id));
    EXPECT_EQ(E_UNEXPECTED, filter->RemoveAllOutputPins());
    EXPECT_EQ(1u, filter->GetOutputPinCount());
}

TEST_F(Filter, OutputChangesAreAnnouncedToAConnectedHost)
{
    mvtest::FakeHost host;
    host.hasNotify = true;
    ASSERT_EQ(S_OK, filter->Connect(host.Handed()));
    DWORD id = 0;
    ASSERT_EQ(S_OK, filter->AddOutputPin(nullptr, &id));
    ASSERT_EQ(S_OK, filter->RemoveOutputPin(id));
    EXPECT_EQ((std::vector<DWORD>{1u << 16 | 2, 2u << 16 | 2, 1u << 16 | 1, 2u << 16 | 1}), host.notices);
    filter->Disconnect();

    mvtest::FakeHost silent;
    ASSERT_EQ(S_OK, filter->Connect(silent.Handed()));
    EXPECT_EQ(E_FAIL, filter->AddOutputPin(nullptr, &id)) << "connected, but no one to tell";
    EXPECT_EQ(1u, filter->GetOutputPinCount());
    filter->Disconnect();
}

TEST_F(Filter, AnswersTheSynthAndAutomationInterfaces)
{
    IUnknown* a = nullptr;
    IUnknown* b = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(mvsynth::IID_IMfxSoftSynth, reinterpret_cast<void**>(&a)));
    ASSERT_EQ(S_OK, filter->QueryInterface(mvsynth::IID_IMfxSoftSynth2, reinterpret_cast<void**>(&b)));
    EXPECT_EQ(a, b) << "one interface for both identifiers";
    a->Release();
    b->Release();
    for (const IID* iid : {&IID_IMediaParams, &IID_IMediaParamInfo, &mvsynth::IID_IMediaParamsSetUICallback,
                           &IID_IMediaParamsUICallback, &mvsynth::IID_IMfxNotify, &mvsynth::IID_IMfxInputPort,
                           &IID_IPersistStream}) {
        IUnknown* itf = nullptr;
        EXPECT_EQ(S_OK, filter->QueryInterface(*iid, reinterpret_cast<void**>(&itf)));
        if (itf) {
            // Every face leads back to the filter.
            IBaseFilter* back = nullptr;
            EXPECT_EQ(S_OK, itf->QueryInterface(IID_IBaseFilter, reinterpret_cast<void**>(&back)));
            EXPECT_EQ(static_cast<IBaseFilter*>(filter), back);
            if (back)
                back->Release();
            itf->Release();
        }
    }
    CLSID clsid{};
    ASSERT_EQ(S_OK, filter->GetClassID(&clsid));
    EXPECT_TRUE(IsEqualGUID(clsid, mvtest::CLSID_SineSynth));
}

}  // namespace

namespace {

TEST_F(Filter, AMonoInputFeedsAStereoOutput)
{
    CDxSource* src = MakeSource(1);
    mvtest::RecordingSink* sink = MakeSink();
    ASSERT_EQ(S_OK, graph->Connect(src, 0, filter, 0, nullptr));
    const CMediaType stereo = FloatType(2);
    ASSERT_EQ(S_OK, graph->Connect(filter, 0, sink, 0, &stereo));
    EXPECT_EQ(2, sink->Channels());

    ALLOCATOR_PROPERTIES out{};
    ASSERT_EQ(S_OK, filter->OutputPinAt(0)->Allocator()->GetProperties(&out));
    EXPECT_GE(out.cbBuffer, blockFrames * 8) << "a whole stereo block fits";

    mvtest::FakeHost host;
    ASSERT_EQ(S_OK, filter->Connect(host.Handed()));
    ASSERT_EQ(S_OK, graph->Run());
    ASSERT_EQ(S_OK, filter->Start(0));
    mvtest::FakeMidiQueue midi;
    midi.Message(0, 0x90, 81, 127);
    ASSERT_EQ(S_OK, filter->SendMidi(1, &midi));
    // Room for a block of the source's own width, whatever the graph gave it.
    const std::vector<float> silence(static_cast<std::size_t>(blockFrames) * 2, 0.0f);
    ASSERT_EQ(S_OK, src->PushBuffer(0, silence.data(), blockFrames, FALSE));
    ASSERT_EQ(1u, sink->blocks.size());
    const auto& data = sink->Last().data;
    ASSERT_EQ(static_cast<std::size_t>(blockFrames) * 2, data.size());
    for (int k = 0; k < blockFrames; ++k) {
        const double expected = std::sin(2 * M_PI * 880.0 * k / graph->GetSampleRate());
        ASSERT_NEAR(expected, data[2 * k], 1e-5) << k;
        ASSERT_EQ(data[2 * k], data[2 * k + 1]) << k;
    }
    ASSERT_EQ(S_OK, graph->Stop());
    filter->Disconnect();
}

}  // namespace
