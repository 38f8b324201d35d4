// The loop the loop-clip benches play, written to a file, and the rubberband
// command-line tool stretching the same audio for comparison.
//
// The loop: 2 s of stereo 16-bit audio at 44.1 kHz, 4 beats (120 BPM of its
// own) in 8 slices, a decaying tone that starts again on every slice.
#pragma once

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/media/MediaTypes.h"

namespace mvbench {

constexpr int kLoopRate = 44100;

inline void Put(std::string& b, std::uint32_t v, int width)
{
    for (int i = 0; i < width; ++i) b.push_back(char(v >> (8 * i)));
}

inline std::string Chunk(const char* id, const std::string& body)
{
    std::string b(id, 4);
    Put(b, std::uint32_t(body.size()), 4);
    return b + body;
}

// The stream the clips play into: 32-bit float stereo at the loop's rate.
inline WAVEFORMATEX FloatStereo()
{
    WAVEFORMATEX f{};
    f.wFormatTag = WAVE_FORMAT_IEEE_FLOAT;
    f.nChannels = 2;
    f.nSamplesPerSec = kLoopRate;
    f.wBitsPerSample = 32;
    f.nBlockAlign = 8;
    f.nAvgBytesPerSec = kLoopRate * 8;
    return f;
}

// Writes the loop, with its loop information and slices when sliced, and
// answers its path.
inline std::string WriteLoop(bool sliced)
{
    const int frames = 2 * kLoopRate, slices = 8;
    std::string data;
    for (int i = 0; i < frames; ++i) {
        int into = i % (frames / slices);
        double v = std::sin(2 * 3.14159265 * 220.0 * (1 + i / (frames / slices)) * i / kLoopRate) *
                   std::exp(-into / 4000.0) * 20000;
        Put(data, std::uint16_t(std::int16_t(v)), 2);
        Put(data, std::uint16_t(std::int16_t(-v)), 2);
    }
    std::string fmt;
    Put(fmt, 1, 2);
    Put(fmt, 2, 2);
    Put(fmt, kLoopRate, 4);
    Put(fmt, kLoopRate * 4, 4);
    Put(fmt, 4, 2);
    Put(fmt, 16, 2);
    std::string acid;
    Put(acid, 0, 4);
    Put(acid, 60, 2);
    Put(acid, 0, 6);
    Put(acid, 4, 4);
    Put(acid, 0x00040004, 4);
    float tempo = 120.0f;
    std::uint32_t t;
    std::memcpy(&t, &tempo, 4);
    Put(acid, t, 4);
    std::string strc;
    Put(strc, 0, 4);
    Put(strc, slices - 1, 4);
    Put(strc, 0, 20);
    for (int k = 1; k < slices; ++k) {
        Put(strc, 0, 8);
        Put(strc, std::uint32_t(k * frames / slices), 4);
        Put(strc, 0, 4);
        Put(strc, 1, 4);
        Put(strc, 0, 12);
    }
    std::string body = "WAVE" + Chunk("fmt ", fmt) + Chunk("data", data);
    if (sliced) body += Chunk("acid", acid) + Chunk("strc", strc);
    std::string path = std::string("/tmp/mvbench-loop-") + (sliced ? "sliced" : "plain") + ".wav";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    std::string file = Chunk("RIFF", body);
    std::fwrite(file.data(), 1, file.size(), f);
    std::fclose(f);
    return path;
}

// The rubberband tool stretching the loop's audio from its own 120 BPM to
// songBpm, timed by the wall clock around the whole run (start-up and file
// I/O included). Its factor counts seconds of output per second of work,
// for one clip.
inline void RubberbandStretch(benchmark::State& state, double songBpm)
{
    if (std::system("command -v rubberband > /dev/null 2>&1") != 0) {
        state.SkipWithError("rubberband is not installed (apt-get install rubberband-cli)");
        return;
    }
    const std::string in = WriteLoop(false);
    const double ratio = 120.0 / songBpm;
    const std::string command = "rubberband -q -t " + std::to_string(ratio) + " " + in +
                                " /tmp/mvbench-loop-stretched.wav > /dev/null 2>&1";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("rubberband failed");
            return;
        }
    }
    state.counters["realtime_x"] = benchmark::Counter(double(state.iterations()) * 2.0 * ratio,
                                                      benchmark::Counter::kIsRate);
}

}  // namespace mvbench
