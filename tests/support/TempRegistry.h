// A registry of the test's own: a temporary folder the hives live in,
// pointed at for as long as the object lives. The hives are loaded afresh
// on the way in and reloaded on the way out, before the folder goes, so no
// test sees another's settings or the user's.
#pragma once

#include <string>

#include "tests/support/TempDir.h"

namespace mvtest {

class TempRegistry {
public:
    TempRegistry();
    ~TempRegistry();
    TempRegistry(const TempRegistry&) = delete;
    TempRegistry& operator=(const TempRegistry&) = delete;

    const std::string& Path() const { return m_dir.Path(); }

private:
    TempDir m_dir;
};

}  // namespace mvtest
