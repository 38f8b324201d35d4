#include "devices/CPCMAudioFilter.h"

#include <gtest/gtest.h>

#include "devices/CTopologyFilter.h"
#include "tests/devices/FakeEngineOwner.h"
#include "tests/devices/KsTestFixture.h"

namespace {

using mvtest::RenderFilter;
using mvtest::RenderPin;

KsPinDescription Pin(ULONG flow, ULONG communication)
{
    KsPinDescription p = RenderPin({PcmAudioRange(2, 16, 16, 44100, 48000)});
    p.dataFlow = flow;
    p.communication = communication;
    return p;
}

class CPCMAudioFilterTest : public mvtest::KsTestFixture {
protected:
    KsFilterList* Render()
    {
        EXPECT_TRUE(InitKsLibrary());
        KsFilterList* list = nullptr;
        EXPECT_EQ(S_OK, GetRenderFilters(&list));
        return list;
    }
};

TEST_F(CPCMAudioFilterTest, ListsTheFiltersOfBothCategoriesWithTheirTextsAndViablePins)
{
    KsFilterDescription captureOnly = RenderFilter("Line In", {Pin(KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_SINK)});
    captureOnly.categories = {KSCATEGORY_AUDIO, KSCATEGORY_CAPTURE};
    KsPinDescription noStandardSet = Pin(KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_SINK);
    noStandardSet.standardStreaming = false;
    KsPinDescription bridge = Pin(KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_NONE);
    m_provider->filters = {
        RenderFilter("Speakers", {Pin(KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_SINK),
                                  Pin(KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_BOTH),
                                  Pin(KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_SOURCE),
                                  Pin(KSPIN_DATAFLOW_OUT, KSPIN_COMMUNICATION_BOTH), noStandardSet, bridge}),
        captureOnly,
    };
    KsFilterList* render = Render();
    ASSERT_EQ(1u, render->size());
    const CKsFilter& f = *(*render)[0];
    EXPECT_EQ(CKsFilter::kPCMAudio, f.GetType());
    EXPECT_EQ("fake:Speakers", f.GetText(CKsFilter::kPath));
    EXPECT_EQ("Speakers", f.GetText(CKsFilter::kFriendlyName));
    EXPECT_EQ("Speakers (fake device)", f.GetText(CKsFilter::kDescription));
    EXPECT_EQ("FAKE\\Speakers", f.GetText(CKsFilter::kHardwareId));
    EXPECT_EQ("fakeaudio", f.GetText(CKsFilter::kDriverFile));
    // Pins without the standard sets or a communication are left out.
    EXPECT_EQ(4u, f.PinCount());
    ASSERT_EQ(2u, f.RenderSinkPins().size());
    EXPECT_EQ(0u, f.RenderSinkPins()[0]->GetId());
    EXPECT_EQ(1u, f.RenderSinkPins()[1]->GetId());
    ASSERT_EQ(1u, f.CaptureSourcePins().size());
    EXPECT_EQ(1u, f.CaptureSourcePins()[0]->GetId());
    ASSERT_EQ(2u, f.RenderSourcePins().size());
    ASSERT_EQ(1u, f.CapturePins().size());
    EXPECT_EQ(3u, f.CapturePins()[0]->GetId());
    EXPECT_EQ(0x36002u, static_cast<const CPCMAudioPin*>(f.RenderSinkPins()[0])->GetCapabilities());

    KsFilterList* capture = nullptr;
    ASSERT_EQ(S_OK, GetCaptureFilters(&capture));
    ASSERT_EQ(1u, capture->size());
    EXPECT_EQ("Line In", (*capture)[0]->GetText(CKsFilter::kFriendlyName));
}

TEST_F(CPCMAudioFilterTest, NoFiltersIsAFailure)
{
    ASSERT_TRUE(InitKsLibrary());
    KsFilterList* render = nullptr;
    EXPECT_EQ(E_FAIL, GetRenderFilters(&render));
    ASSERT_NE(nullptr, render);
    EXPECT_TRUE(render->empty());
}

TEST_F(CPCMAudioFilterTest, TopologyFiltersListTheirNodesWithNamesAndPropertySupport)
{
    KsFilterDescription mixer = RenderFilter("Mixer", {Pin(KSPIN_DATAFLOW_IN, KSPIN_COMMUNICATION_SINK)});
    mixer.categories = {KSCATEGORY_AUDIO, KSCATEGORY_TOPOLOGY};
    mixer.nodes = {{KSNODETYPE_DAC, u"Wave DAC", 0, 0}, {KSNODETYPE_VOLUME, u"Master Volume", 0x3, 0x2}};
    m_provider->filters = {mixer};
    ASSERT_TRUE(InitKsLibrary());
    KsFilterList list;
    const GUID categories[] = {KSCATEGORY_AUDIO, KSCATEGORY_TOPOLOGY};
    ASSERT_EQ(S_OK, EnumerateFilters(list, CKsFilter::kTopology, categories, 2));
    ASSERT_EQ(1u, list.size());
    EXPECT_NE(nullptr, dynamic_cast<CTopologyFilter*>(list[0].get()));
    const auto& nodes = list[0]->Nodes();
    ASSERT_EQ(2u, nodes.size());
    EXPECT_EQ(KSNODETYPE_DAC, nodes[0]->GetType());
    EXPECT_EQ(u"Wave DAC", nodes[0]->GetName());
    EXPECT_EQ(0u, nodes[0]->GetMask());
    EXPECT_EQ(KSNODETYPE_VOLUME, nodes[1]->GetType());
    EXPECT_EQ(u"Master Volume", nodes[1]->GetName());
    EXPECT_EQ(0x3u, nodes[1]->GetMask());
    EXPECT_EQ(0x2u, nodes[1]->SetMask());
}

TEST_F(CPCMAudioFilterTest, ARenderPinStreamsItsTwoPacketsInTurn)
{
    m_provider->filters = {RenderFilter("Speakers", {RenderPin({PcmAudioRange(2, 16, 16, 44100, 44100)}, 1024)})};
    auto* filter = static_cast<CPCMAudioFilter*>((*Render())[0].get());
    WAVEFORMATEX record[3] = {{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0}};
    WAVEFORMATEX tooWide[3] = {{WAVE_FORMAT_PCM, 2, 44100, 264600, 6, 24, 0}};
    EXPECT_FALSE(filter->CreateRenderPin(tooWide, 2, 256, 256, false, 0));
    EXPECT_EQ(ERROR_BAD_FORMAT, GetLastError());
    ASSERT_TRUE(filter->CreateRenderPin(record, 2, 256, 256, false, 0));
    const std::shared_ptr<CPCMAudioPin> pin = filter->GetRenderPin();
    EXPECT_EQ(1024u, pin->GetPacketBytes());

    // Packets written while the pin pauses wait; running, each plays and
    // comes back in the order written.
    ASSERT_TRUE(pin->SetState(KSSTATE_PAUSE));
    for (int packet = 0; packet < 2; ++packet) {
        std::memset(pin->GetPacketBuffer(packet), packet + 1, pin->GetPacketBytes());
        ASSERT_TRUE(pin->WritePacket(packet));
    }
    EXPECT_EQ(WAIT_TIMEOUT, pin->Wait(0, 50));
    ASSERT_TRUE(pin->SetState(KSSTATE_RUN));
    std::uint8_t next = 3;
    for (int round = 0; round < 3; ++round)
        for (int packet = 0; packet < 2; ++packet) {
            ASSERT_EQ(WAIT_OBJECT_0, pin->Wait(packet, 5000));
            std::memset(pin->GetPacketBuffer(packet), next++, pin->GetPacketBytes());
            ASSERT_TRUE(pin->WritePacket(packet));
        }
    for (int packet = 0; packet < 2; ++packet)
        ASSERT_EQ(WAIT_OBJECT_0, pin->Wait(packet, 5000));
    const std::vector<std::uint8_t> played = m_provider->Played();
    ASSERT_EQ(8u * 1024, played.size());
    for (std::size_t i = 0; i < played.size(); ++i)
        ASSERT_EQ(i / 1024 + 1, played[i]) << "byte " << i;

    // Stopping hands back a packet that waits, unplayed.
    ASSERT_TRUE(pin->SetState(KSSTATE_PAUSE));
    ASSERT_TRUE(pin->WritePacket(0));
    ASSERT_TRUE(pin->SetState(KSSTATE_STOP));
    EXPECT_EQ(WAIT_OBJECT_0, pin->Wait(0, 5000));
    EXPECT_EQ(8u * 1024, m_provider->Played().size());
    filter->ReleaseRenderPin();
}

}  // namespace
