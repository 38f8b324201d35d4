#include "engine/hosting/CIMfxNameListSet.h"

#include <gtest/gtest.h>

namespace {

class CIMfxNameListSetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        map[20] = MfxNameListRecord{"Drums", {"Kick", "Snare"}};
        map[10] = MfxNameListRecord{"Piano", {"C", "Lead"}};
    }
    MfxNameListMap map;
};

TEST_F(CIMfxNameListSetTest, ListsComeInKeyOrderWithTheirNames)
{
    auto* set = new CIMfxNameListSet(&map);
    LONG count = 0;
    ASSERT_EQ(S_OK, set->GetCount(&count));
    EXPECT_EQ(2, count);
    IMfxNameList* list = nullptr;
    ASSERT_EQ(S_OK, set->GetNameList(1, &list));
    char text[16];
    ASSERT_EQ(S_OK, list->GetTitle(text, sizeof text));
    EXPECT_STREQ("Drums", text);
    ASSERT_EQ(S_OK, list->GetCount(&count));
    EXPECT_EQ(2, count);
    ASSERT_EQ(S_OK, list->GetName(1, text, sizeof text));
    EXPECT_STREQ("Snare", text);
    EXPECT_EQ(E_INVALIDARG, list->GetName(2, text, sizeof text));
    EXPECT_EQ(E_INVALIDARG, list->GetName(-1, text, sizeof text));
    EXPECT_EQ(0u, list->Release());

    EXPECT_EQ(E_INVALIDARG, set->GetNameList(2, &list));
    EXPECT_EQ(E_POINTER, set->GetNameList(0, nullptr));
    EXPECT_EQ(E_POINTER, set->GetCount(nullptr));
    EXPECT_EQ(0u, set->Release());
}

TEST_F(CIMfxNameListSetTest, NamesAreCutToTheBufferAndAlwaysEnded)
{
    auto* set = new CIMfxNameListSet(&map);
    IMfxNameList* list = nullptr;
    ASSERT_EQ(S_OK, set->GetNameList(1, &list));
    char four[4] = {'x', 'x', 'x', 'x'};
    ASSERT_EQ(S_OK, list->GetName(0, four, 4));  // "Kick" in 4: three letters and a zero
    EXPECT_STREQ("Kic", four);
    char eight[8];
    std::fill(std::begin(eight), std::end(eight), 'x');
    list->Release();
    ASSERT_EQ(S_OK, set->GetNameList(0, &list));
    ASSERT_EQ(S_OK, list->GetName(0, eight, 8));  // "C" in 8: the zero follows at once
    EXPECT_EQ('C', eight[0]);
    EXPECT_EQ(0, eight[1]);
    EXPECT_EQ(E_POINTER, list->GetName(0, nullptr, 8));
    EXPECT_EQ(E_POINTER, list->GetTitle(eight, 0));
    list->Release();
    set->Release();
}

TEST_F(CIMfxNameListSetTest, AnswersOnlyItsOwnInterface)
{
    auto* set = new CIMfxNameListSet(&map);
    void* p = nullptr;
    ASSERT_EQ(S_OK, set->QueryInterface(IID_IMfxNameListSet, &p));
    EXPECT_EQ(static_cast<IMfxNameListSet*>(set), p);
    ASSERT_EQ(S_OK, set->QueryInterface(IID_IUnknown, &p));
    EXPECT_EQ(E_NOINTERFACE, set->QueryInterface(IID_IMfxNameList, &p));
    EXPECT_EQ(nullptr, p);
    EXPECT_EQ(2u, set->Release());
    EXPECT_EQ(1u, set->Release());
    EXPECT_EQ(0u, set->Release());
}

}  // namespace
