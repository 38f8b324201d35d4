// JACK for the tests that stream audio: the run's server, a server of a
// test's own (to shut down or resize without disturbing tests running
// beside it), and a second client that records what reaches its inputs and
// plays a known signal from its outputs.
//
// Tests that stream skip without the run's server ($MORVANE_JACK_SERVER,
// set by tools/run-tests).
#pragma once

#include <fcntl.h>
#include <jack/jack.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

extern char** environ;

namespace mvtest {

// Polls `done` every 5 ms for up to `limit`.
template <class Condition>
bool WaitFor(Condition done, std::chrono::milliseconds limit = std::chrono::milliseconds(5000))
{
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// How many times `count` went up over about one second, and over how long.
struct CountedSecond {
    int count;
    double seconds;
};
template <class Counter>
CountedSecond CountOverOneSecond(const Counter& count)
{
    const int before = count.load();
    const auto start = std::chrono::steady_clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const int after = count.load();
    return {after - before, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()};
}

// Where a recording starts to carry signal: before its connection is made
// a port hears silence.
template <class T>
std::size_t FirstNonZero(const std::vector<T>& v)
{
    std::size_t i = 0;
    while (i < v.size() && v[i] == 0)
        ++i;
    return i;
}

// What is wrong with a recording of the 24-bit counter stream (left:
// ((n & 0xFFFF) << 7) for frame n; right: its negation) carried as
// sample / 2^23 in cycles of `period` frames, or "" when it is right.
// Every sample must be exact. A cycle the server lost (an xrun on a busy
// machine) breaks the count between two cycles, so breaks are allowed in
// at most a quarter of the cycles heard; a fault in every block is not.
inline std::string CounterStreamFault(const std::vector<float>& left, const std::vector<float>& right,
                                      std::size_t period)
{
    const std::size_t heard = FirstNonZero(left);
    const std::size_t cycles = (left.size() - heard) / period;
    if (cycles < 4 || right.size() != left.size())
        return fmt::format("{} frames heard of {} recorded", left.size() - heard, left.size());
    std::size_t breaks = 0;
    for (std::size_t i = heard; i < left.size(); ++i) {
        const double scaled = static_cast<double>(left[i]) * 8388608.0;
        if (std::floor(scaled) != scaled)
            return fmt::format("frame {}: {} is not a 24-bit sample / 2^23", i, left[i]);
        if (right[i] != -left[i])
            return fmt::format("frame {}: right {} against left {}", i, right[i], left[i]);
        if (i == heard)
            continue;
        const auto before = static_cast<std::int64_t>(static_cast<double>(left[i - 1]) * 8388608.0);
        const auto step = static_cast<std::uint32_t>(static_cast<std::int64_t>(scaled) - before);
        breaks += (step & 0x7FFFFFu) != 1u << 7 ? 1 : 0;  // one counter step, also where it wraps
    }
    if (breaks > cycles / 4)
        return fmt::format("the count broke {} times in {} cycles", breaks, cycles);
    return {};
}

inline const char* SharedJackServer()
{
    const char* server = getenv("MORVANE_JACK_SERVER");
    return server && *server ? server : nullptr;
}

// Sets an environment variable for the scope (unsets it for null) and puts
// back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : m_name(name)
    {
        if (const char* old = getenv(name))
            m_old = old;
        if (value)
            setenv(name, value, 1);
        else
            unsetenv(name);
    }
    ~ScopedEnv()
    {
        if (m_old)
            setenv(m_name.c_str(), m_old->c_str(), 1);
        else
            unsetenv(m_name.c_str());
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string m_name;
    std::optional<std::string> m_old;
};

// The ASIO driver's JACK client name in this test process, so a test finds
// its driver's ports among those of the tests running beside it.
inline std::string DriverClientName()
{
    return fmt::format("mvtest-{}", getpid());
}

inline std::string DriverPort(const char* channel)
{
    return DriverClientName() + ":" + channel;
}

// Runs `args` with JACK's device reservation off, its output going to `log`.
inline pid_t SpawnQuietly(std::vector<std::string> args, const char* log = "/dev/null")
{
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> envText = {"JACK_NO_AUDIO_RESERVATION=1"};
    for (char** e = environ; *e; ++e)
        envText.emplace_back(*e);
    std::vector<char*> env;
    for (std::string& e : envText)
        env.push_back(e.data());
    env.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log, O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), env.data()) != 0)
        pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// A JACK server of the test's own on the dummy driver at 48000 Hz, its
// messages going to `log`.
class JackTestServer {
public:
    explicit JackTestServer(int periodFrames = 256, const char* log = "/dev/null")
    {
        static std::atomic<int> serial{0};
        m_name = fmt::format("mvtest-{}-{}", getpid(), serial++);
        m_pid = SpawnQuietly({"jackd", "-n", m_name, "-d", "dummy", "-r", "48000", "-p", std::to_string(periodFrames)},
                             log);
        if (m_pid <= 0)
            return;
        m_up = WaitUntilUp();
    }
    ~JackTestServer() { Kill(); }
    JackTestServer(const JackTestServer&) = delete;
    JackTestServer& operator=(const JackTestServer&) = delete;

    bool IsUp() const { return m_up; }
    const std::string& Name() const { return m_name; }
    void Kill()
    {
        if (m_pid <= 0)
            return;
        kill(m_pid, SIGTERM);
        waitpid(m_pid, nullptr, 0);
        m_pid = -1;
        m_up = false;
    }

private:
    static void Quiet(const char*) {}
    static void ToStderr(const char* text) { fprintf(stderr, "%s\n", text); }

    // Opens a client of a name of this process's own until the server
    // answers, for up to 10 s (jack_wait's fixed client name clashes when
    // tests start servers side by side). The failed attempts are not
    // worth a message each.
    bool WaitUntilUp() const
    {
        jack_set_error_function(&Quiet);
        jack_set_info_function(&Quiet);
        const std::string client = fmt::format("mvtest-wait-{}", getpid());
        bool up = false;
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!up && std::chrono::steady_clock::now() < end && waitpid(m_pid, nullptr, WNOHANG) == 0) {
            jack_status_t status{};
            jack_client_t* c = jack_client_open(client.c_str(),
                                                static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                                                &status, m_name.c_str());
            up = c != nullptr;
            if (c)
                jack_client_close(c);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        jack_set_error_function(&ToStderr);
        jack_set_info_function(&ToStderr);
        return up;
    }

    std::string m_name;
    pid_t m_pid = -1;
    bool m_up = false;
};

// A second client. Its outputs play the ramp ProbeSignal(n) over the frames
// n = 0, 1, 2, ... it has played; its inputs are recorded while recording
// is on, up to kCapacity frames each.
class JackProbe {
public:
    static constexpr std::size_t kCapacity = 48000 * 8;
    static constexpr int kRampLength = 2048;

    // The ramp: k / 1024 for k = -1024 .. 1023, rising one step a frame.
    static float ProbeSignal(std::uint64_t n)
    {
        return static_cast<float>(static_cast<int>(n % kRampLength) - kRampLength / 2) / (kRampLength / 2);
    }

    JackProbe(const char* server, int inputs, int outputs)
    {
        jack_status_t status{};
        m_client = jack_client_open(ProbeName().c_str(),
                                    static_cast<jack_options_t>(JackNoStartServer | JackServerName), &status, server);
        if (!m_client)
            return;
        for (int i = 0; i < inputs; ++i) {
            m_inputs.push_back(jack_port_register(m_client, fmt::format("in_{}", i + 1).c_str(),
                                                  JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0));
            m_recorded.emplace_back(kCapacity);
        }
        for (int i = 0; i < outputs; ++i)
            m_outputs.push_back(jack_port_register(m_client, fmt::format("out_{}", i + 1).c_str(),
                                                   JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0));
        jack_set_process_callback(m_client, &JackProbe::Process, this);
        jack_set_xrun_callback(m_client, &JackProbe::Xrun, this);
        if (jack_activate(m_client) != 0) {
            jack_client_close(m_client);
            m_client = nullptr;
        }
    }
    ~JackProbe()
    {
        if (m_client)
            jack_client_close(m_client);
    }
    JackProbe(const JackProbe&) = delete;
    JackProbe& operator=(const JackProbe&) = delete;

    // Client names are this process's own: JACK's client sockets are
    // named after the client, whatever the server.
    static std::string ProbeName() { return fmt::format("mvtest-probe-{}", getpid()); }

    bool IsOpen() const { return m_client != nullptr; }
    jack_client_t* Client() const { return m_client; }
    std::string InputName(int i) const { return jack_port_name(m_inputs[static_cast<std::size_t>(i)]); }
    std::string OutputName(int i) const { return jack_port_name(m_outputs[static_cast<std::size_t>(i)]); }
    bool Connect(const std::string& from, const std::string& to)
    {
        return jack_connect(m_client, from.c_str(), to.c_str()) == 0;
    }

    void StartRecording()
    {
        m_frames = 0;
        m_recording = true;
    }
    void StopRecording() { m_recording = false; }
    std::size_t Frames() const { return m_frames.load(); }
    // Cycles the server reported lost while the probe was open: on a
    // machine too busy for the dummy driver's clock, rates fall short.
    int Xruns() const { return m_xruns.load(); }
    // What input `i` received, after StopRecording.
    std::vector<float> Recorded(int i) const
    {
        const auto& r = m_recorded[static_cast<std::size_t>(i)];
        return std::vector<float>(r.begin(), r.begin() + static_cast<std::ptrdiff_t>(m_frames.load()));
    }

private:
    static int Process(jack_nframes_t frames, void* self)
    {
        static_cast<JackProbe*>(self)->Run(frames);
        return 0;
    }
    static int Xrun(void* self)
    {
        ++static_cast<JackProbe*>(self)->m_xruns;
        return 0;
    }
    void Run(jack_nframes_t frames)
    {
        for (jack_port_t* port : m_outputs) {
            auto* out = static_cast<float*>(jack_port_get_buffer(port, frames));
            for (jack_nframes_t i = 0; i < frames; ++i)
                out[i] = ProbeSignal(m_played + i);
        }
        m_played += frames;
        if (!m_recording)
            return;
        const std::size_t at = m_frames.load();
        const std::size_t n = std::min<std::size_t>(frames, kCapacity - at);
        for (std::size_t p = 0; p < m_inputs.size(); ++p) {
            const auto* in = static_cast<const float*>(jack_port_get_buffer(m_inputs[p], frames));
            std::copy(in, in + n, m_recorded[p].begin() + static_cast<std::ptrdiff_t>(at));
        }
        m_frames = at + n;
    }

    jack_client_t* m_client = nullptr;
    std::atomic<int> m_xruns{0};
    std::vector<jack_port_t*> m_inputs;
    std::vector<jack_port_t*> m_outputs;
    std::vector<std::vector<float>> m_recorded;
    std::uint64_t m_played = 0;
    std::atomic<bool> m_recording{false};
    std::atomic<std::size_t> m_frames{0};
};

}  // namespace mvtest
