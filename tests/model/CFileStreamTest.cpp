#include "model/CFileStream.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <fstream>
#include <iterator>

#include "model/CKelPersistArchive.h"
#include "model/CMfxEvent.h"
#include "model/PersistIo.h"
#include "platform/com/TaskMemory.h"
#include "platform/win/CFile.h"
#include "platform/win/WideString.h"
#include "tests/model/PersistTestSupport.h"
#include "tests/model/TestRecord.h"
#include "tests/support/TempDir.h"

using namespace mvtest;

namespace {

Bytes FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class CFileStreamTest : public ::testing::Test {
protected:
    std::string Path() const { return m_dir.File("project.mvp"); }

    // Saves the objects one after another through a file stream.
    void SaveAll(std::initializer_list<IPersistStreamInit*> objects)
    {
        CFile file;
        ASSERT_EQ(CFile::none, file.Open(Path().c_str(), CFile::modeCreate | CFile::modeWrite));
        HRESULT hr = E_FAIL;
        CFileStream stream(&file, TRUE, &hr);
        ASSERT_EQ(S_OK, hr);
        CKelPersistArchive archive(&stream, TRUE, 1);
        for (IPersistStreamInit* o : objects)
            ASSERT_EQ(S_OK, archive.PersistObject(o));
        ASSERT_EQ(S_OK, stream.Close());
    }

    mvtest::TempDir m_dir;
};

}  // namespace

TEST_F(CFileStreamTest, ASavedFileIsFramedByHeaderAndContext)
{
    TestRecord r(0x60030000);
    r.m_number = 1;
    SaveAll({&r});
    Bytes bytes = FileBytes(Path());
    const std::size_t recordBytes = 12 + 4 + 5;
    ASSERT_EQ(20u + recordBytes + 16u, bytes.size());
    EXPECT_EQ(20u, Get<ULONGLONG>(bytes, 0));
    EXPECT_EQ(0u, Get<DWORD>(bytes, 8));
    const ULONGLONG context = Get<ULONGLONG>(bytes, 12);
    EXPECT_EQ(20u + recordBytes, context);
    // An empty directory: u64 16, word 0x00010000, count 0.
    EXPECT_EQ(16u, Get<ULONGLONG>(bytes, context));
    EXPECT_EQ(0x00010000u, Get<DWORD>(bytes, context + 8));
    EXPECT_EQ(0u, Get<DWORD>(bytes, context + 12));
}

TEST_F(CFileStreamTest, ObjectsRoundTripByteForByteThroughAFile)
{
    CMfxEvent note;
    note.m_time = 1920;
    note.m_note.key = 61;
    CMfxEvent automation(MfxAutomation);
    automation.m_automation.param = 0x10002;
    automation.m_value = 0.123456f;
    TestRecord child(0x60040000);
    child.m_name = "child";
    TestRecord multi(0x60030002, &child);
    multi.m_number = 77;
    multi.m_flag = TRUE;
    SaveAll({&note, &automation, &multi});
    const Bytes saved = FileBytes(Path());

    CFile file;
    ASSERT_EQ(CFile::none, file.Open(Path().c_str(), CFile::modeRead));
    HRESULT hr = E_FAIL;
    CFileStream stream(&file, FALSE, &hr);
    ASSERT_EQ(S_OK, hr);
    CMfxEvent noteIn;
    CMfxEvent automationIn;
    TestRecord childIn(0x60040000);
    TestRecord multiIn(0x60030002, &childIn);
    CKelPersistArchive archive(&stream, FALSE, 1);
    ASSERT_EQ(S_OK, archive.PersistObject(&noteIn));
    ASSERT_EQ(S_OK, archive.PersistObject(&automationIn));
    ASSERT_EQ(S_OK, archive.PersistObject(&multiIn));
    EXPECT_EQ(1920, MfxCopy(noteIn.m_time));
    EXPECT_EQ(61, noteIn.m_note.key);
    EXPECT_EQ(0x10002u, MfxCopy(automationIn.m_automation.param));
    EXPECT_EQ(0.123456f, automationIn.m_value);
    EXPECT_EQ(CString("child"), childIn.m_name);
    EXPECT_EQ(TRUE, multiIn.m_flag);

    // Saved again, the loaded objects give the same file.
    SaveAll({&noteIn, &automationIn, &multiIn});
    EXPECT_EQ(saved, FileBytes(Path()));
}

TEST_F(CFileStreamTest, ContextObjectsAreFoundByTheOrderOfSaving)
{
    TestRecord a(0x60140000);
    a.m_sequentialOnly = FALSE;
    a.m_number = 1;
    TestRecord plain(0x60030000);
    plain.m_number = 2;
    TestRecord b(0x60140000);
    b.m_sequentialOnly = FALSE;
    b.m_number = 3;
    SaveAll({&a, &plain, &b});

    CFile file;
    ASSERT_EQ(CFile::none, file.Open(Path().c_str(), CFile::modeRead));
    HRESULT hr = E_FAIL;
    CFileStream stream(&file, FALSE, &hr);
    ASSERT_EQ(S_OK, hr);
    void* p = nullptr;
    ASSERT_EQ(S_OK, stream.QueryInterface(IID_IKelStreamContext, &p));
    auto* context = static_cast<IKelStreamContext*>(p);
    ULONGLONG at = 0;
    ASSERT_EQ(S_OK, context->FindChunk(0x6014, 0, &at));
    EXPECT_EQ(20u, at);
    ASSERT_EQ(S_OK, context->FindChunk(0x6014, 1, &at));
    context->Release();

    // The reader skips the plain record entirely: the context objects are
    // found by position wherever the stream stands.
    TestRecord aIn(0x60140000);
    aIn.m_sequentialOnly = FALSE;
    TestRecord bIn(0x60140000);
    bIn.m_sequentialOnly = FALSE;
    ASSERT_EQ(S_OK, aIn.Load(&stream));
    ASSERT_EQ(S_OK, bIn.Load(&stream));
    EXPECT_EQ(1u, aIn.m_number);
    EXPECT_EQ(3u, bIn.m_number);

    // LoadFromContext may put the stream back where it was.
    TestRecord again(0x60140000);
    again.m_sequentialOnly = FALSE;
    const ULONGLONG before = StreamPosition(&stream);
    ASSERT_EQ(S_OK, again.LoadFromContext(&stream, 0, TRUE));
    EXPECT_EQ(1u, again.m_number);
    EXPECT_EQ(before, StreamPosition(&stream));
}

TEST_F(CFileStreamTest, AFileWithoutTheHeaderReadsFromItsStart)
{
    TestRecord r(0x60030000);
    r.m_number = 12;
    auto memory = NewMemoryStream();
    ASSERT_EQ(S_OK, r.Save(memory.Get(), 1));
    WriteFile(Path(), StreamBytes(memory.Get()));

    CFile file;
    ASSERT_EQ(CFile::none, file.Open(Path().c_str(), CFile::modeRead));
    HRESULT hr = E_FAIL;
    CFileStream stream(&file, FALSE, &hr);
    EXPECT_EQ(S_FALSE, hr);
    TestRecord in(0x60030000);
    ASSERT_EQ(S_OK, in.Load(&stream));
    EXPECT_EQ(12u, in.m_number);
}

TEST_F(CFileStreamTest, ABrokenContextLeavesTheStreamAfterTheHeader)
{
    TestRecord a(0x60140000);
    a.m_sequentialOnly = FALSE;
    a.m_number = 5;
    SaveAll({&a});
    Bytes bytes = FileBytes(Path());
    Patch<ULONGLONG>(bytes, 12, 7);  // the context position points into the record
    WriteFile(Path(), bytes);

    CFile file;
    ASSERT_EQ(CFile::none, file.Open(Path().c_str(), CFile::modeRead));
    HRESULT hr = S_OK;
    CFileStream stream(&file, FALSE, &hr);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(20u, StreamPosition(&stream));
    // Without a directory the object is read where the stream stands.
    TestRecord in(0x60140000);
    in.m_sequentialOnly = FALSE;
    ASSERT_EQ(S_OK, in.Load(&stream));
    EXPECT_EQ(5u, in.m_number);
}

TEST_F(CFileStreamTest, ATruncatedFileFailsCleanly)
{
    TestRecord child(0x60040000);
    child.m_name = "child";
    TestRecord r(0x60030002, &child);
    r.m_name = "record";
    SaveAll({&r});
    const Bytes whole = FileBytes(Path());
    const std::size_t recordEnd = static_cast<std::size_t>(Get<ULONGLONG>(whole, 12));
    for (std::size_t cut = 20; cut < recordEnd; ++cut) {
        SCOPED_TRACE(cut);
        WriteFile(Path(), Bytes(whole.begin(), whole.begin() + cut));
        CFile file;
        ASSERT_EQ(CFile::none, file.Open(Path().c_str(), CFile::modeRead));
        HRESULT hr = S_OK;
        CFileStream stream(&file, FALSE, &hr);
        TestRecord childIn(0x60040000);
        TestRecord in(0x60030002, &childIn);
        EXPECT_EQ(STG_E_READFAULT, in.Load(&stream));
    }
}

TEST_F(CFileStreamTest, StreamOperations)
{
    CFile file;
    ASSERT_EQ(CFile::none, file.Open(Path().c_str(), CFile::modeCreate | CFile::modeReadWrite));
    HRESULT hr = E_FAIL;
    CFileStream stream(&file, TRUE, &hr);
    ASSERT_EQ(S_OK, hr);

    LARGE_INTEGER move{};
    ULARGE_INTEGER at{};
    move.QuadPart = 1LL << 32;
    EXPECT_EQ(E_NOTIMPL, stream.Seek(move, STREAM_SEEK_SET, &at));
    move.QuadPart = 0x80000000LL;  // would turn into a backward move if cut to 32 bits
    EXPECT_EQ(E_NOTIMPL, stream.Seek(move, STREAM_SEEK_CUR, &at));
    move.QuadPart = -4;
    ASSERT_EQ(S_OK, stream.Seek(move, STREAM_SEEK_CUR, &at));
    EXPECT_EQ(16u, at.QuadPart);

    STATSTG st{};
    ASSERT_EQ(S_OK, stream.Stat(&st, STATFLAG_DEFAULT));
    EXPECT_EQ("FileStream", mvwin::Utf16ToUtf8(st.pwcsName));
    EXPECT_EQ(16u, st.cbSize.QuadPart);  // the current position
    CoTaskMemFree(st.pwcsName);

    void* p = nullptr;
    EXPECT_EQ(S_OK, stream.QueryInterface(IID_IStream, &p));
    EXPECT_EQ(static_cast<IStream*>(&stream), p);
    EXPECT_EQ(E_NOINTERFACE, stream.QueryInterface(IID_IPersistStreamInit, &p));
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(1u, stream.AddRef());
    EXPECT_EQ(0u, stream.Release());
    ULARGE_INTEGER size{};
    EXPECT_EQ(E_NOTIMPL, stream.SetSize(size));
}

TEST_F(CFileStreamTest, FileErrorsBecomeStreamErrors)
{
    CFile writeOnly;
    ASSERT_EQ(CFile::none, writeOnly.Open(Path().c_str(), CFile::modeCreate | CFile::modeWrite));
    HRESULT hr = E_FAIL;
    CFileStream stream(&writeOnly, TRUE, &hr);
    BYTE b = 0;
    ULONG read = 7;
    EXPECT_EQ(E_UNEXPECTED, stream.Read(&b, 1, &read));
    EXPECT_EQ(0u, read);

    CFile full;
    if (full.Open("/dev/full", CFile::modeWrite) != CFile::none)
        GTEST_SKIP() << "no /dev/full here";
    HRESULT fullHr = S_OK;
    CFileStream fullStream(&full, TRUE, &fullHr);
    EXPECT_EQ(STG_E_MEDIUMFULL, fullHr);
    ULONG written = 9;
    EXPECT_EQ(STG_E_MEDIUMFULL, fullStream.Write("abc", 3, &written));
    EXPECT_EQ(0u, written);
}

// The stream keeps a window of the file: moves back and forth across it and
// beyond it, overwrites and reads give what a plain file would hold.
TEST_F(CFileStreamTest, WindowedReadsAndWritesMatchThePlainFile)
{
    const std::size_t size = 3 * 256 * 1024 + 123;
    Bytes expected(size);
    for (std::size_t i = 0; i < size; ++i)
        expected[i] = static_cast<std::uint8_t>(i * 7 + i / 1000);
    {
        CFile file;
        ASSERT_EQ(CFile::none, file.Open(Path().c_str(), CFile::modeCreate | CFile::modeReadWrite));
        CFileStream stream(&file, TRUE, nullptr);
        ULONG done = 0;
        // Small pieces, one large block, then patches far behind and a read back.
        for (std::size_t at = 0; at < 1000; at += 10)
            ASSERT_EQ(S_OK, stream.Write(expected.data() + at, 10, &done));
        ASSERT_EQ(S_OK, stream.Write(expected.data() + 1000, static_cast<ULONG>(size - 1000), &done));
        for (std::size_t at : {std::size_t{5}, std::size_t{300000}, size - 3}) {
            ASSERT_EQ(S_OK, mvpersist::SeekTo(&stream, 20 + at));
            ASSERT_EQ(S_OK, stream.Write(expected.data() + at, 3, &done));
        }
        Bytes back(size);
        ASSERT_EQ(S_OK, mvpersist::SeekTo(&stream, 20));
        ULONG read = 0;
        ASSERT_EQ(S_OK, stream.Read(back.data(), 500, &read));
        ASSERT_EQ(S_OK, stream.Read(back.data() + 500, static_cast<ULONG>(size - 500), &read));
        EXPECT_EQ(size - 500, read);
        EXPECT_EQ(expected, back);
        LARGE_INTEGER zero{};
        ULARGE_INTEGER end{};
        ASSERT_EQ(S_OK, stream.Seek(zero, STREAM_SEEK_END, &end));
        EXPECT_EQ(20 + size, end.QuadPart);
        ASSERT_EQ(S_OK, stream.Close());
    }
    const Bytes written = FileBytes(Path());
    ASSERT_EQ(20 + size + 16, written.size());
    EXPECT_EQ(expected, Bytes(written.begin() + 20, written.begin() + 20 + static_cast<std::ptrdiff_t>(size)));
}

// A write the file refuses when the window goes out is the stream's from
// then on: later writes and Close report it, so a save cannot pass for whole.
TEST_F(CFileStreamTest, RefusedWindowFailsLaterWritesAndClose)
{
    CFile file;
    ASSERT_EQ(CFile::none, file.Open(Path().c_str(), CFile::modeCreate | CFile::modeWrite));
    HRESULT hr = E_FAIL;
    CFileStream stream(&file, TRUE, &hr);
    ASSERT_EQ(S_OK, hr);
    const Bytes block(1000, 0x5A);
    ULONG done = 0;
    ASSERT_EQ(S_OK, stream.Write(block.data(), static_cast<ULONG>(block.size()), &done));

    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ASSERT_EQ(0, sigaction(SIGXFSZ, &ignore, &previous));
    rlimit before{};
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &before));
    rlimit small = before;
    small.rlim_cur = 100;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    const HRESULT closed = stream.Close();
    const HRESULT later = stream.Write(block.data(), 4, &done);
    setrlimit(RLIMIT_FSIZE, &before);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(STG_E_MEDIUMFULL, closed);
    EXPECT_EQ(STG_E_MEDIUMFULL, later);
    EXPECT_EQ(0u, done);
}
