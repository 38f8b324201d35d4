// A plug-in's property page class: the library wraps it in a property
// page. A plain interface, living as long as the plug-in is loaded.
#pragma once

#include "platform/com/Unknown.h"

class IPropPageFactory {
public:
    virtual const CLSID* GetClassId() = 0;
    virtual const WCHAR* GetName() = 0;

protected:
    ~IPropPageFactory() = default;
};
