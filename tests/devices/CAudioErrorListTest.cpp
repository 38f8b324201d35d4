#include "devices/CAudioErrorList.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CAudioErrorListTest, KeepsTenMessagesThenSaysTooManyAndDropsTheRest)
{
    CAudioErrorList list;
    for (int i = 0; i < 12; ++i)
        list.Add(("error " + std::to_string(i)).c_str());
    EXPECT_EQ(11u, list.GetCount());

    std::vector<CString> errors{CString("stale")};
    ASSERT_EQ(S_OK, list.Take(&errors));
    ASSERT_EQ(11u, errors.size());
    EXPECT_EQ("error 0", errors[0].Str());
    EXPECT_EQ("error 9", errors[9].Str());
    EXPECT_EQ("Too many errors.", errors[10].Str());
    EXPECT_EQ(0u, list.GetCount());

    // Handed over, the list counts again from nothing.
    list.Add("again");
    ASSERT_EQ(S_OK, list.Take(&errors));
    ASSERT_EQ(1u, errors.size());
    EXPECT_EQ("again", errors[0].Str());

    ASSERT_EQ(S_OK, list.Take(&errors));
    EXPECT_TRUE(errors.empty());
    EXPECT_EQ(E_POINTER, list.Take(nullptr));
}

TEST(CAudioErrorListTest, FormatsTextsOfTheStringTable)
{
    CAudioErrorList list;
    for (std::size_t i = 0; i < CAudioErrorList::kMaxErrors; ++i)
        list.Add("x");
    list.AddFormat(16851);  // the eleventh, whatever its text: "Too many errors."
    list.AddFormat(16851);
    std::vector<CString> errors;
    list.Take(&errors);
    ASSERT_EQ(11u, errors.size());
    EXPECT_EQ("Too many errors.", errors.back().Str());
}

}  // namespace
