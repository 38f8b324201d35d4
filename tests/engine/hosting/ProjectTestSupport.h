// What the project-file tests share: an engine owner's persistent object
// that stands in for the transport (major 0x6018), a song with something of
// every kind the document saves, and a project's bytes in memory.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "engine/hosting/CMidiDoc.h"
#include "engine/hosting/CMvFile.h"
#include "model/CKelPersistArchive.h"
#include "model/CPatternInstance.h"
#include "model/IKelPersist.h"
#include "platform/com/ComStream.h"
#include "tests/model/PatternTestSupport.h"

namespace projtest {

// The transport's two chunks, as opaque values.
class FakeEngineOwner : public CKelPersistObject {
public:
    FakeEngineOwner() : CKelPersistObject(MakeKelVersionWord(0x6018, 1)) {}
    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override
    {
        ++calls;
        if (onPersist)
            onPersist();
        return archive->PersistBytes(sizeof values[0], &values[KelVersionIndex(versionWord) & 1]);
    }
    LONG values[2] = {1920, 7};
    int calls = 0;
    std::function<void()> onPersist;
};

// Two MIDI patterns (one empty), an audio pattern whose clip the pool
// keeps, two channels playing them, tempo and meter changes, markers, a
// changed aux bus, the active pattern and instance, the info texts, sync
// and shuffle.
inline void BuildRichSong(CMidiDoc* doc, pattest::FakeEngineServices& services)
{
    services.pool.dataAllowed = true;
    CPattern* melody = nullptr;
    ASSERT_EQ(S_OK, doc->CreatePattern(3, FALSE, nullptr, &melody));
    melody->SetName("Melody");
    melody->SetDuration(1920);
    for (int n = 0; n < 8; ++n)
        ASSERT_EQ(S_OK, melody->InsertEvent(pattest::Note(n * 240, static_cast<BYTE>(60 + n)), FALSE, nullptr, FALSE));
    CPattern* empty = nullptr;
    ASSERT_EQ(S_OK, doc->CreatePattern(1, FALSE, nullptr, &empty));
    CPattern* loop = nullptr;
    ASSERT_EQ(S_OK, doc->CreatePattern(7, FALSE, nullptr, &loop, TRUE));
    services.pool.Add(loop->GetClipId())->Fill(77);

    for (int c = 0; c < 2; ++c) {
        ASSERT_EQ(S_OK, doc->InsertChannel(c, FALSE, &CLSID_NoSynth, "", nullptr));
        CChannel* channel = nullptr;
        ASSERT_EQ(S_OK, doc->GetChannelAt(c, &channel));
        CPatternInstance instance(c == 0 ? melody : loop);
        instance.SetStart(960 * (c + 1));
        instance.SetEnd(960 * (c + 1) + 1920);
        ASSERT_EQ(S_OK, channel->AddPatternInstance(instance, FALSE, nullptr));
    }
    ASSERT_EQ(S_OK, doc->SetChannelName(1, "Loops", FALSE));
    CAuxBus* aux = nullptr;
    ASSERT_EQ(S_OK, doc->GetAuxBusAt(1, &aux));
    ASSERT_EQ(S_OK, doc->SetAuxBusParam(aux->GetHostId(), 0, 0.25f));
    ASSERT_EQ(S_OK, doc->GetTempoMap()->Insert(1, CTempo(3840, 9000)));
    CMeterKeySigMap& meter = const_cast<CMeterKeySigMap&>(doc->GetMeterKeyMap());
    ASSERT_EQ(S_OK, meter.InsertMeterKey(3840, CMeterKey(2, 3, 2), FALSE, nullptr));
    ASSERT_EQ(S_OK, doc->BeginImportCommand("markers"));
    ASSERT_EQ(S_OK, doc->InsertMarker("Verse", 1920));
    ASSERT_EQ(S_OK, doc->InsertMarker("Intro", 0));
    ASSERT_EQ(S_OK, doc->EndImportCommand());
    ASSERT_EQ(S_OK, doc->SetActivePattern(3, nullptr));
    ASSERT_EQ(S_OK, doc->SetInfoString(0, "A title"));
    ASSERT_EQ(S_OK, doc->SetInfoString(4, "Notes"));
    doc->SetSendMidiSync(TRUE);
    ASSERT_EQ(S_OK, doc->SetShuffleAmount(0.375f));
}

// A stream over the bytes, at its start; the caller releases it.
inline IStream* StreamOver(const std::vector<BYTE>& bytes)
{
    IStream* stream = nullptr;
    EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    if (!bytes.empty())
        stream->Write(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    return stream;
}

inline std::vector<BYTE> BytesOf(IStream* stream)
{
    STATSTG stat{};
    stream->Stat(&stat, 1);
    std::vector<BYTE> bytes(static_cast<std::size_t>(stat.cbSize.QuadPart));
    const LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    if (!bytes.empty())
        stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), nullptr);
    return bytes;
}

// The project file's data (no stream header) as the save writes it.
inline HRESULT SaveProject(CMidiDoc* doc, IPersistStreamInit* owner, std::vector<BYTE>* bytes)
{
    IStream* stream = StreamOver({});
    CMvFile file(doc, owner);
    file.LoadHeaderStrings();
    CKelPersistArchive archive(stream, TRUE, 1);
    const HRESULT hr = file.PersistChunk(MakeKelVersionWord(CMvFile::kMajor, 0), &archive);
    *bytes = BytesOf(stream);
    stream->Release();
    return hr;
}

inline HRESULT LoadProject(CMidiDoc* doc, IPersistStreamInit* owner, const std::vector<BYTE>& bytes)
{
    IStream* stream = StreamOver(bytes);
    CMvFile file(doc, owner);
    file.LoadHeaderStrings();
    CKelPersistArchive archive(stream, FALSE, 1);
    const HRESULT hr = file.PersistChunk(MakeKelVersionWord(CMvFile::kMajor, 0), &archive);
    stream->Release();
    return hr;
}

}  // namespace projtest
