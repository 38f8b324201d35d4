// libFuzzer target over the ReWire-device back-end's reading of the shared
// block: each input is what the bridge wrote before a request (the block's
// head: wanted channels, transport, tempo, meter, loop, event count and
// events, then the host's sample rate), served by the real worker through
// the real shared objects, with an engine owner that renders every frame it
// is asked for and a song that takes every change. A request that is not
// acknowledged within two seconds aborts the run.
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <string>

#include "devices/CAppConfig.h"
#include "devices/CRewireDevice.h"
#include "devices/IEngineOwner.h"
#include "devices/IRewireEngine.h"
#include "platform/ipc/FileMapping.h"
#include "platform/ipc/Mailslot.h"
#include "platform/ipc/NamedEvent.h"
#include "platform/registry/Profile.h"
#include "platform/registry/Registry.h"
#include "platform/rewire/MvDeviceProtocol.h"
#include "platform/sync/Event.h"

namespace {

using namespace mvdevice;

class Owner : public IEngineOwner {
public:
    HRESULT ProcessBuffer(void* out, void*, UINT outBytes, LONG frames) override
    {
        if (frames < 0 || static_cast<UINT>(frames) * 8 != outBytes)
            abort();
        std::memset(out, 0x3F, outBytes);  // every byte it was given, so a bad range faults
        return S_OK;
    }
    HRESULT RequestAudioReset() override { return S_OK; }
};

class Engine : public IRewireEngine {
public:
    void BeginHostCall() override { ++calls; }
    void EndHostCall() override { --calls; }
    bool HostCallActive() override { return calls > 0; }
    bool IsPlaying() override { return playing; }
    LONG GetNowTicks() override { return now; }
    HRESULT Play() override { return playing = true, S_OK; }
    HRESULT Stop() override { return playing = false, S_OK; }
    HRESULT Locate(LONG tick) override { return now = tick, S_OK; }
    bool IsLoopOn() override { return loopOn; }
    LONG GetLoopChangePending() override { return 0; }
    HRESULT SetLoop(LONG, LONG, BOOL on) override { return loopOn = on, S_OK; }
    HRESULT SetLoopOn(BOOL on) override { return loopOn = on, S_OK; }
    LONGLONG GetSamplePosition() override { return 0; }
    bool HasDocument() override { return true; }
    LONG GetTempoAt(LONG) override { return tempo; }
    HRESULT SetLiveTempo(LONG, LONG t) override { return tempo = t, S_OK; }
    HRESULT RefreshLiveTempo() override { return S_OK; }
    void GetMeterAt(LONG, LONG* n, LONG* p) override
    {
        *n = numerator;
        *p = power;
    }
    HRESULT SetMeterAt(LONG, LONG n, LONG p) override
    {
        if (n < 1 || n > 127 || p < 0 || p > 5)
            abort();  // the song could not hold it
        numerator = n;
        power = p;
        return S_OK;
    }
    int GetAuxBusCount() override { return 4; }
    int GetOutputBranchCount() override { return 100; }
    void SetAuxBusTap(int, float* block) override { Touch(block); }
    void SetOutputBranchTap(int, float* block) override { Touch(block); }
    bool HasRewirePort() override { return true; }
    void DeliverRewireMidi(DWORD, DWORD) override {}

    // A tap must lie inside the block: write its first frame.
    static void Touch(float* block)
    {
        if (block)
            block[0] = 0.0f;
    }
    int calls = 0;
    bool playing = false;
    LONG now = 0;
    bool loopOn = false;
    LONG tempo = 12000;
    LONG numerator = 4;
    LONG power = 2;
};

struct Rig {
    Rig()
    {
        char folder[] = "/tmp/mvfuzz-rewire-XXXXXX";
        if (!mkdtemp(folder))
            abort();
        setenv("MORVANE_REGISTRY", folder, 1);
        setenv("MORVANE_IPC_NAMESPACE", ("fuzz" + std::to_string(getpid())).c_str(), 1);
        mvreg::ReloadHives();
        SetRegistryKey("Varnholt Music Software\\Morvane");
        SetProfileName("1.0");
        WriteProfileInt("Options", "RewireDecimationMS", 1);
        CAppConfig::Load();
        slot = CreateMailslotA(kMailslotName, kCommandSize, 0, nullptr);
        mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                     static_cast<DWORD>(kBlockSize), kMappingName);
        request = CreateNamedEventA(nullptr, FALSE, FALSE, kRequestEventName);
        acknowledge = CreateNamedEventA(nullptr, FALSE, FALSE, kAcknowledgeEventName);
        block = static_cast<char*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        if (!block || device.Open() != S_OK || device.Start() != S_OK)
            abort();
    }
    CAppConfig config;
    HANDLE slot, mapping, request, acknowledge;
    char* block = nullptr;
    Owner owner;
    Engine engine;
    CRewireDevice device{&owner, &engine};
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Rig* rig = new Rig;
    std::memset(rig->block, 0, kAudio);
    std::memcpy(rig->block, data, std::min(size, kAudio));
    std::uint32_t rate = 44100;
    if (size > kAudio)
        std::memcpy(&rate, data + kAudio, std::min<std::size_t>(4, size - kAudio));
    WriteU32(rig->block, kHostSampleRate, rate);
    SetEvent(rig->request);
    if (WaitForSingleObject(rig->acknowledge, 2000) != WAIT_OBJECT_0)
        abort();
    // The mailslot would fill with nothing reading it: the worker sends none,
    // but keep it drained all the same.
    CommandRecord r;
    DWORD read = 0;
    while (ReadMailslot(rig->slot, r.bytes, sizeof r.bytes, &read)) {
    }
    return 0;
}
