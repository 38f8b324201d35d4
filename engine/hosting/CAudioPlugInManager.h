// The list of installed audio effects: the filters that the filter mapper
// knows to take and give audio, then the DMOs of the audio-effect category,
// less the filters that are not effects (converters, renderers, splitters,
// the engine's own), the soft synths (listed by their own manager) and what
// the user excluded. Texts for help come from the maker's registry category
// HKEY_CLASSES_ROOT "VarnholtPlugIns". One process-wide instance.
//
// UI thread only.
#pragma once

#include "engine/hosting/CPlugInManager.h"

// An audio effect: created through the filter interface.
class CRegAudioPlugIn : public CRegPlugIn {
public:
    CRegAudioPlugIn(REFCLSID clsid, const std::string& name, std::string description, std::string helpFilePath);
};

class CAudioPlugInManager : public CPlugInManager {
public:
    BOOL Enumerate() override;
    UINT GetTitleStringId() const override;
    // The "Effects" pop-up in place of the "AUDIO PLUGIN" item.
    void AddToMenu(CMenuModel& menu, UINT firstCommandId) override;

    // The name an effect is listed under: a maker's "Varnholt ... Stereo ..."
    // name moves "Stereo" to the end in brackets.
    static std::string ListedName(const std::string& name);
    // Filters that take and give audio but are never offered as effects.
    static bool IsFixedExclusion(REFCLSID clsid);
};

// The process-wide list, created on first use; null when it cannot be made.
CAudioPlugInManager* GetAudioPlugInManager();
// Destroys the process-wide list (at exit).
void ReleaseAudioPlugInManager();
