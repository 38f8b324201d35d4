#include "devices/CPCMAudioPin.h"

#include <gtest/gtest.h>

#include "devices/CPCMAudioFilter.h"
#include "tests/devices/KsTestFixture.h"

namespace {


WAVEFORMATEX Format(DWORD rate, WORD bits, WORD channels)
{
    const WORD align = static_cast<WORD>(channels * bits / 8);
    return {WAVE_FORMAT_PCM, channels, rate, rate * align, align, bits, 0};
}

TEST(CPCMAudioPinTest, CapabilityWordsCoverTheRangesWidthsRatesAndChannels)
{
    EXPECT_EQ(0x37F03u, CPCMAudioPin::CapabilitiesOf({PcmAudioRange(2, 8, 16, 8000, 48000)}));
    EXPECT_EQ(0x1F2010u | 0x200000u, CPCMAudioPin::CapabilitiesOf({PcmAudioRange(8, 24, 24, 44100, 44100)}));
    // Ranges add up; a range that is not PCM audio counts for nothing.
    KSDATARANGE_AUDIO midi = PcmAudioRange(2, 16, 16, 96000, 96000);
    midi.DataRange.SubFormat = KSDATAFORMAT_SPECIFIER_WAVEFORMATEX;
    KSDATARANGE_AUDIO untyped = PcmAudioRange(1, 32, 32, 96000, 96000);
    untyped.DataRange.SubFormat = GUID_NULL;
    EXPECT_EQ(0x18020u, CPCMAudioPin::CapabilitiesOf({midi, untyped}));
}

TEST(CPCMAudioPinTest, AFormatIsTriedOnlyOnAPinThatHoldsEveryBitItAsks)
{
    const CPCMAudioPin stereo(nullptr, 0, KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_SINK, 0x37F03);
    const CPCMAudioPin mono(nullptr, 0, KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_SINK,
                            CPCMAudioPin::CapabilitiesOf({PcmAudioRange(1, 8, 16, 8000, 48000)}));
    EXPECT_TRUE(stereo.IsViableFor(Format(44100, 16, 2)));
    EXPECT_FALSE(mono.IsViableFor(Format(44100, 16, 2)));
    EXPECT_FALSE(stereo.IsViableFor(Format(44100, 24, 2)));
    // 96000 Hz asks no rate bit: width and channels decide.
    EXPECT_EQ(0x20002u, CPCMAudioPin::BitsAskedBy(Format(96000, 16, 2)));
    EXPECT_TRUE(stereo.IsViableFor(Format(96000, 16, 2)));
    EXPECT_EQ(0x200000u | 0x4000u | 0x20u, CPCMAudioPin::BitsAskedBy(Format(48000, 32, 7)));
}

class CPCMAudioPinBuffers : public mvtest::KsTestFixture {};

TEST_F(CPCMAudioPinBuffers, PacketsAreWholeAllocatorFramesInWholePages)
{
    struct Case {
        const char* name;
        ULONG frameSize;
        ULONG framingExMin;
        ULONG frames;
        ULONG alignment;
        ULONG packetBytes;
        ULONG allocationBytes;
    };
    const Case cases[] = {
        {"allocator framing", 1024, 0, 441, 0, 2048, 4096},
        {"extended framing", 0, 1000, 441, 0, 2000, 4096},
        {"ten milliseconds", 0, 0, 441, 0, 1764, 4096},
        {"alignment offset", 1024, 0, 1024, 100, 4096, 8192},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        KsPinDescription pin = mvtest::RenderPin({PcmAudioRange(2, 16, 16, 44100, 44100)}, c.frameSize);
        pin.framingExMinFrameSize = c.framingExMin;
        m_provider->filters = {mvtest::RenderFilter("Card", {pin})};
        ASSERT_TRUE(InitKsLibrary());
        KsFilterList* render = nullptr;
        ASSERT_EQ(S_OK, GetRenderFilters(&render));
        auto* filter = static_cast<CPCMAudioFilter*>((*render)[0].get());
        const WAVEFORMATEX format = Format(44100, 16, 2);
        WAVEFORMATEX record[3] = {format};
        ASSERT_TRUE(filter->CreateRenderPin(record, 2, c.frames, c.frames, false, c.alignment));
        const std::shared_ptr<CPCMAudioPin> created = filter->GetRenderPin();
        EXPECT_EQ(c.packetBytes, created->GetPacketBytes());
        EXPECT_EQ(c.allocationBytes, created->GetAllocationBytes());
        EXPECT_EQ(2, created->GetPacketCount());
        filter->ReleaseRenderPin();
        ReleaseKsLibrary();
    }
}

}  // namespace
