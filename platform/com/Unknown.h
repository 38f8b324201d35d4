// IUnknown and IClassFactory: the contract every object that crosses a
// library boundary keeps. Interfaces are pure virtual with no destructor in
// the vtable, so a plug-in built apart sees the same slot order.
#pragma once

#include "platform/win/WinTypes.h"

#include "platform/win/Guid.h"

MV_DEFINE_GUID(IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
MV_DEFINE_GUID(IID_IClassFactory, 0x00000001, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);

struct IUnknown {
    STDMETHOD(QueryInterface)(REFIID riid, void** ppv) = 0;
    STDMETHOD_(ULONG, AddRef)() = 0;
    STDMETHOD_(ULONG, Release)() = 0;
};

struct IClassFactory : IUnknown {
    STDMETHOD(CreateInstance)(IUnknown* outer, REFIID riid, void** ppv) = 0;
    STDMETHOD(LockServer)(BOOL lock) = 0;
};
