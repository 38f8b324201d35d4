// The ReWire-device back-end against a bridge played by the test: the
// test makes the mailslot, the shared block and the events as the bridge
// does, writes requests into the block and waits for the acknowledgement.
// The engine owner and the song are fakes that record what the back-end
// asked of them.
#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "devices/CAppConfig.h"
#include "devices/CRewireDevice.h"
#include "devices/IEngineOwner.h"
#include "devices/IRewireEngine.h"
#include "platform/ipc/FileMapping.h"
#include "platform/ipc/Mailslot.h"
#include "platform/ipc/NamedEvent.h"
#include "platform/registry/Profile.h"
#include "platform/rewire/MvDeviceProtocol.h"
#include "platform/sync/Event.h"
#include "tests/platform/ipc/IpcTestSupport.h"
#include "tests/support/TempProfile.h"

namespace {

using namespace mvdevice;

// Renders frame f of a call as the float value of the call's running frame count.
class RenderingOwner : public IEngineOwner {
public:
    HRESULT ProcessBuffer(void* out, void*, UINT outBytes, LONG frames) override
    {
        std::lock_guard guard(lock);
        auto* f = static_cast<float*>(out);
        for (LONG i = 0; i < frames && static_cast<UINT>(i * 8) < outBytes; ++i) {
            f[2 * i] = static_cast<float>(rendered + i);
            f[2 * i + 1] = -static_cast<float>(rendered + i);
        }
        rendered += frames;
        calls.push_back(frames);
        return S_OK;
    }
    HRESULT RequestAudioReset() override
    {
        ++resets;
        return S_OK;
    }
    std::mutex lock;
    LONG rendered = 0;
    std::vector<LONG> calls;
    int resets = 0;
};

// The engine owner and song as the back-end reaches them: every change is
// logged with whether the host-call counter was raised.
class FakeRewireEngine : public IRewireEngine {
public:
    void BeginHostCall() override { ++hostCalls; }
    void EndHostCall() override { --hostCalls; }
    bool HostCallActive() override { return hostCalls > 0; }
    bool IsPlaying() override { return playing; }
    LONG GetNowTicks() override { return now; }
    HRESULT Play() override
    {
        Log("play");
        playing = true;
        return S_OK;
    }
    HRESULT Stop() override
    {
        Log("stop");
        playing = false;
        return S_OK;
    }
    HRESULT Locate(LONG tick) override
    {
        Log("locate " + std::to_string(tick));
        now = tick;
        return S_OK;
    }
    bool IsLoopOn() override { return loopOn; }
    LONG GetLoopChangePending() override { return loopPending; }
    HRESULT SetLoop(LONG start, LONG end, BOOL on) override
    {
        Log("loop " + std::to_string(start) + " " + std::to_string(end) + " " + std::to_string(on));
        loopOn = on;
        return S_OK;
    }
    HRESULT SetLoopOn(BOOL on) override
    {
        Log("loop on " + std::to_string(on));
        loopOn = on;
        return S_OK;
    }
    LONGLONG GetSamplePosition() override { return samplePosition; }
    bool HasDocument() override { return document; }
    LONG GetTempoAt(LONG) override { return tempo; }
    HRESULT SetLiveTempo(LONG tick, LONG t) override
    {
        Log("tempo " + std::to_string(t) + " at " + std::to_string(tick));
        tempo = t;
        return S_OK;
    }
    HRESULT RefreshLiveTempo() override
    {
        Log("refresh tempo");
        return S_OK;
    }
    void GetMeterAt(LONG, LONG* n, LONG* p) override
    {
        *n = numerator;
        *p = power;
    }
    HRESULT SetMeterAt(LONG, LONG n, LONG p) override
    {
        log.push_back("meter " + std::to_string(n) + "/" + std::to_string(1 << p));
        numerator = n;
        power = p;
        return S_OK;
    }
    int GetAuxBusCount() override { return auxBuses; }
    int GetOutputBranchCount() override { return branches; }
    void SetAuxBusTap(int index, float* block) override { auxTaps[index] = block; }
    void SetOutputBranchTap(int index, float* block) override { branchTaps.at(index) = block; }
    bool HasRewirePort() override { return true; }
    void DeliverRewireMidi(DWORD message, DWORD timeMs) override { midi.push_back({message, timeMs}); }

    void Log(const std::string& what) { log.push_back(what + (hostCalls > 0 ? "" : " (unbracketed)")); }

    int hostCalls = 0;
    bool playing = false;
    LONG now = 0;
    bool loopOn = false;
    LONG loopPending = 0;
    LONGLONG samplePosition = 0;
    bool document = true;
    LONG tempo = 12000;
    LONG numerator = 4;
    LONG power = 2;
    int auxBuses = 2;
    int branches = 0;
    float* auxTaps[4] = {};
    std::vector<float*> branchTaps;
    std::vector<std::pair<DWORD, DWORD>> midi;
    std::vector<std::string> log;
};

// The bridge's side: it owns the shared objects and drives requests.
class Bridge {
public:
    Bridge()
    {
        slot = CreateMailslotA(kMailslotName, kCommandSize, 0, nullptr);
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                     static_cast<DWORD>(kBlockSize), kMappingName);
        request = CreateNamedEventA(nullptr, FALSE, FALSE, kRequestEventName);
        acknowledge = CreateNamedEventA(nullptr, FALSE, FALSE, kAcknowledgeEventName);
        block = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    }
    ~Bridge()
    {
        UnmapViewOfFile(block);
        for (HANDLE h : {mapping, request, acknowledge})
            CloseHandle(h);
        CloseHandle(slot);
    }
    bool Ready() const { return slot != INVALID_HANDLE_VALUE && block && request && acknowledge; }
    void Set(std::size_t field, std::uint32_t value) { WriteU32(block, field, value); }
    std::uint32_t Get(std::size_t field) const { return ReadU32(block, field); }
    // One request of the block as it stands.
    bool Drive()
    {
        SetEvent(request);
        return WaitForSingleObject(acknowledge, 5000) == WAIT_OBJECT_0;
    }
    // The command records that came since the last call.
    std::vector<CommandRecord> Records()
    {
        std::vector<CommandRecord> got;
        CommandRecord r;
        DWORD read = 0;
        while (ReadMailslot(slot, r.bytes, sizeof r.bytes, &read))
            got.push_back(r);
        return got;
    }
    const float* Pair(int pair) const { return reinterpret_cast<const float*>(block + PairOffset(pair, 0)); }

    HANDLE slot;
    HANDLE mapping;
    HANDLE request;
    HANDLE acknowledge;
    char* block;
};

class RewireDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(bridge.Ready());
        bridge.Set(kHostSampleRate, 44100);
        bridge.Set(kTempo, 120000);
        bridge.Set(kNumerator, 4);
        bridge.Set(kDenominator, 4);
        ASSERT_EQ(S_OK, device.Open());
        ASSERT_EQ(S_OK, device.Start());
    }
    void TearDown() override
    {
        EXPECT_EQ(S_OK, device.Close(0));
    }
    // Loads the options with "RewireDecimationMS" at `ms`.
    void Decimation(int ms)
    {
        WriteProfileInt("Options", "RewireDecimationMS", ms);
        ASSERT_EQ(S_OK, CAppConfig::Load());
    }

    mvtest::TempProfile profile;
    CAppConfig config;
    mvtest::IpcNamespace ns;
    Bridge bridge;
    RenderingOwner owner;
    FakeRewireEngine engine;
    CRewireDevice device{&owner, &engine};
};

struct RateCase {
    int rate;
    int expectRate;
    unsigned mask;
};

TEST(RewireDeviceRates, EachRateSetsItsOwnMaskAndAnyOtherFallsBackTo44100)
{
    RenderingOwner owner;
    FakeRewireEngine engine;
    CRewireDevice device(&owner, &engine);
    const RateCase cases[] = {{11025, 11025, 0xF},     {22050, 22050, 0xF0},   {44100, 44100, 0xF00},
                              {48000, 48000, 0xF000},  {88200, 88200, 0xF0000}, {96000, 96000, 0xF00000},
                              {32000, 44100, 0xF00},   {0, 44100, 0xF00}};
    for (const RateCase& c : cases) {
        device.SetSampleRate(c.rate);
        EXPECT_EQ(c.expectRate, device.GetSampleRate()) << c.rate;
        EXPECT_EQ(c.mask, device.GetCapabilityMask()) << c.rate;
    }
}

TEST(RewireDeviceOpen, FailsUntilTheBridgeHasMadeItsObjects)
{
    mvtest::IpcNamespace ns;
    RenderingOwner owner;
    FakeRewireEngine engine;
    CRewireDevice device(&owner, &engine);
    EXPECT_EQ(E_FAIL, device.Open());
    EXPECT_EQ(S_OK, device.Close(0));
    {
        Bridge bridge;
        ASSERT_TRUE(bridge.Ready());
        EXPECT_EQ(S_OK, device.Open());
        EXPECT_EQ(S_OK, device.Close(0));
    }
    EXPECT_TRUE(ns.Leftovers().empty());
}

TEST_F(RewireDevice, TheUsersTransportGoesToTheHostAsRecords)
{
    std::vector<CommandRecord> r = bridge.Records();
    ASSERT_EQ(1u, r.size());
    EXPECT_EQ(0x01D500FFu, r[0].Word(0)) << "the start record";

    EXPECT_EQ(S_OK, device.SendHostLoop(960, 3840, TRUE));
    EXPECT_EQ(S_OK, device.SendHostPlay());
    engine.playing = true;
    EXPECT_EQ(S_FALSE, device.SendHostReposition(100)) << "not while playing";
    engine.playing = false;
    EXPECT_EQ(S_OK, device.SendHostReposition(1920));
    EXPECT_EQ(S_OK, device.SendHostStop());
    engine.hostCalls = 1;
    EXPECT_EQ(S_OK, device.SendHostPlay()) << "the host's own change is not echoed";
    engine.hostCalls = 0;
    r = bridge.Records();
    ASSERT_EQ(4u, r.size());
    EXPECT_EQ(14, r[0].Command());
    EXPECT_EQ(15360u, r[0].Word(4));
    EXPECT_EQ(61440u, r[0].Word(8));
    EXPECT_EQ(1, r[0].bytes[12]);
    for (int i = 13; i < 24; ++i)
        EXPECT_EQ(0, r[0].bytes[i]);
    EXPECT_EQ(15, r[1].Command());
    EXPECT_EQ(11, r[2].Command());
    EXPECT_EQ(30720u, r[2].Word(4));
    EXPECT_EQ(16, r[3].Command());

    EXPECT_EQ(S_OK, device.Stop());
    r = bridge.Records();
    ASSERT_EQ(1u, r.size());
    EXPECT_EQ(0x02D500FFu, r[0].Word(0)) << "the stop record";
}

TEST_F(RewireDevice, ARequestIsServedInDecimatedSlicesIntoTheBlock)
{
    ASSERT_EQ(S_OK, device.Stop());
    Decimation(5);
    ASSERT_EQ(S_OK, device.Start());
    bridge.Set(kFrames, 512);
    bridge.Set(kEventCount, 2);
    bridge.Set(kEvents, 10);
    bridge.Set(kEvents + 4, 0x403C90);
    bridge.Set(kEvents + 8, 300);
    bridge.Set(kEvents + 12, 0x003C80);
    engine.samplePosition = 44100;
    ASSERT_TRUE(bridge.Drive());
    EXPECT_EQ((std::vector<LONG>{220, 220, 72}), owner.calls);
    EXPECT_EQ(72u, bridge.Get(kFrames)) << "the last slice's frames";
    for (int f : {0, 219, 220, 511})
        EXPECT_EQ(static_cast<float>(f), bridge.Pair(0)[2 * f]) << f;
    ASSERT_EQ(2u, engine.midi.size());
    EXPECT_EQ(0x403C90u, engine.midi[0].first);
    EXPECT_EQ(1000u, engine.midi[0].second) << "(44100 + 10) / 44100 s";
    EXPECT_EQ(0x003C80u, engine.midi[1].first);
    EXPECT_EQ(1001u, engine.midi[1].second) << "its offset within the second slice";
    EXPECT_EQ(0, owner.resets);
    bridge.Set(kHostSampleRate, 48000);
    ASSERT_TRUE(bridge.Drive());
    EXPECT_EQ(48000, device.GetSampleRate());
    EXPECT_EQ(1, owner.resets);
}

TEST_F(RewireDevice, CountsFromTheBridgeAreHeldToWhatTheBlockHolds)
{
    bridge.Set(kFrames, 1000000);
    bridge.Set(kEventCount, 100000);
    ASSERT_TRUE(bridge.Drive());
    EXPECT_EQ((std::vector<LONG>{32768}), owner.calls);
    EXPECT_EQ(512u, engine.midi.size());
}

TEST_F(RewireDevice, HostPositionsAreScaledAndTheTransportFollowedWithinTheBracket)
{
    bridge.Set(kFrames, 64);
    bridge.Set(kTransportRequest, 2);
    bridge.Set(kSongPosition, static_cast<std::uint32_t>(-16));
    ASSERT_TRUE(bridge.Drive());
    EXPECT_EQ(-1, engine.now) << "-16 is received as -1";
    EXPECT_TRUE(engine.playing);
    // The first request also takes the host's loop (none) as new.
    EXPECT_EQ((std::vector<std::string>{"tempo 12000 at -1", "refresh tempo", "locate -1", "play", "loop 0 0 0"}),
              engine.log);

    engine.log.clear();
    bridge.Set(kSongPosition, 15);
    ASSERT_TRUE(bridge.Drive());
    EXPECT_EQ(0, engine.now) << "15 is received as 0";
    bridge.Set(kTransportRequest, 0);
    ASSERT_TRUE(bridge.Drive());
    EXPECT_FALSE(engine.playing);

    // From a non-zero position, zero-position stops relocate only from the third in a row.
    engine.log.clear();
    engine.now = 960;
    bridge.Set(kSongPosition, 15360);
    ASSERT_TRUE(bridge.Drive());
    engine.now = 500;
    bridge.Set(kSongPosition, 0);
    std::vector<int> located;
    for (int i = 1; i <= 3; ++i) {
        engine.log.clear();
        ASSERT_TRUE(bridge.Drive());
        if (engine.now == 0)
            located.push_back(i);
        engine.now = 500;
    }
    EXPECT_EQ((std::vector<int>{3}), located);
}

TEST_F(RewireDevice, TheLoopAndTheMeterFollowTheHostAndABadMeterIsIgnored)
{
    bridge.Set(kFrames, 64);
    bridge.Set(kLoopStart, 15360);
    bridge.Set(kLoopEnd, 61440);
    bridge.Set(kLoopOn, 1);
    bridge.Set(kNumerator, 7);
    bridge.Set(kDenominator, 8);
    ASSERT_TRUE(bridge.Drive());
    EXPECT_EQ((std::vector<std::string>{"loop 960 3840 1", "meter 7/8"}), engine.log);

    struct BadMeter {
        std::uint32_t numerator, denominator;
    };
    for (BadMeter m : {BadMeter{7, 6}, BadMeter{7, 64}, BadMeter{0, 4}, BadMeter{200, 4}, BadMeter{3, 0}}) {
        engine.log.clear();
        bridge.Set(kNumerator, m.numerator);
        bridge.Set(kDenominator, m.denominator);
        ASSERT_TRUE(bridge.Drive());
        EXPECT_TRUE(engine.log.empty()) << m.numerator << "/" << m.denominator;
    }
    engine.log.clear();
    bridge.Set(kNumerator, 7);
    bridge.Set(kDenominator, 8);
    bridge.Set(kLoopOn, 0);
    ASSERT_TRUE(bridge.Drive());
    EXPECT_EQ((std::vector<std::string>{"loop on 0"}), engine.log);
}

TEST_F(RewireDevice, OutputBranchesReachTheHostUpToTheLastPairOfTheBlock)
{
    engine.branches = 70;
    engine.branchTaps.assign(70, reinterpret_cast<float*>(1));
    bridge.Set(kFrames, 64);
    for (int word = 0; word < 8; ++word)
        bridge.Set(kWantedChannels + 4 * word, 0xFFFFFFFFu);
    bridge.Set(kWantedChannels + 4, 0);  // channels 32..63: pairs 16..31 not wanted
    ASSERT_TRUE(bridge.Drive());
    // The taps point into the device's own view of the block: pairs are
    // told apart by their distance from the first aux bus's pair.
    const char* pair1 = reinterpret_cast<const char*>(engine.auxTaps[0]);
    ASSERT_NE(nullptr, pair1);
    auto pairOf = [&](const float* tap) {
        return tap ? 1 + static_cast<int>((reinterpret_cast<const char*>(tap) - pair1) / std::ptrdiff_t(kPairBytes)) : -1;
    };
    EXPECT_EQ(1, pairOf(engine.auxTaps[0]));
    EXPECT_EQ(2, pairOf(engine.auxTaps[1]));
    EXPECT_EQ(5, pairOf(engine.branchTaps[0]));
    EXPECT_EQ(-1, pairOf(engine.branchTaps[11])) << "pair 16 is not wanted";
    EXPECT_EQ(63, pairOf(engine.branchTaps[58])) << "the last pair the block holds";
    for (int b = 59; b < 70; ++b)
        EXPECT_EQ(nullptr, engine.branchTaps[b]) << "branch " << b << " has no pair";
}

TEST_F(RewireDevice, WithoutASongTheRequestIsAnsweredWithSilence)
{
    engine.document = false;
    bridge.Set(kFrames, 128);
    std::memset(bridge.block + PairOffset(0, 0), 0x7F, 128 * 8);
    ASSERT_TRUE(bridge.Drive());
    EXPECT_TRUE(owner.calls.empty());
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(0.0f, bridge.Pair(0)[i]);
    EXPECT_TRUE(engine.log.empty());
}

TEST_F(RewireDevice, StopEndsAWorkerThatIsWaitingForARequest)
{
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(S_OK, device.Stop());
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
}

}  // namespace
