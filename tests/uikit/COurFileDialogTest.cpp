// The program's file dialog, run non-native and offscreen: the custom
// filter's pairs, multi-selection as folder-qualified paths, the name DoSave
// proposes, a failed save that removes only the file it made, and help.
#include "uikit/COurFileDialog.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/ui/CWinApp.h"
#include "tests/platform/ui/UiTestSupport.h"

namespace {

namespace fs = std::filesystem;

using mvtest::OnNextFileDialog;

void SetFileText(QFileDialog& d, const char* text)
{
    mvtest::SetFileDialogText(d, text);
}

class SongDocument : public CDocument {
public:
    bool succeed = true;
    std::vector<std::string> saves;
    BOOL OnSaveDocument(LPCSTR path) override
    {
        saves.push_back(path);
        std::ofstream(path) << "half";
        return succeed;
    }
};

class HelpApp : public CWinApp {
public:
    std::vector<DWORD_PTR> helps;
    void WinHelp(DWORD_PTR data, UINT) override { helps.push_back(data); }
};

class COurFileDialogTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        folder = fs::temp_directory_path() / ("mv-filedialog-" + std::to_string(::getpid()));
        fs::create_directories(folder);
        for (const char* n : {"a.wav", "b.wav"})
            std::ofstream(folder / n) << "x";
    }
    void TearDown() override
    {
        fs::remove_all(folder);
        UiTest::TearDown();
    }
    fs::path folder;
};

TEST_F(COurFileDialogTest, CustomFilterShowsItsPairsAndKeepsItsText)
{
    COurFileDialog dialog(TRUE);
    const char* text = "Wave Files (*.wav)|*.wav|MIDI Files (*.mid)|*.mid||";
    dialog.SetFilter(text);
    for (int run = 0; run < 2; ++run) {
        OnNextFileDialog([](QFileDialog& d) {
            EXPECT_TRUE(d.testOption(QFileDialog::DontUseNativeDialog));
            EXPECT_EQ(d.nameFilters().size(), 2);
            EXPECT_TRUE(d.nameFilters()[1].startsWith("MIDI Files"));
            d.reject();
        });
        EXPECT_EQ(dialog.DoModal(), IDCANCEL);
        EXPECT_EQ(dialog.GetFilter(), CString(text));
    }
}

TEST_F(COurFileDialogTest, MultiSelectionGivesFolderQualifiedPaths)
{
    COurFileDialog dialog(TRUE, nullptr, OFN_ALLOWMULTISELECT | OFN_FILEMUSTEXIST);
    const std::string dir = folder.string();
    dialog.m_ofn.lpstrInitialDir = dir.c_str();
    std::vector<CString> files;
    OnNextFileDialog([&](QFileDialog& d) {
        SetFileText(d, "\"a.wav\" \"b.wav\"");
        EXPECT_EQ(dialog.CollectSelectedFiles(files, 8), 2);
        EXPECT_EQ(files, (std::vector<CString>{CString((dir + "/a.wav").c_str()), CString((dir + "/b.wav").c_str())}));
        EXPECT_EQ(dialog.CollectSelectedFiles(files, 1), 1);
        EXPECT_EQ(dialog.CollectSelectedFiles(files, 0), 0);
        SetFileText(d, "a.wav");
        EXPECT_EQ(dialog.CollectSelectedFiles(files, 8), 1);
        EXPECT_EQ(files.front(), CString("a.wav"));
        SetFileText(d, "\"a.wav\" \"b.wav\"");
        mvtest::Shot(d.grab().toImage(), "file-dialog-multi");
        QMetaObject::invokeMethod(&d, "accept");
    });
    ASSERT_EQ(dialog.DoModal(), IDOK);
    // Several files: the folder, then each name, NUL-separated.
    const char* p = dialog.m_ofn.lpstrFile;
    EXPECT_EQ(std::string(p), dir);
    p += std::strlen(p) + 1;
    EXPECT_EQ(std::string(p), "a.wav");
    p += std::strlen(p) + 1;
    EXPECT_EQ(std::string(p), "b.wav");
    EXPECT_EQ(dialog.CollectSelectedFiles(files, 8), 0);  // no dialog runs now
}

TEST_F(COurFileDialogTest, SaveOfAnUntitledDocumentProposesItsTitleUpToTheSlashWithTheExtension)
{
    CDocTemplate songs("Morvane Project (*.mvp)", ".mvp");
    SongDocument doc;
    doc.m_pDocTemplate = &songs;
    doc.SetTitle("Groove/take 2");
    COurFileDialog dialog(FALSE);
    dialog.m_document = &doc;
    const std::string dir = folder.string();
    dialog.m_ofn.lpstrInitialDir = dir.c_str();
    OnNextFileDialog([&](QFileDialog& d) {
        EXPECT_EQ(d.findChild<QLineEdit*>("fileNameEdit")->text(), QString("Groove.mvp"));
        EXPECT_EQ(d.acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(d.windowTitle(), QString("Save As"));
        d.setDirectory(QString::fromStdString(dir));
        SetFileText(d, "Groove.mvp");
        QMetaObject::invokeMethod(&d, "accept");
    });
    ASSERT_TRUE(dialog.DoSave(nullptr, TRUE, 0));
    ASSERT_EQ(doc.saves.size(), 1u);
    EXPECT_EQ(doc.saves[0], dir + "/Groove.mvp");
    EXPECT_EQ(doc.GetPathName(), CString((dir + "/Groove.mvp").c_str()));
}

TEST_F(COurFileDialogTest, FailedSaveRemovesTheFileItMadeButNotOneThatWasThere)
{
    SongDocument doc;
    doc.succeed = false;
    COurFileDialog dialog(FALSE);
    dialog.m_document = &doc;
    const std::string dir = folder.string();
    for (const char* name : {"new.mvp", "a.wav"}) {
        const bool existed = fs::exists(folder / name);
        OnNextFileDialog([&](QFileDialog& d) {
            d.setOption(QFileDialog::DontConfirmOverwrite);
            d.setDirectory(QString::fromStdString(dir));
            SetFileText(d, name);
            QMetaObject::invokeMethod(&d, "accept");
        });
        EXPECT_FALSE(dialog.DoSave(nullptr, TRUE, 0)) << name;
        EXPECT_EQ(fs::exists(folder / name), existed) << name;
    }
    EXPECT_FALSE(COurFileDialog(FALSE).DoSave("x", TRUE, 0));  // no document
}

TEST_F(COurFileDialogTest, HelpNotificationAsksTheApplicationForTheDialogsTopic)
{
    HelpApp app;
    COurFileDialog dialog(TRUE);
    dialog.m_ofn.dwHelpId = 0x20000 + 42;
    OFNOTIFYA notify{{nullptr, 0, CDN_HELP}, &dialog.m_ofn, nullptr};
    EXPECT_EQ(COurFileDialog::FileDialogHookProc(nullptr, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&notify)), 0u);
    EXPECT_EQ(app.helps, std::vector<DWORD_PTR>{0x20000 + 42});
}

}  // namespace
