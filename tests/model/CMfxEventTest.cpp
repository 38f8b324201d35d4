#include "model/CMfxEvent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <vector>

#include "model/CMfxBufferFactory.h"
#include "tests/model/PersistTestSupport.h"

using namespace mvtest;

namespace {

CMfxEvent Make(DWORD kind, LONG time = 0)
{
    CMfxEvent e(kind);
    e.m_time = time;
    return e;
}

CMfxEvent Wheel(int value)
{
    CMfxEvent e(MfxWheel);
    e.m_wheel.value = static_cast<SHORT>(value);
    return e;
}

CMfxEvent Controller(int value)
{
    CMfxEvent e(MfxController);
    e.m_ctrl.value = static_cast<BYTE>(value);
    return e;
}

CMfxEvent Rpn(int value)
{
    CMfxEvent e(MfxRpn);
    e.m_rpn.value = static_cast<WORD>(value);
    return e;
}

CMfxEvent Automation(float value)
{
    CMfxEvent e(MfxAutomation);
    e.m_value = value;
    return e;
}

Bytes Saved(CMfxEvent& e)
{
    auto stream = NewMemoryStream();
    EXPECT_EQ(S_OK, e.Save(stream.Get(), 1));
    return StreamBytes(stream.Get());
}

// An event whose buffer holds the bytes.
CMfxEvent WithBuffer(DWORD kind, const Bytes& data)
{
    CMfxEvent e(kind);
    CMfxBufferFactory& factory = CMfxBufferFactory::GetShared();
    HMFXBUFFER handle = 0;
    EXPECT_EQ(S_OK, factory.Alloc(static_cast<DWORD>(data.size()), &handle));
    e.m_buffer.handle = handle;
    void* p = nullptr;
    DWORD size = 0;
    EXPECT_EQ(S_OK, factory.GetPointer(handle, &p, &size));
    std::memcpy(p, data.data(), data.size());
    return e;
}

Bytes BufferBytes(HMFXBUFFER handle)
{
    void* p = nullptr;
    DWORD size = 0;
    if (FAILED(CMfxBufferFactory::GetShared().GetPointer(handle, &p, &size)))
        return {};
    return Bytes(static_cast<BYTE*>(p), static_cast<BYTE*>(p) + size);
}

}  // namespace

TEST(CMfxEvent, EachKindStartsWithItsDefaults)
{
    CMfxEvent note;
    EXPECT_EQ(static_cast<DWORD>(MfxNote), MfxCopy(note.m_kind));
    EXPECT_EQ(60, note.m_note.key);
    EXPECT_EQ(64, note.m_note.velocity);
    EXPECT_EQ(0, note.m_note.extra);
    EXPECT_EQ(120u, MfxCopy(note.m_note.duration));
    EXPECT_EQ(0, MfxCopy(note.m_time));
    EXPECT_EQ(0u, note.m_selected);
    EXPECT_EQ(0x6004, note.GetMajor());
    EXPECT_EQ(0, note.GetMinor());

    EXPECT_EQ(60, Make(MfxKeyAftertouch).m_keyAft.key);
    EXPECT_EQ(1, Make(MfxController).m_ctrl.number);
    EXPECT_EQ(0xFFFF, MfxCopy(Make(MfxPatch).m_patch.bank));
    EXPECT_EQ(0, Make(MfxPatch).m_patch.patch);
    EXPECT_EQ(0, MfxCopy(Make(MfxWheel).m_wheel.value));
    EXPECT_EQ(0u, MfxCopy(Make(MfxSysex).m_buffer.handle));
    EXPECT_EQ(0xFFFFFFFFu, MfxCopy(Make(MfxAutomation).m_automation.param));
    EXPECT_EQ(0.0f, Make(MfxAutomation).m_value);
    EXPECT_EQ(0u, MfxCopy(Make(12).m_dword));
}

TEST(CMfxEvent, BuildsFromEveryShortMessage)
{
    struct Case {
        const char* name;
        DWORD message;
        DWORD kind;
        int channel;
        int byte0;  // key, number, patch or pressure
        int byte1;  // velocity, pressure or value; -1 when not compared
    } cases[] = {
        {"note on", 0x7F3C91, MfxNote, 1, 60, 127},
        {"note off keeps velocity", 0x003E82, MfxNote, 2, 62, 64},
        {"key aftertouch", 0x2040A3, MfxKeyAftertouch, 3, 64, 32},
        {"controller", 0x5507B4, MfxController, 4, 7, 85},
        {"patch change", 0x0005C5, MfxPatch, 5, 5, -1},
        {"channel aftertouch", 0x0033DF, MfxChannelAftertouch, 15, -1, 0x33},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMfxEvent e;
        e.m_note.extra = 9;
        ASSERT_EQ(S_OK, e.SetFromShortMsg(c.message, 3));
        EXPECT_EQ(c.kind, MfxCopy(e.m_kind));
        EXPECT_EQ(c.channel, e.m_channel);
        EXPECT_EQ(3, e.m_port);
        if (c.byte0 >= 0) {
            EXPECT_EQ(c.byte0, e.m_data[0]);
        }
        if (c.byte1 >= 0) {
            EXPECT_EQ(c.byte1, e.m_data[1]);
        }
    }
    CMfxEvent on;
    on.m_note.extra = 9;
    on.SetFromShortMsg(0x7F3C91, 0);
    EXPECT_EQ(0, on.m_note.extra);
}

TEST(CMfxEvent, PitchWheelMessagesCoverTheWholeRange)
{
    const struct {
        DWORD message;
        int value;
    } cases[] = {{0x4000E0, 0}, {0x7F7FE0, 8191}, {0x0000E0, -8192}, {0x3F7FE0, -1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.message);
        CMfxEvent e;
        ASSERT_EQ(S_OK, e.SetFromShortMsg(c.message, 0));
        EXPECT_EQ(static_cast<DWORD>(MfxWheel), MfxCopy(e.m_kind));
        EXPECT_EQ(c.value, MfxCopy(e.m_wheel.value));
    }
}

TEST(CMfxEvent, MessagesThatAreNotChannelMessagesLeaveTheEventAsItWas)
{
    // System messages, a data byte without a status, and data bytes with the
    // top bit set (which would wrap a value, e.g. a wheel past 8191).
    for (DWORD message : {0xF8u, 0xF0u, 0x7F3C00u, 0x7F3C7Fu, 0xFFFFE0u, 0x00BC90u, 0x80BC90u, 0x8007B0u}) {
        SCOPED_TRACE(message);
        CMfxEvent e(MfxController);
        e.m_time = 5;
        e.m_channel = 3;
        const CMfxEvent before = e;
        EXPECT_EQ(E_INVALIDARG, e.SetFromShortMsg(message, 1));
        EXPECT_EQ(0, std::memcmp(static_cast<const MfxEvent*>(&before), static_cast<const MfxEvent*>(&e),
                                 sizeof(MfxEvent)));
    }
    // A note-off carries no velocity that is used: its second byte is free.
    CMfxEvent e;
    EXPECT_EQ(S_OK, e.SetFromShortMsg(0x803C80, 0));
}

TEST(CMfxEvent, NumbersAndValuesByKindAreClamped)
{
    CMfxEvent cc(MfxController);
    cc.SetNumber(300);
    cc.SetValue(-5);
    EXPECT_EQ(127, cc.GetNumber());
    EXPECT_EQ(0, cc.GetValue());
    CMfxEvent rpn(MfxNrpn);
    rpn.SetNumber(20000);
    rpn.SetValue(16000);
    EXPECT_EQ(16383, rpn.GetNumber());
    EXPECT_EQ(16000, rpn.GetValue());
    CMfxEvent note;
    note.SetValue(10);
    note.SetNumber(10);
    EXPECT_EQ(0, note.GetValue());
    EXPECT_EQ(0, note.GetNumber());
    EXPECT_EQ(64, note.m_note.velocity);
}

TEST(CMfxEvent, ConvertsValuesBetweenKindsWithinTheTargetsRange)
{
    struct Case {
        const char* name;
        CMfxEvent source;
        DWORD target;
        double expected;
    } cases[] = {
        {"controller to wheel", Controller(64), MfxWheel, 0},
        {"controller 0 to wheel", Controller(0), MfxWheel, -8192},
        {"controller to rpn", Controller(127), MfxRpn, 127 << 7},
        {"controller to automation", Controller(127), MfxAutomation, 1.0},
        {"rpn to controller", Rpn(16383), MfxController, 127},
        {"rpn to wheel", Rpn(0), MfxWheel, -8192},
        {"rpn to nrpn", Rpn(1234), MfxNrpn, 1234},
        {"rpn to automation", Rpn(8192), MfxAutomation, 0.5},
        {"wheel to controller", Wheel(8191), MfxController, 127},
        {"lowest wheel to controller", Wheel(-8192), MfxController, 0},
        {"lowest wheel to rpn", Wheel(-8192), MfxRpn, 0},
        {"lowest wheel to automation", Wheel(-8192), MfxAutomation, 0.0},
        {"wheel to rpn", Wheel(0), MfxRpn, 8191},
        {"automation 1.0 to wheel", Automation(1.0f), MfxWheel, 8191},
        {"automation 0 to wheel", Automation(0.0f), MfxWheel, -8192},
        {"automation 1.0 to rpn", Automation(1.0f), MfxRpn, 16383},
        {"automation 0.5 to controller", Automation(0.5f), MfxController, 63},
        {"automation above 1 to controller", Automation(3.0f), MfxController, 127},
        {"automation below 0 to automation", Automation(-0.5f), MfxAutomation, 0.0},
        {"controller out of range to wheel", Controller(200), MfxWheel, 8191},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMfxEvent target(c.target);
        ASSERT_EQ(1, target.ConvertValueFrom(c.source));
        switch (c.target) {
        case MfxWheel: EXPECT_EQ(c.expected, MfxCopy(target.m_wheel.value)); break;
        case MfxController: EXPECT_EQ(c.expected, target.m_ctrl.value); break;
        case MfxRpn:
        case MfxNrpn: EXPECT_EQ(c.expected, MfxCopy(target.m_rpn.value)); break;
        default: EXPECT_FLOAT_EQ(static_cast<float>(c.expected), target.m_value); break;
        }
    }
    CMfxEvent note;
    const CMfxEvent before = note;
    EXPECT_EQ(0, note.ConvertValueFrom(Controller(5)));
    EXPECT_EQ(0, Controller(5).ConvertValueFrom(note));
    EXPECT_EQ(before.m_note.velocity, note.m_note.velocity);
}

TEST(CMfxEvent, OffsetsMoveValuesAndClamp)
{
    CMfxEvent note;
    note.m_note.velocity = 100;
    note.m_note.extra = 5;
    EXPECT_EQ(1, note.OffsetValue(0.5f));
    EXPECT_EQ(127, note.m_note.velocity);
    EXPECT_EQ(0, note.m_note.extra);
    note.m_note.velocity = 100;
    note.OffsetValue(-1.0f);
    EXPECT_EQ(0, note.m_note.velocity);

    const struct {
        int from;
        float amount;
        int to;
    } wheels[] = {{-100, 0.5f, -4195}, {8000, 0.5f, 8191}, {-100, -0.5f, 0}, {100, -0.5f, 0}, {0, 0.25f, 2047},
                  {-8192, 0.1f, -8191}};
    for (const auto& w : wheels) {
        SCOPED_TRACE(w.from);
        CMfxEvent e = Wheel(w.from);
        EXPECT_EQ(1, e.OffsetValue(w.amount));
        EXPECT_EQ(w.to, MfxCopy(e.m_wheel.value));
    }

    CMfxEvent cc = Controller(120);
    cc.OffsetValue(0.1f);
    EXPECT_EQ(127, cc.m_ctrl.value);
    CMfxEvent a = Automation(0.75f);
    a.OffsetValue(0.5f);
    EXPECT_EQ(1.0f, a.m_value);
    EXPECT_EQ(0, Rpn(5).OffsetValue(0.1f));
    EXPECT_EQ(0, Make(MfxPatch).OffsetValue(0.1f));
}

TEST(CMfxEvent, TargetsAndIdentities)
{
    CMfxEvent a;
    CMfxEvent b;
    b.m_channel = 5;
    b.m_note.velocity = 1;
    EXPECT_TRUE(a.IsSameTarget(b));  // channel not compared
    EXPECT_FALSE(a.IsSameEvent(b));  // channel compared for notes
    b.m_channel = 0;
    EXPECT_TRUE(a.IsSameEvent(b));  // velocity ignored
    b.m_note.duration = 1;
    EXPECT_FALSE(a.IsSameEvent(b));
    b.m_time = 1;
    EXPECT_FALSE(a.IsSameEvent(b));

    EXPECT_TRUE(Wheel(5).IsSameTarget(Wheel(-5)));
    EXPECT_FALSE(Wheel(5).IsSameTarget(Controller(5)));
    CMfxEvent p1(MfxPatch);
    CMfxEvent p2(MfxPatch);
    EXPECT_TRUE(p1.IsSameTarget(p2));
    EXPECT_FALSE(p1.IsSameEvent(p2));
    CMfxEvent r1 = Rpn(1);
    CMfxEvent r2 = Rpn(2);
    r2.m_rpn.number = 7;
    EXPECT_FALSE(r1.IsSameTarget(r2));
    EXPECT_FALSE(r1.IsSameEvent(r1));  // kinds without an identity never match
    CMfxEvent x1 = Automation(0.1f);
    CMfxEvent x2 = Automation(0.9f);
    EXPECT_TRUE(x1.IsSameEvent(x2));
    x2.m_automation.param = 4;
    EXPECT_FALSE(x1.IsSameTarget(x2));
}

TEST(CMfxEvent, LessByTargetOrdersSetsOfTargets)
{
    std::vector<CMfxEvent> events;
    for (int key : {64, 60, 62, 60}) {
        CMfxEvent n;
        n.m_note.key = static_cast<BYTE>(key);
        n.m_time = 1000 - key;  // the time is no part of the order
        events.push_back(n);
    }
    events.push_back(Controller(1));
    events.push_back(Automation(0.5f));
    CMfxEvent otherChannel;
    otherChannel.m_channel = 1;
    otherChannel.m_note.key = 0;
    events.push_back(otherChannel);
    std::set<CMfxEvent, decltype(&CMfxEvent::LessByTarget)> set(&CMfxEvent::LessByTarget);
    for (const CMfxEvent& e : events)
        set.insert(e);
    ASSERT_EQ(6u, set.size());  // the two key-60 notes are one target
    std::vector<int> order;
    for (const CMfxEvent& e : set)
        order.push_back(e.m_kind == MfxNote ? e.m_note.key + 1000 * e.m_channel : -static_cast<int>(e.m_kind));
    EXPECT_EQ((std::vector<int>{60, 62, 64, 1000, -2, -0x7FFFFFFF}), order);
}

TEST(CMfxEvent, DebugText)
{
    CMfxEvent note;
    note.m_time = 10;
    EXPECT_EQ(CString("Note: t=10, d=120, k=60, v=64"), note.GetText());
    EXPECT_EQ(CString("Patch: t=0, Patch=0 Bank=-1"), Make(MfxPatch).GetText());
    EXPECT_EQ(CString("CC: t=0, n=1, v=0"), Make(MfxController).GetText());
    EXPECT_EQ(CString("Wheel: t=0, v=-3"), Wheel(-3).GetText());
    EXPECT_EQ(CString("ChanAft: t=0, Chaft=0"), Make(MfxChannelAftertouch).GetText());
    EXPECT_EQ(CString("Automation: t=0, Param=-1, v=0.25"), Automation(0.25f).GetText());
    EXPECT_EQ(CString("???: t=7,"), Make(MfxRpn, 7).GetText());
}

TEST(CMfxEvent, ANoteIsSavedAsItsExactBytes)
{
    CMfxEvent note;
    note.m_time = 0x01020304;
    note.m_port = 2;
    note.m_channel = 9;
    note.m_note.key = 61;
    note.m_note.velocity = 100;
    note.m_note.extra = 3;
    note.m_note.duration = 480;
    Bytes expected;
    Put<ULONGLONG>(expected, 12 + 6 + 7 + 8);
    Put<DWORD>(expected, 0x60040000);
    Put<DWORD>(expected, MfxNote);
    expected.insert(expected.end(), {2, 9, 61, 100, 3});
    Put<DWORD>(expected, 480);
    Put<DWORD>(expected, 0x01020304);
    Put<DWORD>(expected, 0);
    EXPECT_EQ(expected, Saved(note));
}

TEST(CMfxEvent, EveryPersistableKindRoundTrips)
{
    std::vector<CMfxEvent> events;
    CMfxEvent note;
    note.m_note.duration = 0xDEADBEEF;
    events.push_back(note);
    CMfxEvent keyAft(MfxKeyAftertouch);
    keyAft.m_keyAft.pressure = 77;
    events.push_back(keyAft);
    events.push_back(Controller(99));
    CMfxEvent patch(MfxPatch);
    patch.m_patch.patch = 12;
    patch.m_patch.bankMethod = 2;
    patch.m_patch.bank = 300;
    events.push_back(patch);
    CMfxEvent chanAft(MfxChannelAftertouch);
    chanAft.m_chanAft.pressure = 55;
    events.push_back(chanAft);
    events.push_back(Wheel(-8192));
    CMfxEvent nrpn = Rpn(16383);
    nrpn.m_kind = MfxNrpn;
    nrpn.m_rpn.number = 1000;
    events.push_back(nrpn);
    CMfxEvent automation = Automation(0.1f);
    automation.m_automation.param = 0x20003;
    events.push_back(automation);

    for (CMfxEvent& out : events) {
        SCOPED_TRACE(out.GetText().GetString());
        out.m_time = 123456;
        out.m_port = 1;
        out.m_channel = 14;
        const Bytes saved = Saved(out);
        ULARGE_INTEGER size{};
        ASSERT_EQ(S_OK, out.GetSizeMax(&size));
        EXPECT_EQ(saved.size(), size.QuadPart);
        CMfxEvent in(MfxController);
        ASSERT_EQ(S_OK, in.Load(StreamOf(saved).Get()));
        EXPECT_EQ(0, std::memcmp(static_cast<const MfxEvent*>(&out), static_cast<const MfxEvent*>(&in),
                                 sizeof(MfxEvent)));
        EXPECT_EQ(0, std::memcmp(&out.m_value, &in.m_value, sizeof(float)));  // bit for bit
        EXPECT_EQ(saved, Saved(in));
    }
}

TEST(CMfxEvent, KindsOutsideThePersistedTableAreRefused)
{
    CMfxEvent sysex = WithBuffer(MfxSysex, {0xF0, 0xF7});
    auto stream = NewMemoryStream();
    EXPECT_EQ(E_FAIL, sysex.Save(stream.Get(), 1));
    CMfxEvent other(12);
    EXPECT_EQ(E_FAIL, other.Save(NewMemoryStream().Get(), 1));

    Bytes bad;
    Put<ULONGLONG>(bad, 12 + 14);
    Put<DWORD>(bad, 0x60040000);
    Put<DWORD>(bad, MfxText);
    bad.resize(12 + 14, 0);
    CMfxEvent in;
    EXPECT_EQ(E_FAIL, in.Load(StreamOf(bad).Get()));
    EXPECT_EQ(static_cast<DWORD>(MfxNote), MfxCopy(in.m_kind));
}

TEST(CMfxEvent, CopiesNeverShareABuffer)
{
    const Bytes data = {0xF0, 1, 2, 3, 4, 5, 6, 7, 8, 0xF7};
    CMfxEvent a = WithBuffer(MfxSysex, data);
    CMfxEvent b(a);
    EXPECT_NE(MfxCopy(a.m_buffer.handle), MfxCopy(b.m_buffer.handle));
    EXPECT_EQ(data, BufferBytes(b.m_buffer.handle));

    // Assignment frees the target's own buffer first.
    CMfxEvent c = WithBuffer(MfxText, {'h', 'i', 0});
    const HMFXBUFFER old = c.m_buffer.handle;
    c = a;
    EXPECT_FALSE(CMfxBufferFactory::GetShared().IsValidBuffer(old));
    EXPECT_EQ(data, BufferBytes(c.m_buffer.handle));
    c = c;
    EXPECT_EQ(data, BufferBytes(c.m_buffer.handle));

    // A move hands the buffer over; the destructor frees it.
    HMFXBUFFER moved = 0;
    {
        CMfxEvent d(std::move(b));
        moved = d.m_buffer.handle;
        EXPECT_EQ(0u, MfxCopy(b.m_buffer.handle));
        EXPECT_EQ(data, BufferBytes(moved));
    }
    EXPECT_FALSE(CMfxBufferFactory::GetShared().IsValidBuffer(moved));

    // Copies of non-buffer events carry their handle bytes as plain data.
    CMfxEvent plain(16);
    plain.m_dword = 0x1234;
    CMfxEvent plainCopy(plain);
    EXPECT_EQ(0x1234u, MfxCopy(plainCopy.m_dword));
}

TEST(CMfxEvent, LoadingOverABufferEventFreesTheBuffer)
{
    CMfxEvent e = WithBuffer(MfxSysex, {0xF0, 0xF7});
    const HMFXBUFFER handle = e.m_buffer.handle;
    CMfxEvent note;
    ASSERT_EQ(S_OK, e.Load(StreamOf(Saved(note)).Get()));
    EXPECT_FALSE(CMfxBufferFactory::GetShared().IsValidBuffer(handle));
    EXPECT_EQ(static_cast<DWORD>(MfxNote), MfxCopy(e.m_kind));
}
