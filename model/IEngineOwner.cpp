#include "model/IEngineOwner.h"

#include <atomic>

namespace {

std::atomic<IEngineOwner*> g_engineOwner{nullptr};

}  // namespace

IEngineOwner* GetEngineOwner() { return g_engineOwner.load(std::memory_order_acquire); }

void SetEngineOwner(IEngineOwner* owner) { g_engineOwner.store(owner, std::memory_order_release); }
