#include <gtest/gtest.h>

#include <string>

#include "platform/com/TaskMemory.h"
#include "plugins/synthframework/CInstrument.h"

namespace {

using mvsynth::IMfxNameList;
using mvsynth::IMfxNameList2;

struct Instrument : ::testing::Test {
    void SetUp() override { instrument->AddRef(); }
    void TearDown() override { instrument->Release(); }
    static std::string Title(IMfxNameList* list, LONG size = 64)
    {
        std::string buffer(static_cast<std::size_t>(size), 'x');
        EXPECT_EQ(S_OK, list->GetTitle(buffer.data(), size));
        return buffer.c_str();
    }
    mvsynth::CInstrument* instrument = new mvsynth::CInstrument("Sine");
};

TEST_F(Instrument, ListsAreTitledSizedAndEmpty)
{
    struct Case {
        const char* title;
        LONG size;
        HRESULT expected;
        HRESULT (*get)(mvsynth::CInstrument*, IMfxNameList**);
    } cases[] = {
        {"Sine Patches", 128, S_OK, [](auto* i, auto** l) { return i->GetPatchNames(-1, l); }},
        {"Sine Notes", 128, S_FALSE, [](auto* i, auto** l) { return i->GetNoteNames(2, 5, l); }},
        {"Sine Controllers", 128, S_OK, [](auto* i, auto** l) { return i->GetControllerNames(l); }},
        {"Sine RPNs", 0x3FFF, S_OK, [](auto* i, auto** l) { return i->GetRpnNames(l); }},
        {"Sine NRPNs", 0x3FFF, S_OK, [](auto* i, auto** l) { return i->GetNrpnNames(l); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        IMfxNameList* list = nullptr;
        ASSERT_EQ(c.expected, c.get(instrument, &list));
        ASSERT_NE(nullptr, list);
        EXPECT_EQ(c.title, Title(list));
        LONG size = 0, count = -1;
        ASSERT_EQ(S_OK, list->GetSize(&size));
        EXPECT_EQ(c.size, size);
        ASSERT_EQ(S_OK, list->GetNameCount(&count));
        EXPECT_EQ(0, count);
        list->Release();
    }
}

TEST_F(Instrument, AListIsMadeOnceAndHandedOutAgain)
{
    IMfxNameList* a = nullptr;
    IMfxNameList* b = nullptr;
    ASSERT_EQ(S_OK, instrument->GetControllerNames(&a));
    ASSERT_EQ(S_OK, instrument->GetControllerNames(&b));
    EXPECT_EQ(a, b);
    a->Release();
    b->Release();
    ASSERT_EQ(S_OK, instrument->GetPatchNames(3, &a));
    ASSERT_EQ(S_OK, instrument->GetPatchNames(4, &b));
    EXPECT_NE(a, b) << "one list per bank";
    a->Release();
    b->Release();
}

TEST_F(Instrument, BanksAndPatchesAreCheckedForRange)
{
    IMfxNameList* list = nullptr;
    EXPECT_EQ(E_INVALIDARG, instrument->GetPatchNames(16384, &list));
    EXPECT_EQ(E_INVALIDARG, instrument->GetPatchNames(-2, &list));
    EXPECT_EQ(E_POINTER, instrument->GetPatchNames(0, nullptr));
    EXPECT_EQ(S_OK, instrument->IsValidPatch(16383, 127));
    EXPECT_EQ(E_INVALIDARG, instrument->IsValidPatch(0, 128));
    EXPECT_EQ(S_FALSE, instrument->IsSpecialPatch(-1, -1));
    EXPECT_EQ(E_INVALIDARG, instrument->IsSpecialPatch(16384, 0));
}

TEST_F(Instrument, NameNeedsRoomForItsTerminator)
{
    char buffer[8] = {};
    EXPECT_EQ(E_POINTER, instrument->GetName(buffer, 4));
    EXPECT_EQ(S_OK, instrument->GetName(buffer, 5));
    EXPECT_STREQ("Sine", buffer);
    EXPECT_EQ(E_POINTER, instrument->GetName(nullptr, 8));
}

TEST_F(Instrument, BankMethodsAreOneZero)
{
    DWORD* methods = nullptr;
    LONG count = 0;
    ASSERT_EQ(S_OK, instrument->GetBankMethods(&methods, &count));
    ASSERT_EQ(1, count);
    EXPECT_EQ(0u, methods[0]);
    CoTaskMemFree(methods);
}

TEST_F(Instrument, NamesAreReadWithinTheListsBounds)
{
    IMfxNameList* list = nullptr;
    ASSERT_EQ(S_OK, instrument->GetPatchNames(0, &list));
    IMfxNameList2* list2 = nullptr;
    ASSERT_EQ(S_OK, list->QueryInterface(mvsynth::IID_IMfxNameList2, reinterpret_cast<void**>(&list2)));
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(S_OK, list->GetNameAt(127, buffer, sizeof buffer));
    EXPECT_STREQ("", buffer);
    EXPECT_EQ(E_INVALIDARG, list->GetNameAt(128, buffer, sizeof buffer));
    EXPECT_EQ(E_INVALIDARG, list->GetNameAt(-1, buffer, sizeof buffer));
    EXPECT_EQ(E_POINTER, list->GetNameAt(0, nullptr, 16));
    EXPECT_EQ(S_FALSE, list2->LookupName(128, buffer, sizeof buffer));

    static_cast<mvsynth::CStringMap*>(list2)->SetName(5, "Grand Piano");
    EXPECT_EQ(S_OK, list2->LookupName(5, buffer, 6));
    EXPECT_STREQ("Grand", buffer) << "cut to the buffer and terminated";
    EXPECT_EQ("Sine", Title(list, 5)) << "a long title is cut and terminated";
    list2->Release();
    list->Release();
}

}  // namespace
