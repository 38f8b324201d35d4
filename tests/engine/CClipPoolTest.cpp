#include "engine/CClipPool.h"

#include <gtest/gtest.h>

#include <memory>

#include "engine/CEngineFactory.h"
#include "plugins/loopplayer/cliplib/CClipAudio.h"
#include "plugins/loopplayer/cliplib/CLoopClip.h"
#include "tests/plugins/loopplayer/cliplib/ClipHostFake.h"
#include "tests/plugins/loopplayer/cliplib/StateStream.h"

namespace {

CLoopClip* LibraryClip(ILoopClip* clip) { return static_cast<CPooledClip*>(clip)->GetLoopClip(); }

struct ClipPoolTest : ::testing::Test {
    static constexpr int kRate = 8000;
    TempFiles files;
    std::string loop = files.Write("loop.wav", FloatStereoLoop(kRate, kRate, 2, {0, 2000, 4000, 6000}));
    CClipPool pool;

    HRESULT AddFile(const std::string& path, DWORD id, ILoopClip** clip = nullptr, int* reason = nullptr,
                    bool forceNew = false, const char* name = nullptr)
    {
        return pool.AddClipFromFile(name, path, FloatFormat(kRate, 2), &id, nullptr, clip, reason, forceNew);
    }
};

}  // namespace

TEST_F(ClipPoolTest, ATakenIdIsRefusedAndThePoolIsLeftAsItWas)
{
    const DWORD id = 5;
    ILoopClip* first = nullptr;
    ASSERT_EQ(S_OK, pool.AddClip(&id, &first));
    ASSERT_NE(nullptr, first);

    ILoopClip* second = reinterpret_cast<ILoopClip*>(1);
    EXPECT_EQ(E_INVALIDARG, pool.AddClip(&id, &second));
    EXPECT_EQ(nullptr, second);
    int reason = -1;
    EXPECT_EQ(E_INVALIDARG, AddFile(loop, id, &second, &reason));
    EXPECT_EQ(nullptr, second);
    EXPECT_EQ(0, reason);
    EXPECT_EQ(1u, pool.Count());
    EXPECT_EQ(first, pool.GetClip(id));
    EXPECT_EQ(id, LibraryClip(first)->GetId()) << "the clip keeps its id for its state";
}

TEST_F(ClipPoolTest, AClipWithoutAnIdIsKeptUnderAnIdOfItsOwn)
{
    ILoopClip* a = nullptr;
    ILoopClip* b = nullptr;
    ASSERT_EQ(S_OK, pool.AddClip(nullptr, &a));
    ASSERT_EQ(S_OK, pool.AddClip(nullptr, &b));
    const DWORD idA = LibraryClip(a)->GetId(), idB = LibraryClip(b)->GetId();
    EXPECT_NE(idA, idB);
    EXPECT_EQ(a, pool.GetClip(idA));
    EXPECT_EQ(b, pool.GetClip(idB));

    // A clip's release leaves the pool; a clip made apart was never in it.
    a->Release();
    EXPECT_EQ(nullptr, pool.GetClip(idA));
    ILoopClip* apart = nullptr;
    ASSERT_EQ(S_OK, pool.CreateClip(&apart));
    EXPECT_EQ(1u, pool.Count());
    apart->Release();
    EXPECT_EQ(1u, pool.Count());
}

TEST_F(ClipPoolTest, TheSameFileTwiceSharesOneSampleStoreUnlessANewLoadIsForced)
{
    ILoopClip* first = nullptr;
    ILoopClip* second = nullptr;
    ILoopClip* forced = nullptr;
    ASSERT_EQ(S_OK, AddFile(loop, 1, &first));
    ASSERT_EQ(S_OK, AddFile(loop, 2, &second, nullptr, false, "again"));
    ASSERT_EQ(S_OK, AddFile(loop, 3, &forced, nullptr, true));
    CLoopClip* a = pool.Find(1);
    CLoopClip* b = pool.Find(2);
    CLoopClip* c = pool.Find(3);
    ASSERT_TRUE(a && b && c);
    ASSERT_NE(nullptr, a->GetAudio());
    EXPECT_EQ(a->GetAudio(), b->GetAudio());
    EXPECT_NE(a->GetAudio(), c->GetAudio());
    EXPECT_EQ("loop", a->GetName()) << "the file's base name";
    EXPECT_EQ("again", b->GetName());
    EXPECT_EQ(0, b->GetStart(CLoopClip::kUnitFixedTicks));
    EXPECT_EQ(0, b->GetLength(CLoopClip::kUnitFixedTicks));
    EXPECT_EQ(4, b->GetSliceCount()) << "it plays the other's slices";
    EXPECT_EQ(2u, b->GetId());

    // The first one's release from the pool keeps the sound of the second.
    first->Release();
    EXPECT_NE(nullptr, b->GetAudio());
    EXPECT_EQ(kRate, b->GetAudio()->GetFrames());
}

TEST_F(ClipPoolTest, TheLimitsRefuseOrCutAsTheirReasonSays)
{
    const std::string beats257 = files.Write("257.wav", FloatStereoLoop(kRate, 4 * kRate, 257, {0, kRate}));
    const std::string long61 = files.Write("long.wav", Pcm16Mono(kRate, 61 * kRate));
    const std::string longLoop = files.Write("longloop.wav", FloatStereoLoop(kRate, 61 * kRate, 4, {0, kRate}));
    struct Case {
        const char* name;
        std::string path;
        HRESULT result;
        int reason;
        LONG frames;  // of the loaded clip
    } cases[] = {
        {"a sliced loop of 257 beats", beats257, E_UNEXPECTED, CLoopClip::kReasonTooManyBeats, 0},
        {"a sliced loop of 61 seconds", longLoop, E_UNEXPECTED, CLoopClip::kReasonTooLong, 0},
        {"a one-shot of 61 seconds is cut to 60", long61, S_OK, 0, 60 * kRate},
    };
    DWORD id = 10;
    for (const Case& c : cases) {
        const size_t before = pool.Count();
        ILoopClip* clip = nullptr;
        int reason = -1;
        EXPECT_EQ(c.result, AddFile(c.path, ++id, &clip, &reason)) << c.name;
        EXPECT_EQ(c.reason, reason) << c.name;
        if (FAILED(c.result)) {
            EXPECT_EQ(nullptr, clip) << c.name;
            EXPECT_EQ(before, pool.Count()) << c.name;
            continue;
        }
        ASSERT_NE(nullptr, pool.Find(id)) << c.name;
        EXPECT_EQ(c.frames, pool.Find(id)->GetAudio()->GetFrames()) << c.name;
        // The last frame kept is the file's frame 60 x rate - 1.
        const float* samples = pool.Find(id)->GetAudio()->GetSamples();
        EXPECT_FLOAT_EQ(float(((c.frames - 1) % 20000) - 10000) / 32768.0f, samples[c.frames - 1]) << c.name;
    }

    // Raised limits take the 257 beats.
    pool.SetLimits(300, 60.0);
    EXPECT_EQ(S_OK, AddFile(beats257, 99));
}

TEST_F(ClipPoolTest, TheModelsFaceLoadsAFileAndReportsItsLengthInTicks)
{
    IClipPool& model = pool;
    const std::string beats257 = files.Write("257.wav", FloatStereoLoop(kRate, 4 * kRate, 257, {0, kRate}));
    const DWORD id = 42;
    ILoopClip* clip = nullptr;
    int reason = -1;
    ASSERT_EQ(S_OK, model.AddClipFromFile("Beat", loop.c_str(), FloatFormat(kRate, 2), &id, &clip, &reason, FALSE));
    ASSERT_EQ(pool.GetClip(id), clip);
    EXPECT_EQ(0, reason);
    EXPECT_EQ("Beat", pool.Find(id)->GetName());
    LONGLONG ticks = 0;
    ASSERT_EQ(S_OK, clip->GetLength(&ticks));
    EXPECT_EQ(1920, ticks) << "the loop's two beats";

    // Refused: the pool keeps only what it had.
    struct Case {
        const char* name;
        const char* path;
        DWORD id;
        HRESULT result;
        int reason;
    } cases[] = {
        {"no path", nullptr, 43, E_INVALIDARG, 0},
        {"a taken id", loop.c_str(), id, E_INVALIDARG, 0},
        {"a loop of 257 beats", beats257.c_str(), 44, E_UNEXPECTED, CLoopClip::kReasonTooManyBeats},
        {"no such file", "/nonexistent/loop.wav", 45, E_FAIL, 0},
    };
    for (const Case& c : cases) {
        ILoopClip* refused = reinterpret_cast<ILoopClip*>(1);
        reason = -1;
        const HRESULT hr = model.AddClipFromFile(nullptr, c.path, FloatFormat(kRate, 2), &c.id, &refused, &reason,
                                                 TRUE);
        if (c.result == E_FAIL) {
            EXPECT_TRUE(FAILED(hr)) << c.name;
        } else {
            EXPECT_EQ(c.result, hr) << c.name;
        }
        EXPECT_EQ(c.reason, reason) << c.name;
        EXPECT_EQ(nullptr, refused) << c.name;
        EXPECT_EQ(1u, pool.Count()) << c.name;
    }
}

TEST_F(ClipPoolTest, ModelPositionsAndSettingsReachTheClip)
{
    ILoopClip* face = nullptr;
    ASSERT_EQ(S_OK, AddFile(loop, 7, &face));
    CLoopClip* clip = LibraryClip(face);
    EXPECT_EQ(S_OK, face->SetStart(960, ILoopClip::kUnitTicks));
    EXPECT_EQ(S_OK, face->SetStart(4000, ILoopClip::kUnitFrames));
    EXPECT_EQ(S_OK, face->SetEnd(3 * 960, ILoopClip::kUnitTicks));
    EXPECT_EQ(S_OK, face->SetPlayPosition(480LL << 16, ILoopClip::kUnitFineTicks));
    EXPECT_EQ(S_OK, face->SetLength(8 * 960));
    EXPECT_EQ(S_OK, face->SetTranspose(-5));
    EXPECT_EQ(E_INVALIDARG, face->SetStart(1, 2));
    EXPECT_EQ(960LL << 16, clip->GetStart(CLoopClip::kUnitFixedTicks));
    EXPECT_EQ(4000, clip->GetStart(CLoopClip::kUnitSamples));
    EXPECT_EQ(2 * 960LL << 16, clip->GetLength(CLoopClip::kUnitFixedTicks));
    EXPECT_EQ(480LL << 16, clip->GetLoopOrigin(CLoopClip::kUnitFixedTicks));
    EXPECT_EQ(8 * 960LL << 16, clip->GetLoopLength(CLoopClip::kUnitFixedTicks));
    EXPECT_EQ(-5, clip->GetTranspose());

    // The settings a channel copies from a loaded state into the clip it
    // registers carry the place and the transpose.
    ILoopClip* target = nullptr;
    ASSERT_EQ(S_OK, pool.AddClip(nullptr, &target));
    LONGLONG value = 0;
    for (int setting = 0; setting < ILoopClip::kSelectorSettings; ++setting)
        for (int selector : {ILoopClip::kUnitFineTicks, ILoopClip::kUnitFrames}) {
            ASSERT_EQ(S_OK, face->GetSetting(setting, selector, &value));
            ASSERT_EQ(S_OK, target->SetSetting(setting, selector, value));
        }
    ASSERT_EQ(S_OK, face->GetSingleSetting(&value));
    ASSERT_EQ(S_OK, target->SetSingleSetting(value));
    EXPECT_EQ(E_INVALIDARG, face->GetSetting(ILoopClip::kSelectorSettings, 1, &value));
    const CLoopClip* copied = LibraryClip(target);
    for (int unit : {CLoopClip::kUnitFixedTicks, CLoopClip::kUnitSamples}) {
        EXPECT_EQ(clip->GetStart(unit), copied->GetStart(unit));
        EXPECT_EQ(clip->GetLoopOrigin(unit), copied->GetLoopOrigin(unit));
        EXPECT_EQ(clip->GetLength(unit), copied->GetLength(unit));
    }
    EXPECT_EQ(-5, copied->GetTranspose());
}

TEST_F(ClipPoolTest, APatternClipRoundTripsThroughTheModelsFaceUnderItsPoolId)
{
    ILoopClip* face = nullptr;
    ASSERT_EQ(S_OK, AddFile(loop, 21, &face));
    HRESULT hr = E_FAIL;
    const Bytes saved = SavedBytes([&](IStream* s) { return face->SaveProjectState(s, TRUE); }, &hr);
    ASSERT_EQ(S_OK, hr);

    // A fresh pool, as after a new start: the clip is added under its id,
    // loads its state and is handed the pool id again.
    CClipPool other;
    const DWORD id = 30;
    ILoopClip* loaded = nullptr;
    ASSERT_EQ(S_OK, other.AddClip(&id, &loaded));
    ASSERT_EQ(S_OK, LoadFromBytes(saved, [&](IStream* s) { return loaded->LoadProjectState(s); }));
    EXPECT_EQ(21u, LibraryClip(loaded)->GetId()) << "the state brings the id it was saved under";
    loaded->SetClipId(id);
    EXPECT_EQ(loaded, other.GetClip(id));
    EXPECT_EQ(id, LibraryClip(loaded)->GetId());
    EXPECT_EQ(loop, LibraryClip(loaded)->GetPath());
    ASSERT_NE(nullptr, LibraryClip(loaded)->GetAudio());
    EXPECT_EQ(kRate, LibraryClip(loaded)->GetAudio()->GetFrames());
}

TEST_F(ClipPoolTest, TheLoopPlayerAddsToTheSameMapThatTheModelReads)
{
    ASSERT_EQ(S_OK, AddFile(loop, 40, nullptr));
    auto* player = static_cast<CLoopClipPool*>(pool.GetPlayerPool());
    const DWORD instance = 41;
    CLoopClip* copy = nullptr;
    ASSERT_EQ(S_OK, player->AddCopyOf("instance", 40, &instance, &copy));
    ILoopClip* seen = pool.GetClip(instance);
    ASSERT_NE(nullptr, seen);
    EXPECT_EQ(copy, LibraryClip(seen));
    EXPECT_EQ(S_OK, player->ReleaseRef(instance));
    EXPECT_EQ(nullptr, pool.GetClip(instance)) << "the clip died with its last reference";
}

TEST(CEngineFactory, MakesTheRealClipPoolWithItsDefaultLimits)
{
    CEngineFactory factory;
    std::unique_ptr<IClipPoolLimits> made(factory.CreateClipPool());
    auto* pool = dynamic_cast<CClipPool*>(made.get());
    ASSERT_NE(nullptr, pool);
    EXPECT_EQ(static_cast<IClipPool*>(pool), made->GetClipPool());
    EXPECT_EQ(256, pool->GetBeatLimit());
    EXPECT_EQ(60.0, pool->GetSecondsLimit());
}
