#include "model/CMfxEventQueue.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "model/CMfxEvent.h"

namespace {

// A queue held for one test.
struct Queue {
    explicit Queue(int capacity, IMfxBufferFactory* factory = nullptr) : q(new CMfxEventQueue(factory, capacity)) {}
    ~Queue() { q->Release(); }
    CMfxEventQueue* operator->() const { return q; }
    CMfxEventQueue* q;
};

MfxEvent Note(LONG time, BYTE key = 60)
{
    CMfxEvent e;
    e.m_time = time;
    e.m_note.key = key;
    return e;
}

std::vector<MfxEvent> Contents(CMfxEventQueue* q)
{
    int count = 0;
    q->GetCount(&count);
    std::vector<MfxEvent> out(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        EXPECT_EQ(S_OK, q->GetAt(i, &out[static_cast<std::size_t>(i)]));
    return out;
}

HMFXBUFFER Block(IMfxBufferFactory* factory, const std::vector<BYTE>& data)
{
    HMFXBUFFER h = 0;
    EXPECT_EQ(S_OK, factory->Alloc(static_cast<DWORD>(data.size()), &h));
    void* p = nullptr;
    DWORD size = 0;
    factory->GetPointer(h, &p, &size);
    if (!data.empty())
        std::memcpy(p, data.data(), data.size());
    return h;
}

}  // namespace

TEST(CMfxEventQueue, KeepsTimeOrderAndArrivalOrderWithinATime)
{
    Queue q(4);
    const struct {
        LONG time;
        BYTE key;
    } adds[] = {{10, 1}, {5, 2}, {10, 3}, {7, 4}, {0, 5}, {10, 6}, {7, 7}};
    for (const auto& a : adds) {
        MfxEvent e = Note(a.time, a.key);
        ASSERT_EQ(S_OK, q->Add(&e));
    }
    std::vector<int> keys;
    for (const MfxEvent& e : Contents(q.q))
        keys.push_back(e.m_note.key);
    EXPECT_EQ((std::vector<int>{5, 2, 4, 7, 1, 3, 6}), keys);
}

TEST(CMfxEventQueue, GrowsInStepsAndNeverShrinks)
{
    Queue q(128);
    EXPECT_EQ(128, q->GetCapacity());
    MfxEvent e = Note(0);
    for (int i = 0; i < 127; ++i)
        ASSERT_EQ(S_OK, q->Add(&e));
    EXPECT_EQ(128, q->GetCapacity());
    ASSERT_EQ(S_OK, q->Add(&e));  // the 128th: capacity stays above the count
    EXPECT_EQ(256, q->GetCapacity());
    q->Clear();
    int count = -1;
    q->GetCount(&count);
    EXPECT_EQ(0, count);
    EXPECT_EQ(256, q->GetCapacity());

    Queue tiny(0);  // a step of at least one
    for (int i = 0; i < 3; ++i)
        ASSERT_EQ(S_OK, tiny->Add(&e));
    EXPECT_EQ(4, tiny->GetCapacity());
}

TEST(CMfxEventQueue, RefusesRecordsOutOfRange)
{
    Queue q(8);
    auto with = [](DWORD kind, auto&& change) {
        CMfxEvent c(kind);
        change(c);
        return static_cast<MfxEvent>(c);
    };
    struct Case {
        const char* name;
        MfxEvent record;
        HRESULT expected;
    } cases[] = {
        {"note", with(MfxNote, [](CMfxEvent&) {}), S_OK},
        {"velocity 128", with(MfxNote, [](CMfxEvent& e) { e.m_note.velocity = 128; }), E_INVALIDARG},
        {"key 128", with(MfxNote, [](CMfxEvent& e) { e.m_note.key = 128; }), E_INVALIDARG},
        {"extra 128", with(MfxNote, [](CMfxEvent& e) { e.m_note.extra = 128; }), E_INVALIDARG},
        {"channel 16", with(MfxNote, [](CMfxEvent& e) { e.m_channel = 16; }), E_INVALIDARG},
        {"negative time", with(MfxNote, [](CMfxEvent& e) { e.m_time = -1; }), E_INVALIDARG},
        {"wheel 8191", with(MfxWheel, [](CMfxEvent& e) { e.m_wheel.value = 8191; }), S_OK},
        {"wheel -8192", with(MfxWheel, [](CMfxEvent& e) { e.m_wheel.value = -8192; }), S_OK},
        {"wheel 8192", with(MfxWheel, [](CMfxEvent& e) { e.m_wheel.value = 8192; }), E_INVALIDARG},
        {"controller value 128", with(MfxController, [](CMfxEvent& e) { e.m_ctrl.value = 128; }), E_INVALIDARG},
        {"key pressure 128", with(MfxKeyAftertouch, [](CMfxEvent& e) { e.m_keyAft.pressure = 128; }), E_INVALIDARG},
        {"patch without bank", with(MfxPatch, [](CMfxEvent&) {}), S_OK},
        {"bank 16383", with(MfxPatch, [](CMfxEvent& e) { e.m_patch.bank = 16383; }), S_OK},
        {"bank 16384", with(MfxPatch, [](CMfxEvent& e) { e.m_patch.bank = 16384; }), E_INVALIDARG},
        {"bank method 4", with(MfxPatch, [](CMfxEvent& e) { e.m_patch.bankMethod = 4; }), E_INVALIDARG},
        {"patch 128", with(MfxPatch, [](CMfxEvent& e) { e.m_patch.patch = 128; }), E_INVALIDARG},
        {"channel pressure 128", with(MfxChannelAftertouch, [](CMfxEvent& e) { e.m_chanAft.pressure = 128; }),
         E_INVALIDARG},
        {"rpn 16383", with(MfxRpn, [](CMfxEvent& e) { e.m_rpn.value = 16383; }), S_OK},
        {"nrpn number 16384", with(MfxNrpn, [](CMfxEvent& e) { e.m_rpn.number = 16384; }), E_INVALIDARG},
        {"kind 16", with(16, [](CMfxEvent&) {}), S_OK},
        {"kind 11", with(11, [](CMfxEvent&) {}), E_INVALIDARG},
        {"kind 15", with(15, [](CMfxEvent&) {}), E_INVALIDARG},
        {"kind 17", with(17, [](CMfxEvent&) {}), E_INVALIDARG},
        {"automation", with(MfxAutomation, [](CMfxEvent&) {}), E_INVALIDARG},
        {"sysex without a block", with(MfxSysex, [](CMfxEvent&) {}), E_INVALIDARG},
        {"sysex with a made-up handle", with(MfxSysex, [](CMfxEvent& e) { e.m_buffer.handle = 0x000FFFFE; }),
         E_INVALIDARG},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.expected, q->Add(&c.record));
    }
    EXPECT_EQ(E_POINTER, q->Add(nullptr));
}

TEST(CMfxEventQueue, ChecksSysexAndTextBlocksThroughItsFactory)
{
    Queue q(8);
    IMfxBufferFactory* factory = nullptr;
    ASSERT_EQ(S_OK, q->GetBufferFactory(&factory));
    struct Case {
        const char* name;
        DWORD kind;
        std::vector<BYTE> data;
        HRESULT expected;
    } cases[] = {
        {"identity request", MfxSysex, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7}, S_OK},
        {"ends in 0", MfxSysex, {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0x00}, E_INVALIDARG},
        {"no start", MfxSysex, {0x7E, 0xF7}, E_INVALIDARG},
        {"one byte", MfxSysex, {0xF0}, E_INVALIDARG},
        {"shortest", MfxSysex, {0xF0, 0xF7}, S_OK},
        {"text", MfxText, {'h', 'i', 0}, S_OK},
        {"second text kind", MfxText2, {0}, S_OK},
        {"text without its zero", MfxText, {'h', 'i'}, E_INVALIDARG},
        {"empty block", MfxText, {}, E_INVALIDARG},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CMfxEvent e(c.kind);
        e.m_buffer.handle = Block(factory, c.data);
        EXPECT_EQ(c.expected, q->Add(&e));
    }
    factory->Release();
}

TEST(CMfxEventQueue, AccessorsCheckTheirArguments)
{
    Queue q(2);
    MfxEvent e = Note(3);
    q->Add(&e);
    MfxEvent out{};
    EXPECT_EQ(S_OK, q->GetAt(0, &out));
    EXPECT_EQ(3, MfxCopy(out.m_time));
    EXPECT_EQ(E_INVALIDARG, q->GetAt(1, &out));
    EXPECT_EQ(E_INVALIDARG, q->GetAt(-1, &out));
    EXPECT_EQ(E_POINTER, q->GetAt(0, nullptr));
    EXPECT_EQ(E_POINTER, q->GetCount(nullptr));
    EXPECT_EQ(E_POINTER, q->GetBufferFactory(nullptr));
}

TEST(CMfxEventQueue, RemoveRangeMovesTheTailDown)
{
    Queue q(4);
    for (LONG t = 0; t < 6; ++t) {
        MfxEvent e = Note(t);
        q->Add(&e);
    }
    ASSERT_EQ(S_OK, q->RemoveRange(1, 3));
    std::vector<LONG> times;
    for (const MfxEvent& e : Contents(q.q))
        times.push_back(MfxCopy(e.m_time));
    EXPECT_EQ((std::vector<LONG>{0, 4, 5}), times);
    EXPECT_EQ(E_INVALIDARG, q->RemoveRange(2, 2));
    EXPECT_EQ(E_INVALIDARG, q->RemoveRange(-1, 1));
    EXPECT_EQ(S_OK, q->RemoveRange(3, 0));
}

TEST(CMfxEventQueue, SharesAGivenFactoryOrMakesItsOwn)
{
    CMfxBufferFactory* shared = new CMfxBufferFactory;
    {
        Queue a(4, shared);
        Queue b(4, shared);
        IMfxBufferFactory* fa = nullptr;
        IMfxBufferFactory* fb = nullptr;
        a->GetBufferFactory(&fa);
        b->GetBufferFactory(&fb);
        EXPECT_EQ(static_cast<IMfxBufferFactory*>(shared), fa);
        EXPECT_EQ(fa, fb);
        fa->Release();
        fb->Release();
        Queue own(4);
        IMfxBufferFactory* fo = nullptr;
        own->GetBufferFactory(&fo);
        EXPECT_NE(fa, fo);
        fo->Release();
    }
    // The queues released their references: ours is the last.
    EXPECT_EQ(0u, shared->Release());
}

TEST(CMfxEventQueue, AnswersBothQueueInterfaces)
{
    Queue q(1);
    for (const IID* iid : {&IID_IUnknown, &IID_IMfxEventQueue, &IID_IMfxEventQueue2}) {
        void* p = nullptr;
        ASSERT_EQ(S_OK, q->QueryInterface(*iid, &p));
        static_cast<IUnknown*>(p)->Release();
    }
    void* p = q.q;
    EXPECT_EQ(E_NOINTERFACE, q->QueryInterface(IID_IMfxDataQueue, &p));
    EXPECT_EQ(nullptr, p);
}

namespace {

TEST(CMfxEventQueueFixed, AFullFixedQueueDropsTheNewestAndCountsIt)
{
    Queue q(4);
    q->SetFixedCapacity();
    for (LONG t = 0; t < 4; ++t) {
        const MfxEvent e = Note(t * 10);
        ASSERT_EQ(S_OK, q->Add(&e));
    }
    const MfxEvent early = Note(5, 61), late = Note(50, 62);
    EXPECT_EQ(E_OUTOFMEMORY, q->Add(&early));
    EXPECT_EQ(E_OUTOFMEMORY, q->Add(&late));
    EXPECT_EQ(2u, q->GetDroppedCount());
    EXPECT_EQ(4, q->GetCapacity());
    const std::vector<MfxEvent> held = Contents(q.q);
    ASSERT_EQ(4u, held.size());
    for (const MfxEvent& e : held)
        EXPECT_EQ(60, e.m_note.key);
    // Emptied, it takes records again.
    q->Clear();
    EXPECT_EQ(S_OK, q->Add(&early));
}

}  // namespace
