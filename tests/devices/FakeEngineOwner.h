// The engine owner as a back-end sees it, for back-end tests: each call of
// the per-buffer entry writes the next bytes of one known stream (the same
// stream whatever the device format), so a test can compare what a device
// played with what was rendered. It records the sizes asked for, the
// threads that asked and the roles they were marked with, and can hold a
// call until the test lets it go.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "devices/IEngineOwner.h"
#include "platform/sync/ThreadAffinity.h"

namespace mvtest {

class FakeEngineOwner : public IEngineOwner {
public:
    // Byte `i` of the rendered stream: never long runs of one value.
    static std::uint8_t StreamByte(std::uint64_t i) { return static_cast<std::uint8_t>((i * 2654435761u) >> 13); }

    HRESULT ProcessBuffer(void* out, void* in, UINT outBytes, LONG frames) override
    {
        {
            std::unique_lock lock(m_lock);
            m_sizes.push_back(outBytes);
            m_threads.insert(std::this_thread::get_id());
            m_roles.insert(mv::CurrentThreadRole());
            m_inputs += in != nullptr;
            m_framesArgs.push_back(frames);
            if (m_holdNext) {
                m_holdNext = false;
                m_held = true;
                m_changed.notify_all();
                m_changed.wait(lock, [this] { return !m_held; });
            }
        }
        auto* bytes = static_cast<std::uint8_t*>(out);
        for (UINT i = 0; i < outBytes; ++i)
            bytes[i] = StreamByte(m_rendered + i);
        std::lock_guard lock(m_lock);
        m_rendered += outBytes;
        ++m_calls;
        m_changed.notify_all();
        return S_OK;
    }
    HRESULT RequestAudioReset() override { return S_OK; }

    // Waits (up to 10 s) until `count` calls have returned.
    bool WaitForCalls(int count)
    {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [&] { return m_calls.load() >= count; });
    }

    // The next call waits inside the entry until Release.
    void HoldNextCall()
    {
        std::lock_guard lock(m_lock);
        m_holdNext = true;
    }
    bool WaitUntilHeld()
    {
        std::unique_lock lock(m_lock);
        return m_changed.wait_for(lock, std::chrono::seconds(10), [this] { return m_held; });
    }
    void Release()
    {
        std::lock_guard lock(m_lock);
        m_held = false;
        m_changed.notify_all();
    }

    int Calls() const { return m_calls.load(); }
    std::uint64_t RenderedBytes() const { return m_rendered.load(); }
    std::vector<UINT> Sizes()
    {
        std::lock_guard lock(m_lock);
        return m_sizes;
    }
    std::vector<LONG> FramesArguments()
    {
        std::lock_guard lock(m_lock);
        return m_framesArgs;
    }
    std::size_t ThreadCount()
    {
        std::lock_guard lock(m_lock);
        return m_threads.size();
    }
    int CallsWithInput() const { return m_inputs.load(); }
    // The roles of the threads that called the per-buffer entry.
    std::set<mv::ThreadRole> Roles()
    {
        std::lock_guard lock(m_lock);
        return m_roles;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<UINT> m_sizes;
    std::vector<LONG> m_framesArgs;
    std::set<std::thread::id> m_threads;
    std::set<mv::ThreadRole> m_roles;
    std::atomic<int> m_inputs{0};
    std::atomic<int> m_calls{0};
    std::atomic<std::uint64_t> m_rendered{0};
    bool m_holdNext = false;
    bool m_held = false;
};

}  // namespace mvtest
