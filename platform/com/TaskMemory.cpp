#include "platform/com/TaskMemory.h"

#include <cstdlib>

void* CoTaskMemAlloc(std::size_t bytes)
{
    return std::malloc(bytes ? bytes : 1);
}

void* CoTaskMemRealloc(void* block, std::size_t bytes)
{
    if (!block)
        return CoTaskMemAlloc(bytes);
    if (bytes == 0) {
        std::free(block);
        return nullptr;
    }
    return std::realloc(block, bytes);
}

void CoTaskMemFree(void* block)
{
    std::free(block);
}
