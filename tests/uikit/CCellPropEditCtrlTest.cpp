// The in-place cell editor, driven as a user drives it while its own loop
// runs: the keys that end it and the exit key they leave, an unreadable text
// that keeps it open, a press on another window that commits and still
// reaches that window, rejected characters, and the steps of the keypad.
#include "uikit/CCellPropEditCtrl.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "tests/platform/ui/MessageLog.h"
#include "tests/platform/ui/UiTestExtras.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/uikit/ShotTree.h"
#include "uikit/CNoteSource.h"
#include "uikit/CPropEditOwner.h"
#include "uikit/core/CPropPitch.h"
#include "uikit/CSpinCtrl.h"
#include "uikit/core/CPropInt.h"
#include "uikit/core/CPropText.h"

namespace {

class CFakeOwner : public CPropEditOwner {
public:
    explicit CFakeOwner(CProperty* p) : property(p) {}
    bool IsEditorActive() override { return true; }
    CProperty* NewProperty() override { return property->Clone(); }
    bool TakesLiveNotes() override { return liveNotes; }
    bool IsValidChar(int ch) override { return property->IsValidChar(ch); }
    CProperty* property;
    bool liveNotes = false;
};

class CFakeNotes : public CNoteSource {
public:
    void Prime() override { primed++; }
    bool GetPlayedNote(int* note) override
    {
        polls++;
        if (pending < 0)
            return false;
        *note = pending;
        pending = -1;
        return true;
    }
    int primed = 0, polls = 0, pending = -1;
};

using Script = std::function<void(CCellPropEditCtrl*)>;

class CCellPropEditCtrlTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        ASSERT_TRUE(grid.CreateEx(0, nullptr, "grid", WS_POPUP | WS_VISIBLE, CRect(100, 100, 300, 200), nullptr, 0));
        ASSERT_TRUE(other.CreateEx(0, nullptr, "other", WS_POPUP | WS_VISIBLE, CRect(400, 100, 500, 200), nullptr, 0));
    }
    void TearDown() override
    {
        CCellPropEditCtrl::SetLoopHook(nullptr, nullptr);
        UiTest::TearDown();
    }
    // Runs an edit of `property` over a cell with `script` typed once its loop runs.
    int Edit(CProperty* property, Script script, UINT firstChar = 0, bool noSpaceExit = false)
    {
        owner = std::make_unique<CFakeOwner>(property);
        editor = std::make_unique<CCellPropEditCtrl>(owner.get(), property);
        editor->SetNoSpaceExit(noSpaceExit);
        CCellPropEditCtrl::SetLoopHook([](CCellPropEditCtrl* e, void* s) { (*static_cast<Script*>(s))(e); }, &script);
        return editor->TrackEdit(&grid, CRect(20, 20, 120, 40), firstChar, 0, WS_BORDER, nullptr);
    }
    static void Key(CCellPropEditCtrl* e, UINT vk) { e->SendMessage(WM_KEYDOWN, vk, 0); }
    static void Type(CCellPropEditCtrl* e, const char* text)
    {
        for (const char* p = text; *p; ++p)
            e->SendMessage(WM_CHAR, static_cast<unsigned char>(*p), 0);
    }
    // A property editor without a loop of its own, over the grid.
    bool PlainEditor(CPropEditCtrl& edit, const char* text)
    {
        if (!edit.Create(WS_CHILD | WS_VISIBLE, CRect(10, 10, 80, 30), &grid, 3))
            return false;
        edit.SetWindowText(text);
        return true;
    }
    static CString Selected(CCellPropEditCtrl* e)
    {
        int s, t;
        e->GetSel(s, t);
        return e->GetWindowText().Mid(s, t - s);
    }

    mvtest::LogWnd grid, other;
    std::unique_ptr<CFakeOwner> owner;
    std::unique_ptr<CCellPropEditCtrl> editor;
};

TEST_F(CCellPropEditCtrlTest, OwnKeysEndTheEditWithTheirExitKey)
{
    struct Case {
        const char* name;
        std::vector<UINT> keys;
        int exitKey;
        bool commit;
        int result;
        LONG value;
    } cases[] = {
        {"enter", {VK_RETURN}, VK_RETURN, true, 1, 42},
        {"escape", {VK_ESCAPE}, VK_ESCAPE, false, 0, 7},
        {"tab", {VK_TAB}, VK_TAB, true, 1, 42},
        {"up", {VK_UP}, VK_UP, true, 1, 42},
        {"down", {VK_DOWN}, VK_DOWN, true, 1, 42},
        {"left at the start", {VK_HOME, VK_LEFT}, VK_LEFT, true, 1, 42},
        {"right at the end", {VK_END, VK_RIGHT}, VK_RIGHT, true, 1, 42},
        {"left elsewhere moves the caret", {VK_END, VK_LEFT, VK_RETURN}, VK_RETURN, true, 1, 42},
    };
    for (const Case& c : cases) {
        CPropInt value(7, 0, 127);
        const int result = Edit(&value, [&](CCellPropEditCtrl* e) {
            Type(e, "42");
            for (UINT k : c.keys)
                Key(e, k);
        });
        EXPECT_EQ(c.result, result) << c.name;
        EXPECT_EQ(c.exitKey, editor->GetExitKey()) << c.name;
        EXPECT_EQ(c.commit, editor->IsCommitted()) << c.name;
        CString text;
        value.FormatText(text);
        EXPECT_STREQ(text, std::to_string(c.value).c_str()) << c.name;
        EXPECT_FALSE(IsWindow(editor->m_hWnd)) << c.name;
    }
}

TEST_F(CCellPropEditCtrlTest, AnUnreadableTextKeepsTheEditorOpenWithAllOfItSelected)
{
    CPropInt value(7, 0, 127);
    bool stillOpen = false;
    CString selected;
    const int result = Edit(&value, [&](CCellPropEditCtrl* e) {
        Type(e, "500");
        Key(e, VK_RETURN);
        stillOpen = IsWindow(e->m_hWnd) != FALSE;
        selected = Selected(e);
        mvtest::ShotTree(grid, "cell-editor-open");
        Type(e, "50");
        Key(e, VK_RETURN);
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_STREQ("500", selected);
    EXPECT_EQ(1, result);
    CString text;
    value.FormatText(text);
    EXPECT_STREQ("50", text);
}

TEST_F(CCellPropEditCtrlTest, APressOnAnotherWindowCommitsAndStillReachesIt)
{
    struct Case {
        const char* typed;
        int result;
        const char* value;
    } cases[] = {{"42", 1, "42"}, {"500", 0, "7"}};  // an unreadable text is cancelled instead
    for (const Case& c : cases) {
        other.log.clear();
        CPropInt value(7, 0, 127);
        const int result = Edit(&value, [&](CCellPropEditCtrl* e) {
            Type(e, c.typed);
            other.PostMessage(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
        });
        mvui::PumpMessages();
        EXPECT_EQ(c.result, result) << c.typed;
        CString text;
        value.FormatText(text);
        EXPECT_STREQ(c.value, text) << c.typed;
        EXPECT_EQ(other.Only({WM_LBUTTONDOWN}).size(), 1u) << c.typed;
    }
}

TEST_F(CCellPropEditCtrlTest, RejectedCharactersChangeNothingAndKeysStepTheValue)
{
    CPropInt value(7, 0, 127);
    CString afterLetters, afterStep;
    Edit(&value, [&](CCellPropEditCtrl* e) {
        Key(e, VK_END);
        Type(e, "ab");
        afterLetters = e->GetWindowText();
        Key(e, VK_ADD);
        afterStep = e->GetWindowText();
        Key(e, VK_ESCAPE);
    });
    EXPECT_STREQ("7", afterLetters);
    EXPECT_STREQ("8", afterStep);
}

TEST_F(CCellPropEditCtrlTest, SpaceEndsATextEditUnlessToldOtherwiseAndATypedFirstCharacterStartsIt)
{
    CPropText name("Bass");
    Edit(&name, [&](CCellPropEditCtrl* e) { Type(e, "ine "); }, 'L');
    EXPECT_EQ(' ', editor->GetExitKey());
    CString text;
    name.FormatText(text);
    EXPECT_STREQ("Line", text);

    Edit(&name, [&](CCellPropEditCtrl* e) {
        Key(e, VK_END);
        Type(e, " [2]");
        Key(e, VK_RETURN);
    }, 0, true);
    name.FormatText(text);
    EXPECT_STREQ("Line [2]", text);
}

}  // namespace

namespace {

TEST_F(CCellPropEditCtrlTest, ASizedEditGrowsToOneAndAHalfLinesWithASpinControlThatStepsIt)
{
    CPropInt value(7, 0, 127);
    owner = std::make_unique<CFakeOwner>(&value);
    editor = std::make_unique<CCellPropEditCtrl>(owner.get(), &value);
    CRect edit, spin;
    bool spinShown = false;
    CString stepped;
    Script script = [&](CCellPropEditCtrl* e) {
        e->GetWindowRect(&edit);
        ASSERT_NE(nullptr, e->GetSpin());
        e->GetSpin()->GetWindowRect(&spin);
        spinShown = e->GetSpin()->IsWindowVisible() != FALSE;
        e->SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), reinterpret_cast<LPARAM>(e->GetSpin()->m_hWnd));
        e->SendMessage(WM_VSCROLL, MAKEWPARAM(SB_LINEUP, 0), reinterpret_cast<LPARAM>(e->GetSpin()->m_hWnd));
        stepped = e->GetWindowText();
        mvtest::ShotTree(grid, "cell-editor-with-spin");
        Key(e, VK_RETURN);
    };
    CCellPropEditCtrl::SetLoopHook([](CCellPropEditCtrl* e, void* s) { (*static_cast<Script*>(s))(e); }, &script);
    // A 6-pixel cell at the top of the grid: grown around its centre, then moved back down inside.
    EXPECT_EQ(1, editor->TrackEdit(&grid, CRect(20, 0, 120, 6), 0, 2, WS_BORDER, nullptr));
    EXPECT_TRUE(spinShown);
    EXPECT_STREQ("9", stepped);
    EXPECT_EQ(100 + 0, edit.top);
    EXPECT_GT(edit.Height(), 6);
    EXPECT_EQ(edit.right, spin.left);
    EXPECT_EQ(100 + 120, spin.right);
    EXPECT_EQ(edit.top, spin.top);
}

TEST_F(CCellPropEditCtrlTest, APropertyEditorMarksEditingWhileFocusedAndNormalisesItsTextOnLeaving)
{
    CPropInt value(7, 0, 127);
    CFakeOwner fake(&value);
    CPropEditCtrl edit(&fake, nullptr);
    ASSERT_TRUE(PlainEditor(edit, "0042"));
    edit.SetFocus();
    mvui::PumpMessages();
    EXPECT_TRUE(CPropEditCtrl::IsEditing());
    other.SetFocus();
    mvui::PumpMessages();
    EXPECT_FALSE(CPropEditCtrl::IsEditing());
    EXPECT_STREQ("42", edit.GetWindowText());
}

TEST_F(CCellPropEditCtrlTest, ControlKeysCopyPasteCutAndUndoAheadOfAccelerators)
{
    CPropInt value(7, 0, 127);
    CFakeOwner fake(&value);
    CPropEditCtrl edit(&fake, nullptr);
    ASSERT_TRUE(PlainEditor(edit, "123"));
    edit.SetSel(0, 2);
    auto ctrlKey = [&](char key) {
        mvui::SetKeyDown(VK_CONTROL, true);
        edit.PostMessage(WM_KEYDOWN, static_cast<WPARAM>(key), 0);
        mvui::PumpMessages();
        mvui::SetKeyDown(VK_CONTROL, false);
    };
    ctrlKey('X');
    EXPECT_STREQ("3", edit.GetWindowText());
    edit.SetSel(1, 1);
    ctrlKey('V');
    EXPECT_STREQ("312", edit.GetWindowText());
    ctrlKey('Z');
    EXPECT_STREQ("3", edit.GetWindowText());

    edit.SetUndoAllowed(false);
    ctrlKey('V');
    ctrlKey('Z');
    EXPECT_STREQ("312", edit.GetWindowText());
}

TEST_F(CCellPropEditCtrlTest, APlayedNoteFillsAPitchWhileTheOwnerTakesLiveNotes)
{
    CPropPitch pitch(60);
    CFakeOwner fake(&pitch);
    fake.liveNotes = true;
    CFakeNotes notes;
    CPropEditCtrl edit(&fake, &notes);
    CString start;
    pitch.FormatText(start);
    ASSERT_TRUE(PlainEditor(edit, start));
    notes.pending = 64;
    edit.SetFocus();
    EXPECT_EQ(1, notes.primed);
    ASSERT_TRUE(mvtest::PumpUntil([&] { return edit.GetWindowText() != start; }, 2000));
    CPropPitch expected(64);
    CString text;
    expected.FormatText(text);
    EXPECT_STREQ(text, edit.GetWindowText());
    int s, t;
    edit.GetSel(s, t);
    EXPECT_EQ(text.GetLength(), t - s);

    // Without the focus nothing is polled any more.
    other.SetFocus();
    mvui::PumpMessages();
    const int polls = notes.polls;
    mvtest::PumpUntil([] { return false; }, 450);
    EXPECT_EQ(polls, notes.polls);
}

}  // namespace
