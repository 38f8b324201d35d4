// The MIDI-effect queues as the audio thread uses them, watched: a channel
// fills, reads, trims and clears its event queue within the capacity it was
// made with (system-exclusive blocks checked through the factory), and its
// live data queue up to the full 2048 records, without the heap or a lock.
#include <gtest/gtest.h>

#include <cstring>

#include "model/CMfxBufferFactory.h"
#include "model/CMfxDataQueue.h"
#include "model/CMfxEvent.h"
#include "model/CMfxEventQueue.h"
#include "tests/rt/RtProbe.h"

namespace {

TEST(MfxQueueRtTest, QueuesWithinTheirCapacityNeitherAllocateNorWait)
{
    constexpr int kCapacity = 128;
    auto* events = new CMfxEventQueue(nullptr, kCapacity);
    CMfxDataQueue* live = CMfxDataQueue::Create();
    ASSERT_NE(nullptr, live);
    IMfxBufferFactory* factory = nullptr;
    ASSERT_EQ(S_OK, events->GetBufferFactory(&factory));
    // A system-exclusive block made beforehand, as the UI thread makes them.
    const BYTE identity[] = {0xF0, 0x7E, 0x7F, 0x09, 0x01, 0xF7};
    HMFXBUFFER block = 0;
    ASSERT_EQ(S_OK, factory->Alloc(sizeof identity, &block));
    void* bytes = nullptr;
    DWORD size = 0;
    ASSERT_EQ(S_OK, factory->GetPointer(block, &bytes, &size));
    std::memcpy(bytes, identity, sizeof identity);
    MfxEvent sysex{};
    {
        CMfxEvent e(MfxSysex);
        e.m_buffer.handle = block;
        sysex = e;
        e.m_buffer.handle = 0;
    }
    MfxEvent note{};
    {
        CMfxEvent e(MfxNote);
        e.m_note.key = 60;
        e.m_note.velocity = 100;
        note = e;
    }

    int added = 0, counted = 0, filled = 0;
    mvrt::ResetCounts();
    {
        mvrt::WatchedScope watched;
        for (int pass = 0; pass < 4; ++pass) {
            for (int i = 0; i < kCapacity - 1; ++i) {
                // Out of time order: records are moved to keep the order.
                MfxEvent e = i % 9 == 0 ? sysex : note;
                e.m_time = (i * 37) % 480;
                added += events->Add(&e) == S_OK;
            }
            MfxEvent read{};
            for (int i = 0; i < kCapacity - 1; i += 10)
                events->GetAt(i, &read);
            events->RemoveRange(10, 20);
            events->GetCount(&counted);
            events->Clear();

            const MfxData record{0x90 | 0x3C00 | 0x640000, 0};
            while (live->Add(&record) == S_OK)
                ++filled;
            live->Reset();
        }
    }
    const mvrt::Counts c = mvrt::ReadCounts();
    EXPECT_EQ(4 * (kCapacity - 1), added);
    EXPECT_EQ(kCapacity - 1 - 20, counted);
    EXPECT_EQ(4 * CMfxDataQueue::kCapacity, filled);
    EXPECT_EQ(kCapacity, events->GetCapacity()) << "the queue never had to grow";
    EXPECT_EQ(0, c.allocations);
    EXPECT_EQ(0, c.releases);
    EXPECT_EQ(0, c.blockingLocks);

    CMfxBufferFactory::GetShared().Free(block);
    factory->Release();
    live->Release();
    events->Release();
}

}  // namespace
