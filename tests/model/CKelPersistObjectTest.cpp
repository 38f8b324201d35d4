#include "model/CKelPersistObject.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "platform/sync/CriticalSection.h"
#include "tests/model/PersistTestSupport.h"
#include "tests/model/TestRecord.h"

using namespace mvtest;

namespace {

constexpr DWORD kSingle = 0x60040000;  // major 0x6004, minor 0
constexpr DWORD kMulti = 0x60030002;   // major 0x6003, chunks 0..2

Bytes Chunk(DWORD word, const Bytes& payload)
{
    Bytes out(12 + payload.size());
    Patch<ULONGLONG>(out, 0, out.size());
    Patch<DWORD>(out, 8, word);
    std::copy(payload.begin(), payload.end(), out.begin() + 12);
    return out;
}

Bytes Text(const char* s)
{
    Bytes out;
    Put<DWORD>(out, static_cast<DWORD>(std::strlen(s) + 1));
    out.insert(out.end(), s, s + std::strlen(s) + 1);
    return out;
}

Bytes Cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes U32(DWORD v)
{
    Bytes out;
    Put(out, v);
    return out;
}

Bytes Saved(CKelPersistObject& object, BOOL clearDirty = 1)
{
    auto stream = NewMemoryStream();
    EXPECT_EQ(S_OK, object.Save(stream.Get(), clearDirty));
    return StreamBytes(stream.Get());
}

// A record of the multi-chunk kind with every field set.
void Fill(TestRecord& r)
{
    r.m_number = 0x01020304;
    r.m_name = "abc";
    r.m_flag = TRUE;
    r.m_extra = 99;
}

Bytes MultiBytes()
{
    return Chunk(kMulti, Cat({Chunk(0x60030000, Cat({U32(0x01020304), Text("abc")})), Chunk(0x60030001, {}),
                              Chunk(0x60030002, {1})}));
}

}  // namespace

TEST(CKelPersistObject, SingleChunkIsLengthWordAndPayload)
{
    TestRecord r(kSingle);
    r.m_number = 5;
    r.m_name = "hello world";  // 4 + 4 + 12 = 20 payload bytes
    Bytes saved = Saved(r);
    ASSERT_EQ(32u, saved.size());
    EXPECT_EQ(32u, Get<ULONGLONG>(saved, 0));
    EXPECT_EQ(0x60040000u, Get<DWORD>(saved, 8));
    EXPECT_EQ(Chunk(kSingle, Cat({U32(5), Text("hello world")})), saved);
}

TEST(CKelPersistObject, MultiChunkWritesEverySubChunkAlsoWhenEmpty)
{
    TestRecord r(kMulti);
    Fill(r);
    Bytes saved = Saved(r);
    EXPECT_EQ(MultiBytes(), saved);
    // The empty sub-chunk 1 is a bare 12-byte header.
    const std::size_t sub1 = 12 + 12 + 4 + 8;
    EXPECT_EQ(12u, Get<ULONGLONG>(saved, sub1));
    EXPECT_EQ(0x60030001u, Get<DWORD>(saved, sub1 + 8));
}

TEST(CKelPersistObject, NestedObjectIsACompleteChunkInsideItsParent)
{
    TestRecord child(kSingle);
    child.m_number = 2;
    child.m_name = "c";
    TestRecord parent(0x60020000, &child);
    parent.m_number = 1;
    parent.m_name = "p";
    Bytes expected = Chunk(0x60020000, Cat({U32(1), Text("p"), Chunk(kSingle, Cat({U32(2), Text("c")}))}));
    EXPECT_EQ(expected, Saved(parent));
}

TEST(CKelPersistObject, GetSizeMaxCountsExactlyWhatSaveWrites)
{
    TestRecord emptySingle(kSingle);
    TestRecord single(kSingle);
    single.m_name = "some text";
    TestRecord multi(kMulti);
    Fill(multi);
    TestRecord emptyMulti(kMulti);  // empty name, all chunks small
    TestRecord emptyLast(0x60030001);  // its highest sub-chunk has no payload
    TestRecord child(kMulti);
    Fill(child);
    TestRecord nested(0x60020000, &child);
    struct Case {
        const char* name;
        TestRecord* object;
    } cases[] = {{"empty single", &emptySingle}, {"single", &single},  {"multi", &multi},
                 {"empty multi", &emptyMulti},   {"empty last sub-chunk", &emptyLast}, {"nested", &nested}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ULARGE_INTEGER size{};
        ASSERT_EQ(S_OK, c.object->GetSizeMax(&size));
        EXPECT_EQ(Saved(*c.object).size(), size.QuadPart);
    }
    ULARGE_INTEGER size{};
    ASSERT_EQ(S_OK, emptySingle.GetSizeMax(&size));
    EXPECT_EQ(12u + 4u + 5u, size.QuadPart);
    EXPECT_EQ(E_POINTER, single.GetSizeMax(nullptr));
}

TEST(CKelPersistObject, MeasuringLeavesNestedObjectsDirty)
{
    TestRecord child(kSingle);
    child.SetDirty();
    TestRecord parent(kSingle, &child);
    ULARGE_INTEGER size{};
    ASSERT_EQ(S_OK, parent.GetSizeMax(&size));
    EXPECT_EQ(S_OK, child.IsDirty());
    Saved(parent, 1);
    EXPECT_EQ(S_FALSE, child.IsDirty());
}

TEST(CKelPersistObject, RoundTripsThroughAMemoryStream)
{
    TestRecord child(kSingle);
    child.m_number = 77;
    child.m_name = "inner";
    TestRecord out(kMulti, &child);
    Fill(out);
    Bytes saved = Saved(out);

    TestRecord childIn(kSingle);
    TestRecord in(kMulti, &childIn);
    auto stream = StreamOf(saved);
    ASSERT_EQ(S_OK, in.Load(stream.Get()));
    EXPECT_EQ(saved.size(), StreamPosition(stream.Get()));
    EXPECT_EQ(out.m_number, in.m_number);
    EXPECT_EQ(out.m_name, in.m_name);
    EXPECT_EQ(TRUE, in.m_flag);
    EXPECT_EQ(77u, childIn.m_number);
    EXPECT_EQ(CString("inner"), childIn.m_name);
    EXPECT_EQ(saved, Saved(in));
}

TEST(CKelPersistObject, ClearDirtyOnlyWhenAskedWithOne)
{
    for (BOOL clearDirty : {0, 1, 2}) {
        SCOPED_TRACE(clearDirty);
        TestRecord r(kSingle);
        r.SetDirty();
        EXPECT_EQ(S_OK, r.IsDirty());
        Saved(r, clearDirty);
        EXPECT_EQ(clearDirty == 1 ? S_FALSE : S_OK, r.IsDirty());
    }
}

TEST(CKelPersistObject, MultiChunkLoadClearsDirtySingleChunkLoadLeavesIt)
{
    TestRecord multiOut(kMulti);
    TestRecord singleOut(kSingle);
    TestRecord multiIn(kMulti);
    TestRecord singleIn(kSingle);
    multiIn.SetDirty();
    singleIn.SetDirty();
    ASSERT_EQ(S_OK, multiIn.Load(StreamOf(Saved(multiOut)).Get()));
    ASSERT_EQ(S_OK, singleIn.Load(StreamOf(Saved(singleOut)).Get()));
    EXPECT_EQ(S_FALSE, multiIn.IsDirty());
    EXPECT_EQ(S_OK, singleIn.IsDirty());
}

TEST(CKelPersistObject, QueryInterfaceAnswersOnlyUnknownAndPersistStreamInit)
{
    TestRecord r(kSingle);
    void* p = nullptr;
    ASSERT_EQ(S_OK, r.QueryInterface(IID_IPersistStreamInit, &p));
    EXPECT_EQ(static_cast<IPersistStreamInit*>(&r), p);
    ASSERT_EQ(S_OK, r.QueryInterface(IID_IUnknown, &p));
    EXPECT_EQ(static_cast<IPersistStreamInit*>(&r), p);
    EXPECT_EQ(1u, r.Release());

    for (const IID* iid : {&IID_IPersistStream, &IID_IPersist, &IID_IStream}) {
        p = &r;
        EXPECT_EQ(E_NOTIMPL, r.QueryInterface(*iid, &p));
        EXPECT_EQ(nullptr, p);
    }
    EXPECT_EQ(E_POINTER, r.QueryInterface(IID_IUnknown, nullptr));
}

TEST(CKelPersistObject, ReleaseCountsDownButNeverDeletes)
{
    auto* r = new TestRecord(kSingle);
    EXPECT_EQ(1u, r->AddRef());
    EXPECT_EQ(0u, r->Release());
    r->m_number = 3;  // still alive: the owner deletes it
    TestRecord copy(*r);
    EXPECT_EQ(1u, copy.AddRef());
    delete r;
}

TEST(CKelPersistObject, ClassIdIsNullAndSFalse)
{
    TestRecord r(kSingle);
    CLSID clsid = IID_IStream;
    EXPECT_EQ(S_FALSE, r.GetClassID(&clsid));
    EXPECT_EQ(GUID_NULL, clsid);
    EXPECT_EQ(E_POINTER, r.GetClassID(nullptr));
    EXPECT_EQ(S_OK, r.InitNew());
}

TEST(CKelPersistObject, ChunkSlotsCheckTheVersionWord)
{
    TestRecord r(kMulti);
    auto stream = NewMemoryStream();
    ULONGLONG n = 0;
    for (DWORD word : {0x60040000u, 0x60030003u}) {
        SCOPED_TRACE(word);
        EXPECT_EQ(E_INVALIDARG, r.LoadChunk(word, stream.Get(), 0));
        EXPECT_EQ(E_INVALIDARG, r.SaveChunk(word, stream.Get(), &n, 1));
        EXPECT_EQ(E_INVALIDARG, r.MeasureChunk(word, &n));
    }
    EXPECT_EQ(E_POINTER, r.SaveChunk(0x60030001, stream.Get(), nullptr, 1));
    EXPECT_EQ(E_POINTER, r.MeasureChunk(0x60030001, nullptr));
    EXPECT_EQ(S_OK, r.MeasureChunk(0x60030002, &n));
    EXPECT_EQ(1u, n);
    EXPECT_EQ(S_OK, r.SaveChunk(0x60030000, stream.Get(), &n, 1));
    EXPECT_EQ(8u + 1u, n);
}

TEST(CKelPersistObject, NullStreamIsAnInvalidPointer)
{
    TestRecord r(kSingle);
    EXPECT_EQ(STG_E_INVALIDPOINTER, r.Save(nullptr, 1));
    EXPECT_EQ(STG_E_INVALIDPOINTER, r.Load(nullptr));
    EXPECT_EQ(STG_E_INVALIDPOINTER, r.LoadFromContext(nullptr, 0, FALSE));
}

TEST(CKelPersistObject, UnknownChunkCodeOfTheClassIsReturned)
{
    // A class whose minor is above what it knows: chunk 4 is not one of its own.
    TestRecord r(0x60030004);
    auto stream = NewMemoryStream();
    EXPECT_EQ(KELPERSIST_E_UNKNOWNCHUNK, r.Save(stream.Get(), 1));
    ULARGE_INTEGER size{};
    EXPECT_EQ(KELPERSIST_E_UNKNOWNCHUNK, r.GetSizeMax(&size));
}

TEST(CKelPersistObject, NewerMultiChunkFileSkipsUnknownSubChunks)
{
    TestRecord newer(0x60030003);
    Fill(newer);
    auto stream = StreamOf(Saved(newer));
    TestRecord r(kMulti);
    ASSERT_EQ(S_OK, r.Load(stream.Get()));
    EXPECT_EQ(newer.m_number, r.m_number);
    EXPECT_EQ(TRUE, r.m_flag);
    EXPECT_EQ(0u, r.m_extra);
    EXPECT_EQ(3, r.m_chunkCalls);
    EXPECT_EQ(Saved(newer).size(), StreamPosition(stream.Get()));
}

TEST(CKelPersistObject, OlderMultiChunkFileKeepsDefaultsOfMissingChunks)
{
    TestRecord older(0x60030001);
    Fill(older);
    TestRecord r(kMulti);
    r.m_flag = 7;
    ASSERT_EQ(S_OK, r.Load(StreamOf(Saved(older)).Get()));
    EXPECT_EQ(older.m_number, r.m_number);
    EXPECT_EQ(7, r.m_flag);
}

TEST(CKelPersistObject, SingleChunkClassReadsTheFirstChunkOfItsNewerFormat)
{
    // Every class starts its chunks at 0, so a newer format of a minor-0 class
    // is a multi-chunk one: chunk 0 is read and the rest skipped.
    TestRecord newer(0x60040002);
    Fill(newer);
    TestRecord r(kSingle);
    ASSERT_EQ(S_OK, r.Load(StreamOf(Saved(newer)).Get()));
    EXPECT_EQ(newer.m_number, r.m_number);
    EXPECT_EQ(newer.m_name, r.m_name);
    EXPECT_EQ(FALSE, r.m_flag);
    // Handed a chunk of a newer single-chunk format directly, the class
    // refuses it.
    EXPECT_EQ(E_INVALIDARG, r.LoadChunk(0x60040001, StreamOf(U32(1)).Get(), 4));
}

TEST(CKelPersistObject, ChunkOfAnotherClassFailsBeforeAnyFieldIsRead)
{
    TestRecord other(0x60050000);
    other.m_number = 9;
    TestRecord r(kSingle);
    r.m_number = 1;
    EXPECT_EQ(STG_E_INVALIDHEADER, r.Load(StreamOf(Saved(other)).Get()));
    EXPECT_EQ(1u, r.m_number);
    EXPECT_EQ(0, r.m_chunkCalls);
}

TEST(CKelPersistObject, TruncatedDataIsAReadFaultAtEveryCut)
{
    TestRecord child(kSingle);
    child.m_name = "child";
    TestRecord out(kMulti, &child);
    Fill(out);
    const Bytes saved = Saved(out);
    for (std::size_t cut = 0; cut < saved.size(); ++cut) {
        SCOPED_TRACE(cut);
        TestRecord childIn(kSingle);
        TestRecord in(kMulti, &childIn);
        EXPECT_EQ(STG_E_READFAULT, in.Load(StreamOf(Bytes(saved.begin(), saved.begin() + cut)).Get()));
    }
}

TEST(CKelPersistObject, BrokenChunkHeadersAreRefused)
{
    const Bytes good = MultiBytes();
    const std::size_t sub0 = 12;
    const std::size_t sub1 = sub0 + Get<ULONGLONG>(good, sub0);
    const std::size_t sub2 = sub1 + 12;
    struct Case {
        const char* name;
        std::size_t offset;
        ULONGLONG value;  // the u64 length or, with isWord, the u32 word
        bool isWord;
        HRESULT expected;
    } cases[] = {
        {"outer length under 12", 0, 8, false, STG_E_INVALIDHEADER},
        {"outer length of 0", 0, 0, false, STG_E_INVALIDHEADER},
        {"outer length past any seek", 0, 0x8000000000000000ull, false, STG_E_INVALIDHEADER},
        {"sub-chunk length under 12", sub1, 4, false, STG_E_INVALIDHEADER},
        {"sub-chunk length of 0", sub1, 0, false, STG_E_INVALIDHEADER},
        {"sub-chunk past its outer chunk", sub2, 1000, false, STG_E_INVALIDHEADER},
        {"sub-chunk of another major", sub1, 0x60050001, true, STG_E_INVALIDHEADER},
        {"sub-chunk index above the stored minor", sub2, 0x60030003, true, STG_E_INVALIDHEADER},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes bad = good;
        if (c.isWord)
            Patch<DWORD>(bad, c.offset + 8, static_cast<DWORD>(c.value));
        else
            Patch<ULONGLONG>(bad, c.offset, c.value);
        TestRecord r(kMulti);
        EXPECT_EQ(c.expected, r.Load(StreamOf(bad).Get()));
    }
}

TEST(CKelPersistObject, SubChunksThatDoNotFillTheOuterChunkAreUnknown)
{
    // Bytes after the last sub-chunk, inside the outer length.
    Bytes bad = MultiBytes();
    Patch<ULONGLONG>(bad, 0, bad.size() + 3);
    bad.insert(bad.end(), {0, 0, 0});
    TestRecord r(kMulti);
    r.SetDirty();
    EXPECT_EQ(STG_E_UNKNOWN, r.Load(StreamOf(bad).Get()));
    EXPECT_EQ(S_OK, r.IsDirty());
}

TEST(CKelPersistObject, RepeatedSubChunkIndicesEndAtTheOuterChunk)
{
    // Sub-chunks that never reach the stored minor: the reader stops at the
    // end of the outer chunk instead of reading on into what follows.
    Bytes payload;
    for (int i = 0; i < 3; ++i) {
        Bytes sub = Chunk(0x60030001, {});
        payload.insert(payload.end(), sub.begin(), sub.end());
    }
    Bytes bad = Chunk(kMulti, payload);
    Bytes after = Chunk(0x60030001, {});
    bad.insert(bad.end(), after.begin(), after.end());
    TestRecord r(kMulti);
    EXPECT_EQ(STG_E_INVALIDHEADER, r.Load(StreamOf(bad).Get()));
}

TEST(CKelPersistObject, ShortWritesAreWriteFaults)
{
    TestRecord r(kMulti);
    Fill(r);
    const std::size_t total = Saved(r).size();
    for (std::size_t budget : {std::size_t{0}, std::size_t{5}, std::size_t{12}, std::size_t{20}, total - 1}) {
        SCOPED_TRACE(budget);
        ShortWriteStream stream(budget);
        r.SetDirty();
        EXPECT_EQ(STG_E_WRITEFAULT, r.Save(&stream, 1));
        EXPECT_EQ(S_OK, r.IsDirty());
    }
}

namespace {

// A class whose chunk writer moves the stream elsewhere: the length it would
// leave behind would not describe the chunk.
class WanderingRecord : public CKelPersistObject {
public:
    WanderingRecord() : CKelPersistObject(kSingle) {}
    STDMETHODIMP PersistChunk(DWORD, CKelPersistArchive* archive) override
    {
        DWORD v = 1;
        archive->PersistBytes(sizeof v, &v);
        return SeekStream(archive->GetStream(), 0);
    }
};

}  // namespace

TEST(CKelPersistObject, AChunkWhoseEndDisagreesWithItsLengthIsAWriteFault)
{
    WanderingRecord r;
    auto stream = NewMemoryStream();
    Bytes lead(5, 0xAA);
    ULONG written = 0;
    stream->Write(lead.data(), 5, &written);
    EXPECT_EQ(STG_E_WRITEFAULT, r.Save(stream.Get(), 1));
}

TEST(CKelPersistObject, ANestedObjectMayNotReadPastItsParentsChunk)
{
    TestRecord child(kSingle);
    child.m_name = "0123456789";
    TestRecord parent(kSingle, &child);
    Bytes saved = Saved(parent);
    // The parent claims fewer bytes than its child's chunk takes; bytes
    // follow, so every read of the child succeeds.
    Patch<ULONGLONG>(saved, 0, saved.size() - 4);
    saved.insert(saved.end(), 16, 0);
    TestRecord childIn(kSingle);
    TestRecord parentIn(kSingle, &childIn);
    EXPECT_EQ(STG_E_READFAULT, parentIn.Load(StreamOf(saved).Get()));
}

TEST(CKelPersistObject, LoadFromContextWithoutAContextReadsNothing)
{
    TestRecord out(kSingle);
    out.m_number = 4;
    auto stream = StreamOf(Saved(out));
    TestRecord r(kSingle);
    EXPECT_EQ(S_OK, r.LoadFromContext(stream.Get(), 0, TRUE));
    EXPECT_EQ(0u, r.m_number);
    EXPECT_EQ(0u, StreamPosition(stream.Get()));
}

TEST(CKelPersistObject, SaveAndLoadHoldTheObjectsLock)
{
    CRITICAL_SECTION cs;
    InitializeCriticalSection(&cs);

    // Records whether another thread could take the lock while the chunk ran.
    class LockProbe : public TestRecord {
    public:
        explicit LockProbe(CRITICAL_SECTION* cs) : TestRecord(kSingle), m_cs(cs) { SetLock(cs); }
        STDMETHODIMP PersistChunk(DWORD word, CKelPersistArchive* archive) override
        {
            std::thread([this] {
                if (TryEnterCriticalSection(m_cs)) {
                    m_takenFromOutside = true;
                    LeaveCriticalSection(m_cs);
                }
            }).join();
            return TestRecord::PersistChunk(word, archive);
        }
        CRITICAL_SECTION* m_cs;
        bool m_takenFromOutside = false;
    };

    LockProbe r(&cs);
    Bytes saved = Saved(r);
    EXPECT_FALSE(r.m_takenFromOutside);
    ASSERT_EQ(S_OK, r.Load(StreamOf(saved).Get()));
    EXPECT_FALSE(r.m_takenFromOutside);
    ULARGE_INTEGER size{};
    ASSERT_EQ(S_OK, r.GetSizeMax(&size));
    EXPECT_FALSE(r.m_takenFromOutside);
    DeleteCriticalSection(&cs);
}
