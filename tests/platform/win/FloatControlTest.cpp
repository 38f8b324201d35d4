#include "platform/win/FloatControl.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

// A host masks every exception before it calls into a plug-in: afterwards
// a division by zero gives infinity instead of a trap.
TEST(FloatControlTest, MaskingEveryExceptionIsReadBackAndArithmeticGoesOn)
{
    const unsigned int before = _control87(0, 0);
    EXPECT_EQ(_MCW_EM, _control87(0x8001F, 0x8001F));
    volatile float zero = 0.0f;
    EXPECT_TRUE(std::isinf(1.0f / zero));
    // Unmasking one bit shows in the word; masking it again restores it.
    EXPECT_EQ(_MCW_EM & ~_EM_OVERFLOW, _control87(0, _EM_OVERFLOW));
    EXPECT_EQ(_MCW_EM, _control87(_EM_OVERFLOW, _EM_OVERFLOW));
    _control87(before, _MCW_EM);
}

}  // namespace
