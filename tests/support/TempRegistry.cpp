#include "tests/support/TempRegistry.h"

#include <stdlib.h>

#include "platform/registry/Registry.h"

namespace mvtest {

TempRegistry::TempRegistry()
{
    setenv("MORVANE_REGISTRY", m_dir.Path().c_str(), 1);
    mvreg::ReloadHives();
}

TempRegistry::~TempRegistry()
{
    mvreg::ReloadHives();
}

}  // namespace mvtest
