#include <gtest/gtest.h>

#include <vector>

#include "engine/graph/CMediaSampleFifo.h"
#include "engine/graph/DxSampleOps.h"
#include "platform/media/CMemAllocator.h"

namespace {

// Committed allocators with `count` samples each, handed out and held.
struct Samples {
    explicit Samples(int count, bool engine)
    {
        if (engine) {
            CDxAllocator* dx = nullptr;
            CreateDxAllocator(&dx);
            allocator = dx;
        } else {
            CMemAllocator::Create(&allocator);
        }
        ALLOCATOR_PROPERTIES want{count, 32, 16, 0}, got{};
        allocator->SetProperties(&want, &got);
        allocator->Commit();
        for (int i = 0; i < count; ++i) {
            IMediaSample* s = nullptr;
            allocator->GetBuffer(&s, nullptr, nullptr, 0);
            held.push_back(s);
        }
    }
    ~Samples()
    {
        for (IMediaSample* s : held)
            s->Release();
        allocator->Decommit();
        allocator->Release();
    }
    // The sample's references besides ours.
    static ULONG Extra(IMediaSample* s)
    {
        s->AddRef();
        return s->Release() - 1;
    }
    IMemAllocator* allocator = nullptr;
    std::vector<IMediaSample*> held;
};

}  // namespace

TEST(MediaSampleFifo, AFullRingRefusesWithoutOverwritingOrKeeping)
{
    Samples s(CMediaSampleFifo::kCapacity + 1, true);
    CMediaSampleFifo fifo;
    for (int i = 0; i < CMediaSampleFifo::kCapacity; ++i)
        ASSERT_TRUE(fifo.Push(s.held[static_cast<std::size_t>(i)]));
    IMediaSample* extra = s.held.back();
    EXPECT_FALSE(fifo.Push(extra));
    EXPECT_EQ(0u, Samples::Extra(extra));
    EXPECT_EQ(s.held[0], fifo.Head());
    EXPECT_EQ(CMediaSampleFifo::kCapacity, fifo.Count());
}

TEST(MediaSampleFifo, PopsInOrderAndReleasesEachReference)
{
    Samples s(3, true);
    CMediaSampleFifo fifo;
    for (IMediaSample* x : s.held)
        fifo.Push(x);
    for (IMediaSample* x : s.held) {
        EXPECT_EQ(1u, Samples::Extra(x));
        EXPECT_EQ(x, fifo.Head());
        fifo.Pop();
        EXPECT_EQ(0u, Samples::Extra(x));
    }
    EXPECT_TRUE(fifo.Empty());
    fifo.Pop();
    EXPECT_EQ(nullptr, fifo.Head());
}

TEST(MediaSampleFifo, WrapsAroundTheRing)
{
    Samples s(2, true);
    CMediaSampleFifo fifo;
    for (int round = 0; round < 3 * CMediaSampleFifo::kCapacity; ++round) {
        ASSERT_TRUE(fifo.Push(s.held[round % 2]));
        ASSERT_TRUE(fifo.Push(s.held[(round + 1) % 2]));
        EXPECT_EQ(s.held[round % 2], fifo.Head());
        fifo.Pop();
        fifo.Pop();
    }
    EXPECT_EQ(0u, Samples::Extra(s.held[0]));
}

TEST(MediaSampleFifo, FlushAndDestructionReleaseEverything)
{
    Samples s(4, false);
    {
        CMediaSampleFifo fifo;
        for (IMediaSample* x : s.held)
            fifo.Push(x);
        fifo.Flush();
        EXPECT_TRUE(fifo.Empty());
        for (IMediaSample* x : s.held)
            EXPECT_EQ(0u, Samples::Extra(x));
        fifo.Push(s.held[0]);
    }
    EXPECT_EQ(0u, Samples::Extra(s.held[0]));
}

TEST(MediaSampleFifo, KeepsTheSilenceFaceOfEngineSamplesOnly)
{
    Samples engine(1, true), plain(1, false);
    CMediaSampleFifo fifo;
    fifo.Push(engine.held[0]);
    ASSERT_NE(nullptr, fifo.HeadFace());
    MarkSilent(engine.held[0]);
    EXPECT_TRUE(fifo.HeadFace()->GetZeroFillPending());
    fifo.Pop();
    fifo.Push(plain.held[0]);
    EXPECT_EQ(nullptr, fifo.HeadFace());
    fifo.Flush();
}
