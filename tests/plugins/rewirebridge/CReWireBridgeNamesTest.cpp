// The names the bridge offers the host from its device: the device's event
// bus, its MIDI channels' names and its named notes, refilled when the
// device says they changed. The stand-in engine library of fake/ answers.
#include <gtest/gtest.h>

#include <string>

#include "tests/plugins/rewirebridge/FakeEngineHarness.h"

namespace {

using namespace plenthtest;

std::string InstrumentName(mvsynth::IMfxSoftSynth2* soft)
{
    mvsynth::IMfxInstrument* instrument = nullptr;
    if (FAILED(soft->GetInstrument(&instrument)))
        return "(none)";
    char name[64] = {};
    instrument->GetName(name, sizeof name);
    instrument->Release();
    return name;
}

// The host's note list, as "36 Kick, 38 Snare" over the named slots.
std::string NoteNames(mvsynth::IMfxSoftSynth2* soft, HRESULT* result = nullptr)
{
    mvsynth::IMfxNameList* list = nullptr;
    const HRESULT hr = soft->GetNoteNames(0, 0, &list);
    if (result)
        *result = hr;
    if (FAILED(hr))
        return "(failed)";
    std::string out;
    char name[64];
    for (LONG n = 0; n < 128; ++n)
        if (list->GetNameAt(n, name, sizeof name) == S_OK && name[0])
            out += (out.empty() ? "" : ", ") + std::to_string(n) + " " + name;
    list->Release();
    return out;
}

struct BridgeNames : FakeEngineHarness {};

TEST_F(BridgeNames, AnAttachedBridgeNamesTheDevicesFirstChannelAndItsNamedNotes)
{
    Play("", {0, 1}, MVTEST_FAKE_DEVICE, false);
    ASSERT_FALSE(HasFatalFailure());
    Fake<void()>("FakeEngineReset")();
    EXPECT_EQ("Drums", InstrumentName(soft)) << "the first MIDI channel the device uses on its bus";
    EXPECT_EQ("36 Kick, 38 Snare", NoteNames(soft)) << "a marked note without a name is left out";
    mvsynth::IMfxNameList* list = nullptr;
    ASSERT_TRUE(SUCCEEDED(soft->GetNoteNames(0, 0, &list)));
    LONG size = 0;
    list->GetSize(&size);
    EXPECT_EQ(128, size);
    char title[64] = {};
    list->GetTitle(title, sizeof title);
    EXPECT_STREQ("Drums Notes", title);
    list->Release();

    // Converted events go to the device's event bus, not bus 0.
    ASSERT_EQ(S_OK, soft->Start(0));
    mvtest::FakeMidiQueue midi;
    midi.Message(0, 0x90, 36, 100);
    ASSERT_EQ(S_OK, soft->SendMidi(1, &midi));
    ASSERT_EQ(S_OK, PushTaken());
    EXPECT_EQ(2, Fake<int()>("FakeEngineLastBus")());
}

TEST_F(BridgeNames, BeforeAttachTheHostSeesTheBridgesOwnName)
{
    Install(true);
    ASSERT_EQ(S_OK, Create());
    Keep(bridgeFilter, u"Plenth");
    ASSERT_EQ(S_OK, bridgeFilter->QueryInterface(mvsynth::IID_IMfxSoftSynth, reinterpret_cast<void**>(&soft)));
    EXPECT_EQ(kBridgeInstrumentName, InstrumentName(soft));
    ASSERT_EQ(S_OK, bridgeFilter->QueryInterface(IID_IReWireBridge, reinterpret_cast<void**>(&bridge)));
    ASSERT_EQ(S_OK, bridge->SelectDevice("fake device"));
    ASSERT_EQ(S_OK, bridge->Attach());
    EXPECT_EQ("Drums", InstrumentName(soft));
    ASSERT_EQ(S_OK, bridge->Detach(1000));
    EXPECT_EQ(kBridgeInstrumentName, InstrumentName(soft)) << "a detached bridge has no device names";
    bridge->Release();
    bridge = nullptr;
}

TEST_F(BridgeNames, WhenTheDeviceSaysItChangedEveryBridgeOnItRefillsItsNames)
{
    Play("", {0}, MVTEST_FAKE_DEVICE, false);
    ASSERT_FALSE(HasFatalFailure());
    Fake<void()>("FakeEngineReset")();

    // A second bridge on the same device.
    IBaseFilter* second = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ReWireBridge, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                     reinterpret_cast<void**>(&second)));
    IReWireBridge* secondBridge = nullptr;
    mvsynth::IMfxSoftSynth2* secondSoft = nullptr;
    ASSERT_EQ(S_OK, second->QueryInterface(IID_IReWireBridge, reinterpret_cast<void**>(&secondBridge)));
    ASSERT_EQ(S_OK, second->QueryInterface(mvsynth::IID_IMfxSoftSynth, reinterpret_cast<void**>(&secondSoft)));
    ASSERT_EQ(S_OK, secondBridge->SelectDevice("Fake Device"));
    ASSERT_EQ(S_OK, secondBridge->Attach());
    EXPECT_EQ("Drums", InstrumentName(secondSoft));

    // The device changes; the next drive says so and the idle thread refills both.
    Fake<void()>("FakeEngineSignalChange")();
    ASSERT_EQ(S_OK, PushTaken());
    EXPECT_TRUE(mvtest::Eventually([&] { return InstrumentName(soft) == "Drums 1"; })) << InstrumentName(soft);
    EXPECT_TRUE(mvtest::Eventually([&] { return InstrumentName(secondSoft) == "Drums 1"; }));
    EXPECT_EQ("36 Kick new, 38 Snare new", NoteNames(soft)) << "the note list made before was stale";
    EXPECT_EQ("36 Kick new, 38 Snare new", NoteNames(secondSoft));

    // A device that fails a note question leaves no note list until the next refill.
    Fake<void(bool)>("FakeEngineFailNotes")(true);
    Fake<void()>("FakeEngineSignalChange")();
    ASSERT_EQ(S_OK, PushTaken());
    EXPECT_TRUE(mvtest::Eventually([&] { return InstrumentName(soft) == "Drums 2"; }));
    HRESULT hr = S_OK;
    NoteNames(soft, &hr);
    EXPECT_EQ(E_FAIL, hr);
    Fake<void(bool)>("FakeEngineFailNotes")(false);
    Fake<void()>("FakeEngineSignalChange")();
    ASSERT_EQ(S_OK, PushTaken());
    EXPECT_TRUE(mvtest::Eventually([&] { return InstrumentName(soft) == "Drums 3"; }));
    EXPECT_EQ("36 Kick new, 38 Snare new", NoteNames(soft));

    secondSoft->Release();
    EXPECT_EQ(S_OK, secondBridge->Detach(1000));
    secondBridge->Release();
    second->Release();
}

}  // namespace
