// A soft synth's instrument as its host reads it (IMfxSoftSynth2::
// GetInstrument): its name, its bank list and the name lists of its banks,
// patches, notes and controllers. UI thread.
#pragma once

#include "engine/hosting/IMfxNameList.h"

MV_DEFINE_GUID(IID_IMfxInstrument, 0x2AC171DF, 0x81E3, 0x496C, 0xBA, 0x7A, 0x92, 0xEF, 0x10, 0xB4, 0x17, 0xD9);

struct IMfxInstrument : IUnknown {
    STDMETHOD(GetName)(char* buffer, LONG size) = 0;
    // The bank numbers, in a task-memory array the caller frees.
    STDMETHOD(GetBankMethods)(DWORD** banks, LONG* count) = 0;
    STDMETHOD(IsSpecialPatch)(LONG bank, LONG patch) = 0;
    STDMETHOD(IsValidPatch)(LONG bank, LONG patch) = 0;
    STDMETHOD(GetPatchNames)(LONG bank, IMfxNameList** list) = 0;
    STDMETHOD(GetNoteNames)(LONG bank, LONG patch, IMfxNameList** list) = 0;
    STDMETHOD(GetControllerNames)(IMfxNameList** list) = 0;
    STDMETHOD(GetRpnNames)(IMfxNameList** list) = 0;
    STDMETHOD(GetNrpnNames)(IMfxNameList** list) = 0;
};
