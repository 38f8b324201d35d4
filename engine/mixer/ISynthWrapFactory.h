// Where a channel gets a new soft-synth wrapper: the plug-in hosting layer
// makes it for a class in the engine's graph. The channel never names the
// hosting layer's wrapper class. UI thread.
#pragma once

#include "engine/mixer/ISynthWrap.h"

class ISynthWrapFactory {
public:
    // A new wrapper for the class with the name; S_FALSE with a wrapper
    // that holds no plug-in when the plug-in could not be made, a negative
    // result and no wrapper when none could be made at all. The no-synth
    // class id without a name gives an empty wrapper to be loaded from a
    // saved project.
    virtual HRESULT CreateSynthWrap(REFCLSID clsid, const char* name, ISynthWrap** wrap) = 0;

protected:
    ~ISynthWrapFactory() = default;
};
