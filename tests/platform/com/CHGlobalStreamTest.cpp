#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"
#include "tests/platform/com/StreamTestValues.h"
#include "platform/com/Persist.h"

namespace {

using mvcom::CComPtr;
using mvtest::Move;
using mvtest::Size;

std::vector<BYTE> Bytes(std::size_t n, BYTE first = 1)
{
    std::vector<BYTE> v(n);
    std::iota(v.begin(), v.end(), first);
    return v;
}

CComPtr<IStream> NewStream()
{
    CComPtr<IStream> s;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, s.Put()), S_OK);
    return s;
}

ULONGLONG Position(IStream* s)
{
    ULARGE_INTEGER pos{};
    EXPECT_EQ(s->Seek(Move(0), STREAM_SEEK_CUR, &pos), S_OK);
    return pos.QuadPart;
}

ULONGLONG StatSize(IStream* s)
{
    STATSTG st{};
    EXPECT_EQ(s->Stat(&st, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(st.type, STGTY_STREAM);
    EXPECT_EQ(st.pwcsName, nullptr);
    return st.cbSize.QuadPart;
}

// A stream of ten bytes 1..10 standing at position 4.
class MemoryStream : public ::testing::Test {
protected:
    void SetUp() override
    {
        stream = NewStream();
        auto data = Bytes(10);
        ULONG written = 0;
        ASSERT_EQ(stream->Write(data.data(), 10, &written), S_OK);
        ASSERT_EQ(written, 10u);
        ASSERT_EQ(stream->Seek(Move(4), STREAM_SEEK_SET, nullptr), S_OK);
    }

    std::vector<BYTE> ReadAll(ULONG cb, ULONG& got)
    {
        std::vector<BYTE> buffer(cb, 0xEE);
        EXPECT_EQ(stream->Read(buffer.data(), cb, &got), S_OK);
        buffer.resize(got);
        return buffer;
    }

    CComPtr<IStream> stream;
};

TEST_F(MemoryStream, SeeksFromEveryOriginAndRefusesNegativePositions)
{
    struct Case {
        const char* name;
        DWORD origin;
        LONGLONG move;
        HRESULT hr;
        ULONGLONG position;  // where the stream stands afterwards
    };
    const Case cases[] = {
        {"set to start", STREAM_SEEK_SET, 0, S_OK, 0},
        {"set inside", STREAM_SEEK_SET, 7, S_OK, 7},
        {"set past end", STREAM_SEEK_SET, 15, S_OK, 15},
        {"set negative", STREAM_SEEK_SET, -1, STG_E_INVALIDFUNCTION, 4},
        {"cur back to start", STREAM_SEEK_CUR, -4, S_OK, 0},
        {"cur before start", STREAM_SEEK_CUR, -5, STG_E_INVALIDFUNCTION, 4},
        {"cur forward", STREAM_SEEK_CUR, 3, S_OK, 7},
        {"end", STREAM_SEEK_END, 0, S_OK, 10},
        {"end back to start", STREAM_SEEK_END, -10, S_OK, 0},
        {"end before start", STREAM_SEEK_END, -11, STG_E_INVALIDFUNCTION, 4},
        {"end past end", STREAM_SEEK_END, 5, S_OK, 15},
        {"cur overflowing", STREAM_SEEK_CUR, INT64_MAX, STG_E_INVALIDFUNCTION, 4},
        {"unknown origin", 3, 0, STG_E_INVALIDFUNCTION, 4},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(stream->Seek(Move(4), STREAM_SEEK_SET, nullptr), S_OK);
        ULARGE_INTEGER reported;
        reported.QuadPart = 0xDEADBEEF;
        EXPECT_EQ(stream->Seek(Move(c.move), c.origin, &reported), c.hr);
        if (SUCCEEDED(c.hr)) {
            EXPECT_EQ(reported.QuadPart, c.position);
        }
        EXPECT_EQ(Position(stream.Get()), c.position);
        EXPECT_EQ(StatSize(stream.Get()), 10u) << "a seek never changes the size";
    }
}

TEST_F(MemoryStream, ReadAtTheEndIsShortButSucceeds)
{
    ASSERT_EQ(stream->Seek(Move(6), STREAM_SEEK_SET, nullptr), S_OK);
    ULONG got = 99;
    EXPECT_EQ(ReadAll(8, got), (std::vector<BYTE>{7, 8, 9, 10}));
    EXPECT_EQ(got, 4u);
    EXPECT_EQ(Position(stream.Get()), 10u);

    ReadAll(8, got);
    EXPECT_EQ(got, 0u) << "at the end";

    ASSERT_EQ(stream->Seek(Move(15), STREAM_SEEK_SET, nullptr), S_OK);
    ReadAll(8, got);
    EXPECT_EQ(got, 0u) << "past the end";
    EXPECT_EQ(Position(stream.Get()), 15u);

    BYTE b = 0;
    EXPECT_EQ(stream->Read(&b, 1, nullptr), S_OK) << "the count pointer may be null";
    EXPECT_EQ(stream->Read(nullptr, 1, &got), STG_E_INVALIDPOINTER);
}

TEST_F(MemoryStream, WritingPastTheEndGrowsWithZeros)
{
    ASSERT_EQ(stream->Seek(Move(13), STREAM_SEEK_SET, nullptr), S_OK);
    const BYTE tail[2] = {0xAA, 0xBB};
    ULONG written = 0;
    ASSERT_EQ(stream->Write(tail, 2, &written), S_OK);
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(StatSize(stream.Get()), 15u);

    ASSERT_EQ(stream->Seek(Move(8), STREAM_SEEK_SET, nullptr), S_OK);
    ULONG got = 0;
    EXPECT_EQ(ReadAll(10, got), (std::vector<BYTE>{9, 10, 0, 0, 0, 0xAA, 0xBB}));
}

TEST_F(MemoryStream, SetSizeShrinksAndGrowsWithoutMovingThePosition)
{
    ASSERT_EQ(stream->Seek(Move(8), STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(stream->SetSize(Size(4)), S_OK);
    EXPECT_EQ(StatSize(stream.Get()), 4u);
    EXPECT_EQ(Position(stream.Get()), 8u);
    ULONG got = 99;
    ReadAll(4, got);
    EXPECT_EQ(got, 0u);

    ASSERT_EQ(stream->SetSize(Size(12)), S_OK);
    EXPECT_EQ(StatSize(stream.Get()), 12u);
    ASSERT_EQ(stream->Seek(Move(0), STREAM_SEEK_SET, nullptr), S_OK);
    EXPECT_EQ(ReadAll(20, got), (std::vector<BYTE>{1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0}))
        << "the bytes cut off earlier do not come back";
}

TEST_F(MemoryStream, CloneSharesTheDataAndKeepsItsOwnPosition)
{
    CComPtr<IStream> clone;
    ASSERT_EQ(stream->Clone(clone.Put()), S_OK);
    EXPECT_EQ(Position(clone.Get()), 4u);

    const BYTE b = 0x55;
    ASSERT_EQ(clone->Seek(Move(0), STREAM_SEEK_END, nullptr), S_OK);
    ASSERT_EQ(clone->Write(&b, 1, nullptr), S_OK);
    EXPECT_EQ(StatSize(stream.Get()), 11u);
    EXPECT_EQ(Position(stream.Get()), 4u);

    // The block outlives the first stream while the clone holds it.
    stream.Reset();
    ASSERT_EQ(clone->Seek(Move(-3), STREAM_SEEK_END, nullptr), S_OK);
    BYTE tail[3] = {};
    ULONG got = 0;
    ASSERT_EQ(clone->Read(tail, 3, &got), S_OK);
    EXPECT_EQ(got, 3u);
    EXPECT_EQ(tail[0], 9);
    EXPECT_EQ(tail[1], 10);
    EXPECT_EQ(tail[2], 0x55);
}

TEST_F(MemoryStream, CopyToMovesBytesFromThePosition)
{
    CComPtr<IStream> dest = NewStream();
    ULARGE_INTEGER read{}, written{};
    ASSERT_EQ(stream->CopyTo(dest.Get(), Size(3), &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 3u);
    EXPECT_EQ(written.QuadPart, 3u);
    EXPECT_EQ(Position(stream.Get()), 7u);

    // More than remains copies what there is.
    ASSERT_EQ(stream->CopyTo(dest.Get(), Size(100), &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 3u);
    EXPECT_EQ(written.QuadPart, 3u);

    ASSERT_EQ(dest->Seek(Move(0), STREAM_SEEK_SET, nullptr), S_OK);
    std::vector<BYTE> copied(10);
    ULONG got = 0;
    ASSERT_EQ(dest->Read(copied.data(), 10, &got), S_OK);
    copied.resize(got);
    EXPECT_EQ(copied, (std::vector<BYTE>{5, 6, 7, 8, 9, 10}));

    EXPECT_EQ(stream->CopyTo(nullptr, Size(1), nullptr, nullptr), STG_E_INVALIDPOINTER);
}

TEST_F(MemoryStream, CopyToItselfAppendsACopy)
{
    ASSERT_EQ(stream->Seek(Move(0), STREAM_SEEK_SET, nullptr), S_OK);
    CComPtr<IStream> tail;
    ASSERT_EQ(stream->Clone(tail.Put()), S_OK);
    ASSERT_EQ(tail->Seek(Move(0), STREAM_SEEK_END, nullptr), S_OK);
    ASSERT_EQ(stream->CopyTo(tail.Get(), Size(10), nullptr, nullptr), S_OK);
    EXPECT_EQ(StatSize(stream.Get()), 20u);
    HGLOBAL mem = nullptr;
    ASSERT_EQ(GetHGlobalFromStream(stream.Get(), &mem), S_OK);
    auto* data = static_cast<const BYTE*>(GlobalLock(mem));
    EXPECT_EQ(std::vector<BYTE>(data, data + 20), [] {
        auto v = Bytes(10);
        v.insert(v.end(), v.begin(), v.end());
        return v;
    }());
    GlobalUnlock(mem);
}

TEST_F(MemoryStream, CommitAndRevertDoNothing)
{
    EXPECT_EQ(stream->Commit(0), S_OK);
    EXPECT_EQ(stream->Revert(), S_OK);
    EXPECT_EQ(StatSize(stream.Get()), 10u);
}

TEST_F(MemoryStream, AnswersOnlyStreamInterfacesWithOneIdentity)
{
    CComPtr<IUnknown> unknown;
    CComPtr<ISequentialStream> sequential;
    ASSERT_EQ(stream->QueryInterface(IID_IUnknown, unknown.PutVoid()), S_OK);
    ASSERT_EQ(stream->QueryInterface(IID_ISequentialStream, sequential.PutVoid()), S_OK);
    EXPECT_EQ(static_cast<void*>(unknown.Get()), static_cast<void*>(stream.Get()));

    void* out = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(stream->QueryInterface(IID_IPersistStream, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
}

TEST(MemoryStreamBlock, StreamOverAnExistingBlockStartsWithItsBytesAndKeepsIt)
{
    HGLOBAL mem = GlobalAlloc(GHND, 4);
    ASSERT_NE(mem, nullptr);
    auto* p = static_cast<BYTE*>(GlobalLock(mem));
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(p[i], 0) << "zero-initialised";
    p[0] = 7;
    GlobalUnlock(mem);

    {
        CComPtr<IStream> stream;
        ASSERT_EQ(CreateStreamOnHGlobal(mem, FALSE, stream.Put()), S_OK);
        EXPECT_EQ(StatSize(stream.Get()), 4u);
        BYTE first = 0;
        ASSERT_EQ(stream->Read(&first, 1, nullptr), S_OK);
        EXPECT_EQ(first, 7);
        ASSERT_EQ(stream->Seek(Move(0), STREAM_SEEK_END, nullptr), S_OK);
        auto more = Bytes(3, 20);
        ASSERT_EQ(stream->Write(more.data(), 3, nullptr), S_OK);

        HGLOBAL back = nullptr;
        ASSERT_EQ(GetHGlobalFromStream(stream.Get(), &back), S_OK);
        EXPECT_EQ(back, mem);
    }

    // Not freed with the stream, and sized to what was written.
    ASSERT_EQ(GlobalSize(mem), 7u);
    p = static_cast<BYTE*>(GlobalLock(mem));
    EXPECT_EQ(std::vector<BYTE>(p, p + 7), (std::vector<BYTE>{7, 0, 0, 0, 20, 21, 22}));
    GlobalUnlock(mem);
    EXPECT_EQ(GlobalFree(mem), nullptr);
}

TEST(MemoryStreamBlock, ManySmallWritesKeepEveryByte)
{
    CComPtr<IStream> stream = NewStream();
    constexpr int kCount = 200000;
    for (int i = 0; i < kCount; ++i) {
        DWORD v = static_cast<DWORD>(i);
        ASSERT_EQ(stream->Write(&v, sizeof v, nullptr), S_OK);
    }
    HGLOBAL mem = nullptr;
    ASSERT_EQ(GetHGlobalFromStream(stream.Get(), &mem), S_OK);
    ASSERT_EQ(GlobalSize(mem), kCount * sizeof(DWORD));
    auto* words = static_cast<const DWORD*>(GlobalLock(mem));
    for (int i = 0; i < kCount; ++i)
        ASSERT_EQ(words[i], static_cast<DWORD>(i));
    GlobalUnlock(mem);
}

TEST(MemoryStreamBlock, GlobalBlocksReallocateLockAndFree)
{
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, 3);
    ASSERT_NE(mem, nullptr);
    auto* p = static_cast<BYTE*>(GlobalLock(mem));
    p[0] = 1, p[1] = 2, p[2] = 3;
    EXPECT_EQ(GlobalUnlock(mem), FALSE) << "no lock left";

    ASSERT_EQ(GlobalReAlloc(mem, 6, GMEM_MOVEABLE), mem);
    EXPECT_EQ(GlobalSize(mem), 6u);
    p = static_cast<BYTE*>(GlobalLock(mem));
    EXPECT_EQ(std::vector<BYTE>(p, p + 6), (std::vector<BYTE>{1, 2, 3, 0, 0, 0}));
    EXPECT_NE(GlobalLock(mem), nullptr);
    EXPECT_EQ(GlobalUnlock(mem), TRUE) << "still locked once";
    EXPECT_EQ(GlobalUnlock(mem), FALSE);

    HGLOBAL empty = GlobalAlloc(GMEM_MOVEABLE, 0);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(GlobalSize(empty), 0u);
    EXPECT_EQ(GlobalFree(empty), nullptr);
    EXPECT_EQ(GlobalFree(mem), nullptr);
    EXPECT_EQ(GlobalSize(nullptr), 0u);
}

TEST(MemoryStreamBlock, BadArgumentsAreRefused)
{
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, nullptr), E_INVALIDARG);
    CComPtr<IStream> stream = NewStream();
    EXPECT_EQ(GetHGlobalFromStream(stream.Get(), nullptr), E_INVALIDARG);
    HGLOBAL mem = reinterpret_cast<HGLOBAL>(0x1);
    EXPECT_EQ(GetHGlobalFromStream(nullptr, &mem), E_INVALIDARG);
    EXPECT_EQ(mem, nullptr);
    EXPECT_EQ(stream->Stat(nullptr, STATFLAG_DEFAULT), STG_E_INVALIDPOINTER);
    EXPECT_EQ(stream->Write(nullptr, 1, nullptr), STG_E_INVALIDPOINTER);
}

}  // namespace
