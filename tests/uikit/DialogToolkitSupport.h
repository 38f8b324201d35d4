// What the dialog-toolkit tests share: the test dialogs' templates, and a
// modal run that performs a test's actions once the dialog's loop is running.
#pragma once

#include <gtest/gtest.h>

#include <functional>

#include "platform/ui/CDialog.h"
#include "platform/ui/DialogTemplateText.h"
#include "tests/platform/ui/UiTestSupport.h"

namespace mvtest {

constexpr UINT IDD_GEN = 760, IDD_GEN_PAGE = 761, IDD_GEN_PAGE2 = 762, IDD_GEN_HEADERS = 763;
constexpr int IDC_VALUE = 1001, IDC_LOOP = 1002, IDC_MODE = 1010, IDC_VSLIDER = 1020, IDC_HSLIDER = 1021,
              IDC_NOLIMITS = 1022, IDC_NAME = 1030;

inline void LoadToolkitTemplates()
{
    static const char* text = R"(
define IDC_VALUE 1001
define IDC_LOOP 1002
define IDC_MODE 1010
define IDC_VSLIDER 1020
define IDC_HSLIDER 1021
define IDC_NOLIMITS 1022
define IDC_NAME 1030
dialog 760 0 0 220 130 "Channel Options" style WS_POPUP|WS_CAPTION|WS_SYSMENU
  control Static IDC_STATIC 6 6 50 9 "Output"
  control Static IDC_STATIC 60 10 154 2 "" style SS_ETCHEDHORZ
  control Static IDC_STATIC 8 20 40 9 "Channel:"
  control Edit IDC_VALUE 50 18 40 12 "" style WS_TABSTOP
  control Button IDC_LOOP 100 18 60 12 "Loop" style BS_AUTOCHECKBOX|WS_TABSTOP
  control Button IDC_MODE 8 36 50 10 "Off" style BS_AUTORADIOBUTTON|WS_GROUP
  control Button 1011 8 48 50 10 "Pattern" style BS_AUTORADIOBUTTON
  control Button 1012 8 60 50 10 "Song" style BS_AUTORADIOBUTTON
  control Button 1013 8 72 50 10 "Other group" style BS_AUTORADIOBUTTON|WS_GROUP
  control msctls_trackbar32 IDC_VSLIDER 70 34 20 60 "" style TBS_VERT|TBS_AUTOTICKS
  control msctls_trackbar32 IDC_HSLIDER 100 40 100 16 "" style TBS_AUTOTICKS
  control msctls_trackbar32 IDC_NOLIMITS 100 62 100 16 ""
  control Static IDC_NAME 100 84 100 9 ""
  control Button IDOK 110 108 50 14 "OK" style BS_DEFPUSHBUTTON|WS_TABSTOP
  control Button IDCANCEL 164 108 50 14 "Cancel" style WS_TABSTOP
end
dialog 761 0 0 180 70 "Metronome" style WS_CHILD
  control Static IDC_STATIC 6 6 60 9 "Click"
  control Static IDC_STATIC 70 10 104 2 "" style SS_ETCHEDHORZ
  control Static IDC_STATIC 8 22 40 9 "Volume:"
  control Edit IDC_VALUE 50 20 40 12 ""
  control Button IDC_LOOP 8 38 80 12 "Count in" style BS_AUTOCHECKBOX
end
dialog 762 0 0 180 70 "Sync" style WS_CHILD
  control Edit IDC_VALUE 50 20 40 12 ""
end
dialog 763 0 0 160 60 "Headers"
  control Static IDC_STATIC 6 6 40 9 "Plain"
  control Static IDC_STATIC 50 10 100 2 "" style SS_ETCHEDHORZ
  control Static 1040 6 26 40 9 "With id"
  control Static IDC_STATIC 50 30 100 2 "" style SS_ETCHEDHORZ
end
)";
    CString error;
    ASSERT_TRUE(mvui::LoadDialogTemplates(text, error)) << error.GetString();
}

// Runs `dialog` modally; `act` runs once its loop is going and must end it.
template <class Dialog>
INT_PTR RunModal(Dialog& dialog, std::function<void(Dialog&)> act)
{
    struct Ctx {
        std::function<void(Dialog&)> act;
        Dialog* dialog;
    } ctx{std::move(act), &dialog};
    mvui::SetModalHook(
        [](CDialog*, void* c) {
            auto* ctx = static_cast<Ctx*>(c);
            RunLater([ctx] { ctx->act(*ctx->dialog); });
        },
        &ctx);
    const INT_PTR result = dialog.DoModal();
    mvui::SetModalHook(nullptr, nullptr);
    return result;
}

}  // namespace mvtest
