#include "model/CMfxBufferFactory.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <vector>

namespace {

// Holds one factory for a test; released at the end.
struct Factory {
    Factory() : f(new CMfxBufferFactory) {}
    ~Factory() { f->Release(); }
    CMfxBufferFactory* operator->() const { return f; }
    CMfxBufferFactory* f;
};

// A new block of `size` bytes and where its data lies.
BYTE* NewBlock(Factory& factory, DWORD size, HMFXBUFFER* handle)
{
    EXPECT_EQ(S_OK, factory->Alloc(size, handle));
    void* data = nullptr;
    DWORD got = 0;
    EXPECT_EQ(S_OK, factory->GetPointer(*handle, &data, &got));
    return static_cast<BYTE*>(data);
}

}  // namespace

TEST(CMfxBufferFactory, AllocatesTaggedZeroFilledBlocks)
{
    Factory factory;
    HMFXBUFFER h = 0;
    ASSERT_EQ(S_OK, factory->Alloc(10, &h));
    EXPECT_NE(0u, h);
    void* data = nullptr;
    DWORD size = 0;
    ASSERT_EQ(S_OK, factory->GetPointer(h, &data, &size));
    EXPECT_EQ(10u, size);
    const BYTE* block = static_cast<BYTE*>(data) - 8;
    EXPECT_EQ(0, std::memcmp(block, "MfxB", 4));
    DWORD stored = 0;
    std::memcpy(&stored, block + 4, 4);
    EXPECT_EQ(10u, stored);
    EXPECT_EQ(std::vector<BYTE>(10, 0), std::vector<BYTE>(block + 8, block + 18));

    EXPECT_EQ(E_POINTER, factory->Alloc(1, nullptr));
    EXPECT_EQ(E_POINTER, factory->GetPointer(h, nullptr, &size));
    EXPECT_EQ(E_POINTER, factory->GetPointer(h, &data, nullptr));
    HMFXBUFFER none = 5;
    EXPECT_EQ(E_OUTOFMEMORY, factory->Alloc(0xFFFFFFFF, &none));
    EXPECT_EQ(0u, none);
    EXPECT_EQ(S_OK, factory->Free(h));
}

TEST(CMfxBufferFactory, DuplicateCopiesWhatFits)
{
    Factory factory;
    HMFXBUFFER h = 0;
    std::memcpy(NewBlock(factory, 4, &h), "wxyz", 4);
    for (DWORD newSize : {2u, 4u, 6u}) {
        SCOPED_TRACE(newSize);
        HMFXBUFFER copy = 0;
        ASSERT_EQ(S_OK, factory->Duplicate(h, newSize, &copy));
        EXPECT_NE(h, copy);
        void* p = nullptr;
        DWORD n = 0;
        ASSERT_EQ(S_OK, factory->GetPointer(copy, &p, &n));
        EXPECT_EQ(newSize, n);
        EXPECT_EQ(0, std::memcmp(p, "wxyz\0\0", newSize));
        factory->Free(copy);
    }
    HMFXBUFFER copy = 9;
    EXPECT_EQ(E_INVALIDARG, factory->Duplicate(0x12345, 4, &copy));
    EXPECT_EQ(0u, copy);
    factory->Free(h);
}

// Plug-ins hand the factory the handle field of a packed event record, which
// sits at an odd address; the factory must store into it byte-wise.
TEST(CMfxBufferFactory, OutParametersMayBeFieldsOfPackedEventRecords)
{
    Factory factory;
    MfxEvent records[2] = {};
    ASSERT_EQ(S_OK, factory->Alloc(3, &records[0].m_buffer.handle));
    const HMFXBUFFER first = MfxCopy(records[0].m_buffer.handle);
    EXPECT_NE(0u, first);
    ASSERT_EQ(S_OK, factory->Duplicate(first, 5, &records[1].m_buffer.handle));
    const HMFXBUFFER second = MfxCopy(records[1].m_buffer.handle);
    EXPECT_NE(0u, second);
    EXPECT_NE(first, second);
    void* data = nullptr;
    ASSERT_EQ(S_OK, factory->GetPointer(second, &data, &records[0].m_dword));
    EXPECT_EQ(5u, MfxCopy(records[0].m_dword));
    EXPECT_EQ(S_OK, factory->Free(first));
    EXPECT_EQ(S_OK, factory->Free(second));
}

TEST(CMfxBufferFactory, HandlesAreTokensThatDieWithTheirBlock)
{
    Factory one;
    Factory other;
    HMFXBUFFER h = 0;
    ASSERT_EQ(S_OK, one->Alloc(3, &h));
    // Any factory resolves any live handle, as with addresses.
    EXPECT_TRUE(other->IsValidBuffer(h));
    ASSERT_EQ(S_OK, other->Free(h));
    EXPECT_FALSE(one->IsValidBuffer(h));
    void* data = nullptr;
    DWORD size = 0;
    EXPECT_EQ(E_INVALIDARG, one->GetPointer(h, &data, &size));
    EXPECT_EQ(E_INVALIDARG, one->Free(h));

    // The slot is reused, but the stale handle does not reach the new block.
    HMFXBUFFER again = 0;
    ASSERT_EQ(S_OK, one->Alloc(3, &again));
    EXPECT_NE(h, again);
    EXPECT_FALSE(one->IsValidBuffer(h));
    EXPECT_TRUE(one->IsValidBuffer(again));

    // Made-up handles resolve to nothing.
    for (HMFXBUFFER made : {0u, 1u, 0xFFFFFFFFu, 0x000FFFFFu, again ^ 0x00100000u})
        EXPECT_FALSE(one->IsValidBuffer(made)) << made;
    one->Free(again);
}

TEST(CMfxBufferFactory, ABlockWhoseTagWasOverwrittenIsInvalid)
{
    Factory factory;
    HMFXBUFFER h = 0;
    BYTE* tag = NewBlock(factory, 4, &h) - 8;
    tag[0] = 'X';
    void* data = nullptr;
    DWORD size = 0;
    EXPECT_EQ(E_INVALIDARG, factory->GetPointer(h, &data, &size));
    EXPECT_EQ(E_INVALIDARG, factory->Free(h));
    tag[0] = 'M';
    EXPECT_EQ(S_OK, factory->Free(h));
}

TEST(CMfxBufferFactory, ManyLiveBlocksHaveDistinctHandles)
{
    Factory factory;
    std::set<HMFXBUFFER> handles;
    for (int i = 0; i < 5000; ++i) {
        HMFXBUFFER h = 0;
        ASSERT_EQ(S_OK, factory->Alloc(static_cast<DWORD>(i % 7), &h));
        handles.insert(h);
    }
    EXPECT_EQ(5000u, handles.size());
    for (HMFXBUFFER h : handles)
        EXPECT_EQ(S_OK, factory->Free(h));
}

TEST(CMfxBufferFactory, AnswersItsInterface)
{
    Factory factory;
    void* p = nullptr;
    ASSERT_EQ(S_OK, factory->QueryInterface(IID_IMfxBufferFactory, &p));
    static_cast<IUnknown*>(p)->Release();
    p = factory.f;
    EXPECT_EQ(E_NOINTERFACE, factory->QueryInterface(IID_IMfxEventQueue, &p));
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(E_POINTER, factory->QueryInterface(IID_IUnknown, nullptr));
}

TEST(CMfxBufferFactory, FillReplacesTheDataWithinTheAllocatedSize)
{
    Factory factory;
    HMFXBUFFER h = 0;
    NewBlock(factory, 8, &h);
    const BYTE three[] = {0xF0, 0x01, 0xF7};
    const BYTE nine[9] = {};
    struct Case {
        const char* name;
        const BYTE* data;
        DWORD size;
        HRESULT expected;
        DWORD sizeAfter;
    };
    const Case cases[] = {
        {"shorter data", three, 3, S_OK, 3},
        {"grows back to the allocated size", nine, 8, S_OK, 8},
        {"larger than allocated: unchanged", nine, 9, E_OUTOFMEMORY, 8},
        {"no data", nullptr, 1, E_POINTER, 8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, factory->Fill(h, c.data, c.size));
        void* data = nullptr;
        DWORD size = 0;
        ASSERT_EQ(S_OK, factory->GetPointer(h, &data, &size));
        EXPECT_EQ(c.sizeAfter, size);
        if (c.expected == S_OK) {
            EXPECT_EQ(0, std::memcmp(data, c.data, c.size));
        }
    }
    ASSERT_EQ(S_OK, factory->Free(h));
    EXPECT_EQ(E_INVALIDARG, factory->Fill(h, three, 3));
}
