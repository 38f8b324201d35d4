// An audio export of a song played by the engine owner the program builds
// (its own factory with the MIDI-effect host site): the WAV file holds the
// very samples the sound card gets at the same block length, the effect
// tails and the loop region are exactly as long as asked, an MP3 export
// runs the engine at the file's rate, and a cancelled or refused export
// leaves the old file alone and no other behind.
#include <gtest/gtest.h>

#include <sndfile.h>

#include <cmath>
#include <memory>

#include "engine/hosting/CAudioExport.h"
#include "engine/hosting/CMidiDoc.h"
#include "engine/mixer/COutputBranch.h"
#include "model/CPatternInstance.h"
#include "tests/engine/hosting/ExportEngineFactory.h"
#include "tests/engine/hosting/SineSongFixture.h"
#include "tests/support/ExportFiles.h"
#include "tests/support/Mp3Decode.h"
#include "tests/support/TempDir.h"

namespace {

constexpr int kRate = 48000;
constexpr int kBlock = 256;
// The phaser Sorvic's class, as its library registers it.
constexpr GUID kSorvic = {0xA6190AD9, 0xC20F, 0x49FC, {0xBF, 0x24, 0x3F, 0xF2, 0xAD, 0xAE, 0xF9, 0xB1}};

// A note of the song: its tick, key, velocity and length in ticks.
struct SongNote {
    LONG tick;
    BYTE key;
    BYTE velocity;
    DWORD ticks;
};

class AudioExportTest : public ::testing::Test, public mvtest::ExportEngine<kBlock> {
protected:
    void SetUp() override { ASSERT_EQ(S_OK, StartEngine(kRate, {MVTEST_SINE_SERVER, MVTEST_SORVIC_SERVER})); }
    void TearDown() override { StopEngine(); }

    // One sine channel per note, each note alone in a pattern instance that
    // ends `instanceTicks` after it.
    void BuildSong(const std::vector<SongNote>& notes, LONG instanceTicks = 960)
    {
        for (std::size_t c = 0; c < notes.size(); ++c) {
            const SongNote& n = notes[c];
            ASSERT_EQ(S_OK, doc->InsertChannel(static_cast<int>(c), FALSE, &mvtest::CLSID_SineSynth,
                                               mvtest::kSineInstrumentName, nullptr));
            CPattern* pattern = nullptr;
            ASSERT_EQ(S_OK, doc->CreatePattern(static_cast<SHORT>(200 + c), FALSE, nullptr, &pattern));
            pattern->SetDuration(instanceTicks);
            CMfxEvent note = pattest::Note(0, n.key, n.ticks);
            note.m_note.velocity = n.velocity;
            ASSERT_EQ(S_OK, pattern->InsertEvent(note, FALSE, nullptr, FALSE));
            CChannel* channel = nullptr;
            ASSERT_EQ(S_OK, doc->GetChannelAt(static_cast<int>(c), &channel));
            CPatternInstance instance(pattern);
            instance.SetStart(n.tick);
            instance.SetEnd(n.tick + instanceTicks);
            ASSERT_EQ(S_OK, channel->AddPatternInstance(instance, FALSE, nullptr));
        }
        ASSERT_TRUE(SUCCEEDED(transport->ApplyAudioReset()));
        ASSERT_EQ(S_OK, transport->ResyncEngine());
        for (std::size_t c = 0; c < notes.size(); ++c) {
            CChannel* channel = nullptr;
            ASSERT_EQ(S_OK, doc->GetChannelAt(static_cast<int>(c), &channel));
            ASSERT_NE(nullptr, channel->GetSynthWrap(0)) << "channel " << c << " has its instrument";
        }
    }

    LONGLONG Samples(LONG tick)
    {
        LONGLONG s = 0;
        EXPECT_EQ(S_OK, transport->TicksToSamples(tick, &s));
        return s;
    }

    // Plays `blocks` buffers through the sound card from the song's start:
    // the 16-bit samples it got.
    std::vector<short> PlayThroughSoundCard(int blocks)
    {
        auto* card = static_cast<mvtest::FakeAudioDevice*>(transport->GetAudioDriver());
        EXPECT_NE(nullptr, card);
        if (!card)
            return {};
        EXPECT_EQ(S_OK, transport->Locate(0));
        EXPECT_EQ(S_OK, transport->Play());
        std::vector<short> played;
        for (const auto& b : card->RunBuffers(blocks, nullptr, kBlock, kBlock * 4)) {
            EXPECT_EQ(S_OK, b.result);
            const auto* s = reinterpret_cast<const short*>(b.out.data());
            played.insert(played.end(), s, s + b.out.size() / 2);
        }
        EXPECT_EQ(S_OK, transport->Stop());
        return played;
    }

    template <class Sample>
    static std::vector<Sample> ReadWav(const std::string& path, SF_INFO* info)
    {
        *info = SF_INFO{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, info);
        if (!f)
            return {};
        sf_command(f, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);
        std::vector<Sample> data(static_cast<std::size_t>(info->frames) * info->channels);
        if constexpr (std::is_same_v<Sample, short>)
            sf_readf_short(f, data.data(), info->frames);
        else
            sf_readf_float(f, data.data(), info->frames);
        sf_close(f);
        return data;
    }

    static CExportOptions Wav(LONG bits)
    {
        CExportOptions o;
        o.format = CExportOptions::kFormatWav;
        o.sampleRate = kRate;
        o.bitsPerSample = bits;
        return o;
    }

    mvtest::TempDir dir;
};

// The peak of the left channel over [from, to) frames of interleaved stereo.
template <class Sample>
double Peak(const std::vector<Sample>& s, LONGLONG from, LONGLONG to)
{
    double peak = 0;
    for (LONGLONG f = std::max<LONGLONG>(0, from); f < to && 2 * f < static_cast<LONGLONG>(s.size()); ++f)
        peak = std::max(peak, std::fabs(static_cast<double>(s[static_cast<std::size_t>(2 * f)])));
    return peak;
}

TEST_F(AudioExportTest, TheWavFileHoldsWhatTheSoundCardPlaysAtTheSameBlockLength)
{
    ASSERT_NO_FATAL_FAILURE(BuildSong({{960, 69, 100, 480}, {1920, 81, 64, 480}}));
    const LONGLONG songFrames = Samples(2880);
    const std::string path = dir.File("song.wav");
    std::vector<double> progress;
    CAudioExport exporter(transport.get(), doc);
    ASSERT_EQ(S_OK, exporter.Run(path.c_str(), Wav(16), [&](double f) {
        progress.push_back(f);
        return true;
    }));
    SF_INFO info{};
    const std::vector<short> exported = ReadWav<short>(path, &info);
    EXPECT_EQ(kRate, info.samplerate);
    EXPECT_EQ(SF_FORMAT_WAV | SF_FORMAT_PCM_16, info.format);
    ASSERT_EQ(songFrames, info.frames);
    ASSERT_FALSE(progress.empty());
    EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
    EXPECT_DOUBLE_EQ(1.0, progress.back());

    // The notes are where the song has them: silence before the first.
    EXPECT_EQ(0, Peak(exported, 0, Samples(960)));
    EXPECT_NEAR(100.0 / 127 * 32767, Peak(exported, Samples(960), Samples(1440)), 300);

    // After the export the sound card plays again, and hears the same.
    ASSERT_TRUE(SUCCEEDED(transport->ApplyAudioReset()));
    EXPECT_FALSE(transport->IsOfflineRender());
    const std::vector<short> played = PlayThroughSoundCard(static_cast<int>(songFrames / kBlock) + 2);
    ASSERT_GE(played.size(), exported.size());
    std::size_t differ = 0;
    for (std::size_t i = 0; i < exported.size(); ++i)
        differ += exported[i] != played[i];
    EXPECT_EQ(0u, differ) << "the export and the sound card differ";
}

TEST_F(AudioExportTest, EffectTailsAddTheirSecondsWithWhatStillSoundsAndTheLoopRegionIsExact)
{
    // The second note plays up to the song's end, through the phaser, whose
    // feedback rings on after it.
    ASSERT_NO_FATAL_FAILURE(BuildSong({{0, 69, 127, 480}, {1920, 76, 127, 960}}));
    CChannel* last = nullptr;
    ASSERT_EQ(S_OK, doc->GetChannelAt(1, &last));
    ASSERT_EQ(S_OK, last->GetOutputBranch(0)->GetChain().InsertFxByClsid(0, kSorvic, "Sorvic"));
    ASSERT_TRUE(SUCCEEDED(transport->ApplyAudioReset()));
    const LONGLONG songFrames = Samples(2880);
    const std::string path = dir.File("song.wav");
    CAudioExport exporter(transport.get(), doc);

    CExportOptions o = Wav(CExportOptions::kFloatBits);
    ASSERT_EQ(S_OK, exporter.Run(path.c_str(), o));
    SF_INFO info{};
    ReadWav<float>(path, &info);
    EXPECT_EQ(SF_FORMAT_WAV | SF_FORMAT_FLOAT, info.format);
    EXPECT_EQ(songFrames, info.frames);

    o.tailsOn = TRUE;
    o.tailSeconds = 0.5;
    ASSERT_EQ(S_OK, exporter.Run(path.c_str(), o));
    const std::vector<float> tailed = ReadWav<float>(path, &info);
    ASSERT_EQ(songFrames + kRate / 2, info.frames);
    // The song plays as before (its first note at full level), and the tail
    // holds the phaser's ringing. (The phaser keeps its state from one run
    // to the next, so the runs are not compared sample by sample.)
    EXPECT_NEAR(1.0, Peak(tailed, 0, Samples(480)), 0.05);
    EXPECT_GT(Peak(tailed, songFrames, songFrames + kBlock), 0.01);

    // The loop region alone: exactly its frames, its note at its offset;
    // the loop is the user's again afterwards.
    ASSERT_EQ(S_OK, transport->SetLoop(960, 2400, TRUE));
    o.loopedRegionOnly = TRUE;
    ASSERT_EQ(S_OK, exporter.Run(path.c_str(), o));
    const std::vector<float> loop = ReadWav<float>(path, &info);
    EXPECT_EQ(Samples(2400) - Samples(960), info.frames);
    const LONGLONG due = Samples(1920) - Samples(960);
    EXPECT_LT(Peak(loop, due - kBlock, due), 1e-6);
    EXPECT_GT(Peak(loop, due, due + kBlock), 0.5);
    EXPECT_TRUE(transport->IsLoopOn(false));
    EXPECT_EQ(960, transport->GetLoopStart(false));
    EXPECT_EQ(2400, transport->GetLoopEnd(false));
}

TEST_F(AudioExportTest, AnMp3ExportRendersTheSongAtTheFilesRate)
{
    ASSERT_NO_FATAL_FAILURE(BuildSong({{960, 69, 127, 960}}));
    CExportOptions o;
    o.format = CExportOptions::kFormatMp3;
    o.sampleRate = 22050;
    o.mp3BitRate = 96;
    o.tagPresent = 1;
    o.id3[CExportOptions::kTitle] = "Offline";
    const std::string path = dir.File("song.mp3");
    CAudioExport exporter(transport.get(), doc);
    ASSERT_EQ(S_OK, exporter.Run(path.c_str(), o));

    const mvtest::DecodedMp3 d = mvtest::DecodeMp3(path);
    ASSERT_TRUE(d.ok) << d.error;
    EXPECT_EQ(22050, d.rate);
    EXPECT_EQ(96, d.bitRate);
    EXPECT_EQ("Offline", d.title);
    // The song's length at the file's rate, within one frame.
    const CTempoMap& tempo = *doc->GetTempoMap();
    const long songFrames = static_cast<long>(tempo.TicksToTime(1920, 22050));
    EXPECT_NEAR(songFrames, d.Frames(), 576);
    // The note at 440 Hz from tick 960: count its cycles over 7000 frames
    // once it sounds.
    const long from = static_cast<long>(tempo.TicksToTime(960, 22050)) + 576;
    ASSERT_LT(from + 7000, d.Frames());
    int crossings = 0;
    for (long f = from; f < from + 7000; ++f)
        crossings += (d.samples[2 * f] < 0) != (d.samples[2 * f + 2] < 0);
    EXPECT_NEAR(2 * 440.0 * 7000 / 22050, crossings, 4) << "440 Hz at 22050 Hz";
}

TEST_F(AudioExportTest, ACancelledOrRefusedExportLeavesTheOldFileAndNoOther)
{
    ASSERT_NO_FATAL_FAILURE(BuildSong({{960, 69, 100, 480}}));
    const std::string path = dir.File("song.wav");
    mvtest::WriteText(path, "the old song");
    CAudioExport exporter(transport.get(), doc);

    int calls = 0;
    EXPECT_EQ(E_ABORT, exporter.Run(path.c_str(), Wav(24), [&](double f) {
        ++calls;
        return f < 0.3;
    }));
    EXPECT_EQ("the old song", mvtest::ReadAll(path));
    EXPECT_EQ(std::vector<std::string>{"song.wav"}, mvtest::FilesIn(dir.Path()));
    // Stopped within one block of the refusal.
    EXPECT_LE(calls, static_cast<int>(0.3 * Samples(1920) / kBlock) + 2);

    // Cancel, as another thread would call it, stops it the same way.
    calls = 0;
    EXPECT_EQ(E_ABORT, exporter.Run(path.c_str(), Wav(16), [&](double f) {
        ++calls;
        if (f >= 0.5)
            exporter.Cancel();
        return true;
    }));
    EXPECT_LE(calls, static_cast<int>(0.5 * Samples(1920) / kBlock) + 2);
    EXPECT_EQ("the old song", mvtest::ReadAll(path));
    EXPECT_EQ(std::vector<std::string>{"song.wav"}, mvtest::FilesIn(dir.Path()));

    {
        const mvtest::FileSizeLimit limit(16000);
        EXPECT_EQ(STG_E_WRITEFAULT, exporter.Run(path.c_str(), Wav(32)));
    }
    EXPECT_EQ("the old song", mvtest::ReadAll(path));
    EXPECT_EQ(std::vector<std::string>{"song.wav"}, mvtest::FilesIn(dir.Path()));

    // And a later export replaces it.
    ASSERT_EQ(S_OK, exporter.Run(path.c_str(), Wav(16)));
    SF_INFO info{};
    ReadWav<short>(path, &info);
    EXPECT_EQ(Samples(1920), info.frames);
    EXPECT_EQ(std::vector<std::string>{"song.wav"}, mvtest::FilesIn(dir.Path()));
}

}  // namespace

// The sound card reopened at another rate: the instrument renders at the
// new one (an A of 440 Hz crosses zero 880 times in a second of the card's
// samples), not on at the rate it was connected at.
TEST_F(AudioExportTest, AnAudioResetAtANewRateReachesThePlugIns)
{
    ASSERT_NO_FATAL_FAILURE(BuildSong({{0, 69, 100, 1920}}, 1920));
    auto crossings = [](const std::vector<short>& s, std::size_t frames) {
        int n = 0;
        for (std::size_t f = 1; f < frames && 2 * f < s.size(); ++f)
            n += (s[2 * f - 2] < 0) != (s[2 * f] < 0);
        return n;
    };
    const int rates[] = {kRate, 22050, 44100};
    for (int rate : rates) {
        SCOPED_TRACE(rate);
        CAppConfig::SetSampleRate(rate);
        ASSERT_EQ(S_OK, transport->RequestAudioReset());
        ASSERT_TRUE(SUCCEEDED(transport->ApplyAudioReset()));
        ASSERT_EQ(rate, transport->GetFilterGraph()->GetSampleRate());
        const std::vector<short> played = PlayThroughSoundCard(rate / 2 / kBlock + 1);
        // Half a second of the note: 440 periods a second, two crossings each.
        EXPECT_NEAR(440, crossings(played, static_cast<std::size_t>(rate / 2)), 2);
    }
}
