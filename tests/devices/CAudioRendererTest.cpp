#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <thread>

#include "FakeRenderDocument.h"
#include "tests/engine/graph/EngineGraphFixture.h"
#include "devices/CAudioRenderer.h"
#include "engine/graph/CDxFilterGraph.h"
#include "platform/sync/ThreadAffinity.h"
#include "tests/platform/media/TestFilters.h"

using mvtest::FakeRenderDocument;
using mvtest::RecordingMatcher;

namespace {

constexpr int kFrames = 256;  // the fixture's block length

// A stereo sine on the left and its inverse on the right, as device integers.
std::vector<std::int32_t> SineInts(int frames, double amplitude)
{
    std::vector<std::int32_t> v(static_cast<std::size_t>(frames) * 2);
    for (int k = 0; k < frames; ++k) {
        const auto x = static_cast<std::int32_t>(std::lround(amplitude * std::sin(2 * M_PI * k / 64.0)));
        v[2 * k] = x;
        v[2 * k + 1] = -x;
    }
    return v;
}

std::int32_t Sat(double v, double lo, double hi) { return static_cast<std::int32_t>(std::nearbyint(std::fmin(std::fmax(v, lo), hi))); }

// One device layout: how to lay integers into a buffer and read them back.
struct Layout {
    const char* name;
    unsigned short bits;
    unsigned short mode;
    int frameBytes;
    double inRange;   // full scale of the integers
    double outScale;  // float to integer on output
    std::function<void(BYTE*, std::int32_t)> put;
    std::function<std::int32_t(const BYTE*)> get;
};

void Put16(BYTE* p, std::int32_t v)
{
    const auto s = static_cast<short>(v);
    std::memcpy(p, &s, 2);
}
std::int32_t Get16(const BYTE* p)
{
    short s;
    std::memcpy(&s, p, 2);
    return s;
}
void Put24(BYTE* p, std::int32_t v) { std::memcpy(p, &v, 3); }
std::int32_t Get24(const BYTE* p) { return static_cast<std::int32_t>((p[0] | (p[1] << 8) | (p[2] << 16)) << 8) >> 8; }
void Put32(BYTE* p, std::int32_t v) { std::memcpy(p, &v, 4); }
std::int32_t Get32(const BYTE* p)
{
    std::int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}
void Put32High(BYTE* p, std::int32_t v) { Put32(p, static_cast<std::int32_t>(static_cast<std::uint32_t>(v) << 8)); }
std::int32_t Get32High(const BYTE* p) { return Get32(p) >> 8; }

const Layout kLayouts[] = {
    {"16-bit", 16, 0, 4, 32768.0, 32767.0, Put16, Get16},
    {"24-bit packed", 24, 0, 6, 8388608.0, 8388607.0, Put24, Get24},
    {"24 in 32 low", 24, 1, 8, 8388608.0, 8388607.0, Put32, Get32},
    {"24 in 32 high", 24, 2, 8, 8388608.0, 8388607.0, Put32High, Get32High},
    {"32-bit low", 32, 3, 8, 8388608.0, 8388607.0, Put32, Get32},
    {"32-bit full width", 32, 4, 8, 8388608.0, 8388607.0, Put32High, Get32High},
};

struct RendererFixture : mvtest::EngineGraphFixture {
    void SetUp() override
    {
        EngineGraphFixture::SetUp();
        ConnectAndRun();
        source->SetEnabled(TRUE);
        bufRenderer = renderer;
        doc.input = source;
        doc.renderer = bufRenderer;
        doc.masterChain = &masterChain;
        doc.masterBus = &masterBus;
        audio = std::make_unique<CAudioRenderer>();
        audio->SetDocument(&doc);
    }

    std::vector<std::string> journal;
    RecordingMatcher masterChain{"chain", &journal};
    RecordingMatcher masterBus{"master", &journal};
    CDxBufRenderer* bufRenderer = nullptr;
    FakeRenderDocument doc;
    std::unique_ptr<CAudioRenderer> audio;
};

}  // namespace

TEST_F(RendererFixture, EveryDeviceLayoutGoesToFloatAndBackWithRoundingAndSaturation)
{
    for (const Layout& l : kLayouts) {
        ASSERT_EQ(S_OK, audio->SetBitDepth(l.bits));
        audio->Set24BitMode(l.mode);
        // Full scale both ways, so that the top of the range saturates.
        std::vector<std::int32_t> ints = SineInts(kFrames, l.inRange);
        for (auto& v : ints)
            v = std::max<std::int32_t>(std::min<double>(v, l.inRange - 1), -l.inRange);
        std::vector<BYTE> in(static_cast<std::size_t>(kFrames) * l.frameBytes), out(in.size() + 8, 0xEE);
        for (std::size_t i = 0; i < ints.size(); ++i)
            l.put(in.data() + i * (l.frameBytes / 2), ints[i]);

        int got = -1;
        ASSERT_EQ(S_OK, audio->RenderBuffer(out.data(), in.data(), kFrames, &got, kFrames, 0)) << l.name;
        ASSERT_EQ(kFrames, got) << l.name;
        for (std::size_t i = 0; i < ints.size(); ++i) {
            const float f = static_cast<float>(ints[i]) * static_cast<float>(1.0 / l.inRange);
            const std::int32_t want = Sat(static_cast<double>(f) * l.outScale, -l.inRange, l.inRange - 1);
            ASSERT_EQ(want, l.get(out.data() + i * (l.frameBytes / 2))) << l.name << " sample " << i;
        }
        EXPECT_EQ(0xEE, out[in.size()]) << l.name << ": nothing past the block";
    }
}

TEST_F(RendererFixture, FloatOutputIsTheGraphsBlockAsItIs)
{
    std::vector<short> in(kFrames * 2);
    for (int i = 0; i < kFrames * 2; ++i)
        in[static_cast<std::size_t>(i)] = static_cast<short>(i * 37 - 9000);
    std::vector<float> out(kFrames * 2);
    int got = 0;
    ASSERT_EQ(S_OK, audio->RenderBuffer(out.data(), in.data(), kFrames, &got, kFrames, 1));
    for (int i = 0; i < kFrames * 2; ++i)
        ASSERT_EQ(static_cast<float>(in[static_cast<std::size_t>(i)]) / 32768.0f, out[static_cast<std::size_t>(i)]);
}

TEST_F(RendererFixture, ASilentGraphLeavesTheOutputUntouched)
{
    source->SetEnabled(FALSE);
    std::vector<short> out(kFrames * 2, 1234);
    int got = -1;
    EXPECT_EQ(S_FALSE, audio->RenderBuffer(out.data(), nullptr, kFrames, &got, kFrames, 0));
    EXPECT_EQ(0, got);
    EXPECT_EQ(std::vector<short>(kFrames * 2, 1234), out);
    // The block still went through the graph: the position moved.
    EXPECT_EQ(kFrames, audio->GetSamplePosition());
}

TEST_F(RendererFixture, NoInputRendersSilenceThroughAnEnabledSource)
{
    std::vector<short> out(kFrames * 2, 1234);
    int got = -1;
    ASSERT_EQ(S_OK, audio->RenderBuffer(out.data(), nullptr, kFrames, &got, kFrames, 0));
    EXPECT_EQ(std::vector<short>(kFrames * 2, 0), out);
}

TEST_F(RendererFixture, ThePositionCountsFramesThatASourceTook)
{
    std::vector<short> out(kFrames * 2);
    int got = 0;
    EXPECT_EQ(E_INVALIDARG, audio->RenderBuffer(out.data(), nullptr, 0, &got, 0, 0));
    EXPECT_EQ(E_INVALIDARG, audio->RenderBuffer(out.data(), nullptr, CAudioRenderer::kMaxFrames + 1, &got, 0, 0));
    EXPECT_EQ(E_POINTER, audio->RenderBuffer(nullptr, nullptr, 10, &got, 0, 0));
    EXPECT_EQ(E_POINTER, audio->RenderBuffer(out.data(), nullptr, 10, nullptr, 0, 0));
    EXPECT_EQ(0, audio->GetSamplePosition());
    audio->RenderBuffer(out.data(), nullptr, 100, &got, 100, 0);
    audio->RenderBuffer(out.data(), nullptr, 28, &got, 28, 0);
    EXPECT_EQ(128, audio->GetSamplePosition());

    graph->Stop();
    graph->RemoveFilter(source);
    ASSERT_FALSE(source->IsConnected());
    EXPECT_EQ(S_FALSE, audio->RenderBuffer(out.data(), nullptr, 100, &got, 100, 0));
    EXPECT_EQ(128, audio->GetSamplePosition());
}

TEST_F(RendererFixture, BlocksCarryTheirTimeAndTheFirstIsADiscontinuity)
{
    // A second source feeding a probe sees what the sources are given.
    CDxSource* second = nullptr;
    ASSERT_EQ(S_OK, graph->CreateSource(&second));
    auto* probe = new mvtest::TestSink(nullptr);
    probe->AddRef();
    std::vector<std::pair<REFERENCE_TIME, bool>> seen;
    probe->onReceive = [&](IMediaSample* s) {
        REFERENCE_TIME t0 = -1, t1 = -1;
        s->GetTime(&t0, &t1);
        seen.emplace_back(t0, s->IsDiscontinuity() == S_OK);
    };
    graph->Stop();
    graph->AddFilter(second, u"src2");
    graph->AddFilter(probe, u"probe");
    ASSERT_EQ(S_OK, graph->Connect(second, 0, probe, 0, nullptr));
    graph->Run();
    doc.sources.push_back(second);

    audio->SetSampleRate(48000);
    audio->SetSamplePosition(48000);
    std::vector<short> out(kFrames * 2);
    int got = 0;
    audio->RenderBuffer(out.data(), nullptr, 240, &got, 240, 0);
    audio->RenderBuffer(out.data(), nullptr, 240, &got, 240, 0);
    ASSERT_EQ(2u, seen.size());
    EXPECT_EQ(std::make_pair(REFERENCE_TIME(10000000), true), seen[0]);
    EXPECT_EQ(std::make_pair(REFERENCE_TIME(10050000), false), seen[1]);

    graph->Stop();
    graph->RemoveFilter(probe);
    graph->RemoveFilter(second);
    probe->Release();
    second->Release();
}

TEST_F(RendererFixture, NeverWritesMoreThanTheDeviceAskedFor)
{
    // A block longer than the segment is held by the buffer renderer.
    graph->Stop();
    graph->RemoveFilter(source);
    graph->Run();
    IMemAllocator* alloc = nullptr;
    graph->CreateAllocator(&alloc);
    ALLOCATOR_PROPERTIES req{1, kFrames * 8, 1, 0}, actual{};
    alloc->SetProperties(&req, &actual);
    alloc->Commit();
    IMediaSample* big = nullptr;
    ASSERT_EQ(S_OK, alloc->GetBuffer(&big, nullptr, nullptr, 0));
    big->SetActualDataLength(kFrames * 8);
    BYTE* p = nullptr;
    big->GetPointer(&p);
    std::fill(reinterpret_cast<float*>(p), reinterpret_cast<float*>(p) + kFrames * 2, 0.5f);
    bufRenderer->SetFormat({WAVE_FORMAT_IEEE_FLOAT, 2, 44100, 352800, 8, 32, 0});
    bufRenderer->SetHeldSample(big);
    big->Release();

    std::vector<short> out(24, 99);
    int got = 0;
    ASSERT_EQ(S_OK, audio->RenderBuffer(out.data(), nullptr, 10, &got, 10, 0));
    EXPECT_EQ(10, got);
    EXPECT_EQ(16384, out[19]);
    EXPECT_EQ(99, out[20]);
    alloc->Decommit();
    alloc->Release();
}

TEST(AudioRenderer, SettersCheckTheirValues)
{
    auto r = std::make_unique<CAudioRenderer>();
    EXPECT_EQ(E_INVALIDARG, r->SetBitDepth(20));
    EXPECT_EQ(16, r->GetBitDepth());
    for (unsigned short bits : {16, 24, 32})
        EXPECT_EQ(S_OK, r->SetBitDepth(bits));
    EXPECT_EQ(E_INVALIDARG, r->SetSampleRate(0));
    EXPECT_EQ(44100, r->GetSampleRate());
    EXPECT_EQ(S_OK, r->Set24BitMode(9));
    std::vector<int> out(8, 5);
    int got = -1;
    // Without a document nothing is rendered.
    EXPECT_EQ(S_FALSE, r->RenderBuffer(out.data(), nullptr, 4, &got, 4, 0));
    EXPECT_EQ(0, got);
}

TEST_F(RendererFixture, AModeAboveFourWritesNothing)
{
    audio->SetBitDepth(24);
    audio->Set24BitMode(5);
    std::vector<BYTE> out(kFrames * 8, 0xEE);
    int got = 0;
    ASSERT_EQ(S_OK, audio->RenderBuffer(out.data(), nullptr, kFrames, &got, kFrames, 0));
    EXPECT_EQ(std::vector<BYTE>(kFrames * 8, 0xEE), out);
}

TEST_F(RendererFixture, BufferMatchersAreRestartedAndToldEachSize)
{
    RecordingMatcher c0("c0", &journal), c1("c1", &journal), aux0("aux0", &journal), aux1("aux1", &journal);
    doc.channelOutputs = {{&c0, nullptr}, {&c1}};
    doc.auxBuses = {&aux0, &aux1};
    doc.auxConnected = {true, false};

    ASSERT_EQ(S_OK, audio->Prepare());
    EXPECT_TRUE(audio->IsInputPresent());
    EXPECT_EQ((std::vector<std::string>{"c0 reset", "c1 reset", "aux0 reset", "aux1 reset", "chain reset",
                                        "master reset"}),
              journal);
    journal.clear();
    ASSERT_EQ(S_OK, audio->BeginSegment(64, 256));
    EXPECT_EQ((std::vector<std::string>{"c0 segment 512", "c0 block 2048", "c1 segment 512", "c1 block 2048",
                                        "aux0 segment 512", "aux0 block 2048", "chain segment 512", "chain block 512"}),
              journal);
    journal.clear();
    ASSERT_EQ(S_OK, audio->BeginBuffer(256));
    EXPECT_EQ((std::vector<std::string>{"master segment 2048", "master block 2048"}), journal);

    // A failing matcher stops the walk with its result.
    journal.clear();
    c1.failWith = E_OUTOFMEMORY;
    EXPECT_EQ(E_OUTOFMEMORY, audio->ResetRenderers());
    EXPECT_EQ((std::vector<std::string>{"c0 reset", "c1 reset"}), journal);

    c1.failWith = S_OK;
    doc.hasMaster = false;
    EXPECT_EQ(E_FAIL, audio->ResetRenderers());
    EXPECT_EQ(E_FAIL, audio->BeginBuffer(256));
    audio->SetDocument(nullptr);
    EXPECT_EQ(E_UNEXPECTED, audio->BeginBuffer(256));
    EXPECT_EQ(S_OK, audio->ResetRenderers());
}

TEST_F(RendererFixture, WithoutMatchersSegmentsAreNotAnnounced)
{
    ASSERT_EQ(S_OK, audio->Prepare());
    journal.clear();
    EXPECT_EQ(S_OK, audio->BeginSegment(64, 256));
    EXPECT_TRUE(journal.empty());
}

TEST_F(RendererFixture, PrepareFailsWhileAnotherThreadHoldsTheLock)
{
    std::atomic<int> step{0};
    std::thread holder([&] {
        audio->GetLock().Lock();
        step = 1;
        while (step != 2)
            std::this_thread::yield();
        audio->GetLock().Unlock();
    });
    while (step != 1)
        std::this_thread::yield();
    EXPECT_EQ(E_FAIL, audio->Prepare());
    step = 2;
    holder.join();
    EXPECT_EQ(S_OK, audio->Prepare());
}

TEST_F(RendererFixture, TheWholeGraphRendersOnAThreadMarkedAudio)
{
    std::vector<short> in(kFrames * 2, 1000), out(kFrames * 2, 0);
    int got = 0;
    HRESULT hr = E_FAIL;
    std::thread([&] {
        mv::MarkCurrentThread(mv::ThreadRole::Audio);
        hr = audio->RenderBuffer(out.data(), in.data(), kFrames, &got, kFrames, 0);
    }).join();
    ASSERT_EQ(S_OK, hr);
    EXPECT_EQ(kFrames, got);
    EXPECT_EQ(std::vector<short>(kFrames * 2, 1000), out);
}

#if MV_THREAD_CHECKS
TEST_F(RendererFixture, RenderingOnTheUIThreadDiesAndPreparingOnTheAudioThreadDies)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::vector<short> out(kFrames * 2);
    int got = 0;
    EXPECT_DEATH(
        {
            mv::MarkCurrentThread(mv::ThreadRole::UI);
            audio->RenderBuffer(out.data(), nullptr, kFrames, &got, kFrames, 0);
        },
        "RenderBuffer belongs to the audio thread but was called on the UI thread");
    EXPECT_DEATH(
        {
            mv::MarkCurrentThread(mv::ThreadRole::UI);
            audio->BeginBuffer(kFrames);
        },
        "BeginBuffer belongs to the audio thread");
    EXPECT_DEATH(
        {
            mv::MarkCurrentThread(mv::ThreadRole::Audio);
            audio->Prepare();
        },
        "Prepare belongs to the UI thread but was called on the audio thread");
}
#endif
