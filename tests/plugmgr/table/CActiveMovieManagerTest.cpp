// The plug-in manager's template table, filled in-process with factories
// of each kind: its limits and what registering another library does to it.
#include "plugmgr/CActiveMovieManager.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/win/Guid.h"

namespace {

template <class Kind>
struct Factory : Kind, IPlugInRegInfo {
    CLSID clsid{};
    const CLSID* GetClassId() override { return &clsid; }
    const WCHAR* GetName() override { return u"Fake"; }
    IUnknown* CreateProcessor() override { return nullptr; }
    const char* GetDescription() override { return "fake"; }
    const char* GetHelpFilePath() override { return ""; }
    DWORD GetHelpTopic() override { return 3; }
};

struct PageFactory : IPropPageFactory {
    CLSID clsid{};
    const CLSID* GetClassId() override { return &clsid; }
    const WCHAR* GetName() override { return u"Page"; }
};

TEST(CActiveMovieManagerTest, KindsHoldThirtyTwoAndTheTableAHundredAndTwentyEight)
{
    std::vector<Factory<IInPlaceFactory>> inPlace(33);
    std::vector<Factory<IBufToBufFactory>> bufToBuf(32);
    std::vector<Factory<IAsyncFactory>> async(32);
    std::vector<PageFactory> pages(33);
    for (int i = 0; i < 32; ++i)
        ASSERT_EQ(S_OK, CActiveMovieManager::AddFactory(&inPlace[i])) << i;
    EXPECT_EQ(E_UNEXPECTED, CActiveMovieManager::AddFactory(&inPlace[32])) << "the 33rd of one kind";
    EXPECT_EQ(32, CActiveMovieManager::KindCount(CActiveMovieManager::kInPlace));
    EXPECT_EQ(E_POINTER, CActiveMovieManager::AddFactory(static_cast<IAsyncFactory*>(nullptr)));
    for (int i = 0; i < 32; ++i) {
        ASSERT_EQ(S_OK, CActiveMovieManager::AddFactory(&bufToBuf[i])) << "other kinds still take factories";
        ASSERT_EQ(S_OK, CActiveMovieManager::AddFactory(&async[i]));
        ASSERT_EQ(S_OK, CActiveMovieManager::AddFactory(&pages[i]));
    }
    EXPECT_EQ(128, CActiveMovieManager::TemplateCount());
    EXPECT_EQ(E_UNEXPECTED, CActiveMovieManager::AddFactory(&pages[32])) << "the 129th template";

    // Templates keep the factory's name and identifier, and a filter
    // factory's registration information from its second interface.
    const CActiveMovieManager::Template* first = CActiveMovieManager::TemplateAt(0);
    ASSERT_NE(nullptr, first);
    EXPECT_EQ(&inPlace[0].clsid, first->clsid);
    ASSERT_NE(nullptr, first->regInfo);
    EXPECT_EQ(3u, first->regInfo->GetHelpTopic());
    EXPECT_EQ(&pages[0].clsid, CActiveMovieManager::TemplateAt(34)->clsid);
    EXPECT_EQ(nullptr, CActiveMovieManager::TemplateAt(34)->regInfo) << "a page has none";

    // A slot of a kind makes its wrapper around that slot's factory: a
    // factory that makes no processing object gives no filter.
    HRESULT hr = S_OK;
    EXPECT_EQ(nullptr, CActiveMovieManager::CreateWrapper(CActiveMovieManager::kInPlace, 5, nullptr, &hr));
    EXPECT_EQ(E_OUTOFMEMORY, hr);
    EXPECT_EQ(nullptr, CActiveMovieManager::CreateWrapper(CActiveMovieManager::kInPlace, 32, nullptr, &hr));
    EXPECT_EQ(E_UNEXPECTED, hr) << "a slot without a factory";

    // Registering a file that is no library leaves the table; a library
    // without an entry point still empties it.
    EXPECT_EQ(0, CActiveMovieManager::RegisterAX("/nonexistent/plugin.so"));
    EXPECT_EQ(128, CActiveMovieManager::TemplateCount());
    EXPECT_EQ(0, CActiveMovieManager::RegisterAX("libm.so.6"));
    EXPECT_EQ(0, CActiveMovieManager::TemplateCount());
    EXPECT_EQ(0, CActiveMovieManager::KindCount(CActiveMovieManager::kPropPage));
}

}  // namespace
