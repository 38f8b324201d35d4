#include "model/CSMF.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/res/CScriptedAnswerer.h"
#include "tests/model/SmfTestSupport.h"

using namespace smftest;

namespace {

using Command = CFakeImportDocument::Command;

class CSMFTest : public ::testing::Test {
protected:
    HRESULT Run(const Bytes& bytes) { return Import(&doc, bytes); }
    // The events of the pattern that instance i placed.
    const std::vector<CMfxEvent>& EventsOf(std::size_t i)
    {
        static const std::vector<CMfxEvent> none;
        if (i >= doc.m_instances.size())
            return none;
        CPattern* p = doc.PatternById(doc.m_instances[i].pattern);
        return p ? p->GetEvents() : none;
    }
    CPattern* PatternOf(std::size_t i) { return doc.PatternById(doc.m_instances.at(i).pattern); }
    std::vector<std::string> PromptTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& p : answerer->Prompts())
            texts.push_back(p.text);
        return texts;
    }

    CFakeImportDocument doc;
    std::shared_ptr<CScriptedAnswerer> answerer = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope scope{answerer};
};

const std::string kCombineQuestion =
    "This MIDI file has more than one Channel. Would you like to combine the patterns onto one track?";

TEST_F(CSMFTest, AFormat0FileMakesAPatternPerChannelAndTheQuestionChoosesTheirTracks)
{
    TrackWriter t;
    t.NoteOn(0, 0, 60).NoteOn(0, 9, 36).NoteOff(480, 0, 60).NoteOff(0, 9, 36).End();
    const Bytes file = File(0, 480, {t});
    for (int answer : {IDYES, IDNO}) {
        SCOPED_TRACE(answer);
        CFakeImportDocument fresh;
        answerer = std::make_shared<CScriptedAnswerer>();
        CPromptAnswererScope inner(answerer);
        answerer->QueueAnswer(answer);
        ASSERT_EQ(S_OK, Import(&fresh, file));
        EXPECT_EQ(Command::ended, fresh.m_command);
        EXPECT_EQ("Import MIDI file \"song.mid\"", fresh.m_commandName);
        EXPECT_EQ(std::vector<std::string>{kCombineQuestion}, PromptTexts());
        EXPECT_EQ(MB_YESNO, answerer->Prompts().at(0).flags & MB_TYPEMASK);
        ASSERT_EQ(2u, fresh.m_instances.size());
        EXPECT_EQ(answer == IDYES ? 1u : 2u, fresh.m_tracks.size());
        EXPECT_EQ(0, fresh.m_instances[0].track);
        EXPECT_EQ(answer == IDYES ? 0 : 1, fresh.m_instances[1].track);
        // Channel 1 first, then channel 10, each with its own note.
        for (std::size_t i = 0; i < 2; ++i) {
            CPattern* p = fresh.PatternById(fresh.m_instances[i].pattern);
            ASSERT_NE(nullptr, p);
            ASSERT_EQ(1, p->GetSize());
            const CMfxEvent& note = p->GetEvents()[0];
            EXPECT_EQ(i == 0 ? 0 : 9, note.m_channel);
            EXPECT_EQ(i == 0 ? 60 : 36, note.m_note.key);
            EXPECT_EQ(960u, MfxCopy(note.m_note.duration));
            EXPECT_EQ(0, fresh.m_instances[i].start);
            EXPECT_EQ(3840, fresh.m_instances[i].end);
            EXPECT_EQ(3840, p->GetDuration());
        }
    }
}

TEST_F(CSMFTest, AFormat1FileMakesAPatternPerTrackNamedAfterIt)
{
    TrackWriter conductor;
    conductor.Text(0, 0x03, "Song title").Tempo(0, 500000).End();
    TrackWriter bass;
    bass.Text(0, 0x03, "Bass").NoteOn(0, 2, 40).NoteOff(960, 2, 40).End();
    TrackWriter mixed;
    mixed.NoteOn(0, 3, 50).NoteOn(0, 4, 51).NoteOff(10, 3, 50).NoteOff(0, 4, 51).End();
    answerer->QueueAnswer(IDNO);
    ASSERT_EQ(S_OK, Run(File(1, 960, {conductor, bass, mixed})));
    // The conductor track has no events, so no pattern and no track.
    EXPECT_EQ((std::vector<std::string>{"Bass", ""}), doc.m_tracks);
    ASSERT_EQ(2u, doc.m_instances.size());
    EXPECT_STREQ("Bass", PatternOf(0)->GetName());
    EXPECT_STREQ("", PatternOf(1)->GetName());
    // A track on one MIDI channel plays its instance there.
    EXPECT_EQ(2, doc.m_instances[0].midiChannel);
    EXPECT_EQ(CPatternInstance::kNoChannel, doc.m_instances[1].midiChannel);
    EXPECT_EQ(2u, EventsOf(1).size());
    EXPECT_EQ(std::vector<std::string>{kCombineQuestion}, PromptTexts());
}

TEST_F(CSMFTest, TimesScaleExactlyFromAnyDivision)
{
    for (WORD division : {96, 384, 480, 1920, 7, 1000, 32767}) {
        SCOPED_TRACE(division);
        CFakeImportDocument fresh;
        // One quarter, then 300 one-tick steps: a truncated factor would
        // drift (384 and 480 would give 2, 1920 would give 0).
        TrackWriter t;
        t.NoteOn(division, 0, 60);
        for (int i = 0; i < 300; ++i)
            t.Controller(1, 0, 7, static_cast<BYTE>(i & 127));
        t.End();
        ASSERT_EQ(S_OK, Import(&fresh, File(0, division, {t})));
        ASSERT_EQ(1u, fresh.m_instances.size());
        const std::vector<CMfxEvent>& events = fresh.PatternById(fresh.m_instances[0].pattern)->GetEvents();
        ASSERT_EQ(301u, events.size());
        EXPECT_EQ(960, events[0].m_time);
        for (int i = 1; i <= 300; ++i) {
            const LONGLONG fileTime = division + i;
            ASSERT_EQ((fileTime * 960 + division / 2) / division, events[i].m_time) << i;
        }
    }
}

TEST_F(CSMFTest, NoteOffsEndTheOldestPendingNoteAndTheTrackEndEndsTheRest)
{
    TrackWriter t;
    t.NoteOn(0, 0, 60)
        .NoteOn(100, 0, 60)
        .NoteOff(100, 0, 60)   // ends the first: 200
        .NoteOff(50, 0, 60)    // ends the second: 250 - 100
        .NoteOff(0, 0, 61)     // nothing pending: dropped
        .NoteOn(0, 0, 62)
        .Message(30, {0x90, 62, 0})  // velocity 0 ends it: 30
        .NoteOn(0, 0, 64)
        .Controller(500, 0, 7, 100)  // the last event, at 780
        .End();
    ASSERT_EQ(S_OK, Run(File(0, 960, {t})));
    const std::vector<CMfxEvent>& e = EventsOf(0);
    ASSERT_EQ(5u, e.size());
    EXPECT_EQ(200u, MfxCopy(e[0].m_note.duration));
    EXPECT_EQ(150u, MfxCopy(e[1].m_note.duration));
    EXPECT_EQ(62, e[2].m_note.key);
    EXPECT_EQ(30u, MfxCopy(e[2].m_note.duration));
    // Left on: it ends with the track's last event.
    EXPECT_EQ(64, e[3].m_note.key);
    EXPECT_EQ(500u, MfxCopy(e[3].m_note.duration));
}

TEST_F(CSMFTest, PendingNotesBeyondSixteenBitIndicesStillPair)
{
    constexpr int kNotes = 70000;
    TrackWriter t;
    for (int i = 0; i < kNotes; ++i)
        t.NoteOn(i == 0 ? 0 : 1, 0, 60);
    for (int i = 0; i < kNotes; ++i)
        t.NoteOff(1, 0, 60);
    ASSERT_EQ(S_OK, Run(File(0, 960, {t.End()})));
    const std::vector<CMfxEvent>& e = EventsOf(0);
    ASSERT_EQ(static_cast<std::size_t>(kNotes), e.size());
    for (int i = 0; i < kNotes; ++i)
        ASSERT_EQ(static_cast<DWORD>(kNotes), MfxCopy(e[i].m_note.duration)) << i;
}

TEST_F(CSMFTest, TheFirstTrackGivesTempoMeterKeyAndMarkers)
{
    TrackWriter first;
    first.Text(0, 0x01, "Description at zero")
        .Tempo(0, 500000)
        .Meta(0, 0x58, {6, 3, 24, 8})  // 6/8
        .Tempo(960, 60000)             // 1000 BPM: clamped
        .Tempo(0, 0)                   // no tempo at all: ignored
        .Text(0, 0x01, "Verse")
        .Text(0, 0x04, "Piano")
        .Text(0, 0x06, std::string(70, 'm'))
        .Text(0, 0x07, "Cue")
        .Text(0, 0x05, "lyric")
        .Meta(2880, 0x58, {3, 6, 24, 8})  // a power of 6: ignored
        .Meta(0, 0x58, {0, 2, 24, 8})     // a numerator of 0: ignored
        .Meta(0, 0x59, {static_cast<BYTE>(-3), 1})
        .End();
    TrackWriter other;
    other.Tempo(0, 400000).Text(0, 0x06, "Not a song marker").Meta(0, 0x58, {2, 2, 24, 8}).NoteOn(0, 0, 60).End();
    ASSERT_EQ(S_OK, Run(File(1, 480, {first, other})));

    ASSERT_EQ(2u, doc.m_tempos.size());
    EXPECT_EQ(0, doc.m_tempos[0].tick);
    EXPECT_EQ(12000, doc.m_tempos[0].tempo);
    EXPECT_EQ(1920, doc.m_tempos[1].tick);
    EXPECT_EQ(25000, doc.m_tempos[1].tempo);

    ASSERT_EQ(4u, doc.m_markers.size());
    EXPECT_EQ("Verse", doc.m_markers[0].name);
    EXPECT_EQ("Piano", doc.m_markers[1].name);
    EXPECT_EQ(std::string(63, 'm'), doc.m_markers[2].name);
    EXPECT_EQ("Cue", doc.m_markers[3].name);
    for (const auto& m : doc.m_markers)
        EXPECT_EQ(1920, m.tick);

    // 6/8 from measure 1; at tick 7680 (measure 3 of 6/8) the key turns to
    // three flats with the meter kept.
    const CMeterKeySigMap& map = doc.GetMeterKeyMap();
    ASSERT_EQ(2, map.GetSize());
    EXPECT_EQ(6, map[0].m_numerator);
    EXPECT_EQ(3, map[0].m_power);
    EXPECT_EQ(0, map[0].m_key);
    EXPECT_EQ(3, map[1].m_measure);
    EXPECT_EQ(6, map[1].m_numerator);
    EXPECT_EQ(3, map[1].m_power);
    EXPECT_EQ(-3, map[1].m_key);
}

TEST_F(CSMFTest, AProgramChangeTakesItsBankFromTheEventsJustBeforeIt)
{
    struct Case {
        const char* name;
        TrackWriter track;
        WORD bank;
        BYTE method;
        std::size_t eventsLeft;  // the patch included
    };
    std::vector<Case> cases;
    cases.push_back({"high and low", TrackWriter().Controller(0, 1, 0, 2).Controller(10, 1, 32, 5).Program(10, 1, 7),
                     2 * 128 + 5, 0, 1});
    cases.push_back({"high only", TrackWriter().Controller(0, 1, 0, 3).Program(480, 1, 7), 3, 1, 1});
    cases.push_back({"low only", TrackWriter().Controller(0, 1, 32, 4).Program(0, 1, 7), 4, 2, 1});
    cases.push_back({"too early", TrackWriter().Controller(0, 1, 0, 3).Program(481, 1, 7), 0xFFFF, 0, 2});
    cases.push_back({"another channel", TrackWriter().Controller(0, 2, 0, 3).Program(0, 1, 7), 0xFFFF, 0, 2});
    cases.push_back({"patch of 100 and up", TrackWriter().Program(0, 1, 109).Program(15, 1, 7), 9, 3, 1});
    cases.push_back({"patch too early", TrackWriter().Program(0, 1, 109).Program(16, 1, 7), 0xFFFF, 0, 2});
    cases.push_back({"an earlier program change owns its selects",
                     TrackWriter().Controller(0, 1, 0, 3).Program(0, 1, 1).Program(10, 1, 7), 0xFFFF, 0, 2});
    cases.push_back({"a note between keeps the selects",
                     TrackWriter().Controller(0, 1, 0, 3).NoteOn(0, 1, 60).NoteOff(5, 1, 60).Program(5, 1, 7), 3,
                     1, 3});
    cases.push_back({"a pending note keeps the selects",
                     TrackWriter().NoteOn(0, 5, 60).Controller(0, 1, 0, 3).Program(5, 1, 7).NoteOff(5, 5, 60), 3, 1,
                     3});
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFakeImportDocument fresh;
        ASSERT_EQ(S_OK, Import(&fresh, File(1, 960, {c.track.End()})));
        ASSERT_EQ(1u, fresh.m_instances.size());
        const std::vector<CMfxEvent>& e = fresh.PatternById(fresh.m_instances[0].pattern)->GetEvents();
        EXPECT_EQ(c.eventsLeft, e.size());
        const CMfxEvent* patch = nullptr;
        for (const CMfxEvent& event : e)
            if (event.m_kind == MfxPatch && event.m_patch.patch == 7)
                patch = &event;
        ASSERT_NE(nullptr, patch);
        EXPECT_EQ(1, patch->m_channel);
        EXPECT_EQ(c.bank, MfxCopy(patch->m_patch.bank));
        EXPECT_EQ(c.method, patch->m_patch.bankMethod);
    }
}

TEST_F(CSMFTest, ControllersPassThroughTheParameterAssembler)
{
    TrackWriter t;
    t.Controller(0, 0, 101, 0).Controller(0, 0, 100, 0).Controller(0, 0, 6, 2).Controller(10, 0, 38, 1);
    t.Controller(0, 0, 7, 90).Message(0, {0xE0, 0x00, 0x40}).Message(0, {0xD0, 33}).Message(0, {0xA0, 60, 44});
    ASSERT_EQ(S_OK, Run(File(0, 960, {t.End()})));
    const std::vector<CMfxEvent>& e = EventsOf(0);
    ASSERT_EQ(5u, e.size());
    EXPECT_EQ(static_cast<DWORD>(MfxRpn), MfxCopy(e[0].m_kind));
    EXPECT_EQ(0, e[0].GetNumber());
    EXPECT_EQ(257, e[0].GetValue());
    EXPECT_EQ(static_cast<DWORD>(MfxController), MfxCopy(e[1].m_kind));
    EXPECT_EQ(90, e[1].GetValue());
    EXPECT_EQ(static_cast<DWORD>(MfxWheel), MfxCopy(e[2].m_kind));
    EXPECT_EQ(0, MfxCopy(e[2].m_wheel.value));
    EXPECT_EQ(static_cast<DWORD>(MfxChannelAftertouch), MfxCopy(e[3].m_kind));
    EXPECT_EQ(33, e[3].m_chanAft.pressure);
    EXPECT_EQ(static_cast<DWORD>(MfxKeyAftertouch), MfxCopy(e[4].m_kind));
    EXPECT_EQ(44, e[4].m_keyAft.pressure);
}

TEST_F(CSMFTest, APatternLastsItsLastEventRoundedUpToAWholeMeasure)
{
    struct Case {
        TrackWriter track;
        LONG duration;
    };
    const Case cases[] = {
        {TrackWriter().NoteOn(0, 0, 60).NoteOff(3840, 0, 60), 3840},
        {TrackWriter().NoteOn(0, 0, 60).NoteOff(3841, 0, 60), 7680},
        {TrackWriter().Controller(0, 0, 7, 1), 3840},
        // An event on the first tick of a measure needs that measure.
        {TrackWriter().Controller(3840, 0, 7, 1), 7680},
        {TrackWriter().NoteOn(3839, 0, 60).NoteOff(0, 0, 60), 3840},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.duration);
        CFakeImportDocument fresh;
        TrackWriter t = c.track;
        ASSERT_EQ(S_OK, Import(&fresh, File(0, 960, {t.End()})));
        ASSERT_EQ(1u, fresh.m_instances.size());
        EXPECT_EQ(c.duration, fresh.PatternById(fresh.m_instances[0].pattern)->GetDuration());
        EXPECT_EQ(c.duration, fresh.m_instances[0].end);
    }
    // Measures of the file's own meter: 3/4 makes them 2880 ticks long.
    TrackWriter conductor;
    conductor.Meta(0, 0x58, {3, 2, 24, 8}).End();
    TrackWriter notes;
    notes.NoteOn(2880, 0, 60).NoteOff(10, 0, 60).End();
    ASSERT_EQ(S_OK, Run(File(1, 960, {conductor, notes})));
    EXPECT_EQ(5760, PatternOf(0)->GetDuration());
}

TEST_F(CSMFTest, FramingThatReadersMeetIsAccepted)
{
    TrackWriter notes;
    notes.NoteOn(0, 0, 60).Message(10, {60, 0}).End();  // running status
    const Bytes plain = File(0, 960, {notes});

    Bytes prefixed(128, 0xAB);
    prefixed.insert(prefixed.end(), plain.begin(), plain.end());

    // A longer header, an extra header chunk among the tracks, a track that
    // never says it ends, bytes after an end-of-track, meta and system
    // exclusive events between running-status messages.
    Bytes header = Header(1, 3, 960);
    header[7] = 8;
    header.insert(header.end(), {0, 0});
    Bytes varied = header;
    for (const Bytes& chunk :
         {Chunk("MThd", {1, 2, 3}), TrackWriter().NoteOn(0, 0, 60).Message(10, {60, 0}).Chunk(),
          TrackWriter().NoteOn(0, 1, 61).Text(0, 0x01, "x").Message(0, {0xF0, 2, 1, 0xF7}).Message(0, {61, 0})
              .End()
              .Raw({0x99, 0x99})
              .Chunk(),
          TrackWriter().NoteOn(0, 2, 62).Message(5, {0xF7, 1, 0}).Message(0, {62, 0}).End().Chunk()})
        varied.insert(varied.end(), chunk.begin(), chunk.end());

    for (const Bytes* file : std::vector<const Bytes*>{&plain, &prefixed, &varied}) {
        CFakeImportDocument fresh;
        answerer->QueueAnswer(IDYES);
        ASSERT_EQ(S_OK, Import(&fresh, *file));
        ASSERT_FALSE(fresh.m_instances.empty());
        for (std::size_t i = 0; i < fresh.m_instances.size(); ++i) {
            const std::vector<CMfxEvent>& e = fresh.PatternById(fresh.m_instances[i].pattern)->GetEvents();
            ASSERT_EQ(1u, e.size());
            EXPECT_EQ(60 + static_cast<int>(i), e[0].m_note.key);
        }
        EXPECT_EQ(file == &varied ? 3u : 1u, fresh.m_instances.size());
    }
}

TEST_F(CSMFTest, BadFilesFailAndLeaveTheDocumentAsItWas)
{
    const Bytes good = TrackWriter().Tempo(0, 500000).NoteOn(0, 0, 60).NoteOff(10, 0, 60).End().Chunk();
    auto with = [&](Bytes head, std::initializer_list<Bytes> chunks) {
        for (const Bytes& c : chunks)
            head.insert(head.end(), c.begin(), c.end());
        return head;
    };
    auto track = [](std::initializer_list<BYTE> body) { return Chunk("MTrk", Bytes(body)); };
    Bytes shortHeader = Header(0, 1, 960);
    shortHeader.resize(10);
    Bytes cutTrack = with(Header(0, 1, 960), {good});
    cutTrack.resize(cutTrack.size() - 1);
    struct Case {
        const char* name;
        Bytes file;
        HRESULT result;
    };
    const Case cases[] = {
        {"empty", {}, STG_E_DOCFILECORRUPT},
        {"not a MIDI file", Bytes(400, 'x'), STG_E_DOCFILECORRUPT},
        {"short header chunk", with(Chunk("MThd", {0, 0, 0, 1}), {good}), STG_E_DOCFILECORRUPT},
        {"header cut short", shortHeader, STG_E_READFAULT},
        {"format 2", with(Header(2, 1, 960), {good}), STG_E_DOCFILECORRUPT},
        {"division 0", with(Header(0, 1, 0), {good}), STG_E_DOCFILECORRUPT},
        {"SMPTE division", with(Header(0, 1, 0xE728), {good}), E_NOTIMPL},
        {"track cut short", cutTrack, STG_E_READFAULT},
        {"a track missing", with(Header(1, 2, 960), {good}), STG_E_READFAULT},
        {"unknown chunk", with(Header(1, 2, 960), {good, Chunk("XFIH", {1})}), STG_E_DOCFILECORRUPT},
        {"five-byte delta", with(Header(0, 1, 960), {track({0x81, 0x81, 0x81, 0x81, 0x01, 0x90, 60, 1})}),
         STG_E_DOCFILECORRUPT},
        {"meta beyond its chunk", with(Header(0, 1, 960), {track({0, 0xFF, 0x01, 0x10, 'a'})}), STG_E_DOCFILECORRUPT},
        {"meta length beyond its chunk", with(Header(0, 1, 960), {track({0, 0xFF, 0x01, 0x80})}),
         STG_E_DOCFILECORRUPT},
        {"sysex beyond its chunk", with(Header(0, 1, 960), {track({0, 0xF0, 0x05, 1, 2})}), STG_E_DOCFILECORRUPT},
        {"data without a status", with(Header(0, 1, 960), {track({0, 60, 100})}), STG_E_DOCFILECORRUPT},
        {"message cut by its chunk", with(Header(0, 1, 960), {track({0, 0x90, 60})}), STG_E_DOCFILECORRUPT},
        {"delta without event", with(Header(0, 1, 960), {track({0, 0x90, 60, 1, 0x10})}), STG_E_DOCFILECORRUPT},
        {"system common status", with(Header(0, 1, 960), {track({0, 0xF2, 0, 0})}), STG_E_DOCFILECORRUPT},
        {"header chunk beyond the file", with(Header(1, 1, 960), {Bytes{'M', 'T', 'h', 'd', 0, 0, 1, 0}}),
         STG_E_INVALIDFUNCTION},
        {"bad second track", with(Header(1, 2, 960), {good, track({0, 0xF5})}), STG_E_DOCFILECORRUPT},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CFakeImportDocument fresh;
        EXPECT_EQ(c.result, Import(&fresh, c.file));
        EXPECT_TRUE(fresh.IsUntouched());
        EXPECT_NE(Command::ended, fresh.m_command);
    }
    // The SMPTE case told the user why.
    const std::vector<std::string> texts = PromptTexts();
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ("This MIDI file counts its time in SMPTE frames, which the import cannot convert to beats.", texts[0]);
}

TEST_F(CSMFTest, AFailedDocumentEditAbandonsTheWholeImport)
{
    TrackWriter conductor;
    conductor.Tempo(0, 500000).Text(10, 0x06, "A").End();
    TrackWriter a;
    a.NoteOn(0, 0, 60).NoteOff(10, 0, 60).End();
    TrackWriter b;
    b.NoteOn(0, 1, 60).NoteOff(10, 1, 60).End();
    const Bytes file = File(1, 960, {conductor, a, b});
    CFakeImportDocument counted;
    answerer->QueueAnswer(IDNO);
    ASSERT_EQ(S_OK, Import(&counted, file));
    // tempo, marker, then per track: pattern, track, instance.
    const int edits = 2 + 2 * 3;
    for (int failAt = 1; failAt <= edits; ++failAt) {
        SCOPED_TRACE(failAt);
        CFakeImportDocument fresh;
        fresh.FailEdit(failAt, E_OUTOFMEMORY);
        answerer->QueueAnswer(IDNO);
        EXPECT_EQ(E_OUTOFMEMORY, Import(&fresh, file));
        EXPECT_EQ(Command::abandoned, fresh.m_command);
        EXPECT_TRUE(fresh.IsUntouched());
    }
}

}  // namespace
