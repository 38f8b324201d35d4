// The program's settings as the running program reads them, in a registry
// of the test's own: the application key and profile are set for as long
// as the object lives and cleared before the registry goes.
#pragma once

#include <string>

#include "tests/support/TempRegistry.h"

namespace mvtest {

class TempProfile {
public:
    TempProfile();
    ~TempProfile();
    TempProfile(const TempProfile&) = delete;
    TempProfile& operator=(const TempProfile&) = delete;

    const std::string& Path() const { return m_registry.Path(); }

private:
    TempRegistry m_registry;
};

}  // namespace mvtest
