// The song document in a project: what a saved song brings back in a fresh
// document, byte for byte, and how a damaged one fails.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/hosting/CMidiDoc.h"
#include "engine/hosting/CProjMetrics.h"
#include "model/CUndoHistory.h"
#include "tests/engine/hosting/DocumentEngineFake.h"
#include "tests/engine/hosting/ProjectTestSupport.h"

namespace {

using songdoctest::FakeEngine;

template <class T>
T Read(const std::vector<BYTE>& bytes, std::size_t at)
{
    T value{};
    std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

template <class T>
void Write(std::vector<BYTE>& bytes, std::size_t at, T value)
{
    std::memcpy(bytes.data() + at, &value, sizeof value);
}

// Where the fields of a saved project lie (no stream header in front).
struct Layout {
    std::size_t metrics = 0;
    std::size_t document = 0;      // the document's chunk
    std::size_t song = 0;          // chunk 0's payload
    std::size_t patternCount = 0;  // after the two maps
    std::size_t owner = 0;         // the engine owner's chunk
};

Layout Locate(const std::vector<BYTE>& bytes)
{
    Layout at;
    std::size_t p = CMvFile::kSignatureBytes;
    p += 4 + Read<DWORD>(bytes, p);
    p += 4 + Read<DWORD>(bytes, p);
    at.metrics = p;
    at.document = p + static_cast<std::size_t>(Read<ULONGLONG>(bytes, p));
    at.song = at.document + 12 + 12;
    p = at.song;
    p += static_cast<std::size_t>(Read<ULONGLONG>(bytes, p));  // tempo map
    p += static_cast<std::size_t>(Read<ULONGLONG>(bytes, p));  // meter and key map
    at.patternCount = p;
    at.owner = at.document + static_cast<std::size_t>(Read<ULONGLONG>(bytes, at.document));
    return at;
}

class MidiDocPersistTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        CUndoHistory::Instance().Clear();
        services.pool.releaseRemoves = true;
        SetEngineServices(&services);
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &doc));
        SetSongDocument(doc);
    }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        SetSongDocument(nullptr);
        if (doc != nullptr)
            CMidiDoc::DestroyMidiDoc(doc);
        SetEngineServices(nullptr);
    }
    // The open song goes; a fresh one takes its place.
    void Renew()
    {
        CUndoHistory::Instance().Clear();
        SetSongDocument(nullptr);
        CMidiDoc::DestroyMidiDoc(doc);
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &doc));
        SetSongDocument(doc);
    }
    std::vector<BYTE> Save()
    {
        std::vector<BYTE> bytes;
        EXPECT_EQ(S_OK, projtest::SaveProject(doc, &owner, &bytes));
        return bytes;
    }
    // A fresh document loads the bytes.
    HRESULT LoadFresh(const std::vector<BYTE>& bytes)
    {
        Renew();
        return projtest::LoadProject(doc, &owner, bytes);
    }

    pattest::FakeEngineServices services;
    FakeEngine engine;
    projtest::FakeEngineOwner owner;
    CMidiDoc* doc = nullptr;
};

TEST_F(MidiDocPersistTest, RichSongComesBackWholeAndSavesAgainByteForByte)
{
    projtest::BuildRichSong(doc, services);
    const std::vector<BYTE> first = Save();
    const SHORT patternCounter = CMidiDoc::GetPatternIdCounter();
    const SHORT channelCounter = CMidiDoc::GetChannelIdCounter();
    const DWORD serial = CPatternInstance::GetInstanceSerial();
    std::vector<SHORT> auxIds;
    for (int i = 0; i < doc->GetAuxBusCount(); ++i) {
        CAuxBus* aux = nullptr;
        ASSERT_EQ(S_OK, doc->GetAuxBusAt(i, &aux));
        auxIds.push_back(aux->GetHostId());
    }
    CMainBus* main = nullptr;
    ASSERT_EQ(S_OK, doc->GetMainBus(&main));
    const SHORT mainId = main->GetHostId();
    // Counters moved on meanwhile come back to the saved values.
    CMidiDoc::SetPatternIdCounter(200);
    CPatternInstance::SetInstanceSerial(9);

    ASSERT_EQ(S_OK, LoadFresh(first));

    // Patterns, in their order, with their events and kinds.
    ASSERT_EQ(3, doc->GetPatternCount());
    CPattern* pattern = nullptr;
    ASSERT_EQ(S_OK, doc->GetPatternAt(0, &pattern));
    EXPECT_EQ(3, pattern->GetId());
    EXPECT_STREQ("Melody", pattern->GetName().GetString());
    EXPECT_EQ(8u, pattern->GetEvents().size());
    EXPECT_EQ(1920, pattern->GetDuration());
    ASSERT_EQ(S_OK, doc->GetPatternAt(2, &pattern));
    EXPECT_EQ(CPattern::kKindLoopClip, pattern->GetKind());
    pattest::FakeLoopClip* clip = services.pool.Find(pattern->GetClipId());
    ASSERT_NE(nullptr, clip) << "the audio pattern's clip is in the pool under its id";
    EXPECT_EQ(pattern->GetClipId(), clip->clipId);
    pattest::FakeLoopClip expected;
    expected.Fill(77);
    EXPECT_EQ(expected.settings, clip->settings);

    // Channels with their instances, buses, maps, markers and settings.
    ASSERT_EQ(2, doc->GetChannelCount());
    CChannel* channel = nullptr;
    ASSERT_EQ(S_OK, doc->GetChannelAt(1, &channel));
    EXPECT_STREQ("Loops", channel->CControlParamSet::GetDisplayName().GetString());
    std::vector<CPatternInstance*> instances;
    channel->GetTimeline().GetPatternInstances(&instances);
    ASSERT_EQ(1u, instances.size());
    EXPECT_EQ(1920, instances[0]->GetStart());
    EXPECT_EQ(3840, doc->GetSongEnd());
    ASSERT_EQ(static_cast<int>(auxIds.size()), doc->GetAuxBusCount());
    for (int i = 0; i < doc->GetAuxBusCount(); ++i) {
        CAuxBus* aux = nullptr;
        ASSERT_EQ(S_OK, doc->GetAuxBusAt(i, &aux));
        EXPECT_EQ(auxIds[i], aux->GetHostId()) << "the saved buses, not those of the fresh document";
    }
    ASSERT_EQ(S_OK, doc->GetMainBus(&main));
    EXPECT_EQ(mainId, main->GetHostId());
    EXPECT_EQ(2, doc->GetTempoMap()->GetSize());
    EXPECT_EQ(2, doc->GetMeterKeyMap().GetSize());
    ASSERT_EQ(2, doc->GetMarkerCount());
    LONG tick = -1;
    CString name;
    ASSERT_EQ(S_OK, doc->GetMarker(1, &tick, &name));
    EXPECT_EQ(1920, tick);
    EXPECT_STREQ("Verse", name.GetString());
    EXPECT_STREQ("A title", doc->GetInfoString(0).GetString());
    EXPECT_STREQ("Notes", doc->GetInfoString(4).GetString());
    EXPECT_TRUE(doc->GetSendMidiSync());
    EXPECT_EQ(0.375, doc->GetShuffleAmount());
    EXPECT_EQ(3, doc->GetActivePatternIdRaw());
    EXPECT_EQ(patternCounter, CMidiDoc::GetPatternIdCounter());
    EXPECT_EQ(channelCounter, CMidiDoc::GetChannelIdCounter());
    EXPECT_EQ(serial, CPatternInstance::GetInstanceSerial());
    EXPECT_FALSE(CUndoHistory::Instance().CanUndo()) << "a load makes no undo steps";

    EXPECT_EQ(first, Save());
}

TEST_F(MidiDocPersistTest, EmptySongWritesItsCountsBackToBack)
{
    const std::vector<BYTE> bytes = Save();
    const Layout at = Locate(bytes);
    // Metrics: its 12-byte header, two zero counts, an empty date, reserved 0.
    EXPECT_EQ(29u, Read<ULONGLONG>(bytes, at.metrics));
    EXPECT_EQ(0x60010000u, Read<DWORD>(bytes, at.metrics + 8));
    const DWORD payload[] = {0, 0, 1};
    EXPECT_EQ(0, std::memcmp(payload, bytes.data() + at.metrics + 12, sizeof payload));
    EXPECT_EQ(0, bytes[at.metrics + 24]);
    EXPECT_EQ(0u, Read<DWORD>(bytes, at.metrics + 25));
    // The document: major 0x6002 with the markers' chunk 5; no patterns, the
    // pattern counter right after the count, and no clip state.
    EXPECT_EQ(MakeKelVersionWord(0x6002, 5), Read<DWORD>(bytes, at.document + 8));
    EXPECT_EQ(0u, Read<DWORD>(bytes, at.patternCount));
    EXPECT_EQ(CMidiDoc::GetPatternIdCounter(), Read<SHORT>(bytes, at.patternCount + 4));
    EXPECT_EQ(0u, Read<DWORD>(bytes, at.patternCount + 6)) << "the channel count follows";
    EXPECT_EQ(MakeKelVersionWord(0x6018, 1), Read<DWORD>(bytes, at.owner + 8));
    EXPECT_EQ(bytes.size(), at.owner + Read<ULONGLONG>(bytes, at.owner));
}

TEST_F(MidiDocPersistTest, SettingsChunkKeepsItsLayoutAndIgnoresReservedWords)
{
    projtest::BuildRichSong(doc, services);
    std::vector<BYTE> bytes = Save();
    const Layout at = Locate(bytes);
    // Chunks 0..3 lie ahead of the settings; walk to chunk 4.
    std::size_t p = at.document + 12;
    for (int i = 0; i < 4; ++i)
        p += static_cast<std::size_t>(Read<ULONGLONG>(bytes, p));
    ASSERT_EQ(MakeKelVersionWord(0x6002, 4), Read<DWORD>(bytes, p + 8));
    std::size_t field = p + 12;
    for (int i = 0; i < CMidiDoc::kInfoStringCount; ++i)
        field += 4 + Read<DWORD>(bytes, field);
    EXPECT_EQ(1u, Read<DWORD>(bytes, field));
    EXPECT_EQ(0.375f, Read<float>(bytes, field + 4));
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(0u, Read<DWORD>(bytes, field + 8 + 4 * i));
        Write<DWORD>(bytes, field + 8 + 4 * i, 0xFFFFFFFF);
    }
    EXPECT_EQ(p + Read<ULONGLONG>(bytes, p), field + 24) << "five texts, sync, shuffle, four reserved words";
    std::vector<BYTE> again = bytes;
    ASSERT_EQ(S_OK, LoadFresh(bytes));
    for (int i = 0; i < 4; ++i)
        Write<DWORD>(again, field + 8 + 4 * i, 0);
    EXPECT_EQ(again, Save());
}

TEST_F(MidiDocPersistTest, SongOfAnOlderMinorWithoutMarkersLoads)
{
    projtest::BuildRichSong(doc, services);
    std::vector<BYTE> bytes = Save();
    const Layout at = Locate(bytes);
    // Cut chunk 5 out and make the document a minor-4 one.
    std::size_t p = at.document + 12;
    for (int i = 0; i < 5; ++i)
        p += static_cast<std::size_t>(Read<ULONGLONG>(bytes, p));
    const std::size_t markers = static_cast<std::size_t>(Read<ULONGLONG>(bytes, p));
    bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(p), bytes.begin() + static_cast<std::ptrdiff_t>(p + markers));
    Write<ULONGLONG>(bytes, at.document, Read<ULONGLONG>(bytes, at.document) - markers);
    Write<DWORD>(bytes, at.document + 8, MakeKelVersionWord(0x6002, 4));

    ASSERT_EQ(S_OK, LoadFresh(bytes));
    EXPECT_EQ(0, doc->GetMarkerCount());
    EXPECT_EQ(2, doc->GetChannelCount());
    EXPECT_STREQ("A title", doc->GetInfoString(0).GetString());
}

TEST_F(MidiDocPersistTest, DamagedSongsFailCleanly)
{
    projtest::BuildRichSong(doc, services);
    const std::vector<BYTE> good = Save();
    const Layout at = Locate(good);
    const std::size_t firstId = at.patternCount + 4;
    const std::size_t secondId = firstId + 2 + static_cast<std::size_t>(Read<ULONGLONG>(good, firstId + 2));

    struct Case {
        const char* name;
        std::size_t at;
        DWORD value;
        int bytes;  // 2 or 4
    };
    const Case cases[] = {
        {"pattern count past the end", at.patternCount, 0x7FFFFFFF, 4},
        {"pattern count one too many", at.patternCount, 4, 4},
        {"duplicate pattern id", secondId, Read<WORD>(good, firstId), 2},
        {"pattern id none", firstId, 0xFFFF, 2},
        {"signature", 3, 'x', 2},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> bad = good;
        if (c.bytes == 2)
            Write<WORD>(bad, c.at, static_cast<WORD>(c.value));
        else
            Write<DWORD>(bad, c.at, c.value);
        EXPECT_TRUE(FAILED(LoadFresh(bad))) << c.name;
    }
    // Every cut of the file fails; none reads past what is there.
    for (std::size_t size = 0; size < good.size(); size += 1 + good.size() / 97) {
        const std::vector<BYTE> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(size));
        EXPECT_TRUE(FAILED(LoadFresh(cut))) << "cut at " << size;
    }
    // The song loads whole again after all that.
    ASSERT_EQ(S_OK, LoadFresh(good));
    EXPECT_EQ(good, Save());
}

TEST_F(MidiDocPersistTest, ChannelAndBusCountsTheSongCannotHoldFail)
{
    const std::vector<BYTE> good = Save();
    const Layout at = Locate(good);
    // Empty song: count, counter, then the channel count.
    const std::size_t channelCount = at.patternCount + 6;
    std::vector<BYTE> bad = good;
    Write<DWORD>(bad, channelCount, CMidiDoc::kMaxChannels + 1);
    EXPECT_EQ(STG_E_DOCFILECORRUPT, LoadFresh(bad));

    // The master bus count: after the channel count, its counter, the aux
    // count, the aux buses and their counter.
    std::size_t p = channelCount + 4 + 2;
    const DWORD auxCount = Read<DWORD>(good, p);
    p += 4;
    for (DWORD i = 0; i < auxCount; ++i)
        p += 2 + static_cast<std::size_t>(Read<ULONGLONG>(good, p + 2));
    p += 2;
    ASSERT_EQ(1u, Read<DWORD>(good, p));
    bad = good;
    Write<DWORD>(bad, p, 0);
    EXPECT_EQ(STG_E_DOCFILECORRUPT, LoadFresh(bad));
    // A second aux bus under the first one's id.
    bad = good;
    const std::size_t firstAux = channelCount + 4 + 2 + 4;
    const std::size_t secondAux = firstAux + 2 + static_cast<std::size_t>(Read<ULONGLONG>(good, firstAux + 2));
    Write<WORD>(bad, secondAux, Read<WORD>(good, firstAux));
    EXPECT_EQ(STG_E_DOCFILECORRUPT, LoadFresh(bad));
}

TEST_F(MidiDocPersistTest, ImportedMarkersAreKeptInTickOrderAndGoWithTheImportsUndo)
{
    ASSERT_EQ(S_OK, doc->BeginImportCommand("import"));
    ASSERT_EQ(S_OK, doc->InsertMarker("B", 960));
    ASSERT_EQ(S_OK, doc->InsertMarker("A", 0));
    ASSERT_EQ(S_OK, doc->InsertMarker("B2", 960));
    ASSERT_EQ(S_OK, doc->EndImportCommand());
    const char* names[] = {"A", "B", "B2"};
    ASSERT_EQ(3, doc->GetMarkerCount());
    for (int i = 0; i < 3; ++i) {
        CString name;
        ASSERT_EQ(S_OK, doc->GetMarker(i, nullptr, &name));
        EXPECT_STREQ(names[i], name.GetString());
    }
    EXPECT_EQ(E_INVALIDARG, doc->GetMarker(3, nullptr, nullptr));
    EXPECT_EQ(E_UNEXPECTED, doc->InsertMarker("outside an import", 0));
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ(0, doc->GetMarkerCount());
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Redo());
    EXPECT_EQ(3, doc->GetMarkerCount());
}

}  // namespace
