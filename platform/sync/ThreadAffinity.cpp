#include "platform/sync/ThreadAffinity.h"

#include <cstdio>
#include <cstdlib>

namespace mv {

namespace {
thread_local ThreadRole t_role = ThreadRole::Unmarked;

const char* RoleName(ThreadRole role) {
    switch (role) {
    case ThreadRole::Audio: return "the audio thread";
    case ThreadRole::UI: return "the UI thread";
    case ThreadRole::MidiInput: return "the MIDI input thread";
    default: return "an unmarked thread";
    }
}
}  // namespace

void MarkCurrentThread(ThreadRole role) { t_role = role; }

ThreadRole CurrentThreadRole() { return t_role; }

ScopedThreadRole::ScopedThreadRole(ThreadRole role) : previous_(t_role) { t_role = role; }

ScopedThreadRole::~ScopedThreadRole() { t_role = previous_; }

void ThreadAffinityFailed(const char* expected, const char* function, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: %s belongs to %s but was called on %s\n", file, line, function,
                 expected, RoleName(t_role));
    std::fflush(stderr);
    std::abort();
}

}  // namespace mv
