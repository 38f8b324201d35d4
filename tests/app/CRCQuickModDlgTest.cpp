// The quick remote-control dialog: it lists the entries and shows what
// drives the selected target, stores the chosen control source with the
// mode its target kind wants, learns from messages played into an open
// MIDI port, keeps a port that is no longer open under its own number,
// and puts deleted entries back on Cancel.
#include "app/CRCQuickModDlg.h"

#include <gtest/gtest.h>

#include <memory>

#include "devices/CAppConfig.h"
#include "devices/CMidiMsg.h"
#include "devices/CMidiSource.h"
#include "devices/CRCTarget.h"
#include "platform/res/CScriptedAnswerer.h"
#include "platform/ui/CButton.h"
#include "platform/ui/CComboBox.h"
#include "tests/app/AppDialogSupport.h"
#include "tests/platform/midi/FakeMidiProvider.h"
#include "tests/platform/sync/Eventually.h"
#include "tests/support/TempProfile.h"

namespace {

using Dlg = CRCQuickModDlg;
using Mode = CMidiMsgListener::Mode;

class FakeTarget : public CRCTarget {
public:
    explicit FakeTarget(int kind) : CRCTarget(nullptr), m_kind(kind) {}
    int GetTargetKind() override { return m_kind; }
    LONG GetTargetId() override { return 0; }
    IRCParam* AsParam() override { return nullptr; }

private:
    int m_kind;
};

constexpr int kParam = 0, kCommand = 1;

class CRCQuickModDlgTest : public mvtest::UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        CAppConfig::SetRewireDeviceMode(false);
        m_midi.provider->inputs = {{"Keys A"}, {"Pads B"}};
        source = std::make_unique<CMidiSource>();
        ASSERT_EQ(source->OpenPort(0), S_OK);
        ASSERT_EQ(source->OpenPort(1), S_OK);
    }
    void TearDown() override
    {
        source.reset();
        UiTest::TearDown();
    }
    // Entries over the test's targets: "Volume" (a parameter), "Play" (a command), "Pan" (a parameter).
    std::vector<CRCQuickModEntry> Entries()
    {
        return {{0, nullptr, &volume, "Volume"}, {0, nullptr, &play, "Play"}, {0, nullptr, &pan, "Pan"}};
    }
    static CComboBox* Combo(Dlg& d, int id) { return static_cast<CComboBox*>(d.GetDlgItem(id)); }
    static CButton* Radio(Dlg& d, int source) { return static_cast<CButton*>(d.GetDlgItem(Dlg::IDC_FIRST_SOURCE + source)); }
    static CListBox* List(Dlg& d) { return static_cast<CListBox*>(d.GetDlgItem(Dlg::IDC_LIST)); }
    static int CheckedSource(Dlg& d)
    {
        for (int i = 0; i < Dlg::kSourceCount; ++i)
            if (Radio(d, i)->GetCheck() == BST_CHECKED)
                return i;
        return -1;
    }
    // Waits until the dialog's timer showed what was learned.
    static void WaitShown(Dlg& d, int source)
    {
        EXPECT_TRUE(mvtest::Eventually([&] {
            mvui::PumpMessages();
            return CheckedSource(d) == source;
        }));
    }

    mvtest::TempProfile m_profile;
    CAppConfig m_config;
    mvtest::ScopedMidiProvider m_midi;
    std::unique_ptr<CMidiSource> source;
    FakeTarget volume{kParam}, play{kCommand}, pan{kParam};
    std::shared_ptr<CScriptedAnswerer> answerer = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope scope{answerer};
};

TEST_F(CRCQuickModDlgTest, ShowsTheEntriesAndWhatDrivesTheSelectedOne)
{
    volume.Msg().m_kind = 0;
    volume.Msg().m_controllerA = 7;
    volume.Msg().m_port = 1;
    volume.Msg().m_channel = 2;
    auto entries = Entries();
    Dlg d(&entries, 0, source.get());
    mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        EXPECT_EQ(d.GetWindowText(), CString("MIDI Remote Control"));
        ASSERT_EQ(List(d)->GetCount(), 3);
        EXPECT_EQ(List(d)->GetText(1), CString("Play"));
        EXPECT_EQ(List(d)->GetCurSel(), 0);
        EXPECT_EQ(CheckedSource(d), Dlg::kController);
        CComboBox* controllers = Combo(d, Dlg::IDC_CONTROLLER);
        EXPECT_EQ(controllers->GetCount(), 128);
        EXPECT_EQ(controllers->GetLBText(1), CString("1 - Modulation Wheel"));
        EXPECT_EQ(controllers->GetCurSel(), 7);
        EXPECT_TRUE(controllers->IsWindowEnabled());
        EXPECT_FALSE(d.GetDlgItem(Dlg::IDC_NOTE_ON)->IsWindowEnabled());
        CComboBox* ports = Combo(d, Dlg::IDC_PORT);
        ASSERT_EQ(ports->GetCount(), 3);
        EXPECT_EQ(ports->GetLBText(0), CString("All Ports"));
        EXPECT_EQ(ports->GetLBText(2), CString("Port 2 (Pads B)"));
        EXPECT_EQ(ports->GetCurSel(), 2);
        CComboBox* channels = Combo(d, Dlg::IDC_CHANNEL);
        ASSERT_EQ(channels->GetCount(), 17);
        EXPECT_EQ(channels->GetLBText(0), CString("Omni"));
        EXPECT_EQ(channels->GetCurSel(), 3);  // channel 3 (index 2)
        mvtest::ShotTree(d, "remote-control");
        // The controller list widens to its longest name.
        controllers->SetFocus();
        mvtest::Key(controllers, VK_F4);
        ASSERT_TRUE(controllers->GetDroppedState());
        CRect list, face;
        controllers->GetDroppedList()->GetWindowRect(&list);
        controllers->GetWindowRect(&face);
        EXPECT_GT(list.Width(), face.Width());
        mvtest::Shot(*controllers->GetDroppedList(), "remote-control-controllers");
        mvtest::Key(controllers, VK_ESCAPE);
        EXPECT_FALSE(controllers->GetDroppedState());
        mvtest::Click(d.GetDlgItem(IDCANCEL));
    });
}

TEST_F(CRCQuickModDlgTest, ChoosingASourceStoresItsMessageAndTheModeOfTheTargetKind)
{
    struct Case {
        const char* name;
        int entry;
        int source;
        DWORD kind;
        DWORD mode;
    };
    const Case cases[] = {
        {"note on / off for a parameter", 0, Dlg::kNoteOnOff, 12, Mode::kGate},
        {"note on / off for a command", 1, Dlg::kNoteOnOff, 12, Mode::kOnOffValues},
        {"note on for a command", 1, Dlg::kNoteOn, 12, Mode::kToggleAboveThreshold},
        {"pitch wheel for a command", 1, Dlg::kPitchWheel, 11, Mode::kSwitch},
        {"breath for a parameter", 0, Dlg::kBreath, 0, Mode::kAbsolute},
        {"aftertouch for a command", 1, Dlg::kAftertouch, 14, Mode::kTrigger},
        {"NRPN for a parameter", 0, Dlg::kNrpn, 5, Mode::kAbsolute},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto entries = Entries();
        FakeTarget* target = c.entry == 0 ? &volume : &play;
        Dlg d(&entries, c.entry, source.get());
        EXPECT_EQ(mvtest::RunModal<Dlg>(d, [&c](Dlg& d) {
            mvtest::Click(Radio(d, c.source));
            if (c.source == Dlg::kNoteOnOff)
                mvtest::TypeInto(d.GetDlgItem(Dlg::IDC_NOTE_ON_OFF), "E5");  // note 64
            if (c.source == Dlg::kNrpn)
                mvtest::TypeInto(d.GetDlgItem(Dlg::IDC_NRPN), "1000");
            CComboBox* channels = Combo(d, Dlg::IDC_CHANNEL);
            channels->SetFocus();
            mvtest::Key(channels, VK_HOME);  // Omni
            mvtest::Click(d.GetDlgItem(IDOK));
        }), IDOK);
        EXPECT_EQ(target->Msg().m_kind, c.kind);
        EXPECT_EQ(target->m_mode, c.mode);
        EXPECT_EQ(target->Msg().m_channel, 0xFFFF);
        if (c.source == Dlg::kNoteOnOff) {
            EXPECT_EQ(target->Msg().m_noteNumber, 64);
        }
        if (c.source == Dlg::kBreath) {
            EXPECT_EQ(target->Msg().m_controllerA, 2);
        }
        if (c.source == Dlg::kNrpn) {
            EXPECT_EQ(target->Msg().m_nrpnNumber, 1000);
            EXPECT_EQ(target->Msg().m_maxValue, 16383u);
        }
    }
}

TEST_F(CRCQuickModDlgTest, LearnsAPitchWheelMovedOnChannel3OfTheFirstPort)
{
    auto entries = Entries();
    Dlg d(&entries, 2, source.get());
    EXPECT_EQ(mvtest::RunModal<Dlg>(d, [this](Dlg& d) {
        mvtest::Click(d.GetDlgItem(Dlg::IDC_LEARN));
        EXPECT_TRUE(d.IsLearning());
        EXPECT_EQ(d.GetDlgItem(Dlg::IDC_LEARN)->GetWindowText(), CString("Stop &Learning"));
        m_midi.provider->Play(0, {0xE2, 0x00, 0x50});  // pitch wheel, channel 3
        WaitShown(d, Dlg::kPitchWheel);
        EXPECT_EQ(Combo(d, Dlg::IDC_PORT)->GetCurSel(), 1);  // the first port
        EXPECT_EQ(Combo(d, Dlg::IDC_CHANNEL)->GetCurSel(), 3);
        // Learning goes on: the next message overwrites the assignment.
        m_midi.provider->Play(1, {0xB0, 0x02, 0x40});  // breath controller, channel 1, second port
        WaitShown(d, Dlg::kBreath);
        EXPECT_EQ(Combo(d, Dlg::IDC_PORT)->GetCurSel(), 2);
        EXPECT_EQ(Combo(d, Dlg::IDC_CHANNEL)->GetCurSel(), 1);
        mvtest::ShotTree(d, "remote-control-learning");
        mvtest::Click(d.GetDlgItem(Dlg::IDC_LEARN));
        EXPECT_FALSE(d.IsLearning());
        EXPECT_EQ(d.GetDlgItem(Dlg::IDC_LEARN)->GetWindowText(), CString("&Learn"));
        mvtest::Click(d.GetDlgItem(IDOK));
    }), IDOK);
    EXPECT_EQ(pan.Msg().m_kind, 0u);
    EXPECT_EQ(pan.Msg().m_controllerA, 2);
    EXPECT_EQ(pan.Msg().m_port, 1u);
    EXPECT_EQ(pan.Msg().m_channel, 0);
    EXPECT_EQ(pan.m_mode, Mode::kAbsolute);
}

TEST_F(CRCQuickModDlgTest, APortNoLongerOpenShowsAsItsOwnItemAndKeepsItsNumber)
{
    volume.Msg().m_kind = 11;
    volume.Msg().m_port = 4;
    volume.Msg().m_channel = 0;
    auto entries = Entries();
    Dlg d(&entries, 0, source.get());
    EXPECT_EQ(mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        CComboBox* ports = Combo(d, Dlg::IDC_PORT);
        ASSERT_EQ(ports->GetCount(), 4);
        EXPECT_EQ(ports->GetLBText(3), CString("Port 5 (no device)"));
        EXPECT_EQ(ports->GetCurSel(), 3);
        EXPECT_EQ(CheckedSource(d), Dlg::kPitchWheel);
        mvtest::Click(d.GetDlgItem(IDOK));
    }), IDOK);
    EXPECT_EQ(volume.Msg().m_port, 4u);
}

TEST_F(CRCQuickModDlgTest, SwitchingEntriesAppliesToTheOneLeft)
{
    auto entries = Entries();
    Dlg d(&entries, 0, source.get());
    EXPECT_EQ(mvtest::RunModal<Dlg>(d, [](Dlg& d) {
        mvtest::Click(Radio(d, Dlg::kAftertouch));
        mvtest::ClickItem(List(d), 2);
        EXPECT_EQ(d.GetSelectedIndex(), 2);
        mvtest::Click(d.GetDlgItem(IDCANCEL));
    }), IDCANCEL);
    EXPECT_EQ(volume.Msg().m_kind, 14u);
}

TEST_F(CRCQuickModDlgTest, CancelPutsDeletedEntriesBackAtTheEnd)
{
    auto entries = Entries();
    Dlg d(&entries, 0, source.get());
    EXPECT_EQ(mvtest::RunModal<Dlg>(d, [&entries](Dlg& d) {
        mvtest::Click(d.GetDlgItem(Dlg::IDC_DELETE));
        d.SendMessage(WM_COMMAND, MAKEWPARAM(Dlg::ID_DELETE, 0), 0);  // the accelerator's command
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].name, CString("Pan"));
        EXPECT_EQ(List(d)->GetCount(), 1);
        EXPECT_EQ(List(d)->GetCurSel(), 0);
        mvtest::Click(d.GetDlgItem(Dlg::IDC_DELETE));
        EXPECT_EQ(d.GetSelectedIndex(), -1);
        EXPECT_FALSE(Radio(d, 0)->IsWindowEnabled());  // nothing selected, nothing to set
        mvtest::ShotTree(d, "remote-control-empty");
        mvtest::Click(d.GetDlgItem(IDCANCEL));
    }), IDCANCEL);
    ASSERT_EQ(entries.size(), 3u);
    EXPECT_EQ(entries[0].name, CString("Volume"));
    EXPECT_EQ(entries[1].name, CString("Play"));
    EXPECT_EQ(entries[2].name, CString("Pan"));
}

}  // namespace
