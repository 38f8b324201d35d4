#include "engine/hosting/CAudioPlugInManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/com/CComPtr.h"
#include "platform/com/ComRuntime.h"
#include "platform/media/CFilterMapper.h"
#include "platform/media/DmoCatalogue.h"
#include "platform/media/MediaInterfaces.h"
#include "platform/media/MediaTypes.h"
#include "platform/win/WideString.h"
#include "tests/engine/hosting/MenuText.h"
#include "tests/engine/hosting/PlugInRegistry.h"
#include "tests/support/TempRegistry.h"

namespace {

using mvtest::TestClsid;

const GUID kEcho = TestClsid(1);
const GUID kChorus = TestClsid(2);
const GUID kSynth = TestClsid(3);
const GUID kExcluded = TestClsid(4);
const GUID kPlainStereo = TestClsid(5);
const GUID kReverb = TestClsid(6);
const GUID kRenderer = TestClsid(7);
const GUID kKeyedDmo = TestClsid(8);
MV_DEFINE_GUID(kBufferMatcher, 0x670EE083, 0xB049, 0x48D9, 0x83, 0x79, 0xA4, 0x7B, 0x45, 0x94, 0x38, 0x88);
MV_DEFINE_GUID(kFixedId, 0xCFDBCF43, 0x29FB, 0x11D4, 0x85, 0x51, 0x00, 0x90, 0x27, 0xDC, 0x74, 0x5A);

class CAudioPlugInManagerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(CoCreateInstance(CLSID_FilterMapper, nullptr, CLSCTX_INPROC_SERVER, IID_IFilterMapper,
                                   reinterpret_cast<void**>(mapper.Put())),
                  S_OK);
        ASSERT_TRUE(CPlugInManager::LoadExclusionList());
    }
    void TearDown() override { CPlugInManager::LoadExclusionList(); }

    void RegisterEffect(REFCLSID clsid, const std::u16string& name, bool output = true)
    {
        ASSERT_EQ(mapper->RegisterFilter(clsid, name.c_str(), MERIT_DO_NOT_USE), S_OK);
        ASSERT_EQ(mapper->RegisterPin(clsid, u"In", FALSE, FALSE, FALSE, FALSE, GUID_NULL, u""), S_OK);
        ASSERT_EQ(mapper->RegisterPinType(clsid, u"In", MEDIATYPE_Audio, MEDIASUBTYPE_IEEE_FLOAT), S_OK);
        if (output) {
            ASSERT_EQ(mapper->RegisterPin(clsid, u"Out", FALSE, TRUE, FALSE, FALSE, GUID_NULL, u""), S_OK);
            ASSERT_EQ(mapper->RegisterPinType(clsid, u"Out", MEDIATYPE_Audio, GUID_NULL), S_OK);
        }
    }

    std::vector<std::string> Names(const CPlugInManager& list)
    {
        std::vector<std::string> names;
        for (int i = 0; i < list.GetCount(); ++i)
            names.push_back(list.GetPlugIn(i)->GetGroupName() + "/" + list.GetPlugIn(i)->GetName());
        return names;
    }

    mvtest::TempRegistry registry;
    mvcom::CComPtr<IFilterMapper> mapper;
};

TEST_F(CAudioPlugInManagerTest, ListsFiltersAndDmosLessWhatIsNoEffect)
{
    RegisterEffect(kEcho, u"Varnholt Echo Stereo Delay");
    RegisterEffect(kChorus, u"Chorus");
    RegisterEffect(kSynth, u"Bass Synth");
    RegisterEffect(kExcluded, u"Crashing Flanger");
    RegisterEffect(kPlainStereo, u"Echo Stereo Delay");
    RegisterEffect(kBufferMatcher, u"Buffer Matcher");
    RegisterEffect(kFixedId, u"Fixed");
    RegisterEffect(kRenderer, u"Speaker", false);
    ASSERT_EQ(DMORegister(u"Chorus", kChorus, DMOCATEGORY_AUDIO_EFFECT, 0, 0, nullptr, 0, nullptr), S_OK);
    ASSERT_EQ(DMORegister(u"Varnholt Reverb", kReverb, DMOCATEGORY_AUDIO_EFFECT, 0, 0, nullptr, 0, nullptr), S_OK);
    ASSERT_EQ(DMORegister(u"Locked Phaser", kKeyedDmo, DMOCATEGORY_AUDIO_EFFECT, DMO_REGISTERF_IS_KEYED, 0, nullptr,
                          0, nullptr),
              S_OK);
    mvtest::WriteKey(HKEY_CLASSES_ROOT, "MfxSoftSynths\\" + mvwin::GuidToString(kSynth));
    mvtest::WriteKey(HKEY_CURRENT_USER,
                     "Software\\Varnholt Music Software\\ExcludedPlugIns\\" + mvwin::GuidToString(kExcluded));
    ASSERT_TRUE(CPlugInManager::LoadExclusionList());
    mvtest::WriteMakerEntry(kEcho, "A tape echo", "echo.chm", 12);

    CAudioPlugInManager list;
    EXPECT_EQ(list.Enumerate(), 1);
    EXPECT_EQ(Names(list), (std::vector<std::string>{"Chorus/Chorus", "Chorus/Chorus",
                                                     "Echo Stereo Delay/Echo Stereo Delay", "Locked Phaser/Locked Phaser",
                                                     "Varnholt/Echo Delay (Stereo)", "Varnholt/Reverb"}));

    const CRegPlugIn* echo = list.GetPlugIn(4);
    EXPECT_EQ(echo->GetClassId(), kEcho);
    EXPECT_EQ(echo->GetInterfaceId(), IID_IBaseFilter);
    EXPECT_EQ(echo->GetDescription(), "A tape echo");
    EXPECT_EQ(echo->GetHelpFilePath(), "echo.chm");
    EXPECT_EQ(echo->GetExtra(), 0xFFFFFFFFu);
    const CRegPlugIn* reverb = list.GetPlugIn(5);
    EXPECT_EQ(reverb->GetClassId(), kReverb);
    EXPECT_EQ(reverb->GetDescription(), "");
    EXPECT_EQ(reverb->GetHelpFilePath(), "");

    CMenuModel menu = mvtest::MenuWithPlaceholder("AUDIO PLUGIN");
    list.AddToMenu(menu, 500);
    EXPECT_EQ(mvtest::MenuText(menu),
              "Insert#1|Effects>[Chorus#500|Chorus#501|Echo Stereo Delay#502|Locked Phaser#503|---|"
              "Varnholt>[Echo Delay (Stereo)#504|Reverb#505]]|Delete#3");
}

TEST_F(CAudioPlugInManagerTest, NothingInstalledRemovesThePlaceholder)
{
    CAudioPlugInManager list;
    EXPECT_EQ(list.Enumerate(), 1);
    EXPECT_EQ(list.GetCount(), 0);
    CMenuModel menu = mvtest::MenuWithPlaceholder("AUDIO PLUGIN");
    list.AddToMenu(menu, 500);
    EXPECT_EQ(mvtest::MenuText(menu), "Insert#1|Delete#3");
}

TEST_F(CAudioPlugInManagerTest, WithoutAFilterMapperTheListIsEmpty)
{
    ASSERT_EQ(DMORegister(u"Chorus", kChorus, DMOCATEGORY_AUDIO_EFFECT, 0, 0, nullptr, 0, nullptr), S_OK);
    ASSERT_EQ(mvcom::UnregisterBuiltinClass(CLSID_FilterMapper), S_OK);
    CAudioPlugInManager list;
    EXPECT_EQ(list.Enumerate(), 1);
    EXPECT_EQ(list.GetCount(), 0);
    ASSERT_EQ(mvcom::RegisterBuiltinClass(CLSID_FilterMapper, &CFilterMapper::CreateInstance), S_OK);
}

TEST_F(CAudioPlugInManagerTest, LongNamesAreCutOnACharacterBoundary)
{
    // 126 ASCII bytes and a two-byte character: the character does not fit
    // in the 127 bytes a name may have.
    const std::u16string name = std::u16string(126, u'a') + u"\u00E9x";
    RegisterEffect(kEcho, name);
    CAudioPlugInManager list;
    list.Enumerate();
    ASSERT_EQ(list.GetCount(), 1);
    EXPECT_EQ(list.GetPlugIn(0)->GetName(), std::string(126, 'a'));
}

TEST(CAudioPlugInManager, ListedNameMovesStereoToTheEndForTheMakersNames)
{
    const struct {
        const char* name;
        const char* listed;
    } cases[] = {
        {"Varnholt Echo Stereo Delay", "Varnholt Echo Delay (Stereo)"},
        {"Echo Stereo Delay", "Echo Stereo Delay"},
        {"Varnholt Stereo Chorus", "Varnholt Chorus (Stereo)"},
        {"Varnholt Echo Stereo", "Varnholt Echo Stereo"},
        {"Varnholt Echo", "Varnholt Echo"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CAudioPlugInManager::ListedName(c.name), c.listed) << c.name;
}

TEST(CAudioPlugInManager, IsOneProcessWideList)
{
    CAudioPlugInManager* list = GetAudioPlugInManager();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(GetAudioPlugInManager(), list);
    EXPECT_EQ(list->GetTitleStringId(), 16490u);
    ReleaseAudioPlugInManager();
}

}  // namespace
