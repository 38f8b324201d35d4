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
#include "engine/hosting/fuzz/FuzzClipPool.h"
#include "model/CKelPersistObject.h"
#include "model/IEngineServices.h"
#include "model/IKelPersist.h"
#include "model/PersistIo.h"
#include "platform/res/MessageBox.h"
#include "tests/engine/hosting/DocumentEngineFake.h"

namespace {

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
    static fuzzpool::Pool* pool = [] {
        auto* p = new fuzzpool::Pool;
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
