// Saving and loading a pattern-sized sequence of note events through a memory
// stream: 1,000,000 events, each a chunk of its own, either one after another
// at the top level or nested in one container chunk as a pattern holds them.
// The figure to watch is events per second each way (target: 10 M/s).
#include <benchmark/benchmark.h>

#include <vector>

#include "model/CKelPersistArchive.h"
#include "model/CKelPersistObject.h"
#include "model/CMfxEvent.h"
#include "platform/com/CComPtr.h"
#include "platform/com/ComStream.h"

namespace {

constexpr int kEvents = 1000000;

std::vector<CMfxEvent> MakeEvents()
{
    std::vector<CMfxEvent> events(kEvents);
    for (int i = 0; i < kEvents; ++i) {
        CMfxEvent& e = events[static_cast<std::size_t>(i)];
        e.m_time = i * 60;
        e.m_channel = static_cast<BYTE>(i & 15);
        e.m_note.key = static_cast<BYTE>(36 + i % 60);
        e.m_note.velocity = static_cast<BYTE>(1 + i % 127);
        e.m_note.duration = static_cast<DWORD>(30 + i % 900);
    }
    return events;
}

// A pattern's shape: a count, then every event as a nested chunk.
class EventSequence : public CKelPersistObject {
public:
    explicit EventSequence(std::vector<CMfxEvent>& events) : CKelPersistObject(0x60030000), m_events(events) {}

    STDMETHODIMP PersistChunk(DWORD, CKelPersistArchive* archive) override
    {
        DWORD count = static_cast<DWORD>(m_events.size());
        HRESULT hr = archive->PersistBytes(sizeof count, &count);
        if (FAILED(hr))
            return hr;
        if (!archive->IsSaving()) {
            // Every event takes at least a header's worth of the chunk.
            if (FAILED(hr = archive->CheckRemaining(static_cast<ULONGLONG>(count) * 12)))
                return hr;
            m_events.resize(count);
        }
        for (CMfxEvent& e : m_events)
            if (FAILED(hr = archive->PersistObject(&e)))
                return hr;
        return S_OK;
    }

private:
    std::vector<CMfxEvent>& m_events;
};

mvcom::CComPtr<IStream> NewStream()
{
    mvcom::CComPtr<IStream> stream;
    CreateStreamOnHGlobal(nullptr, TRUE, stream.Put());
    return stream;
}

void Rewind(IStream* stream)
{
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
}

// Every event a chunk of its own, one after another.
HRESULT SaveEach(std::vector<CMfxEvent>& events, IStream* stream)
{
    for (CMfxEvent& e : events)
        if (HRESULT hr = e.Save(stream, 1); FAILED(hr))
            return hr;
    return S_OK;
}

HRESULT LoadEach(std::vector<CMfxEvent>& events, IStream* stream)
{
    for (CMfxEvent& e : events)
        if (HRESULT hr = e.Load(stream); FAILED(hr))
            return hr;
    return S_OK;
}

// Times `pass` over the whole stream from its start, and reports events/s.
template <class Pass>
void TimePasses(benchmark::State& state, IStream* stream, const char* failure, Pass pass)
{
    for (auto _ : state) {
        Rewind(stream);
        if (FAILED(pass()))
            state.SkipWithError(failure);
    }
    state.counters["events/s"] = benchmark::Counter(kEvents, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_SaveEvents(benchmark::State& state)
{
    std::vector<CMfxEvent> events = MakeEvents();
    auto stream = NewStream();
    TimePasses(state, stream.Get(), "save failed", [&] { return SaveEach(events, stream.Get()); });
}

void BM_LoadEvents(benchmark::State& state)
{
    std::vector<CMfxEvent> events = MakeEvents();
    auto stream = NewStream();
    SaveEach(events, stream.Get());
    std::vector<CMfxEvent> loaded(kEvents);
    TimePasses(state, stream.Get(), "load failed", [&] { return LoadEach(loaded, stream.Get()); });
}

void BM_SaveSequence(benchmark::State& state)
{
    std::vector<CMfxEvent> events = MakeEvents();
    EventSequence sequence(events);
    auto stream = NewStream();
    TimePasses(state, stream.Get(), "save failed", [&] { return sequence.Save(stream.Get(), 1); });
}

void BM_LoadSequence(benchmark::State& state)
{
    std::vector<CMfxEvent> events = MakeEvents();
    EventSequence out(events);
    auto stream = NewStream();
    out.Save(stream.Get(), 1);
    std::vector<CMfxEvent> loaded;
    EventSequence in(loaded);
    TimePasses(state, stream.Get(), "load failed", [&] { return in.Load(stream.Get()); });
}

}  // namespace

BENCHMARK(BM_SaveEvents)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadEvents)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaveSequence)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadSequence)->Unit(benchmark::kMillisecond);
