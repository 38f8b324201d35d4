// The sine song of SineSongFixture with the program running as a ReWire
// device: the song document listens to a real MIDI source that carries the
// virtual ReWire MIDI input port, and the host's messages are handed over
// as the device's worker does, on a thread marked as the audio thread.
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <thread>
#include <vector>

#include "devices/CAppConfig.h"
#include "devices/CMidiSource.h"
#include "tests/engine/hosting/SineSongFixture.h"

namespace songplay {

constexpr DWORD NoteOnMessage(BYTE key, BYTE velocity)
{
    return 0x90u | key << 8 | static_cast<DWORD>(velocity) << 16;
}

class RewireSongFixture : public SineSongFixture {
protected:
    void SetUp() override
    {
        CAppConfig::SetRewireDeviceMode(true);
        // The virtual port opens nothing; with no port before it, it is 0.
        ASSERT_EQ(S_OK, source.OpenPort(midiInGetNumDevs()));
        ASSERT_NE(nullptr, source.GetRewirePort());
        engine.midiSource = &source;
        SineSongFixture::SetUp();
    }
    void TearDown() override
    {
        SineSongFixture::TearDown();
        source.CloseAllPorts();
        CAppConfig::SetRewireDeviceMode(false);
    }

    // On the worker: every message through the ReWire port, in order. True
    // when the deliveries came back within seconds; `release` then lets go
    // of whatever the test holds, and the worker is joined either way.
    bool DeliverFromHost(std::vector<DWORD> messages, const std::function<void()>& release = nullptr)
    {
        std::packaged_task<void()> task([this, messages] {
            mv::MarkCurrentThread(mv::ThreadRole::Audio);
            for (DWORD m : messages)
                source.Deliver(source.GetRewirePort(), m, 0);
        });
        std::future<void> done = task.get_future();
        std::thread worker(std::move(task));
        const bool returned = done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
        if (release)
            release();
        worker.join();
        return returned;
    }

    CChannel* Channel(int position)
    {
        CChannel* channel = nullptr;
        EXPECT_EQ(S_OK, doc->GetChannelAt(position, &channel));
        return channel;
    }

    CMidiSource source;
};

}  // namespace songplay
