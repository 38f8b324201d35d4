// The saved dock state is outside bytes: it must come back exactly as it was
// saved, and any damage (short, long, wrong counts, a bar named twice or in
// no dock bar, a side that is no side) refuses the whole state.
#include "platform/ui/CDockState.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "platform/registry/Profile.h"
#include "platform/ui/CControlBar.h"
#include "tests/platform/ui/UiTestSupport.h"
#include "tests/support/TempProfile.h"

namespace {

CDockState Sample()
{
    CDockState s;
    CControlBarInfo a;
    a.m_nBarID = 0xE810;
    a.m_pointPos = CPoint(-2, -2);
    a.m_uMRUDockID = AFX_IDW_DOCKBAR_TOP;
    a.m_rectMRUDockPos = CRect(0, 0, 200, 100);
    CControlBarInfo b;
    b.m_nBarID = 0xE811;
    b.m_bFloating = TRUE;
    b.m_bHorz = FALSE;
    b.m_bVisible = FALSE;
    b.m_pointPos = CPoint(900, 300);
    b.m_dwMRUFloatStyle = CBRS_ALIGN_LEFT;
    b.m_ptMRUFloatPos = CPoint(900, 300);
    s.m_arrBarInfo = {a, b};
    CDockBarInfo top;
    top.m_nDockBarID = AFX_IDW_DOCKBAR_TOP;
    top.m_arrBarID = {0, 0xE810, 0};
    CDockBarInfo left;
    left.m_nDockBarID = AFX_IDW_DOCKBAR_LEFT;
    left.m_arrBarID = {0};
    s.m_arrDockBars = {top, left};
    return s;
}

void PutU32(std::vector<BYTE>& bytes, std::size_t at, UINT v)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + i] = static_cast<BYTE>(v >> (8 * i));
}

TEST(DockStateTest, AStateReadsBackAsItWasSaved)
{
    const CDockState saved = Sample();
    const std::vector<BYTE> bytes = saved.Save();
    CDockState read;
    ASSERT_TRUE(read.Load(bytes.data(), bytes.size()));
    EXPECT_EQ(bytes, read.Save());
    ASSERT_EQ(2u, read.m_arrBarInfo.size());
    EXPECT_TRUE(read.m_arrBarInfo[1].m_bFloating);
    EXPECT_FALSE(read.m_arrBarInfo[1].m_bVisible);
    EXPECT_EQ(CPoint(900, 300), read.m_arrBarInfo[1].m_pointPos);
    EXPECT_EQ(std::vector<UINT>({0, 0xE810, 0}), read.m_arrDockBars[0].m_arrBarID);
}

TEST(DockStateTest, ADamagedStateIsRefusedWhole)
{
    const std::vector<BYTE> good = Sample().Save();
    // Offsets: magic 0, version 4, screen 8 and 12, bar count 16, first bar 20
    // (14 words each), dock bar count 132, first dock bar 136 (its entries
    // from 144).
    struct Case {
        const char* name;
        std::function<void(std::vector<BYTE>&)> damage;
    } cases[] = {
        {"empty", [](auto& b) { b.clear(); }},
        {"cut short", [](auto& b) { b.resize(b.size() - 1); }},
        {"bytes after the end", [](auto& b) { b.push_back(0); }},
        {"wrong magic", [](auto& b) { b[0] = 'X'; }},
        {"other version", [](auto& b) { PutU32(b, 4, 2); }},
        {"no screen", [](auto& b) { PutU32(b, 8, 0); }},
        {"huge bar count", [](auto& b) { PutU32(b, 16, 0xFFFFFFFF); }},
        {"bar id 0", [](auto& b) { PutU32(b, 20, 0); }},
        {"a bar named twice", [](auto& b) { PutU32(b, 20 + 56, 0xE810); }},
        {"a flag that is no flag", [](auto& b) { PutU32(b, 24, 7); }},
        {"a far-off position", [](auto& b) { PutU32(b, 36, 0x40000000); }},
        {"a side that is no side", [](auto& b) { PutU32(b, 136, 12345); }},
        {"a dock bar entry naming no bar", [](auto& b) { PutU32(b, 148, 0xBEEF); }},
        {"a floating bar in a dock bar", [](auto& b) { PutU32(b, 148, 0xE811); }},
        {"a docked bar in no dock bar", [](auto& b) { PutU32(b, 148, 0); }},
        {"a list that does not start a row", [](auto& b) { PutU32(b, 144, 0xE811); }},
        {"huge entry count", [](auto& b) { PutU32(b, 140, 0x7FFFFFFF); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<BYTE> bytes = good;
        c.damage(bytes);
        CDockState s = Sample();
        EXPECT_FALSE(s.Load(bytes.data(), bytes.size()));
        EXPECT_TRUE(s.m_arrBarInfo.empty());
        EXPECT_TRUE(s.m_arrDockBars.empty());
    }
}

TEST(DockStateTest, TheStateLivesInTheProfileAndAMissingOneIsNoState)
{
    mvtest::TempProfile profile;
    CDockState none;
    EXPECT_FALSE(none.LoadState("VhMv.BarState.02"));
    Sample().SaveState("VhMv.BarState.02");
    std::vector<BYTE> stored;
    EXPECT_TRUE(GetProfileBinary("VhMv.BarState.02-Summary", "DockState", stored));
    CDockState read;
    EXPECT_TRUE(read.LoadState("VhMv.BarState.02"));
    EXPECT_EQ(Sample().Save(), read.Save());
    WriteProfileBinary("VhMv.BarState.02-Summary", "DockState", stored.data(), 10);
    EXPECT_FALSE(read.LoadState("VhMv.BarState.02"));
    EXPECT_TRUE(read.m_arrBarInfo.empty());
}

TEST(DockStateTest, FloatingPlacesAreScaledToThisScreenAndKeptInsideTheClip)
{
    CDockState s;
    s.m_rectDevice = CRect(0, 0, 1000, 800);
    s.m_rectClip = CRect(0, 0, 968, 768);
    s.m_sizeSaved = CSize(2000, 800);
    EXPECT_EQ(CPoint(500, 400), s.ScalePoint(CPoint(1000, 400)));
    EXPECT_EQ(CPoint(967, 767), s.ScalePoint(CPoint(4000, 5000)));
    EXPECT_EQ(CPoint(0, 0), s.ScalePoint(CPoint(-50, -9)));
}

}  // namespace
