#include "platform/audio/DirectSound.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/sync/Event.h"
#include "tests/platform/audio/AlsaTestConfig.h"

namespace {

struct ListedDevice {
    bool hasGuid;
    GUID guid;
    std::string description;
    std::string module;
};

BOOL Collect(GUID* guid, LPCSTR description, LPCSTR module, LPVOID context)
{
    static_cast<std::vector<ListedDevice>*>(context)->push_back(
        {guid != nullptr, guid ? *guid : GUID_NULL, description, module});
    return TRUE;
}

std::vector<ListedDevice> Playback()
{
    std::vector<ListedDevice> list;
    EXPECT_EQ(S_OK, DirectSoundEnumerateA(Collect, &list));
    return list;
}

const ListedDevice* Find(const std::vector<ListedDevice>& list, const std::string& module)
{
    for (const ListedDevice& d : list)
        if (d.module == module)
            return &d;
    return nullptr;
}

WAVEFORMATEX Pcm16(DWORD rate)
{
    return {WAVE_FORMAT_PCM, 2, rate, rate * 4, 4, 16, 0};
}

DSBUFFERDESC Desc(WAVEFORMATEX* format, DWORD bytes)
{
    return {sizeof(DSBUFFERDESC), DSBCAPS_GLOBALFOCUS | DSBCAPS_CTRLPOSITIONNOTIFY | DSBCAPS_LOCSOFTWARE, bytes, 0,
            format, GUID_NULL};
}

class DirectSoundTest : public ::testing::Test {
protected:
    IDirectSoundBuffer* CreateBuffer(const GUID* device, DWORD rate, DWORD bytes)
    {
        IDirectSound* ds = nullptr;
        EXPECT_EQ(S_OK, DirectSoundCreate(device, &ds, nullptr));
        if (!ds)
            return nullptr;
        WAVEFORMATEX format = Pcm16(rate);
        DSBUFFERDESC desc = Desc(&format, bytes);
        IDirectSoundBuffer* buffer = nullptr;
        EXPECT_EQ(S_OK, ds->CreateSoundBuffer(&desc, &buffer, nullptr));
        ds->Release();
        return buffer;
    }

    mvtest::AlsaTestConfig m_alsa;
};

TEST_F(DirectSoundTest, ListsThePrimaryEntryFirstThenTheConfiguredDevicesWithStableGuids)
{
    const std::vector<ListedDevice> list = Playback();
    ASSERT_GE(list.size(), 4u);
    EXPECT_FALSE(list[0].hasGuid);
    EXPECT_EQ("Primary Sound Driver", list[0].description);

    const ListedDevice* second = Find(list, "mvsecond");
    const ListedDevice* broken = Find(list, "mvbroken");
    ASSERT_TRUE(second && broken);
    EXPECT_EQ("Morvane second test output", second->description);
    EXPECT_TRUE(second->hasGuid);
    EXPECT_NE(second->guid, broken->guid);
    EXPECT_NE(GUID_NULL, second->guid);

    const std::vector<ListedDevice> again = Playback();
    ASSERT_NE(nullptr, Find(again, "mvsecond"));
    EXPECT_EQ(second->guid, Find(again, "mvsecond")->guid);

    // Devices the configuration gives no direction serve both.
    std::vector<ListedDevice> inputs;
    ASSERT_EQ(S_OK, DirectSoundCaptureEnumerateA(Collect, &inputs));
    ASSERT_FALSE(inputs.empty());
    EXPECT_FALSE(inputs[0].hasGuid);
    EXPECT_NE(nullptr, Find(inputs, "mvsecond"));
}

TEST_F(DirectSoundTest, CreatesOnlyDevicesThatOpen)
{
    const std::vector<ListedDevice> list = Playback();
    IDirectSound* ds = reinterpret_cast<IDirectSound*>(1);
    const GUID unknown = {0x12345678, 0x1234, 0x1234, {1, 2, 3, 4, 5, 6, 7, 8}};
    EXPECT_EQ(DSERR_NODRIVER, DirectSoundCreate(&unknown, &ds, nullptr));
    EXPECT_EQ(nullptr, ds);
    ASSERT_TRUE(Find(list, "mvbroken") && Find(list, "mvsecond"));
    EXPECT_EQ(DSERR_NODRIVER, DirectSoundCreate(&Find(list, "mvbroken")->guid, &ds, nullptr));

    for (const GUID* g : {static_cast<const GUID*>(nullptr), &DSDEVID_DefaultPlayback, &Find(list, "mvsecond")->guid}) {
        ASSERT_EQ(S_OK, DirectSoundCreate(g, &ds, nullptr));
        EXPECT_EQ(S_OK, ds->SetCooperativeLevel(nullptr, DSSCL_PRIORITY));
        ds->Release();
    }
}

TEST_F(DirectSoundTest, RefusesAFormatTheDeviceCannotTake)
{
    IDirectSound* ds = nullptr;
    ASSERT_EQ(S_OK, DirectSoundCreate(&Find(Playback(), "mvmulaw")->guid, &ds, nullptr));
    for (DWORD rate : {44100u, 48000u}) {
        WAVEFORMATEX format = Pcm16(rate);
        DSBUFFERDESC desc = Desc(&format, 2048 * 4);
        IDirectSoundBuffer* buffer = nullptr;
        EXPECT_EQ(DSERR_BADFORMAT, ds->CreateSoundBuffer(&desc, &buffer, nullptr));
        EXPECT_EQ(nullptr, buffer);
    }
    ds->Release();
}

TEST_F(DirectSoundTest, LocksRegionsOfTheRingAndRefusesEmptyOnes)
{
    IDirectSoundBuffer* buffer = CreateBuffer(nullptr, 44100, 4000);
    ASSERT_NE(nullptr, buffer);
    void* p1 = nullptr;
    void* p2 = nullptr;
    DWORD n1 = 0, n2 = 0;
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->Lock(0, 0, &p1, &n1, &p2, &n2, 0));
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->Lock(4000, 4, &p1, &n1, &p2, &n2, 0));
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->Lock(0, 4004, &p1, &n1, &p2, &n2, 0));

    ASSERT_EQ(S_OK, buffer->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER));
    EXPECT_EQ(4000u, n1);
    EXPECT_EQ(nullptr, p2);
    BYTE* const ring = static_cast<BYTE*>(p1);
    ASSERT_EQ(S_OK, buffer->Unlock(p1, n1, p2, n2));

    // Past the end the region goes on at the start.
    ASSERT_EQ(S_OK, buffer->Lock(3000, 2000, &p1, &n1, &p2, &n2, 0));
    EXPECT_EQ(ring + 3000, p1);
    EXPECT_EQ(1000u, n1);
    EXPECT_EQ(ring, p2);
    EXPECT_EQ(1000u, n2);
    EXPECT_EQ(S_OK, buffer->Unlock(p1, n1, p2, n2));
    EXPECT_EQ(DSERR_INVALIDPARAM, buffer->Unlock(ring + 4000, 4, nullptr, 0));

    IDirectSoundNotify* notify = nullptr;
    ASSERT_EQ(S_OK, buffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&notify)));
    notify->Release();
    DWORD status = 99;
    EXPECT_EQ(S_OK, buffer->GetStatus(&status));
    EXPECT_EQ(0u, status);
    buffer->Release();
}

// The application's side of the two-half ring: on each notification the
// half that is not playing gets the next number of a count, every sample of
// the half the same number.
class HalfRefiller {
public:
    HalfRefiller(IDirectSoundBuffer* buffer, DWORD half) : m_buffer(buffer), m_half(half) {}

    void Fill(DWORD offset, short value)
    {
        void* p1;
        void* p2;
        DWORD n1, n2;
        ASSERT_EQ(S_OK, m_buffer->Lock(offset, m_half, &p1, &n1, &p2, &n2, 0));
        ASSERT_EQ(m_half, n1);
        for (DWORD i = 0; i < n1 / 2; ++i)
            static_cast<short*>(p1)[i] = value;
        ASSERT_EQ(S_OK, m_buffer->Unlock(p1, n1, p2, n2));
    }

    // On a notification: the half that is not playing.
    void Refill(short value)
    {
        DWORD play = 0;
        ASSERT_EQ(S_OK, m_buffer->GetCurrentPosition(&play, nullptr));
        const DWORD next = ((play + m_half) / m_half) % 2;
        Fill(next * m_half, value);
    }

private:
    IDirectSoundBuffer* m_buffer;
    DWORD m_half;
};

// A playing ring of two halves of `half` bytes with a notification at the
// end of each, started with the numbers 1 and 2 in its halves.
class TwoHalfRing {
public:
    TwoHalfRing(IDirectSoundBuffer* buffer, DWORD half) : m_buffer(buffer), m_refiller(buffer, half)
    {
        m_event = CreateEventA(nullptr, FALSE, FALSE, nullptr);
        m_buffer->QueryInterface(IID_IDirectSoundNotify, reinterpret_cast<void**>(&m_notify));
        const DSBPOSITIONNOTIFY positions[2] = {{half - 1, m_event}, {2 * half - 1, m_event}};
        EXPECT_EQ(S_OK, m_notify->SetNotificationPositions(2, positions));
        m_refiller.Fill(0, 1);
        m_refiller.Fill(half, 2);
        EXPECT_EQ(S_OK, m_buffer->Play(0, 0, DSBPLAY_LOOPING));
        EXPECT_EQ(DSERR_INVALIDCALL, m_notify->SetNotificationPositions(2, positions));
    }
    ~TwoHalfRing()
    {
        EXPECT_EQ(S_OK, m_buffer->Stop());
        m_notify->Release();
        m_buffer->Release();
        CloseHandle(m_event);
    }

    bool Notified() { return WaitForSingleObject(m_event, 5000) == WAIT_OBJECT_0; }
    HalfRefiller& Refiller() { return m_refiller; }

private:
    IDirectSoundBuffer* m_buffer;
    IDirectSoundNotify* m_notify = nullptr;
    HANDLE m_event;
    HalfRefiller m_refiller;
};

// The file holds `halves` halves of `perHalf` samples, each of one value.
void ExpectHalves(const std::vector<short>& samples, std::size_t perHalf, const std::vector<short>& halves)
{
    ASSERT_GE(samples.size(), halves.size() * perHalf);
    for (std::size_t i = 0; i < halves.size() * perHalf; ++i)
        ASSERT_EQ(halves[i / perHalf], samples[i]) << "sample " << i;
}

TEST_F(DirectSoundTest, PlaysEachRefilledHalfOnceInOrder)
{
    constexpr DWORD kHalf = 2205 * 4;  // 50 ms
    IDirectSoundBuffer* buffer = CreateBuffer(nullptr, 44100, 2 * kHalf);
    ASSERT_NE(nullptr, buffer);
    {
        TwoHalfRing ring(buffer, kHalf);
        DWORD status = 0;
        buffer->GetStatus(&status);
        EXPECT_EQ(DSBSTATUS_PLAYING | DSBSTATUS_LOOPING, status);
        for (short value = 3; value <= 8; ++value) {
            ASSERT_TRUE(ring.Notified());
            ring.Refiller().Refill(value);
        }
        ASSERT_TRUE(ring.Notified());
        ASSERT_TRUE(ring.Notified());
    }
    ExpectHalves(mvtest::AlsaTestConfig::ReadSamples<short>(m_alsa.OutputFile()), kHalf / 2, {1, 2, 3, 4, 5, 6, 7, 8});
}

TEST_F(DirectSoundTest, PlaysAHalfAgainWhenNoRefillCameAsALoopingBufferDoes)
{
    constexpr DWORD kHalf = 441 * 4;  // 10 ms
    IDirectSoundBuffer* buffer = CreateBuffer(nullptr, 44100, 2 * kHalf);
    ASSERT_NE(nullptr, buffer);
    {
        TwoHalfRing ring(buffer, kHalf);
        for (int i = 0; i < 6; ++i)
            ASSERT_TRUE(ring.Notified());
    }
    ExpectHalves(mvtest::AlsaTestConfig::ReadSamples<short>(m_alsa.OutputFile()), kHalf / 2, {1, 2, 1, 2, 1, 2});
}

}  // namespace
