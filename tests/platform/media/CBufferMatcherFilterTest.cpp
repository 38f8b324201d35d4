#include <gtest/gtest.h>

#include <numeric>

#include "platform/media/CBufferMatcherFilter.h"
#include "tests/platform/media/FloatChain.h"

namespace {

using mvtest::FloatChain;

// n stereo frames counting up from `first` (left k, right -k).
std::vector<float> Frames(int first, int n)
{
    std::vector<float> v;
    for (int k = first; k < first + n; ++k) {
        v.push_back(static_cast<float>(k));
        v.push_back(-static_cast<float>(k));
    }
    return v;
}

}  // namespace

TEST(BufferMatcherFilter, IsMadeByItsClassIdentifierAndAnswersItsControlInterface)
{
    IBaseFilter* filter = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_BufferMatcherFilter, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&filter)));
    IBufferMatcher* control = nullptr;
    ASSERT_EQ(S_OK, filter->QueryInterface(IID_IBufferMatcher, reinterpret_cast<void**>(&control)));
    control->Release();
    EXPECT_EQ(0u, filter->Release());
}

TEST(BufferMatcherFilter, ReblocksToTheSegmentSize)
{
    struct Case {
        const char* name;
        int inFrames;
        int segmentFrames;
    } cases[] = {{"small into large", 100, 256}, {"large into small", 300, 64},
                 {"equal", 256, 256},            {"uneven", 97, 100}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FloatChain chain(CLSID_BufferMatcherFilter, 2, 2);
        auto* control = chain.Query<IBufferMatcher>(IID_IBufferMatcher);
        chain.Run();
        ASSERT_EQ(S_OK, control->SetSegmentSize(c.segmentFrames * 8));
        ASSERT_EQ(S_OK, control->SetBlockSize(c.segmentFrames * 8));
        const int pushes = 12;
        for (int i = 0; i < pushes; ++i)
            ASSERT_EQ(S_OK, chain.Push(Frames(i * c.inFrames, c.inFrames), chain.TimeOf(i * c.inFrames)));
        const int total = pushes * c.inFrames;
        ASSERT_EQ(static_cast<std::size_t>(total / c.segmentFrames), chain.blocks.size());
        for (std::size_t b = 0; b < chain.blocks.size(); ++b) {
            const int first = static_cast<int>(b) * c.segmentFrames;
            EXPECT_EQ(Frames(first, c.segmentFrames), chain.blocks[b].data) << b;
            // Within a unit of 100 ns: the stamps are converted from frames.
            EXPECT_NEAR(chain.TimeOf(first), chain.blocks[b].start, 1) << b;
        }
        auto* matcher = static_cast<CBufferMatcherFilter*>(chain.filter);
        EXPECT_EQ((total % c.segmentFrames) * 8, matcher->HeldBytes());
    }
}

// Whole segments arriving with nothing held pass straight across; between
// them, part blocks are held and lead the next segment out, in order and
// with their stamps.
TEST(BufferMatcherFilter, WholeSegmentsAndPartBlocksKeepTheirOrderAndStamps)
{
    FloatChain chain(CLSID_BufferMatcherFilter, 2, 2);
    auto* control = chain.Query<IBufferMatcher>(IID_IBufferMatcher);
    chain.Run();
    ASSERT_EQ(S_OK, control->SetSegmentSize(100 * 8));
    ASSERT_EQ(S_OK, control->SetBlockSize(100 * 8));
    const int sizes[] = {100, 50, 50, 100, 30, 100, 70, 100};
    int at = 0;
    for (int n : sizes) {
        ASSERT_EQ(S_OK, chain.Push(Frames(at, n), chain.TimeOf(at)));
        at += n;
    }
    ASSERT_EQ(6u, chain.blocks.size());
    for (std::size_t b = 0; b < chain.blocks.size(); ++b) {
        const int first = static_cast<int>(b) * 100;
        EXPECT_EQ(Frames(first, 100), chain.blocks[b].data) << b;
        EXPECT_NEAR(chain.TimeOf(first), chain.blocks[b].start, 1) << b;
    }
    EXPECT_EQ(0, static_cast<CBufferMatcherFilter*>(chain.filter)->HeldBytes());
}

TEST(BufferMatcherFilter, BeforeAnySizeBlocksPassAsTheyCome)
{
    FloatChain chain(CLSID_BufferMatcherFilter, 1, 1);
    auto* control = chain.Query<IBufferMatcher>(IID_IBufferMatcher);
    chain.Run();
    std::vector<float> a(37, 0.5f), b(5, -0.5f);
    chain.Push(a, 0, true);
    chain.Push(b);
    ASSERT_EQ(2u, chain.blocks.size());
    EXPECT_EQ(a, chain.blocks[0].data);
    EXPECT_TRUE(chain.blocks[0].discontinuity);
    EXPECT_EQ(b, chain.blocks[1].data);
    EXPECT_FALSE(chain.blocks[1].discontinuity);
    // Reset forgets a segment size and what was held.
    control->SetSegmentSize(400);
    chain.Push(b);
    EXPECT_EQ(2u, chain.blocks.size());
    ASSERT_EQ(S_OK, control->Reset());
    EXPECT_EQ(0, static_cast<CBufferMatcherFilter*>(chain.filter)->HeldBytes());
    chain.Push(a);
    EXPECT_EQ(a, chain.blocks.back().data);
}

TEST(BufferMatcherFilter, ADiscontinuityLeavesWithTheBlockThatCarriesIt)
{
    FloatChain chain(CLSID_BufferMatcherFilter, 2, 2);
    auto* control = chain.Query<IBufferMatcher>(IID_IBufferMatcher);
    chain.Run();
    control->SetSegmentSize(64 * 8);
    chain.Push(Frames(0, 48), chain.TimeOf(0));
    chain.Push(Frames(48, 48), chain.TimeOf(1000), true);
    chain.Push(Frames(96, 48), chain.TimeOf(1048));
    ASSERT_EQ(2u, chain.blocks.size());
    EXPECT_TRUE(chain.blocks[0].discontinuity);
    // Timed from the later stamp: the held frames came just before it.
    EXPECT_NEAR(chain.TimeOf(1000 - 48), chain.blocks[0].start, 1);
    EXPECT_FALSE(chain.blocks[1].discontinuity);
}

TEST(BufferMatcherFilter, SizesAreCheckedWithoutTakingThem)
{
    FloatChain chain(CLSID_BufferMatcherFilter, 2, 2);
    auto* control = chain.Query<IBufferMatcher>(IID_IBufferMatcher);
    chain.Run();
    EXPECT_EQ(E_INVALIDARG, control->SetSegmentSize(-8));
    EXPECT_EQ(E_INVALIDARG, control->SetSegmentSize(12));
    EXPECT_EQ(E_INVALIDARG, control->SetBlockSize(-8));
    EXPECT_EQ(E_INVALIDARG, control->SetBlockSize(4));
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, control->SetSegmentSize(1 << 24));
    EXPECT_EQ(VFW_E_BUFFER_OVERFLOW, control->SetBlockSize(1 << 28));
    EXPECT_EQ(S_OK, control->SetSegmentSize(0));
    // The refused sizes left the stream passing as it comes.
    chain.Push(Frames(0, 10));
    ASSERT_EQ(1u, chain.blocks.size());
    EXPECT_EQ(Frames(0, 10), chain.blocks[0].data);
}

TEST(BufferMatcherFilter, TheLargestSegmentNeverFillsTheRing)
{
    FloatChain chain(CLSID_BufferMatcherFilter, 2, 2);
    auto* control = chain.Query<IBufferMatcher>(IID_IBufferMatcher);
    chain.Run();
    // Segments as large as an output buffer, fed with whole input buffers.
    const LONG largest = 64 * 1024 / 8 * 8;
    ASSERT_EQ(S_OK, control->SetSegmentSize(largest));
    for (int i = 0; i < 40; ++i)
        ASSERT_EQ(S_OK, chain.Push(Frames(i * 8192, 8192))) << i;
    EXPECT_EQ(40u * 8192 * 8 / largest, chain.blocks.size());
}

TEST(BufferMatcherFilter, InputAndOutputHaveTheSameWidth)
{
    FloatChain chain(CLSID_BufferMatcherFilter, 2, 2);
    CMediaType mono = mvtest::FloatType(1), stereo = mvtest::FloatType(2), fast = mvtest::FloatType(2, 48000);
    IPin* out = chain.Pin(PINDIR_OUTPUT);
    EXPECT_EQ(S_FALSE, out->QueryAccept(&mono));
    EXPECT_EQ(S_FALSE, out->QueryAccept(&fast));
    EXPECT_EQ(S_OK, out->QueryAccept(&stereo));
}
