// The drop target of a control host: which control a drag over a point
// highlights and gets the drop, copy with Ctrl and move without, and the
// order in which controls are asked.
#include "uikit/CNWDropTarget.h"

#include <gtest/gtest.h>

#include "tests/uikit/NWTestHost.h"

namespace {

// A control that takes drops over its rectangle and notes what happens.
class CDropBox : public mvtest::CFillControl {
public:
    CDropBox(CNWControlSite* site, std::vector<std::string>* log, bool accepts)
        : CFillControl(site, 0), m_log(log), m_accepts(accepts)
    {
    }
    bool OnDragEnter(POINT*, COleDataObject*) override { return m_accepts; }
    bool OnDragOver(POINT* p, COleDataObject*) override { return m_accepts && HitTest(*p); }
    bool OnDrop(POINT* p, COleDataObject*, DROPEFFECT effect) override
    {
        if (!m_accepts || !HitTest(*p))
            return false;
        m_log->push_back("drop " + std::to_string(GetId()) + " " + std::to_string(effect));
        return true;
    }
    void SetDropHighlight(bool on) override { m_log->push_back((on ? "lit " : "unlit ") + std::to_string(GetId())); }

private:
    std::vector<std::string>* m_log;
    bool m_accepts;
};

class CNWDropTargetTest : public mvtest::NWControlTest {
protected:
    CDropBox* Box(int x, bool accepts = true)
    {
        return mvtest::Place(host, new CDropBox(&host, &log, accepts), x, 10, true, CSize(30, 30));
    }
    std::vector<std::string> log;
    CNWDropTarget target;
};

TEST_F(CNWDropTargetTest, CtrlGivesCopyAndOtherwiseMove)
{
    CDropBox* a = Box(10);
    CDropBox* b = Box(60);
    EXPECT_EQ(target.AddControl(a), 1);
    EXPECT_EQ(target.AddControl(b), 1);
    EXPECT_EQ(target.AddControl(a), 0);
    EXPECT_EQ(target.OnDragEnter(&host, nullptr, MK_CONTROL, CPoint(20, 20)), DROPEFFECT_COPY);
    EXPECT_EQ(target.GetHighlighted(), a);
    EXPECT_EQ(target.OnDragOver(&host, nullptr, 0, CPoint(70, 20)), DROPEFFECT_MOVE);
    EXPECT_EQ(target.GetHighlighted(), b);
    EXPECT_EQ(target.OnDragOver(&host, nullptr, 0, CPoint(200, 100)), DROPEFFECT_NONE);
    EXPECT_EQ(target.GetHighlighted(), nullptr);
    EXPECT_EQ(target.OnDragOver(&host, nullptr, 0, CPoint(70, 20)), DROPEFFECT_MOVE);
    EXPECT_TRUE(target.OnDrop(&host, nullptr, DROPEFFECT_MOVE, CPoint(70, 20)));
    EXPECT_FALSE(target.OnDrop(&host, nullptr, DROPEFFECT_MOVE, CPoint(200, 100)));
    EXPECT_EQ(log, (std::vector<std::string>{"lit 10", "unlit 10", "lit 11", "unlit 11", "lit 11", "drop 11 2",
                                             "unlit 11"}));
}

TEST_F(CNWDropTargetTest, NothingAcceptsNothingIsLit)
{
    target.AddControl(Box(10, false));
    EXPECT_EQ(target.OnDragEnter(&host, nullptr, MK_CONTROL, CPoint(20, 20)), DROPEFFECT_NONE);
    EXPECT_EQ(target.GetHighlighted(), nullptr);
    EXPECT_TRUE(log.empty());
}

TEST_F(CNWDropTargetTest, ControlsAreAskedInTheOrderTheyWereRegistered)
{
    // Two controls over the same place: the first registered takes the
    // drop, wherever either lies in memory.
    CDropBox* first = Box(10);
    CDropBox* second = Box(10);
    for (bool reversed : {false, true}) {
        CNWDropTarget t;
        t.AddControl(reversed ? second : first);
        t.AddControl(reversed ? first : second);
        log.clear();
        t.OnDragEnter(&host, nullptr, 0, CPoint(20, 20));
        EXPECT_EQ(t.GetHighlighted(), reversed ? second : first);
        EXPECT_TRUE(t.OnDrop(&host, nullptr, DROPEFFECT_COPY, CPoint(20, 20)));
        EXPECT_EQ(log[1], "drop " + std::to_string((reversed ? second : first)->GetId()) + " 1");
    }
}

}  // namespace
