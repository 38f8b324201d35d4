#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"
#include "tests/platform/com/StreamTestValues.h"
#include "platform/com/TaskMemory.h"
#include "platform/win/WideString.h"
#include "tests/support/TempDir.h"

namespace {

using mvcom::CComPtr;
using mvtest::Move;
using mvtest::Size;

std::string FileContent(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const std::string& path, const std::string& content)
{
    std::ofstream(path, std::ios::binary) << content;
}

class FileStream : public ::testing::Test {
protected:
    mvtest::TempDir dir;
};

TEST_F(FileStream, RoundTripsThroughAFileWithAShortReadAtTheEnd)
{
    const std::string path = dir.File("data.bin");
    {
        CComPtr<IStream> out;
        ASSERT_EQ(SHCreateStreamOnFileA(path.c_str(), STGM_WRITE | STGM_CREATE, out.Put()), S_OK);
        ULONG written = 0;
        ASSERT_EQ(out->Write("morvane", 7, &written), S_OK);
        EXPECT_EQ(written, 7u);
    }
    EXPECT_EQ(FileContent(path), "morvane") << "closed with the last release";

    CComPtr<IStream> in;
    ASSERT_EQ(SHCreateStreamOnFileA(path.c_str(), STGM_READ, in.Put()), S_OK);
    STATSTG st{};
    ASSERT_EQ(in->Stat(&st, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(st.type, STGTY_STREAM);
    EXPECT_EQ(st.cbSize.QuadPart, 7u);
    ASSERT_NE(st.pwcsName, nullptr);
    EXPECT_EQ(mvwin::Utf16ToUtf8(st.pwcsName), "data.bin");
    CoTaskMemFree(st.pwcsName);
    ASSERT_EQ(in->Stat(&st, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(st.pwcsName, nullptr);

    char buffer[16] = {};
    ULONG got = 0;
    ASSERT_EQ(in->Seek(Move(3), STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(in->Read(buffer, sizeof buffer, &got), S_OK);
    EXPECT_EQ(std::string(buffer, got), "vane");
    ASSERT_EQ(in->Read(buffer, sizeof buffer, &got), S_OK);
    EXPECT_EQ(got, 0u);
}

TEST_F(FileStream, MissingFileIsNotFoundAndCreateReplaces)
{
    IStream* stream = reinterpret_cast<IStream*>(0x1);
    EXPECT_EQ(SHCreateStreamOnFileA(dir.File("absent.bin").c_str(), STGM_READ, &stream), STG_E_FILENOTFOUND);
    EXPECT_EQ(stream, nullptr);
    EXPECT_EQ(SHCreateStreamOnFileA(dir.File("absent.bin").c_str(), STGM_READWRITE, &stream), STG_E_FILENOTFOUND);
    EXPECT_EQ(SHCreateStreamOnFileA(dir.File("no/such/folder.bin").c_str(), STGM_WRITE | STGM_CREATE, &stream),
              STG_E_FILENOTFOUND);

    const std::string path = dir.File("old.bin");
    WriteFile(path, "old content");
    CComPtr<IStream> replaced;
    ASSERT_EQ(SHCreateStreamOnFileA(path.c_str(), STGM_READWRITE | STGM_CREATE, replaced.Put()), S_OK);
    STATSTG st{};
    ASSERT_EQ(replaced->Stat(&st, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(st.cbSize.QuadPart, 0u);
}

TEST_F(FileStream, ReadWriteStreamSeeksResizesAndReadsBack)
{
    const std::string path = dir.File("rw.bin");
    WriteFile(path, "0123456789");
    CComPtr<IStream> s;
    ASSERT_EQ(SHCreateStreamOnFileA(path.c_str(), STGM_READWRITE, s.Put()), S_OK);

    ULARGE_INTEGER pos{};
    ASSERT_EQ(s->Seek(Move(-2), STREAM_SEEK_END, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, 8u);
    EXPECT_EQ(s->Seek(Move(-9), STREAM_SEEK_CUR, &pos), STG_E_INVALIDFUNCTION);
    ASSERT_EQ(s->Seek(Move(0), STREAM_SEEK_CUR, &pos), S_OK);
    EXPECT_EQ(pos.QuadPart, 8u) << "a refused seek leaves the position";
    EXPECT_EQ(s->Seek(Move(-11), STREAM_SEEK_END, nullptr), STG_E_INVALIDFUNCTION);
    EXPECT_EQ(s->Seek(Move(0), 7, nullptr), STG_E_INVALIDFUNCTION);

    ASSERT_EQ(s->Seek(Move(12), STREAM_SEEK_SET, nullptr), S_OK);
    ASSERT_EQ(s->Write("AB", 2, nullptr), S_OK);
    EXPECT_EQ(FileContent(path), std::string("0123456789\0\0AB", 14));

    ASSERT_EQ(s->SetSize(Size(4)), S_OK);
    EXPECT_EQ(FileContent(path), "0123");
    ASSERT_EQ(s->SetSize(Size(6)), S_OK);
    EXPECT_EQ(FileContent(path), std::string("0123\0\0", 6));

    ASSERT_EQ(s->Seek(Move(1), STREAM_SEEK_SET, nullptr), S_OK);
    char buffer[8] = {};
    ULONG got = 0;
    ASSERT_EQ(s->Read(buffer, 8, &got), S_OK);
    EXPECT_EQ(std::string(buffer, got), std::string("123\0\0", 5));
}

TEST_F(FileStream, CopiesIntoAMemoryStream)
{
    const std::string path = dir.File("copy.bin");
    WriteFile(path, "abcdef");
    CComPtr<IStream> file;
    ASSERT_EQ(SHCreateStreamOnFileA(path.c_str(), STGM_READ, file.Put()), S_OK);
    CComPtr<IStream> memory;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, memory.Put()), S_OK);
    ULARGE_INTEGER read{}, written{};
    ASSERT_EQ(file->CopyTo(memory.Get(), Size(100), &read, &written), S_OK);
    EXPECT_EQ(read.QuadPart, 6u);
    EXPECT_EQ(written.QuadPart, 6u);
    HGLOBAL mem = nullptr;
    ASSERT_EQ(GetHGlobalFromStream(memory.Get(), &mem), S_OK);
    EXPECT_EQ(std::string(static_cast<const char*>(GlobalLock(mem)), GlobalSize(mem)), "abcdef");
    GlobalUnlock(mem);

    EXPECT_EQ(GetHGlobalFromStream(file.Get(), &mem), E_INVALIDARG) << "a file stream has no block";
    IStream* clone = reinterpret_cast<IStream*>(0x1);
    EXPECT_EQ(file->Clone(&clone), E_NOTIMPL);
    EXPECT_EQ(clone, nullptr);
}

TEST_F(FileStream, WriteErrorsAreReportedNotSwallowed)
{
    // Writing to a stream opened for reading.
    const std::string path = dir.File("ro.bin");
    WriteFile(path, "x");
    CComPtr<IStream> ro;
    ASSERT_EQ(SHCreateStreamOnFileA(path.c_str(), STGM_READ, ro.Put()), S_OK);
    ULONG written = 99;
    EXPECT_EQ(ro->Write("y", 1, &written), STG_E_ACCESSDENIED);
    EXPECT_EQ(written, 0u);
    EXPECT_EQ(FileContent(path), "x");

    // A full device.
    if (::access("/dev/full", W_OK) == 0) {
        CComPtr<IStream> full;
        ASSERT_EQ(SHCreateStreamOnFileA("/dev/full", STGM_WRITE, full.Put()), S_OK);
        EXPECT_EQ(full->Write("data", 4, &written), STG_E_MEDIUMFULL);
        EXPECT_EQ(written, 0u);
    }

    // A pipe whose reader has gone: neither full nor refused, a write fault.
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    CComPtr<IStream> pipe;
    ASSERT_EQ(SHCreateStreamOnFileA(fifo.c_str(), STGM_WRITE, pipe.Put()), S_OK);
    ::close(reader);
    auto previous = std::signal(SIGPIPE, SIG_IGN);
    EXPECT_EQ(pipe->Write("data", 4, &written), STG_E_WRITEFAULT);
    std::signal(SIGPIPE, previous);
}

TEST_F(FileStream, BadArgumentsAreRefused)
{
    CComPtr<IStream> s;
    EXPECT_EQ(SHCreateStreamOnFileA(nullptr, STGM_READ, s.Put()), E_INVALIDARG);
    EXPECT_EQ(SHCreateStreamOnFileA(dir.File("a").c_str(), STGM_READ, nullptr), E_INVALIDARG);
    EXPECT_EQ(SHCreateStreamOnFileA(dir.File("a").c_str(), 0x3, s.Put()), E_INVALIDARG);
    EXPECT_EQ(SHCreateStreamOnFileA(dir.File("a").c_str(), STGM_READ | STGM_CREATE, s.Put()), E_INVALIDARG);
}

}  // namespace
