// The program started on its own, as the engine library or a user starts
// it: which mode it takes from its command line and the bridge's objects,
// and that as a device it ends by itself once the bridge's mailslot has gone.
#include "app/CRewireDeviceApp.h"

#include <gtest/gtest.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/ipc/FileMapping.h"
#include "platform/ipc/Mailslot.h"
#include "platform/ipc/NamedEvent.h"
#include "platform/rewire/MvDeviceProtocol.h"
#include "platform/sync/Event.h"
#include "tests/platform/ipc/IpcTestSupport.h"
#include "tests/support/SanitizerSlowdown.h"
#include "tests/support/TempRegistry.h"

extern char** environ;

namespace {

using namespace mvdevice;
using std::chrono::steady_clock;

// The program as a child of the test, its output to a file of its own.
class Program {
public:
    explicit Program(std::vector<std::string> args) : m_out(std::tmpfile())
    {
        std::vector<char*> argv;
        std::string program = MVTEST_MORVANE;
        argv.push_back(program.data());
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fileno(m_out), STDOUT_FILENO);
        if (posix_spawn(&m_pid, program.c_str(), &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Program()
    {
        if (m_pid > 0 && !m_ended) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        std::fclose(m_out);
    }
    // The exit code once it ended by itself within the time; -1 otherwise.
    int End(std::chrono::milliseconds within)
    {
        const auto limit = steady_clock::now() + mvtest::SanitizerScaled(within);
        int status = 0;
        while (m_pid > 0 && steady_clock::now() < limit) {
            if (waitpid(m_pid, &status, WNOHANG) == m_pid) {
                m_ended = true;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return -1;
    }
    std::string Output()
    {
        std::fflush(m_out);
        std::rewind(m_out);
        std::string text;
        char buffer[256];
        while (std::fgets(buffer, sizeof buffer, m_out))
            text += buffer;
        return text;
    }

private:
    std::FILE* m_out;
    pid_t m_pid = -1;
    bool m_ended = false;
};

class RewireDeviceApp : public ::testing::Test {
protected:
    mvtest::IpcNamespace ns;
    mvtest::TempRegistry registry;
};

TEST_F(RewireDeviceApp, WithoutTheBridgeTheProgramSaysWhoItIsOrFailsAsADevice)
{
    struct Case {
        const char* name;
        std::vector<std::string> args;
        int exitCode;
        std::string output;
    };
    const Case cases[] = {
        {"no switch", {}, 0, "Morvane 1.0\n"},
        {"a file only", {"/tmp/none.mvp"}, 0, "Morvane 1.0\n"},
        {"the panel switch, any case", {"/rewirepanel"}, 1, ""},
        {"the switch after a file", {"/tmp/none.mvp", "/ReWirePanel"}, 1, ""},
    };
    for (const Case& c : cases) {
        Program program(c.args);
        EXPECT_EQ(c.exitCode, program.End(std::chrono::seconds(20))) << c.name << ": the engine has no device";
        EXPECT_EQ(c.output, program.Output()) << c.name;
    }
}

TEST_F(RewireDeviceApp, TheBridgesMailslotMakesADeviceThatEndsWhenTheMailslotGoes)
{
    HANDLE slot = CreateMailslotA(kMailslotName, kCommandSize, 0, nullptr);
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                        static_cast<DWORD>(kBlockSize), kMappingName);
    HANDLE request = CreateNamedEventA(nullptr, FALSE, FALSE, kRequestEventName);
    HANDLE acknowledge = CreateNamedEventA(nullptr, FALSE, FALSE, kAcknowledgeEventName);
    ASSERT_NE(INVALID_HANDLE_VALUE, slot);
    ASSERT_NE(nullptr, mapping);

    Program program({});
    // It starts its device: the start record comes.
    bool started = false;
    const auto limit = steady_clock::now() + mvtest::SanitizerScaled(std::chrono::seconds(20));
    while (!started && steady_clock::now() < limit) {
        CommandRecord r;
        DWORD read = 0;
        if (ReadMailslot(slot, r.bytes, sizeof r.bytes, &read))
            started = r.Word(0) == 0x01D500FFu;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(started);
    EXPECT_EQ(-1, program.End(std::chrono::milliseconds(300))) << "it runs while the bridge stands";

    // The host has gone with its mailslot: the program ends by itself.
    CloseHandle(slot);
    EXPECT_EQ(0, program.End(std::chrono::seconds(10)));
    for (HANDLE h : {mapping, request, acknowledge})
        CloseHandle(h);
    EXPECT_TRUE(ns.Leftovers().empty());
}

}  // namespace
