// A project file from arbitrary bytes, opened as the application opens one:
// through the file stream, the project file and the song document, into a
// fresh document that replaces a small open song. The load must fail
// cleanly or succeed; never crash, hang or allocate beyond what the bytes
// can hold; a failed load must bring the open song back as it was, and a
// loaded song must save and load again.
#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/hosting/CMidiDoc.h"
#include "engine/hosting/CProjectDocument.h"
#include "model/CKelPersistObject.h"
#include "model/IEngineServices.h"
#include "model/IKelPersist.h"
#include "model/PersistIo.h"
#include "platform/res/MessageBox.h"
#include "tests/engine/hosting/DocumentEngineFake.h"

namespace {

// A clip whose saved state is seven 64-bit values (as the tests' clips
// write it, so the seed's audio pattern loads): what the pool's real clips
// read is the clip library's to bound.
class Clip final : public ILoopClip {
public:
    explicit Clip(std::map<DWORD, std::unique_ptr<Clip>>* pool, DWORD id) : m_pool(pool), m_id(id) {}
    HRESULT SetPlayPosition(LONGLONG, int) override { return S_OK; }
    HRESULT SetStart(LONGLONG, int) override { return S_OK; }
    HRESULT SetEnd(LONGLONG, int) override { return S_OK; }
    HRESULT SetLength(LONGLONG) override { return S_OK; }
    HRESULT GetLength(LONGLONG* ticks) override
    {
        *ticks = 0;
        return S_OK;
    }
    HRESULT SetTranspose(LONG) override { return S_OK; }
    void Release() override { m_pool->erase(m_id); }
    HRESULT SaveProjectState(IStream* stream, BOOL) override
    {
        return mvpersist::WriteAll(stream, m_state, sizeof m_state);
    }
    HRESULT LoadProjectState(IStream* stream) override { return mvpersist::ReadAll(stream, m_state, sizeof m_state); }
    void SetClipId(DWORD) override {}
    HRESULT GetSetting(int, int, LONGLONG* value) override
    {
        *value = 0;
        return S_OK;
    }
    HRESULT SetSetting(int, int, LONGLONG) override { return S_OK; }
    HRESULT GetSingleSetting(LONGLONG* value) override
    {
        *value = 0;
        return S_OK;
    }
    HRESULT SetSingleSetting(LONGLONG) override { return S_OK; }

private:
    std::map<DWORD, std::unique_ptr<Clip>>* m_pool;
    DWORD m_id;
    LONGLONG m_state[7] = {};
};

class Pool final : public IClipPool, public IEngineServices {
public:
    ILoopClip* GetClip(DWORD id) override
    {
        auto it = clips.find(id);
        return it != clips.end() ? it->second.get() : nullptr;
    }
    HRESULT CreateClip(ILoopClip**) override { return E_FAIL; }
    HRESULT AddClip(const DWORD* id, ILoopClip** clip) override
    {
        if (id == nullptr || clips.count(*id) != 0)
            return E_INVALIDARG;
        auto& slot = clips[*id];
        slot = std::make_unique<Clip>(&clips, *id);
        if (clip != nullptr)
            *clip = slot.get();
        return S_OK;
    }
    HRESULT AddClipFromFile(const char*, const char*, const WAVEFORMATEX&, const DWORD*, ILoopClip**, int*,
                            BOOL) override
    {
        return E_FAIL;
    }
    IClipPool* GetClipPool() override { return this; }
    IRecorder* GetRecorder() override { return nullptr; }
    DWORD GetSampleRate() override { return 44100; }

    std::map<DWORD, std::unique_ptr<Clip>> clips;
};

class EngineOwner final : public CKelPersistObject {
public:
    EngineOwner() : CKelPersistObject(MakeKelVersionWord(0x6018, 1)) {}
    STDMETHOD(PersistChunk)(DWORD, CKelPersistArchive*) override { return S_OK; }
};

class Silent final : public IPromptAnswerer {
public:
    int Answer(HWND, const char*, const char*, UINT) override { return IDOK; }
};

std::string PathOf(int fd) { return "/proc/self/fd/" + std::to_string(fd); }

bool Put(int fd, const void* data, std::size_t size)
{
    return ftruncate(fd, 0) == 0 && (size == 0 || pwrite(fd, data, size, 0) == static_cast<ssize_t>(size));
}

std::vector<BYTE> Get(const std::string& path)
{
    std::vector<BYTE> bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        BYTE buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0)
            bytes.insert(bytes.end(), buffer, buffer + n);
        std::fclose(file);
    }
    return bytes;
}

// Saves go to a folder of their own: a save writes beside its file and
// renames.
std::string SaveFolder()
{
    char pattern[] = "/tmp/fuzz_projectfile.XXXXXX";
    const char* folder = mkdtemp(pattern);
    return folder != nullptr ? folder : "/tmp";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static Pool* pool = [] {
        auto* p = new Pool;
        SetEngineServices(p);
        SetPromptAnswerer(std::make_shared<Silent>());
        return p;
    }();
    static songdoctest::FakeEngine* engine = new songdoctest::FakeEngine;
    static EngineOwner* owner = new EngineOwner;
    static CProjectDocument* project = [] {
        CProjectDocument::Setup setup;
        setup.engine = engine;
        setup.engineOwner = owner;
        return new CProjectDocument(setup);
    }();
    static const int input = memfd_create("project", 0);
    static const std::string folder = SaveFolder();
    static const std::string before = folder + "/before.mvp";
    static const std::string after = folder + "/after.mvp";
    (void)pool;

    // A small open song: one pattern on one track.
    if (FAILED(project->NewDocument()))
        return 0;
    CMidiDoc* doc = project->GetSongDocument();
    CPattern* pattern = nullptr;
    if (FAILED(doc->InsertChannel(0, FALSE, &CLSID_NoSynth, "", nullptr)) ||
        FAILED(doc->CreatePattern(5, FALSE, nullptr, &pattern)))
        __builtin_trap();
    if (FAILED(project->SaveProject(before.c_str())))
        __builtin_trap();

    if (!Put(input, data, size))
        return 0;
    if (FAILED(project->LoadProject(PathOf(input).c_str()))) {
        // The open song came back as it was.
        if (FAILED(project->SaveProject(after.c_str())) || Get(before) != Get(after))
            __builtin_trap();
        return 0;
    }
    if (FAILED(project->SaveProject(after.c_str())) || FAILED(project->LoadProject(after.c_str())))
        __builtin_trap();
    return 0;
}
