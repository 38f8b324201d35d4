// Opening and saving projects and templates as the application does: the
// file's frame (stream header, signature, context), a save that never
// leaves a broken file behind, and a load that leaves the open song as it
// was when the file is not a project or is damaged.
#include "engine/hosting/CProjectDocument.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/hosting/CMidiDoc.h"
#include "model/CUndoHistory.h"
#include "platform/res/CScriptedAnswerer.h"
#include "resources/MorvaneStrings.h"
#include "tests/engine/hosting/DocumentEngineFake.h"
#include "tests/engine/hosting/ProjectTestSupport.h"
#include "tests/support/TempDir.h"
#include "uikit/core/CHeapCriticalSection.h"
#include "uikit/core/ResString.h"

namespace {

using songdoctest::FakeEngine;

std::vector<BYTE> ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::vector<BYTE>& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> FolderNames(const std::string& folder)
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            const std::string name = entry->d_name;
            if (name != "." && name != "..")
                names.push_back(name);
        }
        closedir(dir);
    }
    return names;
}

template <class T>
T Read(const std::vector<BYTE>& bytes, std::size_t at)
{
    T value{};
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

class ProjectDocumentTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CUndoHistory::Instance().Clear();
        services.pool.releaseRemoves = true;
        SetEngineServices(&services);
        CProjectDocument::Setup setup;
        setup.engine = &engine;
        setup.engineOwner = &owner;
        setup.rendererLock = &rendererLock;
        project = std::make_unique<CProjectDocument>(setup);
        ASSERT_EQ(S_OK, project->NewDocument());
    }
    void TearDown() override
    {
        project.reset();
        CUndoHistory::Instance().Clear();
        SetEngineServices(nullptr);
    }
    CMidiDoc* Doc() const { return project->GetSongDocument(); }
    // The song as its saved bytes: what "as it was" compares.
    std::vector<BYTE> SongBytes()
    {
        std::vector<BYTE> bytes;
        EXPECT_EQ(S_OK, projtest::SaveProject(Doc(), &owner, &bytes));
        return bytes;
    }
    std::vector<std::string> Messages() const
    {
        std::vector<std::string> texts;
        for (const CScriptedAnswerer::Prompt& p : answerer->Prompts())
            texts.push_back(p.text);
        return texts;
    }

    pattest::FakeEngineServices services;
    FakeEngine engine;
    projtest::FakeEngineOwner owner;
    CHeapCriticalSection rendererLock;
    std::unique_ptr<CProjectDocument> project;
    std::shared_ptr<CScriptedAnswerer> answerer = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope answers{answerer};
    mvtest::TempDir folder;
};

const std::string kOpenFailed =
    "The file could not be opened. It may be corrupted, or the format may be incorrect.";
const std::string kSaveFailed = "The file could not be saved. There may not be enough space on the drive.";

TEST_F(ProjectDocumentTest, MessagesAreTheStringTablesTexts)
{
    EXPECT_EQ(kOpenFailed, LoadResString(16387));
    EXPECT_EQ(kSaveFailed, LoadResString(16388));
    EXPECT_STREQ("Varnholt Mv Project", LoadResString(16801));
}

TEST_F(ProjectDocumentTest, ProjectsAndTemplatesSaveLoadAndSaveAgainByteForByte)
{
    projtest::BuildRichSong(Doc(), services);
    for (const char* name : {"song.mvp", "TEMPLATE.MVT"}) {
        SCOPED_TRACE(name);
        const std::string path = folder.File(name);
        ASSERT_EQ(S_OK, project->SaveProject(path.c_str()));
        const std::vector<BYTE> saved = ReadFile(path);
        ASSERT_GT(saved.size(), 60u);
        // Stream header: length 20, version 0, then where the context lies:
        // the last chunk of the file (major 1, no entries).
        EXPECT_EQ(20u, Read<ULONGLONG>(saved, 0));
        EXPECT_EQ(0u, Read<DWORD>(saved, 8));
        const ULONGLONG context = Read<ULONGLONG>(saved, 12);
        ASSERT_EQ(saved.size() - 16, context);
        EXPECT_EQ(16u, Read<ULONGLONG>(saved, context));
        EXPECT_EQ(0x00010000u, Read<DWORD>(saved, context + 8));
        EXPECT_EQ(0, std::memcmp(saved.data() + 20, CMvFile::kSignature, CMvFile::kSignatureBytes));
        EXPECT_EQ(20u, Read<DWORD>(saved, 37)) << "the type name's length counts its zero";
        EXPECT_EQ(0, std::memcmp(saved.data() + 41, "Varnholt Mv Project", 20));

        owner.values[0] = 0;
        ASSERT_EQ(S_OK, project->LoadProject(path.c_str()));
        EXPECT_FALSE(project->GetLoadFailed());
        EXPECT_EQ(1920, owner.values[0]) << "the engine owner's chunk follows the song";
        EXPECT_EQ(2, Doc()->GetChannelCount());
        ASSERT_EQ(S_OK, project->SaveProject(path.c_str()));
        EXPECT_EQ(saved, ReadFile(path));
    }
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(std::vector<std::string>({"TEMPLATE.MVT", "song.mvp"}).size(), FolderNames(folder.Path()).size())
        << "no temporary file stays";
}

TEST_F(ProjectDocumentTest, FileWithoutStreamHeaderLoadsFromItsFirstByte)
{
    projtest::BuildRichSong(Doc(), services);
    const std::vector<BYTE> song = SongBytes();
    const std::string path = folder.File("bare.mvp");
    WriteFile(path, song);
    ASSERT_EQ(S_OK, project->LoadProject(path.c_str()));
    EXPECT_EQ(song, SongBytes());
}

TEST_F(ProjectDocumentTest, LoadRunsUnderTheRendererLockAndClearsTheHistory)
{
    projtest::BuildRichSong(Doc(), services);
    const std::string path = folder.File("song.mvp");
    ASSERT_EQ(S_OK, project->SaveProject(path.c_str()));
    ASSERT_TRUE(CUndoHistory::Instance().CanUndo());
    std::atomic<int> heldDuringLoad{-1};
    owner.onPersist = [&] {
        std::thread([&] {
            const bool free = rendererLock.TryLock();
            if (free)
                rendererLock.Unlock();
            heldDuringLoad = free ? 0 : 1;
        }).join();
    };
    ASSERT_EQ(S_OK, project->LoadProject(path.c_str()));
    EXPECT_EQ(1, heldDuringLoad.load());
    EXPECT_FALSE(CUndoHistory::Instance().CanUndo());
}

TEST_F(ProjectDocumentTest, FileThatIsNoProjectOrIsDamagedLeavesTheSongAsItWas)
{
    projtest::BuildRichSong(Doc(), services);
    const std::string good = folder.File("good.mvp");
    ASSERT_EQ(S_OK, project->SaveProject(good.c_str()));
    const std::vector<BYTE> file = ReadFile(good);
    const std::vector<BYTE> before = SongBytes();

    std::vector<BYTE> wrongSignature = file;
    wrongSignature[20 + 16] = 0x1B;
    const std::vector<BYTE> text = {'h', 'e', 'l', 'l', 'o', '\n'};
    const std::vector<BYTE> cut(file.begin(), file.begin() + static_cast<std::ptrdiff_t>(file.size() / 2));
    struct Case {
        const char* name;
        std::vector<BYTE> bytes;
    };
    const Case cases[] = {{"signature ends in 0x1B", wrongSignature}, {"a text file", text}, {"cut in half", cut}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder.File("bad.mvp");
        WriteFile(path, c.bytes);
        const std::size_t shown = Messages().size();
        EXPECT_TRUE(FAILED(project->LoadProject(path.c_str())));
        EXPECT_TRUE(project->GetLoadFailed());
        ASSERT_EQ(shown + 1, Messages().size());
        EXPECT_EQ(kOpenFailed, Messages().back());
        EXPECT_EQ(before, SongBytes());
    }
    EXPECT_EQ(E_FAIL, [&] {
        const std::string path = folder.File("bad.mvp");
        WriteFile(path, wrongSignature);
        return project->LoadProject(path.c_str());
    }());
    // And the song still loads a good file afterwards.
    ASSERT_EQ(S_OK, project->LoadProject(good.c_str()));
    EXPECT_FALSE(project->GetLoadFailed());
}

TEST_F(ProjectDocumentTest, FullFileSystemKeepsTheOldFile)
{
    const std::string path = folder.File("song.mvp");
    ASSERT_EQ(S_OK, project->SaveProject(path.c_str()));
    const std::vector<BYTE> old = ReadFile(path);
    projtest::BuildRichSong(Doc(), services);
    // Room for less than the song: a write past the limit fails as on a
    // full disk (EFBIG, with the signal that would end the program ignored).
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    struct sigaction previous {};
    ASSERT_EQ(0, sigaction(SIGXFSZ, &ignore, &previous));
    rlimit before{};
    ASSERT_EQ(0, getrlimit(RLIMIT_FSIZE, &before));
    rlimit small = before;
    small.rlim_cur = old.size() + 8;
    ASSERT_EQ(0, setrlimit(RLIMIT_FSIZE, &small));
    const HRESULT hr = project->SaveProject(path.c_str());
    setrlimit(RLIMIT_FSIZE, &before);
    sigaction(SIGXFSZ, &previous, nullptr);

    EXPECT_EQ(STG_E_MEDIUMFULL, hr);
    EXPECT_EQ(std::vector<std::string>{kSaveFailed}, Messages());
    EXPECT_EQ(old, ReadFile(path));
    EXPECT_EQ(std::vector<std::string>{"song.mvp"}, FolderNames(folder.Path()));
}

TEST_F(ProjectDocumentTest, ReadOnlyFolderKeepsTheOldFile)
{
    const std::string path = folder.File("song.mvp");
    ASSERT_EQ(S_OK, project->SaveProject(path.c_str()));
    const std::vector<BYTE> old = ReadFile(path);
    projtest::BuildRichSong(Doc(), services);
    ASSERT_EQ(0, chmod(folder.Path().c_str(), 0555));
    // A user who may write anyway (root) cannot be stopped by the mode.
    const std::string probe = folder.File("probe");
    const bool writable = access(folder.Path().c_str(), W_OK) == 0;
    if (writable) {
        chmod(folder.Path().c_str(), 0755);
        GTEST_SKIP() << "this user writes into read-only folders";
    }
    const HRESULT hr = project->SaveProject(path.c_str());
    chmod(folder.Path().c_str(), 0755);
    EXPECT_TRUE(FAILED(hr));
    EXPECT_EQ(std::vector<std::string>{kSaveFailed}, Messages());
    EXPECT_EQ(old, ReadFile(path));
    EXPECT_EQ(std::vector<std::string>{"song.mvp"}, FolderNames(folder.Path()));
}

// The last step, the rename, can fail too (here the name is a folder's,
// which no user may replace with a file): nothing stays of the new file.
TEST_F(ProjectDocumentTest, FailedRenameLeavesWhatHadTheName)
{
    const std::string path = folder.File("song.mvp");
    ASSERT_EQ(0, mkdir(path.c_str(), 0755));
    WriteFile(path + "/inside", {1, 2, 3});
    EXPECT_TRUE(FAILED(project->SaveProject(path.c_str())));
    EXPECT_EQ(std::vector<std::string>{kSaveFailed}, Messages());
    EXPECT_EQ(std::vector<std::string>{"song.mvp"}, FolderNames(folder.Path()));
    EXPECT_EQ(std::vector<BYTE>({1, 2, 3}), ReadFile(path + "/inside"));
}

TEST_F(ProjectDocumentTest, MissingFileShowsTheOpenMessageAndKeepsTheSong)
{
    projtest::BuildRichSong(Doc(), services);
    const std::vector<BYTE> before = SongBytes();
    EXPECT_TRUE(FAILED(project->LoadProject(folder.File("none.mvp").c_str())));
    EXPECT_EQ(std::vector<std::string>{kOpenFailed}, Messages());
    EXPECT_EQ(before, SongBytes());
}

}  // namespace
