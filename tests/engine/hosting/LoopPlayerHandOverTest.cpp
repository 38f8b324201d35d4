// A soft synth that is a loop player gets the engine's clip pool from its
// wrapper when it is made and whenever the pool changes; other synths
// are no loop players. The player here is a stand-in of the test's own.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "engine/graph/CNullSynth.h"
#include "engine/hosting/CSynthWrap.h"
#include "engine/hosting/ITamblor.h"
#include "tests/engine/hosting/NullSynthOuter.h"
#include "platform/com/ComRuntime.h"
#include "tests/engine/graph/EngineGraphFixture.h"
#include "tests/plugins/synthframework/FakeHost.h"

namespace {

constexpr GUID kPlayer = {0x7E570002, 1, 2, {3, 4, 5, 6, 7, 8, 9, 1}};

void* g_pool = nullptr;
int g_poolCalls = 0;
std::vector<std::string> g_switches;

#define MV_NOT_CALLED(sig) STDMETHODIMP sig override { return E_NOTIMPL; }

// The null synth's filter, answering the loop player's interface too.
class FakePlayer final : public ITamblor {
public:
    explicit FakePlayer(IBaseFilter* filter) : m_filter(filter) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualGUID(riid, IID_ITamblor)) {
            *ppv = static_cast<ITamblor*>(this);
            AddRef();
            return S_OK;
        }
        return m_filter->QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return m_filter->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_filter->Release(); }
    STDMETHODIMP put_ClipPool(void* pool) override
    {
        g_pool = pool;
        ++g_poolCalls;
        return S_OK;
    }
    STDMETHODIMP get_ClipPool(void** pool) override
    {
        *pool = g_pool;
        return S_OK;
    }
    MV_NOT_CALLED(GetTypeInfoCount(UINT*))
    MV_NOT_CALLED(GetTypeInfo(UINT, DWORD, void**))
    MV_NOT_CALLED(GetIDsOfNames(REFIID, void*, UINT, DWORD, LONG*))
    MV_NOT_CALLED(Invoke(LONG, REFIID, DWORD, WORD, void*, void*, void*, UINT*))
    MV_NOT_CALLED(AddClipCopy(const char*, LONG, void**, void*, DWORD*))
    MV_NOT_CALLED(AddClipCopyOf(const char*, LONG, void**, DWORD, DWORD*))
    MV_NOT_CALLED(AddLinkedClip(const char*, LONG, void**, void*, DWORD*))
    MV_NOT_CALLED(RegisterClip(DWORD))
    MV_NOT_CALLED(UnregisterClip(DWORD))
    MV_NOT_CALLED(LoadMeasureSound(const char*, const char*, LONG*))
    MV_NOT_CALLED(LoadBeatSound(const char*, const char*, LONG*))
    MV_NOT_CALLED(get_ClickLength(LONG*))
    MV_NOT_CALLED(put_ClickLength(LONG))
    MV_NOT_CALLED(get_MeasurePitch(LONG*))
    MV_NOT_CALLED(put_MeasurePitch(LONG))
    MV_NOT_CALLED(get_MeasureLevel(LONG*))
    MV_NOT_CALLED(put_MeasureLevel(LONG))
    MV_NOT_CALLED(get_BeatPitch(LONG*))
    MV_NOT_CALLED(put_BeatPitch(LONG))
    MV_NOT_CALLED(get_BeatLevel(LONG*))
    MV_NOT_CALLED(put_BeatLevel(LONG))
    MV_NOT_CALLED(get_IsClicking(LONG*))
    MV_NOT_CALLED(get_Gain(float*))
    MV_NOT_CALLED(put_Gain(float))
    MV_NOT_CALLED(get_MetronomeMode(LONG*))
    MV_NOT_CALLED(put_MetronomeMode(LONG))
    MV_NOT_CALLED(get_MeasureSynth(LONG*))
    MV_NOT_CALLED(put_MeasureSynth(LONG))
    MV_NOT_CALLED(get_BeatSynth(LONG*))
    MV_NOT_CALLED(put_BeatSynth(LONG))
    MV_NOT_CALLED(get_PlayPatternClips(LONG*))
    STDMETHODIMP put_PlayPatternClips(LONG on) override
    {
        g_switches.push_back(on ? "play on" : "play off");
        return S_OK;
    }
    MV_NOT_CALLED(get_PlayPreviewClips(LONG*))
    STDMETHODIMP put_PlayPreviewClips(LONG on) override
    {
        g_switches.push_back(on ? "record on" : "record off");
        return S_OK;
    }
    MV_NOT_CALLED(get_MetronomeOn(LONG*))
    MV_NOT_CALLED(put_MetronomeOn(LONG))
    MV_NOT_CALLED(AddPreviewFile(const char*))
    MV_NOT_CALLED(ClearPreviewFiles())
    MV_NOT_CALLED(StartPreview())
    MV_NOT_CALLED(StopPreview())

private:
    IBaseFilter* m_filter;
};

#undef MV_NOT_CALLED

// An outer object whose filter is a null synth and which also answers the
// loop player's interface, as the loop player's filter does.
class PlayerObject final : public mvtest::NullSynthOuter {
public:
    explicit PlayerObject(CNullSynth* synth) : NullSynthOuter(synth), m_player(this) {}
    IUnknown* Face(REFIID riid) override
    {
        return IsEqualGUID(riid, IID_ITamblor) ? static_cast<ITamblor*>(&m_player) : nullptr;
    }

private:
    FakePlayer m_player;
};

CDxFilterGraph* g_graph = nullptr;

HRESULT MakePlayer(IUnknown* outer, REFIID riid, void** ppv)
{
    return mvtest::NullSynthOuter::Make<PlayerObject>(g_graph, outer, riid, ppv);
}

struct LoopPlayerHandOver : mvtest::EngineGraphFixture {
    void SetUp() override
    {
        EngineGraphFixture::SetUp();
        g_graph = graph;
        g_pool = nullptr;
        g_poolCalls = 0;
        ASSERT_TRUE(SUCCEEDED(mvcom::RegisterBuiltinClass(kPlayer, &MakePlayer)));
    }
    void TearDown() override
    {
        mvcom::UnregisterBuiltinClass(kPlayer);
        EngineGraphFixture::TearDown();
    }
    mvtest::FakeHost host;
};

TEST_F(LoopPlayerHandOver, ALoopPlayerGetsThePoolWhenMadeAndWhenItChanges)
{
    int pool = 0, other = 0;
    CSynthWrap* wrap = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Create(&kPlayer, "Loops", graph, static_cast<mvsynth::IMfxTempoMap*>(&host), &wrap,
                                       &pool));
    EXPECT_TRUE(wrap->IsLoopClipPlayer());
    EXPECT_NE(nullptr, wrap->GetLoopClipHost()) << "its channel registers clips with it";
    EXPECT_EQ(&pool, g_pool);
    wrap->SetClipPool(nullptr);
    EXPECT_EQ(nullptr, wrap->GetLoopClipHost()) << "without a pool it keeps no clips";
    wrap->SetClipPool(&other);
    EXPECT_EQ(&other, g_pool);
    CSynthWrap* clone = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Clone(wrap, &clone));
    EXPECT_EQ(&other, g_pool) << "a clone's player gets its source's pool";
    DestroyPlugInWrap(static_cast<ISynthWrap*>(clone));
    DestroyPlugInWrap(static_cast<ISynthWrap*>(wrap));

    CSynthWrap* plain = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Create(&CLSID_NullSynth, "Null", graph, static_cast<mvsynth::IMfxTempoMap*>(&host),
                                       &plain, &pool));
    EXPECT_FALSE(plain->IsLoopClipPlayer());
    EXPECT_EQ(nullptr, plain->GetLoopClipHost());
    DestroyPlugInWrap(static_cast<ISynthWrap*>(plain));
}

TEST_F(LoopPlayerHandOver, PlaybackSwitchesTheLoopPlayersClipsAndReadsTheStoredPrograms)
{
    int pool = 0;
    CSynthWrap* wrap = nullptr;
    ASSERT_EQ(S_OK, CSynthWrap::Create(&kPlayer, "Loops", graph, static_cast<mvsynth::IMfxTempoMap*>(&host), &wrap,
                                       &pool));
    ISynthPlayer* player = wrap->GetPlayer();
    ASSERT_NE(nullptr, player);
    g_switches.clear();
    EXPECT_EQ(S_OK, player->SetClipsPlaying(TRUE));
    EXPECT_EQ(S_OK, player->SetClipsRecording(FALSE));
    EXPECT_EQ((std::vector<std::string>{"play on", "record off"}), g_switches);
    EXPECT_EQ(ISynthPlayer::kNoBank, player->GetChannelBank(2));
    EXPECT_EQ(ISynthPlayer::kNoPatch, player->GetChannelPatch(2));
    ASSERT_EQ(S_OK, wrap->SetChannelBank(2, 300));
    ASSERT_EQ(S_OK, wrap->SetChannelPatch(2, 17));
    EXPECT_EQ(300, player->GetChannelBank(2));
    EXPECT_EQ(17, player->GetChannelPatch(2));
    EXPECT_EQ(ISynthPlayer::kNoBank, player->GetChannelBank(16));
    DestroyPlugInWrap(static_cast<ISynthWrap*>(wrap));
}

}  // namespace
