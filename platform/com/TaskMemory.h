// Task memory: blocks handed across component lines (a stream's name in
// STATSTG, strings a plug-in returns) are allocated here and freed by the
// receiver, whichever library either side lives in. Any thread.
#pragma once

#include <cstddef>

// Never null for a zero size unless memory is exhausted.
void* CoTaskMemAlloc(std::size_t bytes);
// A null block allocates; a zero size frees the block and returns null.
// On failure the old block stays valid and null is returned.
void* CoTaskMemRealloc(void* block, std::size_t bytes);
// Null is allowed.
void CoTaskMemFree(void* block);
