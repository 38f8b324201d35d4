#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

#include "platform/res/ResourceTable.h"
#include "platform/res/Resources.h"
#include "resources/ResTestStrings.h"
#include "tests/platform/res/TestModule.h"

namespace {

constexpr const char* kProductVersion = "\\StringFileInfo\\040904b0\\ProductVersion";

std::string Load(HINSTANCE module, UINT id, int size = 512)
{
    std::string buffer(static_cast<std::size_t>(size), '#');
    int n = LoadStringA(module, id, buffer.data(), size);
    EXPECT_EQ(n, static_cast<int>(std::strlen(buffer.c_str())));
    return buffer.c_str();
}

std::string Version(HINSTANCE module, const char* path)
{
    const char* value = nullptr;
    return mvres::QueryVersionValue(module, path, &value) ? value : "<none>";
}

class PlugInModule : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_module.Handle()) << "cannot open " << mvtest::TestModule::Path(); }
    mvtest::TestModule m_module;
};

TEST(ProgramModule, IsTheLoadersHandleOfTheRunningProgram)
{
    HINSTANCE program = AfxGetInstanceHandle();
    ASSERT_NE(program, nullptr);
    EXPECT_EQ(mvres::ModuleFromAddress(reinterpret_cast<const void*>(&Load)), program);
    char name[4096];
    ASSERT_GT(GetModuleFileNameA(program, name, sizeof name), 0u);
    EXPECT_EQ(name, std::filesystem::canonical("/proc/self/exe").string());
}

TEST(ProgramModule, CarriesTheProductsVersionBlock)
{
    for (HINSTANCE module : {AfxGetInstanceHandle(), static_cast<HINSTANCE>(nullptr)}) {
        EXPECT_EQ(Version(module, kProductVersion), "1.0");
        EXPECT_EQ(Version(module, "\\StringFileInfo\\040904b0\\ProductName"), "Morvane");
        EXPECT_EQ(Version(module, "\\StringFileInfo\\040904b0\\FileVersion"), "1.0.0.1");
        EXPECT_EQ(Version(module, "\\StringFileInfo\\040904b0\\CompanyName"), "Varnholt Music Software");
    }
}

TEST(ProgramModule, VersionPathsAreReadWithoutRegardToCase)
{
    EXPECT_EQ(Version(nullptr, "\\stringfileinfo\\040904B0\\productversion"), "1.0");
}

TEST(ProgramModule, VersionLookupsThatFindNothing)
{
    const struct {
        const char* name;
        const char* path;
    } cases[] = {
        {"unknown key", "\\StringFileInfo\\040904b0\\Trademarks"},
        {"other language block", "\\StringFileInfo\\040704b0\\ProductVersion"},
        {"no block", "\\StringFileInfo\\ProductVersion"},
        {"root", "\\"},
        {"empty", ""},
        {"key prefix only", "\\StringFileInfo\\040904b0\\Product"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Version(nullptr, c.path), "<none>") << c.name;
    const char* value = "untouched";
    EXPECT_FALSE(mvres::QueryVersionValue(nullptr, nullptr, &value));
    EXPECT_STREQ(value, "untouched");
}

TEST(ProgramModule, KeepsItsOwnTable)
{
    static const mvres::StringEntry strings[] = {{1, "intruder"}};
    static const mvres::ResourceTable table = {strings, 1, nullptr, 0};
    EXPECT_EQ(mvres::RegisterModuleResources(table), nullptr);
    EXPECT_EQ(Load(nullptr, 1), "");
}

TEST(LoadStringA, MissingStringsAndUnknownModulesGiveNothing)
{
    int unknownModule = 0;
    auto stranger = reinterpret_cast<HINSTANCE>(&unknownModule);
    EXPECT_EQ(Load(nullptr, 65535), "");
    EXPECT_EQ(Load(stranger, IDS_TEST_HELLO), "");
    EXPECT_EQ(mvres::FindStringResource(stranger, IDS_TEST_HELLO), nullptr);
}

TEST_F(PlugInModule, RegistersUnderTheHandleItsLoaderHolds)
{
    EXPECT_EQ(m_module.RegisteredHandle(), m_module.Handle());
    char name[4096];
    ASSERT_GT(GetModuleFileNameA(m_module.Handle(), name, sizeof name), 0u);
    EXPECT_TRUE(std::string(name).ends_with("/mvrestestmodule.so")) << name;
}

TEST_F(PlugInModule, TextsComeFromItsOwnTableOnly)
{
    EXPECT_EQ(Load(m_module.Handle(), IDS_TEST_HELLO), "Hello");
    EXPECT_EQ(Load(AfxGetInstanceHandle(), IDS_TEST_HELLO), "");
    EXPECT_EQ(Version(m_module.Handle(), kProductVersion), "<none>");
    EXPECT_EQ(Version(m_module.Handle(), "\\StringFileInfo\\040904b0\\ProductName"), "Morvane ResTest");
    EXPECT_EQ(Version(m_module.Handle(), "\\StringFileInfo\\040904b0\\Comments"), "");
}

TEST_F(PlugInModule, TextsKeepEscapesAndSpecialCharacters)
{
    std::string longText;
    for (int i = 0; i < 30; ++i)
        longText += "0123456789";
    const struct {
        UINT id;
        const char* text;
    } cases[] = {
        {IDS_TEST_HELLO, "Hello"},
        {IDS_TEST_ESCAPES, "Line one\nTab\there \"quoted\" back\\slash; [brackets] ${NAME} @NAME@"},
        {IDS_TEST_EMPTY, ""},
        {IDS_TEST_UTF8, "Gr\xC3\xBC\xC3\x9F"
                        "e, K\xC3\xA4se"},
        {IDS_TEST_LONG, longText.c_str()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Load(m_module.Handle(), c.id), c.text) << c.id;
        EXPECT_STREQ(mvres::FindStringResource(m_module.Handle(), c.id), c.text) << c.id;
    }
    EXPECT_EQ(IDS_TEST_UTF8, 60000u);
    EXPECT_EQ(Load(m_module.Handle(), 3), "");
}

TEST_F(PlugInModule, LoadStringCutsToTheBufferAndNeverInsideACharacter)
{
    // "Grüße, Käse": G r ü(2) ß(2) e ...
    const struct {
        const char* name;
        UINT id;
        int size;
        const char* text;
    } cases[] = {
        {"exact fit", IDS_TEST_HELLO, 6, "Hello"},
        {"one short", IDS_TEST_HELLO, 5, "Hell"},
        {"terminator only", IDS_TEST_HELLO, 1, ""},
        {"before a two-byte character", IDS_TEST_UTF8, 3, "Gr"},
        {"inside a two-byte character", IDS_TEST_UTF8, 4, "Gr"},
        {"after a two-byte character", IDS_TEST_UTF8, 5, "Gr\xC3\xBC"},
        {"inside the next one", IDS_TEST_UTF8, 6, "Gr\xC3\xBC"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Load(m_module.Handle(), c.id, c.size), c.text) << c.name;

    char untouched = 'x';
    EXPECT_EQ(LoadStringA(m_module.Handle(), IDS_TEST_HELLO, &untouched, 0), 0);
    EXPECT_EQ(untouched, 'x');
    EXPECT_EQ(LoadStringA(m_module.Handle(), IDS_TEST_HELLO, nullptr, 10), 0);
}

TEST_F(PlugInModule, ItsTableGoesWithIt)
{
    HINSTANCE handle = m_module.Handle();
    m_module.Close();
    EXPECT_EQ(mvres::FindStringResource(handle, IDS_TEST_HELLO), nullptr);
    EXPECT_EQ(Version(handle, "\\StringFileInfo\\040904b0\\ProductName"), "<none>");
}

TEST_F(PlugInModule, HoldsOneTable)
{
    EXPECT_EQ(m_module.Call("ResTestRegisterAgain"), m_module.Handle());
    EXPECT_EQ(m_module.Call("ResTestRegisterOther"), nullptr);
    EXPECT_EQ(Load(m_module.Handle(), IDS_TEST_HELLO), "Hello");
}

TEST(ResourceHandle, IsTheProgramsUntilSet)
{
    EXPECT_EQ(AfxGetResourceHandle(), AfxGetInstanceHandle());
    mvtest::TestModule module;
    ASSERT_TRUE(module.Handle());
    AfxSetResourceHandle(module.Handle());
    EXPECT_EQ(AfxGetResourceHandle(), module.Handle());
    AfxSetResourceHandle(nullptr);
    EXPECT_EQ(AfxGetResourceHandle(), AfxGetInstanceHandle());
}

}  // namespace
