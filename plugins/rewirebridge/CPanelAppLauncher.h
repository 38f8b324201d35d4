// The editors of the ReWire devices that do not start their own panel
// application: for a device of kind 8 whose name begins with one of a few
// known names, the bridge starts the editor itself, found through the
// folder that the device's registry entry ("Device Path" under the machine's
// ReWire key) names.
//
// Threads: the host's control thread, under the bridge's locks.
#pragma once

#include <string>

#include "platform/win/WinTypes.h"

namespace mvrewire {

class CPanelAppLauncher {
public:
    static constexpr int kEditorDeviceKind = 8;

    // Whether the bridge starts the editor of this device itself.
    static bool StartsEditor(const char* deviceName, int kind);
    // Starts the device's editor: the first file in the folder of the
    // device's registered path that matches the editor's pattern, with
    // that folder as its working folder. E_FAIL when the entry, the folder
    // or the file is missing or it does not start.
    static HRESULT Launch(const char* deviceName);

private:
    struct Editor {
        const char* prefix;
        const char* subkey;
        const char* pattern;
    };
    static const Editor* Find(const char* deviceName);
    static std::string FirstMatch(const std::string& folder, const char* pattern);
};

}  // namespace mvrewire
