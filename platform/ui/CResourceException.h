// Thrown when a window resource (a window class, a bitmap) cannot be made.
#pragma once

#include <stdexcept>

class CResourceException : public std::runtime_error {
public:
    CResourceException() : std::runtime_error("a window resource could not be created") {}
};

[[noreturn]] inline void AfxThrowResourceException()
{
    throw CResourceException();
}
