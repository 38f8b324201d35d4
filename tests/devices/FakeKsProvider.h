// A kernel-streaming device provider for tests: filters built by the test,
// and pin streams that keep what they were given (the first bytes of the
// stream, up to a limit) for the test to compare.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/audio/KsDeviceProvider.h"

namespace mvtest {

inline KsPinDescription RenderPin(std::vector<KSDATARANGE_AUDIO> ranges, ULONG frameSize = 0)
{
    KsPinDescription pin;
    pin.ranges = std::move(ranges);
    pin.allocatorFrameSize = frameSize;
    return pin;
}

inline KsFilterDescription RenderFilter(const std::string& name, std::vector<KsPinDescription> pins)
{
    KsFilterDescription f;
    f.path = "fake:" + name;
    f.friendlyName = name;
    f.description = name + " (fake device)";
    f.hardwareId = "FAKE\\" + name;
    f.service = "fakeaudio";
    f.categories = {KSCATEGORY_AUDIO, KSCATEGORY_RENDER};
    f.pins = std::move(pins);
    return f;
}

class FakeKsProvider : public IKsDeviceProvider {
public:
    static constexpr std::size_t kKeptBytes = 1 << 20;

    std::vector<KsFilterDescription> filters;

    std::vector<KsFilterDescription> Filters() override { return filters; }

    std::unique_ptr<IKsPinStream> OpenPin(const std::string& path, ULONG pinId, const WAVEFORMATEX& format,
                                          DWORD* error) override
    {
        std::lock_guard lock(m_lock);
        ++m_opened;
        m_lastFormat = format;
        return std::make_unique<Stream>(*this);
    }

    std::vector<std::uint8_t> Played()
    {
        std::lock_guard lock(m_lock);
        return m_played;
    }
    int PacketsPlayed()
    {
        std::lock_guard lock(m_lock);
        return m_packets;
    }
    int PinsOpened()
    {
        std::lock_guard lock(m_lock);
        return m_opened;
    }
    WAVEFORMATEX LastFormat()
    {
        std::lock_guard lock(m_lock);
        return m_lastFormat;
    }

private:
    class Stream : public IKsPinStream {
    public:
        explicit Stream(FakeKsProvider& owner) : m_owner(owner) { owner.m_played.clear(); }
        void SetState(KSSTATE) override {}
        bool Write(const void* data, ULONG bytes) override
        {
            {
                std::lock_guard lock(m_owner.m_lock);
                const auto* p = static_cast<const std::uint8_t*>(data);
                const std::size_t keep = std::min<std::size_t>(bytes, kKeptBytes - std::min(kKeptBytes, m_owner.m_played.size()));
                m_owner.m_played.insert(m_owner.m_played.end(), p, p + keep);
                ++m_owner.m_packets;
            }
            // A device takes its time.
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return true;
        }

    private:
        FakeKsProvider& m_owner;
    };

    std::mutex m_lock;
    std::vector<std::uint8_t> m_played;
    int m_packets = 0;
    int m_opened = 0;
    WAVEFORMATEX m_lastFormat{};
};

}  // namespace mvtest
