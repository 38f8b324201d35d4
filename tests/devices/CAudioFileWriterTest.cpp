// The export's file writer: each WAV width keeps the device samples it is
// given bit for bit; MP3 files decode at their rate, bit rate and stereo
// mode to the length written and carry the seven ID3 texts; a file the disk
// refuses or an abort leaves no file behind and the old target as it was.
#include <gtest/gtest.h>

#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <lame/lame.h>
#include <mpg123.h>
#include <numbers>
#include <string>
#include <vector>

#include "devices/CAudioFileWriter.h"
#include "devices/CExportOptions.h"
#include "tests/support/ExportFiles.h"
#include "tests/support/Mp3Decode.h"
#include "tests/support/TempDir.h"

namespace {

using mvtest::FileSizeLimit;
using mvtest::FilesIn;
using mvtest::ReadAll;
using mvtest::WriteText;

constexpr int kBlock = 512;

// A stereo sine at `hz` (left) and its inverse (right), at 0.5 of full scale.
std::vector<float> Sine(int frames, int rate, double hz)
{
    std::vector<float> s(static_cast<std::size_t>(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        const auto v = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * hz * i / rate));
        s[2 * i] = v;
        s[2 * i + 1] = -v;
    }
    return s;
}

// Writes `data` (device layout, `frameBytes` a frame) block by block.
HRESULT WriteAll(CAudioFileWriter& w, const void* data, int frames, int frameBytes)
{
    const auto* p = static_cast<const unsigned char*>(data);
    for (int done = 0; done < frames; done += kBlock) {
        const int n = std::min(kBlock, frames - done);
        const HRESULT hr = w.Write(p + static_cast<std::size_t>(done) * frameBytes, n);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

CExportOptions WavOptions(LONG bits, LONG rate = 48000)
{
    CExportOptions o;
    o.format = CExportOptions::kFormatWav;
    o.bitsPerSample = bits;
    o.sampleRate = rate;
    return o;
}

TEST(CAudioFileWriterTest, WavFilesKeepTheDeviceSamplesOfEveryWidth)
{
    mvtest::TempDir dir;
    constexpr int kFrames = 3000;
    struct Case {
        const char* name;
        LONG bits;
        int subtype;
    };
    const Case cases[] = {{"16-bit", 16, SF_FORMAT_PCM_16},
                          {"24-bit", 24, SF_FORMAT_PCM_24},
                          {"32-bit", 32, SF_FORMAT_PCM_32},
                          {"float", CExportOptions::kFloatBits, SF_FORMAT_FLOAT}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const CExportOptions o = WavOptions(c.bits);
        const CAudioFileWriter::Layout layout = CAudioFileWriter::DeviceLayout(o);
        // Device samples of every layout, with full-scale extremes.
        std::vector<unsigned char> data(static_cast<std::size_t>(kFrames) * layout.frameBytes);
        std::vector<std::int32_t> expect(static_cast<std::size_t>(kFrames) * 2);
        std::vector<float> floats = Sine(kFrames, 48000, 997);
        floats[0] = 1.0f;
        floats[1] = -1.0f;
        for (int i = 0; i < kFrames * 2; ++i) {
            const double x = floats[i];
            if (layout.floatOutput) {
                std::memcpy(&data[4 * i], &floats[i], 4);
            } else if (layout.bits == 16) {
                const auto v = static_cast<std::int16_t>(std::lround(x * 32767));
                std::memcpy(&data[2 * i], &v, 2);
                expect[i] = v;
            } else if (layout.bits == 24) {
                const auto v = static_cast<std::int32_t>(std::lround(x * 8388607));
                data[3 * i] = static_cast<unsigned char>(v);
                data[3 * i + 1] = static_cast<unsigned char>(v >> 8);
                data[3 * i + 2] = static_cast<unsigned char>(v >> 16);
                expect[i] = v;
            } else {
                const auto v = static_cast<std::int32_t>(std::lround(x * 8388607)) * 256;
                std::memcpy(&data[4 * i], &v, 4);
                expect[i] = v;
            }
        }
        const std::string path = dir.File(std::string(c.name) + ".wav");
        CAudioFileWriter w;
        ASSERT_EQ(S_OK, w.Open(path.c_str(), o, kBlock));
        ASSERT_EQ(S_OK, WriteAll(w, data.data(), kFrames, layout.frameBytes));
        ASSERT_EQ(S_OK, w.Commit());

        SF_INFO info{};
        SNDFILE* f = sf_open(path.c_str(), SFM_READ, &info);
        ASSERT_NE(nullptr, f);
        sf_command(f, SFC_SET_NORM_FLOAT, nullptr, SF_FALSE);
        EXPECT_EQ(48000, info.samplerate);
        EXPECT_EQ(2, info.channels);
        EXPECT_EQ(SF_FORMAT_WAV | c.subtype, info.format);
        EXPECT_EQ(kFrames, info.frames);
        int mismatches = 0;
        if (layout.floatOutput) {
            std::vector<float> back(static_cast<std::size_t>(kFrames) * 2);
            EXPECT_EQ(kFrames, sf_readf_float(f, back.data(), kFrames));
            for (int i = 0; i < kFrames * 2; ++i)
                mismatches += back[i] != floats[i];
        } else {
            std::vector<std::int32_t> back(static_cast<std::size_t>(kFrames) * 2);
            EXPECT_EQ(kFrames, sf_readf_int(f, back.data(), kFrames));
            // Integers come back in the upper bits of a 32-bit word.
            const int shift = layout.bits == 16 ? 16 : (layout.bits == 24 ? 8 : 0);
            for (int i = 0; i < kFrames * 2; ++i)
                mismatches += (back[i] >> shift) != (shift ? expect[i] : expect[i] >> 0);
        }
        EXPECT_EQ(0, mismatches);
        sf_close(f);
        EXPECT_EQ(std::vector<std::string>{std::string(c.name) + ".wav"}, FilesIn(dir.Path()))
            << "no temporary file stays";
        std::remove(path.c_str());
    }
}

TEST(CAudioFileWriterTest, Mp3FilesDecodeAtTheirRateBitRateAndStereoModeToTheLengthWritten)
{
    mvtest::TempDir dir;
    struct Case {
        const char* name;
        LONG rate;
        LONG bitRate;
        LONG stereoItem;
        int mode;
        int channels;
    };
    const Case cases[] = {
        {"44.1 kHz joint stereo", 44100, 128, CExportOptions::kJointStereo, MPG123_M_JOINT, 2},
        {"48 kHz mid/side", 48000, 192, CExportOptions::kMidSideItem, MPG123_M_JOINT, 2},
        {"32 kHz stereo", 32000, 320, CExportOptions::kStereo, MPG123_M_STEREO, 2},
        {"22.05 kHz mono", 22050, 64, CExportOptions::kMono, MPG123_M_MONO, 1},
        {"11.025 kHz stereo", 11025, 32, CExportOptions::kStereo, MPG123_M_STEREO, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CExportOptions o;
        o.format = CExportOptions::kFormatMp3;
        o.sampleRate = c.rate;
        o.mp3BitRate = c.bitRate;
        o.mp3Quality = 2;
        o.SetStereoModeItem(c.stereoItem);
        const int frames = static_cast<int>(c.rate);  // one second
        const std::vector<float> song = Sine(frames, static_cast<int>(c.rate), 440);
        const std::string path = dir.File("song.mp3");
        CAudioFileWriter w;
        ASSERT_EQ(S_OK, w.Open(path.c_str(), o, kBlock));
        ASSERT_EQ(S_OK, WriteAll(w, song.data(), frames, 8));
        ASSERT_EQ(S_OK, w.Commit());

        const mvtest::DecodedMp3 d = mvtest::DecodeMp3(path);
        ASSERT_TRUE(d.ok) << d.error;
        EXPECT_EQ(c.rate, d.rate);
        EXPECT_EQ(c.channels, d.channels);
        EXPECT_EQ(c.bitRate, d.bitRate);
        EXPECT_EQ(c.mode, d.mode);
        // Layer III joint stereo: mode extension bit 1 is mid/side.
        if (c.stereoItem == CExportOptions::kMidSideItem) {
            EXPECT_NE(0, d.modeExt & 2) << "mid/side in the frame header";
        }
        // Within one frame (1152 samples, 576 below 32 kHz) of the length written.
        EXPECT_NEAR(frames, d.Frames(), c.rate >= 32000 ? 1152 : 576);
        // The tone is there at about its level (left channel, or the mono mix of a sine and its inverse).
        if (c.channels == 2) {
            double peak = 0;
            for (long i = d.Frames() / 4; i < d.Frames() * 3 / 4; ++i)
                peak = std::max(peak, std::fabs(static_cast<double>(d.samples[2 * i])));
            EXPECT_NEAR(0.5, peak, 0.1);
        }
        std::remove(path.c_str());
    }
}

TEST(CAudioFileWriterTest, TheId3TagCarriesTheSevenTextsAndTheGenreFromTheEncodersList)
{
    mvtest::TempDir dir;
    // The dialog's list holds the encoder's names in its (alphabetical)
    // order; the tag stores the genre's ID3v1 number, which the encoder
    // hands its list's callback beside each name.
    const std::vector<CString> genres = CExportOptions::Id3GenreNames();
    ASSERT_EQ(148u, genres.size());
    EXPECT_NE(genres.end(), std::find(genres.begin(), genres.end(), CString("Jazz")));
    int jazz = -1;
    id3tag_genre_list(
        [](int number, const char* name, void* out) {
            if (std::string(name) == "Jazz")
                *static_cast<int*>(out) = number;
        },
        &jazz);
    ASSERT_EQ(8, jazz);

    CExportOptions o;
    o.format = CExportOptions::kFormatMp3;
    o.sampleRate = 44100;
    o.tagPresent = 1;
    o.id3 = {"Night Ride", "The Testers", "Null Results", "2026", "made offline", "7", "Jazz"};
    const std::vector<float> song = Sine(44100, 44100, 440);
    const std::string path = dir.File("tagged.mp3");
    CAudioFileWriter w;
    ASSERT_EQ(S_OK, w.Open(path.c_str(), o, kBlock));
    ASSERT_EQ(S_OK, WriteAll(w, song.data(), 44100, 8));
    ASSERT_EQ(S_OK, w.Commit());

    const mvtest::DecodedMp3 d = mvtest::DecodeMp3(path);
    ASSERT_TRUE(d.ok) << d.error;
    ASSERT_TRUE(d.hasV1);
    EXPECT_EQ("Night Ride", d.title);
    EXPECT_EQ("The Testers", d.artist);
    EXPECT_EQ("Null Results", d.album);
    EXPECT_EQ("2026", d.year);
    EXPECT_EQ("made offline", d.comment);
    EXPECT_EQ(7, d.track);
    EXPECT_EQ(jazz, d.genre);
    ASSERT_TRUE(d.hasV2);
    EXPECT_EQ("Night Ride", d.v2Title);
    EXPECT_EQ("The Testers", d.v2Artist);
    EXPECT_EQ("7", d.v2Track);
    EXPECT_NE(std::string::npos, d.v2Genre.find("Jazz")) << d.v2Genre;
    // Still the song's length: the tag is not taken for audio.
    EXPECT_NEAR(44100, d.Frames(), 1152);

    // Without the tag flag no tag is written.
    o.tagPresent = 0;
    CAudioFileWriter plain;
    ASSERT_EQ(S_OK, plain.Open(path.c_str(), o, kBlock));
    ASSERT_EQ(S_OK, WriteAll(plain, song.data(), 44100, 8));
    ASSERT_EQ(S_OK, plain.Commit());
    const mvtest::DecodedMp3 untagged = mvtest::DecodeMp3(path);
    ASSERT_TRUE(untagged.ok) << untagged.error;
    EXPECT_FALSE(untagged.hasV1);
    EXPECT_FALSE(untagged.hasV2);
}

TEST(CAudioFileWriterTest, AFileTheDiskRefusesFailsAndLeavesTheOldFileAndNoOther)
{
    mvtest::TempDir dir;
    const std::string path = dir.File("song");
    for (LONG format : {CExportOptions::kFormatWav, CExportOptions::kFormatMp3}) {
        SCOPED_TRACE(format == CExportOptions::kFormatWav ? "WAV" : "MP3");
        WriteText(path, "the old song");
        CExportOptions o = WavOptions(16, 44100);
        o.format = format;
        const std::vector<float> floats = Sine(44100 * 10, 44100, 440);
        std::vector<short> shorts(floats.size());
        for (std::size_t i = 0; i < floats.size(); ++i)
            shorts[i] = static_cast<short>(floats[i] * 32767);
        HRESULT written = S_OK, committed = S_OK;
        {
            const FileSizeLimit limit(20000);
            CAudioFileWriter w;
            ASSERT_EQ(S_OK, w.Open(path.c_str(), o, kBlock));
            written = format == CExportOptions::kFormatWav ? WriteAll(w, shorts.data(), 441000, 4)
                                                           : WriteAll(w, floats.data(), 441000, 8);
            committed = w.Commit();
        }
        EXPECT_EQ(STG_E_WRITEFAULT, FAILED(written) ? written : committed);
        EXPECT_EQ(STG_E_WRITEFAULT, committed);
        EXPECT_EQ("the old song", ReadAll(path));
        EXPECT_EQ(std::vector<std::string>{"song"}, FilesIn(dir.Path()));
    }
}

TEST(CAudioFileWriterTest, AMissingFolderFailsAtOpenWithNothingMade)
{
    mvtest::TempDir dir;
    CAudioFileWriter w;
    EXPECT_EQ(STG_E_WRITEFAULT, w.Open(dir.File("missing/song.wav").c_str(), WavOptions(16), kBlock));
    EXPECT_FALSE(w.IsOpen());
    EXPECT_TRUE(FilesIn(dir.Path()).empty());
}

TEST(CAudioFileWriterTest, AReadOnlyFolderFailsAtOpenWithNothingMade)
{
    mvtest::TempDir dir;
    const CExportOptions o = WavOptions(16);
    CAudioFileWriter w;
    // The superuser writes into read-only folders: the case says nothing then.
    if (geteuid() == 0)
        GTEST_SKIP() << "running as root: a read-only folder does not refuse writes";
    const std::string locked = dir.File("locked");
    ASSERT_EQ(0, mkdir(locked.c_str(), 0555));
    EXPECT_EQ(STG_E_WRITEFAULT, w.Open((locked + "/song.wav").c_str(), o, kBlock));
    EXPECT_TRUE(FilesIn(locked).empty());
    chmod(locked.c_str(), 0755);
}

TEST(CAudioFileWriterTest, AnAbortedFileIsRemovedAndTheOldOneStays)
{
    mvtest::TempDir dir;
    const std::string path = dir.File("song.wav");
    WriteText(path, "the old song");
    const std::vector<short> block(kBlock * 2, 1000);
    {
        CAudioFileWriter w;
        ASSERT_EQ(S_OK, w.Open(path.c_str(), WavOptions(16), kBlock));
        ASSERT_EQ(S_OK, w.Write(block.data(), kBlock));
        EXPECT_EQ(2u, FilesIn(dir.Path()).size()) << "the new file grows under another name";
        w.Abort();
    }
    EXPECT_EQ("the old song", ReadAll(path));
    EXPECT_EQ(std::vector<std::string>{"song.wav"}, FilesIn(dir.Path()));
    // The destructor aborts an open file too.
    {
        CAudioFileWriter w;
        ASSERT_EQ(S_OK, w.Open(path.c_str(), WavOptions(16), kBlock));
        ASSERT_EQ(S_OK, w.Write(block.data(), kBlock));
    }
    EXPECT_EQ("the old song", ReadAll(path));
    EXPECT_EQ(std::vector<std::string>{"song.wav"}, FilesIn(dir.Path()));
}

TEST(CAudioFileWriterTest, OptionsThatCannotBeExportedAreRefusedBeforeAnyFileIsMade)
{
    mvtest::TempDir dir;
    struct Case {
        const char* name;
        void (*change)(CExportOptions&);
    };
    const Case cases[] = {
        {"WAV of 8 bits", [](CExportOptions& o) { o.bitsPerSample = 8; }},
        {"no rate", [](CExportOptions& o) { o.sampleRate = 0; }},
        {"negative tail", [](CExportOptions& o) { o.tailSeconds = -1; }},
        {"unknown format", [](CExportOptions& o) { o.format = 2; }},
        {"MP3 at 96 kHz", [](CExportOptions& o) { o.format = CExportOptions::kFormatMp3; o.sampleRate = 96000; }},
        {"MP3 bit rate of another family",
         [](CExportOptions& o) { o.format = CExportOptions::kFormatMp3; o.sampleRate = 22050; o.mp3BitRate = 320; }},
        {"MP3 quality 10", [](CExportOptions& o) { o.format = CExportOptions::kFormatMp3; o.mp3Quality = 10; }},
        {"MP3 dual channel", [](CExportOptions& o) { o.format = CExportOptions::kFormatMp3; o.stereoMode = 2; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CExportOptions o = WavOptions(16, 44100);
        c.change(o);
        CAudioFileWriter w;
        EXPECT_EQ(E_INVALIDARG, w.Open(dir.File("x").c_str(), o, kBlock));
        EXPECT_TRUE(FilesIn(dir.Path()).empty());
    }
}

}  // namespace
