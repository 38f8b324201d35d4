// A song to play: a song document of four channels, each playing the sine
// test instrument (registered with regsvr, created by class id through the
// plug-in wrappers) from a pattern instance, rendered block by block as the
// engine owner drives it: the data renderer broadcasts each span, the audio
// renderer pushes the block through the document's graph.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "devices/CAudioRenderer.h"
#include "engine/CDataRenderer.h"
#include "engine/graph/CDxFilterGraph.h"
#include "engine/hosting/CFilterWrap.h"
#include "engine/hosting/CMfxHostSite.h"
#include "engine/hosting/CMidiDoc.h"
#include "model/CPatternInstance.h"
#include "model/CUndoHistory.h"
#include "platform/com/ComRuntime.h"
#include "platform/registry/Registry.h"
#include "platform/sync/ThreadAffinity.h"
#include "tests/engine/hosting/DocumentEngineFake.h"
#include "tests/engine/hosting/HostSiteFakes.h"
#include "tests/engine/hosting/RenderBuffer.h"
#include "tests/model/PatternTestSupport.h"
#include "tests/plugins/synthframework/sine/SineSynthClass.h"
#include "tests/support/TempRegistry.h"

namespace songplay {

using songdoctest::FakeEngine;


constexpr int kRate = 48000;
constexpr int kFrames = 256;
constexpr int kChannels = 4;

inline int Regsvr(const std::string& args)
{
    const std::string command = std::string("'") + MVTEST_REGSVR + "' " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    mvreg::ReloadHives();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// One note per channel, one after another: its tick, key and velocity. The
// keys lie far enough apart (440, 1047, 1760 and 2637 Hz) that a block's
// spectrum tells each one's level apart from the others'.
struct PlayedNote {
    LONG tick;
    BYTE key;
    BYTE velocity;
};
constexpr PlayedNote kNotes[kChannels] = {{480, 69, 127}, {1920, 84, 64}, {3360, 93, 100}, {4800, 100, 32}};
constexpr DWORD kNoteTicks = 480;

// Four sine channels, each with one pattern instance of its own note.
inline void AddSineSong(CMidiDoc* doc)
{
    for (int c = 0; c < kChannels; ++c) {
        ASSERT_EQ(S_OK, doc->InsertChannel(c, FALSE, &mvtest::CLSID_SineSynth, mvtest::kSineInstrumentName, nullptr));
        CPattern* pattern = nullptr;
        const SHORT patternId = static_cast<SHORT>(100 + c);
        ASSERT_EQ(S_OK, doc->CreatePattern(patternId, FALSE, nullptr, &pattern));
        pattern->SetDuration(960);
        CMfxEvent note = pattest::Note(0, kNotes[c].key, kNoteTicks);
        note.m_note.velocity = kNotes[c].velocity;
        ASSERT_EQ(S_OK, pattern->InsertEvent(note, FALSE, nullptr, FALSE));
        CChannel* channel = nullptr;
        ASSERT_EQ(S_OK, doc->GetChannelAt(c, &channel));
        CPatternInstance instance(pattern);
        instance.SetStart(kNotes[c].tick);
        instance.SetEnd(kNotes[c].tick + 960);
        ASSERT_EQ(S_OK, channel->AddPatternInstance(instance, FALSE, nullptr));
    }
}

class SineSongFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        CUndoHistory::Instance().Clear();
        CFilterWrap::ClearFailedPlugIns();
        ASSERT_EQ(0, Regsvr(std::string("'") + MVTEST_SINE_SERVER + "'"));
        engine.graph->SetBlockFrames(kFrames);
        ASSERT_EQ(S_OK, engine.graph->SetSampleRate(kRate));
        engine.playing = true;
        siteEngine.rate = kRate;
        ASSERT_EQ(S_OK, CreateMfxHostSite(&siteEngine, &site));
        // The instruments read the song's time through the site; the song
        // document does not serve the site yet, so a stand-in with the same
        // (default) tempo does.
        ASSERT_EQ(S_OK, site->SetDocument(&siteDocument));
        engine.hostSite = site;
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &doc));
        SetSongDocument(doc);
        ASSERT_EQ(S_OK, audio.SetSampleRate(kRate));
        audio.SetDocument(doc->GetRenderDocument());
        data.SetDocument(doc);
    }
    void TearDown() override
    {
        audio.SetDocument(nullptr);
        data.SetDocument(nullptr);
        CUndoHistory::Instance().Clear();
        SetSongDocument(nullptr);
        if (doc != nullptr)
            CMidiDoc::DestroyMidiDoc(doc);
        if (site != nullptr) {
            site->SetDocument(nullptr);
            site->Release();
        }
        CFilterWrap::ClearFailedPlugIns();
        CoFreeUnusedLibraries();
    }

    // The song of AddSineSong, its graph built.
    void BuildSong()
    {
        ASSERT_NO_FATAL_FAILURE(AddSineSong(doc));
        ASSERT_EQ(S_OK, doc->RebuildGraph());
        ASSERT_EQ(S_OK, audio.Prepare());
    }

    // The song's time: the document's tempo map, in samples.
    LONG SampleToTick(LONGLONG sample) const
    {
        return doc->GetTempoMap()->TimeToTicks(static_cast<LONG>(sample), kRate, FALSE);
    }
    LONGLONG TickToSample(LONG tick) const { return doc->GetTempoMap()->TicksToTime(tick, kRate, FALSE); }

    // Enough blocks for the last note to sound through many cycles.
    int SongBlocks() const
    {
        return static_cast<int>(TickToSample(kNotes[kChannels - 1].tick + 960) / kFrames) + 20;
    }

    // Plays `blocks` device buffers from the song start as the engine owner
    // does, on a thread marked audio; the interleaved stereo output.
    // `beforeBlock` hears each block's number on that thread first.
    std::vector<float> Play(int blocks, const std::function<void(int)>& beforeBlock = nullptr)
    {
        // Sized up front: the song grows on the watched thread.
        std::vector<float> song;
        song.reserve(static_cast<std::size_t>(blocks) * kFrames * 2);
        HRESULT hr = S_OK;
        std::string step = "locate";
        std::thread([&] {
            mv::MarkCurrentThread(mv::ThreadRole::Audio);
            std::vector<float> block(kFrames * 2);
            hr = data.Locate(0);
            if (SUCCEEDED(hr) && FAILED(hr = data.Start(0)))
                step = "start";
            for (int b = 0; b < blocks && SUCCEEDED(hr); ++b) {
                const LONG from = SampleToTick(static_cast<LONGLONG>(b) * kFrames);
                const LONG to = SampleToTick(static_cast<LONGLONG>(b + 1) * kFrames);
                step = "block " + std::to_string(b);
                if (beforeBlock)
                    beforeBlock(b);
                if (FAILED(hr = RenderSongBuffer(data, audio, from, to, block.data(), kFrames)))
                    break;
                song.insert(song.end(), block.begin(), block.end());
            }
            if (SUCCEEDED(hr))
                hr = data.Stop(SampleToTick(static_cast<LONGLONG>(blocks) * kFrames));
        }).join();
        EXPECT_EQ(S_OK, hr) << "at " << step;
        return song;
    }

    mvtest::TempRegistry registry;
    sitetest::FakeSiteEngine siteEngine;
    sitetest::FakeSiteDocument siteDocument;
    CMfxHostSite* site = nullptr;
    FakeEngine engine;
    CMidiDoc* doc = nullptr;
    CAudioRenderer audio;
    CDataRenderer data;
};

inline double Frequency(BYTE key) { return 440.0 * std::pow(2.0, (key - 69) / 12.0); }

// The amplitude of the sine of `key` in the left channel over `frames` from
// `frame` (Hann window, which keeps the other notes' leakage small).
inline double Level(const std::vector<float>& song, LONGLONG frame, BYTE key, int frames = kFrames)
{
    const double w = 2 * M_PI * Frequency(key) / kRate;
    double re = 0, im = 0, sum = 0;
    for (int k = 0; k < frames; ++k) {
        const double hann = 0.5 - 0.5 * std::cos(2 * M_PI * k / (frames - 1));
        const double x = song[static_cast<std::size_t>(2 * (frame + k))] * hann;
        re += x * std::cos(w * k);
        im -= x * std::sin(w * k);
        sum += hann;
    }
    return 2 * std::hypot(re, im) / sum;
}

}  // namespace songplay
