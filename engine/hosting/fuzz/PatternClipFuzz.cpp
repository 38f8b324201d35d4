// One pattern from arbitrary bytes, read as a pattern file's stream is read
// through the song document: into a fresh MIDI pattern and into a fresh
// loop-clip pattern (whose clip state follows it and joins the clip pool).
// The load must fail cleanly or succeed, never crash, hang or allocate
// beyond what the bytes can hold; a pattern that loaded must save and load
// again.
#include <cstdint>

#include "engine/hosting/CMidiDoc.h"
#include "engine/hosting/fuzz/FuzzClipPool.h"
#include "model/CPattern.h"
#include "platform/com/ComStream.h"
#include "tests/engine/hosting/DocumentEngineFake.h"

namespace {

// A memory stream holding the bytes, read from their start.
IStream* StreamOf(const void* data, std::size_t size)
{
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &stream)))
        return nullptr;
    LARGE_INTEGER zero{};
    if ((size > 0 && FAILED(stream->Write(data, static_cast<ULONG>(size), nullptr))) ||
        FAILED(stream->Seek(zero, STREAM_SEEK_SET, nullptr))) {
        stream->Release();
        return nullptr;
    }
    return stream;
}

// Loads the stream into a new pattern of the kind; the pattern, or null
// when the load failed (the pattern is then destroyed).
CPattern* Load(CMidiDoc* doc, IStream* stream, DWORD kind)
{
    CPattern* pattern = nullptr;
    if (FAILED(CreatePattern(7, &pattern, kind)) || pattern == nullptr)
        __builtin_trap();
    if (FAILED(doc->PersistPatternClip(pattern, stream, FALSE))) {
        DestroyPattern(pattern);
        return nullptr;
    }
    return pattern;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static fuzzpool::Pool* pool = [] {
        auto* p = new fuzzpool::Pool;
        SetEngineServices(p);
        return p;
    }();
    static songdoctest::FakeEngine* engine = new songdoctest::FakeEngine;
    static CMidiDoc* doc = [] {
        CMidiDoc* d = nullptr;
        if (FAILED(CMidiDoc::CreateMidiDoc(engine, &d)))
            __builtin_trap();
        return d;
    }();

    for (DWORD kind : {CPattern::kKindMidi, CPattern::kKindLoopClip}) {
        pool->clips.clear();
        IStream* stream = StreamOf(data, size);
        if (stream == nullptr)
            return 0;
        CPattern* pattern = Load(doc, stream, kind);
        stream->Release();
        if (pattern == nullptr)
            continue;
        // What loaded saves, and loads again.
        IStream* saved = StreamOf(nullptr, 0);
        if (saved == nullptr || FAILED(doc->PersistPatternClip(pattern, saved, TRUE)))
            __builtin_trap();
        DestroyPattern(pattern);
        LARGE_INTEGER zero{};
        saved->Seek(zero, STREAM_SEEK_SET, nullptr);
        pool->clips.erase(7);
        CPattern* again = Load(doc, saved, kind);
        saved->Release();
        if (again == nullptr)
            __builtin_trap();
        DestroyPattern(again);
    }
    return 0;
}
