// The metronome's click player over a loop player of the test's own, made
// by the loop player's class identifier: an outer filter (a null synth of
// the engine graph inside) that also answers the soft-synth and the loop
// player's interfaces and records what it is told.
#include "engine/hosting/CMetronomePlayer.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/engine/hosting/NullSynthOuter.h"
#include "platform/com/ComRuntime.h"
#include "tests/engine/graph/EngineGraphFixture.h"

namespace {

std::vector<std::string> g_log;
CDxFilterGraph* g_graph = nullptr;
bool g_noTamblor = false;
HRESULT g_connectResult = S_OK;

void Note(const std::string& what) { g_log.push_back(what); }

#define MV_NOT_CALLED(sig) STDMETHODIMP sig override { return E_NOTIMPL; }
#define MV_PUT(name) STDMETHODIMP put_##name(LONG v) override { Note(#name " " + std::to_string(v)); return S_OK; }

// The loop player's own interface; the calls the metronome makes are noted.
class Tamblor final : public ITamblor {
public:
    explicit Tamblor(IUnknown* outer) : m_outer(outer) {}
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return m_outer->QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return m_outer->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_outer->Release(); }
    STDMETHODIMP LoadMeasureSound(const char* key, const char* path, LONG* result) override
    {
        Note(std::string("Sound ") + key + " " + path);
        *result = 0;
        return S_OK;
    }
    STDMETHODIMP put_Gain(float g) override
    {
        Note("Gain " + std::to_string(g));
        return S_OK;
    }
    MV_PUT(ClickLength)
    MV_PUT(MeasurePitch)
    MV_PUT(MeasureLevel)
    MV_PUT(BeatPitch)
    MV_PUT(BeatLevel)
    MV_PUT(MetronomeMode)
    MV_PUT(MeasureSynth)
    MV_PUT(BeatSynth)
    MV_PUT(MetronomeOn)
    MV_NOT_CALLED(GetTypeInfoCount(UINT*))
    MV_NOT_CALLED(GetTypeInfo(UINT, DWORD, void**))
    MV_NOT_CALLED(GetIDsOfNames(REFIID, void*, UINT, DWORD, LONG*))
    MV_NOT_CALLED(Invoke(LONG, REFIID, DWORD, WORD, void*, void*, void*, UINT*))
    MV_NOT_CALLED(AddClipCopy(const char*, LONG, void**, void*, DWORD*))
    MV_NOT_CALLED(AddClipCopyOf(const char*, LONG, void**, DWORD, DWORD*))
    MV_NOT_CALLED(AddLinkedClip(const char*, LONG, void**, void*, DWORD*))
    MV_NOT_CALLED(RegisterClip(DWORD))
    MV_NOT_CALLED(UnregisterClip(DWORD))
    MV_NOT_CALLED(get_ClipPool(void**))
    MV_NOT_CALLED(put_ClipPool(void*))
    MV_NOT_CALLED(LoadBeatSound(const char*, const char*, LONG*))
    MV_NOT_CALLED(get_ClickLength(LONG*))
    MV_NOT_CALLED(get_MeasurePitch(LONG*))
    MV_NOT_CALLED(get_MeasureLevel(LONG*))
    MV_NOT_CALLED(get_BeatPitch(LONG*))
    MV_NOT_CALLED(get_BeatLevel(LONG*))
    MV_NOT_CALLED(get_IsClicking(LONG*))
    MV_NOT_CALLED(get_Gain(float*))
    MV_NOT_CALLED(get_MetronomeMode(LONG*))
    MV_NOT_CALLED(get_MeasureSynth(LONG*))
    MV_NOT_CALLED(get_BeatSynth(LONG*))
    MV_NOT_CALLED(get_PlayPatternClips(LONG*))
    MV_NOT_CALLED(put_PlayPatternClips(LONG))
    MV_NOT_CALLED(get_PlayPreviewClips(LONG*))
    MV_NOT_CALLED(put_PlayPreviewClips(LONG))
    MV_NOT_CALLED(get_MetronomeOn(LONG*))
    MV_NOT_CALLED(AddPreviewFile(const char*))
    MV_NOT_CALLED(ClearPreviewFiles())
    MV_NOT_CALLED(StartPreview())
    MV_NOT_CALLED(StopPreview())

private:
    IUnknown* m_outer;
};

// The soft-synth interface: connection and transport are noted; the host
// handed over is kept until the disconnection.
class Synth final : public IMfxSoftSynth {
public:
    explicit Synth(IUnknown* outer) : m_outer(outer) {}
    ~Synth() { Disconnect(); }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return m_outer->QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return m_outer->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return m_outer->Release(); }
    STDMETHODIMP Connect(IUnknown* host) override
    {
        Note("connect");
        if (FAILED(g_connectResult))
            return g_connectResult;
        m_host = host;
        return S_OK;
    }
    STDMETHODIMP Disconnect() override
    {
        if (m_host) {
            Note("disconnect");
            m_host->Release();
            m_host = nullptr;
        }
        return S_OK;
    }
    STDMETHODIMP Start(LONG t) override
    {
        Note("start " + std::to_string(t));
        return S_OK;
    }
    STDMETHODIMP Stop() override
    {
        Note("stop");
        return S_OK;
    }
    MV_NOT_CALLED(AdvanceTime(LONG, LONG))
    MV_NOT_CALLED(SendEvents(LONG, LONG, DWORD, IMfxEventQueue*))
    MV_NOT_CALLED(SendMidi(DWORD, IMfxDataQueue*))
    MV_NOT_CALLED(GetBankMethods(DWORD**, LONG*))
    MV_NOT_CALLED(IsSpecialPatch(LONG, LONG))
    MV_NOT_CALLED(IsValidPatch(LONG, LONG))
    MV_NOT_CALLED(GetPatchNames(LONG, IMfxNameList**))
    MV_NOT_CALLED(GetNoteNames(LONG, LONG, IMfxNameList**))
    MV_NOT_CALLED(GetControllerNames(IMfxNameList**))
    MV_NOT_CALLED(GetRpnNames(IMfxNameList**))
    MV_NOT_CALLED(GetNrpnNames(IMfxNameList**))

private:
    IUnknown* m_outer;
    IUnknown* m_host = nullptr;
};

#undef MV_PUT
#undef MV_NOT_CALLED

// The outer object: a null synth's filter answering both interfaces.
class Player final : public mvtest::NullSynthOuter {
public:
    explicit Player(CNullSynth* synth) : NullSynthOuter(synth), m_tamblor(this), m_soft(this) {}
    IUnknown* Face(REFIID riid) override
    {
        if (IsEqualGUID(riid, IID_ITamblor))
            return g_noTamblor ? nullptr : static_cast<ITamblor*>(&m_tamblor);
        if (IsEqualGUID(riid, IID_IMfxSoftSynth))
            return static_cast<IMfxSoftSynth*>(&m_soft);
        return nullptr;
    }

private:
    Tamblor m_tamblor;
    Synth m_soft;
};

HRESULT MakePlayer(IUnknown* outer, REFIID riid, void** ppv)
{
    return mvtest::NullSynthOuter::Make<Player>(g_graph, outer, riid, ppv);
}

// The host site handed to the player: only its references are counted.
class HostSite final : public IUnknown {
public:
    STDMETHODIMP QueryInterface(REFIID, void** ppv) override { return (*ppv = nullptr), E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    ULONG refs = 1;
};

struct MetronomePlayerTest : mvtest::EngineGraphFixture {
    void SetUp() override
    {
        EngineGraphFixture::SetUp();
        g_graph = graph;
        g_log.clear();
        g_noTamblor = false;
        g_connectResult = S_OK;
        ASSERT_TRUE(SUCCEEDED(mvcom::RegisterBuiltinClass(CLSID_LoopPlayerFilter, &MakePlayer)));
    }
    void TearDown() override
    {
        mvcom::UnregisterBuiltinClass(CLSID_LoopPlayerFilter);
        EngineGraphFixture::TearDown();
        EXPECT_EQ(1u, site.refs) << "the player lets go of the host site";
    }
    HostSite site;
};

TEST_F(MetronomePlayerTest, ConnectsToTheHostSiteAndStartsSilent)
{
    IMetronomePlayer* player = nullptr;
    ASSERT_EQ(S_OK, CMetronomePlayer::Create(&site, &player));
    ASSERT_NE(nullptr, player->GetFilter());
    EXPECT_EQ((std::vector<std::string>{"connect", "MetronomeMode 1", "MetronomeOn 0"}), g_log);
    EXPECT_EQ(2u, site.refs);
    player->Release();
    EXPECT_EQ("disconnect", g_log.back());
}

TEST_F(MetronomePlayerTest, EverySettingReachesItsSlot)
{
    IMetronomePlayer* player = nullptr;
    ASSERT_EQ(S_OK, CMetronomePlayer::Create(&site, &player));
    g_log.clear();
    player->SetEnabled(TRUE);
    player->SetVolume(1.5f);
    player->SetFirstBeatUsesWave(FALSE);
    player->SetOtherBeatsUseWave(TRUE);
    player->SetBeatWave(TRUE, "/c/high.wav");
    player->SetBeatWave(FALSE, "/c/low.wav");
    player->SetFirstBeatPitch(96);
    player->SetFirstBeatVelocity(100);
    player->SetOtherBeatsPitch(92);
    player->SetOtherBeatsVelocity(90);
    player->SetToneDuration(60);
    player->Start(480);
    player->Stop();
    EXPECT_EQ((std::vector<std::string>{"MetronomeOn 1", "Gain 1.500000", "MeasureSynth 1", "BeatSynth 0",
                                        "Sound First /c/high.wav", "Sound Other /c/low.wav", "MeasurePitch 96",
                                        "MeasureLevel 100", "BeatPitch 92", "BeatLevel 90", "ClickLength 60",
                                        "start 480", "stop"}),
              g_log);
    player->Release();
}

TEST_F(MetronomePlayerTest, APlayerThatCannotServeIsRefused)
{
    IMetronomePlayer* player = reinterpret_cast<IMetronomePlayer*>(&site);
    EXPECT_EQ(E_POINTER, CMetronomePlayer::Create(nullptr, &player));
    EXPECT_EQ(nullptr, player);

    g_noTamblor = true;
    EXPECT_EQ(E_FAIL, CMetronomePlayer::Create(&site, &player));
    EXPECT_EQ(nullptr, player);
    g_noTamblor = false;

    g_connectResult = E_ACCESSDENIED;
    EXPECT_EQ(E_ACCESSDENIED, CMetronomePlayer::Create(&site, &player));
    EXPECT_EQ(nullptr, player);

    mvcom::UnregisterBuiltinClass(CLSID_LoopPlayerFilter);
    EXPECT_TRUE(FAILED(CMetronomePlayer::Create(&site, &player)));
    EXPECT_EQ(nullptr, player);
}

}  // namespace
