// Writes RIFF/WAVE bytes for the loop-clip tests: chunks in any order, with
// sizes that may lie, so each test makes exactly the file it needs.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include <unistd.h>

using Bytes = std::vector<std::uint8_t>;

inline void PutLe(Bytes& b, std::uint64_t v, int width)
{
    // Bytes past the eighth are zero: shifting a 64-bit value by 64 or more is undefined.
    for (int i = 0; i < width; ++i) b.push_back(i < 8 ? std::uint8_t(v >> (8 * i)) : 0);
}

inline void PutId(Bytes& b, const char* id) { b.insert(b.end(), id, id + 4); }

inline void PutFloat(Bytes& b, float f)
{
    std::uint32_t u;
    std::memcpy(&u, &f, 4);
    PutLe(b, u, 4);
}

// A chunk: id, size (the body's unless told), body, pad byte.
inline Bytes Chunk(const char* id, const Bytes& body, std::int64_t sizeField = -1)
{
    Bytes b;
    PutId(b, id);
    PutLe(b, sizeField < 0 ? body.size() : std::uint64_t(sizeField), 4);
    b.insert(b.end(), body.begin(), body.end());
    if (body.size() & 1) b.push_back(0);
    return b;
}

inline Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes b;
    for (auto& p : parts) b.insert(b.end(), p.begin(), p.end());
    return b;
}

// A RIFF or LIST chunk of a form type around its sub-chunks.
inline Bytes Form(const char* id, const char* type, const Bytes& content, std::int64_t sizeField = -1)
{
    Bytes body;
    PutId(body, type);
    body.insert(body.end(), content.begin(), content.end());
    return Chunk(id, body, sizeField);
}

// A "fmt " body; PCM (tag 1) has no extra-size field unless asked.
inline Bytes Fmt(int tag, int channels, int rate, int bits, int blockAlign = -1, bool extraSize = false,
                 int cbSize = 0)
{
    if (blockAlign < 0) blockAlign = channels * bits / 8;
    Bytes b;
    PutLe(b, tag, 2);
    PutLe(b, channels, 2);
    PutLe(b, rate, 4);
    PutLe(b, std::uint64_t(rate) * std::uint64_t(blockAlign), 4);
    PutLe(b, blockAlign, 2);
    PutLe(b, bits, 2);
    if (tag != 1 || extraSize) {
        PutLe(b, cbSize, 2);
        for (int i = 0; i < cbSize; ++i) b.push_back(std::uint8_t(0xA0 + i));
    }
    return b;
}

// An "acid" body: flags, root note, beats, tempo; the other bytes zero.
inline Bytes Acid(std::uint32_t flags, int rootNote, std::uint32_t beats, float tempo)
{
    Bytes b;
    PutLe(b, flags, 4);
    PutLe(b, rootNote, 2);
    PutLe(b, 0, 2);
    PutLe(b, 0, 4);
    PutLe(b, beats, 4);
    PutLe(b, 0x00040004, 4);  // meter bytes, not read
    PutFloat(b, tempo);
    return b;
}

struct StrcRecord {
    std::uint32_t type;
    std::uint32_t position;
    std::uint32_t marker;  // non-zero for a slice start
};

inline Bytes Strc(const std::vector<StrcRecord>& records, std::int64_t countField = -1)
{
    Bytes b;
    PutLe(b, 0, 4);
    PutLe(b, countField < 0 ? records.size() : std::uint64_t(countField), 4);
    PutLe(b, 0, 8);
    PutLe(b, 11, 4);
    PutLe(b, 22, 4);
    PutLe(b, 33, 4);
    for (auto& r : records) {
        PutLe(b, r.type, 4);
        PutLe(b, 0, 4);
        PutLe(b, r.position, 4);
        PutLe(b, 0, 4);
        PutLe(b, r.marker, 4);
        PutLe(b, 0, 12);
    }
    return b;
}

inline Bytes Wave(const Bytes& content) { return Form("RIFF", "WAVE", content); }

// A float stereo loop of beats with a slice at every start: each slice a
// decaying tone of its own pitch, left and right apart.
inline Bytes FloatStereoLoop(int rate, int frames, std::uint32_t beats, const std::vector<int>& starts)
{
    Bytes data;
    size_t slice = 0;
    for (int i = 0; i < frames; ++i) {
        while (slice + 1 < starts.size() && i >= starts[slice + 1]) ++slice;
        const double t = double(i - starts[slice]) / rate;
        const double tone = std::sin(6.283185307179586 * (220.0 * double(slice + 1)) * t) * std::exp(-6.0 * t);
        PutFloat(data, float(0.5 * tone));
        PutFloat(data, float(-0.25 * tone));
    }
    std::vector<StrcRecord> records;
    for (int s : starts)
        if (s) records.push_back({0, std::uint32_t(s), 1});
    return Wave(Concat({Chunk("fmt ", Fmt(3, 2, rate, 32)), Chunk("data", data),
                        Chunk("acid", Acid(0, 60, beats, 120.0f)), Chunk("strc", Strc(records))}));
}

// A mono 16-bit one-shot sound: a slow ramp, so that any frame tells where
// it came from.
inline Bytes Pcm16Mono(int rate, int frames)
{
    Bytes data;
    for (int i = 0; i < frames; ++i) PutLe(data, std::uint16_t(std::int16_t((i % 20000) - 10000)), 2);
    return Wave(Concat({Chunk("fmt ", Fmt(1, 1, rate, 16)), Chunk("data", data)}));
}

// A temporary folder for a test's files, removed with it.
class TempFiles {
public:
    TempFiles()
    {
        char tmpl[] = "/tmp/mvclip-XXXXXX";
        m_dir = mkdtemp(tmpl);
    }
    ~TempFiles() { std::filesystem::remove_all(m_dir); }

    std::string Write(const std::string& name, const Bytes& bytes)
    {
        std::string path = m_dir + "/" + name;
        std::FILE* f = std::fopen(path.c_str(), "wb");
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f);
        std::fclose(f);
        return path;
    }

private:
    std::string m_dir;
};
