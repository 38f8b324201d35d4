// A plug-in class of the kind in place: one pin pair, the plug-in processes each buffer where it lies. The plug-in hands one to
// CActiveMovieManager::AddFactory; the library wraps what it makes in a
// filter. A plain interface, living as long as the plug-in is loaded.
#pragma once

#include "platform/com/Unknown.h"

class IInPlaceFactory {
public:
    virtual const CLSID* GetClassId() = 0;
    virtual const WCHAR* GetName() = 0;
    // A new processing object with one reference; null when there is none.
    virtual IUnknown* CreateProcessor() = 0;

protected:
    ~IInPlaceFactory() = default;
};
