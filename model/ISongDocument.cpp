#include "model/ISongDocument.h"

#include <atomic>

namespace {

std::atomic<ISongDocument*> g_songDocument{nullptr};

}  // namespace

ISongDocument* GetSongDocument() { return g_songDocument.load(std::memory_order_acquire); }

void SetSongDocument(ISongDocument* document) { g_songDocument.store(document, std::memory_order_release); }
