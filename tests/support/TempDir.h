// A temporary folder that lives as long as the test, removed with its content.
// Tests that touch settings point the registry at one of these, so no test
// sees another's hive or the user's.
#pragma once

#include <string>

namespace mvtest {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

}  // namespace mvtest
