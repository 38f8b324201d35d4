// A pattern file from arbitrary bytes, loaded as the pattern bin loads one:
// into a new pattern of a small open song, inside the caller's command. The
// load must fail cleanly or succeed; never crash, hang or allocate beyond
// what the bytes can hold. A failed load, once its command is aborted,
// leaves the song's patterns as they were; a loaded pattern must save into
// its file and load again with the same events.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/hosting/CMidiDoc.h"
#include "model/CMvCommand.h"
#include "model/CUndoHistory.h"
#include "tests/engine/hosting/DocumentEngineFake.h"

namespace {

std::string Folder()
{
    char pattern[] = "/tmp/fuzz_patternfile.XXXXXX";
    const char* folder = mkdtemp(pattern);
    return folder != nullptr ? folder : "/tmp";
}

bool Put(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr)
        return false;
    const bool written = size == 0 || std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

// Loads "Fuzz" from the folder in a command of its own: committed on
// success, aborted and deleted on failure. The new pattern or null.
CPattern* Load(CMidiDoc* doc, const std::string& folder)
{
    CMvCommand* command = BeginProjectCommand(doc->AsCommandDocument(), "Load", 0, TRUE, TRUE);
    if (command == nullptr)
        __builtin_trap();
    CString name("Fuzz");
    CPattern* pattern = nullptr;
    if (FAILED(doc->LoadPatternFile(command, &name, folder.c_str(), &pattern))) {
        command->AbortAndDelete();
        return nullptr;
    }
    if (FAILED(command->Commit(&CUndoHistory::Instance())) || pattern == nullptr)
        __builtin_trap();
    return pattern;
}

std::vector<std::string> Events(const CPattern* pattern)
{
    std::vector<std::string> texts;
    for (const CMfxEvent& e : pattern->GetEvents())
        texts.push_back(std::to_string(e.m_time) + e.GetText().GetString());
    return texts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static songdoctest::FakeEngine* engine = new songdoctest::FakeEngine;
    static CMidiDoc* doc = [] {
        CMidiDoc* d = nullptr;
        if (FAILED(CMidiDoc::CreateMidiDoc(engine, &d)))
            __builtin_trap();
        CPattern* kept = nullptr;
        if (FAILED(d->CreatePattern(1, FALSE, nullptr, &kept)))
            __builtin_trap();
        kept->SetName("Fuzz");
        return d;
    }();
    static const std::string folder = Folder();
    static const std::string path = folder + "/Fuzz.PTN";

    if (!Put(path, data, size))
        return 0;
    CPattern* loaded = Load(doc, folder);
    if (loaded == nullptr) {
        if (doc->GetPatternCount() != 1)
            __builtin_trap();
        CUndoHistory::Instance().Clear();
        return 0;
    }
    const SHORT first = loaded->GetId();
    const std::vector<std::string> events = Events(loaded);
    // The copy goes back under the name the file was asked for.
    if (FAILED(doc->SetPatternAttributes(first, "Fuzz", nullptr, nullptr, nullptr, nullptr)) ||
        FAILED(doc->SavePatternFile(first, folder.c_str())))
        __builtin_trap();
    CPattern* again = Load(doc, folder);
    if (again == nullptr || Events(again) != events)
        __builtin_trap();
    CUndoHistory::Instance().Clear();
    if (FAILED(doc->DeletePattern(again->GetId(), FALSE, nullptr)) ||
        FAILED(doc->DeletePattern(first, FALSE, nullptr)) || doc->GetPatternCount() != 1)
        __builtin_trap();
    return 0;
}
