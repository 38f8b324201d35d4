#include "engine/RecorderMaker.h"

#include <atomic>

namespace {

// Constant-initialised, so a maker installed by another library's static
// initialiser is never overwritten by this one's.
constinit std::atomic<RecorderMaker> g_maker{nullptr};

}  // namespace

void SetRecorderMaker(RecorderMaker make) { g_maker.store(make); }

RecorderMaker GetRecorderMaker() { return g_maker.load(); }
