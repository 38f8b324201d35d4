// The program's command line: the switch "/ReWirePanel" (any case), with
// which a ReWire host's engine starts the program as its device, and the
// project file to open. Every other parameter names that file; the last one
// counts. A path that begins with '/' is a file, not a switch: the switch is
// the one word the program knows.
#pragma once

#include <string>

class CMvCommandLineInfo {
public:
    // argv[0] is the program and is not read.
    void Parse(int argc, const char* const* argv);

    bool ReWirePanel() const { return m_rewirePanel; }
    // Empty when no file was named.
    const std::string& FileName() const { return m_fileName; }

private:
    bool m_rewirePanel = false;
    std::string m_fileName;
};
