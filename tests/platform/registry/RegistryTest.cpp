#include "platform/registry/Registry.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TempDir.h"

namespace {

namespace fs = std::filesystem;

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void WriteFile(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

void PointRegistryAt(const std::string& dir)
{
    setenv("MORVANE_REGISTRY", dir.c_str(), 1);
    mvreg::ReloadHives();
}

class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override { PointRegistryAt(m_dir.Path()); }
    void TearDown() override
    {
        for (HKEY k : m_open)
            RegCloseKey(k);
        mvreg::ReloadHives();
    }

    HKEY Create(HKEY root, const char* path)
    {
        HKEY k = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyA(root, path, &k)) << path;
        m_open.push_back(k);
        return k;
    }

    HKEY Open(HKEY root, const char* path, REGSAM sam = KEY_ALL_ACCESS)
    {
        HKEY k = nullptr;
        if (RegOpenKeyExA(root, path, 0, sam, &k) == ERROR_SUCCESS)
            m_open.push_back(k);
        return k;
    }

    std::string UserHive() const { return m_dir.File("HKCU.hive"); }
    std::string MachineHive() const { return m_dir.File("HKLM.hive"); }

    static LONG SetDword(HKEY k, const char* name, DWORD v)
    {
        return RegSetValueExA(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&v), 4);
    }
    static LONG SetText(HKEY k, const char* name, const std::string& text)
    {
        return RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                              static_cast<DWORD>(text.size() + 1));
    }
    // Type and bytes of a value, or type REG_NONE - 1 when it cannot be read.
    static std::pair<DWORD, std::vector<BYTE>> Get(HKEY k, const char* name)
    {
        DWORD type = 0, size = 0;
        if (RegQueryValueExA(k, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return {~0u, {}};
        std::vector<BYTE> data(size);
        if (RegQueryValueExA(k, name, nullptr, &type, data.data(), &size) != ERROR_SUCCESS)
            return {~0u, {}};
        data.resize(size);
        return {type, data};
    }
    static std::string Text(HKEY k, const char* name)
    {
        auto [type, data] = Get(k, name);
        if (type != REG_SZ || data.empty())
            return "<none>";
        return std::string(reinterpret_cast<const char*>(data.data()), data.size() - 1);
    }
    using EnumFn = LONG (*)(HKEY, DWORD, LPSTR, DWORD*);
    static std::vector<std::string> Names(HKEY k, EnumFn next)
    {
        std::vector<std::string> names;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD size = sizeof name;
            LONG rc = next(k, i, name, &size);
            if (rc != ERROR_SUCCESS) {
                EXPECT_EQ(ERROR_NO_MORE_ITEMS, rc);
                return names;
            }
            EXPECT_EQ(std::strlen(name), size);
            names.push_back(name);
        }
    }
    static std::vector<std::string> SubkeyNames(HKEY k)
    {
        return Names(k, [](HKEY key, DWORD i, LPSTR name, DWORD* size) {
            return RegEnumKeyExA(key, i, name, size, nullptr, nullptr, nullptr, nullptr);
        });
    }
    static std::vector<std::string> ValueNames(HKEY k)
    {
        return Names(k, [](HKEY key, DWORD i, LPSTR name, DWORD* size) {
            return RegEnumValueA(key, i, name, size, nullptr, nullptr, nullptr, nullptr);
        });
    }

    mvtest::TempDir m_dir;
    std::vector<HKEY> m_open;
};

using Bytes = std::vector<BYTE>;

// The bytes of a literal with its terminator.
template <std::size_t N>
Bytes Z(const char (&s)[N])
{
    return Bytes(s, s + N);
}

// Every kind of value survives a write, a fresh read of the file, and keeps
// its type and exact bytes.
TEST_F(RegistryTest, EveryTypeRoundTripsThroughTheFile)
{
    struct Case {
        const char* name;
        DWORD type;
        Bytes data;
    } cases[] = {
        {"Text", REG_SZ, Z("hello world")},
        {"Empty text", REG_SZ, Bytes{0}},
        {"Awkward \"text\"", REG_SZ, Z("a\\b \"q\" \n\r\t \x01\x7f caf\xc3\xa9 [x] %25")},
        {"Embedded zero", REG_SZ, Z("a\0b")},
        {"", REG_SZ, Z("the default")},
        {"Count", REG_DWORD, Bytes{0x2a, 0, 0, 0x80}},
        {"Short dword", REG_DWORD, Bytes{1, 2}},
        {"Blob", REG_BINARY, Bytes{0, 1, 0xfe, 0xff, '\n', '"'}},
        {"Empty blob", REG_BINARY, Bytes{}},
        {"Multi", 7, Z("a\0b\0")},
        {"None", REG_NONE, Bytes{9}},
        {"Line\nbreak name", REG_DWORD, Bytes{1, 0, 0, 0}},
    };
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Test\\Types");
    for (auto& c : cases)
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExA(k, c.name, 0, c.type, c.data.data(),
                                                static_cast<DWORD>(c.data.size())))
            << c.name;

    mvreg::ReloadHives();
    HKEY again = Open(HKEY_CURRENT_USER, "Software\\Test\\Types");
    ASSERT_NE(nullptr, again);
    for (auto& c : cases) {
        auto [type, data] = Get(again, c.name);
        EXPECT_EQ(c.type, type) << c.name;
        EXPECT_EQ(c.data, data) << c.name;
    }
    EXPECT_EQ(std::size(cases), ValueNames(again).size());
}

TEST_F(RegistryTest, HiveFileIsReadableText)
{
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Varnholt Music Software\\Morvane\\1.0\\Options");
    SetDword(k, "BufferMsec", 100);
    SetText(k, "DSoundOutput", "Primary \"Sound\" Driver");
    const BYTE blob[] = {1, 2, 0xff};
    RegSetValueExA(k, "Blob", 0, REG_BINARY, blob, 3);
    SetText(k, nullptr, "dflt");

    std::string text = ReadFile(UserHive());
    EXPECT_EQ(0u, text.find("MORVANE-HIVE 1\n"));
    EXPECT_NE(std::string::npos, text.find("[Software\\Varnholt Music Software\\Morvane\\1.0\\Options]\n"));
    EXPECT_NE(std::string::npos, text.find("\"BufferMsec\"=dword:00000064\n"));
    EXPECT_NE(std::string::npos, text.find("\"DSoundOutput\"=\"Primary \\\"Sound\\\" Driver\"\n"));
    EXPECT_NE(std::string::npos, text.find("\"Blob\"=hex:01,02,ff\n"));
    EXPECT_NE(std::string::npos, text.find("@=\"dflt\"\n"));
    EXPECT_EQ(text.size() - 9, text.rfind("END-HIVE\n"));
}

TEST_F(RegistryTest, HandWrittenHiveIsRead)
{
    WriteFile(MachineHive(),
              "MORVANE-HIVE 1\n"
              "; written by hand\n"
              "[]\n"
              "\"Top\"=dword:00000001\n"
              "\n"
              "  [software\\asio\\My %25 Driver]  \n"
              "\"CLSID\"=\"{01234567-89AB-CDEF-0123-456789ABCDEF}\"\n"
              "\"Description\"=\"Tab\\there\"\n"
              "END-HIVE\n");
    mvreg::ReloadHives();
    HKEY k = Open(HKEY_LOCAL_MACHINE, "SOFTWARE\\ASIO\\my % driver");
    ASSERT_NE(nullptr, k);
    EXPECT_EQ("{01234567-89AB-CDEF-0123-456789ABCDEF}", Text(k, "clsid"));
    EXPECT_EQ("Tab\there", Text(k, "Description"));
    EXPECT_EQ((std::pair<DWORD, Bytes>{REG_DWORD, {1, 0, 0, 0}}), Get(HKEY_LOCAL_MACHINE, "Top"));
    EXPECT_EQ(std::vector<std::string>{"My % Driver"}, SubkeyNames(Open(HKEY_LOCAL_MACHINE, "software\\asio")));
}

// A hand-edited or foreign hive may spell any byte in a key name; the next
// save must write the same tree back. A backslash written bare would split
// the key into two nested ones, a bracket or quote could end the line early.
TEST_F(RegistryTest, KeyNamesWithTheFormatsOwnCharactersSurviveASave)
{
    struct Case {
        const char* name;
        const char* spelled;  // in the hand-written file
    } cases[] = {
        {"back\\slash", "back%5cslash"},
        {"trailing\\", "trailing%5C"},
        {"[bracketed]", "%5bbracketed%5d"},
        {"bare ] bracket", "bare ] bracket"},
        {"\"quoted\"", "\"quoted\""},
        {"100% sure", "100%25 sure"},
        {"line\nbreak\ttab\x01\x7f", "line%0abreak%09tab%01%7f"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
    };
    std::string hive = "MORVANE-HIVE 1\n";
    for (auto& c : cases)
        hive += std::string("[Software\\Odd\\") + c.spelled + "\\Inner]\n\"v\"=dword:00000001\n";
    hive += "END-HIVE\n";
    WriteFile(UserHive(), hive);
    mvreg::ReloadHives();

    std::vector<std::string> expected;
    for (auto& c : cases)
        expected.push_back(c.name);
    ASSERT_EQ(expected, SubkeyNames(Open(HKEY_CURRENT_USER, "Software\\Odd")));

    // Two saves in a row, each read back in between: the tree stays, and the
    // second file is the first one byte for byte.
    std::string written[2];
    for (auto& text : written) {
        ASSERT_EQ(ERROR_SUCCESS, SetDword(Create(HKEY_CURRENT_USER, "Software\\Other"), "n", 1));
        text = ReadFile(UserHive());
        mvreg::ReloadHives();
        EXPECT_EQ(expected, SubkeyNames(Open(HKEY_CURRENT_USER, "Software\\Odd")));
        EXPECT_EQ(nullptr, Open(HKEY_CURRENT_USER, "Software\\Odd\\back"));
        EXPECT_NE(nullptr, Open(HKEY_CURRENT_USER, "Software\\Odd\\100% sure\\Inner"));
    }
    EXPECT_EQ(written[0], written[1]);
}

TEST_F(RegistryTest, NamesAreCaseInsensitiveAndKeepTheirFirstCase)
{
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\MixedCase\\SubKey");
    SetDword(k, "ValueName", 1);
    SetDword(k, "VALUENAME", 2);  // the same value

    HKEY other = Open(HKEY_CURRENT_USER, "SOFTWARE\\mixedcase\\SUBKEY");
    ASSERT_NE(nullptr, other);
    EXPECT_EQ((Bytes{2, 0, 0, 0}), Get(other, "valuename").second);
    EXPECT_EQ(std::vector<std::string>{"ValueName"}, ValueNames(other));

    HKEY created = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExA(HKEY_CURRENT_USER, "software\\MIXEDCASE", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &created, &disposition));
    m_open.push_back(created);
    EXPECT_EQ(REG_OPENED_EXISTING_KEY, disposition);
    EXPECT_EQ(std::vector<std::string>{"MixedCase"}, SubkeyNames(Open(HKEY_CURRENT_USER, "Software")));

    mvreg::ReloadHives();
    EXPECT_EQ(std::vector<std::string>{"ValueName"}, ValueNames(Open(HKEY_CURRENT_USER, "software\\mixedcase\\subkey")));
}

TEST_F(RegistryTest, QueryReportsSizesAndShortBuffers)
{
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Q");
    SetText(k, "Name", "abcdef");
    DWORD type = 0, size = 0;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(k, "Name", nullptr, &type, nullptr, &size));
    EXPECT_EQ(REG_SZ, type);
    EXPECT_EQ(7u, size);  // with its terminator

    char small[4] = {};
    size = sizeof small;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExA(k, "Name", nullptr, &type, reinterpret_cast<BYTE*>(small), &size));
    EXPECT_EQ(7u, size);

    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(k, "Missing", nullptr, &type, nullptr, &size));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(k, nullptr, nullptr, &type, nullptr, &size));  // no default yet
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryValueExA(k, "Name", nullptr, &type, reinterpret_cast<BYTE*>(small), nullptr));

    // Text written without its terminator is stored with one.
    RegSetValueExA(k, "Bare", 0, REG_SZ, reinterpret_cast<const BYTE*>("xyz"), 3);
    EXPECT_EQ(Z("xyz"), Get(k, "Bare").second);
}

TEST_F(RegistryTest, EnumerationFollowsCreationOrder)
{
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Enum");
    for (const char* name : {"Zeta", "alpha", "Mid"}) {
        HKEY s = Create(k, name);
        SetDword(s, "x", 0);
    }
    for (const char* name : {"b", "A", "c"})
        SetDword(k, name, 1);
    const std::vector<std::string> keys{"Zeta", "alpha", "Mid"}, values{"b", "A", "c"};
    EXPECT_EQ(keys, SubkeyNames(k));
    EXPECT_EQ(values, ValueNames(k));
    mvreg::ReloadHives();
    EXPECT_EQ(keys, SubkeyNames(k));  // the handle stays good across a reload
    EXPECT_EQ(values, ValueNames(k));

    char name[4];
    DWORD size = sizeof name;
    EXPECT_EQ(ERROR_MORE_DATA, RegEnumKeyExA(k, 1, name, &size, nullptr, nullptr, nullptr, nullptr));

    DWORD subkeys = 0, maxSub = 0, count = 0, maxName = 0, maxData = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, &subkeys, &maxSub, nullptr, &count,
                                              &maxName, &maxData, nullptr, nullptr));
    EXPECT_EQ(3u, subkeys);
    EXPECT_EQ(5u, maxSub);
    EXPECT_EQ(3u, count);
    EXPECT_EQ(1u, maxName);
    EXPECT_EQ(4u, maxData);

    // Enumerating values gives their data too.
    DWORD type = 0, data = 0, dataSize = 4;
    size = sizeof name;
    ASSERT_EQ(ERROR_SUCCESS, RegEnumValueA(k, 2, name, &size, nullptr, &type, reinterpret_cast<BYTE*>(&data), &dataSize));
    EXPECT_STREQ("c", name);
    EXPECT_EQ(REG_DWORD, type);
    EXPECT_EQ(1u, data);
}

TEST_F(RegistryTest, DeletingValuesKeysAndTrees)
{
    HKEY top = Create(HKEY_CURRENT_USER, "Software\\Del");
    HKEY leaf = Create(top, "Branch\\Leaf");
    SetDword(leaf, "v", 1);
    SetDword(top, "keep", 1);
    SetDword(top, "drop", 1);

    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(top, "DROP"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueA(top, "drop"));
    EXPECT_EQ(std::vector<std::string>{"keep"}, ValueNames(top));

    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(top, "Branch"));  // has a subkey
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyA(top, "Nothing"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeA(top, "branch"));
    EXPECT_EQ(nullptr, Open(top, "Branch"));
    EXPECT_EQ(ERROR_KEY_DELETED, SetDword(leaf, "v", 2));  // its handle no longer has a key
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteTreeA(top, "Branch"));

    Create(top, "Single");
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyA(top, "Single"));

    Create(top, "A\\B\\C");
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeA(top, nullptr));  // content only
    EXPECT_TRUE(SubkeyNames(top).empty());
    EXPECT_TRUE(ValueNames(top).empty());
    EXPECT_NE(nullptr, Open(HKEY_CURRENT_USER, "Software\\Del"));

    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyA(HKEY_CURRENT_USER, ""));  // the top of a hive stays

    mvreg::ReloadHives();
    EXPECT_EQ(nullptr, Open(HKEY_CURRENT_USER, "Software\\Del\\A"));
    EXPECT_NE(nullptr, Open(HKEY_CURRENT_USER, "Software\\Del"));
}

TEST_F(RegistryTest, ClassesRootMergesUserOverMachine)
{
    HKEY machine = Create(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{A}");
    SetText(machine, "", "machine A");
    SetText(machine, "Shared", "from machine");
    SetText(machine, "MachineOnly", "m");
    Create(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{B}");
    HKEY user = Create(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{a}");
    SetText(user, "Shared", "from user");
    Create(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{C}");

    HKEY a = Open(HKEY_CLASSES_ROOT, "CLSID\\{A}");
    ASSERT_NE(nullptr, a);
    EXPECT_EQ("from user", Text(a, "Shared"));
    EXPECT_EQ("m", Text(a, "MachineOnly"));
    EXPECT_EQ("machine A", Text(a, nullptr));
    EXPECT_EQ((std::vector<std::string>{"{a}", "{C}", "{B}"}), SubkeyNames(Open(HKEY_CLASSES_ROOT, "CLSID")));
    EXPECT_EQ((std::vector<std::string>{"Shared", "", "MachineOnly"}), ValueNames(a));

    // Writes go to the machine's classes.
    HKEY d = Create(HKEY_CLASSES_ROOT, "CLSID\\{D}\\InprocServer32");
    SetText(d, "", "/lib/x.so");
    EXPECT_EQ("/lib/x.so", Text(Open(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{D}\\InprocServer32"), ""));
    EXPECT_EQ(nullptr, Open(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{D}"));

    // A delete through the merged view takes the key out of both hives.
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueA(a, "Shared"));
    EXPECT_EQ("<none>", Text(a, "Shared"));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeA(HKEY_CLASSES_ROOT, "CLSID\\{A}"));
    EXPECT_EQ(nullptr, Open(HKEY_CLASSES_ROOT, "CLSID\\{A}"));
    EXPECT_EQ(nullptr, Open(HKEY_LOCAL_MACHINE, "Software\\Classes\\CLSID\\{A}"));
    EXPECT_EQ(nullptr, Open(HKEY_CURRENT_USER, "Software\\Classes\\CLSID\\{A}"));
}

TEST_F(RegistryTest, ReadOnlyHandlesAndBadHandles)
{
    Create(HKEY_CURRENT_USER, "Software\\RO");
    HKEY ro = Open(HKEY_CURRENT_USER, "Software\\RO", KEY_READ);
    ASSERT_NE(nullptr, ro);
    EXPECT_EQ(ERROR_ACCESS_DENIED, SetDword(ro, "x", 1));
    HKEY sub = nullptr;
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegCreateKeyExA(ro, "New", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr));
    EXPECT_EQ(nullptr, sub);

    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyA(HKEY_CURRENT_USER, "Software\\RO", &k));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(k));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(k));
    EXPECT_EQ(ERROR_INVALID_HANDLE, SetDword(k, "x", 1));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CURRENT_USER));
    HKEY missing = reinterpret_cast<HKEY>(1);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Nope", &missing));
    EXPECT_EQ(nullptr, missing);
}

TEST_F(RegistryTest, HivesInSeparateFoldersDoNotSeeEachOther)
{
    mvtest::TempDir other;
    SetDword(Create(HKEY_CURRENT_USER, "Software\\Where"), "first", 1);

    PointRegistryAt(other.Path());
    EXPECT_EQ(nullptr, Open(HKEY_CURRENT_USER, "Software\\Where"));
    SetDword(Create(HKEY_CURRENT_USER, "Software\\Where"), "second", 2);

    PointRegistryAt(m_dir.Path());
    EXPECT_EQ(std::vector<std::string>{"first"}, ValueNames(Open(HKEY_CURRENT_USER, "Software\\Where")));
    PointRegistryAt(other.Path());
    EXPECT_EQ(std::vector<std::string>{"second"}, ValueNames(Open(HKEY_CURRENT_USER, "Software\\Where")));
    PointRegistryAt(m_dir.Path());
}

// A writer that dies in the middle of saving leaves the previous hive whole:
// a child rewrites a large hive over and over and is killed without warning.
TEST_F(RegistryTest, WriterKilledMidSaveLeavesTheOldHiveWhole)
{
    Create(HKEY_CURRENT_USER, "Software\\Kill");
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        HKEY k = nullptr;
        RegOpenKeyA(HKEY_CURRENT_USER, "Software\\Kill", &k);
        std::vector<BYTE> big(64 * 1024, 0xab);
        for (int i = 0; i < 100000; ++i)
            RegSetValueExA(k, ("v" + std::to_string(i)).c_str(), 0, REG_BINARY, big.data(),
                           static_cast<DWORD>(big.size()));
        _exit(0);
    }
    // Let it write a few times, then kill it while a save is under way.
    auto saving = [&] {
        for (auto& e : fs::directory_iterator(m_dir.Path()))
            if (e.path().filename().string().starts_with(".HKCU.hive.tmp-"))
                return true;
        return false;
    };
    for (int i = 0; i < 2000 && ReadFile(UserHive()).find("\"v5\"") == std::string::npos; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    for (int i = 0; i < 100000 && !saving(); ++i) {
    }
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);

    std::string text = ReadFile(UserHive());
    EXPECT_EQ(0u, text.find("MORVANE-HIVE 1\n"));
    EXPECT_EQ(text.size() - 9, text.rfind("END-HIVE\n"));

    mvreg::ReloadHives();
    std::vector<std::string> names = ValueNames(Open(HKEY_CURRENT_USER, "Software\\Kill"));
    ASSERT_GE(names.size(), 5u);
    HKEY k = Open(HKEY_CURRENT_USER, "Software\\Kill");
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ("v" + std::to_string(i), names[i]);
        EXPECT_EQ(std::vector<BYTE>(64 * 1024, 0xab), Get(k, names[i].c_str()).second);
    }
    // The next write works and leaves no damaged copy behind.
    EXPECT_EQ(ERROR_SUCCESS, SetDword(k, "after", 1));
    for (auto& e : fs::directory_iterator(m_dir.Path()))
        EXPECT_EQ(std::string::npos, e.path().filename().string().find("damaged"));
}

TEST_F(RegistryTest, StrayTemporaryFileIsIgnored)
{
    SetDword(Create(HKEY_CURRENT_USER, "Software\\Stray"), "good", 7);
    std::string whole = ReadFile(UserHive());
    WriteFile(m_dir.File(".HKCU.hive.tmp-a1b2c3"), whole.substr(0, whole.size() / 2));

    mvreg::ReloadHives();
    HKEY k = Open(HKEY_CURRENT_USER, "Software\\Stray");
    EXPECT_EQ((Bytes{7, 0, 0, 0}), Get(k, "good").second);
    EXPECT_EQ(ERROR_SUCCESS, SetDword(k, "more", 8));
    mvreg::ReloadHives();
    EXPECT_EQ((std::vector<std::string>{"good", "more"}), ValueNames(Open(HKEY_CURRENT_USER, "Software\\Stray")));
}

TEST_F(RegistryTest, FileThatIsNotAHiveIsRefusedAndLeftAlone)
{
    const std::string junk = "this is somebody's notes, not settings\n[Software]\n";
    WriteFile(UserHive(), junk);
    mvreg::ReloadHives();
    testing::internal::CaptureStderr();
    EXPECT_EQ(nullptr, Open(HKEY_CURRENT_USER, "Software"));
    HKEY k = nullptr;
    EXPECT_EQ(ERROR_REGISTRY_CORRUPT, RegCreateKeyA(HKEY_CURRENT_USER, "Software\\New", &k));
    EXPECT_EQ(ERROR_REGISTRY_CORRUPT, SetDword(HKEY_CURRENT_USER, "x", 1));
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_NE(std::string::npos, message.find("HKCU.hive"));
    EXPECT_EQ(junk, ReadFile(UserHive()));

    // The other hive is unaffected.
    EXPECT_EQ(ERROR_SUCCESS, SetDword(Create(HKEY_LOCAL_MACHINE, "Software\\Fine"), "x", 1));
}

TEST_F(RegistryTest, UnreadableLinesAreSkippedAndTheOriginalIsKept)
{
    const std::string damaged =
        "MORVANE-HIVE 1\n"
        "[Software\\Good]\n"
        "\"a\"=dword:00000001\n"
        "\"b\"=dword:zz\n"
        "garbage line\n"
        "[Software\\Bad%zz]\n"
        "\"lost\"=dword:00000003\n"
        "[Software\\Good\\Child]\n"
        "\"c\"=hex:01,0\n"
        "\"d\"=\"text\"\n";  // and no closing line: the file was cut short
    WriteFile(UserHive(), damaged);
    mvreg::ReloadHives();
    testing::internal::CaptureStderr();
    HKEY good = Open(HKEY_CURRENT_USER, "Software\\Good");
    ASSERT_NE(nullptr, good);
    EXPECT_EQ(std::vector<std::string>{"a"}, ValueNames(good));
    EXPECT_EQ("text", Text(Open(good, "Child"), "d"));
    EXPECT_EQ(ERROR_SUCCESS, SetDword(good, "e", 5));
    EXPECT_NE(std::string::npos, testing::internal::GetCapturedStderr().find("could not be read"));

    int kept = 0;
    for (auto& e : fs::directory_iterator(m_dir.Path()))
        if (e.path().filename().string().starts_with("HKCU.hive.damaged-")) {
            ++kept;
            EXPECT_EQ(damaged, ReadFile(e.path().string()));
        }
    EXPECT_EQ(1, kept);
    std::string text = ReadFile(UserHive());
    EXPECT_EQ(text.size() - 9, text.rfind("END-HIVE\n"));

    // Once rewritten the hive is whole: the next write keeps no further copy.
    mvreg::ReloadHives();
    EXPECT_EQ(ERROR_SUCCESS, SetDword(Open(HKEY_CURRENT_USER, "Software\\Good"), "f", 6));
    kept = 0;
    for (auto& e : fs::directory_iterator(m_dir.Path()))
        kept += e.path().filename().string().starts_with("HKCU.hive.damaged-");
    EXPECT_EQ(1, kept);
}

// Another process's change is seen without an explicit reload, and two
// processes writing the same hive at once lose nothing.
TEST_F(RegistryTest, ProcessesShareAHiveWithoutLosingChanges)
{
    HKEY k = Create(HKEY_LOCAL_MACHINE, "Software\\Shared");
    EXPECT_EQ(nullptr, Open(k, "FromChild"));

    constexpr int kPerChild = 40;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            HKEY key = nullptr;
            RegOpenKeyA(HKEY_LOCAL_MACHINE, "Software\\Shared", &key);
            bool ok = true;
            for (int i = 0; i < kPerChild; ++i)
                ok = ok && SetDword(key, ("c" + std::to_string(c) + "-" + std::to_string(i)).c_str(), i) == 0;
            HKEY sub = nullptr;
            ok = ok && RegCreateKeyA(key, ("FromChild\\" + std::to_string(c)).c_str(), &sub) == 0;
            _exit(ok ? 0 : 1);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(2u * kPerChild, ValueNames(k).size());
    HKEY fromChild = Open(k, "FromChild");
    ASSERT_NE(nullptr, fromChild);
    EXPECT_EQ(2u, SubkeyNames(fromChild).size());
}

TEST_F(RegistryTest, ThreadsWritingAtOnceLoseNothing)
{
    HKEY k = Create(HKEY_CURRENT_USER, "Software\\Threads");
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([k, t] {
            for (int i = 0; i < 25; ++i) {
                SetDword(k, ("t" + std::to_string(t) + "-" + std::to_string(i)).c_str(), i);
                Get(k, "t0-0");
            }
        });
    for (auto& t : threads)
        t.join();
    mvreg::ReloadHives();
    EXPECT_EQ(100u, ValueNames(k).size());
}

}  // namespace
