#include "model/IEngineServices.h"

#include <atomic>

namespace {

std::atomic<IEngineServices*> g_engineOwner{nullptr};

}  // namespace

IEngineServices* GetEngineServices() { return g_engineOwner.load(std::memory_order_acquire); }

void SetEngineServices(IEngineServices* owner) { g_engineOwner.store(owner, std::memory_order_release); }
