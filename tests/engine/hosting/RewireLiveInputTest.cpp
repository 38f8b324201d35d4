// The host's live notes while the program runs as a ReWire device: the
// device's worker hands them over through the ReWire MIDI input port on the
// audio thread; each channel queues them in its second live queue, stamped
// with the transport's time, and its synth plays them. Nothing on that path
// waits: a busy lock or a full held-note table drops the message and counts
// it.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "tests/engine/hosting/RewireSongFixture.h"

namespace {

using namespace songplay;

constexpr BYTE kLiveKey = 60;  // no pattern of the song plays it

using RewireLiveInput = RewireSongFixture;

std::vector<MfxData> Records(CMfxDataQueue* queue)
{
    std::vector<MfxData> out;
    int count = 0;
    if (queue != nullptr)
        queue->GetCount(&count);
    for (int i = 0; i < count; ++i) {
        MfxData record{};
        queue->GetAt(i, &record);
        out.push_back(record);
    }
    return out;
}

TEST_F(RewireLiveInput, TheHostsMessagesGoToTheSecondQueueAtTheTransportsTimeAndOthersToTheFirst)
{
    ASSERT_NO_FATAL_FAILURE(BuildSong());
    engine.now = 1234;
    const DWORD note = NoteOnMessage(kLiveKey, 90);
    ASSERT_TRUE(DeliverFromHost({note}));
    // A port of the machine, not the host's.
    std::thread([&] {
        mv::MarkCurrentThread(mv::ThreadRole::MidiInput);
        doc->OnShortMsg(note | 0x01u, 0, 3);
    }).join();
    for (int c = 0; c < kChannels; ++c) {
        CChannel* channel = Channel(c);
        const std::vector<MfxData> second = Records(channel->GetLiveQueue(TRUE));
        ASSERT_EQ(1u, second.size()) << "channel " << c;
        EXPECT_EQ(1234u, second[0].m_dw1);
        EXPECT_EQ(note, second[0].m_dw2);
        const std::vector<MfxData> first = Records(channel->GetLiveQueue(FALSE));
        ASSERT_EQ(1u, first.size()) << "channel " << c;
        EXPECT_EQ(0u, first[0].m_dw1);
        EXPECT_EQ(note | 0x01u, first[0].m_dw2);
        EXPECT_EQ(2, channel->GetHeldNoteCount());
        EXPECT_EQ(0u, channel->GetLiveDropCount());
    }
}

TEST_F(RewireLiveInput, TheHostsNoteIsHeardFromEveryChannelsSynth)
{
    ASSERT_NO_FATAL_FAILURE(BuildSong());
    const std::vector<float> quiet = Play(12);
    EXPECT_LT(Level(quiet, 8 * kFrames, kLiveKey, 4 * kFrames), 1e-4) << "no pattern plays the live key";
    ASSERT_TRUE(DeliverFromHost({NoteOnMessage(kLiveKey, 100)}));
    const std::vector<float> song = Play(12);
    EXPECT_GT(Level(song, 8 * kFrames, kLiveKey, 4 * kFrames), 0.01);
    for (int c = 0; c < kChannels; ++c)
        EXPECT_TRUE(Records(Channel(c)->GetLiveQueue(TRUE)).empty()) << "drained, channel " << c;
}

TEST_F(RewireLiveInput, ABusyLockDropsTheHostsMessageAndCountsItWithoutWaiting)
{
    ASSERT_NO_FATAL_FAILURE(BuildSong());
    struct Case {
        const char* name;
        std::function<std::vector<CHeapCriticalSection*>()> locks;
        std::function<DWORD()> drops;
    };
    const Case cases[] = {
        {"the song's MIDI lock", [&] { return std::vector<CHeapCriticalSection*>{doc->GetMidiLock()}; },
         [&] { return doc->GetLiveDropCount(); }},
        {"every channel's live lock",
         [&] {
             std::vector<CHeapCriticalSection*> locks;
             for (int c = 0; c < kChannels; ++c)
                 locks.push_back(&Channel(c)->GetLiveLock());
             return locks;
         },
         [&] {
             DWORD sum = 0;
             for (int c = 0; c < kChannels; ++c)
                 sum += Channel(c)->GetLiveDropCount();
             return sum;
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const DWORD before = c.drops();
        const std::vector<CHeapCriticalSection*> locks = c.locks();
        for (CHeapCriticalSection* lock : locks)
            lock->Lock();
        EXPECT_TRUE(DeliverFromHost({NoteOnMessage(kLiveKey, 90)}, [&] {
            for (CHeapCriticalSection* lock : locks)
                lock->Unlock();
        })) << "the worker waited";
        EXPECT_EQ(before + locks.size(), c.drops());
        for (int ch = 0; ch < kChannels; ++ch) {
            EXPECT_EQ(0u, Records(Channel(ch)->GetLiveQueue(TRUE)).size());
            EXPECT_EQ(0, Channel(ch)->GetHeldNoteCount()) << "a dropped note is not held";
        }
    }
    // Free again, the next message is taken.
    ASSERT_TRUE(DeliverFromHost({NoteOnMessage(kLiveKey, 90)}));
    for (int ch = 0; ch < kChannels; ++ch)
        EXPECT_EQ(1, Channel(ch)->GetHeldNoteCount());
}

TEST_F(RewireLiveInput, AFullHeldNoteTableDropsTheNextNoteButStillReleasesHeldOnes)
{
    ASSERT_NO_FATAL_FAILURE(BuildSong());
    std::vector<DWORD> notes;
    for (DWORD n = 0; n < CChannel::kHeldNoteCapacity; ++n)
        notes.push_back((0x90u | (n >> 7)) | (n & 127u) << 8 | 64u << 16);
    ASSERT_TRUE(DeliverFromHost(notes));
    const DWORD oneMore = 0x92u | 5u << 8 | 64u << 16;
    const DWORD releaseFirst = 0x80u | 0u << 8;
    ASSERT_TRUE(DeliverFromHost({oneMore, releaseFirst}));
    for (int c = 0; c < kChannels; ++c) {
        CChannel* channel = Channel(c);
        EXPECT_EQ(static_cast<int>(CChannel::kHeldNoteCapacity) - 1, channel->GetHeldNoteCount());
        EXPECT_EQ(1u, channel->GetLiveDropCount());
        const std::vector<MfxData> queued = Records(channel->GetLiveQueue(TRUE));
        ASSERT_EQ(CChannel::kHeldNoteCapacity + 1, queued.size());
        EXPECT_EQ(releaseFirst, queued.back().m_dw2) << "the note-off of a held note passes";
    }
}

}  // namespace
