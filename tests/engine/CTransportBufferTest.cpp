// The per-buffer entry, driven by the fake back-end's device thread through
// a graph that passes the device input straight to the device output: what
// comes out is what went in, silence, or a known mix of the two.
#include "engine/CTransport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sstream>

#include "tests/engine/TransportRig.h"

using namespace mvtest;

namespace {

constexpr int kFrames = 441;  // 10 ms at 44100 Hz
constexpr std::size_t kFrameBytes = 4;

struct TransportBuffers : TransportRig {
    void SetUp() override
    {
        TransportRig::SetUp();
        CAppConfig::SetBufferMsec(10);
    }

    // Runs `count` device buffers with the counting input, continuing the
    // count from the last run; the inputs are kept beside the outputs.
    std::vector<FakeAudioDevice::Buffer> Run(int count)
    {
        const std::int64_t first = m_nextFrame;
        auto buffers = Device()->RunBuffers(count, [first](int i, BYTE* in, std::size_t bytes) {
            FillCountingInput(first + static_cast<std::int64_t>(i) * static_cast<std::int64_t>(bytes / kFrameBytes),
                              in, bytes);
        });
        inputs.clear();
        for (int i = 0; i < count; ++i) {
            std::vector<BYTE> in(static_cast<std::size_t>(kFrames) * kFrameBytes);
            FillCountingInput(first + static_cast<std::int64_t>(i) * kFrames, in.data(), in.size());
            inputs.push_back(std::move(in));
        }
        m_nextFrame += static_cast<std::int64_t>(count) * kFrames;
        return buffers;
    }

    static bool AllZero(const std::vector<BYTE>& v, std::size_t from = 0, std::size_t to = SIZE_MAX)
    {
        to = std::min(to, v.size());
        for (std::size_t i = from; i < to; ++i)
            if (v[i] != 0)
                return false;
        return true;
    }

    static bool SameFrames(const std::vector<BYTE>& a, const std::vector<BYTE>& b, int fromFrame, int toFrame)
    {
        return std::memcmp(a.data() + fromFrame * kFrameBytes, b.data() + fromFrame * kFrameBytes,
                           static_cast<std::size_t>(toFrame - fromFrame) * kFrameBytes) == 0;
    }

    std::vector<std::vector<BYTE>> inputs;

private:
    std::int64_t m_nextFrame = 1;
};

using Strings = std::vector<std::string>;
using Ticks = std::vector<LONG>;
using Spans = std::vector<std::pair<LONG, LONG>>;

// What the per-buffer entry handed its partners, one kind at a time: the
// values of every call of `kind` ("data render", "recorder wrap", ...), in
// the order the song produced them. How calls of different kinds interleave
// is left open; where it matters a test says so.
Ticks ValuesOf(const Journal& journal, const std::string& kind)
{
    Ticks out;
    for (const std::string& e : journal.Starting(kind + " ")) {
        std::istringstream values(e.substr(kind.size()));
        for (LONG v = 0; values >> v;)
            out.push_back(v);
    }
    return out;
}

// The tick ranges of the calls of a two-value kind ("data render", "data loop").
Spans SpansOf(const Journal& journal, const std::string& kind)
{
    const Ticks v = ValuesOf(journal, kind);
    Spans out;
    for (std::size_t i = 0; i + 1 < v.size(); i += 2)
        out.emplace_back(v[i], v[i + 1]);
    return out;
}

std::size_t CountOf(const Journal& journal, const std::string& entry)
{
    const Strings all = journal.Entries();
    return static_cast<std::size_t>(std::count(all.begin(), all.end(), entry));
}

// Anything the per-buffer entry asked of the song, the document or the recorder.
bool AnythingRendered(const Journal& journal)
{
    for (const std::string& e : journal.Entries())
        for (const char* p : {"data ", "doc ", "recorder "})
            if (e.rfind(p, 0) == 0)
                return true;
    return false;
}

}  // namespace

TEST_F(TransportBuffers, WhatTheDeviceGivesComesOutOfTheGraphBufferAfterBuffer)
{
    Start();
    ASSERT_EQ(S_OK, transport->Play());
    factory.journal.Clear();
    const auto buffers = Run(3);
    ASSERT_EQ(3u, buffers.size());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(S_OK, buffers[i].result);
        EXPECT_EQ(inputs[i], buffers[i].out) << "buffer " << i;
    }
    // Each buffer is one span of the song, continuing the last.
    EXPECT_EQ((Spans{{0, 45}, {45, 89}, {89, 133}}), SpansOf(factory.journal, "data render"));
    EXPECT_EQ((Ticks{0, 45, 89}), ValuesOf(factory.journal, "data span"));
    EXPECT_EQ((Ticks{0, 45, 89}), ValuesOf(factory.journal, "recorder wrap"));
    EXPECT_EQ(133, transport->GetPlayPosition());
    EXPECT_EQ(3 * kFrames, transport->GetAudioRenderer()->GetSamplePosition());
}

TEST_F(TransportBuffers, WhileStoppedLiveInputIsRenderedButTheSongIsNot)
{
    Start();
    factory.journal.Clear();
    const auto buffers = Run(2);
    EXPECT_EQ(inputs[1], buffers[1].out);
    EXPECT_EQ((Ticks{0, 45}), ValuesOf(factory.journal, "data span")) << "live input is delivered";
    EXPECT_TRUE(SpansOf(factory.journal, "data render").empty());
    EXPECT_TRUE(ValuesOf(factory.journal, "recorder wrap").empty());
    EXPECT_EQ(0, transport->GetPlayPosition());
}

TEST_F(TransportBuffers, AWholeBufferRequestRendersExactlyTheGraphsBlock)
{
    Start();
    // A device buffer larger than the block: only the block is written.
    const auto buffers = Device()->RunBuffers(
        1, [](int, BYTE* in, std::size_t bytes) { FillCountingInput(1, in, bytes); }, -1, 600 * kFrameBytes);
    ASSERT_EQ(1u, buffers.size());
    std::vector<BYTE> in(600 * kFrameBytes);
    FillCountingInput(1, in.data(), in.size());
    EXPECT_TRUE(SameFrames(in, buffers[0].out, 0, kFrames));
    for (std::size_t i = kFrames * kFrameBytes; i < buffers[0].out.size(); ++i)
        ASSERT_EQ(0x55, buffers[0].out[i]) << "byte " << i << " is past the block";
    EXPECT_EQ(kFrames, transport->GetAudioRenderer()->GetSamplePosition());
}

TEST_F(TransportBuffers, ABufferSmallerThanTheBlockIsNeverOverrun)
{
    Start();
    std::vector<BYTE> out(kFrames * kFrameBytes, 0x55);
    const UINT small = 100 * kFrameBytes;
    EXPECT_EQ(S_OK, transport->ProcessBuffer(out.data(), nullptr, small, -1));
    EXPECT_TRUE(AllZero(out, 0, small));
    for (std::size_t i = small; i < out.size(); ++i)
        ASSERT_EQ(0x55, out[i]) << "byte " << i;
    EXPECT_EQ(100, transport->GetAudioRenderer()->GetSamplePosition());
}

TEST_F(TransportBuffers, TheBufferIsSilentWheneverTheEngineCannotRender)
{
    Start();
    ASSERT_EQ(S_OK, transport->Play());
    struct Case {
        const char* name;
        std::function<void()> set, undo;
    };
    CHeapCriticalSection* held = nullptr;
    auto hold = [&](CHeapCriticalSection& lock) {
        return [&held, &lock] {
            lock.Lock();
            held = &lock;
        };
    };
    auto release = [&] {
        held->Unlock();
        held = nullptr;
    };
    const Case cases[] = {
        {"the UI holds the transport lock", hold(transport->GetTransportLock()), release},
        {"the UI holds the processing lock", hold(transport->GetProcessingLock()), release},
        {"the UI holds the renderer's lock", hold(transport->GetAudioRenderer()->GetLock()), release},
        {"the graph is dirty", [&] { doc->graphDirty = 1; }, [&] { doc->graphDirty = 0; }},
        {"a reset is requested", [&] { transport->RequestAudioReset(); },
         [&] { ASSERT_EQ(S_OK, transport->ApplyAudioReset()); }},
    };
    for (const Case& c : cases) {
        c.set();
        factory.journal.Clear();
        const auto buffers = Run(2);
        ASSERT_EQ(2u, buffers.size()) << c.name;
        for (const auto& b : buffers) {
            EXPECT_EQ(S_OK, b.result) << c.name;
            EXPECT_TRUE(AllZero(b.out)) << c.name;
        }
        EXPECT_FALSE(AnythingRendered(factory.journal)) << c.name << ": nothing rendered";
        c.undo();
        const auto after = Run(1);
        EXPECT_EQ(inputs[0], after[0].out) << c.name << ": rendering resumes";
    }
}

TEST_F(TransportBuffers, WithoutADocumentOrBeforeTheEngineIsReSeekedTheBufferIsSilent)
{
    Start();
    // A new document: attached and the device reset, but the engine not yet
    // re-seeked to it.
    FakeTransportDocument second(&factory.journal);
    second.UseGraph(transport->GetFilterGraph());
    ASSERT_EQ(S_OK, transport->SetDocument(nullptr));
    doc.reset();
    ASSERT_EQ(S_OK, transport->SetDocument(&second));
    ASSERT_EQ(S_OK, transport->ApplyAudioReset());
    auto buffers = Run(1);
    ASSERT_EQ(1u, buffers.size());
    EXPECT_TRUE(AllZero(buffers[0].out));
    ASSERT_EQ(S_OK, transport->ResyncEngine());
    buffers = Run(1);
    EXPECT_EQ(inputs[0], buffers[0].out);

    // No document at all: straight from the entry, since the device is closed.
    ASSERT_EQ(S_OK, transport->SetDocument(nullptr));
    std::vector<BYTE> out(kFrames * kFrameBytes, 0x55);
    EXPECT_EQ(S_OK, transport->ProcessBuffer(out.data(), nullptr, static_cast<UINT>(out.size()), -1));
    EXPECT_TRUE(AllZero(out));
}

TEST_F(TransportBuffers, ABufferCrossingTheLoopEndIsRenderedInTwoSegments)
{
    Start();
    // 0..960 ticks: samples 0..9600; buffer 21 holds frames 9261..9701.
    ASSERT_EQ(S_OK, transport->SetLoop(0, 960, TRUE));
    ASSERT_EQ(S_OK, transport->Play());
    Run(21);
    EXPECT_EQ(21 * kFrames, transport->GetAudioRenderer()->GetSamplePosition());
    factory.journal.Clear();
    const auto buffers = Run(1);
    EXPECT_EQ(S_OK, buffers[0].result);
    EXPECT_EQ(inputs[0], buffers[0].out) << "the audio runs on across the wrap";
    // The song up to the loop end, the loop, and on from the loop start.
    EXPECT_EQ((Spans{{927, 960}, {0, 11}}), SpansOf(factory.journal, "data render"));
    EXPECT_EQ((Spans{{0, 960}}), SpansOf(factory.journal, "data loop"));
    EXPECT_EQ((Ticks{927, 0}), ValuesOf(factory.journal, "data span"));
    // At the wrap: the live tempo re-applied, every pattern's cursor back,
    // the recorder's touches of the pass committed.
    EXPECT_EQ((Spans{{0, 960}}), SpansOf(factory.journal, "doc tempo hook"));
    EXPECT_EQ(1u, CountOf(factory.journal, "doc reset cursors 65535"));
    EXPECT_EQ((Spans{{0, 960}}), SpansOf(factory.journal, "recorder commit touches"));
    EXPECT_EQ(22 * kFrames - 9600, transport->GetAudioRenderer()->GetSamplePosition())
        << "the sample counter went back to the loop start";
    EXPECT_EQ(11, transport->GetPlayPosition());
}

TEST_F(TransportBuffers, ABufferEndingExactlyAtTheLoopEndWrapsTheNextOne)
{
    Start();
    // One sample a tick: the loop is exactly four buffers long.
    factory.hostSite->samplesPerTick = 1;
    ASSERT_EQ(S_OK, transport->SetLoop(0, 4 * kFrames, TRUE));
    ASSERT_EQ(S_OK, transport->Play());
    factory.journal.Clear();
    const auto buffers = Run(5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(inputs[i], buffers[i].out);
    EXPECT_EQ((Spans{{0, 1764}}), SpansOf(factory.journal, "data loop")) << "the fourth ends at the loop end";
    EXPECT_EQ(1u, CountOf(factory.journal, "doc reset cursors 65535")) << "the fifth starts over";
    const Spans renders = SpansOf(factory.journal, "data render");
    ASSERT_EQ(5u, renders.size()) << "no buffer was split";
    EXPECT_EQ(1764, renders[3].second);
    EXPECT_EQ(0, renders[4].first);
    EXPECT_EQ(kFrames, transport->GetAudioRenderer()->GetSamplePosition());
}

TEST_F(TransportBuffers, WithTheLoopOffNoBufferIsSplitEvenFarIntoTheSong)
{
    Start();
    ASSERT_EQ(S_OK, transport->SetLoop(0, 960, FALSE));
    ASSERT_EQ(S_OK, transport->Locate(200000000));
    ASSERT_EQ(S_OK, transport->Play());
    factory.journal.Clear();
    const auto buffers = Run(3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(inputs[i], buffers[i].out);
    const Spans renders = SpansOf(factory.journal, "data render");
    ASSERT_EQ(3u, renders.size()) << "one render a buffer";
    EXPECT_EQ(200000000, renders[0].first);
    EXPECT_EQ(renders[0].second, renders[1].first);
    EXPECT_EQ(renders[1].second, renders[2].first);
    EXPECT_EQ(3u, ValuesOf(factory.journal, "data span").size());
    EXPECT_EQ(3u, ValuesOf(factory.journal, "recorder wrap").size());
    EXPECT_TRUE(SpansOf(factory.journal, "data loop").empty());
}

TEST_F(TransportBuffers, ACountInHoldsTheSongThenStartsItFromThePlayPosition)
{
    Start();
    transport->SetMetronomeOn(TRUE);
    transport->SetCountInOn(TRUE);
    transport->SetCountInBeats(2);
    ASSERT_EQ(S_OK, transport->Play());
    ASSERT_TRUE(transport->IsCountInActive());
    factory.journal.Clear();
    // Two beats of 4/4: tick 1920, sample 19200, inside buffer 43.
    Run(43);
    EXPECT_TRUE(SpansOf(factory.journal, "data render").empty()) << "nothing of the song during the count-in";
    EXPECT_EQ(0, transport->GetPlayPosition());
    EXPECT_TRUE(transport->IsCountInActive());
    EXPECT_EQ(0, transport->GetNowTicks(TRUE)) << "the display holds during the count-in";

    factory.journal.Clear();
    const auto buffers = Run(1);
    EXPECT_EQ(inputs[0], buffers[0].out);
    EXPECT_FALSE(transport->IsCountInActive());
    // The song starts at the play position: the data renderer restarted
    // there (stopped, then started), the cursors back, then the first span.
    EXPECT_EQ((Spans{{0, 21}}), SpansOf(factory.journal, "data render"));
    EXPECT_EQ((Ticks{1897, 0}), ValuesOf(factory.journal, "data span"));
    EXPECT_EQ(1u, CountOf(factory.journal, "doc reset cursors 65535"));
    const Strings calls = factory.journal.Entries();
    const auto stop = std::find(calls.begin(), calls.end(), "data stop 0");
    const auto start = std::find(calls.begin(), calls.end(), "data start 0");
    ASSERT_NE(calls.end(), stop);
    ASSERT_NE(calls.end(), start);
    EXPECT_LT(stop, start) << "a restart stops before it starts";
    EXPECT_EQ(43 * kFrames + kFrames - 19200, transport->GetAudioRenderer()->GetSamplePosition())
        << "the sample counter went back to the play position";
    EXPECT_EQ(21, transport->GetPlayPosition());
}

TEST_F(TransportBuffers, ASilentBlockNeverStallsTheBuffer)
{
    Start();
    ASSERT_EQ(S_OK, transport->Play());
    doc->source->SetEnabled(FALSE);
    factory.journal.Clear();
    const auto buffers = Run(3);
    ASSERT_EQ(3u, buffers.size());
    for (const auto& b : buffers) {
        EXPECT_EQ(S_OK, b.result);
        EXPECT_TRUE(AllZero(b.out));
    }
    EXPECT_EQ(133, transport->GetPlayPosition()) << "the song moved on as usual";
}

TEST_F(TransportBuffers, AFailurePartWayLeavesTheRestOfTheBufferSilent)
{
    Start();
    ASSERT_EQ(S_OK, transport->SetLoop(0, 960, TRUE));
    ASSERT_EQ(S_OK, transport->Play());
    Run(21);
    // The buffer that wraps: its second segment's render fails.
    factory.dataRenderer->failOn = "render";
    factory.dataRenderer->failAfter = 1;
    factory.dataRenderer->failWith = E_ACCESSDENIED;
    const auto buffers = Run(1);
    EXPECT_EQ(E_ACCESSDENIED, buffers[0].result);
    const int first = 9600 - 21 * kFrames;
    EXPECT_TRUE(SameFrames(inputs[0], buffers[0].out, 0, first)) << "the first segment was played";
    EXPECT_TRUE(AllZero(buffers[0].out, first * kFrameBytes)) << "the rest is silence";
}

TEST_F(TransportBuffers, AFailureBeforeTheFirstSegmentSilencesTheWholeBuffer)
{
    Start();
    ASSERT_EQ(S_OK, transport->Play());
    factory.hostSite->convertResult = E_UNEXPECTED;
    const auto buffers = Run(1);
    EXPECT_EQ(E_UNEXPECTED, buffers[0].result);
    EXPECT_TRUE(AllZero(buffers[0].out));
}

TEST_F(TransportBuffers, AfterAnAudioResetTimingAndLoadKeepWorking)
{
    factory.fakeCounter = true;
    FakeCounter::step = 3;  // 3 ms of 10 per buffer
    Start();
    ASSERT_EQ(S_OK, transport->Play());
    Run(2);
    for (int reset = 0; reset < 3; ++reset) {
        ASSERT_EQ(S_OK, transport->RequestAudioReset());
        ASSERT_EQ(S_OK, transport->ApplyAudioReset());
        const LONGLONG before = transport->GetTimeKeeper()->GetDeviceTime(false);
        const float load = transport->GetCpuLoad();
        const auto buffers = Run(3);
        for (int i = 0; i < 3; ++i) {
            EXPECT_EQ(S_OK, buffers[i].result) << "reset " << reset;
            EXPECT_EQ(inputs[i], buffers[i].out) << "reset " << reset;
        }
        // One buffer behind: the start of the buffer before the last.
        EXPECT_EQ(before + kFrames, transport->GetTimeKeeper()->GetDeviceTime(false)) << "reset " << reset;
        EXPECT_GT(transport->GetCpuLoad(), load) << "reset " << reset;
    }
    EXPECT_NEAR(0.3, transport->GetCpuLoad(), 0.3);
}

namespace {

// The load guard: what it waits before each segment.
struct GuardCase {
    const char* name;
    int bufferMsec;
    int driverType;
    DWORD sleep;
};

const GuardCase kGuardCases[] = {
    {"100 ms", 100, CTransport::kDriverDirectSound, 10},
    {"25 ms", 25, CTransport::kDriverDirectSound, 2},
    {"5 ms (WDM keeps it)", 5, CTransport::kDriverWDM, 1},
};

}  // namespace

TEST_F(TransportBuffers, AnOverloadedEngineWaitsATenthOfTheLatencyBeforeEachSegment)
{
    for (const GuardCase& c : kGuardCases) {
        CaseEngine e;
        e.factory.fakeCounter = true;
        FakeCounter::step = 0;
        CAppConfig::SetBufferMsec(c.bufferMsec);
        CAppConfig::SetDriverType(c.driverType);
        ASSERT_EQ(S_OK, e.Attach()) << c.name;
        ASSERT_EQ(S_OK, e.transport.ApplyAudioReset());
        ASSERT_EQ(S_OK, e.transport.ResyncEngine());
        ASSERT_EQ(c.bufferMsec, e.transport.GetLatency()) << c.name;
        auto* device = e.Device();
        {
            std::lock_guard<std::mutex> lock(sleepLock);
            sleeps.clear();
        }
        device->RunBuffers(1);
        EXPECT_TRUE(Sleeps().empty()) << c.name << ": not overloaded yet";
        FakeCounter::step = 1000000;  // every buffer takes far longer than its period
        device->RunBuffers(2);
        EXPECT_GT(e.transport.GetCpuLoad(), 1.01f) << c.name;
        ASSERT_EQ(1u, Sleeps().size()) << c.name << ": the load rose at the end of the first";
        EXPECT_EQ(c.sleep, Sleeps()[0]) << c.name;
        FakeCounter::step = 0;
    }
}

TEST_F(TransportBuffers, TheReWireHostPacesTheEngineItselfAndGetsFloatFrames)
{
    CAppConfig::SetRewireDeviceMode(true);
    factory.fakeCounter = true;
    factory.rewireScript.fixedBufferBytes = 0x40000;
    FakeCounter::step = 1000000;
    Start(TRUE);
    EXPECT_EQ(32, transport->GetBitsPerSample());
    const auto buffers = Device()->RunBuffers(4, nullptr, 256);
    ASSERT_EQ(4u, buffers.size());
    for (const auto& b : buffers) {
        EXPECT_EQ(S_OK, b.result);
        ASSERT_EQ(256u * 8u, b.out.size());
        EXPECT_TRUE(AllZero(b.out)) << "the silent input as float frames";
    }
    EXPECT_GT(transport->GetCpuLoad(), 1.01f);
    EXPECT_TRUE(Sleeps().empty());
    EXPECT_EQ(4 * 256, transport->GetAudioRenderer()->GetSamplePosition());
}
