// The bridge Plenth as a host drives it, through the harness of
// PlenthHarness.h, with the stand-in device program answering.
#include <gtest/gtest.h>

#include "tests/plugins/rewirebridge/PlenthHarness.h"

namespace {

using namespace plenthtest;

TEST_F(PlenthHarness, RegistersWithoutACategoryAndShowsOnlyItsInputUntilAttached)
{
    Install(true);
    const std::string clsid = mvwin::GuidToString(CLSID_ReWireBridge);
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, ("CLSID\\" + clsid).c_str(), 0, KEY_READ, &key));
    RegCloseKey(key);
    EXPECT_NE(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, ("MfxSoftSynths\\" + clsid).c_str(), 0, KEY_READ, &key));

    ASSERT_EQ(S_OK, Create());
    Keep(bridgeFilter, u"Plenth");
    IEnumPins* pins = nullptr;
    ASSERT_EQ(S_OK, bridgeFilter->EnumPins(&pins));
    IPin* pin[4] = {};
    ULONG got = 0;
    pins->Next(4, pin, &got);
    EXPECT_EQ(1u, got) << "the input pin only";
    for (ULONG i = 0; i < got; ++i)
        pin[i]->Release();
    pins->Release();

    struct Iface {
        const IID* iid;
        bool answered;
    };
    const Iface table[] = {{&IID_IPersistStream, true},
                           {&mvsynth::IID_IMfxSoftSynth, true},
                           {&mvsynth::IID_IMfxSoftSynth2, true},
                           {&IID_IReWireBridge, true},
                           {&IID_IMediaParams, false},
                           {&IID_IMediaParamInfo, false}};
    for (const Iface& i : table) {
        IUnknown* u = reinterpret_cast<IUnknown*>(0x1);
        const HRESULT hr = bridgeFilter->QueryInterface(*i.iid, reinterpret_cast<void**>(&u));
        EXPECT_EQ(i.answered, SUCCEEDED(hr)) << mvwin::GuidToString(*i.iid);
        if (SUCCEEDED(hr))
            u->Release();
        else
            EXPECT_EQ(nullptr, u);
    }
}

TEST_F(PlenthHarness, WithoutTheEngineLibraryNoBridgeIsMade)
{
    Install(false);
    EXPECT_EQ(E_FAIL, Create());
    EXPECT_EQ(nullptr, bridgeFilter);
    // The system was closed again: a later bridge with the library present opens it.
    fs::copy_file(MVTEST_REWIRE_ENGINE, folder.File("ReWire.so"));
    ASSERT_EQ(S_OK, Create());
    Keep(bridgeFilter, u"Plenth");
}

TEST_F(PlenthHarness, AnEngineLibraryWithoutTheEntryPointsMakesNoBridge)
{
    Install(false);
    // Another plug-in library where the engine should be.
    fs::copy_file(MVTEST_OTHER_LIBRARY, folder.File("ReWire.so"));
    EXPECT_EQ(E_FAIL, Create());
    EXPECT_EQ(nullptr, bridgeFilter);
    // Released again: the real engine in its place opens.
    fs::remove(folder.File("ReWire.so"));
    fs::copy_file(MVTEST_REWIRE_ENGINE, folder.File("ReWire.so"));
    ASSERT_EQ(S_OK, Create());
    Keep(bridgeFilter, u"Plenth");
}

TEST_F(PlenthHarness, PlaysTheDevicesPairsOnItsPinsAndHandsTheNotesOver)
{
    // The master pair and the last pair the shared block holds.
    Play("", {0, 63});
    ASSERT_TRUE(PushUntilHeard());
    const std::vector<float>& mix = sinks[0]->blocks.back().data;
    ASSERT_EQ(mix.size(), static_cast<std::size_t>(kBlock) * 2);
    for (int f : {0, 1, kBlock - 1}) {
        EXPECT_EQ(mix[2 * f], static_cast<float>(f)) << "channel 0, frame " << f;
        EXPECT_EQ(mix[2 * f + 1], 1000.0f + f) << "channel 1, frame " << f;
    }
    const std::vector<float>& last = sinks[1]->blocks.back().data;
    ASSERT_EQ(last.size(), mix.size());
    EXPECT_EQ(last[2 * (kBlock - 1) + 1], 127000.0f + (kBlock - 1)) << "channel 127, the last one";

    // A note sent to the synth reaches the device in the next buffer.
    mvtest::FakeMidiQueue midi;
    midi.Message(0, 0x92, 64, 100);
    ASSERT_EQ(S_OK, soft->SendMidi(1, &midi));
    ASSERT_EQ(S_OK, PushTaken());
    const std::vector<float>& echo = sinks[1]->blocks.back().data;  // channel 126 carries the request back
    EXPECT_EQ(echo[2 * 8], 1.0f) << "one event";
    EXPECT_EQ(echo[2 * 10], static_cast<float>(0x92 | 64 << 8 | 100 << 16));
    EXPECT_EQ(echo[2 * 2], 120000.0f) << "the host's tempo in thousandths";
    EXPECT_EQ(echo[2 * 3], 4.0f);
    EXPECT_EQ(echo[2 * 4], 4.0f) << "4/4 from the meter map's exponent";
    ASSERT_EQ(S_OK, PushTaken());
    EXPECT_EQ(sinks[1]->blocks.back().data[2 * 8], 0.0f) << "a note is driven once";

    // Its note-off goes as an event of its own.
    midi.records.clear();
    midi.Message(0, 0x82, 64, 0);
    ASSERT_EQ(S_OK, soft->SendMidi(1, &midi));
    ASSERT_EQ(S_OK, PushTaken());
    const std::vector<float>& off = sinks[1]->blocks.back().data;
    EXPECT_EQ(off[2 * 8], 1.0f);
    EXPECT_EQ(off[2 * 10], static_cast<float>(0x82 | 64 << 8));
}

TEST_F(PlenthHarness, ANoteOffPendingAtTheHostsStopStillReachesTheDevice)
{
    Play("", {63});
    ASSERT_TRUE(PushUntilHeard());
    // Both due far ahead: still pending when the host stops.
    mvtest::FakeEventQueue queue;
    queue.AddNote(96000, 2, 60, 0, mvsynth::kMfxNoteOff);
    mvsynth::MfxEvent controller{};
    controller.m_time = 96000;
    controller.m_channel = 2;
    controller.m_kind = mvsynth::kMfxController;
    controller.m_data[0] = 7;
    controller.m_data[1] = 100;
    queue.events.push_back(controller);
    ASSERT_EQ(S_OK, soft->SendEvents(0, 96000, 1, &queue));
    ASSERT_EQ(S_OK, soft->Stop());
    ASSERT_EQ(S_OK, PushTaken());
    const std::vector<float>& echo = sinks[0]->blocks.back().data;
    EXPECT_EQ(1.0f, echo[2 * 8]) << "the note-off alone; the controller change is dropped";
    EXPECT_EQ(static_cast<float>(0x82 | 60 << 8), echo[2 * 10]);
    ASSERT_EQ(S_OK, PushTaken());
    EXPECT_EQ(0.0f, sinks[0]->blocks.back().data[2 * 8]) << "driven once";
}

TEST_F(PlenthHarness, TheDevicesTransportRequestsReachTheHost)
{
    Play("commands", {0});
    ASSERT_TRUE(PushUntilHeard());
    // The idle thread applies them off the streaming thread.
    std::vector<BridgeHost::Call> calls;
    const auto limit = steady_clock::now() + mvtest::SanitizerScaled(std::chrono::seconds(10));
    while (steady_clock::now() < limit) {
        calls = host.Calls();
        if (calls.size() >= 6)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ASSERT_GE(calls.size(), 6u);
    EXPECT_EQ('v', calls[0].what);
    EXPECT_EQ(1u, calls[0].id);
    EXPECT_EQ(1, calls[0].value) << "play";
    // The loop: the host is paused for it (value 1 cleared), end before start,
    // the flag, and play restored.
    EXPECT_EQ('v', calls[1].what);
    EXPECT_EQ(0, calls[1].value);
    EXPECT_EQ('t', calls[2].what);
    EXPECT_EQ(2u, calls[2].id);
    EXPECT_EQ(3840LL * 16 * 4096, calls[2].value);
    EXPECT_EQ('t', calls[3].what);
    EXPECT_EQ(1u, calls[3].id);
    EXPECT_EQ(960LL * 16 * 4096, calls[3].value);
    EXPECT_EQ(5u, calls[4].id);
    EXPECT_EQ(1, calls[4].value);
    EXPECT_EQ(1u, calls[5].id);
    EXPECT_EQ(1, calls[5].value);
    ASSERT_GE(calls.size(), 8u);
    EXPECT_EQ('t', calls[6].what) << "relocate";
    EXPECT_EQ(0u, calls[6].id);
    EXPECT_EQ(1920LL * 16 * 4096, calls[6].value);
    EXPECT_EQ('v', calls[7].what) << "stop";
    EXPECT_EQ(0, calls[7].value);
}

TEST_F(PlenthHarness, AHostThatDisconnectsWhileTheDevicesRequestsAreAppliedHearsOnlyTheOneInProgress)
{
    // The loop request first asks whether the host keeps a loop of its own
    // (value 3): the idle thread waits there, outside the instance lock.
    host.holdGetValue = 3;
    Play("commands", {0});
    ASSERT_TRUE(PushUntilHeard());
    ASSERT_TRUE(mvtest::Eventually([&] { return host.heldInGetValue.load(); }));
    // The stream goes on meanwhile, driving the device with the loop the
    // request has just set.
    EXPECT_EQ(S_OK, PushTaken());
    soft->Disconnect();
    const long held = host.refs;  // the idle thread's reference among them
    host.holdGetValue = -1;
    ASSERT_TRUE(mvtest::Eventually([&] { return host.refs == held - 1; })) << "the idle thread gave its reference back";

    const std::vector<BridgeHost::Call> calls = host.Calls();
    ASSERT_EQ(6u, calls.size()) << "play, then the loop request to its end; not the relocate nor the stop";
    EXPECT_EQ(1, calls[0].value) << "play";
    EXPECT_EQ(5u, calls[4].id) << "the loop flag";
    EXPECT_EQ('v', calls[5].what);
    EXPECT_EQ(1u, calls[5].id) << "play restored";
}

TEST_F(PlenthHarness, ADeviceThatDoesNotAnswerGivesSilenceAndTheHostGoesOn)
{
    Play("silent", {0});
    const auto before = steady_clock::now();
    HRESULT hr = S_OK;
    // Until the device has started and been found not to answer. A block
    // refused while the idle thread drives the device is no drive's failure.
    for (int i = 0; i < 400 * mvtest::kSanitizerSlowdown && (SUCCEEDED(hr) || hr == VFW_E_WRONG_STATE); ++i) {
        hr = Push();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_TRUE(FAILED(hr) && hr != VFW_E_WRONG_STATE) << "the drive's failure ends the block";
    EXPECT_LT(steady_clock::now() - before, mvtest::SanitizerScaled(std::chrono::seconds(8))) << "nothing waits for ever";
    EXPECT_TRUE(ns.Leftovers().empty()) << "the dead device's shared objects are gone";
    for (int i = 0; i < 3; ++i)
        EXPECT_TRUE(FAILED(Push())) << "later blocks fail at once";
    for (const auto& b : sinks[0]->blocks)
        for (float v : b.data)
            ASSERT_EQ(0.0f, v < 1e-10f && v > -1e-10f ? 0.0f : v) << "nothing but silence came out";
}

TEST_F(PlenthHarness, TheStateHoldsTheDeviceNameAndTheFlag)
{
    Install(true);
    ASSERT_EQ(S_OK, Create());
    Keep(bridgeFilter, u"Plenth");
    ASSERT_EQ(S_OK, bridgeFilter->QueryInterface(IID_IReWireBridge, reinterpret_cast<void**>(&bridge)));
    EXPECT_EQ(E_INVALIDARG, bridge->SelectDevice("Nothing"));
    EXPECT_EQ(E_POINTER, bridge->SelectDevice(nullptr));
    ASSERT_EQ(S_OK, bridge->SelectDevice("morvane"));
    EXPECT_EQ(S_OK, bridge->SetFlag(7));
    EXPECT_FALSE(bridge->QueryFlag());
    IPersistStream* persist = nullptr;
    ASSERT_EQ(S_OK, bridgeFilter->QueryInterface(IID_IPersistStream, reinterpret_cast<void**>(&persist)));
    IStream* stream = nullptr;
    ASSERT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    ASSERT_EQ(S_OK, persist->Save(stream, TRUE));
    STATSTG st{};
    ASSERT_EQ(S_OK, stream->Stat(&st, 0));
    EXPECT_EQ(72u, st.cbSize.QuadPart) << "a 72-byte block";
    persist->Release();
    stream->Release();
    bridge->Release();
    bridge = nullptr;
}

}  // namespace
