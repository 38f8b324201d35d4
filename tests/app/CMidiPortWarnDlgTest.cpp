// The MIDI devices dialog over a fake set of MIDI devices: it shows the
// closed devices and the open ports in order, moves devices between the
// lists and within the active one as the user clicks, reopens the ports on
// OK only when the list changed, keeps the ReWire port last, opens every
// device it can when one fails, offers only hardware outputs for sync and
// writes the sync options back.
#include "app/CMidiPortWarnDlg.h"

#include <gtest/gtest.h>

#include <atomic>

#include "devices/CAppConfig.h"
#include "devices/CMidiSource.h"
#include "devices/CMidiSyncGen.h"
#include "devices/IMidiSyncHost.h"
#include "platform/res/CScriptedAnswerer.h"
#include "platform/ui/CButton.h"
#include "platform/ui/CComboBox.h"
#include "tests/app/AppDialogSupport.h"
#include "platform/midi/MidiDeviceProvider.h"
#include "tests/platform/midi/FakeMidiProvider.h"
#include "tests/support/TempProfile.h"

namespace {

using Dlg = CMidiPortWarnDlg;

class IdleSyncHost : public IMidiSyncHost {
public:
    LONG GetSyncNowTicks() override { return 0; }
    bool IsSyncPlaying() override { return false; }
    HRESULT ScheduleClockTick(IMidiClockTick*, bool) override { return S_OK; }
};

// Counts how often an input was opened, so a test sees ports left alone.
class CountingMidiProvider : public mvtest::FakeMidiProvider {
public:
    std::unique_ptr<IMidiInStream> OpenInput(UINT index, IMidiInReceiver* receiver) override
    {
        ++opens;
        return FakeMidiProvider::OpenInput(index, receiver);
    }
    int opens = 0;
};

class CMidiPortWarnDlgTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        CAppConfig::SetRewireDeviceMode(false);
        fake().inputs = {{"Keys A"}, {"Pads B"}, {"Drums C"}};
        fake().outputs = {{"Synth Out", true}, {"Soft Synth", false}, {"Clock Box", true}};
    }
    void TearDown() override
    {
        source.reset();
        MidiSetDeviceProvider(nullptr);
        CAppConfig::SetRewireDeviceMode(false);
        UiTest::TearDown();
    }
    CountingMidiProvider& fake() { return *m_provider; }
    // The source with devices open in this order.
    void Open(std::initializer_list<UINT> ids)
    {
        source = std::make_unique<CMidiSource>();
        for (UINT id : ids)
            ASSERT_EQ(source->OpenPort(id), S_OK);
    }
    std::vector<UINT> OpenIds()
    {
        std::vector<UINT> ids;
        for (int i = 0; i < source->GetOpenPortCount(); ++i)
            ids.push_back(source->GetPortDeviceId(i));
        return ids;
    }
    static CListBox* List(Dlg& d, int id) { return static_cast<CListBox*>(d.GetDlgItem(id)); }
    static std::vector<CString> Texts(CListBox* list)
    {
        std::vector<CString> texts;
        for (int i = 0; i < list->GetCount(); ++i)
            texts.push_back(list->GetText(i));
        return texts;
    }
    static void Press(Dlg& d, int id) { mvtest::Click(d.GetDlgItem(id)); }

    mvtest::TempProfile m_profile;
    CAppConfig m_config;
    std::shared_ptr<CountingMidiProvider> m_provider = [] {
        auto p = std::make_shared<CountingMidiProvider>();
        MidiSetDeviceProvider(p);
        return p;
    }();
    std::unique_ptr<CMidiSource> source;
    std::shared_ptr<CScriptedAnswerer> answerer = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope scope{answerer};
};

TEST_F(CMidiPortWarnDlgTest, ShowsClosedDevicesAndOpenPortsInOrder)
{
    Open({2, 0});
    Dlg d(source.get(), nullptr);
    mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        EXPECT_EQ(d.GetWindowText(), CString("MIDI Devices"));
        EXPECT_EQ(Texts(List(d, Dlg::IDC_AVAILABLE)), std::vector<CString>{"Pads B"});
        EXPECT_EQ(Texts(List(d, Dlg::IDC_ACTIVE)), (std::vector<CString>{"Port 1 (Drums C)", "Port 2 (Keys A)"}));
        mvtest::ClickItem(List(d, Dlg::IDC_ACTIVE), 1);
        mvtest::ShotTree(d, "midi-devices");
        Press(d, IDCANCEL);
    });
}

TEST_F(CMidiPortWarnDlgTest, ReorderingTwoPortsReopensThemSoTheirNumbersSwap)
{
    Open({0, 1});
    Dlg d(source.get(), nullptr);
    const INT_PTR result = mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        mvtest::ClickItem(List(d, Dlg::IDC_ACTIVE), 1);
        Press(d, Dlg::IDC_MOVE_UP);
        EXPECT_EQ(Texts(List(d, Dlg::IDC_ACTIVE)), (std::vector<CString>{"Port 1 (Pads B)", "Port 2 (Keys A)"}));
        EXPECT_EQ(List(d, Dlg::IDC_ACTIVE)->GetCurSel(), 0);  // the moved entry stays selected
        Press(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(OpenIds(), (std::vector<UINT>{1, 0}));
    EXPECT_EQ(fake().OpenInputCount(), 2);  // the old streams were closed
}

TEST_F(CMidiPortWarnDlgTest, OkWithoutChangesClosesAndReopensNothing)
{
    Open({0, 1});
    const int opens = fake().opens;
    Dlg d(source.get(), nullptr);
    // Moving down and up again leaves the list as the ports are.
    EXPECT_EQ(mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        mvtest::ClickItem(List(d, Dlg::IDC_ACTIVE), 0);
        Press(d, Dlg::IDC_MOVE_DOWN);
        Press(d, Dlg::IDC_MOVE_UP);
        // Nothing moves past the ends.
        Press(d, Dlg::IDC_MOVE_UP);
        Press(d, IDOK);
    }), IDOK);
    EXPECT_EQ(OpenIds(), (std::vector<UINT>{0, 1}));
    EXPECT_EQ(fake().opens, opens);
}

TEST_F(CMidiPortWarnDlgTest, AddAndRemoveByButtonsAndDoubleClicks)
{
    Open({0});
    Dlg d(source.get(), nullptr);
    EXPECT_EQ(mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        CListBox* available = List(d, Dlg::IDC_AVAILABLE);
        CListBox* active = List(d, Dlg::IDC_ACTIVE);
        mvtest::DoubleClickItem(available, 1);  // Drums C
        EXPECT_EQ(Texts(active), (std::vector<CString>{"Port 1 (Keys A)", "Port 2 (Drums C)"}));
        EXPECT_EQ(active->GetCurSel(), 1);
        EXPECT_EQ(CWnd::GetFocus(), active);
        mvtest::ClickItem(available, 0);  // Pads B; the focus there clears the active selection
        EXPECT_EQ(active->GetCurSel(), LB_ERR);
        Press(d, Dlg::IDC_ADD);
        EXPECT_EQ(Texts(active), (std::vector<CString>{"Port 1 (Keys A)", "Port 2 (Drums C)", "Port 3 (Pads B)"}));
        EXPECT_EQ(available->GetCount(), 0);
        mvtest::DoubleClickItem(active, 0);  // Keys A goes back, selected
        EXPECT_EQ(Texts(active), (std::vector<CString>{"Port 1 (Drums C)", "Port 2 (Pads B)"}));
        EXPECT_EQ(Texts(available), std::vector<CString>{"Keys A"});
        EXPECT_EQ(available->GetCurSel(), 0);
        Press(d, IDOK);
    }), IDOK);
    EXPECT_EQ(OpenIds(), (std::vector<UINT>{2, 1}));
}

TEST_F(CMidiPortWarnDlgTest, OkOpensEveryDeviceItCanAndNamesThoseThatFail)
{
    Open({0});
    fake().refuse = {"Pads B"};
    Dlg d(source.get(), nullptr);
    const INT_PTR result = mvtest::RunModal<Dlg>(d, [this](Dlg& d) {
        CListBox* available = List(d, Dlg::IDC_AVAILABLE);
        mvtest::ClickItem(available, 0);  // Pads B, which fails
        Press(d, Dlg::IDC_ADD);
        mvtest::ClickItem(available, 0);  // Drums C, after it
        Press(d, Dlg::IDC_ADD);
        Press(d, IDOK);
        ASSERT_EQ(answerer->Prompts().size(), 1u);
        EXPECT_EQ(answerer->Prompts()[0].text,
                  "There was an error opening the MIDI device \"Port 2 (Pads B)\". Please fix the problem and "
                  "try again.");
        // Still open, showing what is open now: the failed device is available again.
        EXPECT_TRUE(IsWindow(d.m_hWnd));
        EXPECT_EQ(Texts(List(d, Dlg::IDC_ACTIVE)), (std::vector<CString>{"Port 1 (Keys A)", "Port 2 (Drums C)"}));
        EXPECT_EQ(Texts(available), std::vector<CString>{"Pads B"});
        // OK again: the ports are as the list says, so the dialog closes.
        Press(d, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(OpenIds(), (std::vector<UINT>{0, 2}));  // the device after the failure opened too
    EXPECT_EQ(answerer->Prompts().size(), 1u);
}

TEST_F(CMidiPortWarnDlgTest, SeveralFailuresComeInOneMessage)
{
    Open({});
    fake().refuse = {"Keys A", "Drums C"};
    Dlg d(source.get(), nullptr);
    mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        for (int i = 0; i < 3; ++i) {
            mvtest::ClickItem(List(d, Dlg::IDC_AVAILABLE), 0);
            Press(d, Dlg::IDC_ADD);
        }
        Press(d, IDOK);
        Press(d, IDCANCEL);
    });
    ASSERT_EQ(answerer->Prompts().size(), 1u);
    EXPECT_EQ(answerer->Prompts()[0].text, "These MIDI devices could not be opened:\n\"Port 1 (Keys A)\"\n\"Port 3 "
                                           "(Drums C)\"\n\nPlease fix the problem and try again.");
    EXPECT_EQ(OpenIds(), std::vector<UINT>{1});
}

TEST_F(CMidiPortWarnDlgTest, TheReWirePortStaysLastAndCannotBeRemovedOrMoved)
{
    CAppConfig::SetRewireDeviceMode(true);
    Open({0, 3});  // 3: the virtual port, one past the devices
    Dlg d(source.get(), nullptr);
    EXPECT_EQ(mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        CListBox* active = List(d, Dlg::IDC_ACTIVE);
        ASSERT_EQ(active->GetCount(), 2);
        EXPECT_EQ(active->GetText(1), CString("Port 2 (ReWire MIDI Input)"));
        mvtest::ClickItem(List(d, Dlg::IDC_AVAILABLE), 0);
        Press(d, Dlg::IDC_ADD);  // goes in before the ReWire port
        EXPECT_EQ(active->GetText(2), CString("Port 3 (ReWire MIDI Input)"));
        mvtest::ClickItem(active, 2);
        Press(d, Dlg::IDC_REMOVE);
        Press(d, Dlg::IDC_MOVE_UP);
        EXPECT_EQ(active->GetText(2), CString("Port 3 (ReWire MIDI Input)"));
        mvtest::ClickItem(active, 1);
        Press(d, Dlg::IDC_MOVE_DOWN);
        EXPECT_EQ(active->GetText(2), CString("Port 3 (ReWire MIDI Input)"));
        mvtest::ShotTree(d, "midi-devices-rewire");
        Press(d, IDOK);
    }), IDOK);
    EXPECT_EQ(OpenIds(), (std::vector<UINT>{0, 1, 3}));
}

TEST_F(CMidiPortWarnDlgTest, SyncOutputOffersHardwarePortsAndOptionsAreWrittenBack)
{
    CAppConfig::SetMidiSyncOutputPort(2);
    CAppConfig::SetSendMidiSPP(1);
    CAppConfig::SetSendMidiStartNeverContinue(0);
    CAppConfig::SetMidiNoDeviceWarn(1);
    Open({0});
    IdleSyncHost host;
    CMidiSyncGen sync(&host);
    Dlg d(source.get(), &sync);
    EXPECT_EQ(mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        auto* devices = static_cast<CComboBox*>(d.GetDlgItem(Dlg::IDC_SYNC_DEVICE));
        ASSERT_EQ(devices->GetCount(), 2);
        EXPECT_EQ(devices->GetLBText(0), CString("Synth Out"));
        EXPECT_EQ(devices->GetLBText(1), CString("Clock Box"));
        EXPECT_EQ(devices->GetCurSel(), 1);
        EXPECT_EQ(static_cast<CButton*>(d.GetDlgItem(Dlg::IDC_SEND_SPP))->GetCheck(), BST_CHECKED);
        EXPECT_EQ(static_cast<CButton*>(d.GetDlgItem(Dlg::IDC_SHOW_AT_STARTUP))->GetCheck(), BST_CHECKED);
        devices->SetFocus();
        mvtest::Key(devices, VK_UP);
        mvtest::Click(d.GetDlgItem(Dlg::IDC_SEND_SPP));
        mvtest::Click(d.GetDlgItem(Dlg::IDC_START_NEVER_CONTINUE));
        mvtest::Click(d.GetDlgItem(Dlg::IDC_SHOW_AT_STARTUP));
        Press(d, IDOK);
    }), IDOK);
    EXPECT_EQ(CAppConfig::GetMidiSyncOutputPort(), 0);
    EXPECT_EQ(CAppConfig::GetSendMidiSPP(), 0);
    EXPECT_EQ(CAppConfig::GetSendMidiStartNeverContinue(), 1);
    EXPECT_EQ(CAppConfig::GetMidiNoDeviceWarn(), 0);
    EXPECT_EQ(sync.GetOutputPort(), 0);
}

TEST_F(CMidiPortWarnDlgTest, CancelChangesNothing)
{
    Open({0, 1});
    CAppConfig::SetSendMidiSPP(1);
    Dlg d(source.get(), nullptr);
    EXPECT_EQ(mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        mvtest::ClickItem(List(d, Dlg::IDC_ACTIVE), 0);
        Press(d, Dlg::IDC_REMOVE);
        mvtest::Click(d.GetDlgItem(Dlg::IDC_SEND_SPP));
        Press(d, IDCANCEL);
    }), IDCANCEL);
    EXPECT_EQ(OpenIds(), (std::vector<UINT>{0, 1}));
    EXPECT_EQ(CAppConfig::GetSendMidiSPP(), 1);
}

}  // namespace
