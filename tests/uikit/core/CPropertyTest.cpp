#include "uikit/core/CProperty.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "uikit/core/CPropBool.h"
#include "uikit/core/CPropDBFine.h"
#include "uikit/core/CPropHMSF.h"
#include "uikit/core/CPropInt.h"
#include "uikit/core/CPropIntFix100.h"
#include "uikit/core/CPropIntVar.h"
#include "uikit/core/CPropMBT.h"
#include "uikit/core/CPropPan.h"
#include "uikit/core/CPropPitch.h"
#include "uikit/core/CPropText.h"
#include "uikit/core/CPropTime.h"

#include "FakeSeqUI.h"

namespace {

struct Kind {
    const char* name;
    std::function<CProperty*()> make;
    bool canStep, hasLimits, isTime, isText, isPitch;
};

// What every property answers the grid and the editors that never look at
// its type.
TEST(CPropertyTest, EveryKindAnswersItsFlagsClonesAndCopiesOnlyItsOwnKind)
{
    static FakeSeqUI seq;
    static const LONG t = 960, lo = 0, hi = 96000;
    const Kind kinds[] = {
        {"bool", [] { return new CPropBool(true); }, true, true, false, false, false},
        {"int", [] { return new CPropInt(5, 0, 10); }, true, true, false, false, false},
        {"time", [] { return new CPropTime(&seq, 960, 0, 96000); }, true, false, true, false, false},
        {"mbt", [] { return new CPropMBT(&seq, &t, &lo, &hi); }, true, false, true, false, false},
        {"hmsf", [] { return new CPropHMSF(&seq, 1920, 0, 96000); }, true, false, true, false, false},
        {"text", [] { return new CPropText("abc", 8); }, false, false, false, true, false},
        {"pitch", [] { return new CPropPitch(61, 1); }, true, false, false, false, true},
        {"fix100", [] { return new CPropIntFix100(-5, -100, 100); }, true, true, false, false, false},
        {"intvar", [] { return new CPropIntVar(1500, 0, 9000, 3); }, true, true, false, false, false},
        {"dbfine", [] { return new CPropDBFine(-6.5); }, true, true, false, false, false},
        {"pan", [] { return new CPropPan(-25.0); }, true, true, false, false, false},
    };
    for (const Kind& k : kinds) {
        std::unique_ptr<CProperty> p(k.make());
        EXPECT_EQ(p->CanStep(), k.canStep) << k.name;
        EXPECT_EQ(p->IsTime(), k.isTime) << k.name;
        EXPECT_EQ(p->IsText(), k.isText) << k.name;
        EXPECT_EQ(p->IsPitch(), k.isPitch) << k.name;
        CProperty* mn = reinterpret_cast<CProperty*>(1);
        CProperty* mx = reinterpret_cast<CProperty*>(1);
        EXPECT_EQ(p->GetLimits(&mn, &mx), k.hasLimits) << k.name;
        EXPECT_EQ(mn != nullptr, k.hasLimits) << k.name;
        EXPECT_EQ(mx != nullptr, k.hasLimits) << k.name;
        if (k.hasLimits) {
            delete mn;
            delete mx;
        }

        CString original, cloned, copied;
        p->FormatText(original);
        std::unique_ptr<CProperty> clone(p->Clone());
        clone->FormatText(cloned);
        EXPECT_EQ(cloned, original) << k.name;
        EXPECT_EQ(typeid(*clone), typeid(*p)) << k.name;
        std::unique_ptr<CProperty> fresh(k.make());
        fresh->HandleStepKey('[');
        ASSERT_TRUE(fresh->CopyFrom(p.get())) << k.name;
        fresh->FormatText(copied);
        EXPECT_EQ(copied, original) << k.name;
        for (const Kind& other : kinds) {
            if (&other == &k)
                continue;
            std::unique_ptr<CProperty> o(other.make());
            EXPECT_FALSE(fresh->CopyFrom(o.get())) << k.name << " from " << other.name;
        }
        EXPECT_FALSE(fresh->CopyFrom(nullptr)) << k.name;
        // Text written by a property reads back to the same text.
        std::unique_ptr<CProperty> reread(k.make());
        EXPECT_TRUE(reread->ParseText(original)) << k.name << " " << original.GetString();
        CString again;
        reread->FormatText(again);
        EXPECT_EQ(again, original) << k.name;
    }
}

}  // namespace
