// Persisted view settings: the entry point goes to save or load by the
// archive's direction and passes results back as they are.
#include "uikit/CPersistSettings.h"

#include <gtest/gtest.h>

#include <vector>

#include "model/CKelPersistArchive.h"
#include "platform/com/ComStream.h"

namespace {

// A view's settings: a 16-byte identifier first, then its zoom; a block of
// another view is refused and the stream put back where it began.
class ZoomSettings : public CPersistSettings {
public:
    float zoom = 0;
    std::vector<const char*> calls;
    static constexpr char kId[17] = "ZoomSettings.v1!";

    HRESULT SaveSettings(CKelPersistArchive* archive, void*) override
    {
        calls.push_back("save");
        char id[16];
        std::copy(kId, kId + 16, id);
        if (HRESULT hr = archive->PersistBytes(16, id); FAILED(hr))
            return hr;
        return archive->PersistBytes(sizeof(zoom), &zoom);
    }
    HRESULT LoadSettings(int, CKelPersistArchive* archive, void*) override
    {
        calls.push_back("load");
        LARGE_INTEGER zero{};
        ULARGE_INTEGER start{};
        archive->GetStream()->Seek(zero, STREAM_SEEK_CUR, &start);
        char id[16];
        if (HRESULT hr = archive->PersistBytes(16, id); FAILED(hr))
            return hr;
        if (!std::equal(id, id + 16, kId)) {
            LARGE_INTEGER back{};
            back.QuadPart = static_cast<LONGLONG>(start.QuadPart);
            archive->GetStream()->Seek(back, STREAM_SEEK_SET, nullptr);
            return E_FAIL;
        }
        return archive->PersistBytes(sizeof(zoom), &zoom);
    }
};

IStream* NewStream()
{
    IStream* stream = nullptr;
    EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, &stream));
    return stream;
}

void Rewind(IStream* stream)
{
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_SET, nullptr);
}

TEST(CPersistSettingsTest, AClassWithoutSettingsPersistsNothingInEitherDirection)
{
    IStream* stream = NewStream();
    CPersistSettings plain;
    {
        CKelPersistArchive saving(stream, TRUE, FALSE);
        EXPECT_EQ(S_OK, plain.Persist(0, &saving, nullptr));
    }
    ULARGE_INTEGER at{};
    LARGE_INTEGER zero{};
    stream->Seek(zero, STREAM_SEEK_CUR, &at);
    EXPECT_EQ(0u, at.QuadPart);
    CKelPersistArchive loading(stream, FALSE, FALSE);
    EXPECT_EQ(S_OK, plain.Persist(0, &loading, nullptr));
    EXPECT_EQ(E_POINTER, plain.Persist(0, nullptr, nullptr));
    stream->Release();
}

TEST(CPersistSettingsTest, StoringGoesToSaveAndLoadingToLoadWithTheResultPassedBack)
{
    IStream* stream = NewStream();
    ZoomSettings saved;
    saved.zoom = 0.015f;
    {
        CKelPersistArchive saving(stream, TRUE, FALSE);
        EXPECT_EQ(S_OK, saved.Persist(0, &saving, nullptr));
    }
    Rewind(stream);
    ZoomSettings loaded;
    {
        CKelPersistArchive loading(stream, FALSE, FALSE);
        EXPECT_EQ(S_OK, loaded.Persist(0, &loading, nullptr));
    }
    EXPECT_FLOAT_EQ(0.015f, loaded.zoom);
    EXPECT_EQ((std::vector<const char*>{"save"}), saved.calls);
    EXPECT_EQ((std::vector<const char*>{"load"}), loaded.calls);

    // Another view's block: refused, and the stream stands where it began.
    IStream* other = NewStream();
    const char junk[20] = "not a settings blok";
    other->Write(junk, sizeof(junk), nullptr);
    Rewind(other);
    CKelPersistArchive loading(other, FALSE, FALSE);
    EXPECT_EQ(E_FAIL, loaded.Persist(0, &loading, nullptr));
    ULARGE_INTEGER at{};
    LARGE_INTEGER zero{};
    other->Seek(zero, STREAM_SEEK_CUR, &at);
    EXPECT_EQ(0u, at.QuadPart);
    other->Release();
    stream->Release();
}

}  // namespace
