// A song document on the fake engine owner with a recorder attached, for the
// recorder's tests: channels without synth, helpers that play short
// messages as the MIDI source would, and a stand-in for the pattern
// editor's record button, which drives the recorder through the narrow
// interface the editor uses.
#pragma once

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "engine/hosting/CMidiDoc.h"
#include "engine/hosting/CRecorder.h"
#include "model/CPattern.h"
#include "model/CUndoHistory.h"
#include "tests/engine/hosting/DocumentEngineFake.h"

namespace rectest {

inline DWORD NoteOn(BYTE key, BYTE velocity = 90, BYTE channel = 0)
{
    return 0x90u | channel | static_cast<DWORD>(key) << 8 | static_cast<DWORD>(velocity) << 16;
}
inline DWORD NoteOff(BYTE key, BYTE channel = 0) { return 0x80u | channel | static_cast<DWORD>(key) << 8; }
inline DWORD Controller(BYTE number, BYTE value)
{
    return 0xB0u | static_cast<DWORD>(number) << 8 | static_cast<DWORD>(value) << 16;
}

// What a recorded note came out as.
struct Heard {
    LONG time;
    int key;
    int velocity;
    LONG duration;
    bool operator==(const Heard&) const = default;
};
inline std::ostream& operator<<(std::ostream& os, const Heard& h)
{
    return os << "{" << h.time << ", key " << h.key << ", vel " << h.velocity << ", dur " << h.duration << "}";
}

inline std::vector<Heard> NotesOf(const CPattern* pattern)
{
    std::vector<Heard> notes;
    if (pattern == nullptr)
        return notes;
    for (const CMfxEvent& e : pattern->GetEvents())
        if (MfxCopy(e.m_kind) == MfxNote)
            notes.push_back({e.m_time, e.m_note.key, e.m_note.velocity, static_cast<LONG>(e.m_note.duration)});
    return notes;
}

// The pattern editor's record button: ends a running take (and, outside
// step recording, toggles playback), else, with an active channel, starts
// playback when needed and begins a step or a pattern take.
class RecordButton {
public:
    RecordButton(IPatternRecordControls& recorder, songdoctest::FakeEngine& engine) : m_rec(recorder), m_engine(engine)
    {
    }
    bool stepRecording = false;

    HRESULT Press(bool hasActiveChannel = true)
    {
        if (m_rec.IsRecording()) {
            const HRESULT hr = m_rec.EndTake();
            if (!stepRecording)
                m_engine.playing = !m_engine.playing;
            return hr;
        }
        if (!hasActiveChannel)
            return S_FALSE;
        if (!stepRecording && !m_engine.playing)
            m_engine.playing = true;
        return m_rec.BeginTake(stepRecording ? IPatternRecordControls::kModeStep
                                             : IPatternRecordControls::kModePattern);
    }

private:
    IPatternRecordControls& m_rec;
    songdoctest::FakeEngine& m_engine;
};

class RecorderFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        CUndoHistory::Instance().Clear();
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &doc));
        SetSongDocument(doc);
        ASSERT_EQ(S_OK, recorder.SetDocument(doc));
        channel = AddTrack();
        ASSERT_EQ(S_OK, doc->SetActiveContainer(channel, TRUE, nullptr));
    }
    void TearDown() override
    {
        recorder.SetDocument(nullptr);
        CUndoHistory::Instance().Clear();
        SetSongDocument(nullptr);
        if (doc != nullptr)
            CMidiDoc::DestroyMidiDoc(doc);
    }

    // A channel without synth at the end of the track order; its id.
    SHORT AddTrack()
    {
        EXPECT_EQ(S_OK, doc->InsertChannel(doc->GetChannelCount(), FALSE, &CLSID_NoSynth, "", nullptr));
        return doc->GetChannelIdAt(doc->GetChannelCount() - 1);
    }
    CChannel* Channel(SHORT id)
    {
        CChannel* c = nullptr;
        EXPECT_EQ(S_OK, doc->GetChannel(id, &c));
        return c;
    }
    CPattern* Pattern(SHORT id)
    {
        CPattern* p = nullptr;
        return SUCCEEDED(doc->GetPattern(id, &p)) ? p : nullptr;
    }
    // A live message at song position `at`.
    void Play(DWORD message, LONG at)
    {
        engine.now = at;
        recorder.OnShortMsg(message, 0, 0);
    }
    // A note from `at` for `length` ticks of song time.
    void PlayNote(BYTE key, LONG at, LONG length, BYTE velocity = 90)
    {
        Play(NoteOn(key, velocity), at);
        Play(NoteOff(key), at + length);
    }
    static int HistoryCount()
    {
        int n = 0;
        CUndoHistory::Instance().GetCount(&n);
        return n;
    }
    static std::string NewestName() { return CUndoHistory::Instance().GetCommandName(0); }
    bool Posted(UINT message) const
    {
        for (UINT m : engine.posted)
            if (m == message)
                return true;
        return false;
    }

    static constexpr int kThreadedNotes = 400;
    // Plays `notes` notes with a controller each from a MIDI input thread,
    // a note every 40 ticks of song time, while an audio thread tells the
    // recorder every buffer's start and asks what playback asks, and this
    // (the UI) thread drains the queue into the take; returns when all is
    // played. Each of the two threads holds a Scope while it runs.
    template <class Scope>
    void PlayThroughThreads(int notes)
    {
        const SHORT id = doc->GetActivePatternIdRaw();
        std::atomic<bool> midiDone{false};
        std::atomic<bool> audioDone{false};
        std::thread midi([&] {
            [[maybe_unused]] Scope scope;
            for (int i = 0; i < notes; ++i) {
                const LONG at = 40 * i;
                const BYTE key = static_cast<BYTE>(40 + i % 40);
                engine.now = at;
                recorder.OnShortMsg(NoteOn(key), 0, 0);
                recorder.OnShortMsg(Controller(1, static_cast<BYTE>(i % 128)), 0, 0);
                engine.now = at + 20;
                recorder.OnShortMsg(NoteOff(key), 0, 0);
                if (i % 16 == 0)
                    std::this_thread::yield();
            }
            midiDone = true;
        });
        std::thread audio([&] {
            [[maybe_unused]] Scope scope;
            while (!midiDone.load()) {
                recorder.WrapAtPatternEnd(engine.now.load());
                recorder.IsRecordingPattern(id);
                recorder.IsParamTouched(7);
                recorder.GetOverwriteRecordMode();
                recorder.IsRecording();
                std::this_thread::yield();
            }
            audioDone = true;
        });
        while (!audioDone.load())
            recorder.FetchNewEventsFlag();
        midi.join();
        audio.join();
    }

    songdoctest::FakeEngine engine;
    CMidiDoc* doc = nullptr;
    CRecorder recorder;
    SHORT channel = 0;
};

}  // namespace rectest
