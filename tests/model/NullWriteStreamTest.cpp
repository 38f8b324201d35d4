#include "model/NullWriteStream.h"

#include <gtest/gtest.h>

#include "platform/com/TaskMemory.h"
#include "platform/win/WideString.h"

namespace {

HRESULT SeekBy(NullWriteStream& s, LONGLONG move, DWORD origin, ULONGLONG* at)
{
    LARGE_INTEGER m{};
    m.QuadPart = move;
    ULARGE_INTEGER now{};
    HRESULT hr = s.Seek(m, origin, &now);
    if (at)
        *at = now.QuadPart;
    return hr;
}

}  // namespace

TEST(NullWriteStream, SizeIsTheHighestPositionReached)
{
    NullWriteStream s;
    BYTE data[10] = {};
    ULONG written = 0;
    ASSERT_EQ(S_OK, s.Write(data, 10, &written));
    EXPECT_EQ(10u, written);
    ASSERT_EQ(S_OK, SeekBy(s, 0, STREAM_SEEK_SET, nullptr));
    ASSERT_EQ(S_OK, s.Write(data, 4, nullptr));
    EXPECT_EQ(10u, s.GetSize());
    ULONGLONG at = 0;
    ASSERT_EQ(S_OK, SeekBy(s, 6, STREAM_SEEK_END, &at));
    EXPECT_EQ(16u, at);
    EXPECT_EQ(16u, s.GetSize());
}

TEST(NullWriteStream, SeeksFollowTheirOrigin)
{
    struct Case {
        const char* name;
        LONGLONG move;
        DWORD origin;
        HRESULT expected;
        ULONGLONG position;
    } cases[] = {
        {"set", 3, STREAM_SEEK_SET, S_OK, 3},
        {"forward from current", 2, STREAM_SEEK_CUR, S_OK, 7},
        {"back to zero from current", -5, STREAM_SEEK_CUR, S_OK, 0},
        {"below zero from current", -6, STREAM_SEEK_CUR, STG_E_INVALIDFUNCTION, 5},
        {"back from the end", -8, STREAM_SEEK_END, S_OK, 0},
        {"below zero from the end", -9, STREAM_SEEK_END, STG_E_INVALIDFUNCTION, 5},
        {"negative set", -1, STREAM_SEEK_SET, STG_E_INVALIDFUNCTION, 5},
        {"unknown origin", 0, 3, STG_E_INVALIDFUNCTION, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        NullWriteStream s;
        BYTE data[8] = {};
        s.Write(data, 8, nullptr);
        SeekBy(s, 5, STREAM_SEEK_SET, nullptr);
        EXPECT_EQ(c.expected, SeekBy(s, c.move, c.origin, nullptr));
        ULONGLONG now = 0;
        SeekBy(s, 0, STREAM_SEEK_CUR, &now);
        EXPECT_EQ(c.position, now);
    }
    NullWriteStream s;
    LARGE_INTEGER zero{};
    EXPECT_EQ(STG_E_INVALIDPOINTER, s.Seek(zero, STREAM_SEEK_CUR, nullptr));
    ULONGLONG at = 0;
    EXPECT_EQ(STG_E_INVALIDFUNCTION, SeekBy(s, -1, STREAM_SEEK_CUR, &at));
}

TEST(NullWriteStream, ReadsAndOptionalOperationsAreNotImplemented)
{
    NullWriteStream s;
    BYTE b = 0;
    ULONG read = 5;
    EXPECT_EQ(E_NOTIMPL, s.Read(&b, 1, &read));
    EXPECT_EQ(0u, read);
    ULARGE_INTEGER size{};
    EXPECT_EQ(E_NOTIMPL, s.SetSize(size));
    EXPECT_EQ(E_NOTIMPL, s.Commit(0));
    IStream* clone = nullptr;
    EXPECT_EQ(E_NOTIMPL, s.Clone(&clone));
}

TEST(NullWriteStream, StatNamesItAndGivesItsSize)
{
    NullWriteStream s;
    BYTE data[7] = {};
    s.Write(data, 7, nullptr);
    STATSTG st{};
    ASSERT_EQ(S_OK, s.Stat(&st, STATFLAG_DEFAULT));
    ASSERT_NE(nullptr, st.pwcsName);
    EXPECT_EQ("NullWriteStream", mvwin::Utf16ToUtf8(st.pwcsName));
    EXPECT_EQ(static_cast<DWORD>(STGTY_STREAM), st.type);
    EXPECT_EQ(7u, st.cbSize.QuadPart);
    CoTaskMemFree(st.pwcsName);
    ASSERT_EQ(S_OK, s.Stat(&st, STATFLAG_NONAME));
    EXPECT_EQ(nullptr, st.pwcsName);
}

TEST(NullWriteStream, AnswersStreamInterfacesAndCountsWithoutDeleting)
{
    NullWriteStream s;
    for (const IID* iid : {&IID_IUnknown, &IID_ISequentialStream, &IID_IStream}) {
        void* p = nullptr;
        ASSERT_EQ(S_OK, s.QueryInterface(*iid, &p));
        EXPECT_EQ(static_cast<IStream*>(&s), p);
    }
    void* p = &s;
    EXPECT_EQ(E_NOTIMPL, s.QueryInterface(IID_IClassFactory, &p));
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(5u, s.AddRef());
    EXPECT_EQ(4u, s.Release());
}
