// The resource tests' stand-in plug-in (module/StringModule.cpp), opened from
// the build's bin folder with dlopen, as the COM loader opens plug-ins.
#pragma once

#include <dlfcn.h>

#include <cstdlib>
#include <string>

#include "platform/win/Module.h"

namespace mvtest {

class TestModule {
public:
    TestModule() : m_handle(dlopen(Path().c_str(), RTLD_NOW | RTLD_LOCAL)) {}
    ~TestModule() { Close(); }
    TestModule(const TestModule&) = delete;
    TestModule& operator=(const TestModule&) = delete;

    static std::string Path()
    {
        const char* bin = std::getenv("MORVANE_BIN");
        return std::string(bin ? bin : ".") + "/mvrestestmodule.so";
    }

    HINSTANCE Handle() const { return static_cast<HINSTANCE>(m_handle); }

    // Calls one of the module's exported functions that answer a module handle.
    HINSTANCE Call(const char* function) const
    {
        using Fn = HINSTANCE (*)();
        auto fn = m_handle ? reinterpret_cast<Fn>(dlsym(m_handle, function)) : nullptr;
        return fn ? fn() : nullptr;
    }
    // The handle the module registered its table under.
    HINSTANCE RegisteredHandle() const { return Call("ResTestModuleHandle"); }

    void Close()
    {
        if (m_handle)
            dlclose(m_handle);
        m_handle = nullptr;
    }

private:
    void* m_handle;
};

}  // namespace mvtest
