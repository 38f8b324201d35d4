// Where the running test program lives, as the program itself reads it.
#pragma once

#include <string>

namespace mvtest {

// The running program's file, or an empty text when it cannot be read.
std::string ProgramFile();
// The folder holding the running program.
std::string ProgramDir();

}  // namespace mvtest
