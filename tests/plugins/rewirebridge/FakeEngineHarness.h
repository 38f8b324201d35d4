// The harness over the stand-in engine library of fake/, whose device has a
// stereo pair and a lone channel and names its MIDI channels and notes; the
// test reaches the library the bridge loaded through its extra entry points.
#pragma once

#include <dlfcn.h>

#include "tests/plugins/rewirebridge/PlenthHarness.h"

namespace plenthtest {

struct FakeEngineHarness : PlenthHarness {
    void SetUp() override
    {
        PlenthHarness::SetUp();
        engine = MVTEST_FAKE_ENGINE;
        deviceName = "Fake Device";
    }
    // The engine library the bridge loaded, reached by the same file.
    template <typename F>
    F* Fake(const char* name)
    {
        if (!library)
            library = dlopen(folder.File("ReWire.so").c_str(), RTLD_NOW | RTLD_NOLOAD);
        return library ? reinterpret_cast<F*>(dlsym(library, name)) : nullptr;
    }
    void TearDown() override
    {
        PlenthHarness::TearDown();
        if (library)
            dlclose(library);
    }
    void* library = nullptr;
};

}  // namespace plenthtest
