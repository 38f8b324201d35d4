#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>

#include "engine/graph/DxSampleOps.h"
#include "platform/media/CMemAllocator.h"

namespace {

struct DxAllocatorFixture : ::testing::Test {
    void SetUp() override { ASSERT_EQ(S_OK, CreateDxAllocator(&alloc)); }
    void TearDown() override
    {
        alloc->Decommit();
        alloc->Release();
    }
    HRESULT Set(LONG count, LONG size, LONG align = 1)
    {
        ALLOCATOR_PROPERTIES req{count, size, align, 0};
        return alloc->SetProperties(&req, &actual);
    }
    CDxAllocator* alloc = nullptr;
    ALLOCATOR_PROPERTIES actual{};
};

}  // namespace

TEST_F(DxAllocatorFixture, MakesTwoMoreBuffersThanAgreedAndNeverWaits)
{
    ASSERT_EQ(S_OK, Set(2, 256));
    ASSERT_EQ(S_OK, alloc->Commit());
    IMediaSample* out[4];
    for (auto& s : out)
        ASSERT_EQ(S_OK, alloc->GetBuffer(&s, nullptr, nullptr, 0));
    IMediaSample* fifth = nullptr;
    EXPECT_EQ(E_OUTOFMEMORY, alloc->GetBuffer(&fifth, nullptr, nullptr, 0));
    for (auto& s : out)
        s->Release();
}

TEST_F(DxAllocatorFixture, RefusesAlignmentsThatAreNotPowersOfTwoDividingTheGranularity)
{
    for (LONG align : {0, 3, 12, 65535, 131072})
        EXPECT_EQ(VFW_E_BADALIGN, Set(2, 256, align)) << align;
    EXPECT_EQ(S_OK, Set(2, 256, 65536));
}

TEST_F(DxAllocatorFixture, BuffersShareOnePageAlignedBlock)
{
    ASSERT_EQ(S_OK, Set(2, 100, 16));
    EXPECT_EQ(112, actual.cbBuffer);
    ASSERT_EQ(S_OK, alloc->Commit());
    IMediaSample* a = nullptr;
    IMediaSample* b = nullptr;
    alloc->GetBuffer(&a, nullptr, nullptr, 0);
    alloc->GetBuffer(&b, nullptr, nullptr, 0);
    BYTE* pa = nullptr;
    BYTE* pb = nullptr;
    a->GetPointer(&pa);
    b->GetPointer(&pb);
    const long long apart = std::llabs(static_cast<long long>(pa - pb));
    EXPECT_NE(0, apart);
    EXPECT_EQ(0, apart % 112);
    EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(pa) % 16);
    EXPECT_EQ(0u, reinterpret_cast<std::uintptr_t>(pb) % 16);
    a->Release();
    b->Release();
}

TEST_F(DxAllocatorFixture, HandsOutSamplesWithTheSilenceMarkCleared)
{
    ASSERT_EQ(S_OK, Set(1, 64));
    ASSERT_EQ(S_OK, alloc->Commit());
    // Mark every sample silent, give them back, and take them again.
    IMediaSample* s[3];
    for (auto& p : s) {
        ASSERT_EQ(S_OK, alloc->GetBuffer(&p, nullptr, nullptr, 0));
        MarkSilent(p);
        EXPECT_TRUE(IsZeroFillPending(p));
    }
    for (auto& p : s)
        p->Release();
    for (auto& p : s) {
        ASSERT_EQ(S_OK, alloc->GetBuffer(&p, nullptr, nullptr, 0));
        EXPECT_FALSE(IsZeroFillPending(p));
    }
    for (auto& p : s)
        p->Release();
}

TEST_F(DxAllocatorFixture, ResetBuffersDropsTheBlockOnlyWhenNoSampleCanStillUseIt)
{
    ASSERT_EQ(S_OK, Set(1, 64));
    ASSERT_EQ(S_OK, alloc->Commit());
    EXPECT_EQ(VFW_E_ALREADY_COMMITTED, alloc->ResetBuffers(0));
    IMediaSample* s = nullptr;
    alloc->GetBuffer(&s, nullptr, nullptr, 0);
    alloc->Decommit();
    EXPECT_EQ(VFW_E_BUFFERS_OUTSTANDING, alloc->ResetBuffers(0));
    s->Release();
    EXPECT_EQ(S_OK, alloc->ResetBuffers(5));
    ALLOCATOR_PROPERTIES props{};
    alloc->GetProperties(&props);
    EXPECT_EQ(5, props.cBuffers);
    EXPECT_EQ(0, props.cbBuffer);
    EXPECT_EQ(0, props.cbAlign);
    // Nothing agreed yet: committing has no size to make.
    EXPECT_EQ(VFW_E_SIZENOTSET, alloc->Commit());
}

TEST_F(DxAllocatorFixture, IsRecognisedAndAnswersItsOwnInterfaceFirst)
{
    CDxAllocator* found = nullptr;
    EXPECT_TRUE(IsDxAllocator(alloc, &found));
    EXPECT_EQ(found, alloc);
    for (const IID* iid : {&IID_IDeferZeroFillAllocator, &IID_IMemAllocator, &IID_IMemAllocatorCallbackTemp}) {
        IUnknown* itf = nullptr;
        EXPECT_EQ(S_OK, alloc->QueryInterface(*iid, reinterpret_cast<void**>(&itf)));
        itf->Release();
    }

    IMemAllocator* plain = nullptr;
    ASSERT_EQ(S_OK, CMemAllocator::Create(&plain));
    found = alloc;
    EXPECT_FALSE(IsDxAllocator(plain, &found));
    EXPECT_EQ(nullptr, found);
    plain->Release();
}

TEST(DxSampleOps, ForeignSamplesAreWrittenOrReadAsTheyAre)
{
    IMemAllocator* plain = nullptr;
    ASSERT_EQ(S_OK, CMemAllocator::Create(&plain));
    ALLOCATOR_PROPERTIES req{1, 32, 1, 0}, actual{};
    plain->SetProperties(&req, &actual);
    plain->Commit();
    IMediaSample* s = nullptr;
    ASSERT_EQ(S_OK, plain->GetBuffer(&s, nullptr, nullptr, 0));
    EXPECT_FALSE(IsZeroFillPending(s));
    ASSERT_EQ(S_OK, MarkSilent(s));
    EXPECT_FALSE(IsZeroFillPending(s));
    BYTE* p = nullptr;
    ASSERT_EQ(S_OK, GetWritePointer(s, &p));
    const float* f = reinterpret_cast<const float*>(p);
    const float expected[8] = {0, 0, 1e-20f, 1e-20f, 0, 0, 1e-20f, 1e-20f};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(expected[i], f[i]) << i;
    s->Release();
    plain->Decommit();
    plain->Release();
}
