// Presets of a plug-in instance: built-in ones the plug-in lists, user ones
// kept in the registry (small states) or in files (large ones), with the
// user's answers scripted. The plug-in is a MIDI effect of the test's own
// whose state is a byte string of any length.
#include "engine/hosting/CPresetMgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <sys/stat.h>
#include <vector>

#include "engine/hosting/CMfxFilterWrap.h"
#include "platform/com/ComRuntime.h"
#include "platform/registry/Registry.h"
#include "platform/res/CScriptedAnswerer.h"
#include "platform/win/Guid.h"
#include "tests/engine/hosting/MidiEffectBase.h"
#include "tests/support/TempDir.h"
#include "tests/support/TempRegistry.h"

namespace {

constexpr GUID kPresetted = {0x7E570003, 1, 2, {3, 4, 5, 6, 7, 8, 9, 1}};
MV_DEFINE_GUID(IID_PlugInPresets, 0x36A22460, 0x0CC9, 0x11D0, 0x85, 0x74, 0x00, 0xA0, 0xC9, 0x05, 0x39, 0x12);

std::vector<std::u16string> g_builtIn;

// The plug-in's built-in preset list as the plug-in declares it.
struct IBuiltInPresets : IUnknown {
    STDMETHOD(GetPresetCount)(LONG* count) = 0;
    STDMETHOD(GetPresetName)(LONG index, WCHAR* name, LONG size) = 0;
    STDMETHOD(SelectPreset)(LONG index) = 0;
};

class Effect final : public mvtest::MidiEffectBase, public IBuiltInPresets {
public:
    Effect() : MidiEffectBase(kPresetted) {}
    // One reference count: the base's.
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override { return MidiEffectBase::QueryInterface(riid, ppv); }
    STDMETHODIMP_(ULONG) AddRef() override { return MidiEffectBase::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return MidiEffectBase::Release(); }
    STDMETHODIMP GetPresetCount(LONG* count) override
    {
        *count = static_cast<LONG>(g_builtIn.size());
        return S_OK;
    }
    STDMETHODIMP GetPresetName(LONG index, WCHAR* name, LONG size) override
    {
        if (index < 0 || index >= static_cast<LONG>(g_builtIn.size()))
            return S_FALSE;
        const auto& n = g_builtIn[static_cast<std::size_t>(index)];
        std::copy_n(n.c_str(), std::min<std::size_t>(n.size() + 1, static_cast<std::size_t>(size)), name);
        return S_OK;
    }
    STDMETHODIMP SelectPreset(LONG index) override
    {
        selected = index;
        return S_OK;
    }
    STDMETHODIMP Load(IStream* s) override
    {
        if (refuseLoad)
            return E_INVALIDARG;
        state.clear();
        ++loads;
        BYTE chunk[256];
        ULONG got = 0;
        while (SUCCEEDED(s->Read(chunk, sizeof chunk, &got)) && got)
            state.insert(state.end(), chunk, chunk + got);
        return S_OK;
    }
    STDMETHODIMP Save(IStream* s, BOOL) override
    {
        return s->Write(state.data(), static_cast<ULONG>(state.size()), nullptr);
    }
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override
    {
        size->QuadPart = state.size();
        return S_OK;
    }
    std::vector<BYTE> state;
    int loads = 0;
    LONG selected = -1;
    bool refuseLoad = false;

private:
    void* QueryMore(REFIID riid) override
    {
        return IsEqualGUID(riid, IID_PlugInPresets) ? static_cast<IBuiltInPresets*>(this) : nullptr;
    }
};

class Sink final : public IAdviseNewPreset {
public:
    HRESULT OnNewPreset() override
    {
        ++applied;
        return S_OK;
    }
    HRESULT OnPresetListChanged() override
    {
        ++listChanged;
        return S_OK;
    }
    int applied = 0;
    int listChanged = 0;
};

std::vector<BYTE> Bytes(std::size_t n, BYTE seed)
{
    std::vector<BYTE> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<BYTE>(seed + i * 7);
    return v;
}

struct PresetTest : ::testing::Test {
    void SetUp() override
    {
        g_builtIn.clear();
        ASSERT_TRUE(SUCCEEDED(mvcom::RegisterBuiltinClass(kPresetted, &mvtest::MakeMidiEffect<Effect>)));
        CPresetMgr::SetPresetRoot(folder.Path());
        ASSERT_EQ(S_OK, CMfxFilterWrap::Create(&kPresetted, "Presetted", nullptr, &wrap));
        ASSERT_EQ(S_OK, CPresetMgr::Acquire(&sink, wrap, &mgr));
    }
    void TearDown() override
    {
        if (mgr)
            CPresetMgr::ReleaseFor(mgr, &sink);
        DestroyPlugInWrap(static_cast<IMfxFilterWrap*>(wrap));
        mvcom::UnregisterBuiltinClass(kPresetted);
        CPresetMgr::SetPresetRoot("");
    }
    Effect& effect() { return *static_cast<Effect*>(wrap->GetEventFilter()); }
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (int i = 0; i < mgr->GetPresetCount(); ++i) {
            CString n;
            mgr->GetPresetName(i, &n, nullptr);
            names.push_back(n.GetString());
        }
        return names;
    }
    std::string Key() const { return "Software\\Varnholt Music Software\\MIDI Filters\\Presets\\" + mvwin::GuidToString(kPresetted); }
    DWORD ValueType(const char* name)
    {
        HKEY key = nullptr;
        DWORD type = 0;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, Key().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return 0;
        if (RegQueryValueExA(key, name, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
            type = 0;
        RegCloseKey(key);
        return type;
    }

    mvtest::TempRegistry registry;
    mvtest::TempDir folder;
    std::shared_ptr<CScriptedAnswerer> answers = std::make_shared<CScriptedAnswerer>();
    CPromptAnswererScope scope{answers};
    CMfxFilterWrap* wrap = nullptr;
    CPresetMgr* mgr = nullptr;
    Sink sink;
};

TEST_F(PresetTest, SmallStatesLiveInTheRegistryLargeOnesInFilesAndBothComeBack)
{
    const std::string file = folder.Path() + "/" + mvwin::GuidToString(kPresetted) + "/Large";
    effect().state = Bytes(1023, 1);
    ASSERT_EQ(S_OK, mgr->SavePreset(CString("Small")));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), ValueType("Small"));
    effect().state = Bytes(1024, 2);
    ASSERT_EQ(S_OK, mgr->SavePreset(CString("Large")));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), ValueType("Large"));
    EXPECT_TRUE(std::filesystem::exists(file));
    EXPECT_EQ(2, sink.listChanged);
    EXPECT_STREQ("Large", mgr->GetCurrentPresetName().GetString());

    effect().state.clear();
    ASSERT_EQ(S_OK, mgr->LoadPreset(1));  // "Small"
    EXPECT_EQ(Bytes(1023, 1), effect().state);
    ASSERT_EQ(S_OK, mgr->LoadPreset(0));  // "Large"
    EXPECT_EQ(Bytes(1024, 2), effect().state);
    EXPECT_EQ(2, sink.applied);

    // A file-backed preset is deleted with its file.
    answers->QueueAnswer(IDOK);
    ASSERT_EQ(S_OK, mgr->DeletePreset(CString("large")));
    EXPECT_FALSE(std::filesystem::exists(file));
    EXPECT_EQ(0u, ValueType("Large"));
    EXPECT_EQ(std::vector<std::string>{"Small"}, Names());
    EXPECT_STREQ("No Preset", mgr->GetCurrentPresetName().GetString());
}

TEST_F(PresetTest, BuiltInAndUserPresetsListInNameOrderAndStepWithoutWrapping)
{
    g_builtIn = {u"B", u"a"};
    effect().state = Bytes(10, 3);
    ASSERT_EQ(S_OK, mgr->SavePreset(CString("C")));  // loads the list with the built-ins first
    EXPECT_EQ((std::vector<std::string>{"a", "B", "C"}), Names());

    ASSERT_EQ(S_OK, mgr->LoadPreset(1));
    EXPECT_EQ(0, effect().selected) << "\"B\", the plug-in's preset 0, is selected by its number";
    ASSERT_EQ(S_OK, mgr->NextPreset());
    EXPECT_EQ(2, mgr->GetCurrentPresetIndex());
    ASSERT_EQ(S_OK, mgr->NextPreset());
    EXPECT_EQ(2, mgr->GetCurrentPresetIndex()) << "the last stays the last";
    ASSERT_EQ(S_OK, mgr->LoadPreset(0));
    ASSERT_EQ(S_OK, mgr->PreviousPreset());
    EXPECT_EQ(-1, mgr->GetCurrentPresetIndex()) << "before the first: no preset";

    answers->QueueAnswer(IDOK);
    EXPECT_EQ(S_FALSE, mgr->DeletePreset(CString("a"))) << "a built-in preset cannot be deleted";
    EXPECT_EQ(3, mgr->GetPresetCount());
    EXPECT_EQ(1u, answers->PendingAnswers()) << "nothing was asked";
}

TEST_F(PresetTest, OverwritingAsksFirstAndCancelKeepsTheOldPreset)
{
    effect().state = Bytes(20, 4);
    ASSERT_EQ(S_OK, mgr->SavePreset(CString("Warm")));
    effect().state = Bytes(30, 5);
    answers->QueueAnswer(IDCANCEL);
    EXPECT_EQ(S_FALSE, mgr->SavePreset(CString("WARM")));
    ASSERT_EQ(1u, answers->Prompts().size());
    EXPECT_EQ("Are you sure you want to overwrite this preset?", answers->Prompts()[0].text);
    ASSERT_EQ(S_OK, mgr->LoadPreset(0));
    EXPECT_EQ(Bytes(20, 4), effect().state);
    effect().state = Bytes(30, 5);
    answers->QueueAnswer(IDOK);
    ASSERT_EQ(S_OK, mgr->SavePreset(CString("WARM")));
    EXPECT_EQ(1, mgr->GetPresetCount()) << "replaced, not added";
    effect().state.clear();
    ASSERT_EQ(S_OK, mgr->LoadPreset(0));
    EXPECT_EQ(Bytes(30, 5), effect().state);
}

// Names that would not stay in the preset folder, and stored presets that
// cannot be trusted, are refused; nothing reaches the plug-in.
TEST_F(PresetTest, UnsafeNamesAndDamagedPresetsAreRefused)
{
    effect().state = Bytes(2000, 6);
    for (const char* name : {"", "..", "../escape", "a/b", "a\\b"})
        EXPECT_NE(S_OK, mgr->SavePreset(CString(name))) << name;
    EXPECT_EQ(0, mgr->GetPresetCount());

    // A path value that leads out of the folder, and a file cut to nothing.
    ASSERT_EQ(S_OK, mgr->SavePreset(CString("Big")));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CURRENT_USER, Key().c_str(), 0, KEY_ALL_ACCESS, &key));
    const std::string outside = folder.File("elsewhere");
    { std::ofstream(outside) << "not a preset"; }
    RegSetValueExA(key, "Outside", 0, REG_SZ, reinterpret_cast<const BYTE*>(outside.c_str()),
                   static_cast<DWORD>(outside.size() + 1));
    RegCloseKey(key);
    CPresetMgr::ReleaseFor(mgr, &sink);  // a new manager reads the list again
    ASSERT_EQ(S_OK, CPresetMgr::Acquire(&sink, wrap, &mgr));
    { std::ofstream(folder.Path() + "/" + mvwin::GuidToString(kPresetted) + "/Big", std::ios::trunc); }
    const int loadsBefore = effect().loads;
    for (int i = 0; i < mgr->GetPresetCount(); ++i)
        EXPECT_EQ(E_FAIL, mgr->LoadPreset(i));
    EXPECT_EQ(loadsBefore, effect().loads) << "a damaged preset is never handed to the plug-in";
    EXPECT_EQ(2u, answers->Prompts().size()) << "each refusal says so";
}

TEST_F(PresetTest, AFailedFileWriteLeavesTheOldPreset)
{
    effect().state = Bytes(2000, 1);
    ASSERT_EQ(S_OK, mgr->SavePreset(CString("Big")));
    // The write of the new state cannot even start.
    const std::string classFolder = folder.Path() + "/" + mvwin::GuidToString(kPresetted);
    std::filesystem::create_directories(classFolder + ".partial/Big/blocked");
    effect().state = Bytes(3000, 2);
    answers->QueueAnswer(IDOK);
    EXPECT_EQ(E_FAIL, mgr->SavePreset(CString("Big")));
    EXPECT_EQ(2000u, std::filesystem::file_size(classFolder + "/Big"));
    ASSERT_EQ(S_OK, mgr->LoadPreset(0));
    EXPECT_EQ(Bytes(2000, 1), effect().state);

    // The temporary file stands apart from the presets: one named like it
    // is a preset of its own.
    std::filesystem::remove_all(classFolder + ".partial");
    effect().state = Bytes(2500, 3);
    ASSERT_EQ(S_OK, mgr->SavePreset(CString("Big.tmp")));
    effect().state = Bytes(2600, 4);
    answers->QueueAnswer(IDOK);
    ASSERT_EQ(S_OK, mgr->SavePreset(CString("Big")));
    EXPECT_EQ((std::vector<std::string>{"Big", "Big.tmp"}), Names());
    ASSERT_EQ(S_OK, mgr->LoadPreset(1));
    EXPECT_EQ(Bytes(2500, 3), effect().state);

    // A small state replacing a file-backed preset leaves no file behind.
    effect().state = Bytes(10, 5);
    answers->QueueAnswer(IDOK);
    ASSERT_EQ(S_OK, mgr->SavePreset(CString("Big")));
    EXPECT_EQ(static_cast<DWORD>(REG_BINARY), ValueType("Big"));
    EXPECT_FALSE(std::filesystem::exists(classFolder + "/Big"));
    EXPECT_TRUE(std::filesystem::exists(classFolder + "/Big.tmp"));
    ASSERT_EQ(S_OK, mgr->LoadPreset(0));
    EXPECT_EQ(Bytes(10, 5), effect().state);
}

TEST_F(PresetTest, LongNamesListAndAStateThePlugInRefusesIsReported)
{
    effect().state = Bytes(10, 1);
    const std::string longName(200, 'L');
    const std::string tooLong(300, 'T');
    ASSERT_EQ(S_OK, mgr->SavePreset(CString(longName.c_str())));
    ASSERT_EQ(S_OK, mgr->SavePreset(CString("Z")));
    ASSERT_EQ(S_OK, mgr->SavePreset(CString(tooLong.c_str())));
    CPresetMgr::ReleaseFor(mgr, &sink);  // a new manager reads the list again
    ASSERT_EQ(S_OK, CPresetMgr::Acquire(&sink, wrap, &mgr));
    EXPECT_EQ((std::vector<std::string>{longName, std::string(255, 'T'), "Z"}), Names())
        << "a name is kept to 255 characters and every preset is listed";

    ASSERT_EQ(S_OK, mgr->LoadPreset(2));
    effect().refuseLoad = true;
    const std::size_t prompts = answers->Prompts().size();
    EXPECT_EQ(E_INVALIDARG, mgr->LoadPreset(0));
    EXPECT_EQ(prompts + 1, answers->Prompts().size()) << "the refusal is reported";
    EXPECT_EQ(2, mgr->GetCurrentPresetIndex()) << "the current preset stays";
    EXPECT_STREQ("Z", mgr->GetCurrentPresetName().GetString());
}

// The bytes of a stored preset are outside bytes: the value's type, its
// text and the file it names are checked before anything is handed on.
TEST(CPresetMgrStoredState, OnlyAWholePlainFileOfThePresetFolderIsRead)
{
    mvtest::TempDir dir;
    const std::string presets = dir.Path() + "/presets";
    std::filesystem::create_directories(presets + "/sub");
    { std::ofstream(presets + "/good", std::ios::binary) << "state"; }
    { std::ofstream(presets + "/empty", std::ios::binary); }
    { std::ofstream(dir.Path() + "/outside", std::ios::binary) << "secret"; }
    std::filesystem::create_symlink(dir.Path() + "/outside", presets + "/link");
    ASSERT_EQ(0, mkfifo((presets + "/fifo").c_str(), 0600));

    struct Case {
        const char* name;
        DWORD type;
        std::string value;
        HRESULT expected;
        std::string state;
    } cases[] = {
        {"binary bytes as they are", REG_BINARY, std::string("a\0b", 3), S_OK, std::string("a\0b", 3)},
        {"any other type as binary", REG_DWORD, "wxyz", S_OK, "wxyz"},
        {"an empty value", REG_BINARY, "", E_FAIL, ""},
        {"a file of the folder", REG_SZ, presets + "/good", S_OK, "state"},
        {"a path without its zero", REG_SZ, presets + "/good", S_OK, "state"},
        {"text after the zero is ignored", REG_SZ, presets + "/good" + std::string(1, '\0') + "junk", S_OK, "state"},
        {"an empty file", REG_SZ, presets + "/empty", E_FAIL, ""},
        {"a missing file", REG_SZ, presets + "/missing", E_FAIL, ""},
        {"a folder", REG_SZ, presets + "/sub", E_FAIL, ""},
        {"a pipe", REG_SZ, presets + "/fifo", E_FAIL, ""},
        {"a file below the folder", REG_SZ, presets + "/sub/x", E_ACCESSDENIED, ""},
        {"a way out", REG_SZ, presets + "/../outside", E_ACCESSDENIED, ""},
        {"a link out", REG_SZ, presets + "/link", E_ACCESSDENIED, ""},
        {"a relative path", REG_SZ, "good", E_ACCESSDENIED, ""},
        {"an empty path", REG_SZ, std::string(1, '\0'), E_ACCESSDENIED, ""},
    };
    for (const Case& c : cases) {
        std::vector<BYTE> state{'o', 'l', 'd'};
        std::vector<BYTE> value(c.value.begin(), c.value.end());
        if (c.type == REG_SZ && std::string(c.name) != "a path without its zero" && value.back() != 0)
            value.push_back(0);
        EXPECT_EQ(c.expected, CPresetMgr::ReadStoredState(c.type, value.data(), value.size(), presets, &state))
            << c.name;
        const std::string got(state.begin(), state.end());
        EXPECT_EQ(c.expected == S_OK ? c.state : std::string("old"), got) << c.name;
    }
    std::vector<BYTE> state;
    EXPECT_EQ(E_ACCESSDENIED, CPresetMgr::ReadStoredState(REG_SZ, reinterpret_cast<const BYTE*>("x"), 2, "", &state))
        << "no preset folder, no file";
    EXPECT_EQ(E_POINTER, CPresetMgr::ReadStoredState(REG_BINARY, nullptr, 4, presets, &state));
}

TEST(CPresetMgrTest, APlugInWithoutSavedStateHasNoPresets)
{
    CPresetMgr* mgr = reinterpret_cast<CPresetMgr*>(1);
    Sink sink;
    EXPECT_EQ(E_POINTER, CPresetMgr::Acquire(&sink, nullptr, nullptr));
    EXPECT_EQ(E_INVALIDARG, CPresetMgr::Acquire(&sink, nullptr, &mgr));
    CMfxFilterWrap* empty = nullptr;
    ASSERT_EQ(S_OK, CMfxFilterWrap::Create(&GUID_NULL, "", nullptr, &empty));
    EXPECT_EQ(E_FAIL, CPresetMgr::Acquire(&sink, empty, &mgr)) << "no plug-in";
    DestroyPlugInWrap(static_cast<IMfxFilterWrap*>(empty));
}

}  // namespace
