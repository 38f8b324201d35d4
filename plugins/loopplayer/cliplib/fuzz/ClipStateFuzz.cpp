// Feeds arbitrary bytes to a loop clip's state loader, into a fresh clip and
// into one that already plays a sound. A state the loader takes must save
// again, and that saved state must load and save to the same bytes; a clip
// that took it is rendered for a moment at another rate. A refusal is fine;
// a read past a buffer, an allocation far beyond the input, a hang or a
// crash is not.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "platform/com/ComStream.h"
#include "plugins/loopplayer/cliplib/CClipAudio.h"
#include "plugins/loopplayer/cliplib/CLoopClip.h"
#include "plugins/loopplayer/cliplib/IRembetHost.h"

namespace {

class Host : public IRembetHost {
public:
    LONGLONG SamplesToFixedTicks(LONGLONG s) override { return std::llround(s / 48000.0 * 2.0 * 62914560.0); }
    LONGLONG FixedTicksToSamples(LONGLONG t) override { return std::llround(t / 62914560.0 / 2.0 * 48000.0); }
    LONG GetSampleRate() override { return 48000; }
};

IStream* StreamOver(const std::uint8_t* data, std::size_t size)
{
    HGLOBAL mem = GlobalAlloc(GMEM_MOVEABLE, std::max<std::size_t>(size, 1));
    if (size) std::memcpy(GlobalLock(mem), data, size);
    GlobalUnlock(mem);
    IStream* s = nullptr;
    CreateStreamOnHGlobal(mem, TRUE, &s);
    ULARGE_INTEGER length{};
    length.QuadPart = size;
    s->SetSize(length);
    return s;
}

std::vector<std::uint8_t> Save(const CLoopClip& clip)
{
    IStream* s = nullptr;
    CreateStreamOnHGlobal(nullptr, TRUE, &s);
    if (clip.SaveProjectState(s, TRUE) != S_OK) __builtin_trap();
    HGLOBAL mem = nullptr;
    GetHGlobalFromStream(s, &mem);
    std::vector<std::uint8_t> out(GlobalSize(mem));
    if (!out.empty()) std::memcpy(out.data(), GlobalLock(mem), out.size());
    GlobalUnlock(mem);
    s->Release();
    return out;
}

HRESULT Load(CLoopClip& clip, const std::uint8_t* data, std::size_t size)
{
    IStream* s = StreamOver(data, size);
    HRESULT hr = clip.LoadProjectState(s);
    s->Release();
    return hr;
}

template <typename T>
void Put(std::vector<std::uint8_t>& b, std::size_t offset, T value)
{
    std::memcpy(b.data() + offset, &value, sizeof(T));
}

// A state of a short stereo sound without slices, for the clip that has a
// store already: info (version 0), data flag, store header, samples, count.
std::vector<std::uint8_t> SoundState()
{
    const DWORD frames = 1000;
    std::vector<std::uint8_t> b(144 + 4 + 64 + (frames + 1) * 8 + 4, 0);
    Put<double>(b, 104, 100.0);
    Put<float>(b, 112, 1.0f);
    Put<float>(b, 116, 0.5f);
    Put<DWORD>(b, 144, 1);
    Put<WORD>(b, 148, WAVE_FORMAT_IEEE_FLOAT);
    Put<WORD>(b, 150, 2);
    Put<DWORD>(b, 152, 44100);
    Put<DWORD>(b, 156, 44100 * 8);
    Put<WORD>(b, 160, 8);
    Put<WORD>(b, 162, 32);
    Put<DWORD>(b, 168, frames);
    for (DWORD i = 0; i < 2 * (frames + 1); ++i) Put<float>(b, 212 + 4 * i, float(std::sin(0.01 * i)));
    return b;
}

void Play(CLoopClip& clip)
{
    // A loop of a few fixed ticks is legal but makes millions of cycles a
    // buffer: the render's own cost, not the loader's.
    const LONGLONG loop = clip.GetLoopLength(clip.GetFollowTempo() ? CLoopClip::kUnitFixedTicks : CLoopClip::kUnitSamples);
    if (clip.GetLooping() && loop < (clip.GetFollowTempo() ? CLoopClip::kFixedQuarter / 16 : 64)) return;
    WAVEFORMATEX stream{};
    stream.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    stream.nChannels = 2;
    stream.nSamplesPerSec = 48000;
    stream.wBitsPerSample = 32;
    stream.nBlockAlign = 8;
    stream.nAvgBytesPerSec = 48000 * 8;
    std::vector<float> out(2 * 512);
    for (LONGLONG at = 0; at < 2048; at += 512) clip.RenderMix(out.data(), stream, 5, at, 512);
    if (clip.GetAudio() && clip.GetAudio()->GetFrames() < 100000) {
        clip.SetFormat(stream);
        for (LONGLONG at = 0; at < 2048; at += 512) clip.RenderMix(out.data(), stream, -1, at, 512);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    Host host;
    for (bool withSound : {false, true}) {
        CLoopClip* clip = new CLoopClip(&host, nullptr);
        if (withSound) {
            // Slices of a state without a store attach to the clip's own.
            static const std::vector<std::uint8_t> sound = SoundState();
            if (Load(*clip, sound.data(), sound.size()) != S_OK || !clip->GetAudio()) __builtin_trap();
        }
        if (Load(*clip, data, size) == S_OK) {
            const std::vector<std::uint8_t> once = Save(*clip);
            CLoopClip* again = new CLoopClip(&host, nullptr);
            if (Load(*again, once.data(), once.size()) != S_OK) __builtin_trap();
            if (Save(*again) != once) __builtin_trap();
            again->Release();
            Play(*clip);
        }
        clip->Release();
    }
    return 0;
}
