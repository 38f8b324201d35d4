// The host-side harness of the bridge Plenth: a host of the test's own
// registers the plug-in from a folder that also holds the engine library
// and, as the program the engine starts, a device program (a stand-in,
// tests/platform/rewire/fake, unless told); creates the bridge by class
// identifier, selects the device and attaches it, connects the output pins
// into the engine's graph, offers the optional transport interface, and
// pushes blocks through.
#pragma once

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/com/ComRuntime.h"
#include "platform/com/ComStream.h"
#include "platform/media/MediaParams.h"
#include "platform/registry/Registry.h"
#include "platform/rewire/MvDeviceProtocol.h"
#include "platform/win/Guid.h"
#include "plugins/rewirebridge/BridgeClass.h"
#include "tests/engine/graph/AudioGraphFixture.h"
#include "tests/platform/ipc/IpcTestSupport.h"
#include "tests/platform/sync/Eventually.h"
#include "tests/plugins/synthframework/FakeHost.h"
#include "tests/support/SanitizerSlowdown.h"
#include "tests/support/TempRegistry.h"

namespace plenthtest {

using namespace mvrewire;
namespace fs = std::filesystem;
using std::chrono::steady_clock;

constexpr int kBlock = 512;

inline int Regsvr(const std::string& args)
{
    const std::string command = std::string("'") + MVTEST_REGSVR + "' " + args + " >/dev/null 2>&1";
    const int status = std::system(command.c_str());
    mvreg::ReloadHives();
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The host: time maps, and the transport interface through which the
// device's requests arrive, recorded in order.
class BridgeHost : public mvtest::FakeHost, public IReWireHostTransport {
public:
    struct Call {
        char what;  // 'v' a value set, 't' a time set
        DWORD id;
        LONGLONG value;
    };

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override
    {
        if (IsEqualGUID(riid, IID_IReWireHostTransport)) {
            *ppv = static_cast<IReWireHostTransport*>(this);
            ++refs;
            return S_OK;
        }
        return FakeHost::QueryInterface(riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return FakeHost::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return FakeHost::Release(); }

    STDMETHODIMP SetValue(DWORD id, LONG value) override
    {
        std::lock_guard guard(m_lock);
        values[id % 8] = value;
        calls.push_back({'v', id, value});
        return S_OK;
    }
    STDMETHODIMP GetValue(DWORD id, LONG* value) override
    {
        while (static_cast<long>(id) == holdGetValue) {
            heldInGetValue = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::lock_guard guard(m_lock);
        *value = values[id % 8];
        return S_OK;
    }
    STDMETHODIMP SetTime(DWORD id, const HostTime* time) override
    {
        std::lock_guard guard(m_lock);
        times[id % 4] = time->value;
        calls.push_back({'t', id, time->value});
        return S_OK;
    }
    STDMETHODIMP GetTime(DWORD id, HostTime* time) override
    {
        std::lock_guard guard(m_lock);
        *time = {4, 0, times[id % 4]};
        return S_OK;
    }
    std::vector<Call> Calls()
    {
        std::lock_guard guard(m_lock);
        return calls;
    }

    LONG values[8] = {};
    LONGLONG times[4] = {};
    std::vector<Call> calls;
    // A question for this value waits while it is set (-1: none waits).
    std::atomic<long> holdGetValue{-1};
    std::atomic<bool> heldInGetValue{false};

private:
    std::mutex m_lock;
};

struct PlenthHarness : mvtest::AudioGraphFixture {
    PlenthHarness() { blockFrames = kBlock; }

    // Lays the plug-in's folder out: the plug-in, and unless told the
    // engine library and the program it starts as its device (the
    // stand-in unless told).
    void Install(bool withEngine, const char* device = MVTEST_FAKE_DEVICE)
    {
        fs::copy_file(MVTEST_PLENTH_SERVER, folder.File("Plenth.so"));
        if (withEngine) {
            fs::copy_file(engine, folder.File("ReWire.so"));
            fs::create_symlink(device, folder.File("morvane"));
        }
        ASSERT_EQ(0, Regsvr("'" + folder.File("Plenth.so") + "'"));
    }
    HRESULT Create()
    {
        return CoCreateInstance(CLSID_ReWireBridge, nullptr, CLSCTX_INPROC_SERVER, IID_IBaseFilter,
                                reinterpret_cast<void**>(&bridgeFilter));
    }
    // Creates, selects and attaches, connects the output pins (by their
    // place among the outputs) and starts.
    void Play(const char* mode, std::vector<int> pins, const char* device = MVTEST_FAKE_DEVICE, bool start = true)
    {
        setenv("FAKE_DEVICE_MODE", mode, 1);
        Install(true, device);
        ASSERT_EQ(S_OK, Create());
        Keep(bridgeFilter, u"Plenth");
        ASSERT_EQ(S_OK, bridgeFilter->QueryInterface(IID_IReWireBridge, reinterpret_cast<void**>(&bridge)));
        LONG count = 0;
        ASSERT_EQ(S_OK, bridge->GetDeviceCount(&count));
        ASSERT_EQ(1, count);
        char name[64];
        ASSERT_EQ(S_OK, bridge->GetDeviceName(0, name, sizeof name));
        ASSERT_EQ(S_OK, bridge->SelectDevice(deviceName)) << name;
        ASSERT_EQ(S_OK, bridge->Attach());
        src = MakeSource(2);
        ASSERT_EQ(S_OK, graph->Connect(src, 0, bridgeFilter, 0, nullptr));
        for (int pin : pins) {
            sinks.push_back(MakeSink());
            ASSERT_EQ(S_OK, graph->Connect(bridgeFilter, pin, sinks.back(), 0, nullptr)) << pin;
        }
        ASSERT_EQ(S_OK, bridgeFilter->QueryInterface(mvsynth::IID_IMfxSoftSynth, reinterpret_cast<void**>(&soft)));
        ASSERT_EQ(S_OK, soft->Connect(static_cast<mvsynth::IMfxTempoMap*>(&host)));
        host.AddRef();
        ASSERT_EQ(S_OK, graph->Run());
        if (start) {
            ASSERT_EQ(S_OK, soft->Start(0));
        }
    }
    HRESULT Push()
    {
        const std::vector<float> silence(static_cast<std::size_t>(kBlock) * 2, 0.0f);
        return src->PushBuffer(0, silence.data(), kBlock, FALSE);
    }
    // Pushes one block that the synth takes: a refused block (the idle
    // thread held the instance lock) leaves everything as it was, so it is
    // pushed again, as the next buffer would be.
    HRESULT PushTaken()
    {
        const auto limit = steady_clock::now() + mvtest::SanitizerScaled(std::chrono::seconds(10));
        HRESULT hr = Push();
        while (hr == VFW_E_WRONG_STATE && steady_clock::now() < limit) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            hr = Push();
        }
        return hr;
    }
    // Pushes until the device has answered (it connects a moment after it starts).
    bool PushUntilHeard()
    {
        const auto limit = steady_clock::now() + mvtest::SanitizerScaled(std::chrono::seconds(10));
        while (steady_clock::now() < limit) {
            // The streaming thread only tries the instance lock: a block
            // that comes while the idle thread drives the device is refused.
            const HRESULT hr = Push();
            EXPECT_TRUE(hr == S_OK || hr == VFW_E_WRONG_STATE) << std::hex << hr;
            const auto& b = sinks[0]->blocks;
            if (!b.empty() && !b.back().data.empty() && b.back().data[1] >= 1.0f)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }
    void Close()
    {
        if (soft) {
            soft->Disconnect();
            soft->Release();
            soft = nullptr;
        }
        if (bridge) {
            EXPECT_EQ(S_OK, bridge->QuitPanelApp(5000));
            EXPECT_EQ(S_OK, bridge->Detach(1000));
            bridge->Release();
            bridge = nullptr;
        }
    }
    void TearDown() override
    {
        Close();
        AudioGraphFixture::TearDown();
        held.clear();
        CoFreeUnusedLibraries();
        unsetenv("FAKE_DEVICE_MODE");
        EXPECT_TRUE(ns.Leftovers().empty()) << "closing frees every shared object";
    }

    // The engine library laid out, and the device the harness selects.
    const char* engine = MVTEST_REWIRE_ENGINE;
    const char* deviceName = "MORVANE";
    mvtest::IpcNamespace ns;
    mvtest::TempRegistry registry;
    mvtest::TempDir folder;
    BridgeHost host;
    IBaseFilter* bridgeFilter = nullptr;
    IReWireBridge* bridge = nullptr;
    mvsynth::IMfxSoftSynth2* soft = nullptr;
    CDxSource* src = nullptr;
    std::vector<mvtest::RecordingSink*> sinks;
};

}  // namespace plenthtest
