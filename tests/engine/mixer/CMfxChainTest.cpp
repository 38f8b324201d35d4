#include "engine/mixer/CMfxChain.h"

#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "engine/mixer/IMfxChainOwner.h"
#include "engine/mixer/IStepSeqPlugIn.h"
#include "model/CKelPersistArchive.h"
#include "model/CMfxEvent.h"
#include "model/CUndoHistory.h"
#include "model/ICommandDocument.h"
#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"

namespace {

// What the effects of a test saw, in order.
using Journal = std::vector<std::string>;

// A MIDI effect that transposes every note by its amount and notes the calls
// it gets; a step sequencer as well when asked.
class FakeFilter final : public IMfxEventFilter, public IStepSeqPlugIn {
public:
    FakeFilter(std::string name, int transpose, bool stepSeq, Journal* journal)
        : m_name(std::move(name)), m_transpose(transpose), m_stepSeq(stepSeq), m_journal(journal)
    {
    }
    STDMETHODIMP QueryInterface(REFIID iid, void** ppv) override
    {
        *ppv = nullptr;
        if (iid == IID_IUnknown)
            *ppv = static_cast<IMfxEventFilter*>(this);
        else if (iid == IID_IStepSeqPlugIn && m_stepSeq)
            *ppv = static_cast<IStepSeqPlugIn*>(this);
        else
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }

    STDMETHODIMP Connect(IUnknown*) override { return S_OK; }
    STDMETHODIMP Disconnect() override { return S_OK; }
    STDMETHODIMP OnStart(LONG t) override { return Note("start " + std::to_string(t)); }
    STDMETHODIMP OnLoop(LONG a, LONG b, LONG c) override
    {
        return Note("loop " + std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c));
    }
    STDMETHODIMP OnStop(LONG t) override { return Note("stop " + std::to_string(t)); }
    STDMETHODIMP OnEvents(LONG from, LONG to, IMfxEventQueue* in, IMfxEventQueue* out) override
    {
        int n = 0;
        in->GetCount(&n);
        for (int i = 0; i < n; ++i) {
            MfxEvent e{};
            in->GetAt(i, &e);
            e.m_note.key = static_cast<BYTE>(e.m_note.key + m_transpose);
            out->Add(&e);
        }
        return Note("events " + std::to_string(from) + ".." + std::to_string(to));
    }
    STDMETHODIMP OnInput(IMfxDataQueue* in, IMfxDataQueue* out) override
    {
        int n = 0;
        in->GetCount(&n);
        for (int i = 0; i < n; ++i) {
            MfxData d{};
            in->GetAt(i, &d);
            d.m_dw1 += static_cast<DWORD>(m_transpose);
            out->Add(&d);
        }
        return Note("input");
    }

    STDMETHODIMP Slot3() override { return E_NOTIMPL; }
    STDMETHODIMP SetSynth(IUnknown* synth) override
    {
        return Note(std::string("synth ") + (synth ? "set" : "none"));
    }
    STDMETHODIMP Slot5() override { return E_NOTIMPL; }
    STDMETHODIMP Slot6() override { return E_NOTIMPL; }
    STDMETHODIMP Slot7() override { return E_NOTIMPL; }
    STDMETHODIMP SetChannelId(WORD id) override { return Note("channel " + std::to_string(id)); }
    STDMETHODIMP Slot9() override { return E_NOTIMPL; }
    STDMETHODIMP Slot10() override { return E_NOTIMPL; }
    STDMETHODIMP Slot11() override { return E_NOTIMPL; }
    STDMETHODIMP Slot12() override { return E_NOTIMPL; }
    STDMETHODIMP Slot13() override { return E_NOTIMPL; }
    STDMETHODIMP Slot14() override { return E_NOTIMPL; }
    STDMETHODIMP Slot15() override { return E_NOTIMPL; }
    STDMETHODIMP Slot16() override { return E_NOTIMPL; }
    STDMETHODIMP Slot17() override { return E_NOTIMPL; }
    STDMETHODIMP Slot18() override { return E_NOTIMPL; }
    STDMETHODIMP Slot19() override { return E_NOTIMPL; }
    STDMETHODIMP Slot20() override { return E_NOTIMPL; }
    STDMETHODIMP SetShuffle(LONG amount) override { return Note("shuffle " + std::to_string(amount)); }

    HRESULT fail = S_OK;
    ULONG refs = 1;

private:
    HRESULT Note(const std::string& what)
    {
        m_journal->push_back(m_name + " " + what);
        return fail;
    }
    std::string m_name;
    int m_transpose;
    bool m_stepSeq;
    Journal* m_journal;
};

// A wrapper whose saved form is its name, transpose and kind; destroyed
// wrappers are counted.
class FakeWrap final : public IMfxFilterWrap {
public:
    FakeWrap(std::string name, int transpose, bool stepSeq, Journal* journal, int* destroyed)
        : m_persist(this), m_journal(journal), m_destroyed(destroyed)
    {
        Setup(std::move(name), transpose, stepSeq);
    }
    ~FakeWrap() override
    {
        ++*m_destroyed;
        delete m_filter;
    }
    IMfxEventFilter* GetEventFilter() override { return loaded ? m_filter : nullptr; }
    CString GetDisplayName() override { return m_name.c_str(); }
    HRESULT Clone(IMfxFilterWrap** clone) override
    {
        if (failClone)
            return E_OUTOFMEMORY;
        *clone = new FakeWrap(m_name + "'", m_transpose, m_stepSeq, m_journal, m_destroyed);
        return S_OK;
    }
    IPersistStreamInit* GetPersist() override { return &m_persist; }
    FakeFilter* Filter() { return m_filter; }

    bool loaded = true;
    bool failClone = false;

private:
    void Setup(std::string name, int transpose, bool stepSeq)
    {
        delete m_filter;
        m_name = std::move(name);
        m_transpose = transpose;
        m_stepSeq = stepSeq;
        m_filter = new FakeFilter(m_name, transpose, stepSeq, m_journal);
    }
    class Persist : public CKelPersistObject {
    public:
        explicit Persist(FakeWrap* w) : CKelPersistObject(0x70020000), m_w(w) {}
        STDMETHODIMP PersistChunk(DWORD, CKelPersistArchive* archive) override
        {
            CString name = m_w->m_name.c_str();
            LONG transpose = m_w->m_transpose;
            BOOL seq = m_w->m_stepSeq;
            HRESULT hr;
            if (FAILED(hr = archive->PersistString(&name)) || FAILED(hr = archive->PersistBytes(4, &transpose)) ||
                FAILED(hr = archive->PersistBool(&seq)))
                return hr;
            if (!archive->IsSaving())
                m_w->Setup(name.GetString(), transpose, seq != FALSE);
            return S_OK;
        }
        FakeWrap* m_w;
    };

    std::string m_name;
    int m_transpose = 0;
    bool m_stepSeq = false;
    FakeFilter* m_filter = nullptr;
    Persist m_persist;
    Journal* m_journal;
    int* m_destroyed;
};

class FakeChannel final : public IMfxChainOwner, public ICommandDocument {
public:
    CString GetDisplayName() override { return "Bass"; }
    WORD GetChannelId() override { return 12; }
    IUnknown* GetFirstSynthFilter() override { return synth; }
    double GetShuffleAmount() override { return shuffle; }
    ICommandDocument* GetCommandDocument() override { return this; }
    HRESULT CreateMfxWrap(REFCLSID clsid, const char* name, IMfxFilterWrap** wrap) override
    {
        if (FAILED(createResult))
            return createResult;
        *wrap = new FakeWrap(name ? name : "", clsid == GUID_NULL ? 0 : 1, false, &journal, &destroyed);
        return S_OK;
    }
    HRESULT UpdateStepPreview() override
    {
        journal.push_back("step preview");
        return S_OK;
    }
    HRESULT ShowPropertyPage(IMfxFilterWrap* w, HWND) override
    {
        journal.push_back("show " + std::string(w->GetDisplayName().GetString()));
        return S_OK;
    }
    HRESULT ClosePropertyPage(IMfxFilterWrap* w) override
    {
        journal.push_back("close " + std::string(w->GetDisplayName().GetString()));
        return S_OK;
    }
    CHeapCriticalSection* GetChainLock() override { return useLock ? &lock : nullptr; }

    HRESULT RecalcSongLength() override { return S_OK; }
    HRESULT ResetInstanceCursors(SHORT) override { return S_OK; }
    HRESULT RefreshActiveSelection() override { return S_OK; }
    SHORT GetActiveContainer() override { return kNoId; }
    HRESULT SetActiveContainer(SHORT, BOOL, CMvCommand*) override { return S_OK; }

    Journal journal;
    int destroyed = 0;
    IUnknown* synth = nullptr;
    double shuffle = 0.0;
    HRESULT createResult = S_OK;
    bool useLock = false;
    CHeapCriticalSection lock;
};

class CMfxChainTest : public ::testing::Test {
protected:
    void SetUp() override { CUndoHistory::Instance().Clear(); }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        for (int i = chain.GetCount() - 1; i >= 0; --i)
            delete chain.GetAt(i);
    }
    FakeWrap* Wrap(const char* name, int transpose, bool stepSeq = false)
    {
        return new FakeWrap(name, transpose, stepSeq, &channel.journal, &channel.destroyed);
    }
    std::vector<std::string> Order()
    {
        std::vector<std::string> names;
        for (int i = 0; i < chain.GetCount(); ++i)
            names.push_back(chain.GetAt(i)->GetDisplayName().GetString());
        return names;
    }
    static CMfxEventQueue* Queue() { return new CMfxEventQueue(nullptr, 16); }
    static void AddNote(CMfxEventQueue* q, LONG time, BYTE key)
    {
        CMfxEvent e(MfxNote);
        e.m_time = time;
        e.m_note.key = key;
        e.m_note.velocity = 100;
        ASSERT_EQ(S_OK, q->Add(&e));
    }
    static std::vector<int> Keys(CMfxEventQueue* q)
    {
        int n = 0;
        q->GetCount(&n);
        std::vector<int> keys;
        for (int i = 0; i < n; ++i) {
            MfxEvent e{};
            q->GetAt(i, &e);
            keys.push_back(e.m_note.key);
        }
        return keys;
    }

    FakeChannel channel;
    CMfxChain chain{&channel};
};

TEST_F(CMfxChainTest, AnEmptyChainOnlySwapsTheQueues)
{
    CMfxEventQueue* a = Queue();
    CMfxEventQueue* b = Queue();
    AddNote(a, 0, 60);
    CMfxEventQueue* in = a;
    CMfxEventQueue* out = b;
    ASSERT_EQ(S_OK, chain.ProcessEvents(0, 960, in, out));
    EXPECT_EQ(a, out);
    EXPECT_EQ(b, in);
    EXPECT_EQ(std::vector<int>{60}, Keys(out));
    a->Release();
    b->Release();
}

TEST_F(CMfxChainTest, EventsPassThroughEveryEffectInOrderAndInComesBackEmpty)
{
    ASSERT_EQ(S_OK, chain.InsertMfx(0, Wrap("Up", 12)));
    ASSERT_EQ(S_OK, chain.InsertMfx(1, Wrap("Unloaded", 100)));
    ASSERT_EQ(S_OK, chain.InsertMfx(2, Wrap("Down", -1)));
    static_cast<FakeWrap*>(chain.GetAt(1))->loaded = false;
    CMfxEventQueue* in = Queue();
    CMfxEventQueue* out = Queue();
    AddNote(in, 0, 60);
    AddNote(in, 480, 64);
    channel.journal.clear();
    ASSERT_EQ(S_OK, chain.ProcessEvents(0, 960, in, out));
    EXPECT_EQ((std::vector<int>{71, 75}), Keys(out));
    EXPECT_TRUE(Keys(in).empty());
    EXPECT_EQ((Journal{"Up events 0..960", "Down events 0..960"}), channel.journal);

    // A failing effect stops the span; the next is not called.
    static_cast<FakeWrap*>(chain.GetAt(0))->Filter()->fail = E_FAIL;
    channel.journal.clear();
    EXPECT_EQ(E_FAIL, chain.ProcessEvents(960, 1920, in, out));
    EXPECT_EQ(1u, channel.journal.size());
    in->Release();
    out->Release();
}

TEST_F(CMfxChainTest, LiveInputPassesThroughTheDataQueuesTheSameWay)
{
    ASSERT_EQ(S_OK, chain.InsertMfx(0, Wrap("A", 1)));
    ASSERT_EQ(S_OK, chain.InsertMfx(1, Wrap("B", 2)));
    auto* in = CMfxDataQueue::Create();
    auto* out = CMfxDataQueue::Create();
    MfxData d{0x90, 7};
    in->Add(&d);
    ASSERT_EQ(S_OK, chain.ProcessInput(in, out));
    int n = 0;
    out->GetCount(&n);
    ASSERT_EQ(1, n);
    out->GetAt(0, &d);
    EXPECT_EQ(0x93u, MfxCopy(d.m_dw1));
    in->GetCount(&n);
    EXPECT_EQ(0, n);
    in->Release();
    out->Release();
}

TEST_F(CMfxChainTest, WhileAnEditHoldsTheOwnersLockASpanPassesUnprocessed)
{
    channel.useLock = true;
    ASSERT_EQ(S_OK, chain.InsertMfx(0, Wrap("Up", 12)));
    CMfxEventQueue* in = Queue();
    CMfxEventQueue* out = Queue();
    AddNote(in, 0, 60);
    std::atomic<int> stage{0};
    std::thread edit([&] {
        channel.lock.Lock();
        stage = 1;
        while (stage.load() != 2)
            std::this_thread::yield();
        channel.lock.Unlock();
    });
    while (stage.load() != 1)
        std::this_thread::yield();
    EXPECT_EQ(S_FALSE, chain.ProcessEvents(0, 960, in, out));
    stage = 2;
    edit.join();
    EXPECT_EQ(std::vector<int>{60}, Keys(out));
    in->Release();
    out->Release();
}

TEST_F(CMfxChainTest, TheTransportIsForwardedToEveryEffectInOrder)
{
    ASSERT_EQ(S_OK, chain.InsertMfx(0, Wrap("A", 0)));
    ASSERT_EQ(S_OK, chain.InsertMfx(1, Wrap("B", 0)));
    channel.journal.clear();
    ASSERT_EQ(S_OK, chain.OnStart(5));
    ASSERT_EQ(S_OK, chain.OnLoop(1, 2, 3));
    ASSERT_EQ(S_OK, chain.OnStop(9));
    EXPECT_EQ((Journal{"A start 5", "B start 5", "A loop 1 2 3", "B loop 1 2 3", "A stop 9", "B stop 9"}),
              channel.journal);
    static_cast<FakeWrap*>(chain.GetAt(0))->Filter()->fail = E_ABORT;
    channel.journal.clear();
    EXPECT_EQ(E_ABORT, chain.OnStop(10));
    EXPECT_EQ(Journal{"A stop 10"}, channel.journal);
}

TEST_F(CMfxChainTest, EditsAreUndoableUnderTheirNames)
{
    CUndoHistory& history = CUndoHistory::Instance();
    ASSERT_EQ(S_OK, chain.InsertMfx(0, Wrap("Arp", 0)));
    EXPECT_STREQ("Insert Arp in Bass", history.GetCommandName(0));
    ASSERT_EQ(S_OK, chain.InsertMfxByClsid(1, GUID_NULL, "Echo"));
    EXPECT_STREQ("Insert Echo in Bass", history.GetCommandName(0));
    ASSERT_EQ(S_OK, chain.MoveMfx(0, 1));
    EXPECT_STREQ("Move Arp From 1 to 2 in Track Bass", history.GetCommandName(0));
    EXPECT_EQ((std::vector<std::string>{"Echo", "Arp"}), Order());
    ASSERT_EQ(S_OK, chain.CopyMfx(1, 0));
    EXPECT_STREQ("Copy Arp From 2 to 1 in Track Bass", history.GetCommandName(0));
    EXPECT_EQ((std::vector<std::string>{"Arp'", "Echo", "Arp"}), Order());
    ASSERT_EQ(S_OK, chain.RemoveMfx(1));
    EXPECT_STREQ("Remove Echo from Bass, Position 2", history.GetCommandName(0));
    EXPECT_EQ((std::vector<std::string>{"Arp'", "Arp"}), Order());

    ASSERT_TRUE(SUCCEEDED(history.Undo()));
    EXPECT_EQ((std::vector<std::string>{"Arp'", "Echo", "Arp"}), Order());
    ASSERT_TRUE(SUCCEEDED(history.Undo()));
    ASSERT_TRUE(SUCCEEDED(history.Undo()));
    EXPECT_EQ((std::vector<std::string>{"Arp", "Echo"}), Order());
    ASSERT_TRUE(SUCCEEDED(history.Redo()));
    EXPECT_EQ((std::vector<std::string>{"Echo", "Arp"}), Order());
    // The undone copy is destroyed with its step when the history goes.
    history.Clear();
    EXPECT_EQ(1, channel.destroyed);
}

TEST_F(CMfxChainTest, PositionsOutsideTheChainAreRefused)
{
    ASSERT_EQ(S_OK, chain.InsertMfx(0, Wrap("A", 0)));
    EXPECT_EQ(E_INVALIDARG, chain.RemoveMfx(1));
    EXPECT_EQ(E_INVALIDARG, chain.RemoveMfx(-1));
    EXPECT_EQ(E_INVALIDARG, chain.MoveMfx(0, 1));
    EXPECT_EQ(E_INVALIDARG, chain.CopyMfx(1, 0));
    FakeWrap* refused = Wrap("B", 0);
    EXPECT_EQ(E_INVALIDARG, chain.InsertMfx(2, refused));
    EXPECT_EQ(0, channel.destroyed);  // still the caller's
    delete refused;
    EXPECT_EQ(E_INVALIDARG, chain.InsertMfx(0, nullptr));
    EXPECT_EQ(E_INVALIDARG, chain.InsertMfxByClsid(3, GUID_NULL, "C"));
    static_cast<FakeWrap*>(chain.GetAt(0))->failClone = true;
    EXPECT_EQ(E_OUTOFMEMORY, chain.CopyMfx(0, 0));
    EXPECT_EQ(1, chain.GetCount());
}

TEST_F(CMfxChainTest, RemovingAnEffectClosesItsWindowAndRechecksThePreview)
{
    ASSERT_EQ(S_OK, chain.InsertMfx(0, Wrap("Arp", 0)));
    channel.journal.clear();
    ASSERT_EQ(S_OK, chain.RemoveMfx(0));
    EXPECT_EQ((Journal{"step preview", "close Arp"}), channel.journal);
    EXPECT_EQ(E_FAIL, chain.OnFxRemoved(nullptr));
}

TEST_F(CMfxChainTest, StepSequencersAreToldTheSynthShuffleAndChannel)
{
    IUnknown* synth = reinterpret_cast<IUnknown*>(&channel);  // any non-null filter
    channel.synth = synth;
    channel.shuffle = 0.5;
    ASSERT_EQ(S_OK, chain.InsertMfx(0, Wrap("Plain", 0)));
    channel.journal.clear();
    ASSERT_EQ(S_OK, chain.InsertMfx(1, Wrap("Seq", 0, true)));
    EXPECT_EQ((Journal{"Seq synth set", "Seq shuffle 75", "Seq channel 12"}), channel.journal);

    struct Case {
        double amount;
        HRESULT result;
        const char* sent;
    };
    const Case cases[] = {{0.0, S_OK, "Seq shuffle 50"}, {1.0, S_OK, "Seq shuffle 100"},
                          {1.01, E_INVALIDARG, nullptr}, {-0.1, E_INVALIDARG, nullptr}};
    for (const Case& c : cases) {
        channel.journal.clear();
        EXPECT_EQ(c.result, chain.SetShuffle(c.amount));
        EXPECT_EQ(c.sent ? Journal{c.sent} : Journal{}, channel.journal);
    }
    channel.journal.clear();
    ASSERT_EQ(S_OK, chain.NotifySynthChanged(nullptr));
    EXPECT_EQ(Journal{"Seq synth none"}, channel.journal);

    int count = 0;
    ASSERT_EQ(S_OK, chain.CountStepSeqPlugIns(&count));
    EXPECT_EQ(1, count);
    IStepSeqPlugIn* seq = nullptr;
    ASSERT_EQ(S_OK, chain.GetStepSeqPlugIn(0, &seq));
    EXPECT_EQ(static_cast<IStepSeqPlugIn*>(static_cast<FakeWrap*>(chain.GetAt(1))->Filter()), seq);
    seq->Release();
    EXPECT_EQ(E_INVALIDARG, chain.GetStepSeqPlugIn(1, &seq));
    static_cast<FakeWrap*>(chain.GetAt(0))->loaded = false;
    EXPECT_EQ(E_UNEXPECTED, chain.CountStepSeqPlugIns(&count));
    EXPECT_EQ(E_UNEXPECTED, chain.SetChannelId(3));
}

TEST_F(CMfxChainTest, TheSavedChainLoadsItsEffectsInOrder)
{
    ASSERT_EQ(S_OK, chain.InsertMfx(0, Wrap("Arp", 3)));
    ASSERT_EQ(S_OK, chain.InsertMfx(1, Wrap("Echo", -2, true)));
    mvcom::CComPtr<IStream> stream;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
    ASSERT_EQ(S_OK, chain.Save(stream.Get(), FALSE));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);

    FakeChannel other;
    CMfxChain loaded(&other);
    ASSERT_EQ(S_OK, loaded.Load(stream.Get()));
    ASSERT_EQ(2, loaded.GetCount());
    EXPECT_STREQ("Arp", loaded.GetAt(0)->GetDisplayName());
    EXPECT_STREQ("Echo", loaded.GetAt(1)->GetDisplayName());
    int count = 0;
    ASSERT_EQ(S_OK, loaded.CountStepSeqPlugIns(&count));
    EXPECT_EQ(1, count);
    for (int i = loaded.GetCount() - 1; i >= 0; --i)
        delete loaded.GetAt(i);
}

}  // namespace
