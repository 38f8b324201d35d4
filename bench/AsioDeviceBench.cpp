// The ASIO back-end's own cost, without the engine (its per-buffer entry
// returns at once):
// - BM_AsioBufferSwitch: one buffer switch of the back-end (device-lock try,
//   the engine call, the split into the two channel buffers) at 64 and 256
//   frames, 16 and 32 bits. Target: well under 2 us per call.
// - BM_JackDriverEdge: what the JACK driver adds to each cycle, the 24-in-32
//   to float conversion of both channels.
// - BM_JackDummyRun: 30 s streaming on a JACK server of its own (dummy
//   driver, 48000 Hz, 64-frame period) through the JACK driver and the
//   back-end; counts cycles against the expected number and the server's
//   xruns (late_cycles: those the client itself caused, from the server's
//   log), the largest gap between two buffers and the server's largest
//   cycle delay; the same run with a bare JACK client in its place is the
//   control for what the machine itself causes. Needs jackd on PATH;
//   MORVANE_BENCH_SECONDS shortens the run.
#include <benchmark/benchmark.h>

#include <jack/jack.h>
#include <jack/statistics.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "devices/CAsioDevice.h"
#include "devices/IEngineOwner.h"
#include "platform/audio/CJackAsioDriver.h"
#include "platform/audio/JackSampleConvert.h"
#include "platform/registry/Registry.h"
#include "tests/platform/audio/FakeAsioDriver.h"
#include "tests/platform/audio/JackTestSupport.h"

namespace {

using Clock = std::chrono::steady_clock;

// An engine that leaves the buffer as it is, and notes the largest gap
// between two of its calls.
class IdleEngine : public IEngineOwner {
public:
    HRESULT ProcessBuffer(void*, void*, UINT, LONG) override
    {
        if (timing.load()) {
            const Clock::time_point now = Clock::now();
            if (last != Clock::time_point{})
                maxGap = std::max(maxGap, now - last);
            last = now;
        }
        ++calls;
        return S_OK;
    }
    HRESULT RequestAudioReset() override
    {
        ++resets;
        return S_OK;
    }

    std::atomic<bool> timing{false};  // from here on, gaps count
    std::atomic<long> calls{0};
    std::atomic<int> resets{0};
    Clock::time_point last{};
    Clock::duration maxGap{};
};

// A registry of the benchmark's own, removed afterwards.
class ScratchRegistry {
public:
    ScratchRegistry()
    {
        char pattern[] = "/tmp/mvbench-XXXXXX";
        m_path = mkdtemp(pattern);
        setenv("MORVANE_REGISTRY", m_path.c_str(), 1);
        mvreg::ReloadHives();
    }
    ~ScratchRegistry()
    {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
        mvreg::ReloadHives();
    }

    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
};

void BM_AsioBufferSwitch(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    const auto bits = static_cast<unsigned short>(state.range(1));
    ScratchRegistry registry;
    mvtest::FakeAsio::Reset();
    mvtest::FakeAsioConfig config;
    config.bufferFrames = frames;
    config.sampleType = bits == 16 ? kAsioInt16LSB : kAsioInt32LSB;
    config.outputReady = false;
    mvtest::FakeAsio::Install(mvtest::CLSID_FakeAsioA, "Fake", nullptr, config);
    IdleEngine engine;
    {
        CAsioDevice device(&engine);
        device.Set24BitMode(4);
        if (device.Open() != S_OK || device.SetFormat(48000, bits, frames) != S_OK || device.Start() != S_OK) {
            state.SkipWithError("the back-end did not start on the fake driver");
        } else {
            const auto bufferSwitch = mvtest::FakeAsio::Callbacks().bufferSwitch;
            std::int32_t index = 0;
            for (auto _ : state) {
                bufferSwitch(index, TRUE);
                index ^= 1;
                benchmark::ClobberMemory();
            }
        }
    }
    CAsioDevice::DeleteDriverList();
    mvtest::FakeAsio::Reset();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AsioBufferSwitch)->ArgsProduct({{64, 256}, {16, 32}})->ArgNames({"frames", "bits"});

void BM_JackDriverEdge(benchmark::State& state)
{
    const int frames = static_cast<int>(state.range(0));
    std::vector<std::int32_t> left(static_cast<std::size_t>(frames), 0x12345600);
    std::vector<std::int32_t> right(static_cast<std::size_t>(frames), -0x12345600);
    std::vector<float> out(static_cast<std::size_t>(frames));
    for (auto _ : state) {
        Int24In32ToJackFloat(out.data(), left.data(), frames);
        Int24In32ToJackFloat(out.data(), right.data(), frames);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_JackDriverEdge)->Arg(64)->Arg(256)->ArgName("frames");

std::atomic<int> g_xruns{0};

std::uintmax_t LogSize(const std::string& log)
{
    std::error_code ec;
    const std::uintmax_t size = std::filesystem::file_size(log, ec);
    return ec ? 0 : size;
}

// The server's xruns that were the client's own: cycles in which `client`
// had not finished when the next one was due, as the server logs them
// past `from`.
int CountLateCycles(const std::string& log, std::uintmax_t from, const std::string& client)
{
    std::ifstream in(log);
    in.seekg(static_cast<std::streamoff>(from));
    const std::string mark = "client = " + client + " was not finished";
    int late = 0;
    for (std::string line; std::getline(in, line);)
        late += line.find(mark) != std::string::npos ? 1 : 0;
    return late;
}

int CountXrun(void*)
{
    ++g_xruns;
    return 0;
}

// Streams for the run's length on a server of its own, either through the
// JACK driver and the back-end (range 1) or, as the control that shows what
// the machine itself costs, through a bare JACK client writing its ports
// (range 0).
void BM_JackDummyRun(benchmark::State& state)
{
    constexpr int kFrames = 64;
    constexpr int kRate = 48000;
    const bool backEnd = state.range(0) != 0;
    const char* secondsText = getenv("MORVANE_BENCH_SECONDS");
    const int seconds = secondsText ? std::max(1, atoi(secondsText)) : 30;
    for (auto _ : state) {
        ScratchRegistry registry;
        const std::string log = registry.Path() + "/jackd.log";
        mvtest::JackTestServer server(kFrames, log.c_str());
        if (!server.IsUp()) {
            state.SkipWithError("no JACK server could be started (jackd on PATH?)");
            return;
        }
        mvtest::ScopedEnv serverName("MORVANE_JACK_SERVER", server.Name().c_str());
        CJackAsioDriver::Register();

        // A monitor on the same server hears of every xrun.
        jack_status_t status{};
        const std::string monitorName = fmt::format("mvbench-monitor-{}", getpid());
        jack_client_t* monitor =
            jack_client_open(monitorName.c_str(), static_cast<jack_options_t>(JackNoStartServer | JackServerName),
                             &status, server.Name().c_str());
        if (!monitor) {
            state.SkipWithError("the monitor client did not open");
            return;
        }
        jack_set_xrun_callback(monitor, &CountXrun, nullptr);
        jack_activate(monitor);

        IdleEngine engine;
        std::optional<CAsioDevice> device;
        std::optional<mvtest::JackProbe> bare;
        if (backEnd) {
            device.emplace(&engine);
            device->Set24BitMode(1);
            if (device->Open() != S_OK || device->SetFormat(kRate, 24, kFrames) != S_OK || device->Start() != S_OK) {
                jack_client_close(monitor);
                state.SkipWithError("the back-end did not start on the JACK driver");
                return;
            }
        } else {
            bare.emplace(server.Name().c_str(), 0, 2);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(500));  // settle
        g_xruns = 0;
        const std::uintmax_t logStart = LogSize(log);
        jack_reset_max_delayed_usecs(monitor);
        engine.timing = true;
        const long before = engine.calls;
        const Clock::time_point start = Clock::now();
        std::this_thread::sleep_for(std::chrono::seconds(seconds));
        const long cycles = engine.calls - before;
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        const int xruns = g_xruns;
        const std::string client = backEnd ? CJackAsioDriver::kClientName : mvtest::JackProbe::ProbeName();
        const int late = CountLateCycles(log, logStart, client);
        const float maxDelay = jack_get_max_delayed_usecs(monitor);
        const float load = jack_cpu_load(monitor);
        device.reset();
        bare.reset();
        jack_client_close(monitor);
        CJackAsioDriver::Unregister();
        CAsioDevice::DeleteDriverList();

        state.counters["expected"] = elapsed * kRate / kFrames;
        state.counters["xruns"] = xruns;
        state.counters["late_cycles"] = late;
        state.counters["max_delay_us"] = maxDelay;
        state.counters["dsp_load_pct"] = load;
        if (backEnd) {
            state.counters["cycles"] = static_cast<double>(cycles);
            state.counters["resets"] = engine.resets.load();
            state.counters["max_gap_ms"] = std::chrono::duration<double, std::milli>(engine.maxGap).count();
        }
    }
}
BENCHMARK(BM_JackDummyRun)->Arg(0)->Arg(1)->ArgName("backend")->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
