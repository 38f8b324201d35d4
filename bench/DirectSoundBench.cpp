// Per-buffer overhead of the DirectSound back-end, apart from the engine:
// what its audio thread does around each refill of a 256-frame half (the
// notification handed from the writer to the device thread, the play
// cursor, Lock and Unlock), on a buffer of ALSA's null device.
#include <benchmark/benchmark.h>
#include <alsa/asoundlib.h>
#include <stdlib.h>

#include <fstream>

#include "platform/audio/DirectSound.h"
#include "platform/sync/Event.h"

namespace {

constexpr DWORD kFrames = 256;
constexpr DWORD kHalf = kFrames * 4;

// The default device discards everything: ALSA's null device.
void UseNullDevice()
{
    const char* path = "/tmp/morvane-bench-alsa.conf";
    std::ofstream(path) << "pcm.!default { type null }\n";
    const std::string config = std::string(snd_config_topdir()) + "/alsa.conf:" + path;
    setenv("ALSA_CONFIG_PATH", config.c_str(), 1);
}

void BM_DirectSoundRefillOverhead(benchmark::State& state)
{
    UseNullDevice();
    IDirectSound* ds = nullptr;
    if (FAILED(DirectSoundCreate(nullptr, &ds, nullptr))) {
        state.SkipWithError("no null device");
        return;
    }
    WAVEFORMATEX format{WAVE_FORMAT_PCM, 2, 44100, 176400, 4, 16, 0};
    DSBUFFERDESC desc{sizeof desc, DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_LOCSOFTWARE,
                      2 * kHalf, 0, &format, GUID_NULL};
    IDirectSoundBuffer* buffer = nullptr;
    ds->CreateSoundBuffer(&desc, &buffer, nullptr);
    HANDLE event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    for (auto _ : state) {
        SetEvent(event);  // the writer passing a notification position
        WaitForSingleObject(event, 1000);
        DWORD play = 0;
        buffer->GetCurrentPosition(&play, nullptr);
        DWORD next = (play + kHalf) / kHalf;
        if (next == 2)
            next = 0;
        void* region = nullptr;
        void* wrapped = nullptr;
        DWORD bytes = 0, wrappedBytes = 0;
        buffer->Lock(next * kHalf, kHalf, &region, &bytes, &wrapped, &wrappedBytes, 0);
        benchmark::DoNotOptimize(region);
        buffer->Unlock(region, bytes, wrapped, wrappedBytes);
    }
    CloseHandle(event);
    buffer->Release();
    ds->Release();
}
BENCHMARK(BM_DirectSoundRefillOverhead);

}  // namespace
