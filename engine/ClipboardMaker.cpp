#include "engine/ClipboardMaker.h"

#include <atomic>

namespace {

// Constant-initialised, so a maker installed by another library's static
// initialiser is never overwritten by this one's.
constinit std::atomic<ClipboardMaker> g_maker{nullptr};

}  // namespace

void SetClipboardMaker(ClipboardMaker make) { g_maker.store(make); }

ClipboardMaker GetClipboardMaker() { return g_maker.load(); }
