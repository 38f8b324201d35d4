// A relocation guard: for its scope the MIDI sync generator is stopped
// without closing its port, and at the end of the outermost guard it starts
// again when it ran before, sending the start sequence only when a setter
// marked a reposition. Guards nest; UI thread only.
#pragma once

class CMidiSyncGen;

class CMidiSyncGuard {
public:
    explicit CMidiSyncGuard(CMidiSyncGen* generator);
    ~CMidiSyncGuard();
    CMidiSyncGuard(const CMidiSyncGuard&) = delete;
    CMidiSyncGuard& operator=(const CMidiSyncGuard&) = delete;

    // The number of guards open in the process.
    static int OpenCount();

private:
    CMidiSyncGen* m_generator;
    bool m_wasRunning;
};
