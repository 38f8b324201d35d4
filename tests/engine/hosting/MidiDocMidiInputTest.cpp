// Live MIDI input through the song document: the document is a normal sink
// of the engine's MIDI source for as long as it lives, every channel hears
// each message (MIDI thru reaches the soft synths, heard in the rendered
// song), and a reset lets go of every held note and re-seeks the engine.
#include "engine/hosting/CMidiDoc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "tests/engine/hosting/SineSongFixture.h"

namespace {

using songplay::kFrames;
using songplay::Level;

constexpr BYTE kLiveKey = 60;  // no pattern of the song plays it
constexpr DWORD NoteOn(BYTE key, BYTE velocity) { return 0x90u | key << 8 | static_cast<DWORD>(velocity) << 16; }

class MidiDocMidiInputTest : public songplay::SineSongFixture {
protected:
    CMidiSink* RegisteredSink() const
    {
        return engine.source.sinks.size() == 1 ? engine.source.sinks[0] : nullptr;
    }
    CChannel* Channel(int position)
    {
        CChannel* channel = nullptr;
        EXPECT_EQ(S_OK, doc->GetChannelAt(position, &channel));
        return channel;
    }
    // The live key's level once it sounds, before any pattern note starts.
    double LiveLevel(DWORD message)
    {
        CMidiSink* sink = RegisteredSink();
        EXPECT_NE(nullptr, sink);
        if (sink == nullptr)
            return -1;
        std::thread([&] {
            mv::MarkCurrentThread(mv::ThreadRole::MidiInput);
            EXPECT_EQ(0, sink->OnShortMsg(message, 0, 0));
        }).join();
        const std::vector<float> song = Play(12);
        return Level(song, 8 * kFrames, kLiveKey, 4 * kFrames);
    }
};

TEST_F(MidiDocMidiInputTest, TheDocumentListensToTheMidiSourceWhileItLives)
{
    ASSERT_EQ(1u, engine.source.sinks.size());
    EXPECT_EQ(static_cast<CMidiSink*>(doc), engine.source.sinks[0]);
    CMidiDoc::DestroyMidiDoc(doc);
    EXPECT_TRUE(engine.source.sinks.empty());
}

TEST_F(MidiDocMidiInputTest, LiveNotesReachEveryChannelThatTakesThem)
{
    BuildSong();
    // No channel armed: every channel plays what comes in.
    const double all = LiveLevel(NoteOn(kLiveKey, 40));
    ASSERT_GT(all, 0.01);
    for (int c = 0; c < songplay::kChannels; ++c)
        EXPECT_EQ(1, Channel(c)->GetHeldNoteCount()) << "channel " << c;
}

TEST_F(MidiDocMidiInputTest, AnArmedChannelAloneTakesTheLiveNotes)
{
    BuildSong();
    Channel(2)->SetArmed(1);
    doc->InvalidateArmState();
    const double one = LiveLevel(NoteOn(kLiveKey, 40));
    ASSERT_GT(one, 0.001);
    EXPECT_EQ(1, Channel(2)->GetHeldNoteCount());
    for (int c : {0, 1, 3})
        EXPECT_EQ(0, Channel(c)->GetHeldNoteCount()) << "channel " << c;
}

TEST_F(MidiDocMidiInputTest, FourChannelsSoundFourTimesAsLoudAsOne)
{
    BuildSong();
    const double all = LiveLevel(NoteOn(kLiveKey, 40));
    TearDown();
    SetUp();
    BuildSong();
    Channel(0)->SetArmed(1);
    doc->InvalidateArmState();
    const double one = LiveLevel(NoteOn(kLiveKey, 40));
    ASSERT_GT(one, 0.001);
    EXPECT_NEAR(4.0, all / one, 0.2);
}

TEST_F(MidiDocMidiInputTest, WithoutChannelsALiveNoteIsDroppedAndSilent)
{
    ASSERT_NE(nullptr, RegisteredSink());
    EXPECT_EQ(0, RegisteredSink()->OnShortMsg(NoteOn(kLiveKey, 100), 0, 0));
    // The long-message entry takes nothing either.
    const BYTE sysex[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    EXPECT_EQ(0, RegisteredSink()->OnLongMsg(sizeof sysex, sysex, 0));
}

TEST_F(MidiDocMidiInputTest, ResetsLetGoOfEveryHeldNoteAndOnlyTheUiThreadReseeksTheEngine)
{
    BuildSong();
    CMidiSink* sink = RegisteredSink();
    ASSERT_NE(nullptr, sink);
    const auto holdChord = [&] {
        for (BYTE key : {60, 64, 67})
            sink->OnShortMsg(NoteOn(key, 90), 0, 0);
        for (int c = 0; c < songplay::kChannels; ++c)
            ASSERT_EQ(3, Channel(c)->GetHeldNoteCount());
    };
    const auto nothingHeld = [&] {
        for (int c = 0; c < songplay::kChannels; ++c)
            EXPECT_EQ(0, Channel(c)->GetHeldNoteCount()) << "channel " << c;
    };
    const int resyncs = engine.resyncs;
    holdChord();
    std::thread([&] {
        mv::MarkCurrentThread(mv::ThreadRole::MidiInput);
        sink->ResetLocked();
    }).join();
    nothingHeld();
    EXPECT_EQ(resyncs, engine.resyncs);

    holdChord();
    sink->ClearHeldNotes();
    nothingHeld();
    EXPECT_EQ(resyncs + 1, engine.resyncs);
}

}  // namespace
