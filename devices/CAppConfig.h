// The program's table of user options: 22 named values kept in the
// application profile's "Options" section, and three per-user folder
// settings (the MIDI and audio pattern folders and the metronome wave-file
// folder).
//
// One table exists for the whole run. The application object owns one
// CAppConfig, whose construction puts every option at its default; start-up
// calls Load once, right after the profile is set up, and exit calls Save
// once. Everything else reads and writes options through the static
// accessors, which work on the table in memory and never touch the
// registry: a change made during the run reaches the profile at exit.
// The folder setters are the exception: they store at once.
//
// Load reads the options first and then makes sure the pattern and metronome
// folders exist beside the program. A folder that cannot be created makes
// Load fail, but the options stay loaded: they are used for the run and
// Save still writes them at exit.
//
// Threads: the UI thread reads and writes (dialogs, start-up, the device
// reset); the ReWire-device worker reads "RewireDecimationMS" on the audio
// thread. Every integer is read and written whole; no lock is taken.
#pragma once

#include <memory>

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class CUserPath;

class CAppConfig {
public:
    // The longest text option, with its terminator.
    static constexpr int kTextSize = 80;

    CAppConfig();
    ~CAppConfig();
    CAppConfig(const CAppConfig&) = delete;
    CAppConfig& operator=(const CAppConfig&) = delete;

    // E_UNEXPECTED when already loaded (nothing read), or when a folder
    // could not be created (the options are loaded all the same).
    static HRESULT Load();
    // Writes every option to the profile and releases the folder settings.
    // E_UNEXPECTED, with nothing written, when not loaded.
    static HRESULT Save();

    // The program runs as a ReWire device of another host (set by the
    // application start-up): the device format getters answer 32 bits, mode 4.
    static void SetRewireDeviceMode(bool on);
    static bool IsRewireDeviceMode();

    static int GetNumSynthControls();
    static int GetNumFxControls();
    static int GetUndoDepth();
    static void SetUndoDepth(int depth);
    static int GetMidiInPortCount();
    static void SetMidiInPortCount(int count);
    // 2..350 ms: a stored value outside is clamped and written back. The
    // setter stores 2 below 1 and 350 above 350.
    static int GetBufferMsec();
    static void SetBufferMsec(int msec);
    // One of 11025, 22050, 44100, 48000, 88200, 96000; any other stored rate
    // becomes 44100 (written back). The setter stores 44100 for other rates.
    static int GetSampleRate();
    static void SetSampleRate(int rate);
    // 0 WDM, 1 DirectSound, 2 ASIO.
    static int GetDriverType();
    static void SetDriverType(int type);
    static int GetListMenuMax();
    static int GetMidiNoDeviceWarn();
    static void SetMidiNoDeviceWarn(int warn);
    // 32 and 4 in ReWire-device mode whatever is stored; the setters store as given.
    static int GetBitDepth();
    static void SetBitDepth(int bits);
    static int Get24BitMode();
    static void Set24BitMode(int mode);
    static int GetUsePatColors();
    static int GetMidiSyncOutputPort();
    static void SetMidiSyncOutputPort(int port);
    static int GetSendMidiSPP();
    static void SetSendMidiSPP(int send);
    static int GetSendMidiStartNeverContinue();
    static void SetSendMidiStartNeverContinue(int never);
    // Audio thread: no allocation, no blocking.
    static int GetRewireDecimationMS();

    // The port names the back-ends store. A getter returns the 80-character
    // field itself; a setter copies at most 79 bytes (never part of a UTF-8
    // character) and a terminator. A null text stores "".
    static const char* GetDSoundOutput();
    static void SetDSoundOutput(const char* text);
    static void SetDSoundInput(const char* text);
    static const char* GetWDMOutput();
    static void SetWDMOutput(const char* text);
    static const char* GetWDMInput();
    static void SetWDMInput(const char* text);
    static const char* GetAsioOutput();
    static void SetAsioOutput(const char* text);
    static const char* GetAsioInput();
    static void SetAsioInput(const char* text);

    // The folder settings' current paths; "" while not loaded. The setters
    // store the new path at once, and do nothing while not loaded.
    static CString GetMidiPatternsFolder();
    static void SetMidiPatternsFolder(const char* path);
    static CString GetAudioPatternsFolder();
    static void SetAudioPatternsFolder(const char* path);
    static CString GetMetronomeFolder();
};
