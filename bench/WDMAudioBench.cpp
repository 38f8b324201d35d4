// Per-buffer overhead of the WDM back-end, apart from the engine: one
// 256-frame packet submitted to a running render pin, played by the pin's
// worker into a device that takes it at once, and waited for, as the audio
// thread does for each buffer.
#include <benchmark/benchmark.h>

#include "devices/CPCMAudioFilter.h"
#include "devices/KsLibrary.h"
#include "platform/audio/KsDeviceProvider.h"

namespace {

constexpr ULONG kFrames = 256;

class InstantProvider : public IKsDeviceProvider {
public:
    std::vector<KsFilterDescription> Filters() override
    {
        KsPinDescription pin;
        pin.ranges = {PcmAudioRange(2, 16, 16, 44100, 44100)};
        KsFilterDescription f;
        f.path = "bench:render";
        f.friendlyName = "Bench";
        f.categories = {KSCATEGORY_AUDIO, KSCATEGORY_RENDER};
        f.pins = {pin};
        return {f};
    }
    std::unique_ptr<IKsPinStream> OpenPin(const std::string&, ULONG, const WAVEFORMATEX&, DWORD*) override
    {
        struct Stream : IKsPinStream {
            void SetState(KSSTATE) override {}
            bool Write(const void* data, ULONG) override
            {
                benchmark::DoNotOptimize(data);
                return true;
            }
        };
        return std::make_unique<Stream>();
    }
};

void BM_WDMPacketOverhead(benchmark::State& state)
{
    KsSetDeviceProvider(std::make_shared<InstantProvider>());
    KsFilterList* render = nullptr;
    if (!InitKsLibrary() || FAILED(GetRenderFilters(&render))) {
        state.SkipWithError("no filter");
        return;
    }
    auto* filter = static_cast<CPCMAudioFilter*>((*render)[0].get());
    WAVEFORMATEX record[3] = {{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0}};
    filter->CreateRenderPin(record, 2, kFrames, kFrames, false, 0);
    const std::shared_ptr<CPCMAudioPin> pin = filter->GetRenderPin();
    pin->SetState(KSSTATE_RUN);
    int index = 0;
    pin->WritePacket(1);
    for (auto _ : state) {
        pin->WritePacket(index);
        pin->Wait(index, 1000);
        index ^= 1;
    }
    pin->Wait(index, 1000);
    filter->ReleaseRenderPin();
    ReleaseKsLibrary();
    KsSetDeviceProvider(nullptr);
}
BENCHMARK(BM_WDMPacketOverhead);

}  // namespace
