#include "uikit/core/ModulePath.h"

#include <cstring>

bool BuildModulePath(HINSTANCE module, char* buffer, int bufferSize, const char* fileName)
{
    if (!buffer || bufferSize <= 0)
        return false;
    DWORD length = GetModuleFileNameA(module, buffer, static_cast<DWORD>(bufferSize));
    // A name cut to the buffer would give a wrong folder, not a short one.
    if (length == 0 || length >= static_cast<DWORD>(bufferSize)) {
        buffer[0] = '\0';
        return false;
    }
    return EditModulePath(buffer, bufferSize, fileName);
}

bool EditModulePath(char* path, int bufferSize, const char* fileName)
{
    char* slash = std::strrchr(path, '/');
    if (fileName) {
        std::size_t nameLength = std::strlen(fileName);
        if (std::strlen(path) + nameLength + 1 > static_cast<std::size_t>(bufferSize))
            return false;
        std::memcpy(slash ? slash + 1 : path, fileName, nameLength + 1);
    } else if (!slash) {
        path[0] = '\0';
    } else {
        slash[slash == path ? 1 : 0] = '\0';
    }
    return true;
}
