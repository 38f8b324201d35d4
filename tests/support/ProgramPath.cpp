#include "tests/support/ProgramPath.h"

#include <unistd.h>

#include <climits>
#include <filesystem>

namespace mvtest {

std::string ProgramFile()
{
    char buf[PATH_MAX];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf);
    return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
}

std::string ProgramDir()
{
    return std::filesystem::path(ProgramFile()).parent_path().string();
}

}  // namespace mvtest
