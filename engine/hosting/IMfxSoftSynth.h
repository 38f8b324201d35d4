// A soft synth as its host drives it: connection to the host's services,
// the transport, the events and MIDI of each span, and its name lists.
// The second version adds the instrument of a channel.
#pragma once

#include "engine/hosting/IMfxNameList.h"
#include "model/Mfx.h"

MV_DEFINE_GUID(IID_IMfxSoftSynth, 0x5BBDF239, 0x3046, 0x4DAA, 0x8A, 0xDD, 0x3B, 0x93, 0x73, 0x54, 0x5B, 0x74);
MV_DEFINE_GUID(IID_IMfxSoftSynth2, 0x6E88453F, 0x4A85, 0x4159, 0xB6, 0x58, 0x88, 0xC4, 0x3D, 0x28, 0x82, 0x87);

struct IMfxSoftSynth : IUnknown {
    // UI thread: the synth takes over the reference to `host`.
    STDMETHOD(Connect)(IUnknown* host) = 0;
    STDMETHOD(Disconnect)() = 0;
    STDMETHOD(Start)(LONG time) = 0;
    STDMETHOD(AdvanceTime)(LONG from, LONG to) = 0;
    STDMETHOD(Stop)() = 0;
    // Audio thread.
    STDMETHOD(SendEvents)(LONG from, LONG thru, DWORD source, IMfxEventQueue* queue) = 0;
    STDMETHOD(SendMidi)(DWORD source, IMfxDataQueue* queue) = 0;
    STDMETHOD(GetBankMethods)(DWORD** methods, LONG* count) = 0;
    STDMETHOD(IsSpecialPatch)(LONG bank, LONG patch) = 0;
    STDMETHOD(IsValidPatch)(LONG bank, LONG patch) = 0;
    STDMETHOD(GetPatchNames)(LONG bank, IMfxNameList** list) = 0;
    STDMETHOD(GetNoteNames)(LONG bank, LONG patch, IMfxNameList** list) = 0;
    STDMETHOD(GetControllerNames)(IMfxNameList** list) = 0;
    STDMETHOD(GetRpnNames)(IMfxNameList** list) = 0;
    STDMETHOD(GetNrpnNames)(IMfxNameList** list) = 0;
};

struct IMfxSoftSynth2 : IMfxSoftSynth {
    STDMETHOD(GetInstrument)(IUnknown** instrument) = 0;
};
