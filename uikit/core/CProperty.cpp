#include "uikit/core/CProperty.h"

bool CProperty::GetLimits(CProperty** minimum, CProperty** maximum) const
{
    if (minimum != nullptr)
        *minimum = nullptr;
    if (maximum != nullptr)
        *maximum = nullptr;
    return false;
}
