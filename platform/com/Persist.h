// IPersist, IPersistStream and IPersistStreamInit.
#pragma once

#include "platform/com/Stream.h"

MV_DEFINE_GUID(IID_IPersist, 0x0000010c, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
MV_DEFINE_GUID(IID_IPersistStream, 0x00000109, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
MV_DEFINE_GUID(IID_IPersistStreamInit, 0x7FD52380, 0x4E07, 0x101B, 0xAE, 0x2D, 0x08, 0x00, 0x2B, 0x2E, 0xC7, 0x13);

struct IPersist : IUnknown {
    STDMETHOD(GetClassID)(CLSID* clsid) = 0;
};

struct IPersistStream : IPersist {
    STDMETHOD(IsDirty)() = 0;
    STDMETHOD(Load)(IStream* stream) = 0;
    STDMETHOD(Save)(IStream* stream, BOOL clearDirty) = 0;
    STDMETHOD(GetSizeMax)(ULARGE_INTEGER* size) = 0;
};

struct IPersistStreamInit : IPersist {
    STDMETHOD(IsDirty)() = 0;
    STDMETHOD(Load)(IStream* stream) = 0;
    STDMETHOD(Save)(IStream* stream, BOOL clearDirty) = 0;
    STDMETHOD(GetSizeMax)(ULARGE_INTEGER* size) = 0;
    STDMETHOD(InitNew)() = 0;
};
