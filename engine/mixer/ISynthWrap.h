// A soft-synth plug-in wrapper as a channel holds it: its filter in the
// engine graph (made on demand), its plug-in, the key of its parameter
// group, its audio outputs, whether it plays loop clips (and the clip host
// it then offers), its name lists for the channel's controller parameters,
// and its saved form (which restores the plug-in it holds). The plug-in hosting layer's wrapper implements it;
// destroying one releases its plug-in. UI thread.
#pragma once

#include "engine/ILoopClipHost.h"
#include "engine/mixer/ISynthNameLists.h"
#include "engine/mixer/ISynthPlayer.h"
#include "model/CUndoPtrTraits.h"
#include "platform/com/Persist.h"
#include "platform/media/MediaInterfaces.h"
#include "platform/win/CString.h"

// {374D55B9-FF59-4C5D-8403-B7A0C25363E2}: the class that stands for "no
// synth": a channel of it has no wrapper, a wrapper of it no plug-in.
MV_DEFINE_GUID(CLSID_NoSynth, 0x374D55B9, 0xFF59, 0x4C5D, 0x84, 0x03, 0xB7, 0xA0, 0xC2, 0x53, 0x63, 0xE2);

class ISynthWrap {
public:
    virtual ~ISynthWrap() = default;
    // No reference added; null until CreateFilter.
    virtual IBaseFilter* GetFilter() = 0;
    virtual HRESULT CreateFilter() = 0;
    // The plug-in object, no reference added; null when none was made.
    virtual IUnknown* GetPlugIn() = 0;
    // The plug-in with its name lists; null with no plug-in.
    virtual ISynthNameLists* GetNameLists() = 0;
    // Together the key of the synth's parameter group.
    virtual GUID GetClsid() = 0;
    virtual GUID GetInstanceGuid() = 0;
    virtual BOOL IsLoopClipPlayer() = 0;
    // The clip host of a loop-clip player, no reference added; null for
    // any other synth.
    virtual ILoopClipHost* GetLoopClipHost() = 0;
    // The number of audio outputs the plug-in offers; at least 1.
    virtual int GetOutputCount() = 0;
    // Cleared by the channel when the synth failed to connect.
    virtual void SetConnected(BOOL connected) = 0;
    // The wrapper's saved form: a wrapper made empty is loaded from it.
    virtual IPersistStreamInit* GetPersist() = 0;
    virtual CString GetDisplayName() = 0;
    // Takes the filter out of the engine graph.
    virtual HRESULT RemoveFromGraph() = 0;
    // The synth as playback drives it, no reference added; null while the
    // wrapper offers no playback (the channel then sends nothing).
    virtual ISynthPlayer* GetPlayer() { return nullptr; }
};

inline HRESULT DestroyPlugInWrap(ISynthWrap* wrap)
{
    delete wrap;
    return S_OK;
}

template <>
struct CUndoPtrTraits<ISynthWrap> {
    static void Destroy(ISynthWrap* p) { DestroyPlugInWrap(p); }
};
