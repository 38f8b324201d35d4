// The MIDI-effect wrapper with an effect class of the test's own: made
// connected to its host, saved and cloned with its state, disconnected
// before it goes.
#include "engine/hosting/CMfxFilterWrap.h"
#include "engine/hosting/IMfxEffectInputPort.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "platform/com/ComRuntime.h"
#include "platform/com/ComStream.h"
#include "platform/com/Persist.h"
#include "tests/engine/hosting/MidiEffectBase.h"

namespace {

constexpr GUID kTranspose = {0x7E570001, 1, 2, {3, 4, 5, 6, 7, 8, 9, 1}};

struct Life {
    int connects = 0;
    int disconnects = 0;
    int alive = 0;
};
Life g_life;

// A transposer: its state is the interval.
class FakeEffect final : public mvtest::MidiEffectBase, public IMfxEffectInputPort {
public:
    STDMETHODIMP SetInputCallback(IUnknown* callback) override
    {
        inputCallback = callback;
        return S_OK;
    }
    IUnknown* inputCallback = nullptr;

    FakeEffect() : MidiEffectBase(kTranspose) { ++g_life.alive; }
    ~FakeEffect() override { --g_life.alive; }
    // One reference count: the base's.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return MidiEffectBase::QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return MidiEffectBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return MidiEffectBase::Release(); }
    STDMETHODIMP Connect(IUnknown* host) override
    {
        m_host = host;
        ++g_life.connects;
        return S_OK;
    }
    STDMETHODIMP Disconnect() override
    {
        if (m_host)
            m_host->Release();
        m_host = nullptr;
        ++g_life.disconnects;
        return S_OK;
    }
    STDMETHODIMP Load(IStream* s) override { return s->Read(&interval, sizeof interval, nullptr); }
    STDMETHODIMP Save(IStream* s, BOOL) override
    {
        return failSave ? STG_E_MEDIUMFULL : s->Write(&interval, sizeof interval, nullptr);
    }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override
    {
        size->QuadPart = sizeof interval;
        return S_OK;
    }
    int interval = 0;
    bool failSave = false;

private:
    void* QueryMore(REFIID riid) override
    {
        return IsEqualGUID(riid, IID_IMfxEffectInputPort) ? static_cast<IMfxEffectInputPort*>(this) : nullptr;
    }
    IUnknown* m_host = nullptr;
};

class Host final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override { return *ppv = nullptr, E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    long refs = 0;
};

struct MfxWrap : ::testing::Test {
    void SetUp() override
    {
        g_life = Life{};
        ASSERT_TRUE(SUCCEEDED(mvcom::RegisterBuiltinClass(kTranspose, &mvtest::MakeMidiEffect<FakeEffect>)));
    }
    void TearDown() override
    {
        mvcom::UnregisterBuiltinClass(kTranspose);
        CFilterWrap::ClearFailedPlugIns();
    }
    Host host;
};

TEST_F(MfxWrap, AnEffectIsConnectedClonedWithItsStateAndDisconnectedBeforeItGoes)
{
    CMfxFilterWrap* wrap = nullptr;
    ASSERT_EQ(S_OK, CMfxFilterWrap::Create(&kTranspose, "Transpose", &host, &wrap));
    ASSERT_NE(nullptr, wrap->GetEventFilter());
    EXPECT_EQ(1, g_life.connects);
    EXPECT_GT(host.refs, 0) << "the effect holds the host";
    EXPECT_EQ(&host, static_cast<FakeEffect*>(wrap->GetEventFilter())->inputCallback)
        << "its input port was given the host";
    static_cast<FakeEffect*>(wrap->GetEventFilter())->interval = 7;

    IMfxFilterWrap* clone = nullptr;
    ASSERT_EQ(S_OK, wrap->Clone(&clone));
    ASSERT_NE(nullptr, clone->GetEventFilter());
    EXPECT_EQ(7, static_cast<FakeEffect*>(clone->GetEventFilter())->interval);
    EXPECT_STREQ("Transpose", clone->GetDisplayName().GetString());

    // The chunk carries the state to a wrapper made from it.
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ASSERT_EQ(S_OK, wrap->Save(stream, TRUE));
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
    CMfxFilterWrap* loaded = nullptr;
    ASSERT_EQ(S_OK, CMfxFilterWrap::Create(&GUID_NULL, "", &host, &loaded));
    ASSERT_EQ(S_OK, loaded->Load(stream));
    stream->Release();
    ASSERT_NE(nullptr, loaded->GetEventFilter());
    EXPECT_EQ(7, static_cast<FakeEffect*>(loaded->GetEventFilter())->interval);

    DestroyPlugInWrap(clone);
    DestroyPlugInWrap(static_cast<IMfxFilterWrap*>(loaded));
    DestroyPlugInWrap(static_cast<IMfxFilterWrap*>(wrap));
    EXPECT_EQ(g_life.connects, g_life.disconnects);
    EXPECT_EQ(0, g_life.alive);
    EXPECT_EQ(0, host.refs) << "every reference to the host was given back";
}

// A plug-in that cannot save now must not lose the state it saved before.
TEST_F(MfxWrap, AFailedStateSaveKeepsTheOldStateAndSaysSo)
{
    CMfxFilterWrap* wrap = nullptr;
    ASSERT_EQ(S_OK, CMfxFilterWrap::Create(&kTranspose, "Transpose", &host, &wrap));
    auto* effect = static_cast<FakeEffect*>(wrap->GetEventFilter());
    effect->interval = 5;
    ASSERT_EQ(S_OK, wrap->SaveState());
    effect->interval = 9;
    effect->failSave = true;
    EXPECT_TRUE(FAILED(wrap->SaveState()));
    ASSERT_NE(nullptr, wrap->SavedState());
    int kept = 0;
    std::memcpy(&kept, GlobalLock(wrap->SavedState()), sizeof kept);
    GlobalUnlock(wrap->SavedState());
    EXPECT_EQ(5, kept);
    DestroyPlugInWrap(static_cast<IMfxFilterWrap*>(wrap));
}

TEST_F(MfxWrap, AnEffectThatCannotBeMadeIsNoWrapper)
{
    const GUID missing = {0x7E570001, 1, 2, {3, 4, 5, 6, 7, 8, 9, 99}};
    CMfxFilterWrap* wrap = reinterpret_cast<CMfxFilterWrap*>(1);
    EXPECT_TRUE(FAILED(CMfxFilterWrap::Create(&missing, "Gone", &host, &wrap)));
    EXPECT_EQ(nullptr, wrap);
    // A class whose factory fails gives the factory's own error.
    const GUID refusing = {0x7E570001, 1, 2, {3, 4, 5, 6, 7, 8, 9, 98}};
    ASSERT_TRUE(SUCCEEDED(mvcom::RegisterBuiltinClass(
        refusing, [](IUnknown*, REFIID, void**) -> HRESULT { return E_ACCESSDENIED; })));
    EXPECT_EQ(E_ACCESSDENIED, CMfxFilterWrap::Create(&refusing, "Refuses", &host, &wrap));
    EXPECT_EQ(nullptr, wrap);
    mvcom::UnregisterBuiltinClass(refusing);
    EXPECT_EQ(0, host.refs);
}

}  // namespace
