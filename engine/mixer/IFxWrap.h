// An audio-effect plug-in wrapper as an effect chain holds it: the plug-in
// filter (null while the plug-in is not loaded), the wrapper's own merge
// switch (2 inputs, 2 outputs) that carries the path around the effect, the
// effect's bypass, connectable and placeholder flags, the key of its
// parameter group, its name, its saved form, a clone for copies, and the
// transport calls of effects that also speak the soft-synth interface. The
// plug-in hosting layer's wrapper implements it; destroying one unloads its
// plug-in. UI thread.
#pragma once

#include "engine/graph/CMergeSwitch.h"
#include "model/CUndoPtrTraits.h"
#include "platform/com/Persist.h"
#include "platform/win/CString.h"

class IFxWrap {
public:
    // Unloads the plug-in instance, then frees the wrapper.
    virtual ~IFxWrap() = default;
    // No reference added; null while the plug-in is not loaded.
    virtual IBaseFilter* GetFilter() = 0;
    // The wrapper's own switch, no reference added; null when it has none.
    virtual CMergeSwitch* GetSwitch() = 0;
    // Creates the instance from the stored class and state; E_UNEXPECTED
    // when it is loaded already.
    virtual HRESULT Load() = 0;
    // Saves the plug-in's state in the wrapper and releases the instance.
    virtual HRESULT Unload() = 0;
    virtual BOOL IsBypassed() = 0;
    // Stores the flag and routes the wrapper's switch around the effect
    // (output 1, join input 0) or through it (output 0, no join, resume);
    // E_FAIL without switch.
    virtual HRESULT SetBypass(BOOL bypass) = 0;
    // Cleared by a chain when the effect failed to connect.
    virtual BOOL IsConnectable() = 0;
    virtual void SetConnectable(BOOL connectable) = 0;
    // Set when the plug-in could not be created as the project was loaded.
    virtual BOOL IsPlaceholder() = 0;
    // Together the key of the effect's parameter group.
    virtual GUID GetClsid() = 0;
    virtual GUID GetInstanceGuid() = 0;
    // The display name, in "(%s)" while the instance is not loaded.
    virtual CString GetDisplayName() = 0;
    // The same plug-in with copied state, bypass flag and name; a negative
    // HRESULT when it cannot be made.
    virtual HRESULT Clone(IFxWrap** clone) = 0;
    virtual IPersistStreamInit* GetPersist() = 0;
    // The soft-synth transport of effects that have one; S_FALSE and
    // nothing done for a plain effect.
    virtual HRESULT SynthStart(LONGLONG time) = 0;
    virtual HRESULT SynthAdvance(LONGLONG from, LONGLONG to) = 0;
    virtual HRESULT SynthStop(LONGLONG time) = 0;
};

// S_OK; the wrapper is never null.
inline HRESULT DestroyPlugInWrap(IFxWrap* wrap)
{
    delete wrap;
    return S_OK;
}

template <>
struct CUndoPtrTraits<IFxWrap> {
    static void Destroy(IFxWrap* p) { DestroyPlugInWrap(p); }
};
