// A channel's playback as its synth hears it: a capturing synth writes down
// every span's events, so the tests compare whole event lists.
#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../graph/EngineGraphFixture.h"
#include "ChannelFakes.h"
#include "ParamSetFakes.h"
#include "devices/CAppConfig.h"
#include "platform/media/CGainPanFilter.h"
#include "platform/sync/ThreadAffinity.h"
#include "model/CPattern.h"
#include "model/CUndoHistory.h"
#include "tests/model/PatternTestSupport.h"

namespace {

using namespace chantest;
using Lines = std::vector<std::string>;

constexpr LONG kBar = 3840;

struct ChannelPlaybackTest : mvtest::EngineGraphFixture {
    void SetUp() override
    {
        EngineGraphFixture::SetUp();
        CUndoHistory::Instance().Clear();
        SetSongDocument(&song);
        SetEngineServices(&engine);
        doc = std::make_unique<ChannelDoc>(graph);
        ASSERT_TRUE(SUCCEEDED(CChannel::Create(doc.get(), 1, &kSynthClass, "Piano", &channel)));
        doc->channels.push_back(channel);
        ASSERT_EQ(S_OK, channel->OnInsertedIntoDocument());
        static_cast<ChannelSynth*>(channel->GetSynthWrap(0))->player = &synth;
    }
    void TearDown() override
    {
        channel->OnRemovedFromDocument();
        doc->mixer.FlushKept();
        CChannel::Destroy(channel);
        CUndoHistory::Instance().Clear();
        SetSongDocument(nullptr);
        SetEngineServices(nullptr);
        EngineGraphFixture::TearDown();
        doc.reset();
    }
    // One bar of four notes and a volume controller, placed over two bars.
    void PlaceTwoBarSong()
    {
        pattern = pattest::MakePattern(3, kBar,
                                       {pattest::Controller(0, 7, 100), pattest::Note(0, 60), pattest::Note(960, 62),
                                        pattest::Note(1920, 64), pattest::Note(2880, 65)});
        song.patterns[3] = pattern.get();
        ASSERT_EQ(S_OK, channel->AddPatternInstance(pattest::Placed(pattern.get(), 0, 2 * kBar), FALSE, nullptr));
    }
    Lines Taken()
    {
        Lines out = synth.log;
        synth.log.clear();
        return out;
    }

    pattest::FakeSongDocument song;
    pattest::FakeEngineServices engine;
    std::unique_ptr<ChannelDoc> doc;
    CChannel* channel = nullptr;
    CapturePlayer synth;
    pattest::PatternPtr pattern;
};

TEST_F(ChannelPlaybackTest, ATwoBarSongPlaysItsEventsSpanBySpanAcrossTheLoopWrap)
{
    PlaceTwoBarSong();
    doc->playing = TRUE;
    ASSERT_EQ(S_OK, channel->OnStart(0));
    EXPECT_EQ((Lines{"start 0", "span 0 0", "  0 ch0 ctrl 7=100"}), Taken());

    ASSERT_EQ(S_OK, channel->RenderSpan(0, 1920));
    ASSERT_EQ(S_OK, channel->RenderSpan(1920, 3840));
    EXPECT_EQ((Lines{"span 0 1920", "  0 ch0 ctrl 7=100", "  0 ch0 note 60 dur 120", "  960 ch0 note 62 dur 120",
                     "span 1920 3840", "  1920 ch0 note 64 dur 120", "  2880 ch0 note 65 dur 120"}),
              Taken());

    // The second bar, then a buffer that runs past the loop end at 6720 +
    // 1920: the part before the end, the loop, the part after the start.
    ASSERT_EQ(S_OK, channel->RenderSpan(3840, 6720));
    ASSERT_EQ(S_OK, channel->RenderSpan(6720, 7680));
    ASSERT_EQ(S_OK, channel->OnLoop(0, 7680));
    ASSERT_EQ(S_OK, channel->RenderSpan(0, 960));
    EXPECT_EQ((Lines{"span 3840 6720", "  3840 ch0 ctrl 7=100", "  3840 ch0 note 60 dur 120",
                     "  4800 ch0 note 62 dur 120", "  5760 ch0 note 64 dur 120", "span 6720 7680",
                     "  6720 ch0 note 65 dur 120", "advance 0 7680", "span 0 960", "  0 ch0 ctrl 7=100",
                     "  0 ch0 note 60 dur 120"}),
              Taken());

    // Stopped, every MIDI channel's modulation, sustain and pitch wheel go
    // back to rest through the live queue.
    ASSERT_EQ(S_OK, channel->OnStop(960));
    EXPECT_EQ((Lines{"stop"}), Taken());
    int live = 0;
    channel->GetLiveQueue(FALSE)->GetCount(&live);
    EXPECT_EQ(48, live);
    EXPECT_EQ(0u, channel->GetDroppedEvents());
}

// A synth busy on another thread takes a span's events late, never loses
// them: they go over with the next span's, in order; a stop forgets them.
TEST_F(ChannelPlaybackTest, EventsABusySynthRefusedGoOverWithTheNextSpanAndAStopDropsThem)
{
    PlaceTwoBarSong();
    doc->playing = TRUE;
    ASSERT_EQ(S_OK, channel->OnStart(0));
    Taken();

    synth.busyHandOvers = 2;
    ASSERT_EQ(S_OK, channel->RenderSpan(0, 960));
    ASSERT_EQ(S_OK, channel->RenderSpan(960, 1920));
    ASSERT_EQ(S_OK, channel->RenderSpan(1920, 2880));
    EXPECT_EQ((Lines{"busy 0 960", "busy 960 1920", "span 1920 2880", "  0 ch0 ctrl 7=100", "  0 ch0 note 60 dur 120",
                     "span 1920 2880", "  960 ch0 note 62 dur 120", "span 1920 2880", "  1920 ch0 note 64 dur 120"}),
              Taken());

    synth.busyHandOvers = 1;
    ASSERT_EQ(S_OK, channel->RenderSpan(2880, 3840));
    ASSERT_EQ(S_OK, channel->OnStop(3840));
    Taken();
    ASSERT_EQ(S_OK, channel->OnStart(0));
    ASSERT_EQ(S_OK, channel->RenderSpan(0, 960));
    const Lines after = Taken();
    EXPECT_EQ(after.end(), std::find(after.begin(), after.end(), "  2880 ch0 note 65 dur 120")) << "stale after a stop";
    EXPECT_EQ(0u, channel->GetDroppedEvents());
}

TEST_F(ChannelPlaybackTest, StartChasesUpToItsTimeAndAStoredProgramWins)
{
    PlaceTwoBarSong();
    CPattern* p = pattern.get();
    ASSERT_EQ(S_OK, p->Insert(1, [] {
        CMfxEvent e(MfxPatch);
        e.m_time = 0;
        e.m_channel = 2;
        e.m_patch.patch = 9;
        e.m_patch.bank = 0xFFFF;
        return e;
    }()));
    synth.patch[2] = 40;
    synth.bank[2] = 3;
    synth.patch[5] = 12;
    doc->playing = TRUE;
    ASSERT_EQ(S_OK, channel->OnStart(4000));
    // Notes are never chased; the controller is sent at the start time; the
    // stored programs stand for their MIDI channels.
    EXPECT_EQ((Lines{"start 4000", "span 0 4000", "  4000 ch0 ctrl 7=100", "  4000 ch2 patch 40 bank 3",
                     "  4000 ch5 patch 12 bank 65535"}),
              Taken());
    // The pattern's own program change is not played over the stored one.
    ASSERT_EQ(S_OK, channel->RenderSpan(3840, 4000));
    EXPECT_EQ((Lines{"span 3840 4000", "  3840 ch0 ctrl 7=100", "  3840 ch0 note 60 dur 120"}), Taken());
}

TEST_F(ChannelPlaybackTest, NothingToPlayAndStoppedTransportSendNothing)
{
    EXPECT_EQ(S_FALSE, channel->RenderSpan(0, 960));
    channel->SetStepSeqPreview(TRUE);
    EXPECT_EQ(S_OK, channel->RenderSpan(0, 960));
    EXPECT_TRUE(Taken().empty());
    channel->SetStepSeqPreview(FALSE);

    PlaceTwoBarSong();
    doc->playing = FALSE;
    EXPECT_EQ(S_OK, channel->RenderSpan(0, 1920));
    EXPECT_TRUE(Taken().empty());
    // An instance that starts exactly at the span's end waits for the next.
    doc->playing = TRUE;
    EXPECT_EQ(S_OK, channel->RenderSpan(-960, 0));
    EXPECT_TRUE(Taken().empty());
}

TEST_F(ChannelPlaybackTest, LoopClipsAreTriggeredAsTheyEnterAndStoppedWhenRemoved)
{
    CPattern* clip = nullptr;
    ASSERT_EQ(S_OK, CreatePattern(5, &clip, CPattern::kKindLoopClip));
    pattest::PatternPtr holder(clip);
    clip->SetDuration(kBar / 2);
    clip->SetTriggerKey(48);
    song.patterns[5] = clip;
    engine.pool.Add(clip->GetClipId());
    const CPatternInstance loop = pattest::Placed(clip, 1920, 3840);
    ASSERT_EQ(S_OK, channel->AddPatternInstance(loop, FALSE, nullptr));
    const std::string key = std::to_string(loop.GetTriggerEvent(FALSE).m_note.key);
    doc->playing = TRUE;
    // After a locate the clip outside the span is told it is off.
    ASSERT_EQ(S_OK, channel->OnLocate(0));
    ASSERT_EQ(S_OK, channel->RenderSpan(0, 960));
    EXPECT_EQ((Lines{"span 0 960", "  1920 ch0 note " + key + " dur 0"}), Taken());
    // Entering the span it is triggered once with its length; leaving it
    // sends nothing.
    for (LONG t = 960; t < 6720; t += 960)
        ASSERT_EQ(S_OK, channel->RenderSpan(t, t + 960));
    EXPECT_EQ((Lines{"span 960 1920", "  1920 ch0 note " + key + " dur 1920"}), Taken());
    // Removed, its clip is stopped at the next span.
    ASSERT_EQ(S_OK, channel->DeletePatternInstance(loop.GetInstanceId(), FALSE, nullptr));
    ASSERT_EQ(S_OK, channel->RenderSpan(6720, 7680));
    const std::string stop = std::to_string(clip->GetClipId() & 0x7F);
    EXPECT_EQ((Lines{"span 6720 7680", "  6720 ch0 note " + stop + " dur 0"}), Taken());
}

TEST_F(ChannelPlaybackTest, AutomationBecomesTheControllerItTargets)
{
    ISynthWrap* wrap = channel->GetSynthWrap(0);
    DWORD volume = 0;
    ASSERT_EQ(S_OK, channel->GetGroupParamIndex({wrap->GetClsid(), wrap->GetInstanceGuid()}, 0, &volume));
    CPattern* automation = channel->GetAutomationPattern();
    ASSERT_EQ(S_OK, automation->Insert(0, pattest::Automation(100, volume, 1.0f)));
    ASSERT_EQ(S_OK, automation->Insert(1, pattest::Automation(200, volume, 0.5f)));
    doc->playing = TRUE;
    ASSERT_EQ(S_OK, channel->OnLocate(0));
    ASSERT_EQ(S_OK, channel->RenderSpan(0, 960));
    EXPECT_EQ((Lines{"span 0 960", "  100 ch0 ctrl 7=127", "  200 ch0 ctrl 7=64"}), Taken());
    float value = 0.0f;
    ASSERT_EQ(S_OK, channel->GetParamValue(volume, &value));
    EXPECT_FLOAT_EQ(0.5f, value);
}

TEST_F(ChannelPlaybackTest, AFullQueueDropsTheNewestEventsAndCountsThem)
{
    std::vector<CMfxEvent> many;
    for (LONG t = 0; t < 150; ++t)
        many.push_back(pattest::Controller(t, 1, static_cast<BYTE>(t % 128)));
    pattern = pattest::MakePattern(4, kBar, many);
    song.patterns[4] = pattern.get();
    ASSERT_EQ(S_OK, channel->AddPatternInstance(pattest::Placed(pattern.get(), 0, kBar), FALSE, nullptr));
    doc->playing = TRUE;
    ASSERT_EQ(S_OK, channel->OnLocate(0));
    ASSERT_EQ(S_OK, channel->RenderSpan(0, 60));
    ASSERT_EQ(S_OK, channel->RenderSpan(60, 200));
    const Lines heard = Taken();
    // The first span fits; the second's span buffer holds 64 and plays them.
    EXPECT_EQ(60u + 64u + 2u, heard.size());
    EXPECT_EQ(1u, channel->GetDroppedEvents());
}

TEST_F(ChannelPlaybackTest, SystemExclusiveEventsReachTheSynthWithTheirBytesOnEveryPass)
{
    pattern = pattest::MakePattern(5, kBar,
                                   {pattest::Note(0, 60), pattest::Sysex(480, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}),
                                    pattest::Note(960, 62)});
    song.patterns[5] = pattern.get();
    ASSERT_EQ(S_OK, channel->AddPatternInstance(pattest::Placed(pattern.get(), 0, 2 * kBar), FALSE, nullptr));
    doc->playing = TRUE;
    ASSERT_EQ(S_OK, channel->OnLocate(0));
    ASSERT_EQ(S_OK, channel->RenderSpan(0, 1920));
    ASSERT_EQ(S_OK, channel->RenderSpan(3840, 5760));
    EXPECT_EQ((Lines{"span 0 1920", "  0 ch0 note 60 dur 120", "  480 ch0 sysex F0 7E 7F 09 01 F7",
                     "  960 ch0 note 62 dur 120", "span 3840 5760", "  3840 ch0 note 60 dur 120",
                     "  4320 ch0 sysex F0 7E 7F 09 01 F7", "  4800 ch0 note 62 dur 120"}),
              Taken());
    // The pattern keeps its own block; the synth heard copies.
    const CMfxEvent& stored = pattern->GetEvents()[1];
    void* data = nullptr;
    DWORD size = 0;
    ASSERT_EQ(S_OK, CMfxBufferFactory::GetShared().GetPointer(stored.m_buffer.handle, &data, &size));
    EXPECT_EQ(6u, size);
    EXPECT_EQ(0u, channel->GetDroppedEvents());
}

TEST_F(ChannelPlaybackTest, SystemExclusiveDataThatCannotBeCopiedIsDroppedAndCounted)
{
    struct Case {
        const char* name;
        int events;
        DWORD bytes;
        std::size_t heard;
        DWORD dropped;
    };
    const Case cases[] = {
        {"more messages in one span than blocks", CMfxBlockRing::kDefaultCount + 2, 8,
         static_cast<std::size_t>(CMfxBlockRing::kDefaultCount), 2},
        {"a message larger than a block", 1, CMfxBlockRing::kDefaultCapacity + 1, 0, 1},
    };
    std::vector<pattest::PatternPtr> kept;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<CMfxEvent> events;
        for (int i = 0; i < c.events; ++i) {
            CMfxEvent e = pattest::Sysex(i, {0xF0, 0xF7});
            HMFXBUFFER big = 0;
            ASSERT_EQ(S_OK, CMfxBufferFactory::GetShared().Alloc(c.bytes, &big));
            std::vector<BYTE> bytes(c.bytes, 0x11);
            bytes.front() = 0xF0;
            bytes.back() = 0xF7;
            ASSERT_EQ(S_OK, CMfxBufferFactory::GetShared().Fill(big, bytes.data(), c.bytes));
            e.ReleaseBuffer();
            e.m_buffer.handle = big;
            events.push_back(e);
        }
        // Each case plays its own bar.
        const LONG at = static_cast<LONG>(&c - cases) * kBar;
        const DWORD id = 6 + static_cast<DWORD>(&c - cases);
        kept.push_back(pattest::MakePattern(id, kBar, events));
        song.patterns[id] = kept.back().get();
        ASSERT_EQ(S_OK, channel->AddPatternInstance(pattest::Placed(kept.back().get(), at, at + kBar), FALSE, nullptr));
        doc->playing = TRUE;
        const DWORD before = channel->GetDroppedEvents();
        ASSERT_EQ(S_OK, channel->OnLocate(at));
        channel->RenderSpan(at, at + 960);
        Lines heard = Taken();
        const std::size_t sysex = static_cast<std::size_t>(
            std::count_if(heard.begin(), heard.end(), [](const std::string& l) { return l.find("sysex") != l.npos; }));
        EXPECT_EQ(c.heard, sysex);
        EXPECT_EQ(c.dropped, channel->GetDroppedEvents() - before);
        // The next span has every block back.
        ASSERT_EQ(S_OK, channel->OnLocate(at));
        channel->RenderSpan(at, at + 960);
        Taken();
        EXPECT_EQ(2 * c.dropped, channel->GetDroppedEvents() - before);
    }
}

TEST_F(ChannelPlaybackTest, RecordedAutomationPointsBecomeEnvelopesOfThePlugInAfterTheSpan)
{
    paramtest::FakeTimeConverter converter;
    doc->timeConverter = &converter;
    PlaceTwoBarSong();
    DWORD volume = 0;
    ASSERT_EQ(S_OK, channel->GetGroupParamIndex({kChannelGroupClass, GUID_NULL}, CGainPanFilter::kVolume, &volume));
    auto pending = [&] { return channel->GetEnvelopes().count(volume) ? channel->GetEnvelopes().at(volume).size() : 0u; };
    doc->playing = TRUE;
    ASSERT_EQ(S_OK, channel->OnLocate(0));

    struct Case {
        const char* name;
        int points;
        DWORD dropped;
    };
    // The gain/pan filter holds a bounded number of points per parameter.
    const Case cases[] = {{"a few points", 3, 0},
                          {"more than the filter holds", CGainPanFilter::kMaxSegments + 1, 1}};
    LONG at = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        for (int i = 0; i < c.points; ++i)
            ASSERT_EQ(S_OK, channel->AddAutomationPoint(pattest::Automation(at + 10 * (c.points - i), volume, 0.5f)));
        EXPECT_EQ(static_cast<std::size_t>(c.points), pending());
        const DWORD before = channel->GetDroppedEvents();
        EXPECT_EQ(S_OK, channel->RenderSpan(at, at + 960));
        EXPECT_EQ(0u, pending());
        EXPECT_EQ(c.dropped, channel->GetDroppedEvents() - before);
        at += 960;
    }
    // Points of a parameter the channel does not have fail the span.
    ASSERT_EQ(S_OK, channel->AddAutomationPoint(pattest::Automation(at, 0xDEAD00, 0.5f)));
    EXPECT_EQ(E_INVALIDARG, channel->RenderSpan(at, at + 960));
    doc->timeConverter = nullptr;
}

}  // namespace

namespace {

// Live input and direct messages as the synth hears them after the
// audio thread's live step.
using ChannelLiveInputTest = ChannelPlaybackTest;

Lines LiveOf(CChannel* c, CapturePlayer& synth)
{
    synth.log.clear();
    EXPECT_EQ(S_OK, c->ProcessLiveInput(0));
    Lines out = synth.log;
    synth.log.clear();
    return out;
}

TEST_F(ChannelLiveInputTest, ANoteHeldTwiceNeedsTwoReleases)
{
    ASSERT_EQ(S_OK, channel->OnMidiInput(0x643C90, 0, 0));
    ASSERT_EQ(S_OK, channel->OnMidiInput(0x503C90, 0, 0));
    ASSERT_EQ(S_OK, channel->OnMidiInput(0x003C80, 0, 0));
    EXPECT_EQ(1, channel->GetHeldNoteCount());
    // The input channel changes while the note is held: its release still
    // reaches the synth.
    ASSERT_EQ(S_OK, channel->SetMidiInput(CChannel::kAnyPort, 5));
    ASSERT_EQ(S_OK, channel->OnMidiInput(0x003C90, 0, 0));
    EXPECT_EQ(0, channel->GetHeldNoteCount());
    EXPECT_EQ(S_FALSE, channel->OnMidiInput(0x643D90, 0, 0)) << "channel 0 is not listened to any more";
    EXPECT_EQ((Lines{"live 643C90", "live 503C90", "live 003C80", "live 003C90"}), LiveOf(channel, synth));
    DWORD port = 0;
    WORD midi = 0;
    ASSERT_EQ(S_OK, channel->GetMidiInput(&port, &midi));
    EXPECT_EQ(5, midi);
    EXPECT_EQ(E_POINTER, channel->GetMidiInput(nullptr, &midi));
}

TEST_F(ChannelLiveInputTest, TransposeMovesHeldNotesAndIsClamped)
{
    channel->SetInputTranspose(200);
    EXPECT_EQ(127, channel->GetInputTranspose());
    channel->SetInputTranspose(0);
    ASSERT_EQ(S_OK, channel->OnMidiInput(0x406490, 0, 0));  // note 100
    LiveOf(channel, synth);
    channel->SetInputTranspose(40);
    EXPECT_EQ((Lines{"live 006480", "live 407F90"}), LiveOf(channel, synth));
    // Its release, played at the old key, finds the moved note.
    ASSERT_EQ(S_OK, channel->OnMidiInput(0x006480, 0, 0));
    EXPECT_EQ(0, channel->GetHeldNoteCount());
    EXPECT_EQ((Lines{"live 007F80"}), LiveOf(channel, synth));
}

TEST_F(ChannelLiveInputTest, TheReWirePortFeedsTheSecondQueueOnlyForADevice)
{
    // The mode is set at start-up, before any channel exists.
    struct Case {
        const char* name;
        bool deviceMode;
        Lines heard;
    };
    const Case cases[] = {
        // The first queue goes first; the host's notes keep their time as
        // ticks after the span's start, one played before it at the start.
        {"device", true, {"live 503E90", "live 643C90 at 100", "live 643D90"}},
        {"program", false, {"live 643C90", "live 503E90", "live 643D90"}},
    };
    doc->rewirePort = 3;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CAppConfig::SetRewireDeviceMode(c.deviceMode);
        CChannel* other = nullptr;
        ASSERT_TRUE(SUCCEEDED(CChannel::Create(doc.get(), 2, &kSynthClass, "Host", &other)));
        doc->channels.push_back(other);
        ASSERT_EQ(S_OK, other->OnInsertedIntoDocument());
        static_cast<ChannelSynth*>(other->GetSynthWrap(0))->player = &synth;
        EXPECT_EQ(c.deviceMode, other->GetLiveQueue(TRUE) != nullptr);
        doc->now = 1000;
        EXPECT_EQ(S_OK, other->OnMidiInput(0x643C90, 0, 3));
        EXPECT_EQ(S_OK, other->OnMidiInput(0x503E90, 0, 1));
        doc->now = 850;
        EXPECT_EQ(S_OK, other->OnMidiInput(0x643D90, 0, 3));
        synth.log.clear();
        EXPECT_EQ(S_OK, other->ProcessLiveInput(900));
        EXPECT_EQ(c.heard, synth.log);
        synth.log.clear();
        EXPECT_EQ(S_OK, other->ProcessLiveInput(1900));
        EXPECT_TRUE(synth.log.empty()) << "both queues were emptied";
        other->OnRemovedFromDocument();
        doc->channels.pop_back();
        CChannel::Destroy(other);
    }
    CAppConfig::SetRewireDeviceMode(false);
}

TEST_F(ChannelLiveInputTest, AnUnarmedChannelIgnoresInputWhileAnotherIsArmed)
{
    CChannel* other = nullptr;
    ASSERT_TRUE(SUCCEEDED(CChannel::Create(doc.get(), 2, &kSynthClass, "Bass", &other)));
    doc->channels.push_back(other);
    ASSERT_EQ(S_OK, other->SetArmed(1, TRUE));
    EXPECT_EQ(1, doc->armChanges);
    EXPECT_EQ(S_FALSE, channel->OnMidiInput(0x643C90, 0, 0));
    EXPECT_EQ(S_OK, other->OnMidiInput(0x643C90, 0, 0));
    ASSERT_EQ(S_OK, channel->SetArmed(1, TRUE));
    EXPECT_FALSE(other->IsArmed());
    EXPECT_EQ(S_OK, channel->OnMidiInput(0x643C90, 0, 0));
    doc->channels.pop_back();
    CChannel::Destroy(other);
}

TEST_F(ChannelLiveInputTest, DirectMessagesGoOutAsShortMessages)
{
    struct Case {
        const char* name;
        HRESULT (*send)(CChannel*);
        HRESULT result;
        Lines heard;
    } cases[] = {
        {"note", [](CChannel* c) { return c->SendNoteOn(2, 60, 100); }, S_OK, {"live 643C92"}},
        {"program", [](CChannel* c) { return c->SendProgramChange(1, 130); }, S_OK, {"live 0002C1"}},
        {"no program", [](CChannel* c) { return c->SendProgramChange(1, -1); }, S_FALSE, {}},
        {"no channel", [](CChannel* c) { return c->SendNoteOn(-1, 60, 100); }, S_FALSE, {}},
        {"bank 0", [](CChannel* c) { return c->SendBankSelect(0, 300, 0); }, S_OK, {"live 0200B0", "live 2C20B0"}},
        {"bank 2", [](CChannel* c) { return c->SendBankSelect(0, 300, 2); }, S_OK, {"live 0220B0"}},
        {"bank 3", [](CChannel* c) { return c->SendBankSelect(0, 40, 3); }, S_OK, {"live 007FC0"}},
        {"rpn", [](CChannel* c) { return c->SendParameterNumberValue(0, 0x81, 0x3FFF, TRUE); }, S_OK,
         {"live 0165B0", "live 0164B0", "live 7F06B0", "live 7F26B0"}},
        {"nrpn", [](CChannel* c) { return c->SendParameterNumberValue(3, 5, 2, FALSE); }, S_OK,
         {"live 0063B3", "live 0562B3", "live 0006B3", "live 0226B3"}},
        {"rpn out of range", [](CChannel* c) { return c->SendParameterNumberValue(0, 16384, 0, TRUE); },
         E_INVALIDARG, {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.result, c.send(channel)) << c.name;
        EXPECT_EQ(c.heard, LiveOf(channel, synth)) << c.name;
    }
}

// Stepping the program on the channel's MIDI channel (2) through a synth of
// banks 5 and 300: bank by bank, "none" between the last and the first; the
// bank select goes out as controllers 0 and 32, then the program change.
TEST_F(ChannelLiveInputTest, StepPatchWalksTheSynthsBankList)
{
    channel->SetMidiChannel(2);
    struct Case {
        const char* name;
        bool listed;
        LONG bank;
        int patch;
        int direction;
        LONG bankAfter;
        int patchAfter;
        Lines heard;
    } cases[] = {
        {"next within a bank", true, 5, 10, 1, 5, 11, {"live 0000B2", "live 0520B2", "live 000BC2"}},
        {"next into the next bank", true, 5, 127, 1, 300, 0, {"live 0200B2", "live 2C20B2", "live 0000C2"}},
        {"next past the last bank", true, 300, 127, 1, -1, 255, {}},
        {"next from none", true, -1, 255, 1, 5, 0, {"live 0000B2", "live 0520B2", "live 0000C2"}},
        {"next from a bank not listed", true, 77, 3, 1, 5, 4, {"live 0000B2", "live 0520B2", "live 0004C2"}},
        {"previous within a bank", true, 300, 10, -1, 300, 9, {"live 0200B2", "live 2C20B2", "live 0009C2"}},
        {"previous into the bank before", true, 300, 0, 0, 5, 127, {"live 0000B2", "live 0520B2", "live 007FC2"}},
        {"previous before the first bank", true, 5, 0, -1, -1, 255, {}},
        {"previous from none", true, -1, 255, -1, 300, 127, {"live 0200B2", "live 2C20B2", "live 007FC2"}},
        {"no bank list: next", false, 9, 20, 1, 9, 21, {"live 0015C2"}},
        {"no bank list: past the last patch", false, 9, 127, 1, 9, 255, {}},
        {"no bank list: previous from none", false, 9, 255, -1, 9, 127, {"live 007FC2"}},
    };
    for (const Case& c : cases) {
        synth.hasBankList = c.listed;
        synth.banks = {5, 300};
        synth.bank[2] = c.bank;
        synth.patch[2] = c.patch;
        EXPECT_EQ(S_OK, channel->StepPatch(c.direction)) << c.name;
        EXPECT_EQ(c.bankAfter, synth.bank[2]) << c.name;
        EXPECT_EQ(c.patchAfter, synth.patch[2]) << c.name;
        EXPECT_EQ(c.heard, LiveOf(channel, synth)) << c.name;
    }
}

// A synth that names a non-registered and a registered parameter number.
struct ChannelParamNumberTest : ChannelPlaybackTest {
    void SetUp() override
    {
        ChannelSynth::parameterNumbers = true;
        ChannelPlaybackTest::SetUp();
    }
    void TearDown() override
    {
        ChannelPlaybackTest::TearDown();
        ChannelSynth::parameterNumbers = false;
    }
};

TEST_F(ChannelParamNumberTest, ParameterNumberTargetsGoOutAsTheirFourControllers)
{
    ISynthWrap* wrap = channel->GetSynthWrap(0);
    std::vector<CString> names;
    std::vector<DWORD> ids;
    ASSERT_EQ(S_OK, channel->ListGroupParams({wrap->GetClsid(), wrap->GetInstanceGuid()}, &names, &ids, nullptr));
    ASSERT_EQ(3u, ids.size());
    // Full scale on MIDI channel 2, then zero.
    ASSERT_EQ(S_OK, channel->ApplyParam(ids[1], 1.0f, 2));
    ASSERT_EQ(S_OK, channel->ApplyParam(ids[2], 0.0f, 2));
    EXPECT_EQ((Lines{"live 0163B2", "live 0162B2", "live 7F06B2", "live 7F26B2", "live 0065B2", "live 0064B2",
                     "live 0006B2", "live 0026B2"}),
              LiveOf(channel, synth));
}

TEST_F(ChannelLiveInputTest, PumpingTheChainWaitsWhileTheGraphIsRebuilt)
{
    ASSERT_EQ(S_OK, channel->SendNoteOn(0, 60, 100));
    synth.log.clear();
    // Not yet connected in a graph: nothing is delivered and nothing lost.
    ASSERT_TRUE(channel->IsGraphChanged());
    EXPECT_EQ(S_FALSE, channel->PumpMfxChain());
    EXPECT_EQ(Lines{}, Taken());
    EXPECT_EQ((Lines{"live 643C90"}), LiveOf(channel, synth));
    EXPECT_EQ(S_OK, channel->SetShuffle(0.5));
    EXPECT_EQ(E_INVALIDARG, channel->SetShuffle(1.5));
}

// A synth busy on another thread refuses live messages on the audio
// thread, which drops and counts them rather than wait; elsewhere the synth
// waits for its lock, so nothing is refused or lost.
TEST_F(ChannelLiveInputTest, LiveMessagesABusySynthRefusesAreDroppedOnlyOnTheAudioThread)
{
    ASSERT_EQ(S_OK, channel->OnMidiInput(0x643C90, 0, 0));
    synth.busyLiveHandOvers = 1;
    {
        mv::ScopedThreadRole audio(mv::ThreadRole::Audio);
        EXPECT_EQ(Lines{}, LiveOf(channel, synth));
        EXPECT_EQ(0, synth.busyLiveHandOvers);
        EXPECT_EQ(1u, channel->GetLiveDropCount());
        EXPECT_EQ(Lines{}, LiveOf(channel, synth)) << "dropped, not kept for later";
    }
    ASSERT_EQ(S_OK, channel->OnMidiInput(0x003C80, 0, 0));
    synth.busyLiveHandOvers = 5;
    EXPECT_EQ((Lines{"live 003C80"}), LiveOf(channel, synth));
    EXPECT_EQ(5, synth.busyLiveHandOvers) << "never refused off the audio thread";
    EXPECT_EQ(1u, channel->GetLiveDropCount());
}

TEST_F(ChannelLiveInputTest, StartResendsHeldNotesAndTheirReleaseTwice)
{
    ASSERT_EQ(S_OK, channel->OnMidiInput(0x643C90, 0, 0));
    LiveOf(channel, synth);
    ASSERT_EQ(S_FALSE, channel->OnStart(0));
    synth.log.clear();
    EXPECT_EQ((Lines{"live 643C90"}), LiveOf(channel, synth));
    ASSERT_EQ(S_OK, channel->OnMidiInput(0x003C80, 0, 0));
    EXPECT_EQ((Lines{"live 003C80", "live 003C80"}), LiveOf(channel, synth));
}

}  // namespace
