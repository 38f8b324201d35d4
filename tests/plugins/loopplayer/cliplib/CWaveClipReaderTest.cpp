#include "plugins/loopplayer/cliplib/CWaveClipReader.h"

#include <gtest/gtest.h>

#include "tests/plugins/loopplayer/cliplib/WavBuilder.h"

namespace {

// Stereo 16-bit frames whose bytes are 0, 1, 2, ...
Bytes DataBytes(int frames, int blockAlign = 4)
{
    Bytes b;
    for (int i = 0; i < frames * blockAlign; ++i) b.push_back(std::uint8_t(i));
    return b;
}

Bytes Info(const std::vector<std::pair<const char*, std::string>>& texts)
{
    Bytes content;
    for (auto& [id, text] : texts) {
        Bytes body(text.begin(), text.end());
        body.push_back(0);
        content = Concat({content, Chunk(id, body)});
    }
    return Form("LIST", "INFO", content);
}

const Bytes kFmt16Stereo = Chunk("fmt ", Fmt(1, 2, 44100, 16));
const Bytes kData100 = Chunk("data", DataBytes(100));

}  // namespace

TEST(CWaveClipReader, ReadsFormatDataAndFramesOfAPcmFile)
{
    TempFiles files;
    CWaveClipReader r;
    ASSERT_EQ(r.Open(files.Write("a.wav", Wave(Concat({kFmt16Stereo, kData100})))), S_OK);
    EXPECT_TRUE(r.IsWave());
    EXPECT_EQ(r.GetChannels(), 2);
    EXPECT_EQ(r.GetSampleRate(), 44100u);
    EXPECT_EQ(r.GetBlockAlign(), 4);
    EXPECT_EQ(r.GetBytesPerSample(), 2);
    EXPECT_EQ(r.GetValue(2), 400u);
    EXPECT_EQ(r.GetValue(3), 100u);
    EXPECT_EQ(r.GetValue(7), 0u);
    EXPECT_FLOAT_EQ(r.GetSeconds(), 400.0f / 176400.0f);
    EXPECT_EQ(r.GetMilliseconds(), 3u);  // 2.27 ms rounds up
    // PCM has no extra-size field: the kept format says 0 extra bytes.
    ASSERT_EQ(r.GetFormatBytes().size(), 18u);
    EXPECT_EQ(r.GetFormat()->cbSize, 0);
    EXPECT_FALSE(r.HasAcid());
    EXPECT_EQ(r.GetSliceCount(), 0);
    EXPECT_EQ(r.GetInfo(0).chunk.ckid, mmioFOURCC(' ', ' ', ' ', ' ')) << "no LIST: slot 0 marks the end";

    // The reads stop at the data chunk's end, and a seek goes to a frame.
    std::vector<std::uint8_t> buf(1000);
    EXPECT_EQ(r.Read(buf.data(), 10), 10);
    EXPECT_EQ(buf[9], 9);
    EXPECT_EQ(r.Read(buf.data(), 1000), 390);
    EXPECT_EQ(r.Read(buf.data(), 1000), 0);
    ASSERT_EQ(r.SeekFrame(99), S_OK);
    EXPECT_EQ(r.Read(buf.data(), 1000), 4);
    EXPECT_EQ(buf[0], std::uint8_t(396));
    EXPECT_EQ(r.SeekFrame(101), E_FAIL);
    EXPECT_EQ(r.GetError(), MMIOERR_CANNOTSEEK);
}

TEST(CWaveClipReader, KeepsTheExtraBytesOfAFloatFormat)
{
    TempFiles files;
    CWaveClipReader r;
    Bytes wav = Wave(Concat({Chunk("fmt ", Fmt(3, 1, 48000, 32, -1, true, 2)), Chunk("data", DataBytes(8, 4))}));
    ASSERT_EQ(r.Open(files.Write("f.wav", wav)), S_OK);
    ASSERT_EQ(r.GetFormatBytes().size(), 20u);
    EXPECT_EQ(r.GetFormat()->wFormatTag, 3);
    EXPECT_EQ(r.GetFormat()->cbSize, 2);
    EXPECT_EQ(r.GetFormatBytes()[18], 0xA0);
    EXPECT_EQ(r.GetFormatBytes()[19], 0xA1);
    EXPECT_EQ(r.GetFrames(), 8u);
}

TEST(CWaveClipReader, FillsInfoSlotsInFileOrderWithTheirLabels)
{
    TempFiles files;
    CWaveClipReader r;
    Bytes info = Info({{"INAM", "Groove"}, {"IART", "Nobody"}, {"XXXX", "unknown"}, {"ICMT", "fourth"}});
    ASSERT_EQ(r.Open(files.Write("i.wav", Wave(Concat({kFmt16Stereo, kData100, info})))), S_OK);
    EXPECT_EQ(r.GetInfo(0).text, "Groove");
    EXPECT_STREQ(r.GetInfo(0).label, "Name/Title:");
    EXPECT_EQ(r.GetInfo(1).text, "Nobody");
    EXPECT_STREQ(r.GetInfo(1).label, "Artist:");
    EXPECT_EQ(r.GetInfo(2).label, nullptr) << "an unknown id leaves its slot empty";
    EXPECT_EQ(r.GetInfo(2).text, "");
    EXPECT_EQ(r.GetInfo(3).text, "fourth");
    EXPECT_STREQ(r.GetInfo(3).label, "Comments:");
    EXPECT_EQ(r.GetInfo(4).chunk.ckid, mmioFOURCC(' ', ' ', ' ', ' '));
}

TEST(CWaveClipReader, KeepsAtMostTwentyThreeInfoTexts)
{
    TempFiles files;
    std::vector<std::pair<const char*, std::string>> texts;
    for (int i = 0; i < 30; ++i) texts.emplace_back("ICMT", "text " + std::to_string(i));
    CWaveClipReader r;
    ASSERT_EQ(r.Open(files.Write("i.wav", Wave(Concat({kFmt16Stereo, kData100, Info(texts)})))), S_OK);
    EXPECT_EQ(r.GetInfo(22).text, "text 22");
    EXPECT_EQ(r.GetInfo(23).text, "");
    EXPECT_EQ(r.GetInfo(23).chunk.ckid, mmioFOURCC(' ', ' ', ' ', ' '));
}

TEST(CWaveClipReader, ReadsAcidAndStrcAfterTheData)
{
    TempFiles files;
    CWaveClipReader r;
    // Flags: root note set (2) and stretch (4); looping (bit 0 clear).
    Bytes acid = Chunk("acid", Acid(0x6, 62, 4, 120.0f));
    Bytes strc = Chunk("strc", Strc({{0, 25, 1},    // a slice start
                                     {1, 40, 1},    // type 1: not a start
                                     {2, 50, 1},    // type 2: a start
                                     {0, 0, 1},     // position 0: the first slice already starts there
                                     {0, 60, 0},    // no marker: not a start
                                     {0, 75, 7}}));
    ASSERT_EQ(r.Open(files.Write("s.wav", Wave(Concat({kFmt16Stereo, kData100, acid, strc})))), S_OK);
    ASSERT_TRUE(r.HasAcid());
    EXPECT_TRUE(r.IsLooping());
    EXPECT_TRUE(r.IsRootNoteSet());
    EXPECT_TRUE(r.IsStretch());
    EXPECT_FALSE(r.IsDiskBased());
    EXPECT_EQ(r.GetRootNote(), 62);
    EXPECT_EQ(r.GetBeats(), 4u);
    EXPECT_FLOAT_EQ(r.GetTempo(), 120.0f);
    EXPECT_EQ(r.GetAcidSize(), 24u);
    ASSERT_TRUE(r.HasStrc());
    EXPECT_EQ(r.GetStrcValue(0), 11u);
    EXPECT_EQ(r.GetStrcValue(2), 33u);
    ASSERT_EQ(r.GetSliceCount(), 4);
    using P = std::pair<DWORD, DWORD>;
    EXPECT_EQ(r.GetSlice(0), P(0, 25));
    EXPECT_EQ(r.GetSlice(1), P(25, 25));
    EXPECT_EQ(r.GetSlice(2), P(50, 25));
    EXPECT_EQ(r.GetSlice(3), P(75, 25));
    EXPECT_EQ(r.GetSlice(4), P(0, 0));
    EXPECT_EQ(r.GetSlice(-1), P(0, 0));
}

TEST(CWaveClipReader, SliceListShapes)
{
    struct Case {
        const char* name;
        std::vector<StrcRecord> records;
        std::vector<std::pair<DWORD, DWORD>> slices;
    } cases[] = {
        {"no records: one slice over all frames", {}, {{0, 100}}},
        {"a start past the last frame is dropped", {{0, 40, 1}, {0, 100, 1}, {0, 250, 1}}, {{0, 40}, {40, 60}}},
        {"a start behind the previous one is dropped", {{0, 60, 1}, {0, 30, 1}, {0, 80, 1}},
         {{0, 60}, {60, 20}, {80, 20}}},
    };
    TempFiles files;
    for (auto& c : cases) {
        Bytes wav = Wave(Concat({kFmt16Stereo, kData100, Chunk("acid", Acid(0, 60, 4, 100)),
                                 Chunk("strc", Strc(c.records))}));
        CWaveClipReader r;
        ASSERT_EQ(r.Open(files.Write("s.wav", wav)), S_OK) << c.name;
        std::vector<std::pair<DWORD, DWORD>> got;
        for (int i = 0; i < r.GetSliceCount(); ++i) got.push_back(r.GetSlice(i));
        EXPECT_EQ(got, c.slices) << c.name;
    }
}

TEST(CWaveClipReader, FindsOptionalChunksOnlyAfterTheData)
{
    TempFiles files;
    CWaveClipReader r;
    Bytes acid = Chunk("acid", Acid(0, 60, 4, 100));
    Bytes strc = Chunk("strc", Strc({{0, 50, 1}}));
    ASSERT_EQ(r.Open(files.Write("b.wav", Wave(Concat({kFmt16Stereo, acid, strc, kData100})))), S_OK);
    EXPECT_FALSE(r.HasAcid());
    EXPECT_FALSE(r.HasStrc());
    EXPECT_EQ(r.GetSliceCount(), 0);
}

TEST(CWaveClipReader, RefusesWhatItCannotReadWithItsError)
{
    const Bytes fmtSized = Chunk("fmt ", Fmt(1, 2, 44100, 16));
    Bytes riffTooLong = Wave(Concat({kFmt16Stereo, kData100}));
    riffTooLong[4] += 16;  // the RIFF size runs past the end of the file
    Bytes cut = Wave(Concat({kFmt16Stereo, kData100}));
    cut.resize(cut.size() - 40);  // cut off inside the data, sizes unchanged
    struct Case {
        const char* name;
        Bytes file;
        MMRESULT error;
    } cases[] = {
        {"not RIFF", Concat({Chunk("JUNK", Bytes(12))}), MMIOERR_INVALIDFILE},
        {"RIFF but not WAVE", Form("RIFF", "AVI ", Concat({kFmt16Stereo, kData100})), MMIOERR_INVALIDFILE},
        {"empty file", Bytes{}, MMIOERR_INVALIDFILE},
        {"RIFF size past the end of the file", riffTooLong, MMIOERR_CANNOTREAD},
        {"file cut inside the data", cut, MMIOERR_CANNOTREAD},
        {"data chunk claims more than there is",
         Wave(Concat({kFmt16Stereo, Chunk("data", DataBytes(100), 4000)})), MMIOERR_CANNOTREAD},
        {"fmt chunk claims more than there is",
         Wave(Concat({Chunk("fmt ", Fmt(1, 2, 44100, 16), 1 << 20), kData100})), MMIOERR_CANNOTREAD},
        {"fmt chunk shorter than a PCM header",
         [] {
             Bytes f = Fmt(1, 2, 44100, 16);
             f.resize(12);
             return Wave(Concat({Chunk("fmt ", f), kData100}));
         }(),
         MMIOERR_CANNOTREAD},
        {"extra size past the fmt chunk", [&] {
             Bytes f = Fmt(3, 2, 44100, 32, -1, true, 0);
             f[16] = 200;  // claims 200 extra bytes that are not there
             return Wave(Concat({Chunk("fmt ", f), kData100}));
         }(), MMIOERR_CANNOTREAD},
        {"zero block align", Wave(Concat({Chunk("fmt ", Fmt(1, 2, 44100, 16, 0)), kData100})), MMIOERR_INVALIDFILE},
        {"block align smaller than a frame", Wave(Concat({Chunk("fmt ", Fmt(1, 2, 44100, 16, 2)), kData100})),
         MMIOERR_INVALIDFILE},
        {"three channels", Wave(Concat({Chunk("fmt ", Fmt(1, 3, 44100, 16)), Chunk("data", DataBytes(10, 6))})),
         MMIOERR_INVALIDFILE},
        {"no channels", Wave(Concat({Chunk("fmt ", Fmt(1, 0, 44100, 16, 2)), kData100})), MMIOERR_INVALIDFILE},
        {"zero-length data", Wave(Concat({kFmt16Stereo, Chunk("data", Bytes{})})), MMIOERR_INVALIDFILE},
        {"no data chunk", Wave(kFmt16Stereo), MMIOERR_CHUNKNOTFOUND},
        {"no fmt chunk", Wave(kData100), MMIOERR_CHUNKNOTFOUND},
        {"acid chunk shorter than its fields",
         Wave(Concat({kFmt16Stereo, kData100, Chunk("acid", Bytes(12))})), MMIOERR_CANNOTREAD},
        {"strc counts more records than it holds",
         Wave(Concat({kFmt16Stereo, kData100, Chunk("acid", Acid(0, 60, 4, 100)),
                      Chunk("strc", Strc({{0, 50, 1}}, 1000))})),
         MMIOERR_CANNOTREAD},
        {"strc count that would overflow",
         Wave(Concat({kFmt16Stereo, kData100, Chunk("acid", Acid(0, 60, 4, 100)),
                      Chunk("strc", Strc({{0, 50, 1}}, 0xFFFFFFFF))})),
         MMIOERR_CANNOTREAD},
        {"INFO text past the list", Wave(Concat({kFmt16Stereo, kData100, [] {
                                         Bytes t = Chunk("INAM", Bytes{'a', 0});
                                         t[4] = 100;
                                         return Form("LIST", "INFO", t);
                                     }()})),
         MMIOERR_CANNOTREAD},
    };
    TempFiles files;
    for (auto& c : cases) {
        CWaveClipReader r;
        EXPECT_EQ(r.Open(files.Write("bad.wav", c.file)), E_FAIL) << c.name;
        EXPECT_EQ(r.GetError(), c.error) << c.name;
        char buf[16];
        EXPECT_EQ(r.Read(buf, sizeof buf), 0) << c.name << ": nothing is served after a refusal";
    }
    CWaveClipReader r;
    EXPECT_EQ(r.Open("/nonexistent/clip.wav"), E_FAIL);
    EXPECT_EQ(r.GetError(), MMIOERR_CANNOTOPEN);
}

TEST(CWaveClipReader, OpensAgainAfterARefusal)
{
    TempFiles files;
    CWaveClipReader r;
    EXPECT_EQ(r.Open(files.Write("bad.wav", Wave(kData100))), E_FAIL);
    ASSERT_EQ(r.Open(files.Write("good.wav", Wave(Concat({kFmt16Stereo, kData100})))), S_OK);
    EXPECT_EQ(r.GetError(), 0u);
    EXPECT_EQ(r.GetFrames(), 100u);
}
