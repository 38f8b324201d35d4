#include "devices/CAppConfig.h"

#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <climits>
#include <cstring>

#include "platform/registry/Profile.h"
#include "uikit/core/CUserPath.h"
#include "uikit/core/ModulePath.h"

namespace {

struct OptionRecord {
    const char* key;
    const char* section;
    int isInteger;
    char text[CAppConfig::kTextSize];
    int value;
};

// Table order is the order of reading and writing.
enum Option {
    kNumSynthControls,
    kNumFxControls,
    kUndoDepth,
    kMidiInPortCount,
    kBufferMsec,
    kSampleRate,
    kDriverType,
    kDSoundOutput,
    kDSoundInput,
    kWDMOutput,
    kWDMInput,
    kListMenuMax,
    kMidiNoDeviceWarn,
    kBitDepth,
    k24BitMode,
    kUsePatColors,
    kAsioOutput,
    kAsioInput,
    kMidiSyncOutputPort,
    kSendMidiSPP,
    kSendMidiStartNeverContinue,
    kRewireDecimationMS,
    kOptionCount
};

constexpr char kSection[] = "Options";

constexpr OptionRecord Integer(const char* key, int value) { return {key, kSection, 1, {}, value}; }
constexpr OptionRecord Text(const char* key) { return {key, kSection, 0, {}, 0}; }

constexpr std::array<OptionRecord, kOptionCount> kDefaults = {{
    Integer("NumSynthControls", 8),
    Integer("NumFxControls", 4),
    Integer("UndoDepth", 64),
    Integer("MidiInPortCount", 15),
    Integer("BufferMsec", 100),
    Integer("SampleRate", 44100),
    Integer("DriverType", 0),
    Text("DSoundOutput"),
    Text("DSoundInput"),
    Text("WDMOutput"),
    Text("WDMInput"),
    Integer("ListMenuMax", 25),
    Integer("MidiNoDeviceWarn", 1),
    Integer("BitDepth", 16),
    Integer("24BitMode", 0),
    Integer("UsePatColors", 1),
    Text("AsioOutput"),
    Text("AsioInput"),
    Integer("MidiSyncOutputPort", 0),
    Integer("SendMidiSPP", 1),
    Integer("SendMidiStartNeverContinue", 0),
    Integer("RewireDecimationMS", 0),
}};

constexpr int kMinBufferMsec = 2;
constexpr int kMaxBufferMsec = 350;
constexpr int kDefaultSampleRate = 44100;
constexpr int kSampleRates[] = {11025, 22050, 44100, 48000, 88200, 96000};
constexpr int kRewireBitDepth = 32;
constexpr int kRewire24BitMode = 4;

std::array<OptionRecord, kOptionCount> g_options = kDefaults;
bool g_loaded = false;
std::atomic<bool> g_rewireDeviceMode{false};
std::unique_ptr<CUserPath> g_midiPatternsFolder;
std::unique_ptr<CUserPath> g_audioPatternsFolder;
std::unique_ptr<CUserPath> g_metronomeFolder;

int Get(Option option) { return std::atomic_ref<int>(g_options[option].value).load(std::memory_order_relaxed); }
void Set(Option option, int value)
{
    std::atomic_ref<int>(g_options[option].value).store(value, std::memory_order_relaxed);
}

bool IsEngineRate(int rate)
{
    return std::find(std::begin(kSampleRates), std::end(kSampleRates), rate) != std::end(kSampleRates);
}

// At most kTextSize - 1 bytes, cut before a character rather than inside one.
void SetText(Option option, const char* text)
{
    char* field = g_options[option].text;
    std::size_t n = text ? std::strlen(text) : 0;
    if (n > CAppConfig::kTextSize - 1) {
        n = CAppConfig::kTextSize - 1;
        while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80)
            --n;
    }
    if (n > 0)
        std::memcpy(field, text, n);
    field[n] = '\0';
}

// A value missing from the profile keeps the one in the table.
void ReadOptions()
{
    for (int i = 0; i < kOptionCount; ++i) {
        const auto option = static_cast<Option>(i);
        const OptionRecord& record = g_options[option];
        if (record.isInteger)
            Set(option, static_cast<int>(GetProfileIntA(record.section, record.key, Get(option))));
        else
            SetText(option, GetProfileStringA(record.section, record.key, record.text));
    }
}

// Every record, even after one failed; false when any failed.
bool WriteOptions()
{
    bool written = true;
    for (int i = 0; i < kOptionCount; ++i) {
        const auto option = static_cast<Option>(i);
        const OptionRecord& record = g_options[option];
        const BOOL ok = record.isInteger ? WriteProfileInt(record.section, record.key, Get(option))
                                         : WriteProfileString(record.section, record.key, record.text);
        written = written && ok;
    }
    return written;
}

// The folder of the running program, "" when it is not known.
CString ProgramFolder()
{
    char path[PATH_MAX];
    return BuildModulePath(nullptr, path, sizeof path, nullptr) ? CString(path) : CString();
}

// An existing folder, or one made now.
bool MakeFolder(const CString& path)
{
    struct stat st;
    if (stat(path, &st) == 0)
        return S_ISDIR(st.st_mode);
    return mkdir(path, 0777) == 0;
}

CString PathOf(const std::unique_ptr<CUserPath>& folder) { return folder ? folder->GetPath() : CString(); }

void StorePath(const std::unique_ptr<CUserPath>& folder, const char* path)
{
    if (folder)
        folder->SetPath(path, true);
}

}  // namespace

CAppConfig::CAppConfig()
{
    g_options = kDefaults;
    g_loaded = false;
    g_midiPatternsFolder.reset();
    g_audioPatternsFolder.reset();
    g_metronomeFolder.reset();
}

CAppConfig::~CAppConfig()
{
    g_midiPatternsFolder.reset();
    g_audioPatternsFolder.reset();
    g_metronomeFolder.reset();
}

HRESULT CAppConfig::Load()
{
    if (g_loaded)
        return E_UNEXPECTED;
    ReadOptions();
    // Loaded from here on: a folder that cannot be made must not keep the
    // options from being saved at exit.
    g_loaded = true;

    // The pattern folder is made before the settings that default to it, so
    // that they take it on the very first run too.
    const CString program = ProgramFolder();
    bool foldersMade = !program.IsEmpty() && MakeFolder(program + "/Patterns");
    g_midiPatternsFolder = std::make_unique<CUserPath>("MidiPatternsFolder", nullptr, "/Patterns");
    g_audioPatternsFolder = std::make_unique<CUserPath>("AudioPatternsFolder", nullptr, "/Patterns");

    g_metronomeFolder = std::make_unique<CUserPath>("MetronomeWaveFilesFolder", nullptr, "");
    const CString metronome = g_metronomeFolder->GetPath() + "/Metronome";
    if (!program.IsEmpty() && MakeFolder(metronome))
        g_metronomeFolder->SetPath(metronome, false);
    else
        foldersMade = false;
    return foldersMade ? S_OK : E_UNEXPECTED;
}

HRESULT CAppConfig::Save()
{
    if (!g_loaded)
        return E_UNEXPECTED;
    const bool written = WriteOptions();
    g_midiPatternsFolder.reset();
    g_audioPatternsFolder.reset();
    g_metronomeFolder.reset();
    g_loaded = false;
    return written ? S_OK : E_FAIL;
}

void CAppConfig::SetRewireDeviceMode(bool on) { g_rewireDeviceMode = on; }
bool CAppConfig::IsRewireDeviceMode() { return g_rewireDeviceMode; }

int CAppConfig::GetNumSynthControls() { return Get(kNumSynthControls); }
int CAppConfig::GetNumFxControls() { return Get(kNumFxControls); }
int CAppConfig::GetUndoDepth() { return Get(kUndoDepth); }
void CAppConfig::SetUndoDepth(int depth) { Set(kUndoDepth, depth); }
int CAppConfig::GetMidiInPortCount() { return Get(kMidiInPortCount); }
void CAppConfig::SetMidiInPortCount(int count) { Set(kMidiInPortCount, count); }

int CAppConfig::GetBufferMsec()
{
    const int stored = Get(kBufferMsec);
    const int msec = std::clamp(stored, kMinBufferMsec, kMaxBufferMsec);
    if (msec != stored)
        Set(kBufferMsec, msec);
    return msec;
}

void CAppConfig::SetBufferMsec(int msec)
{
    if (msec < 1)
        msec = kMinBufferMsec;
    else if (msec > kMaxBufferMsec)
        msec = kMaxBufferMsec;
    Set(kBufferMsec, msec);
}

int CAppConfig::GetSampleRate()
{
    const int rate = Get(kSampleRate);
    if (IsEngineRate(rate))
        return rate;
    Set(kSampleRate, kDefaultSampleRate);
    return kDefaultSampleRate;
}

void CAppConfig::SetSampleRate(int rate) { Set(kSampleRate, IsEngineRate(rate) ? rate : kDefaultSampleRate); }

int CAppConfig::GetDriverType() { return Get(kDriverType); }
void CAppConfig::SetDriverType(int type) { Set(kDriverType, type); }
int CAppConfig::GetListMenuMax() { return Get(kListMenuMax); }
int CAppConfig::GetMidiNoDeviceWarn() { return Get(kMidiNoDeviceWarn); }
void CAppConfig::SetMidiNoDeviceWarn(int warn) { Set(kMidiNoDeviceWarn, warn); }
int CAppConfig::GetBitDepth() { return g_rewireDeviceMode ? kRewireBitDepth : Get(kBitDepth); }
void CAppConfig::SetBitDepth(int bits) { Set(kBitDepth, bits); }
int CAppConfig::Get24BitMode() { return g_rewireDeviceMode ? kRewire24BitMode : Get(k24BitMode); }
void CAppConfig::Set24BitMode(int mode) { Set(k24BitMode, mode); }
int CAppConfig::GetUsePatColors() { return Get(kUsePatColors); }
int CAppConfig::GetMidiSyncOutputPort() { return Get(kMidiSyncOutputPort); }
void CAppConfig::SetMidiSyncOutputPort(int port) { Set(kMidiSyncOutputPort, port); }
int CAppConfig::GetSendMidiSPP() { return Get(kSendMidiSPP); }
void CAppConfig::SetSendMidiSPP(int send) { Set(kSendMidiSPP, send); }
int CAppConfig::GetSendMidiStartNeverContinue() { return Get(kSendMidiStartNeverContinue); }
void CAppConfig::SetSendMidiStartNeverContinue(int never) { Set(kSendMidiStartNeverContinue, never); }
int CAppConfig::GetRewireDecimationMS() { return Get(kRewireDecimationMS); }

const char* CAppConfig::GetDSoundOutput() { return g_options[kDSoundOutput].text; }
void CAppConfig::SetDSoundOutput(const char* text) { SetText(kDSoundOutput, text); }
void CAppConfig::SetDSoundInput(const char* text) { SetText(kDSoundInput, text); }
const char* CAppConfig::GetWDMOutput() { return g_options[kWDMOutput].text; }
void CAppConfig::SetWDMOutput(const char* text) { SetText(kWDMOutput, text); }
const char* CAppConfig::GetWDMInput() { return g_options[kWDMInput].text; }
void CAppConfig::SetWDMInput(const char* text) { SetText(kWDMInput, text); }
const char* CAppConfig::GetAsioOutput() { return g_options[kAsioOutput].text; }
void CAppConfig::SetAsioOutput(const char* text) { SetText(kAsioOutput, text); }
const char* CAppConfig::GetAsioInput() { return g_options[kAsioInput].text; }
void CAppConfig::SetAsioInput(const char* text) { SetText(kAsioInput, text); }

CString CAppConfig::GetMidiPatternsFolder() { return PathOf(g_midiPatternsFolder); }
void CAppConfig::SetMidiPatternsFolder(const char* path) { StorePath(g_midiPatternsFolder, path); }
CString CAppConfig::GetAudioPatternsFolder() { return PathOf(g_audioPatternsFolder); }
void CAppConfig::SetAudioPatternsFolder(const char* path) { StorePath(g_audioPatternsFolder, path); }
CString CAppConfig::GetMetronomeFolder() { return PathOf(g_metronomeFolder); }
