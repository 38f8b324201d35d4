#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/ipc/FileMapping.h"
#include "platform/ipc/NamedEvent.h"
#include "platform/sync/Event.h"
#include "tests/platform/ipc/IpcTestSupport.h"

namespace {

class NamedEvent : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_TRUE(ns.Leftovers().empty()) << "every object is removed on close"; }
    mvtest::IpcNamespace ns;
};

TEST_F(NamedEvent, RequestAndAcknowledgeAlternateBetweenTwoProcesses)
{
    HANDLE req = CreateNamedEventA(nullptr, FALSE, FALSE, "MvDataReq");
    HANDLE ack = CreateNamedEventA(nullptr, FALSE, FALSE, "MvDataAck");
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096, "MvMapping");
    ASSERT_TRUE(req && ack && mapping);
    auto* counter = static_cast<volatile int*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0));
    constexpr int kRounds = 200;
    mvtest::ChildProcess device([] {
        HANDLE r = OpenEventA(SYNCHRONIZE, FALSE, "MvDataReq");
        BOOL existed = FALSE;
        HANDLE a = CreateNamedEventA(nullptr, FALSE, FALSE, "MvDataAck", &existed);
        HANDLE m = OpenFileMappingA(FILE_MAP_ALL_ACCESS, FALSE, "MvMapping");
        if (!r || !a || !m || !existed)
            return 1;
        auto* c = static_cast<volatile int*>(MapViewOfFile(m, FILE_MAP_ALL_ACCESS, 0, 0, 0));
        for (int i = 0; i < kRounds; ++i) {
            if (WaitForSingleObject(r, 5000) != WAIT_OBJECT_0)
                return 2;
            *c = *c + 1;
            SetEvent(a);
        }
        return 0;
    });
    for (int i = 0; i < kRounds; ++i) {
        ASSERT_TRUE(SetEvent(req));
        ASSERT_EQ(WaitForSingleObject(ack, 5000), WAIT_OBJECT_0) << i;
        ASSERT_EQ(*counter, i + 1);
    }
    EXPECT_EQ(device.Join(), 0);
    UnmapViewOfFile(const_cast<int*>(counter));
    for (HANDLE h : {req, ack, mapping})
        CloseHandle(h);
}

TEST_F(NamedEvent, AutoResetStates)
{
    HANDLE event = CreateNamedEventA(nullptr, FALSE, TRUE, "Initial");
    ASSERT_NE(event, nullptr);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0) << "created signalled";
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "a wait consumes it";
    SetEvent(event);
    SetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT) << "two sets release one wait";
    SetEvent(event);
    ResetEvent(event);
    EXPECT_EQ(WaitForSingleObject(event, 0), WAIT_TIMEOUT);
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(WaitForSingleObject(event, 60), WAIT_TIMEOUT);
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(55));

    std::atomic<DWORD> woke{WAIT_FAILED};
    std::thread waiter([&] { woke = WaitForSingleObject(event, 5000); });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    PulseEvent(event);
    waiter.join();
    EXPECT_EQ(woke.load(), WAIT_OBJECT_0) << "a pulse wakes a waiter";
    CloseHandle(event);
}

TEST_F(NamedEvent, NamesAreFoundWhileTheCreatorHoldsThem)
{
    EXPECT_EQ(OpenEventA(SYNCHRONIZE, FALSE, "MvDataReq"), nullptr);
    EXPECT_EQ(CreateNamedEventA(nullptr, TRUE, FALSE, "Manual"), nullptr) << "manual reset is not offered";
    EXPECT_EQ(CreateNamedEventA(nullptr, FALSE, FALSE, nullptr), nullptr);
    HANDLE created = CreateNamedEventA(nullptr, FALSE, FALSE, "MvDataReq");
    HANDLE opened = OpenEventA(SYNCHRONIZE, FALSE, "MvDataReq");
    ASSERT_TRUE(created && opened);
    CloseHandle(created);
    EXPECT_EQ(OpenEventA(SYNCHRONIZE, FALSE, "MvDataReq"), nullptr);
    SetEvent(opened);  // the open handle goes on working
    EXPECT_EQ(WaitForSingleObject(opened, 0), WAIT_OBJECT_0);
    CloseHandle(opened);
}

TEST_F(NamedEvent, NamespacesKeepRunsApart)
{
    HANDLE mine = CreateNamedEventA(nullptr, FALSE, FALSE, "MvDataReq");
    {
        mvtest::IpcNamespace other;
        EXPECT_EQ(OpenEventA(SYNCHRONIZE, FALSE, "MvDataReq"), nullptr);
    }
    CloseHandle(mine);
}

}  // namespace
