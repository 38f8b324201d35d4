#include "plugins/loopplayer/cliplib/CLoopClipPool.h"

#include <gtest/gtest.h>

#include "plugins/loopplayer/cliplib/CLoopClip.h"
#include "tests/plugins/loopplayer/cliplib/WavBuilder.h"

namespace {

// A loaded clip with a sound, so copies can be told to share it.
CLoopClip* Loaded(TempFiles& files)
{
    Bytes data(400, 0x10);
    auto* clip = new CLoopClip(nullptr, nullptr);
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f.nChannels = 2;
    f.nSamplesPerSec = 8000;
    f.wBitsPerSample = 32;
    f.nBlockAlign = 8;
    f.nAvgBytesPerSec = 64000;
    const Bytes wav = Wave(Concat({Chunk("fmt ", Fmt(1, 2, 8000, 16)), Chunk("data", data)}));
    EXPECT_EQ(clip->LoadFromFile("source", files.Write("s.wav", wav), f, nullptr, false, false), S_OK);
    clip->SetStart(960, CLoopClip::kUnitTicks);
    clip->SetLength(3840, CLoopClip::kUnitTicks);
    clip->SetGain(1.5f);
    return clip;
}

TEST(CLoopClipPool, CopiesShareTheSoundAndStartEmpty)
{
    TempFiles files;
    CLoopClipPool pool;
    CLoopClip* source = Loaded(files);
    ASSERT_EQ(pool.Add(source, 1), S_OK);
    EXPECT_EQ(pool.Add(source, 1), E_INVALIDARG) << "the id is taken";

    CLoopClip* copy = nullptr;
    const DWORD id = 2;
    ASSERT_EQ(pool.AddCopy("copy", source, &id, &copy), S_OK);
    EXPECT_EQ(pool.Find(2), copy);
    EXPECT_EQ(copy->GetId(), 2u);
    EXPECT_EQ(copy->GetName(), "copy");
    EXPECT_EQ(copy->GetAudio(), source->GetAudio());
    EXPECT_EQ(copy->GetSliceCount(), source->GetSliceCount());
    EXPECT_NE(copy->GetSlice(0), source->GetSlice(0)) << "slices of its own";
    EXPECT_EQ(copy->GetStart(CLoopClip::kUnitFixedTicks), 0);
    EXPECT_EQ(copy->GetLength(CLoopClip::kUnitFixedTicks), 0);
    EXPECT_EQ(copy->GetGain(), 1.5f) << "the settings come along";

    const DWORD id3 = 3;
    ASSERT_EQ(pool.AddCopyOf("copy of", 1, &id3, &copy), S_OK);
    EXPECT_EQ(copy->GetAudio(), source->GetAudio());
    EXPECT_EQ(pool.AddCopyOf("x", 99, &id3, &copy), E_FAIL) << "no such source";
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(pool.AddCopy("x", source, &id3, &copy), E_INVALIDARG) << "the id is taken";
    EXPECT_EQ(pool.AddCopy("x", nullptr, nullptr, &copy), E_INVALIDARG) << "no source";

    ASSERT_EQ(pool.AddCopy("unnamed id", source, nullptr, &copy), S_OK);
    EXPECT_EQ(pool.Find(copy->GetId()), copy) << "kept under its own address";
    EXPECT_EQ(pool.Count(), 4u);
}

TEST(CLoopClipPool, LinkedClipsHoldTheirSource)
{
    TempFiles files;
    CLoopClipPool pool;
    CLoopClip* source = Loaded(files);
    ASSERT_EQ(pool.Add(source, 1), S_OK);
    CLoopClip* linked = nullptr;
    const DWORD id = 2;
    ASSERT_EQ(pool.AddLinked("linked", source, &id, &linked), S_OK);
    EXPECT_EQ(linked->GetLinkSource(), source);
    EXPECT_EQ(linked->GetAudio(), source->GetAudio());
    EXPECT_EQ(pool.ReleaseRef(1), S_OK);
    EXPECT_EQ(pool.Find(1), source) << "the link keeps the source alive";
    EXPECT_EQ(pool.ReleaseRef(2), S_OK);
    EXPECT_EQ(pool.Count(), 0u) << "the linked clip died and let its source go";
}

TEST(CLoopClipPool, ReleasingByIdKeepsTheEntryUntilTheClipDies)
{
    TempFiles files;
    CLoopClipPool pool;
    CLoopClip* clip = Loaded(files);
    ASSERT_EQ(pool.Add(clip, 5), S_OK);
    clip->AddRef();  // a player's
    EXPECT_EQ(pool.ReleaseRef(5), S_OK);
    EXPECT_EQ(pool.Find(5), clip);
    EXPECT_EQ(pool.ReleaseRef(6), S_FALSE);
    clip->Release();
    EXPECT_EQ(pool.Find(5), nullptr);
    EXPECT_EQ(pool.ReleaseRef(5), S_FALSE);
}

}  // namespace
