// Pattern files: a pattern saved into its file in a pattern folder and read
// back into a new pattern of the song inside the caller's command, named
// uniquely; names that cannot stand as file names are made safe; files that
// are missing or damaged change nothing that survives the command's abort.
#include "engine/hosting/CMidiDoc.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "model/CMvCommand.h"
#include "model/CUndoHistory.h"
#include "model/IEngineServices.h"
#include "tests/engine/hosting/SongDocFixture.h"
#include "tests/model/PatternTestSupport.h"

namespace {

namespace fs = std::filesystem;

class MidiDocPatternFileTest : public songdoctest::SongDocTest {
protected:
    void SetUp() override
    {
        SongDocTest::SetUp();
        folder = fs::temp_directory_path() / ("mv_ptn_" + std::to_string(::getpid()) + "_" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(folder);
    }
    void TearDown() override
    {
        SongDocTest::TearDown();
        fs::remove_all(folder);
    }

    // A pattern of the song with a name and a few notes.
    CPattern* MakePattern(SHORT id, const char* name, int notes = 3)
    {
        CPattern* pattern = nullptr;
        EXPECT_EQ(S_OK, doc->CreatePattern(id, FALSE, nullptr, &pattern));
        if (pattern == nullptr)
            return nullptr;
        pattern->SetName(name);
        pattern->SetDuration(3840);
        for (int n = 0; n < notes; ++n)
            EXPECT_EQ(S_OK, pattern->InsertEvent(pattest::Note(n * 480, static_cast<BYTE>(60 + n), 240), FALSE,
                                                 nullptr, FALSE));
        return pattern;
    }
    static std::vector<std::string> Events(CPattern* pattern)
    {
        std::vector<std::string> texts;
        for (const CMfxEvent& e : pattern->GetEvents())
            texts.push_back(std::to_string(e.m_time) + " " + e.GetText().GetString());
        return texts;
    }
    // Loads `name` from the folder inside a command of its own, committed
    // on success and deleted on failure, as a caller does.
    HRESULT Load(CString* name, CPattern** pattern)
    {
        CMvCommand* command = BeginProjectCommand(doc->AsCommandDocument(), "Load", 0, TRUE, TRUE);
        if (command == nullptr)
            return E_OUTOFMEMORY;
        const HRESULT hr = doc->LoadPatternFile(command, name, folder.c_str(), pattern);
        if (FAILED(hr))
            command->AbortAndDelete();
        else
            command->Commit(&CUndoHistory::Instance());
        return hr;
    }
    std::vector<std::string> PatternNames()
    {
        std::vector<std::string> names;
        for (int i = 0; i < doc->GetPatternCount(); ++i) {
            CPattern* p = nullptr;
            EXPECT_EQ(S_OK, doc->GetPatternAt(i, &p));
            names.push_back(p->GetDisplayName().GetString());
        }
        return names;
    }

    fs::path folder;
};

TEST_F(MidiDocPatternFileTest, APatternComesBackFromItsFileWithItsEvents)
{
    CPattern* source = MakePattern(5, "Groove");
    ASSERT_EQ(S_OK, doc->SavePatternFile(5, folder.c_str()));
    EXPECT_TRUE(fs::exists(folder / "Groove.PTN"));
    // Nothing but the file is left in the folder: the write went through a
    // temporary file renamed over it.
    EXPECT_EQ(1, std::distance(fs::directory_iterator(folder), fs::directory_iterator()));

    CString name("Groove");
    CPattern* loaded = nullptr;
    ASSERT_EQ(S_OK, Load(&name, &loaded));
    ASSERT_NE(nullptr, loaded);
    EXPECT_NE(source, loaded);
    EXPECT_EQ("Groove_1", std::string(name.GetString()));
    EXPECT_EQ("Groove_1", std::string(loaded->GetDisplayName().GetString()));
    EXPECT_EQ(Events(source), Events(loaded));
    EXPECT_EQ(3840, loaded->GetDuration());

    // One undo takes the loaded pattern out again.
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ(std::vector<std::string>{"Groove"}, PatternNames());
}

TEST_F(MidiDocPatternFileTest, TheNewPatternsNameIsUniqueWhileTheFileReadIsTheOneAskedFor)
{
    struct Case {
        const char* name;
        std::vector<const char*> existing;
        const char* expected;
    };
    const Case cases[] = {
        {"Bass", {"Bass", "bass_3"}, "Bass_4"},
        {"Bass", {"Lead"}, "Bass"},
        {"Bass", {"Bass_x", "Bass_0"}, "Bass"},
        {"Bass", {"bass"}, "Bass_1"},
        {"Bass", {"Bass_7", "Bass_2"}, "Bass_8"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.expected);
        CMidiDoc::DestroyMidiDoc(doc);
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &doc));
        CPattern* file = MakePattern(1, c.name, 2);
        ASSERT_EQ(S_OK, doc->SavePatternFile(1, folder.c_str()));
        ASSERT_EQ(S_OK, doc->DeletePattern(1, FALSE, nullptr));
        (void)file;
        SHORT id = 10;
        for (const char* other : c.existing)
            MakePattern(id++, other, 1);
        CString name(c.name);
        CPattern* loaded = nullptr;
        ASSERT_EQ(S_OK, Load(&name, &loaded));
        EXPECT_EQ(c.expected, std::string(name.GetString()));
        EXPECT_EQ(2u, loaded->GetEvents().size());
    }
}

TEST_F(MidiDocPatternFileTest, NamesAreMadeSafeAsFileNames)
{
    struct Case {
        const char* name;
        const char* file;
    };
    const Case cases[] = {
        {"Bass", "Bass.PTN"},
        {"../../etc/passwd", ".._.._etc_passwd.PTN"},
        {"a\\b:c*d?e\"f<g>h|i", "a_b_c_d_e_f_g_h_i.PTN"},
        {"tab\there", "tab_here.PTN"},
        {"", "_.PTN"},
        {"..", "_...PTN"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(std::string(c.file), CMidiDoc::PatternFileName(c.name).GetString()) << c.name;

    MakePattern(3, "up/../down");
    ASSERT_EQ(S_OK, doc->SavePatternFile(3, folder.c_str()));
    EXPECT_TRUE(fs::exists(folder / "up_.._down.PTN"));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

TEST_F(MidiDocPatternFileTest, AMissingOrDamagedFileFailsAndLeavesTheSongAsItWas)
{
    MakePattern(1, "Keep");
    ASSERT_EQ(S_OK, doc->SavePatternFile(1, folder.c_str()));
    const std::string whole = [&] {
        std::ifstream in(folder / "Keep.PTN", std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    struct Case {
        const char* name;
        std::string bytes;  // none: no file
    };
    const Case cases[] = {
        {"missing", ""},
        {"empty", std::string()},
        {"cut short", whole.substr(0, whole.size() / 2)},
        {"garbage", std::string(200, '\x7F')},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (std::string(c.name) != "missing")
            std::ofstream(folder / (std::string(c.name) + ".PTN"), std::ios::binary) << c.bytes;
        CString name(c.name);
        CPattern* loaded = reinterpret_cast<CPattern*>(1);
        EXPECT_TRUE(FAILED(Load(&name, &loaded)));
        EXPECT_EQ(nullptr, loaded);
        EXPECT_EQ(std::string(c.name), name.GetString());
        EXPECT_EQ(std::vector<std::string>{"Keep"}, PatternNames());
    }
    CString name("Keep");
    EXPECT_EQ(E_POINTER, doc->LoadPatternFile(nullptr, &name, folder.c_str(), nullptr));
}

TEST_F(MidiDocPatternFileTest, ALoopClipPatternCarriesItsClipsStateThroughItsFile)
{
    pattest::FakeEngineServices services;
    services.pool.dataAllowed = true;
    // The services go when the test ends, however it ends.
    struct Installed {
        explicit Installed(IEngineServices* s) { SetEngineServices(s); }
        ~Installed() { SetEngineServices(nullptr); }
    } installed(&services);
    CPattern* loop = nullptr;
    ASSERT_EQ(S_OK, doc->CreatePattern(7, FALSE, nullptr, &loop, TRUE));
    loop->SetName("Drums");
    services.pool.Add(loop->GetClipId())->Fill(77);
    ASSERT_EQ(S_OK, doc->SavePatternFile(7, folder.c_str()));

    CString name("Drums");
    CPattern* loaded = nullptr;
    ASSERT_EQ(S_OK, Load(&name, &loaded));
    EXPECT_EQ(CPattern::kKindLoopClip, loaded->GetKind());
    pattest::FakeLoopClip* clip = services.pool.Find(loaded->GetClipId());
    ASSERT_NE(nullptr, clip);
    LONGLONG single = 0;
    clip->GetSingleSetting(&single);
    EXPECT_EQ(77, single);

    // Without a clip pool the clip cannot come back: the load fails.
    services.hasPool = false;
    name = "Drums";
    EXPECT_TRUE(FAILED(Load(&name, &loaded)));
}

TEST_F(MidiDocPatternFileTest, AFolderThatCannotBeWrittenKeepsTheOldFile)
{
    MakePattern(1, "Old");
    ASSERT_EQ(S_OK, doc->SavePatternFile(1, folder.c_str()));
    const auto size = fs::file_size(folder / "Old.PTN");
    EXPECT_TRUE(FAILED(doc->SavePatternFile(1, (folder / "no such folder").c_str())));
    EXPECT_TRUE(FAILED(doc->SavePatternFile(77, folder.c_str())));
    EXPECT_EQ(size, fs::file_size(folder / "Old.PTN"));
}

}  // namespace
