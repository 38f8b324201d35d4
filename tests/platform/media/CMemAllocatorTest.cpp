#include <gtest/gtest.h>

#include <cstdint>

#include "platform/media/CMemAllocator.h"

namespace {

// Counts Free calls and notes its own destruction.
class CountingAllocator : public CMemAllocator {
public:
    CountingAllocator(int* frees, bool* gone) : CMemAllocator("counting", nullptr, nullptr), m_frees(frees), m_gone(gone) {}
    ~CountingAllocator() override { *m_gone = true; }

protected:
    void Free() override
    {
        ++*m_frees;
        CMemAllocator::Free();
    }

private:
    int* m_frees;
    bool* m_gone;
};

class ReleaseCounter : public IMemAllocatorNotifyCallbackTemp {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override
    {
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP NotifyRelease() override
    {
        ++releases;
        return S_OK;
    }
    int releases = 0;
};

struct AllocatorFixture : ::testing::Test {
    void SetUp() override
    {
        alloc = new CountingAllocator(&frees, &gone);
        alloc->AddRef();
    }
    void TearDown() override
    {
        if (!gone) {
            alloc->Decommit();
            alloc->Release();
        }
    }
    HRESULT Set(LONG count, LONG size, LONG align = 1, LONG prefix = 0)
    {
        ALLOCATOR_PROPERTIES req{count, size, align, prefix};
        return alloc->SetProperties(&req, &actual);
    }
    IMediaSample* Get()
    {
        IMediaSample* s = nullptr;
        EXPECT_EQ(S_OK, alloc->GetBuffer(&s, nullptr, nullptr, 0));
        return s;
    }

    int frees = 0;
    bool gone = false;
    CountingAllocator* alloc = nullptr;
    ALLOCATOR_PROPERTIES actual{};
};

}  // namespace

TEST_F(AllocatorFixture, AcceptsOnlyPowerOfTwoAlignmentsThatDivideTheGranularity)
{
    struct Case {
        LONG align;
        HRESULT expected;
    } cases[] = {{0, VFW_E_BADALIGN},  {-1, VFW_E_BADALIGN},   {3, VFW_E_BADALIGN},     {6, VFW_E_BADALIGN},
                 {100, VFW_E_BADALIGN}, {131072, VFW_E_BADALIGN}, {65537, VFW_E_BADALIGN}, {1, S_OK},
                 {2, S_OK},             {16, S_OK},             {4096, S_OK},           {65536, S_OK}};
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, Set(2, 100, c.align)) << "alignment " << c.align;
        if (FAILED(c.expected)) {
            EXPECT_EQ(0, actual.cbAlign) << "the result is zeroed on refusal";
        }
    }
}

TEST_F(AllocatorFixture, RoundsBufferAndPrefixToTheAlignmentAndAlignsEveryBuffer)
{
    ASSERT_EQ(S_OK, Set(3, 100, 64, 8));
    EXPECT_EQ(3, actual.cBuffers);
    EXPECT_EQ(120, actual.cbBuffer);  // 100 + 8 rounded to 128, less the prefix
    EXPECT_EQ(64, actual.cbAlign);
    EXPECT_EQ(8, actual.cbPrefix);
    ASSERT_EQ(S_OK, alloc->Commit());
    IMediaSample* s[3];
    for (auto& p : s) {
        p = Get();
        BYTE* data = nullptr;
        p->GetPointer(&data);
        EXPECT_EQ(0u, (reinterpret_cast<std::uintptr_t>(data) - 8) % 64);
        EXPECT_EQ(120, p->GetSize());
    }
    for (auto& p : s)
        p->Release();
}

TEST_F(AllocatorFixture, RefusesNegativeAndAbsurdSizes)
{
    EXPECT_EQ(E_INVALIDARG, Set(-1, 100));
    EXPECT_EQ(E_INVALIDARG, Set(2, -100));
    EXPECT_EQ(E_INVALIDARG, Set(2, 100, 1, -4));
    EXPECT_EQ(E_INVALIDARG, Set(2, 0x7FFFFFF0, 64));
    ASSERT_EQ(S_OK, Set(1000000, 1000000));
    EXPECT_EQ(E_OUTOFMEMORY, alloc->Commit());
    ASSERT_EQ(S_OK, Set(0, 100));
    EXPECT_EQ(VFW_E_SIZENOTSET, alloc->Commit());
}

TEST_F(AllocatorFixture, GetBufferNeverWaits)
{
    IMediaSample* s = nullptr;
    ASSERT_EQ(S_OK, Set(2, 64));
    EXPECT_EQ(VFW_E_NOT_COMMITTED, alloc->GetBuffer(&s, nullptr, nullptr, 0));
    ASSERT_EQ(S_OK, alloc->Commit());
    IMediaSample* a = Get();
    IMediaSample* b = Get();
    EXPECT_EQ(E_OUTOFMEMORY, alloc->GetBuffer(&s, nullptr, nullptr, 0));
    EXPECT_EQ(nullptr, s);
    a->Release();
    IMediaSample* c = Get();
    EXPECT_EQ(a, c) << "the returned sample is handed out again";
    b->Release();
    c->Release();
}

TEST_F(AllocatorFixture, PropertiesAreFixedWhileCommittedOrWhileSamplesAreOut)
{
    ASSERT_EQ(S_OK, Set(2, 64));
    ASSERT_EQ(S_OK, alloc->Commit());
    EXPECT_EQ(VFW_E_ALREADY_COMMITTED, Set(4, 64));
    IMediaSample* s = Get();
    ASSERT_EQ(S_OK, alloc->Decommit());
    EXPECT_EQ(VFW_E_BUFFERS_OUTSTANDING, Set(4, 64));
    s->Release();
    EXPECT_EQ(S_OK, Set(4, 64));
}

TEST_F(AllocatorFixture, DecommitFreesOnlyWhenTheLastSampleIsBack)
{
    ASSERT_EQ(S_OK, Set(2, 64));
    ASSERT_EQ(S_OK, alloc->Commit());
    IMediaSample* a = Get();
    IMediaSample* b = Get();
    ASSERT_EQ(S_OK, alloc->Decommit());
    IMediaSample* none = nullptr;
    EXPECT_EQ(VFW_E_NOT_COMMITTED, alloc->GetBuffer(&none, nullptr, nullptr, 0));
    EXPECT_EQ(0, frees);

    // Our own reference goes; the decommit's keeps the allocator alive.
    alloc->Release();
    EXPECT_FALSE(gone);
    a->Release();
    EXPECT_EQ(0, frees);
    EXPECT_FALSE(gone);
    b->Release();
    EXPECT_EQ(1, frees);
    EXPECT_TRUE(gone);
}

TEST_F(AllocatorFixture, DecommitWithEverySampleBackFreesAtOnce)
{
    ASSERT_EQ(S_OK, Set(2, 64));
    ASSERT_EQ(S_OK, alloc->Commit());
    Get()->Release();
    ASSERT_EQ(S_OK, alloc->Decommit());
    EXPECT_EQ(1, frees);
    EXPECT_EQ(S_OK, alloc->Decommit());
    EXPECT_EQ(1, frees);
}

TEST_F(AllocatorFixture, CommitCallsOffAPendingDecommit)
{
    ASSERT_EQ(S_OK, Set(2, 64));
    ASSERT_EQ(S_OK, alloc->Commit());
    IMediaSample* a = Get();
    ASSERT_EQ(S_OK, alloc->Decommit());
    ASSERT_EQ(S_OK, alloc->Commit());
    a->Release();
    EXPECT_EQ(0, frees);
    IMediaSample* b = Get();
    b->Release();
    ASSERT_EQ(S_OK, alloc->Decommit());
    EXPECT_EQ(1, frees);
}

TEST_F(AllocatorFixture, TellsTheReleaseCallbackAndCountsFreeSamples)
{
    ReleaseCounter counter;
    ASSERT_EQ(S_OK, alloc->SetNotify(&counter));
    ASSERT_EQ(S_OK, Set(3, 64));
    ASSERT_EQ(S_OK, alloc->Commit());
    LONG free = -1;
    IMediaSample* a = Get();
    alloc->GetFreeCount(&free);
    EXPECT_EQ(2, free);
    a->AddRef();
    a->Release();
    EXPECT_EQ(0, counter.releases);
    a->Release();
    EXPECT_EQ(1, counter.releases);
    alloc->GetFreeCount(&free);
    EXPECT_EQ(3, free);
    alloc->SetNotify(nullptr);
    alloc->Decommit();
}
