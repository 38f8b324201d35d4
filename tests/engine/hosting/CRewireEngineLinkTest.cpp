// The engine owner as the ReWire-device worker reaches it: a transport
// change for the host is made only when all three of the engine owner's
// locks can be had at once, and otherwise left undone at once (the host's
// state is compared again at the next request), so the worker never waits
// on the UI thread.
#include "engine/hosting/CRewireEngineLink.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "devices/CAudioRenderer.h"
#include "tests/engine/TransportRig.h"

namespace {

// Holds a lock on a thread of its own until it goes.
class HeldElsewhere {
public:
    explicit HeldElsewhere(CHeapCriticalSection& lock)
        : m_thread([this, &lock] {
              lock.Lock();
              {
                  std::unique_lock<std::mutex> guard(m_mutex);
                  m_held = true;
                  m_changed.notify_all();
                  m_changed.wait(guard, [this] { return m_release; });
              }
              lock.Unlock();
          })
    {
        std::unique_lock<std::mutex> guard(m_mutex);
        m_changed.wait(guard, [this] { return m_held; });
    }
    ~HeldElsewhere()
    {
        {
            std::lock_guard<std::mutex> guard(m_mutex);
            m_release = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_held = false;
    bool m_release = false;
    std::thread m_thread;
};

class RewireEngineLink : public mvtest::TransportRig {
protected:
    void SetUp() override
    {
        TransportRig::SetUp();
        CAppConfig::SetRewireDeviceMode(true);
        Start(TRUE);
        link = std::make_unique<CRewireEngineLink>(*transport);
    }
    void TearDown() override
    {
        link.reset();
        TransportRig::TearDown();
    }
    // As the worker calls: with the host-call counter raised.
    HRESULT ForHost(const std::function<HRESULT()>& change)
    {
        link->BeginHostCall();
        const HRESULT hr = change();
        link->EndHostCall();
        return hr;
    }

    std::unique_ptr<CRewireEngineLink> link;
};

TEST_F(RewireEngineLink, AHostChangeWithAnyEngineLockBusyIsLeftUndoneWithoutWaiting)
{
    struct Busy {
        const char* name;
        std::function<CHeapCriticalSection&(CTransport&)> lock;
    };
    const Busy cases[] = {
        {"transport lock", [](CTransport& t) -> CHeapCriticalSection& { return t.GetTransportLock(); }},
        {"processing lock", [](CTransport& t) -> CHeapCriticalSection& { return t.GetProcessingLock(); }},
        {"renderer lock", [](CTransport& t) -> CHeapCriticalSection& { return t.GetAudioRenderer()->GetLock(); }},
    };
    for (const Busy& c : cases) {
        {
            HeldElsewhere held(c.lock(*transport));
            EXPECT_EQ(S_FALSE, ForHost([&] { return link->Play(); })) << c.name;
            EXPECT_FALSE(transport->IsPlaying()) << c.name;
            EXPECT_EQ(S_FALSE, ForHost([&] { return link->Locate(1920); })) << c.name;
            EXPECT_EQ(S_FALSE, ForHost([&] { return link->SetLoop(960, 3840, TRUE); })) << c.name;
            EXPECT_FALSE(transport->IsLoopOn(false)) << c.name;
        }
        // Free again, the next request makes the change.
        EXPECT_EQ(S_OK, ForHost([&] { return link->Locate(1920); })) << c.name;
        EXPECT_EQ(1920, transport->GetPlayPosition()) << c.name;
        EXPECT_EQ(S_OK, ForHost([&] { return link->Play(); })) << c.name;
        EXPECT_TRUE(transport->IsPlaying()) << c.name;
        EXPECT_EQ(S_OK, ForHost([&] { return link->Stop(); })) << c.name;
        EXPECT_FALSE(transport->IsPlaying()) << c.name;
        EXPECT_EQ(S_OK, ForHost([&] { return link->Locate(0); })) << c.name;
    }
    EXPECT_FALSE(link->HostCallActive()) << "every bracket closed";
}

TEST_F(RewireEngineLink, TheSongsSideAnswersItsDefaultsWhileTheTransportLockIsBusy)
{
    HeldElsewhere held(transport->GetTransportLock());
    EXPECT_FALSE(link->HasDocument());
    EXPECT_EQ(0, link->GetTempoAt(0));
    EXPECT_EQ(S_FALSE, link->SetLiveTempo(0, 12000));
    LONG numerator = 0, power = 0;
    link->GetMeterAt(0, &numerator, &power);
    EXPECT_EQ(4, numerator);
    EXPECT_EQ(2, power);
}

}  // namespace
