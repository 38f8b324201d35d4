#include "platform/media/CFilterMapper.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/CComPtr.h"
#include "platform/com/ComRuntime.h"
#include "platform/com/InprocServer.h"
#include "platform/com/TaskMemory.h"
#include "platform/media/MediaTypes.h"
#include "platform/registry/Registry.h"
#include "platform/win/WideString.h"
#include "tests/support/TempRegistry.h"

namespace {

using mvcom::CComPtr;

MV_DEFINE_GUID(kEcho, 0x7C1E0001, 0x3A2B, 0x4C5D, 0x8E, 0x9F, 0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5);
MV_DEFINE_GUID(kRenderer, 0x7C1E0002, 0x3A2B, 0x4C5D, 0x8E, 0x9F, 0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5);
MV_DEFINE_GUID(kVideo, 0x7C1E0003, 0x3A2B, 0x4C5D, 0x8E, 0x9F, 0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5);
MV_DEFINE_GUID(kAnyType, 0x7C1E0004, 0x3A2B, 0x4C5D, 0x8E, 0x9F, 0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5);
MV_DEFINE_GUID(kSource, 0x7C1E0005, 0x3A2B, 0x4C5D, 0x8E, 0x9F, 0xA0, 0xB1, 0xC2, 0xD3, 0xE4, 0xF5);
MV_DEFINE_GUID(kVideoType, 0x73646976, 0x0000, 0x0010, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71);

struct Found {
    CLSID clsid;
    std::string name;
};

// Every filter the enumerator gives, in order; each record freed as the
// caller must.
std::vector<Found> Drain(IEnumRegFilters* filters)
{
    std::vector<Found> found;
    REGFILTER* records[1024] = {};
    ULONG got = 0;
    EXPECT_EQ(filters->Next(1024, records, &got), got == 1024 ? S_OK : S_FALSE);
    for (ULONG i = 0; i < got; ++i) {
        found.push_back({records[i]->Clsid, mvwin::Utf16ToUtf8(records[i]->Name)});
        CoTaskMemFree(records[i]);
    }
    return found;
}

class CFilterMapperTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                   reinterpret_cast<void**>(mapper.Put())),
                  S_OK);
    }

    // A filter with one input and one output pin of the given types.
    void RegisterTransform(REFCLSID clsid, const char16_t* name, REFGUID inMajor, REFGUID outMajor,
                           DWORD merit = MERIT_NORMAL, REFGUID sub = GUID_NULL)
    {
        ASSERT_EQ(mapper->RegisterFilter(clsid, name, merit), S_OK);
        ASSERT_EQ(mapper->RegisterPin(clsid, u"In", FALSE, FALSE, FALSE, FALSE, GUID_NULL, u""), S_OK);
        ASSERT_EQ(mapper->RegisterPinType(clsid, u"In", inMajor, sub), S_OK);
        ASSERT_EQ(mapper->RegisterPin(clsid, u"Out", FALSE, TRUE, FALSE, FALSE, GUID_NULL, u""), S_OK);
        ASSERT_EQ(mapper->RegisterPinType(clsid, u"Out", outMajor, sub), S_OK);
    }

    std::vector<Found> AudioEffects(DWORD merit = 0)
    {
        CComPtr<IEnumRegFilters> filters;
        EXPECT_EQ(mapper->EnumMatchingFilters(filters.Put(), merit, TRUE, MEDIATYPE_Audio, GUID_NULL, FALSE, TRUE,
                                              MEDIATYPE_Audio, GUID_NULL),
                  S_OK);
        return filters ? Drain(filters.Get()) : std::vector<Found>{};
    }

    mvtest::TempRegistry registry;
    CComPtr<IFilterMapper> mapper;
};

TEST_F(CFilterMapperTest, ListsTheFiltersThatTakeAndGiveTheWantedTypes)
{
    RegisterTransform(kEcho, u"Echo", MEDIATYPE_Audio, MEDIATYPE_Audio, MERIT_NORMAL, MEDIASUBTYPE_IEEE_FLOAT);
    // An audio renderer: an input pin only.
    ASSERT_EQ(mapper->RegisterFilter(kRenderer, u"Speaker", MERIT_PREFERRED), S_OK);
    ASSERT_EQ(mapper->RegisterPin(kRenderer, u"In", TRUE, FALSE, FALSE, FALSE, GUID_NULL, u""), S_OK);
    ASSERT_EQ(mapper->RegisterPinType(kRenderer, u"In", MEDIATYPE_Audio, GUID_NULL), S_OK);
    RegisterTransform(kVideo, u"Blur", kVideoType, kVideoType);
    // Registered for any type on both sides: fits whatever is wanted.
    RegisterTransform(kAnyType, u"Pass \u00E9", GUID_NULL, GUID_NULL, MERIT_DO_NOT_USE);
    // Audio out of video: the input does not fit.
    RegisterTransform(kSource, u"Soundtrack", kVideoType, MEDIATYPE_Audio);

    const std::vector<Found> found = AudioEffects();
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].clsid, kEcho);
    EXPECT_EQ(found[0].name, "Echo");
    EXPECT_EQ(found[1].clsid, kAnyType);
    EXPECT_EQ(found[1].name, "Pass \xC3\xA9");

    // Merit leaves out what is below it.
    const std::vector<Found> preferred = AudioEffects(MERIT_NORMAL);
    ASSERT_EQ(preferred.size(), 1u);
    EXPECT_EQ(preferred[0].clsid, kEcho);

    // A rendered input is asked for: only the renderer has one.
    CComPtr<IEnumRegFilters> renderers;
    ASSERT_EQ(mapper->EnumMatchingFilters(renderers.Put(), 0, TRUE, MEDIATYPE_Audio, GUID_NULL, TRUE, FALSE,
                                          GUID_NULL, GUID_NULL),
              S_OK);
    const std::vector<Found> rendered = Drain(renderers.Get());
    ASSERT_EQ(rendered.size(), 1u);
    EXPECT_EQ(rendered[0].clsid, kRenderer);
}

TEST_F(CFilterMapperTest, UnregisteringLeavesTheClassRegistrationAlone)
{
    ASSERT_EQ(mvcom::RegisterInprocServer(kEcho, "Echo Filter", "/nowhere/echo.so"), S_OK);
    RegisterTransform(kEcho, u"Echo", MEDIATYPE_Audio, MEDIATYPE_Audio);
    ASSERT_EQ(AudioEffects().size(), 1u);

    EXPECT_EQ(mapper->UnregisterFilter(kEcho), S_OK);
    EXPECT_TRUE(AudioEffects().empty());
    EXPECT_EQ(mapper->UnregisterFilter(kEcho), S_OK);

    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{7C1E0001-3A2B-4C5D-8E9F-A0B1C2D3E4F5}\\InprocServer32", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    RegCloseKey(key);
    EXPECT_NE(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{7C1E0001-3A2B-4C5D-8E9F-A0B1C2D3E4F5}\\Pins", 0, KEY_READ,
                            &key),
              ERROR_SUCCESS);
}

TEST_F(CFilterMapperTest, PinsAndTheirTypesAreKeptApart)
{
    ASSERT_EQ(mapper->RegisterFilter(kEcho, u"Echo", MERIT_NORMAL), S_OK);
    EXPECT_EQ(mapper->RegisterPinType(kEcho, u"In", MEDIATYPE_Audio, GUID_NULL),
              HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(mapper->RegisterPin(kEcho, u"A\\B", FALSE, FALSE, FALSE, FALSE, GUID_NULL, u""), E_INVALIDARG);

    RegisterTransform(kEcho, u"Echo", MEDIATYPE_Audio, MEDIATYPE_Audio);
    ASSERT_EQ(AudioEffects().size(), 1u);
    // Registering the output pin again drops its types: it no longer gives audio.
    ASSERT_EQ(mapper->RegisterPin(kEcho, u"Out", FALSE, TRUE, FALSE, FALSE, GUID_NULL, u""), S_OK);
    EXPECT_TRUE(AudioEffects().empty());
    ASSERT_EQ(mapper->RegisterPinType(kEcho, u"Out", MEDIATYPE_Audio, MEDIASUBTYPE_PCM), S_OK);
    EXPECT_EQ(AudioEffects().size(), 1u);
    ASSERT_EQ(mapper->UnregisterPin(kEcho, u"In"), S_OK);
    EXPECT_TRUE(AudioEffects().empty());
}

TEST_F(CFilterMapperTest, AForeignSubkeyOfTheFilterListIsPassedOver)
{
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, "Filter\\not a class id", 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
    RegisterTransform(kEcho, u"Echo", MEDIATYPE_Audio, MEDIATYPE_Audio);
    const std::vector<Found> found = AudioEffects();
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].clsid, kEcho);
}

TEST_F(CFilterMapperTest, TheEnumeratorKeepsTheListItWasMadeWith)
{
    RegisterTransform(kEcho, u"Echo", MEDIATYPE_Audio, MEDIATYPE_Audio);
    RegisterTransform(kAnyType, u"Pass", MEDIATYPE_Audio, MEDIATYPE_Audio);
    CComPtr<IEnumRegFilters> filters;
    ASSERT_EQ(mapper->EnumMatchingFilters(filters.Put(), 0, TRUE, MEDIATYPE_Audio, GUID_NULL, FALSE, TRUE,
                                          MEDIATYPE_Audio, GUID_NULL),
              S_OK);
    RegisterTransform(kSource, u"Late", MEDIATYPE_Audio, MEDIATYPE_Audio);

    EXPECT_EQ(filters->Skip(1), S_OK);
    CComPtr<IEnumRegFilters> copy;
    ASSERT_EQ(filters->Clone(copy.Put()), S_OK);
    const std::vector<Found> rest = Drain(copy.Get());
    ASSERT_EQ(rest.size(), 1u);
    EXPECT_EQ(rest[0].clsid, kAnyType);

    EXPECT_EQ(filters->Skip(5), S_FALSE);
    EXPECT_EQ(filters->Reset(), S_OK);
    EXPECT_EQ(Drain(filters.Get()).size(), 2u);

    REGFILTER* one = nullptr;
    EXPECT_EQ(filters->Next(2, &one, nullptr), E_POINTER);
}

}  // namespace
