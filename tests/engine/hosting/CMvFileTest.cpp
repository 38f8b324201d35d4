// The top of the project file: signature, texts, metrics, then the song
// and the engine owner, and the current file document while it lives.
#include "engine/hosting/CMvFile.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/hosting/CProjMetrics.h"
#include "model/CUndoHistory.h"
#include "tests/engine/hosting/DocumentEngineFake.h"
#include "tests/engine/hosting/ProjectTestSupport.h"
#include "uikit/core/ResString.h"

namespace {

using songdoctest::FakeEngine;

class MvFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetEngineServices(&services);
        ASSERT_EQ(S_OK, CMidiDoc::CreateMidiDoc(&engine, &doc));
    }
    void TearDown() override
    {
        CUndoHistory::Instance().Clear();
        SetSongDocument(nullptr);
        CMidiDoc::DestroyMidiDoc(doc);
        SetEngineServices(nullptr);
    }
    pattest::FakeEngineServices services;
    FakeEngine engine;
    projtest::FakeEngineOwner owner;
    CMidiDoc* doc = nullptr;
};

TEST_F(MvFileTest, WritesSignatureTextsMetricsSongAndEngineOwnerInOrder)
{
    projtest::BuildRichSong(doc, services);
    std::vector<BYTE> bytes;
    ASSERT_EQ(S_OK, projtest::SaveProject(doc, &owner, &bytes));
    ASSERT_EQ(0, std::memcmp(bytes.data(), "Varnholt Mv File\x1A", 17));
    std::size_t p = 17;
    DWORD length = 0;
    std::memcpy(&length, bytes.data() + p, 4);
    EXPECT_EQ(0, std::memcmp(bytes.data() + p + 4, "Varnholt Mv Project", length));
    p += 4 + length;
    std::memcpy(&length, bytes.data() + p, 4);
    CString version;
    ASSERT_TRUE(GetModuleVersionString(nullptr, "FileVersion", version));
    EXPECT_STREQ(version.GetString(), reinterpret_cast<const char*>(bytes.data() + p + 4));
    p += 4 + length;
    DWORD metrics[5] = {};
    std::memcpy(metrics, bytes.data() + p + 8, sizeof metrics);
    EXPECT_EQ(0x60010000u, metrics[0]);
    EXPECT_EQ(3u, metrics[1]) << "patterns";
    EXPECT_EQ(2u, metrics[2]) << "channels";
    EXPECT_EQ(1u, metrics[3]) << "an empty date text";
    EXPECT_EQ(2, owner.calls) << "the engine owner's two chunks";
    EXPECT_TRUE(CProjMetrics::Instance().IsValid());
}

TEST_F(MvFileTest, StoredTextsAreTakenWhateverTheyHold)
{
    std::vector<BYTE> bytes;
    ASSERT_EQ(S_OK, projtest::SaveProject(doc, &owner, &bytes));
    // Another program's version text, a byte shorter and a byte longer.
    for (const char* text : {"1.0.0.23", "9.9.9.9999"}) {
        std::vector<BYTE> other(bytes.begin(), bytes.begin() + 17);
        const DWORD typeLength = 20;
        const BYTE* type = bytes.data() + 17;
        other.insert(other.end(), type, type + 4 + typeLength);
        std::size_t versionAt = 17 + 4 + typeLength;
        DWORD oldLength = 0;
        std::memcpy(&oldLength, bytes.data() + versionAt, 4);
        const DWORD n = static_cast<DWORD>(std::strlen(text) + 1);
        other.insert(other.end(), reinterpret_cast<const BYTE*>(&n), reinterpret_cast<const BYTE*>(&n) + 4);
        other.insert(other.end(), text, text + n);
        other.insert(other.end(), bytes.begin() + static_cast<std::ptrdiff_t>(versionAt + 4 + oldLength), bytes.end());

        IStream* stream = projtest::StreamOver(other);
        CMvFile file(doc, &owner);
        file.LoadHeaderStrings();
        CKelPersistArchive archive(stream, FALSE, 1);
        EXPECT_EQ(S_OK, file.PersistChunk(MakeKelVersionWord(CMvFile::kMajor, 0), &archive));
        EXPECT_STREQ(text, file.GetVersionText().GetString());
        stream->Release();
    }
}

TEST_F(MvFileTest, CurrentFileDocumentLivesWithTheFileOnly)
{
    SetSongDocument(nullptr);
    {
        CMvFile file(doc, &owner);
        EXPECT_EQ(doc, CMvFile::GetCurrentFileDocument());
        EXPECT_EQ(static_cast<ISongDocument*>(doc), GetSongDocument());
        IStream* stream = projtest::StreamOver({});
        CKelPersistArchive archive(stream, TRUE, 1);
        EXPECT_EQ(KELPERSIST_E_UNKNOWNCHUNK, file.PersistChunk(MakeKelVersionWord(CMvFile::kMajor, 1), &archive));
        stream->Release();
    }
    EXPECT_EQ(nullptr, CMvFile::GetCurrentFileDocument());
    EXPECT_EQ(nullptr, GetSongDocument());

    CMvFile none(nullptr, &owner);
    IStream* stream = projtest::StreamOver({});
    CKelPersistArchive archive(stream, TRUE, 1);
    EXPECT_EQ(E_UNEXPECTED, none.PersistChunk(MakeKelVersionWord(CMvFile::kMajor, 0), &archive));
    stream->Release();
    CMvFile noOwner(doc, nullptr);
    IStream* out = projtest::StreamOver({});
    CKelPersistArchive saving(out, TRUE, 1);
    EXPECT_EQ(E_POINTER, noOwner.PersistChunk(MakeKelVersionWord(CMvFile::kMajor, 0), &saving));
    out->Release();
}

}  // namespace
