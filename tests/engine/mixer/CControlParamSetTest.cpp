#include "engine/mixer/CControlParamSet.h"

#include <thread>

#include <gtest/gtest.h>

#include "tests/engine/mixer/ParamSetFakes.h"

using namespace paramtest;

namespace {

class CControlParamSetTest : public ::testing::Test {
protected:
    FakeParamDocument doc;
    TestParamSet set{&doc};

    // A plug-in with a gain of -60..+12 dB at 0 and a mix of 0..100 at 25.
    static void MakeEffect(FakePlugIn& fx)
    {
        fx.Add(Info("Gain", -60.0f, 12.0f, 0.0f), 0.0f);
        fx.Add(Info("Mix", 0.0f, 100.0f, 50.0f), 25.0f);
    }
};

TEST_F(CControlParamSetTest, GroupsTakeBlocksOwnFromZeroPlugInsFromTheSecondAndARemovedBlockStaysTaken)
{
    DWORD first = 99;
    ASSERT_EQ(S_OK, set.RegisterGroup(kOwnClass, GUID_NULL, 10, &first));
    EXPECT_EQ(0u, first);
    ASSERT_EQ(S_OK, set.RegisterGroup(kSynthClass, kInstanceA, 3, &first));
    EXPECT_EQ(0x10000u, first);
    ASSERT_EQ(S_OK, set.RegisterGroup(kFxClass, kInstanceB, 3, &first));
    EXPECT_EQ(0x20000u, first);

    EXPECT_EQ(S_OK, set.RemoveParamGroup(kSynthClass, kInstanceA));
    EXPECT_EQ(S_FALSE, set.RemoveParamGroup(kSynthClass, kInstanceC));
    ASSERT_EQ(S_OK, set.RegisterGroup(kFxClass, kInstanceC, 1, &first));
    EXPECT_EQ(0x30000u, first);

    // The same key again: the new count, the old block.
    ASSERT_EQ(S_OK, set.RegisterGroup(kFxClass, kInstanceB, 7, &first));
    EXPECT_EQ(0x20000u, first);
    ParamGroup g{};
    set.ListGroupParams(GroupKey{kFxClass, kInstanceB}, nullptr, nullptr, &g);
    EXPECT_EQ(7u, g.count);
    EXPECT_EQ(E_POINTER, set.RegisterGroup(kFxClass, kInstanceB, 7, nullptr));
}

TEST_F(CControlParamSetTest, ABlockMovedAwayByALoadIsFreeForTheNextPlugIn)
{
    set.AddOwnControls(2);
    FakePlugIn fx;
    MakeEffect(fx);
    ASSERT_EQ(S_OK, set.AddPlugInParams(kFxClass, kInstanceB, static_cast<IMediaParams*>(&fx)));
    // A saved form in which the same plug-in sits in the third block.
    TestParamSet other(&doc);
    other.AddOwnControls(2);
    DWORD first = 0;
    other.RegisterGroup(kSynthClass, kInstanceA, 1, &first);
    ASSERT_EQ(S_OK, other.AddPlugInParams(kFxClass, kInstanceB, static_cast<IMediaParams*>(&fx)));
    other.RemoveParamGroup(kSynthClass, kInstanceA);
    ASSERT_EQ(S_OK, LoadBytes(set, SaveBytes(other)));

    DWORD id = 0;
    ASSERT_EQ(S_OK, set.GetGroupParamIndex(GroupKey{kFxClass, kInstanceB}, 0, &id));
    EXPECT_EQ(0x20000u, id);
    ASSERT_EQ(S_OK, set.RegisterGroup(kSynthClass, kInstanceC, 1, &first));
    EXPECT_EQ(0x10000u, first);
}

TEST_F(CControlParamSetTest, OnlyAChangedValueSetsTheDirtyMaskAndEachViewClearsItsOwnBit)
{
    set.AddOwnControls(2);
    EXPECT_EQ(0xFFFFFFFFu, set.GetDirtyMask());
    EXPECT_EQ(S_OK, set.ClearDirtyBits(0xFFFFFFFF));
    EXPECT_EQ(S_FALSE, set.ClearDirtyBits(1));

    EXPECT_EQ(S_OK, set.SetParamValue(1, 0.0f));  // its value already
    EXPECT_EQ(0u, set.GetDirtyMask());
    EXPECT_EQ(S_OK, set.SetParamValue(1, 0.25f));
    EXPECT_EQ(0xFFFFFFFFu, set.GetDirtyMask());
    EXPECT_EQ(S_OK, set.ClearDirtyBits(2));
    EXPECT_EQ(0xFFFFFFFDu, set.GetDirtyMask());
    EXPECT_EQ(S_FALSE, set.ClearDirtyBits(2));
    EXPECT_EQ(E_INVALIDARG, set.SetParamValue(5, 0.5f));
}

TEST_F(CControlParamSetTest, NestedTouchesKeepTheFirstStartValueAndAnnounceOnlyAChange)
{
    set.AddOwnControls(1);
    set.SetParamValue(0, 0.5f);

    ASSERT_EQ(S_OK, set.BeginTouch(0, 1));
    set.SetParamValue(0, 0.6f);
    ASSERT_EQ(S_OK, set.BeginTouch(0, 4));
    BOOL touched = FALSE;
    float value = 0, start = 0;
    ASSERT_EQ(S_OK, set.GetParamTouchState(0, &touched, &value, &start));
    EXPECT_TRUE(touched);
    EXPECT_FLOAT_EQ(0.6f, value);
    EXPECT_FLOAT_EQ(0.5f, start);

    // Each gesture bit that ends while the value differs announces it.
    ASSERT_EQ(S_OK, set.EndTouch(0, 4));
    ASSERT_EQ(S_OK, set.GetParamTouchState(0, &touched, nullptr, &start));
    EXPECT_TRUE(touched);
    EXPECT_FLOAT_EQ(0.5f, start);
    ASSERT_EQ(S_OK, set.EndTouch(0, 1));
    ASSERT_EQ(S_OK, set.GetParamTouchState(0, &touched, nullptr, &start));
    EXPECT_FALSE(touched);
    EXPECT_FLOAT_EQ(-1.0f, start);
    EXPECT_EQ((std::vector<UINT>{0x8006, 0x8006}), doc.posted);

    doc.posted.clear();
    set.BeginTouch(0, 1);
    set.EndTouch(0, 1);
    EXPECT_TRUE(doc.posted.empty());
    EXPECT_EQ(E_INVALIDARG, set.BeginTouch(9, 1));
    EXPECT_EQ(E_INVALIDARG, set.EndTouch(9, 1));
    EXPECT_EQ(E_INVALIDARG, set.GetParamTouchState(0, nullptr, nullptr, nullptr));
}

TEST_F(CControlParamSetTest, PlugInParametersAreReadThroughTheMediaParameterInterfaces)
{
    FakePlugIn fx;
    MakeEffect(fx);
    fx.Add(Info("A label far longer than thirty-one characters", 0.0f, 1.0f, 0.0f), 0.5f);
    ASSERT_EQ(S_OK, set.AddPlugInParams(kFxClass, kInstanceB, static_cast<IMediaParams*>(&fx)));

    float v = 0;
    ASSERT_EQ(S_OK, set.GetParamValue(0x10000, &v));
    EXPECT_FLOAT_EQ(60.0f / 72.0f, v);
    ASSERT_EQ(S_OK, set.GetParamValue(0x10001, &v));
    EXPECT_FLOAT_EQ(0.25f, v);
    ASSERT_EQ(S_OK, set.GetNormalizedDefault(0x10001, &v));
    EXPECT_FLOAT_EQ(0.5f, v);
    CString name;
    ASSERT_EQ(S_OK, set.GetParamName(0x10000, &name));
    EXPECT_STREQ("Gain", name);
    ASSERT_EQ(S_OK, set.GetParamName(0x10002, &name));
    EXPECT_EQ(31, name.GetLength());
    DWORD kind = 9;
    WORD number = 0;
    ASSERT_EQ(S_OK, set.GetParamCurveInfo(0x10000, &kind, &number));
    EXPECT_EQ(0u, kind);
    EXPECT_EQ(0xFFFF, number);

    // Registered again (a plug-in re-created): the stored values stay.
    set.SetParamValue(0x10001, 0.9f);
    fx.values[1] = 10.0f;
    ASSERT_EQ(S_OK, set.AddPlugInParams(kFxClass, kInstanceB, static_cast<IMediaParams*>(&fx)));
    ASSERT_EQ(S_OK, set.GetParamValue(0x10001, &v));
    EXPECT_FLOAT_EQ(0.9f, v);
    // Read back after the plug-in's state was loaded: its values win.
    ASSERT_EQ(S_OK, set.SyncGroupFromPlugIn(kFxClass, kInstanceB, static_cast<IMediaParams*>(&fx)));
    ASSERT_EQ(S_OK, set.GetParamValue(0x10001, &v));
    EXPECT_FLOAT_EQ(0.1f, v);
    EXPECT_EQ(E_UNEXPECTED, set.SyncGroupFromPlugIn(kFxClass, kInstanceC, static_cast<IMediaParams*>(&fx)));

    FakePlugIn plain;
    plain.hasParams = false;
    EXPECT_EQ(S_FALSE, set.AddPlugInParams(kFxClass, kInstanceC, static_cast<IMediaParams*>(&plain)));
    EXPECT_EQ(S_FALSE, set.FlushPlugInEnvelopes(static_cast<IMediaParams*>(&plain)));
    EXPECT_EQ(E_INVALIDARG, set.AddPlugInParams(kFxClass, kInstanceC, nullptr));
    FakePlugIn noInfo;
    noInfo.hasInfo = false;
    EXPECT_EQ(E_NOINTERFACE, set.AddPlugInParams(kFxClass, kInstanceC, static_cast<IMediaParams*>(&noInfo)));
    EXPECT_EQ(1u, fx.refs);
}

TEST_F(CControlParamSetTest, AParameterWithoutRangeNeverDividesAndValuesAreClampedToTheRange)
{
    FakePlugIn fx;
    fx.Add(Info("Flat", 5.0f, 5.0f, 5.0f), 5.0f);
    fx.Add(Info("Level", 0.0f, 10.0f, 5.0f), 20.0f);  // reports past its maximum
    ASSERT_EQ(S_OK, set.AddPlugInParams(kFxClass, kInstanceB, static_cast<IMediaParams*>(&fx)));
    float v = -1;
    ASSERT_EQ(S_OK, set.GetParamValue(0x10000, &v));
    EXPECT_EQ(0.0f, v);
    ASSERT_EQ(S_OK, set.GetNormalizedDefault(0x10000, &v));
    EXPECT_EQ(0.0f, v);
    ASSERT_EQ(S_OK, set.GetParamValue(0x10001, &v));
    EXPECT_EQ(1.0f, v);

    const DWORD local[] = {0, 1};
    const float native[] = {7.0f, -3.0f};
    ASSERT_EQ(S_OK, set.SetGroupValuesFromPlugIn(GroupKey{kFxClass, kInstanceB}, local, 2, native));
    ASSERT_EQ(2u, set.userChanges.size());
    EXPECT_EQ(0.0f, set.userChanges[0].second);
    EXPECT_EQ(0.0f, set.userChanges[1].second);
    EXPECT_EQ(S_OK, set.SetParamValue(0x10001, 3.0f));
    ASSERT_EQ(S_OK, set.GetParamValue(0x10001, &v));
    EXPECT_EQ(1.0f, v);
}

TEST_F(CControlParamSetTest, ValuesFromAPlugInEditorGoThroughTheOwnersUserChange)
{
    FakePlugIn fx;
    MakeEffect(fx);
    ASSERT_EQ(S_OK, set.AddPlugInParams(kFxClass, kInstanceB, static_cast<IMediaParams*>(&fx)));
    const GroupKey key{kFxClass, kInstanceB};
    const DWORD local[] = {1, 0, 5};
    const float native[] = {50.0f, 12.0f, 0.0f};
    EXPECT_EQ(E_UNEXPECTED, set.SetGroupValuesFromPlugIn(key, local, 3, native));
    EXPECT_TRUE(set.userChanges.empty());
    ASSERT_EQ(S_OK, set.SetGroupValuesFromPlugIn(key, local, 2, native));
    ASSERT_EQ(2u, set.userChanges.size());
    EXPECT_EQ(0x10001u, set.userChanges[0].first);
    EXPECT_FLOAT_EQ(0.5f, set.userChanges[0].second);
    EXPECT_EQ(0x10000u, set.userChanges[1].first);
    EXPECT_FLOAT_EQ(1.0f, set.userChanges[1].second);

    const DWORD missing[] = {1, 7};
    set.userChanges.clear();
    EXPECT_EQ(E_INVALIDARG, set.SetGroupValuesFromPlugIn(key, missing, 2, native));
    EXPECT_EQ(1u, set.userChanges.size());
    set.failUserChange = true;
    EXPECT_EQ(E_FAIL, set.SetGroupValuesFromPlugIn(key, local, 2, native));
}

TEST_F(CControlParamSetTest, FlushingClearsEveryEnvelopeOfThePlugInOverADay)
{
    FakePlugIn fx;
    MakeEffect(fx);
    ASSERT_EQ(S_OK, set.FlushPlugInEnvelopes(static_cast<IMediaParams*>(&fx)));
    ASSERT_EQ(2u, fx.flushes.size());
    for (DWORD i = 0; i < 2; ++i) {
        EXPECT_EQ(i, fx.flushes[i].index);
        EXPECT_EQ(0, fx.flushes[i].start);
        EXPECT_EQ(864000000000LL, fx.flushes[i].end);
    }
}

TEST_F(CControlParamSetTest, ASynthGetsOneParameterPerMediaParameterAndNamedController)
{
    FakeSynth synth;
    synth.plugIn.Add(Info("Cutoff", 0.0f, 1.0f, 0.5f), 0.75f);
    synth.names[ISynthNameLists::kControllers] = {{7, ""}, {10, "Pan"}};
    synth.names[ISynthNameLists::kNrpn] = {{300, ""}};
    synth.names[ISynthNameLists::kRpn] = {{0, "Bend Range"}};
    set.AddOwnControls(1);
    ASSERT_EQ(S_OK, set.AddControllerParams(kSynthClass, kInstanceA, &synth));

    struct Expect {
        DWORD id;
        const char* name;
        DWORD kind;
        WORD number;
        float maximum, neutral, value;
    };
    const Expect table[] = {
        {0x10000, "Cutoff", 0, 0xFFFF, 1.0f, 0.5f, 0.75f},
        {0x10001, "CC-7", 1, 7, 127.0f, 63.5f, 0.5f},
        {0x10002, "Pan", 1, 10, 127.0f, 63.5f, 0.5f},
        {0x10003, "NRPN-300", 3, 300, 16383.0f, 8191.5f, 0.5f},
        {0x10004, "Bend Range", 2, 0, 16383.0f, 8191.5f, 0.5f},
    };
    for (const Expect& e : table) {
        SCOPED_TRACE(e.name);
        MP_PARAMINFO info{};
        ASSERT_EQ(S_OK, set.GetParamInfo(e.id, &info));
        EXPECT_EQ(e.name, Label(info));
        EXPECT_EQ(0.0f, info.mpdMinValue);
        EXPECT_EQ(e.maximum, info.mpdMaxValue);
        EXPECT_EQ(e.neutral, info.mpdNeutralValue);
        DWORD kind = 0;
        WORD number = 0;
        ASSERT_EQ(S_OK, set.GetParamCurveInfo(e.id, &kind, &number));
        EXPECT_EQ(e.kind, kind);
        EXPECT_EQ(e.number, number);
        float v = 0;
        ASSERT_EQ(S_OK, set.GetParamValue(e.id, &v));
        EXPECT_FLOAT_EQ(e.value, v);
        if (e.kind != 0) {
            EXPECT_EQ("%", mvwin::Utf16ToUtf8(std::u16string_view(info.szUnitText)));
            EXPECT_EQ(MPT_FLOAT, info.mpType);
        }
    }
    EXPECT_FALSE(set.HasParam(0x10005));
}

TEST_F(CControlParamSetTest, ASynthWithNamesOnlyGetsAGroupAndOneWithNothingGetsNone)
{
    FakeSynth names;
    names.plugIn.hasParams = false;
    names.names[ISynthNameLists::kControllers] = {{1, "Mod"}};
    ASSERT_EQ(S_OK, set.AddControllerParams(kSynthClass, kInstanceA, &names));
    EXPECT_TRUE(set.HasParam(0x10000));

    FakeSynth empty;
    empty.plugIn.hasParams = false;
    ASSERT_EQ(S_OK, set.AddControllerParams(kSynthClass, kInstanceB, &empty));
    std::vector<GroupKey> keys;
    set.ListParams(&keys, nullptr);
    EXPECT_EQ(1u, keys.size());
    DWORD id = 0;
    EXPECT_EQ(S_FALSE, set.GetGroupParamIndex(GroupKey{kSynthClass, kInstanceB}, 0, &id));
    EXPECT_EQ(E_INVALIDARG, set.AddControllerParams(kSynthClass, kInstanceB, nullptr));
}

TEST_F(CControlParamSetTest, GroupQueriesMapIdsToKeysAndLocalIndices)
{
    set.AddOwnControls(3);
    FakePlugIn fx;
    MakeEffect(fx);
    set.AddPlugInParams(kFxClass, kInstanceB, static_cast<IMediaParams*>(&fx));

    DWORD local = 0;
    GUID cls{}, inst{};
    ASSERT_EQ(S_OK, set.GetParamGroup(0x10001, &local, &cls, &inst));
    EXPECT_EQ(1u, local);
    EXPECT_TRUE(cls == kFxClass && inst == kInstanceB);
    EXPECT_EQ(E_INVALIDARG, set.GetParamGroup(0x10002, &local, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, set.GetParamGroup(0, nullptr, nullptr, nullptr));

    DWORD id = 0;
    ASSERT_EQ(S_OK, set.GetGroupParamIndex(GroupKey{kFxClass, kInstanceB}, 40, &id));
    EXPECT_EQ(0x10028u, id);

    std::vector<GroupKey> keys;
    std::vector<CString> names;
    ASSERT_EQ(S_OK, set.ListParams(&keys, &names));
    ASSERT_EQ(2u, names.size());
    EXPECT_STREQ("Own", names[0]);
    EXPECT_STREQ("Effect", names[1]);

    std::vector<DWORD> ids;
    names.clear();
    ASSERT_EQ(S_OK, set.ListGroupParams(GroupKey{kFxClass, kInstanceB}, &names, &ids, nullptr));
    EXPECT_EQ((std::vector<DWORD>{0x10000, 0x10001}), ids);
    EXPECT_STREQ("Mix", names[1]);
    EXPECT_EQ(S_FALSE, set.ListGroupParams(GroupKey{kFxClass, kInstanceC}, &names, &ids, nullptr));

    EXPECT_EQ(E_UNEXPECTED, set.SetGroupParamList(GroupKey{kFxClass, kInstanceB}, {}));
    ASSERT_EQ(S_OK, set.SetGroupParamList(GroupKey{kFxClass, kInstanceB}, {0x10001}));
    std::vector<DWORD> list{1};
    EXPECT_EQ(E_UNEXPECTED, set.GetGroupParamList(GroupKey{kFxClass, kInstanceB}, &list));
    list.clear();
    ASSERT_EQ(S_OK, set.GetGroupParamList(GroupKey{kFxClass, kInstanceB}, &list));
    EXPECT_EQ((std::vector<DWORD>{0x10001}), list);
    list.clear();
    EXPECT_EQ(S_FALSE, set.GetGroupParamList(GroupKey{kFxClass, kInstanceC}, &list));

    // Removing the plug-in drops its records; its list stays.
    ASSERT_EQ(S_OK, set.RemoveParamGroup(kFxClass, kInstanceB));
    EXPECT_FALSE(set.HasParam(0x10000));
    EXPECT_TRUE(set.HasParam(2));
}

TEST_F(CControlParamSetTest, RecordedAutomationBecomesJumpPointsInReferenceTime)
{
    CMfxEvent e(MfxAutomation);
    e.m_automation.param = 0x10001;
    e.m_time = 1500;  // 1.5 s at the fake's rate
    e.m_value = 0.25f;
    ASSERT_EQ(S_OK, set.AddAutomationPoint(e));
    e.m_time = 500;
    e.m_value = 0.75f;
    ASSERT_EQ(S_OK, set.AddAutomationPoint(e));

    auto envelopes = set.GetEnvelopes();
    ASSERT_EQ(1u, envelopes.size());
    auto& points = envelopes.at(0x10001);
    ASSERT_EQ(2u, points.size());
    EXPECT_EQ(15000000, points[0].rtStart);
    EXPECT_EQ(15000001, points[0].rtEnd);
    EXPECT_EQ(0.25f, points[0].valStart);
    EXPECT_EQ(0.25f, points[0].valEnd);
    EXPECT_EQ(MP_CURVE_JUMP, points[0].iCurve);
    EXPECT_EQ(0u, points[0].flags);

    CControlParamSet::SortEnvelope(points);
    EXPECT_EQ(5000000, points[0].rtStart);
    EXPECT_EQ(0.75f, points[0].valStart);
}

TEST_F(CControlParamSetTest, AutomationOnTheAudioSideIsClampedAndSkippedWhileTheStructureIsBusy)
{
    set.AddOwnControls(3);
    set.ClearDirtyBits(0xFFFFFFFF);
    std::vector<CMfxEvent> events(3, CMfxEvent(MfxAutomation));
    events[0].m_automation.param = 0;
    events[0].m_value = 0.5f;
    events[1].m_automation.param = 2;
    events[1].m_value = 7.0f;
    events[2].m_automation.param = 0x10000;  // no such parameter
    events[2].m_value = 0.1f;

    // Another thread holds the owner's lock (a group being added).
    std::atomic<int> stage{0};
    std::thread structure([&] {
        set.lock.Lock();
        stage = 1;
        while (stage.load() != 2)
            std::this_thread::yield();
        set.lock.Unlock();
    });
    while (stage.load() != 1)
        std::this_thread::yield();
    EXPECT_EQ(S_FALSE, set.ApplyAutomation(events.data(), events.size()));
    stage = 2;
    structure.join();
    EXPECT_EQ(0u, set.GetDirtyMask());

    ASSERT_EQ(S_OK, set.ApplyAutomation(events.data(), events.size()));
    EXPECT_EQ(0xFFFFFFFFu, set.GetDirtyMask());
    float v = 0;
    set.GetParamValue(0, &v);
    EXPECT_EQ(0.5f, v);
    set.GetParamValue(2, &v);
    EXPECT_EQ(1.0f, v);
}

TEST_F(CControlParamSetTest, BadArgumentsAreRefused)
{
    set.AddOwnControls(1);
    float f = 0;
    DWORD d = 0;
    CString s;
    EXPECT_EQ(E_POINTER, set.GetParamValue(0, nullptr));
    EXPECT_EQ(E_INVALIDARG, set.GetParamValue(4, &f));
    EXPECT_EQ(E_POINTER, set.IsParamAutomatable(0, nullptr));
    EXPECT_EQ(E_INVALIDARG, set.IsParamAutomatable(4, &d));
    ASSERT_EQ(S_OK, set.IsParamAutomatable(0, &d));
    EXPECT_EQ(1u, d);
    EXPECT_EQ(E_INVALIDARG, set.GetParamCurveInfo(0, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, set.GetParamName(4, &s));
    EXPECT_EQ(E_POINTER, set.GetNormalizedDefault(0, nullptr));
    EXPECT_EQ(E_INVALIDARG, set.GetNormalizedDefault(4, &f));
}

// ---- Saved form ----

class ParamSetPersistTest : public CControlParamSetTest {
protected:
    FakeSynth synth;
    FakePlugIn fx;

    // What an owner rebuilds before its saved set is loaded: its controls,
    // its synth and its effect.
    void Build(TestParamSet& s)
    {
        s.AddOwnControls(4);
        ASSERT_EQ(S_OK, s.AddControllerParams(kSynthClass, kInstanceA, &synth));
        ASSERT_EQ(S_OK, s.AddPlugInParams(kFxClass, kInstanceB, static_cast<IMediaParams*>(&fx)));
    }
    void SetUp() override
    {
        synth.plugIn.hasParams = false;
        synth.names[ISynthNameLists::kControllers] = {{7, "Volume"}, {64, ""}};
        synth.names[ISynthNameLists::kNrpn] = {{1000, "Attack"}};
        synth.names[ISynthNameLists::kRpn] = {{2, "Coarse Tune"}};
        MakeEffect(fx);
    }
};

TEST_F(ParamSetPersistTest, TheSavedFormRoundTripsByteForByte)
{
    Build(set);
    set.SetDisplayName("Bass");
    ASSERT_EQ(S_OK, set.SetGroupParamList(GroupKey{kSynthClass, kInstanceA}, {0x10000, 0x10003}));
    IRCParam* rc = nullptr;
    ASSERT_EQ(S_OK, set.CreateRCParam(0x10002, &rc));
    static_cast<FakeRCParam*>(rc)->controller = 74;
    ASSERT_EQ(S_OK, set.AssignRCParam(0x10002, rc, nullptr));
    CUndoHistory::Instance().Clear();
    const std::vector<BYTE> saved = SaveBytes(set);

    TestParamSet loaded(&doc);
    Build(loaded);
    ASSERT_EQ(S_OK, LoadBytes(loaded, saved));
    EXPECT_EQ(saved, SaveBytes(loaded));
    EXPECT_STREQ("Bass", loaded.GetDisplayName());

    // The loaded assignment drives the same parameter, registered.
    std::vector<RCParamRecord> records;
    ASSERT_EQ(S_OK, loaded.ListRCParams(&records));
    ASSERT_EQ(1u, records.size());
    auto* back = static_cast<FakeRCParam*>(records[0].param);
    EXPECT_EQ(2u, back->index);
    EXPECT_EQ(74u, back->controller);
    EXPECT_TRUE(back->registered);
    EXPECT_STREQ("Synth, Attack", records[0].text);
}

TEST_F(ParamSetPersistTest, TheSavedFormIsLaidOutGroupsMapsListsName)
{
    set.AddOwnControls(1);
    DWORD first = 0;
    set.RegisterGroup(kFxClass, kInstanceB, 2, &first);  // no records: not saved
    set.SetGroupParamList(GroupKey{kOwnClass, GUID_NULL}, {0});
    set.SetDisplayName("M");
    const std::vector<BYTE> bytes = SaveBytes(set);

    std::vector<BYTE> payload;
    auto put = [&](const void* p, std::size_t n) {
        auto* b = static_cast<const BYTE*>(p);
        payload.insert(payload.end(), b, b + n);
    };
    auto u32 = [&](DWORD v) { put(&v, 4); };
    u32(1);
    put(&GUID_NULL, 16);
    put(&kOwnClass, 16);
    u32(0);
    u32(1);
    u32(0);
    u32(1);
    put(&GUID_NULL, 16);
    put(&kOwnClass, 16);
    u32(1);
    u32(0);
    u32(2);
    put("M", 2);
    ASSERT_EQ(12 + payload.size(), bytes.size());
    EXPECT_EQ(payload, std::vector<BYTE>(bytes.begin() + 12, bytes.end()));
}

TEST_F(ParamSetPersistTest, LoadingKeepsAListAlreadyInMemory)
{
    Build(set);
    set.SetGroupParamList(GroupKey{kFxClass, kInstanceB}, {0x20001});
    const std::vector<BYTE> saved = SaveBytes(set);

    TestParamSet loaded(&doc);
    Build(loaded);
    loaded.SetGroupParamList(GroupKey{kFxClass, kInstanceB}, {0x20000});
    ASSERT_EQ(S_OK, LoadBytes(loaded, saved));
    std::vector<DWORD> list;
    loaded.GetGroupParamList(GroupKey{kFxClass, kInstanceB}, &list);
    EXPECT_EQ((std::vector<DWORD>{0x20000}), list);
}

TEST_F(ParamSetPersistTest, ADamagedFormLeavesTheSetAsItWasAndLeaksNothing)
{
    Build(set);
    IRCParam* rc = nullptr;
    ASSERT_EQ(S_OK, set.CreateRCParam(1, &rc));
    ASSERT_EQ(S_OK, set.AssignRCParam(1, rc, nullptr));
    CUndoHistory::Instance().Clear();
    set.SetDisplayName("Lead");
    const std::vector<BYTE> saved = SaveBytes(set);
    ASSERT_EQ(1u, doc.live.size());

    struct Case {
        const char* name;
        std::vector<BYTE> bytes;
    };
    std::vector<BYTE> cut(saved.begin(), saved.end() - 3);
    DWORD shorter = static_cast<DWORD>(cut.size());
    std::memcpy(cut.data(), &shorter, 4);
    std::vector<BYTE> hugeCount = saved;
    const DWORD huge = 0x40000000;
    std::memcpy(hugeCount.data() + 12, &huge, 4);
    std::vector<BYTE> offBlock = saved;
    const DWORD odd = 0x12345;
    std::memcpy(offBlock.data() + 12 + 4 + 32, &odd, 4);  // first group's first id
    std::vector<BYTE> sharedBlock = saved;
    const DWORD second = 0x10000;
    std::memcpy(sharedBlock.data() + 12 + 4 + 32, &second, 4);  // own group onto the synth's block
    const Case cases[] = {
        {"chunk cut short", cut},
        {"group count past the chunk", hugeCount},
        {"first id inside a block", offBlock},
        {"two groups in one block", sharedBlock},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestParamSet loaded(&doc);
        Build(loaded);
        loaded.SetDisplayName("Before");
        const std::vector<BYTE> before = SaveBytes(loaded);
        EXPECT_TRUE(FAILED(LoadBytes(loaded, c.bytes)));
        EXPECT_EQ(before, SaveBytes(loaded));
        EXPECT_EQ(1u, doc.live.size());
    }
}

TEST_F(CControlParamSetTest, AnotherChunkOfTheOwnerIsNotTheSets)
{
    EXPECT_EQ(KELPERSIST_E_UNKNOWNCHUNK, set.PersistParamSet(1, nullptr));
}

}  // namespace
