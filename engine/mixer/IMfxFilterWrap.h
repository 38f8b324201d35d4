// A MIDI-effect plug-in wrapper as a MIDI-effect chain holds it: the
// plug-in's event filter (null while the plug-in is not loaded), its display
// name, a clone for copies, and its saved form. The plug-in hosting layer's
// wrapper implements it; destroying one unloads its plug-in.
// UI thread, except the event filter, which playback calls.
#pragma once

#include "engine/mixer/IMfxEventFilter.h"
#include "model/CUndoPtrTraits.h"
#include "platform/com/Persist.h"
#include "platform/win/CString.h"

class IMfxFilterWrap {
public:
    // Unloads the plug-in instance, then frees the wrapper.
    virtual ~IMfxFilterWrap() = default;
    // No reference added; null while the plug-in is not loaded.
    // Audio thread: no allocation, no blocking.
    virtual IMfxEventFilter* GetEventFilter() = 0;
    virtual CString GetDisplayName() = 0;
    // The same plug-in with copied state and name; a negative HRESULT when
    // it cannot be made.
    virtual HRESULT Clone(IMfxFilterWrap** clone) = 0;
    virtual IPersistStreamInit* GetPersist() = 0;
};

// S_OK; the wrapper is never null.
inline HRESULT DestroyPlugInWrap(IMfxFilterWrap* wrap)
{
    delete wrap;
    return S_OK;
}

template <>
struct CUndoPtrTraits<IMfxFilterWrap> {
    static void Destroy(IMfxFilterWrap* p) { DestroyPlugInWrap(p); }
};
