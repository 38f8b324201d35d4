#include <gtest/gtest.h>

#include <signal.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <thread>
#include <vector>

#include "platform/rewire/MvDeviceProtocol.h"
#include "platform/rewire/ReWireRecords.h"
#include "tests/platform/ipc/IpcTestSupport.h"
#include "tests/platform/rewire/EngineLibrary.h"

namespace {

using namespace rewire;
using std::chrono::milliseconds;
using std::chrono::steady_clock;

// One load of the library for the whole suite: the engine is one per
// process, and each test opens and closes it.
class RewireEngine : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        s_library = std::make_unique<mvtest::EngineLibrary>(MORVANE_BINARY_DIR "/tests/mv_fake_rewire_device");
    }
    static void TearDownTestSuite() { s_library.reset(); }

    void SetUp() override
    {
        ASSERT_NE(L().handle, nullptr) << dlerror();
        const OpenInfo info = mvtest::OpenRecord(48000);
        ASSERT_EQ(L().open(kOpenVersion, &info), kOk);
    }
    void TearDown() override
    {
        L().close();
        unsetenv("FAKE_DEVICE_MODE");
        EXPECT_TRUE(ns.Leftovers().empty()) << "closing removes every shared object";
    }
    static mvtest::EngineLibrary& L() { return *s_library; }

    DeviceHandle OpenDeviceInMode(const char* mode)
    {
        setenv("FAKE_DEVICE_MODE", mode, 1);
        DeviceHandle handle = 0;
        EXPECT_EQ(L().openDevice(0, &handle), kOk);
        return handle;
    }

    // A drive of `frames` frames that wants every channel in `channels`.
    struct Drive {
        explicit Drive(std::int32_t frames, std::vector<int> channels, int eventCapacity = 8)
            : buffers(channels.size(), std::vector<float>(frames, -1.0f)), outEvents(eventCapacity)
        {
            in.size = sizeof in;
            in.events = {20, 24, 0, 0, nullptr};
            in.frames = frames;
            out.size = sizeof out;
            out.events = {20, 24, eventCapacity, 0, outEvents.data()};
            for (std::size_t i = 0; i < channels.size(); ++i) {
                SetBit(in.requestedChannels, channels[i]);
                in.channelBuffers[channels[i]] = buffers[i].data();
            }
        }
        DriveAudioInput in{};
        DriveAudioOutput out{};
        std::vector<std::vector<float>> buffers;
        std::vector<Event> outEvents;
    };

    // Drives until the stand-in has connected (its start record arrived).
    std::int32_t DriveConnected(DeviceHandle handle, Drive& d)
    {
        const auto limit = steady_clock::now() + std::chrono::seconds(10);
        std::int32_t r = kOk;
        while (steady_clock::now() < limit) {
            r = L().drive(handle, &d.in, &d.out);
            if (r != kOk || d.out.servedChannels[0] || d.out.servedChannels[1] || d.out.servedChannels[3])
                return r;
            std::this_thread::sleep_for(milliseconds(5));
        }
        return r;
    }

    mvtest::IpcNamespace ns;
    static std::unique_ptr<mvtest::EngineLibrary> s_library;
};

std::unique_ptr<mvtest::EngineLibrary> RewireEngine::s_library;

TEST_F(RewireEngine, OpensOnceAndDescribesItsOneDevice)
{
    const OpenInfo info = mvtest::OpenRecord(44100);
    EXPECT_EQ(L().open(kOpenVersion, &info), kAlreadyOpen);
    std::int32_t count = 0;
    ASSERT_EQ(L().deviceCount(&count), kOk);
    EXPECT_EQ(count, 1);
    auto device = std::make_unique<DeviceInfo>();
    device->size = sizeof(DeviceInfo);
    ASSERT_EQ(L().deviceInfo(0, device.get()), kOk);
    EXPECT_STREQ(device->name, "Morvane");
    EXPECT_EQ(device->channelCount, 128) << "the 64 stereo pairs the shared block holds";
    EXPECT_STREQ(device->channelNames[0], "Mix L");
    EXPECT_STREQ(device->channelNames[9], "Aux 4 R");
    EXPECT_STREQ(device->channelNames[10], "Out 1 L");
    EXPECT_STREQ(device->channelNames[127], "Out 59 R");
    for (int pair = 0; pair < 64; ++pair)
        EXPECT_TRUE(TestBit(device->stereoPairs, pair)) << pair;
    EXPECT_EQ(L().deviceInfo(1, device.get()), kBadArgument);
    device->size = 8287;
    EXPECT_EQ(L().deviceInfo(0, device.get()), kBadArgument) << "a record of another size";
    std::int32_t ok = 0;
    ASSERT_EQ(L().isCloseOK(&ok), kOk);
    EXPECT_EQ(ok, 1);
}

TEST_F(RewireEngine, ADriveHandsTheHostStateOverAndCopiesEveryPairBack)
{
    const DeviceHandle handle = OpenDeviceInMode("");
    constexpr std::int32_t kFrames = 256;
    // The master pair, an output branch, the last pair the block holds, and
    // a channel beyond it, which cannot be served.
    Drive d(kFrames, {0, 1, 40, 126, 127, 128});
    std::vector<Event> events(1024);
    for (int i = 0; i < 1024; ++i) {
        events[i].kind = kEventMidi;
        events[i].midi = {static_cast<std::uint32_t>(i % 300), 0, 3, 144, 60, 100, 0};
    }
    events[1].midi.frame = 5000;  // beyond the buffer: held to its last frame
    d.in.events = {20, 24, 1024, 600, events.data()};
    d.in.playMode = 1;
    d.in.position = 15360 * 4;
    d.in.tempo = 123456;
    d.in.numerator = 7;
    d.in.denominator = 8;
    d.in.loopStart = -16;
    d.in.loopEnd = 61440;
    d.in.loopOn = 1;
    ASSERT_EQ(DriveConnected(handle, d), kOk);

    const std::vector<int> plain = {0, 1, 40, -1, 127};
    for (std::size_t i = 0; i < plain.size(); ++i) {
        if (plain[i] < 0)
            continue;
        EXPECT_TRUE(TestBit(d.out.servedChannels, plain[i])) << plain[i];
        EXPECT_EQ(d.buffers[i][0], plain[i] * 1000.0f) << plain[i];
        EXPECT_EQ(d.buffers[i][kFrames - 1], plain[i] * 1000.0f + (kFrames - 1)) << plain[i];
    }
    EXPECT_FALSE(TestBit(d.out.servedChannels, 128));
    EXPECT_EQ(d.buffers[5][0], -1.0f) << "a channel beyond the block is left alone";

    const std::vector<float>& echo = d.buffers[3];  // channel 126: the last pair's left
    EXPECT_EQ(echo[0], 15360.0f * 4);
    EXPECT_EQ(echo[1], 2.0f) << "play from a stop: locate and play";
    EXPECT_EQ(echo[2], 123456.0f);
    EXPECT_EQ(echo[3], 7.0f);
    EXPECT_EQ(echo[4], 8.0f);
    EXPECT_EQ(echo[5], -16.0f);
    EXPECT_EQ(echo[6], 61440.0f);
    EXPECT_EQ(echo[7], 1.0f);
    EXPECT_EQ(echo[8], 512.0f) << "600 events are held to the 512 the block holds";
    EXPECT_EQ(echo[9], 0.0f);
    EXPECT_EQ(echo[10], float(0x643C93)) << "status, channel, key and velocity packed";
    EXPECT_EQ(echo[11], float(kFrames - 1));

    d.in.events.count = 0;
    d.in.playMode = 2;
    ASSERT_EQ(L().drive(handle, &d.in, &d.out), kOk);
    EXPECT_EQ(echo[1], 1.0f) << "playing on";
    EXPECT_EQ(echo[8], 0.0f);
    EXPECT_EQ(L().closeDevice(handle), kOk);
}

TEST_F(RewireEngine, TheDevicesTransportRequestsComeBackAsEvents)
{
    const DeviceHandle handle = OpenDeviceInMode("commands");
    Drive d(64, {0, 1}, 2);
    ASSERT_EQ(DriveConnected(handle, d), kOk);
    std::vector<Event> got(d.outEvents.begin(), d.outEvents.begin() + d.out.events.count);
    EXPECT_EQ(d.out.events.count, 2) << "no more than the output record holds";
    for (int round = 0; round < 5 && got.size() < 4; ++round) {
        ASSERT_EQ(L().drive(handle, &d.in, &d.out), kOk);
        got.insert(got.end(), d.outEvents.begin(), d.outEvents.begin() + d.out.events.count);
    }
    ASSERT_EQ(got.size(), 4u);
    EXPECT_EQ(got[0].kind, kEventPlay);
    EXPECT_EQ(got[1].kind, kEventLoop);
    EXPECT_EQ(got[1].values[0], 15360);
    EXPECT_EQ(got[1].values[1], 61440);
    EXPECT_EQ(got[1].values[2], 1);
    EXPECT_EQ(got[2].kind, kEventReposition);
    EXPECT_EQ(got[2].values[0], 30720);
    EXPECT_EQ(got[3].kind, kEventStop);
    EXPECT_EQ(L().closeDevice(handle), kOk);
}

struct DeadCase {
    const char* mode;
    const char* what;
};

TEST_F(RewireEngine, ADeviceThatStopsAnsweringIsDroppedAndItsObjectsRemoved)
{
    for (const DeadCase& c : {DeadCase{"silent", "never answers"}, DeadCase{"die", "dies mid-drive"}}) {
        const DeviceHandle handle = OpenDeviceInMode(c.mode);
        Drive d(128, {0, 1});
        std::int32_t r = DriveConnected(handle, d);
        if (r == kOk)
            r = L().drive(handle, &d.in, &d.out);
        const auto before = steady_clock::now();
        if (r == kOk)
            r = L().drive(handle, &d.in, &d.out);
        EXPECT_EQ(r, kDeviceNotAnswering) << c.what;
        EXPECT_LT(steady_clock::now() - before, std::chrono::seconds(5)) << c.what;
        EXPECT_TRUE(ns.Leftovers().empty()) << c.what;
        EXPECT_EQ(L().drive(handle, &d.in, &d.out), kDeviceNotOpen) << c.what << ": later drives fail at once";
        std::int32_t launched = 1;
        ASSERT_EQ(L().launched(handle, &launched), kOk);
        EXPECT_EQ(launched, 0) << c.what;
        EXPECT_EQ(L().closeDevice(handle), kOk);
    }
}

TEST_F(RewireEngine, ClosingTheDeviceEndsItsProgramAndRemovesTheObjects)
{
    const DeviceHandle handle = OpenDeviceInMode("");
    Drive d(32, {0});
    ASSERT_EQ(DriveConnected(handle, d), kOk);
    std::int32_t launched = 0;
    ASSERT_EQ(L().launched(handle, &launched), kOk);
    EXPECT_EQ(launched, 1);
    std::int32_t ok = 1;
    L().isCloseOK(&ok);
    EXPECT_EQ(ok, 0) << "not while a device is open";
    EXPECT_EQ(L().closeDevice(handle), kOk);
    EXPECT_TRUE(ns.Leftovers().empty());
    EXPECT_EQ(L().drive(handle, &d.in, &d.out), kDeviceNotOpen);
}

TEST_F(RewireEngine, BeforeTheDeviceConnectsADriveRendersNothingAndDoesNotWait)
{
    setenv("FAKE_DEVICE_MODE", "", 1);
    DeviceHandle handle = 0;
    ASSERT_EQ(L().openDevice(0, &handle), kOk);
    Drive d(32, {0});
    const auto before = steady_clock::now();
    ASSERT_EQ(L().drive(handle, &d.in, &d.out), kOk);
    EXPECT_LT(steady_clock::now() - before, milliseconds(500));
    L().closeDevice(handle);
}

}  // namespace
