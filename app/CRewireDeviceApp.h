// The program as a ReWire device of another host, run without windows: the
// host's engine starts it with the panel switch while the bridge's mailslot,
// shared block and events stand. It brings up the settings and the engine in
// device mode, opens the song (the file on its command line; else
// "AUTORUN.MVP" beside the program; else "TEMPLATE.MVT" there as a new
// song; else an empty one), and then plays it through the device back-end as
// the host drives it: every 40 ms a tick, every fifth of which (re)opens the
// device and rebuilds the song's graph when the engine asks for it, as the
// main frame's timer does. It ends when asked to (SIGTERM or SIGINT: the
// host's engine closes the device that way) or when the bridge's mailslot
// has gone with its host, and then lets the device go first (the worker
// ends, the stop record goes to the host, the shared objects are closed),
// then the song, the engine and the settings.
//
// Threads: Run on the UI thread (the program's main thread).
#pragma once

#include "app/CMvCommandLineInfo.h"

class CRewireDeviceApp {
public:
    static constexpr unsigned kTickMs = 40;
    static constexpr int kTicksPerReset = 5;

    // Whether the program starts as a device: the bridge's mailslot can be
    // opened for writing, or the command line carries the panel switch.
    static bool IsDeviceMode(const CMvCommandLineInfo& commandLine);

    // The exit code: 0 after a run that ended as asked, 1 when the engine or
    // the song could not be brought up.
    int Run(const CMvCommandLineInfo& commandLine);
};
