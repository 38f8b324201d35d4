// Paths of files beside a module: the folder the program or a plug-in was
// loaded from, or a file in it. Paths are '/'-separated.
#pragma once

#include "platform/win/Module.h"

// Puts the module's folder in `buffer` (without a trailing '/', except for
// the root "/"), or with `fileName` the path of that file in the folder.
// False when the module's file name is not known or does not fit, or when
// path + name + 1 exceeds the buffer size.
bool BuildModulePath(HINSTANCE module, char* buffer, int bufferSize, const char* fileName);

// The second half of BuildModulePath on a full file name already in `path`:
// the name after the last '/' is replaced by `fileName` (the whole text when
// there is no '/'), or without a file name cut off. Any path will do, so the
// cases are checkable without a module in each place.
bool EditModulePath(char* path, int bufferSize, const char* fileName);
