// A plug-in class of the kind buffer to buffer: the plug-in reads the input buffer and writes a separate output buffer. The plug-in hands one to
// CActiveMovieManager::AddFactory; the library wraps what it makes in a
// filter. A plain interface, living as long as the plug-in is loaded.
#pragma once

#include "platform/com/Unknown.h"

class IBufToBufFactory {
public:
    virtual const CLSID* GetClassId() = 0;
    virtual const WCHAR* GetName() = 0;
    // A new processing object with one reference; null when there is none.
    virtual IUnknown* CreateProcessor() = 0;

protected:
    ~IBufToBufFactory() = default;
};
