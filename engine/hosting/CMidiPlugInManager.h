// The list of installed MIDI-effect plug-ins: the subkeys of
// HKEY_LOCAL_MACHINE "Software\Varnholt Music Software\MIDI Filters", each
// named by a braced class id, named from their COM registration, with help
// texts from HKEY_CLASSES_ROOT "VarnholtPlugIns\{...}". A plug-in that cannot
// be read, has no registered name or is excluded is left out; the list as a
// whole never fails. One process-wide instance.
//
// UI thread only.
#pragma once

#include "engine/hosting/CPlugInManager.h"
#include "platform/win/Guid.h"

MV_DEFINE_GUID(CATID_MidiEffect, 0x8D7FDE01, 0x1B1B, 0x11D2, 0xA8, 0xE0, 0x00, 0x00, 0xA0, 0x09, 0x0D, 0xAF);

// A MIDI effect: its category id in the interface slot, its help topic
// (-1 when it has none) as the extra value.
class CRegMfxPlugIn : public CRegPlugIn {
public:
    CRegMfxPlugIn(REFCLSID clsid, const std::string& name, std::string description, std::string helpFilePath,
                  DWORD helpTopic);
};

class CMidiPlugInManager : public CPlugInManager {
public:
    BOOL Enumerate() override;
    UINT GetTitleStringId() const override;
    // The "Mfx" pop-up in place of the "MIDI PLUGIN" item.
    void AddToMenu(CMenuModel& menu, UINT firstCommandId) override;

    // Plug-ins that are never listed, whatever the registry holds.
    static bool IsFixedExclusion(REFCLSID clsid);
};

CMidiPlugInManager* GetMidiPlugInManager();
void ReleaseMidiPlugInManager();
