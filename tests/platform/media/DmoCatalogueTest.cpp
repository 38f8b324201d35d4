#include "platform/media/DmoCatalogue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/CComPtr.h"
#include "platform/com/TaskMemory.h"
#include "platform/media/MediaTypes.h"
#include "platform/registry/Registry.h"
#include "platform/win/WideString.h"
#include "tests/support/TempRegistry.h"

namespace {

using mvcom::CComPtr;

MV_DEFINE_GUID(kChorus, 0x5B2D0001, 0x6C7E, 0x4F80, 0x91, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7, 0x08);
MV_DEFINE_GUID(kKeyed, 0x5B2D0002, 0x6C7E, 0x4F80, 0x91, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7, 0x08);
MV_DEFINE_GUID(kDecoder, 0x5B2D0003, 0x6C7E, 0x4F80, 0x91, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7, 0x08);
MV_DEFINE_GUID(kReverb, 0x5B2D0004, 0x6C7E, 0x4F80, 0x91, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7, 0x08);
MV_DEFINE_GUID(kDecoderCategory, 0x57F2DB8B, 0xE6BB, 0x4513, 0x9D, 0x43, 0xDC, 0xD2, 0xA6, 0x59, 0x31, 0x25);

struct Found {
    CLSID clsid;
    std::string name;
};

std::vector<Found> List(REFGUID category, DWORD flags)
{
    CComPtr<IEnumDMO> dmos;
    EXPECT_EQ(DMOEnum(category, flags, 0, nullptr, 0, nullptr, dmos.Put()), S_OK);
    std::vector<Found> found;
    if (!dmos)
        return found;
    CLSID clsids[16];
    LPWSTR names[16] = {};
    DWORD got = 0;
    EXPECT_EQ(dmos->Next(16, clsids, names, &got), S_FALSE);
    for (DWORD i = 0; i < got; ++i) {
        found.push_back({clsids[i], mvwin::Utf16ToUtf8(names[i])});
        CoTaskMemFree(names[i]);
    }
    return found;
}

class DmoCatalogueTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const DMO_PARTIAL_MEDIATYPE audio{MEDIATYPE_Audio, MEDIASUBTYPE_PCM};
        ASSERT_EQ(DMORegister(u"Chorus", kChorus, DMOCATEGORY_AUDIO_EFFECT, 0, 1, &audio, 1, &audio), S_OK);
        ASSERT_EQ(DMORegister(u"Locked Reverb", kKeyed, DMOCATEGORY_AUDIO_EFFECT, DMO_REGISTERF_IS_KEYED, 0,
                              nullptr, 0, nullptr),
                  S_OK);
        ASSERT_EQ(DMORegister(u"Decoder", kDecoder, kDecoderCategory, 0, 0, nullptr, 1, &audio), S_OK);
        ASSERT_EQ(DMORegister(u"R\u00E9verb", kReverb, DMOCATEGORY_AUDIO_EFFECT, 0, 0, nullptr, 0, nullptr), S_OK);
    }

    mvtest::TempRegistry registry;
};

TEST_F(DmoCatalogueTest, ListsOneCategoryKeyedOnesOnlyWhenAskedFor)
{
    std::vector<Found> found = List(DMOCATEGORY_AUDIO_EFFECT, 0);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].clsid, kChorus);
    EXPECT_EQ(found[0].name, "Chorus");
    EXPECT_EQ(found[1].clsid, kReverb);
    EXPECT_EQ(found[1].name, "R\xC3\xA9verb");

    found = List(DMOCATEGORY_AUDIO_EFFECT, DMO_ENUMF_INCLUDE_KEYED);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[1].clsid, kKeyed);

    found = List(kDecoderCategory, DMO_ENUMF_INCLUDE_KEYED);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].clsid, kDecoder);
}

TEST_F(DmoCatalogueTest, RegisteringAgainWithoutTheKeyMakesItPlain)
{
    ASSERT_EQ(DMORegister(u"Open Reverb", kKeyed, DMOCATEGORY_AUDIO_EFFECT, 0, 0, nullptr, 0, nullptr), S_OK);
    const std::vector<Found> found = List(DMOCATEGORY_AUDIO_EFFECT, 0);
    ASSERT_EQ(found.size(), 3u);
    EXPECT_EQ(found[1].name, "Open Reverb");
}

TEST_F(DmoCatalogueTest, UnregisteringFromOneCategoryOrFromAll)
{
    ASSERT_EQ(DMORegister(u"Chorus", kChorus, kDecoderCategory, 0, 0, nullptr, 0, nullptr), S_OK);
    EXPECT_EQ(DMOUnregister(kChorus, DMOCATEGORY_AUDIO_EFFECT), S_OK);
    EXPECT_EQ(List(DMOCATEGORY_AUDIO_EFFECT, 0).size(), 1u);
    EXPECT_EQ(List(kDecoderCategory, 0).size(), 2u);

    EXPECT_EQ(DMOUnregister(kDecoder, GUID_NULL), S_OK);
    const std::vector<Found> decoders = List(kDecoderCategory, 0);
    ASSERT_EQ(decoders.size(), 1u);
    EXPECT_EQ(decoders[0].clsid, kChorus);
    EXPECT_EQ(DMOUnregister(kDecoder, GUID_NULL), S_OK);
}

TEST_F(DmoCatalogueTest, StrayMembersOfACategoryArePassedOver)
{
    // A member that is no class id, and one whose object key is gone.
    for (const char* member : {"\\junk", "\\{5B2D0009-6C7E-4F80-91A2-B3C4D5E6F708}"}) {
        HKEY key = nullptr;
        const std::string path =
            std::string("DirectShow\\MediaObjects\\Categories\\{F3602B3F-0592-48DF-A4CD-674721E7EBEB}") + member;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    EXPECT_EQ(List(DMOCATEGORY_AUDIO_EFFECT, 0).size(), 2u);
}

TEST_F(DmoCatalogueTest, WhatIsNotOfferedSaysSo)
{
    const DMO_PARTIAL_MEDIATYPE audio{MEDIATYPE_Audio, GUID_NULL};
    IEnumDMO* dmos = reinterpret_cast<IEnumDMO*>(1);
    EXPECT_EQ(DMOEnum(DMOCATEGORY_AUDIO_EFFECT, 0, 1, &audio, 0, nullptr, &dmos), E_NOTIMPL);
    EXPECT_EQ(dmos, nullptr);
    EXPECT_EQ(DMOEnum(GUID_NULL, 0, 0, nullptr, 0, nullptr, &dmos), E_NOTIMPL);
    EXPECT_EQ(DMORegister(u"X", kChorus, GUID_NULL, 0, 0, nullptr, 0, nullptr), E_INVALIDARG);
    // An empty category lists nothing.
    EXPECT_TRUE(List(kChorus, 0).empty());
}

}  // namespace
