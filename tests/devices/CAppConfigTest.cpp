#include "devices/CAppConfig.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/registry/Profile.h"
#include "tests/support/ProgramPath.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempRegistry.h"
#include "uikit/core/CAppRegKey.h"

namespace {

namespace fs = std::filesystem;

void UseApplicationProfile()
{
    CAppRegKey::SetAppRegistryRoot("Morvane", "1.0");
    SetRegistryKey(CAppRegKey::GetAppRegistryKeyName());
    SetProfileName(CAppRegKey::GetAppProfileName());
}

// Run as the probe (a copy of this program placed in a folder of the test's
// choosing, with MVTEST_APPCONFIG_PROBE set), the program loads the settings
// beside itself, changes one, saves them as the exit does, prints both
// results and ends before any test runs.
const bool g_ranAsProbe = [] {
    if (!getenv("MVTEST_APPCONFIG_PROBE"))
        return false;
    UseApplicationProfile();
    CAppConfig config;
    const HRESULT load = CAppConfig::Load();
    CAppConfig::SetUndoDepth(99);
    const HRESULT save = CAppConfig::Save();
    std::printf("load=%08x save=%08x\n", static_cast<unsigned>(load), static_cast<unsigned>(save));
    std::fflush(stdout);
    _exit(0);
    return true;
}();

class CAppConfigTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseApplicationProfile();
        CAppConfig::SetRewireDeviceMode(false);
        m_config.emplace();
    }
    void TearDown() override
    {
        m_config.reset();
        CAppConfig::SetRewireDeviceMode(false);
    }

    static int StoredInt(const char* key, int missing = -12345)
    {
        return static_cast<int>(GetProfileIntA("Options", key, missing));
    }

    mvtest::TempRegistry m_registry;
    std::optional<CAppConfig> m_config;
};

struct IntegerOption {
    const char* key;
    int defaultValue;
    int (*get)();
};

const IntegerOption kIntegerOptions[] = {
    {"NumSynthControls", 8, CAppConfig::GetNumSynthControls},
    {"NumFxControls", 4, CAppConfig::GetNumFxControls},
    {"UndoDepth", 64, CAppConfig::GetUndoDepth},
    {"MidiInPortCount", 15, CAppConfig::GetMidiInPortCount},
    {"BufferMsec", 100, CAppConfig::GetBufferMsec},
    {"SampleRate", 44100, CAppConfig::GetSampleRate},
    {"DriverType", 0, CAppConfig::GetDriverType},
    {"ListMenuMax", 25, CAppConfig::GetListMenuMax},
    {"MidiNoDeviceWarn", 1, CAppConfig::GetMidiNoDeviceWarn},
    {"BitDepth", 16, CAppConfig::GetBitDepth},
    {"24BitMode", 0, CAppConfig::Get24BitMode},
    {"UsePatColors", 1, CAppConfig::GetUsePatColors},
    {"MidiSyncOutputPort", 0, CAppConfig::GetMidiSyncOutputPort},
    {"SendMidiSPP", 1, CAppConfig::GetSendMidiSPP},
    {"SendMidiStartNeverContinue", 0, CAppConfig::GetSendMidiStartNeverContinue},
    {"RewireDecimationMS", 0, CAppConfig::GetRewireDecimationMS},
};

struct TextOption {
    const char* key;
    const char* (*get)();
    void (*set)(const char*);
};

const TextOption kTextOptions[] = {
    {"DSoundOutput", CAppConfig::GetDSoundOutput, CAppConfig::SetDSoundOutput},
    {"WDMOutput", CAppConfig::GetWDMOutput, CAppConfig::SetWDMOutput},
    {"WDMInput", CAppConfig::GetWDMInput, CAppConfig::SetWDMInput},
    {"AsioOutput", CAppConfig::GetAsioOutput, CAppConfig::SetAsioOutput},
    {"AsioInput", CAppConfig::GetAsioInput, CAppConfig::SetAsioInput},
};

TEST_F(CAppConfigTest, MissingProfileValuesKeepTheDefaults)
{
    for (const IntegerOption& o : kIntegerOptions)
        EXPECT_EQ(o.defaultValue, o.get()) << o.key << " before loading";
    ASSERT_EQ(S_OK, CAppConfig::Load());
    for (const IntegerOption& o : kIntegerOptions)
        EXPECT_EQ(o.defaultValue, o.get()) << o.key;
    for (const TextOption& o : kTextOptions)
        EXPECT_STREQ("", o.get()) << o.key;
}

// A stored value for each option, valid for every one of them.
int StoredValueFor(const IntegerOption& o) { return std::string(o.key) == "SampleRate" ? 48000 : o.defaultValue + 3; }

TEST_F(CAppConfigTest, LoadReadsTheProfileAndOnlySaveWritesIt)
{
    for (const IntegerOption& o : kIntegerOptions)
        WriteProfileInt("Options", o.key, StoredValueFor(o));
    for (const TextOption& o : kTextOptions)
        WriteProfileString("Options", o.key, o.key);
    WriteProfileString("Options", "DSoundInput", "input");

    ASSERT_EQ(S_OK, CAppConfig::Load());
    for (const IntegerOption& o : kIntegerOptions)
        EXPECT_EQ(StoredValueFor(o), o.get()) << o.key;
    for (const TextOption& o : kTextOptions)
        EXPECT_STREQ(o.key, o.get());

    // Changes live in the table until the exit saves them.
    CAppConfig::SetUndoDepth(7);
    CAppConfig::SetDriverType(2);
    CAppConfig::SetAsioOutput("Card 2");
    CAppConfig::SetDSoundInput("other input");
    EXPECT_EQ(64 + 3, StoredInt("UndoDepth"));
    ASSERT_EQ(S_OK, CAppConfig::Save());

    mvreg::ReloadHives();
    EXPECT_EQ(7, StoredInt("UndoDepth"));
    EXPECT_EQ(2, StoredInt("DriverType"));
    EXPECT_EQ(48000, StoredInt("SampleRate"));
    EXPECT_EQ("Card 2", GetProfileStringA("Options", "AsioOutput"));
    EXPECT_EQ("other input", GetProfileStringA("Options", "DSoundInput"));
    EXPECT_EQ("WDMInput", GetProfileStringA("Options", "WDMInput"));
}

TEST_F(CAppConfigTest, SaveWritesEveryOptionUnderItsKey)
{
    ASSERT_EQ(S_OK, CAppConfig::Load());
    ASSERT_EQ(S_OK, CAppConfig::Save());
    mvreg::ReloadHives();
    for (const IntegerOption& o : kIntegerOptions)
        EXPECT_EQ(o.defaultValue, StoredInt(o.key)) << o.key;
    for (const char* key : {"DSoundOutput", "DSoundInput", "WDMOutput", "WDMInput", "AsioOutput", "AsioInput"})
        EXPECT_EQ("", GetProfileStringA("Options", key, "<missing>")) << key;
}

TEST_F(CAppConfigTest, LoadOnceSaveOnce)
{
    EXPECT_EQ(E_UNEXPECTED, CAppConfig::Save());
    mvreg::ReloadHives();
    EXPECT_EQ(-12345, StoredInt("UndoDepth"));  // nothing written

    ASSERT_EQ(S_OK, CAppConfig::Load());
    WriteProfileInt("Options", "UndoDepth", 5);
    EXPECT_EQ(E_UNEXPECTED, CAppConfig::Load());  // nothing read again
    EXPECT_EQ(64, CAppConfig::GetUndoDepth());
    EXPECT_EQ(S_OK, CAppConfig::Save());
    EXPECT_EQ(E_UNEXPECTED, CAppConfig::Save());
    EXPECT_EQ(S_OK, CAppConfig::Load());
}

TEST_F(CAppConfigTest, BufferMsecStaysWithinTwoTo350)
{
    struct Case {
        int stored;
        int read;
    };
    for (const Case c : {Case{0, 2}, Case{1, 2}, Case{-5, 2}, Case{2, 2}, Case{350, 350}, Case{351, 350},
                         Case{1000, 350}, Case{120, 120}}) {
        m_config.emplace();
        WriteProfileInt("Options", "BufferMsec", c.stored);
        ASSERT_EQ(S_OK, CAppConfig::Load());
        EXPECT_EQ(c.read, CAppConfig::GetBufferMsec()) << c.stored;
        ASSERT_EQ(S_OK, CAppConfig::Save());
        EXPECT_EQ(c.read, StoredInt("BufferMsec")) << c.stored << " is written back clamped";
    }
    struct SetCase {
        int set;
        int read;
    };
    for (const SetCase c : {SetCase{1, 2}, SetCase{0, 2}, SetCase{-1, 2}, SetCase{351, 350}, SetCase{64, 64}}) {
        CAppConfig::SetBufferMsec(c.set);
        EXPECT_EQ(c.read, CAppConfig::GetBufferMsec()) << c.set;
    }
}

TEST_F(CAppConfigTest, SampleRateIsOneOfTheSixRates)
{
    for (int rate : {11025, 22050, 44100, 48000, 88200, 96000}) {
        CAppConfig::SetSampleRate(rate);
        EXPECT_EQ(rate, CAppConfig::GetSampleRate());
    }
    CAppConfig::SetSampleRate(32000);
    EXPECT_EQ(44100, CAppConfig::GetSampleRate());

    WriteProfileInt("Options", "SampleRate", 32000);
    ASSERT_EQ(S_OK, CAppConfig::Load());
    EXPECT_EQ(44100, CAppConfig::GetSampleRate());
    ASSERT_EQ(S_OK, CAppConfig::Save());
    EXPECT_EQ(44100, StoredInt("SampleRate"));  // the table now holds 44100
}

TEST_F(CAppConfigTest, RewireDeviceModeAnswers32BitsMode4AndKeepsTheStoredFormat)
{
    ASSERT_EQ(S_OK, CAppConfig::Load());
    CAppConfig::SetBitDepth(16);
    CAppConfig::Set24BitMode(0);
    CAppConfig::SetRewireDeviceMode(true);
    EXPECT_EQ(32, CAppConfig::GetBitDepth());
    EXPECT_EQ(4, CAppConfig::Get24BitMode());
    CAppConfig::SetBitDepth(24);  // stored without checks, still not answered
    EXPECT_EQ(32, CAppConfig::GetBitDepth());
    ASSERT_EQ(S_OK, CAppConfig::Save());
    EXPECT_EQ(24, StoredInt("BitDepth"));
    EXPECT_EQ(0, StoredInt("24BitMode"));
    CAppConfig::SetRewireDeviceMode(false);
    EXPECT_EQ(24, CAppConfig::GetBitDepth());
}

TEST_F(CAppConfigTest, TextsAreCutToTheFieldWithoutSplittingACharacter)
{
    const std::string longName(100, 'x');
    CAppConfig::SetWDMOutput(longName.c_str());
    EXPECT_EQ(std::string(79, 'x'), CAppConfig::GetWDMOutput());

    const std::string accented = std::string(78, 'a') + "\xC3\xA9 card";  // an e-acute across bytes 79 and 80
    CAppConfig::SetAsioOutput(accented.c_str());
    EXPECT_EQ(std::string(78, 'a'), CAppConfig::GetAsioOutput());

    CAppConfig::SetAsioInput(nullptr);
    EXPECT_STREQ("", CAppConfig::GetAsioInput());

    WriteProfileString("Options", "DSoundOutput", longName.c_str());
    ASSERT_EQ(S_OK, CAppConfig::Load());
    EXPECT_EQ(std::string(79, 'x'), CAppConfig::GetDSoundOutput());
}

TEST_F(CAppConfigTest, FolderSettingsExistOnlyWhileLoaded)
{
    EXPECT_EQ("", CAppConfig::GetMidiPatternsFolder().Str());
    CAppConfig::SetMidiPatternsFolder(m_registry.Path().c_str());  // nothing to set yet
    EXPECT_EQ("", CAppConfig::GetMidiPatternsFolder().Str());

    ASSERT_EQ(S_OK, CAppConfig::Load());
    const std::string program = mvtest::ProgramDir();
    // Made before the settings that default to it, so even a first run gets it.
    EXPECT_EQ(program + "/Patterns", CAppConfig::GetMidiPatternsFolder().Str());
    EXPECT_EQ(program + "/Patterns", CAppConfig::GetAudioPatternsFolder().Str());
    EXPECT_EQ(program + "/Metronome", CAppConfig::GetMetronomeFolder().Str());
    EXPECT_TRUE(fs::is_directory(program + "/Patterns"));
    EXPECT_TRUE(fs::is_directory(program + "/Metronome"));

    mvtest::TempDir mine;
    CAppConfig::SetAudioPatternsFolder(mine.Path().c_str());
    EXPECT_EQ(mine.Path(), CAppConfig::GetAudioPatternsFolder().Str());
    CAppRegKey key("UserPaths", CRegKeyBase::kOpenOnly, CRegKeyBase::kCurrentUser);
    CString stored;
    key.GetString("AudioPatternsFolder", "<none>", stored);
    EXPECT_EQ(mine.Path(), stored.Str());  // stored at once, not at Save

    ASSERT_EQ(S_OK, CAppConfig::Save());
    EXPECT_EQ("", CAppConfig::GetMetronomeFolder().Str());
}

// A copy of this program in a folder of the test's, run as the probe.
class ProbeRun {
public:
    ProbeRun()
    {
        m_program = m_folder.File("morvane-probe");
        fs::copy_file("/proc/self/exe", m_program);
        fs::permissions(m_program, fs::perms::owner_all);
    }

    std::string Folder() const { return m_folder.Path(); }

    // The probe's one line of output.
    std::string Run() const
    {
        const std::string command = "MVTEST_APPCONFIG_PROBE=1 '" + m_program + "'";
        FILE* out = popen(command.c_str(), "r");
        if (!out)
            return "<not started>";
        char line[256] = {};
        const bool read = std::fgets(line, sizeof line, out) != nullptr;
        pclose(out);
        return read ? std::string(line) : "<no output>";
    }

private:
    mvtest::TempDir m_folder;
    std::string m_program;
};

TEST_F(CAppConfigTest, FolderThatCannotBeMadeDoesNotStopTheSettingsFromSaving)
{
    struct Case {
        const char* blocked;  // a file of this name beside the program takes the folder's place
        const char* output;
    };
    const Case cases[] = {
        {nullptr, "load=00000000 save=00000000\n"},
        {"Patterns", "load=8000ffff save=00000000\n"},
        {"Metronome", "load=8000ffff save=00000000\n"},
    };
    for (const Case& c : cases) {
        const char* name = c.blocked ? c.blocked : "nothing blocked";
        WriteProfileInt("Options", "BufferMsec", 200);
        WriteProfileInt("Options", "UndoDepth", 10);
        ProbeRun probe;
        if (c.blocked)
            std::ofstream(probe.Folder() + "/" + c.blocked) << "not a folder";

        EXPECT_EQ(c.output, probe.Run()) << name;
        mvreg::ReloadHives();
        EXPECT_EQ(99, StoredInt("UndoDepth")) << name << ": the change made during the run";
        EXPECT_EQ(200, StoredInt("BufferMsec")) << name << ": the value read at start";
        EXPECT_EQ(8, StoredInt("NumSynthControls")) << name << ": the defaults too";
        for (const char* folder : {"Patterns", "Metronome"}) {
            const bool isBlocker = c.blocked && std::string(c.blocked) == folder;
            EXPECT_EQ(!isBlocker, fs::is_directory(probe.Folder() + "/" + folder)) << name << ": " << folder;
        }
    }
}

}  // namespace
