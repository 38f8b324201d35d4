// What a filter factory tells the registry about its plug-in: the maker's
// category key holds these three values. A plain interface, implemented by
// the plug-in and living as long as the plug-in is loaded.
//
// A filter factory object is laid out as its kind's interface followed by
// this one (class F : public IInPlaceFactory, public IPlugInRegInfo): the
// library finds it at the factory's second interface pointer.
#pragma once

#include "platform/win/WinTypes.h"

class IPlugInRegInfo {
public:
    virtual const char* GetDescription() = 0;
    virtual const char* GetHelpFilePath() = 0;
    virtual DWORD GetHelpTopic() = 0;

protected:
    ~IPlugInRegInfo() = default;
};

// The registration information of a filter factory laid out as above.
inline IPlugInRegInfo* RegInfoOfFilterFactory(void* factory)
{
    return reinterpret_cast<IPlugInRegInfo*>(static_cast<char*>(factory) + sizeof(void*));
}
