#include "platform/ipc/IpcName.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace mvipc {

namespace {

// Semaphore names carry a 4-character prefix of the system's own within
// NAME_MAX (255).
constexpr std::size_t kMaxName = 250;

void AppendSafe(std::string& out, const char* text)
{
    for (const char* p = text; *p; ++p) {
        const char c = *p;
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                          c == '_' || c == '.';
        out += safe ? c : '_';
    }
}

}  // namespace

std::string PosixName(const char* kind, const char* name)
{
    if (!name || !*name)
        return {};
    std::string out = "/mv.";
    const char* ns = std::getenv("MORVANE_IPC_NAMESPACE");
    if (ns && *ns)
        AppendSafe(out, ns);
    else
        out += "u" + std::to_string(static_cast<unsigned long>(getuid()));
    out += '.';
    out += kind;
    out += '.';
    AppendSafe(out, name);
    if (out.size() > kMaxName)
        return {};
    return out;
}

}  // namespace mvipc
