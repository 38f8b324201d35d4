// Remote-controlled parameters driven as a controller drives them: a
// learned controller through the real input router moves a parameter of a
// parameter set inside one touch, which ends a second after the last value.
#include "engine/mixer/CMvRCParam.h"

#include <gtest/gtest.h>

#include "devices/CMidiInputRouter.h"
#include "engine/CTimer.h"
#include "engine/mixer/CRCParamMap.h"
#include "model/CUndoHistory.h"
#include "platform/sync/Time.h"
#include "tests/engine/mixer/ParamSetFakes.h"

namespace {

using namespace paramtest;

DWORD Msg(int status, int d1, int d2) { return static_cast<DWORD>(status | d1 << 8 | d2 << 16); }

// A document that makes real remote-controlled parameters.
class RCDocument : public FakeParamDocument {
public:
    RCDocument(CTimer* timer, CMidiInputRouter* router) : m_timer(timer), m_router(router) {}
    HRESULT CreateRCParam(CControlParamSet* set, REFGUID classId, REFGUID instanceId, IRCParam** param) override
    {
        CMvRCParam* made = nullptr;
        HRESULT hr = CMvRCParam::Create(set, classId, instanceId, m_timer, m_router, &made);
        *param = made;
        return hr;
    }

private:
    CTimer* m_timer;
    CMidiInputRouter* m_router;
};

struct RCParamTest : ::testing::Test {
    void SetUp() override { CUndoHistory::Instance().Clear(); }
    void TearDown() override { CUndoHistory::Instance().Clear(); }

    // Parameter `id` remote-controlled by controller `cc` on any channel.
    CMvRCParam* Learn(TestParamSet& set, DWORD id, int cc)
    {
        IRCParam* rc = nullptr;
        EXPECT_EQ(S_OK, set.CreateRCParam(id, &rc));
        auto* param = static_cast<CMvRCParam*>(rc);
        param->Msg().m_kind = 0;
        param->Msg().m_controllerA = static_cast<WORD>(cc);
        param->Msg().m_maxValue = 127;
        EXPECT_EQ(S_OK, set.AssignRCParam(id, rc, nullptr));
        return param;
    }

    CTimer timer{10};
    CMidiInputRouter router{nullptr};
    RCDocument doc{&timer, &router};
    TestParamSet set{&doc};
};

TEST_F(RCParamTest, ALearnedControllerMovesItsParameterInOneTouch)
{
    const DWORD first = set.AddOwnControls(4);
    CMvRCParam* param = Learn(set, first + 2, 74);
    EXPECT_EQ(static_cast<LONG>(first + 2), param->GetTargetId());

    // A stream of values: each moves the parameter, one touch stays open.
    for (int v : {0, 32, 64, 127}) {
        EXPECT_EQ(1, router.OnShortMsg(Msg(0xB5, 74, v), 0, 0)) << "consumed";
        float value = -1;
        ASSERT_EQ(S_OK, set.GetParamValue(first + 2, &value));
        EXPECT_FLOAT_EQ(v / 127.0f, value);
    }
    EXPECT_EQ(4u, set.userChanges.size()) << "values arrive as user changes, which the recorder hears";
    BOOL touched = FALSE;
    ASSERT_EQ(S_OK, set.GetParamTouchState(first + 2, &touched, nullptr, nullptr));
    EXPECT_TRUE(touched);
    EXPECT_TRUE(param->IsInGesture());
    // The touch ends a second after the last value, not after the first.
    const DWORD now = timeGetTime();
    EXPECT_TRUE(param->IsRegistered());
    EXPECT_LE(static_cast<LONG>(param->GetDueTime() - now), 1000);
    EXPECT_GE(static_cast<LONG>(param->GetDueTime() - now), 900);

    param->OnTimer();  // what the timer does when the second is over
    EXPECT_FALSE(param->IsInGesture());
    ASSERT_EQ(S_OK, set.GetParamTouchState(first + 2, &touched, nullptr, nullptr));
    EXPECT_FALSE(touched);
    EXPECT_EQ(0, router.OnShortMsg(Msg(0xB5, 75, 1), 0, 0)) << "other controllers pass through";
}

TEST_F(RCParamTest, AssignmentsSaveAndLoadWithTheirMessagesRegistered)
{
    const DWORD first = set.AddOwnControls(4);
    for (int i = 0; i < 3; ++i)
        Learn(set, first + i, 20 + i);
    CUndoHistory::Instance().Clear();
    const std::vector<BYTE> saved = SaveBytes(set);

    CMidiInputRouter fresh{nullptr};
    RCDocument otherDoc{&timer, &fresh};
    TestParamSet loaded(&otherDoc);
    loaded.AddOwnControls(4);
    ASSERT_EQ(S_OK, LoadBytes(loaded, saved));
    EXPECT_EQ(saved, SaveBytes(loaded));
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(1, fresh.OnShortMsg(Msg(0xB0, 20 + i, 127), 0, 0)) << "assignment " << i << " is registered";
        float value = 0;
        ASSERT_EQ(S_OK, loaded.GetParamValue(first + i, &value));
        EXPECT_FLOAT_EQ(1.0f, value);
    }
}

TEST_F(RCParamTest, UnassigningTakesTheMessageOffTheRouterAndUndoBringsItBack)
{
    const DWORD first = set.AddOwnControls(2);
    Learn(set, first, 30);
    EXPECT_EQ(1, router.OnShortMsg(Msg(0xB0, 30, 1), 0, 0));
    ASSERT_EQ(S_OK, set.UnassignRCParam(first, nullptr));
    EXPECT_EQ(0, router.OnShortMsg(Msg(0xB0, 30, 1), 0, 0));
    ASSERT_EQ(S_OK, CUndoHistory::Instance().Undo());
    EXPECT_EQ(1, router.OnShortMsg(Msg(0xB0, 30, 1), 0, 0));
}

}  // namespace
