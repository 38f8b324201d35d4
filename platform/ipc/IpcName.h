// Names of the objects that processes share (mailslots, file mappings,
// named events) as the system's POSIX objects carry them. POSIX names are
// global to the machine, so each name is placed in a namespace: the value
// of MORVANE_IPC_NAMESPACE when set (tests give each run its own), else one
// per user. Both ends of a protocol must see the same namespace, which a
// child process does by inheriting the environment.
#pragma once

#include <string>

namespace mvipc {

// "/mv.<namespace>.<kind>.<name>", with every character of `name` that a
// POSIX name cannot hold replaced; empty when `name` is null, empty or too
// long for the system.
std::string PosixName(const char* kind, const char* name);

}  // namespace mvipc
