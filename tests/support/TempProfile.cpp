#include "tests/support/TempProfile.h"

#include "platform/registry/Profile.h"

namespace mvtest {

TempProfile::TempProfile()
{
    SetRegistryKey("Varnholt Music Software\\Morvane");
    SetProfileName("1.0");
}

TempProfile::~TempProfile()
{
    SetRegistryKey(nullptr);
    SetProfileName(nullptr);
}

}  // namespace mvtest
