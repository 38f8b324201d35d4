// Support for tests of the shared objects: each test runs in a namespace of
// its own, so runs in parallel never meet, and a helper runs a piece of the
// test in a second process, as the other end of a protocol would.
#pragma once

#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace mvtest {

// Sets MORVANE_IPC_NAMESPACE to a name unique to this process and instance
// for its lifetime. A process id alone is not unique over a long run: ids
// come round again, and a test process that died left its names behind, so a
// random word goes with it.
class IpcNamespace {
public:
    IpcNamespace()
    {
        static int serial = 0;
        m_name = "t" + std::to_string(static_cast<long>(getpid())) + "-" + std::to_string(++serial) + "-" +
                 std::to_string(std::random_device{}());
        setenv("MORVANE_IPC_NAMESPACE", m_name.c_str(), 1);
    }
    ~IpcNamespace() { unsetenv("MORVANE_IPC_NAMESPACE"); }
    const std::string& Name() const { return m_name; }
    // Shared-memory objects and semaphores of this namespace that still
    // have a name (message queues are not listed by the system here).
    std::vector<std::string> Leftovers() const
    {
        std::vector<std::string> found;
        if (DIR* dir = opendir("/dev/shm")) {
            const std::string mine = "mv." + m_name + ".";
            while (dirent* e = readdir(dir)) {
                const std::string n = e->d_name;
                if (n.rfind(mine, 0) == 0 || n.rfind("sem." + mine, 0) == 0)
                    found.push_back(n);
            }
            closedir(dir);
        }
        return found;
    }

private:
    std::string m_name;
};

// A second process that runs `body` and exits with its result.
class ChildProcess {
public:
    template <class Body>
    explicit ChildProcess(Body body)
    {
        m_pid = fork();
        if (m_pid == 0)
            _exit(body());
    }
    ~ChildProcess()
    {
        if (m_pid > 0 && !m_joined)
            Join();
    }
    bool Started() const { return m_pid > 0; }
    // The child's exit code, or -1 when it did not exit normally.
    int Join()
    {
        int status = 0;
        m_joined = true;
        if (waitpid(m_pid, &status, 0) != m_pid || !WIFEXITED(status))
            return -1;
        return WEXITSTATUS(status);
    }

private:
    pid_t m_pid = -1;
    bool m_joined = false;
};

}  // namespace mvtest
