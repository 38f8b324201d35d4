#include "model/CKelPersistArchive.h"

#include <gtest/gtest.h>

#include "tests/model/PersistTestSupport.h"
#include "tests/model/TestRecord.h"

using namespace mvtest;

namespace {

Bytes SavedText(CString* text)
{
    auto stream = NewMemoryStream();
    CKelPersistArchive archive(stream.Get(), TRUE, 1);
    EXPECT_EQ(S_OK, archive.PersistString(text));
    return StreamBytes(stream.Get());
}

}  // namespace

TEST(CKelPersistArchive, StringsCountTheirTerminatingZero)
{
    CString abc("abc");
    EXPECT_EQ((Bytes{4, 0, 0, 0, 'a', 'b', 'c', 0}), SavedText(&abc));
    CString empty;
    EXPECT_EQ((Bytes{1, 0, 0, 0, 0}), SavedText(&empty));
    EXPECT_EQ((Bytes{0, 0, 0, 0}), SavedText(nullptr));
}

TEST(CKelPersistArchive, StoredStringLengthsLoad)
{
    struct Case {
        const char* name;
        Bytes stored;
        const char* text;
    } cases[] = {
        {"text", {4, 0, 0, 0, 'a', 'b', 'c', 0}, "abc"},
        {"length 0", {0, 0, 0, 0}, ""},
        {"negative length", {0xFF, 0xFF, 0xFF, 0xFF}, ""},
        {"just the zero", {1, 0, 0, 0, 0}, ""},
        {"stops at the first zero", {4, 0, 0, 0, 'a', 0, 'c', 0}, "a"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto stream = StreamOf(c.stored);
        CKelPersistArchive archive(stream.Get(), FALSE, 1);
        CString text("old");
        ASSERT_EQ(S_OK, archive.PersistString(&text));
        EXPECT_EQ(CString(c.text), text);
        EXPECT_EQ(c.stored.size(), StreamPosition(stream.Get()));
    }
}

TEST(CKelPersistArchive, AStringLongerThanItsChunkFailsBeforeItIsRead)
{
    TestRecord r(0x60040000);
    r.m_name = "abc";
    auto out = NewMemoryStream();
    ASSERT_EQ(S_OK, r.Save(out.Get(), 1));
    Bytes saved = StreamBytes(out.Get());
    // The name's length claims nearly 2 GB inside a 24-byte chunk; plenty of
    // bytes follow the chunk, so only the bound can refuse it.
    Patch<DWORD>(saved, 16, 0x7FFFFFF0);
    saved.resize(saved.size() + 4096, 'x');
    TestRecord in(0x60040000);
    in.m_name = "kept";
    auto stream = StreamOf(saved);
    EXPECT_EQ(STG_E_READFAULT, in.Load(stream.Get()));
    EXPECT_EQ(CString("kept"), in.m_name);
    EXPECT_EQ(20u, StreamPosition(stream.Get()));
}

TEST(CKelPersistArchive, UnboundedStringsReadOnlyWhatArrives)
{
    // An archive made directly over a stream knows no chunk: a huge length
    // fails as a short read, and memory grows only with the bytes present.
    Bytes stored = {0xF0, 0xFF, 0xFF, 0x7F, 'a', 'b'};
    auto stream = StreamOf(stored);
    CKelPersistArchive archive(stream.Get(), FALSE, 1);
    CString text("old");
    EXPECT_EQ(STG_E_READFAULT, archive.PersistString(&text));
    EXPECT_EQ(CString("old"), text);
}

TEST(CKelPersistArchive, TransfersInsideAChunkStayInsideIt)
{
    auto stream = StreamOf(Bytes(16, 7));
    CKelPersistArchive archive(stream.Get(), FALSE, 1);
    archive.BoundToChunk(6);
    DWORD v = 0;
    ASSERT_EQ(S_OK, archive.PersistBytes(sizeof v, &v));
    EXPECT_EQ(S_OK, archive.CheckRemaining(2));
    EXPECT_EQ(STG_E_READFAULT, archive.CheckRemaining(3));
    EXPECT_EQ(STG_E_READFAULT, archive.PersistBytes(sizeof v, &v));
    EXPECT_EQ(4u, StreamPosition(stream.Get()));
    BOOL flag = FALSE;
    ASSERT_EQ(S_OK, archive.PersistBool(&flag));
    EXPECT_EQ(7, flag);  // the byte's value, zero-extended
}

TEST(CKelPersistArchive, BoolsAreOneByte)
{
    auto stream = NewMemoryStream();
    CKelPersistArchive archive(stream.Get(), TRUE, 1);
    BOOL yes = 42;
    BOOL no = 0;
    ASSERT_EQ(S_OK, archive.PersistBool(&yes));
    ASSERT_EQ(S_OK, archive.PersistBool(&no));
    EXPECT_EQ((Bytes{1, 0}), StreamBytes(stream.Get()));
}

TEST(CKelPersistArchive, MissingStreamOrAddress)
{
    CKelPersistArchive none(nullptr, TRUE, 1);
    DWORD v = 0;
    CString s;
    BOOL b = 0;
    EXPECT_EQ(E_FAIL, none.PersistBytes(4, &v));
    EXPECT_EQ(E_FAIL, none.PersistString(&s));
    EXPECT_EQ(E_FAIL, none.PersistBool(&b));
    TestRecord r(0x60040000);
    EXPECT_EQ(E_FAIL, none.PersistObject(&r));

    auto stream = NewMemoryStream();
    CKelPersistArchive saving(stream.Get(), TRUE, 1);
    EXPECT_EQ(E_POINTER, saving.PersistBytes(4, nullptr));
    EXPECT_EQ(E_POINTER, saving.PersistBool(nullptr));
    EXPECT_EQ(E_POINTER, saving.PersistObject(nullptr));
    CKelPersistArchive loading(stream.Get(), FALSE, 1);
    EXPECT_EQ(E_POINTER, loading.PersistString(nullptr));
}

TEST(CKelPersistArchive, NestedSavesGetTheArchivesClearDirtyValue)
{
    for (BOOL clearDirty : {0, 1}) {
        SCOPED_TRACE(clearDirty);
        TestRecord child(0x60040000);
        child.SetDirty();
        auto stream = NewMemoryStream();
        CKelPersistArchive archive(stream.Get(), TRUE, clearDirty);
        ASSERT_EQ(S_OK, archive.PersistObject(&child));
        EXPECT_EQ(clearDirty ? S_FALSE : S_OK, child.IsDirty());
    }
}
