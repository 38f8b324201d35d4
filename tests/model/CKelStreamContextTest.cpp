#include "model/CKelStreamContext.h"

#include <gtest/gtest.h>

#include "tests/model/PersistTestSupport.h"

using namespace mvtest;

TEST(CKelStreamContext, OrdinalsCountPerMajor)
{
    CKelStreamContext c;
    DWORD ordinal = 99;
    ASSERT_EQ(S_OK, c.AddChunk(0x6014, 100, &ordinal));
    EXPECT_EQ(0u, ordinal);
    ASSERT_EQ(S_OK, c.AddChunk(0x6014, 200, &ordinal));
    EXPECT_EQ(1u, ordinal);
    ASSERT_EQ(S_OK, c.AddChunk(0x6015, 300, nullptr));

    ULONGLONG at = 0;
    ASSERT_EQ(S_OK, c.FindChunk(0x6014, 1, &at));
    EXPECT_EQ(200u, at);
    ASSERT_EQ(S_OK, c.FindChunk(0x6015, 0, &at));
    EXPECT_EQ(300u, at);
    EXPECT_EQ(E_FAIL, c.FindChunk(0x6015, 1, &at));
    EXPECT_EQ(E_INVALIDARG, c.FindChunk(0x6014, 0, nullptr));

    // The loaders' counters are the same counters.
    ASSERT_EQ(S_OK, c.NextOrdinal(0x6014, &ordinal));
    EXPECT_EQ(2u, ordinal);
    ASSERT_EQ(S_OK, c.NextOrdinal(0x6016, &ordinal));
    EXPECT_EQ(0u, ordinal);
    EXPECT_EQ(E_INVALIDARG, c.NextOrdinal(0x6016, nullptr));
}

TEST(CKelStreamContext, RemoveClearAndMode)
{
    CKelStreamContext c;
    c.AddChunk(0x6014, 1, nullptr);
    EXPECT_EQ(S_OK, c.RemoveChunk(0x6014, 0));
    EXPECT_EQ(S_FALSE, c.RemoveChunk(0x6014, 0));
    c.AddChunk(0x6014, 1, nullptr);
    EXPECT_EQ(S_OK, c.Clear());
    DWORD ordinal = 9;
    c.AddChunk(0x6014, 5, &ordinal);
    EXPECT_EQ(0u, ordinal);

    DWORD mode = 0;
    ASSERT_EQ(S_OK, c.GetMode(&mode));
    EXPECT_EQ(1u, mode);
    c.SetMode(0);
    ASSERT_EQ(S_OK, c.GetMode(&mode));
    EXPECT_EQ(0u, mode);
    EXPECT_EQ(E_INVALIDARG, c.GetMode(nullptr));
}

TEST(CKelStreamContext, AddingAnExistingKeyFails)
{
    CKelStreamContext c;
    // An entry loaded from a file occupies ordinal 0 before the counter moves.
    Bytes payload;
    Put<DWORD>(payload, 1);
    Put<WORD>(payload, 0x6014);
    Put<DWORD>(payload, 0);
    Put<ULONGLONG>(payload, 42);
    Bytes chunk;
    Put<ULONGLONG>(chunk, 12 + payload.size());
    Put<DWORD>(chunk, 0x00010000);
    chunk.insert(chunk.end(), payload.begin(), payload.end());
    ASSERT_EQ(S_OK, c.Load(StreamOf(chunk).Get()));
    EXPECT_EQ(E_FAIL, c.AddChunk(0x6014, 7, nullptr));
}

TEST(CKelStreamContext, SavesItsDirectoryInKeyOrder)
{
    CKelStreamContext empty;
    auto stream = NewMemoryStream();
    ASSERT_EQ(S_OK, empty.Save(stream.Get(), 1));
    Bytes expected;
    Put<ULONGLONG>(expected, 16);
    Put<DWORD>(expected, 0x00010000);
    Put<DWORD>(expected, 0);
    EXPECT_EQ(expected, StreamBytes(stream.Get()));

    CKelStreamContext c;
    c.AddChunk(0x6016, 0x30, nullptr);
    c.AddChunk(0x6014, 0x10, nullptr);
    c.AddChunk(0x6014, 0x20, nullptr);
    stream = NewMemoryStream();
    ASSERT_EQ(S_OK, c.Save(stream.Get(), 1));
    Bytes saved = StreamBytes(stream.Get());
    ASSERT_EQ(16u + 3 * 14u, saved.size());
    EXPECT_EQ(3u, Get<DWORD>(saved, 12));
    const struct {
        WORD major;
        DWORD ordinal;
        ULONGLONG position;
    } entries[] = {{0x6014, 0, 0x10}, {0x6014, 1, 0x20}, {0x6016, 0, 0x30}};
    for (std::size_t i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const std::size_t at = 16 + i * 14;
        EXPECT_EQ(entries[i].major, Get<WORD>(saved, at));
        EXPECT_EQ(entries[i].ordinal, Get<DWORD>(saved, at + 2));
        EXPECT_EQ(entries[i].position, Get<ULONGLONG>(saved, at + 6));
    }

    // Loading replaces the directory and restarts the counters.
    CKelStreamContext in;
    in.AddChunk(0x6020, 1, nullptr);
    ASSERT_EQ(S_OK, in.Load(StreamOf(saved).Get()));
    ULONGLONG at = 0;
    EXPECT_EQ(E_FAIL, in.FindChunk(0x6020, 0, &at));
    ASSERT_EQ(S_OK, in.FindChunk(0x6014, 1, &at));
    EXPECT_EQ(0x20u, at);
    DWORD ordinal = 9;
    in.NextOrdinal(0x6014, &ordinal);
    EXPECT_EQ(0u, ordinal);
}

TEST(CKelStreamContext, BadDirectoriesFailToLoad)
{
    CKelStreamContext c;
    c.AddChunk(0x6014, 0x10, nullptr);
    c.AddChunk(0x6014, 0x20, nullptr);
    auto stream = NewMemoryStream();
    ASSERT_EQ(S_OK, c.Save(stream.Get(), 1));
    const Bytes good = StreamBytes(stream.Get());

    Bytes duplicate = good;
    Patch<DWORD>(duplicate, 16 + 14 + 2, 0);  // second entry's ordinal = first's
    CKelStreamContext in;
    EXPECT_EQ(E_FAIL, in.Load(StreamOf(duplicate).Get()));

    // A count larger than the chunk holds is refused before any entry.
    Bytes huge = good;
    Patch<DWORD>(huge, 12, 0xFFFFFFFF);
    huge.resize(huge.size() + 1024, 0);
    EXPECT_EQ(STG_E_READFAULT, in.Load(StreamOf(huge).Get()));
}

TEST(CKelStreamContext, AnswersItsInterfaces)
{
    CKelStreamContext c;
    void* p = nullptr;
    ASSERT_EQ(S_OK, c.QueryInterface(IID_IKelStreamContext, &p));
    EXPECT_EQ(static_cast<IKelStreamContext*>(&c), p);
    ASSERT_EQ(S_OK, c.QueryInterface(IID_IPersistStreamInit, &p));
    EXPECT_EQ(static_cast<IPersistStreamInit*>(&c), p);
    ASSERT_EQ(S_OK, c.QueryInterface(IID_IUnknown, &p));
    EXPECT_EQ(static_cast<IPersistStreamInit*>(&c), p);
    EXPECT_EQ(E_NOTIMPL, c.QueryInterface(IID_IStream, &p));
    EXPECT_EQ(nullptr, p);
    // One count for both interface parts; it never deletes.
    IKelStreamContext* context = &c;
    EXPECT_EQ(2u, context->Release());
}
