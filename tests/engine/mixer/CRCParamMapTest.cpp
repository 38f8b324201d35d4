#include "engine/mixer/CRCParamMap.h"

#include <gtest/gtest.h>

#include "tests/engine/mixer/ParamSetFakes.h"

using namespace paramtest;

namespace {

class CRCParamMapTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CUndoHistory::Instance().Clear();
        set.AddOwnControls(3);
        fx.Add(Info("Drive", 0.0f, 1.0f, 0.0f), 0.0f);
        fx.Add(Info("Tone", 0.0f, 1.0f, 0.0f), 0.0f);
        ASSERT_EQ(S_OK, set.AddPlugInParams(kFxClass, kInstanceB, static_cast<IMediaParams*>(&fx)));
    }
    void TearDown() override { CUndoHistory::Instance().Clear(); }

    IRCParam* Create(DWORD id)
    {
        IRCParam* p = nullptr;
        EXPECT_EQ(S_OK, set.CreateRCParam(id, &p));
        return p;
    }
    std::vector<RCParamRecord> List()
    {
        std::vector<RCParamRecord> records;
        EXPECT_EQ(S_OK, set.ListRCParams(&records));
        return records;
    }

    FakeParamDocument doc;
    TestParamSet set{&doc};
    FakePlugIn fx;
};

// A command target of the device subsystem: not a parameter.
class CommandTarget final : public IRCTarget {
public:
    IRCParam* AsParam() override { return nullptr; }
    HRESULT Register() override { return S_OK; }
    HRESULT Unregister() override { return S_OK; }
};

TEST_F(CRCParamMapTest, ANewRemoteControlledParameterIsBoundToItsLocalIndexWithItsMessagePreset)
{
    auto* p = static_cast<FakeRCParam*>(Create(0x10001));
    ASSERT_NE(nullptr, p);
    EXPECT_EQ(1u, p->index);
    EXPECT_EQ(11u, p->kind);
    EXPECT_EQ(0xFFFF, p->channel);
    EXPECT_EQ(16383u, p->topValue);
    EXPECT_EQ(-1, p->tail);
    EXPECT_EQ(0, p->mode);
    EXPECT_TRUE(List().empty());  // made, not assigned
    EXPECT_EQ(S_OK, set.DestroyRCParam(p));
    EXPECT_TRUE(doc.live.empty());

    IRCParam* none = reinterpret_cast<IRCParam*>(1);
    EXPECT_EQ(E_INVALIDARG, set.CreateRCParam(0x20000, &none));
    EXPECT_EQ(nullptr, none);
    EXPECT_TRUE(doc.live.empty());
    CommandTarget command;
    EXPECT_EQ(E_FAIL, set.DestroyRCParam(&command));
}

TEST_F(CRCParamMapTest, AssignListUnassignAreUndoableUnderTheirNames)
{
    IRCParam* p = Create(0x10000);
    EXPECT_EQ(nullptr, set.GetRCParamMap(GroupKey{kFxClass, kInstanceB}));
    ASSERT_EQ(S_OK, set.AssignRCParam(0x10000, p, nullptr));
    ASSERT_NE(nullptr, set.GetRCParamMap(GroupKey{kFxClass, kInstanceB}));
    EXPECT_STREQ("Assign remote control.", CUndoHistory::Instance().GetCommandName(0));

    auto records = List();
    ASSERT_EQ(1u, records.size());
    EXPECT_EQ(static_cast<CRCContainer*>(&set), records[0].container);
    EXPECT_EQ(p, records[0].param);
    EXPECT_EQ(0u, records[0].state);
    EXPECT_STREQ("Effect, Drive", records[0].text);

    IRCParam* q = Create(0x10000);
    ASSERT_EQ(S_OK, set.ModifyRCParam(0x10000, q, nullptr));
    EXPECT_STREQ("Modify remote control.", CUndoHistory::Instance().GetCommandName(0));
    EXPECT_EQ(q, List()[0].param);
    ASSERT_EQ(S_OK, set.UnassignRCParam(0x10000, nullptr));
    EXPECT_STREQ("Unassign remote control.", CUndoHistory::Instance().GetCommandName(0));
    EXPECT_TRUE(List().empty());

    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ(q, List()[0].param);
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ(p, List()[0].param);
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_TRUE(List().empty());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Redo());
    EXPECT_EQ(p, List()[0].param);
}

TEST_F(CRCParamMapTest, UnassigningWhatIsNotAssignedReportsTheFailure)
{
    EXPECT_EQ(E_FAIL, set.UnassignRCParam(0x10000, nullptr));  // the group has no map
    ASSERT_EQ(S_OK, set.AssignRCParam(0x10000, Create(0x10000), nullptr));
    EXPECT_TRUE(FAILED(set.UnassignRCParam(0x10001, nullptr)));
    EXPECT_EQ(1u, List().size());
    EXPECT_EQ(E_FAIL, set.UnassignRCParam(0x30000, nullptr));  // no group holds it
}

TEST_F(CRCParamMapTest, WrongTargetsAndMissingMapsAreRefused)
{
    CommandTarget command;
    EXPECT_EQ(E_FAIL, set.AssignRCParam(0x10000, &command, nullptr));
    // A refused assignment leaves the parameter with its maker, who destroys it.
    IRCParam* stray = Create(0);
    EXPECT_EQ(E_FAIL, set.AssignRCParam(0x30000, stray, nullptr));
    set.DestroyRCParam(stray);
    EXPECT_EQ(E_INVALIDARG, set.ModifyRCParam(0x10000, nullptr, nullptr));
    IRCParam* p = Create(0x10000);
    EXPECT_EQ(E_FAIL, set.ModifyRCParam(0x10000, p, nullptr));  // no map yet
    ASSERT_EQ(S_OK, set.AssignRCParam(0x10000, p, nullptr));
    EXPECT_EQ(E_FAIL, set.ModifyRCParam(0x10000, &command, nullptr));
    // Assigning the same id twice leaves the first assignment.
    IRCParam* again = Create(0x10000);
    EXPECT_TRUE(FAILED(set.AssignRCParam(0x10000, again, nullptr)));
    EXPECT_EQ(p, List()[0].param);
    set.DestroyRCParam(again);
    set.DestroyRCParam(Create(0));
}

TEST_F(CRCParamMapTest, AssignmentsComeBackWithAPlugInReCreatedUnderTheSameKey)
{
    auto* p = static_cast<FakeRCParam*>(Create(0x10001));
    ASSERT_EQ(S_OK, set.AssignRCParam(0x10001, p, nullptr));
    p->Register();
    ASSERT_EQ(S_OK, set.RemoveParamGroup(kFxClass, kInstanceB));
    EXPECT_FALSE(p->registered);
    EXPECT_EQ(1u, List().size());  // the map stays

    ASSERT_EQ(S_OK, set.AddPlugInParams(kFxClass, kInstanceB, static_cast<IMediaParams*>(&fx)));
    EXPECT_TRUE(p->registered);
    EXPECT_EQ(p, List()[0].param);

    set.EndRCGestures();
    EXPECT_EQ(1, doc.gestureEnds);
}

TEST_F(CRCParamMapTest, EachGroupSavesItsOwnMap)
{
    auto* own = static_cast<FakeRCParam*>(Create(2));
    own->controller = 7;
    auto* drive = static_cast<FakeRCParam*>(Create(0x10000));
    drive->controller = 74;
    ASSERT_EQ(S_OK, set.AssignRCParam(2, own, nullptr));
    ASSERT_EQ(S_OK, set.AssignRCParam(0x10000, drive, nullptr));
    CUndoHistory::Instance().Clear();
    const std::vector<BYTE> saved = SaveBytes(set);

    TestParamSet loaded(&doc);
    loaded.AddOwnControls(3);
    ASSERT_EQ(S_OK, loaded.AddPlugInParams(kFxClass, kInstanceB, static_cast<IMediaParams*>(&fx)));
    ASSERT_EQ(S_OK, LoadBytes(loaded, saved));
    CRCParamMap* ownMap = loaded.GetRCParamMap(GroupKey{kOwnClass, GUID_NULL});
    CRCParamMap* fxMap = loaded.GetRCParamMap(GroupKey{kFxClass, kInstanceB});
    ASSERT_NE(nullptr, ownMap);
    ASSERT_NE(nullptr, fxMap);
    IRCParam* p = nullptr;
    ASSERT_EQ(S_OK, ownMap->GetMap().Get(2, &p));
    EXPECT_EQ(7u, static_cast<FakeRCParam*>(p)->controller);
    ASSERT_EQ(S_OK, fxMap->GetMap().Get(0x10000, &p));
    EXPECT_EQ(74u, static_cast<FakeRCParam*>(p)->controller);
    EXPECT_EQ(E_INVALIDARG, fxMap->GetMap().Get(0x10001, &p));
    EXPECT_EQ(E_POINTER, fxMap->GetMap().Get(0x10000, nullptr));
    EXPECT_EQ(saved, SaveBytes(loaded));
}

TEST_F(CRCParamMapTest, TheSetDestroysItsRemoteControlledParametersAndOnlyThose)
{
    {
        TestParamSet other(&doc);
        other.AddOwnControls(1);
        IRCParam* p = nullptr;
        ASSERT_EQ(S_OK, other.CreateRCParam(0, &p));
        ASSERT_EQ(S_OK, other.AssignRCParam(0, p, nullptr));
        CUndoHistory::Instance().Clear();
        EXPECT_EQ(1u, doc.live.size());
    }
    EXPECT_TRUE(doc.live.empty());
}

TEST_F(CRCParamMapTest, TheDialogTitleNamesTheTrackGroupAndParameter)
{
    doc.channel = &set;
    doc.trackNumber = 3;
    ASSERT_EQ(S_OK, set.OpenRemoteControlDialog(0, 0, 0x10001));
    doc.channel = nullptr;
    ASSERT_EQ(S_OK, set.OpenRemoteControlDialog(0, 0, 0));
    EXPECT_EQ((std::vector<std::string>{"Track 3, Effect, Tone", "Own, Control"}), doc.dialogTitles);
    EXPECT_EQ(E_UNEXPECTED, set.OpenRemoteControlDialog(0, 0, 0x30000));
}

}  // namespace
