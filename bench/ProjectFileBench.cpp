// Saving and opening whole projects as the application does (through
// CProjectDocument: file stream, project file, song document; a save ends
// with fsync and the rename).
//   BM_SaveLargeProject / BM_LoadLargeProject: 96 tracks (the most a song
//     holds), 1,000 patterns of 1,000 note events and 10,000 instances
//     (file_MB tells the size on disk). Goal: each under 100 ms.
//   BM_LoadTypicalProject: 96 tracks and about 20,000 events (one pattern
//     of 208 notes per track, ten instances each). Goal: under 20 ms.
// A load starts from an empty open song, as opening a file after start-up
// does; the file lies in the system's temporary folder.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "engine/hosting/CMidiDoc.h"
#include "engine/hosting/CProjectDocument.h"
#include "model/CPatternInstance.h"
#include "model/CUndoHistory.h"
#include "model/IEngineServices.h"
#include "model/IKelPersist.h"
#include "platform/res/MessageBox.h"
#include "tests/engine/hosting/DocumentEngineFake.h"

namespace {

class EngineOwner final : public CKelPersistObject {
public:
    EngineOwner() : CKelPersistObject(MakeKelVersionWord(0x6018, 1)) {}
    STDMETHOD(PersistChunk)(DWORD, CKelPersistArchive*) override { return S_OK; }
};

struct Rig {
    explicit Rig(int patterns, int eventsPerPattern, int instancesPerTrack)
    {
        CProjectDocument::Setup setup;
        setup.engine = &engine;
        setup.engineOwner = &owner;
        project = std::make_unique<CProjectDocument>(setup);
        project->NewDocument();
        CMidiDoc* doc = project->GetSongDocument();
        for (int t = 0; t < CMidiDoc::kMaxChannels; ++t)
            doc->InsertChannel(t, FALSE, &CLSID_NoSynth, "", nullptr);
        for (int p = 0; p < patterns; ++p) {
            CPattern* pattern = nullptr;
            doc->CreatePattern(static_cast<SHORT>(p + 1), FALSE, nullptr, &pattern);
            pattern->SetDuration(eventsPerPattern * 60);
            std::vector<CMfxEvent> events;
            for (int n = 0; n < eventsPerPattern; ++n) {
                CMfxEvent e(MfxNote);
                e.m_time = n * 60;
                e.m_note.key = static_cast<BYTE>(36 + n % 48);
                e.m_note.velocity = 100;
                e.m_note.duration = 50;
                events.push_back(e);
            }
            pattern->AppendEvents(std::move(events));
        }
        for (int t = 0; t < CMidiDoc::kMaxChannels; ++t) {
            CChannel* channel = nullptr;
            doc->GetChannelAt(t, &channel);
            for (int i = 0; i < instancesPerTrack; ++i) {
                CPattern* pattern = nullptr;
                doc->GetPatternAt((t * instancesPerTrack + i) % patterns, &pattern);
                CPatternInstance instance(pattern);
                instance.SetStart(i * 3840);
                instance.SetEnd((i + 1) * 3840);
                channel->AddPatternInstance(instance, FALSE, nullptr);
            }
        }
        CUndoHistory::Instance().Clear();
        path = std::string(P_tmpdir) + "/morvane-bench-" + std::to_string(getpid()) + ".mvp";
    }
    ~Rig()
    {
        project.reset();
        unlink(path.c_str());
    }

    songdoctest::FakeEngine engine;
    EngineOwner owner;
    std::unique_ptr<CProjectDocument> project;
    std::string path;
};

class Silent final : public IPromptAnswerer {
public:
    int Answer(HWND, const char*, const char*, UINT) override { return IDOK; }
};

void Save(benchmark::State& state, Rig& rig)
{
    for (auto _ : state) {
        if (FAILED(rig.project->SaveProject(rig.path.c_str())))
            state.SkipWithError("save failed");
    }
    struct stat st {};
    if (stat(rig.path.c_str(), &st) == 0)
        state.counters["file_MB"] = static_cast<double>(st.st_size) / (1024.0 * 1024.0);
}

void Load(benchmark::State& state, Rig& rig)
{
    if (FAILED(rig.project->SaveProject(rig.path.c_str())))
        state.SkipWithError("save failed");
    for (auto _ : state) {
        state.PauseTiming();
        rig.project->NewDocument();
        state.ResumeTiming();
        if (FAILED(rig.project->LoadProject(rig.path.c_str())))
            state.SkipWithError("load failed");
    }
}

Rig& Large()
{
    static Rig rig(1000, 1000, 10000 / CMidiDoc::kMaxChannels + 1);
    return rig;
}

Rig& Typical()
{
    static Rig rig(CMidiDoc::kMaxChannels, 20000 / CMidiDoc::kMaxChannels, 10);
    return rig;
}

void BM_SaveLargeProject(benchmark::State& state) { Save(state, Large()); }
void BM_LoadLargeProject(benchmark::State& state) { Load(state, Large()); }
void BM_LoadTypicalProject(benchmark::State& state) { Load(state, Typical()); }

const bool kSilent = [] {
    SetPromptAnswerer(std::make_shared<Silent>());
    return true;
}();

}  // namespace

BENCHMARK(BM_SaveLargeProject)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadLargeProject)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_LoadTypicalProject)->Unit(benchmark::kMillisecond)->Iterations(20);
