// The ReWire-device back-end against a bridge played by the test: the
// test makes the mailslot, the shared block and the events as the bridge
// does, writes requests into the block and waits for the acknowledgement.
// The engine owner and the song are fakes that record what the back-end
// asked of them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
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

// A record the device's worker writes while it serves a request and the
// test reads once the request is acknowledged. The acknowledgement is a
// named semaphore waited on with a time limit, an order the thread checker
// cannot see, so both sides reach the record through its lock.
template <class T>
class Guarded {
public:
    class Access {
    public:
        Access(std::mutex& lock, T& value) : m_guard(lock), m_value(value) {}
        T* operator->() { return &m_value; }
        T& operator*() { return m_value; }

    private:
        std::lock_guard<std::mutex> m_guard;
        T& m_value;
    };
    Access Locked() { return Access(m_lock, m_value); }

private:
    std::mutex m_lock;
    T m_value;
};

struct Rendered {
    LONG frames = 0;
    std::vector<LONG> calls;
    int resets = 0;
};

// Renders frame f of a call as the float value of the call's running frame count.
class RenderingOwner : public IEngineOwner, public Guarded<Rendered> {
public:
    HRESULT ProcessBuffer(void* out, void*, UINT outBytes, LONG frames) override
    {
        auto r = Locked();
        auto* f = static_cast<float*>(out);
        for (LONG i = 0; i < frames && static_cast<UINT>(i * 8) < outBytes; ++i) {
            f[2 * i] = static_cast<float>(r->frames + i);
            f[2 * i + 1] = -static_cast<float>(r->frames + i);
        }
        r->frames += frames;
        r->calls.push_back(frames);
        return S_OK;
    }
    HRESULT RequestAudioReset() override
    {
        ++Locked()->resets;
        return S_OK;
    }
};

// What the engine owner and song hold and what was asked of them.
struct EngineRecord {
    int hostCalls = 0;
    // Transport and loop changes are left undone (S_FALSE), as by a busy engine.
    bool busy = false;
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

    void Log(const std::string& what) { log.push_back(what + (hostCalls > 0 ? "" : " (unbracketed)")); }
};

// The engine owner and song as the back-end reaches them: every change is
// logged with whether the host-call counter was raised.
class FakeRewireEngine : public IRewireEngine, public Guarded<EngineRecord> {
public:
    void BeginHostCall() override { ++Locked()->hostCalls; }
    void EndHostCall() override { --Locked()->hostCalls; }
    bool HostCallActive() override { return Locked()->hostCalls > 0; }
    bool IsPlaying() override { return Locked()->playing; }
    LONG GetNowTicks() override { return Locked()->now; }
    HRESULT Play() override
    {
        auto e = Locked();
        if (e->busy)
            return S_FALSE;
        e->Log("play");
        e->playing = true;
        return S_OK;
    }
    HRESULT Stop() override
    {
        auto e = Locked();
        if (e->busy)
            return S_FALSE;
        e->Log("stop");
        e->playing = false;
        return S_OK;
    }
    HRESULT Locate(LONG tick) override
    {
        auto e = Locked();
        if (e->busy)
            return S_FALSE;
        e->Log("locate " + std::to_string(tick));
        e->now = tick;
        return S_OK;
    }
    bool IsLoopOn() override { return Locked()->loopOn; }
    LONG GetLoopChangePending() override { return Locked()->loopPending; }
    HRESULT SetLoop(LONG start, LONG end, BOOL on) override
    {
        auto e = Locked();
        if (e->busy)
            return S_FALSE;
        e->Log("loop " + std::to_string(start) + " " + std::to_string(end) + " " + std::to_string(on));
        e->loopOn = on;
        return S_OK;
    }
    HRESULT SetLoopOn(BOOL on) override
    {
        auto e = Locked();
        if (e->busy)
            return S_FALSE;
        e->Log("loop on " + std::to_string(on));
        e->loopOn = on;
        return S_OK;
    }
    LONGLONG GetSamplePosition() override { return Locked()->samplePosition; }
    bool HasDocument() override { return Locked()->document; }
    LONG GetTempoAt(LONG) override { return Locked()->tempo; }
    HRESULT SetLiveTempo(LONG tick, LONG t) override
    {
        auto e = Locked();
        e->Log("tempo " + std::to_string(t) + " at " + std::to_string(tick));
        e->tempo = t;
        return S_OK;
    }
    HRESULT RefreshLiveTempo() override
    {
        Locked()->Log("refresh tempo");
        return S_OK;
    }
    void GetMeterAt(LONG, LONG* n, LONG* p) override
    {
        auto e = Locked();
        *n = e->numerator;
        *p = e->power;
    }
    HRESULT SetMeterAt(LONG, LONG n, LONG p) override
    {
        auto e = Locked();
        e->log.push_back("meter " + std::to_string(n) + "/" + std::to_string(1 << p));
        e->numerator = n;
        e->power = p;
        return S_OK;
    }
    int GetAuxBusCount() override { return Locked()->auxBuses; }
    int GetOutputBranchCount() override { return Locked()->branches; }
    void SetAuxBusTap(int index, float* block) override { Locked()->auxTaps[index] = block; }
    void SetOutputBranchTap(int index, float* block) override { Locked()->branchTaps.at(index) = block; }
    bool HasRewirePort() override { return true; }
    void DeliverRewireMidi(DWORD message, DWORD timeMs) override { Locked()->midi.push_back({message, timeMs}); }
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
    engine.Locked()->playing = true;
    EXPECT_EQ(S_FALSE, device.SendHostReposition(100)) << "not while playing";
    engine.Locked()->playing = false;
    EXPECT_EQ(S_OK, device.SendHostReposition(1920));
    EXPECT_EQ(S_OK, device.SendHostStop());
    engine.Locked()->hostCalls = 1;
    EXPECT_EQ(S_OK, device.SendHostPlay()) << "the host's own change is not echoed";
    engine.Locked()->hostCalls = 0;
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
    engine.Locked()->samplePosition = 44100;
    ASSERT_TRUE(bridge.Drive());
    EXPECT_EQ((std::vector<LONG>{220, 220, 72}), owner.Locked()->calls);
    EXPECT_EQ(72u, bridge.Get(kFrames)) << "the last slice's frames";
    for (int f : {0, 219, 220, 511})
        EXPECT_EQ(static_cast<float>(f), bridge.Pair(0)[2 * f]) << f;
    const auto midi = engine.Locked()->midi;
    ASSERT_EQ(2u, midi.size());
    EXPECT_EQ(0x403C90u, midi[0].first);
    EXPECT_EQ(1000u, midi[0].second) << "(44100 + 10) / 44100 s";
    EXPECT_EQ(0x003C80u, midi[1].first);
    EXPECT_EQ(1001u, midi[1].second) << "its offset within the second slice";
    EXPECT_EQ(0, owner.Locked()->resets);
    bridge.Set(kHostSampleRate, 48000);
    ASSERT_TRUE(bridge.Drive());
    EXPECT_EQ(48000, device.GetSampleRate());
    EXPECT_EQ(1, owner.Locked()->resets);
}

TEST_F(RewireDevice, TheHostsRateMayBeReadOnAnyThreadWhileARequestSetsIt)
{
    // The engine asks for the rate on threads of its own whenever it likes;
    // the worker sets it when a request brings another host rate.
    bridge.Set(kHostSampleRate, 48000);
    bridge.Set(kFrames, 64);
    std::atomic<bool> seen{false};
    std::thread reader([&] {
        const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!seen && std::chrono::steady_clock::now() < limit)
            seen = device.GetSampleRate() == 48000 && device.GetCapabilityMask() == 0xF000u;
    });
    EXPECT_TRUE(bridge.Drive());
    reader.join();
    EXPECT_TRUE(seen);
    EXPECT_EQ(1, owner.Locked()->resets);
}

TEST_F(RewireDevice, CountsFromTheBridgeAreHeldToWhatTheBlockHolds)
{
    bridge.Set(kFrames, 1000000);
    bridge.Set(kEventCount, 100000);
    ASSERT_TRUE(bridge.Drive());
    EXPECT_EQ((std::vector<LONG>{32768}), owner.Locked()->calls);
    EXPECT_EQ(512u, engine.Locked()->midi.size());
}

TEST_F(RewireDevice, HostPositionsAreScaledAndTheTransportFollowedWithinTheBracket)
{
    bridge.Set(kFrames, 64);
    bridge.Set(kTransportRequest, 2);
    bridge.Set(kSongPosition, static_cast<std::uint32_t>(-16));
    ASSERT_TRUE(bridge.Drive());
    EXPECT_EQ(-1, engine.Locked()->now) << "-16 is received as -1";
    EXPECT_TRUE(engine.Locked()->playing);
    // The first request also takes the host's loop (none) as new.
    EXPECT_EQ((std::vector<std::string>{"tempo 12000 at -1", "refresh tempo", "locate -1", "play", "loop 0 0 0"}),
              engine.Locked()->log);

    engine.Locked()->log.clear();
    bridge.Set(kSongPosition, 15);
    ASSERT_TRUE(bridge.Drive());
    EXPECT_EQ(0, engine.Locked()->now) << "15 is received as 0";
    bridge.Set(kTransportRequest, 0);
    ASSERT_TRUE(bridge.Drive());
    EXPECT_FALSE(engine.Locked()->playing);

    // From a non-zero position, zero-position stops relocate only from the third in a row.
    engine.Locked()->log.clear();
    engine.Locked()->now = 960;
    bridge.Set(kSongPosition, 15360);
    ASSERT_TRUE(bridge.Drive());
    engine.Locked()->now = 500;
    bridge.Set(kSongPosition, 0);
    std::vector<int> located;
    for (int i = 1; i <= 3; ++i) {
        engine.Locked()->log.clear();
        ASSERT_TRUE(bridge.Drive());
        if (engine.Locked()->now == 0)
            located.push_back(i);
        engine.Locked()->now = 500;
    }
    EXPECT_EQ((std::vector<int>{3}), located);
}

TEST_F(RewireDevice, AChangeTheBusyEngineLeftUndoneIsMadeOnTheNextRequest)
{
    bridge.Set(kFrames, 64);
    bridge.Set(kTempo, 120000);
    bridge.Set(kTransportRequest, 2);
    bridge.Set(kSongPosition, 960 * 16);
    bridge.Set(kLoopStart, 960 * 16);
    bridge.Set(kLoopEnd, 3840 * 16);
    bridge.Set(kLoopOn, 1);
    engine.Locked()->busy = true;
    ASSERT_TRUE(bridge.Drive());
    EXPECT_FALSE(engine.Locked()->playing) << "not started from the wrong place";
    engine.Locked()->busy = false;
    engine.Locked()->log.clear();
    // The host plays on, a buffer later.
    bridge.Set(kTransportRequest, 1);
    bridge.Set(kSongPosition, 1000 * 16);
    ASSERT_TRUE(bridge.Drive());
    EXPECT_EQ((std::vector<std::string>{"tempo 12000 at 1000", "refresh tempo", "locate 1000", "play",
                                        "loop 960 3840 1"}),
              engine.Locked()->log);
    engine.Locked()->log.clear();
    ASSERT_TRUE(bridge.Drive());
    EXPECT_TRUE(engine.Locked()->log.empty()) << "followed once";
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
    EXPECT_EQ((std::vector<std::string>{"loop 960 3840 1", "meter 7/8"}), engine.Locked()->log);

    struct BadMeter {
        std::uint32_t numerator, denominator;
    };
    for (BadMeter m : {BadMeter{7, 6}, BadMeter{7, 64}, BadMeter{0, 4}, BadMeter{200, 4}, BadMeter{3, 0}}) {
        engine.Locked()->log.clear();
        bridge.Set(kNumerator, m.numerator);
        bridge.Set(kDenominator, m.denominator);
        ASSERT_TRUE(bridge.Drive());
        EXPECT_TRUE(engine.Locked()->log.empty()) << m.numerator << "/" << m.denominator;
    }
    engine.Locked()->log.clear();
    bridge.Set(kNumerator, 7);
    bridge.Set(kDenominator, 8);
    bridge.Set(kLoopOn, 0);
    ASSERT_TRUE(bridge.Drive());
    EXPECT_EQ((std::vector<std::string>{"loop on 0"}), engine.Locked()->log);
}

TEST_F(RewireDevice, OutputBranchesReachTheHostUpToTheLastPairOfTheBlock)
{
    engine.Locked()->branches = 70;
    engine.Locked()->branchTaps.assign(70, reinterpret_cast<float*>(1));
    bridge.Set(kFrames, 64);
    for (int word = 0; word < 8; ++word)
        bridge.Set(kWantedChannels + 4 * word, 0xFFFFFFFFu);
    bridge.Set(kWantedChannels + 4, 0);  // channels 32..63: pairs 16..31 not wanted
    ASSERT_TRUE(bridge.Drive());
    const EngineRecord seen = *engine.Locked();
    // The taps point into the device's own view of the block: pairs are
    // told apart by their distance from the first aux bus's pair.
    const char* pair1 = reinterpret_cast<const char*>(seen.auxTaps[0]);
    ASSERT_NE(nullptr, pair1);
    auto pairOf = [&](const float* tap) {
        return tap ? 1 + static_cast<int>((reinterpret_cast<const char*>(tap) - pair1) / std::ptrdiff_t(kPairBytes)) : -1;
    };
    EXPECT_EQ(1, pairOf(seen.auxTaps[0]));
    EXPECT_EQ(2, pairOf(seen.auxTaps[1]));
    EXPECT_EQ(5, pairOf(seen.branchTaps[0]));
    EXPECT_EQ(-1, pairOf(seen.branchTaps[11])) << "pair 16 is not wanted";
    EXPECT_EQ(63, pairOf(seen.branchTaps[58])) << "the last pair the block holds";
    for (int b = 59; b < 70; ++b)
        EXPECT_EQ(nullptr, seen.branchTaps[b]) << "branch " << b << " has no pair";
}

TEST_F(RewireDevice, AWantedPairThatNothingWritesIsSilence)
{
    engine.Locked()->branches = 1;
    engine.Locked()->branchTaps.assign(1, nullptr);
    bridge.Set(kFrames, 64);
    bridge.Set(kWantedChannels, 0xFFFFFFFFu);  // pairs 0..15
    // What an earlier request left in the aux pairs and beyond the branch.
    for (int pair = 1; pair < 16; ++pair)
        std::memset(bridge.block + PairOffset(pair, 0), 0x3F, 128 * 8);
    ASSERT_TRUE(bridge.Drive());
    for (int pair : {1, 4, 6, 15}) {
        for (int i = 0; i < 128; ++i)
            ASSERT_EQ(0.0f, bridge.Pair(pair)[i]) << "pair " << pair << ", sample " << i;
        EXPECT_NE(0.0f, bridge.Pair(pair)[128]) << "pair " << pair << ": beyond the request stays";
    }
}

TEST_F(RewireDevice, WithoutASongTheRequestIsAnsweredWithSilence)
{
    engine.Locked()->document = false;
    bridge.Set(kFrames, 128);
    std::memset(bridge.block + PairOffset(0, 0), 0x7F, 128 * 8);
    ASSERT_TRUE(bridge.Drive());
    EXPECT_TRUE(owner.Locked()->calls.empty());
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(0.0f, bridge.Pair(0)[i]);
    EXPECT_TRUE(engine.Locked()->log.empty());
}

TEST_F(RewireDevice, StopEndsAWorkerThatIsWaitingForARequest)
{
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(S_OK, device.Stop());
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(2));
}

}  // namespace
