#include "platform/audio/CDsPlaybackBuffer.h"

#include <linux/futex.h>
#include <pthread.h>
#include <sched.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "platform/sync/Event.h"
#include "platform/sync/ThreadAffinity.h"

namespace mvaudio {

namespace {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t) &&
                  std::atomic<std::uint32_t>::is_always_lock_free,
              "the futex word must be a plain 32-bit word");

constexpr long kNsPerSecond = 1000000000L;
// How long the writer sleeps at most before it looks at a stop request again.
constexpr int kStopCheckMs = 20;

std::int64_t NowNs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::int64_t(t.tv_sec) * kNsPerSecond + t.tv_nsec;
}

void SleepUntilNs(std::int64_t when)
{
    timespec t{static_cast<time_t>(when / kNsPerSecond), static_cast<long>(when % kNsPerSecond)};
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
    }
}

void FutexWait(std::atomic<std::uint32_t>& word, std::uint32_t seen, long ms)
{
    timespec t{ms / 1000, (ms % 1000) * 1000000L};
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAIT_PRIVATE, seen, &t, nullptr, 0);
}

void FutexWakeAll(std::atomic<std::uint32_t>& word)
{
    syscall(SYS_futex, reinterpret_cast<std::uint32_t*>(&word), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0);
}

// The writer runs at real-time priority where that is permitted.
void RaiseWriterPriority()
{
    sched_param param{};
    param.sched_priority = 20;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

}  // namespace

CDsPlaybackBuffer* CDsPlaybackBuffer::Create(snd_pcm_t* pcm, const WAVEFORMATEX& format, DWORD bytes,
                                             snd_pcm_uframes_t deviceBufferFrames)
{
    void* ring = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (ring == MAP_FAILED)
        return nullptr;
    return new CDsPlaybackBuffer(pcm, format, bytes, static_cast<BYTE*>(ring), deviceBufferFrames);
}

CDsPlaybackBuffer::CDsPlaybackBuffer(snd_pcm_t* pcm, const WAVEFORMATEX& format, DWORD bytes, BYTE* ring,
                                     snd_pcm_uframes_t deviceBufferFrames)
    : m_pcm(pcm), m_format(format), m_bytes(bytes), m_ring(ring), m_deviceBufferFrames(deviceBufferFrames)
{
    m_segments[0] = {0, m_bytes, nullptr};
    // A new ring holds silence that may be played as it is.
    m_refilled.store(1u);
    m_writeCursor.store(0);
}

CDsPlaybackBuffer::~CDsPlaybackBuffer()
{
    Stop();
    snd_pcm_close(m_pcm);
    munmap(m_ring, m_bytes);
}

std::span<const mvcom::InterfaceEntry> CDsPlaybackBuffer::InterfaceTable() const
{
    static const mvcom::InterfaceEntry table[] = {
        Entry<CDsPlaybackBuffer, IDirectSoundBuffer>(IID_IDirectSoundBuffer),
        Entry<CDsPlaybackBuffer, IDirectSoundNotify>(IID_IDirectSoundNotify)};
    return table;
}

STDMETHODIMP CDsPlaybackBuffer::GetCurrentPosition(DWORD* playCursor, DWORD* writeCursor)
{
    if (playCursor)
        *playCursor = m_playCursor.load(std::memory_order_acquire);
    if (writeCursor)
        *writeCursor = m_writeCursor.load(std::memory_order_acquire);
    return S_OK;
}

STDMETHODIMP CDsPlaybackBuffer::GetStatus(DWORD* status)
{
    if (!status)
        return DSERR_INVALIDPARAM;
    *status = m_playing.load(std::memory_order_acquire) ? DSBSTATUS_PLAYING | DSBSTATUS_LOOPING : 0;
    return S_OK;
}

STDMETHODIMP CDsPlaybackBuffer::Lock(DWORD offset, DWORD bytes, void** part1, DWORD* bytes1, void** part2,
                                     DWORD* bytes2, DWORD flags)
{
    if (!part1 || !bytes1)
        return DSERR_INVALIDPARAM;
    *part1 = nullptr;
    *bytes1 = 0;
    if (part2)
        *part2 = nullptr;
    if (bytes2)
        *bytes2 = 0;
    if (flags & DSBLOCK_FROMWRITECURSOR)
        offset = m_writeCursor.load(std::memory_order_acquire);
    if (flags & DSBLOCK_ENTIREBUFFER)
        bytes = m_bytes;
    if (bytes == 0 || bytes > m_bytes || offset >= m_bytes)
        return DSERR_INVALIDPARAM;
    const DWORD first = std::min(bytes, m_bytes - offset);
    if (first < bytes && (!part2 || !bytes2))
        return DSERR_INVALIDPARAM;
    *part1 = m_ring + offset;
    *bytes1 = first;
    if (first < bytes) {
        *part2 = m_ring;
        *bytes2 = bytes - first;
    }
    return S_OK;
}

STDMETHODIMP CDsPlaybackBuffer::Unlock(void* part1, DWORD bytes1, void* part2, DWORD bytes2)
{
    const auto inside = [this](const void* p, DWORD n) {
        const BYTE* b = static_cast<const BYTE*>(p);
        return n == 0 || (b >= m_ring && b < m_ring + m_bytes && n <= DWORD(m_ring + m_bytes - b));
    };
    if (!part1 || !inside(part1, bytes1) || (part2 && !inside(part2, bytes2)))
        return DSERR_INVALIDPARAM;
    MarkRefilled(part1, bytes1);
    if (part2)
        MarkRefilled(part2, bytes2);
    m_wakeups.fetch_add(1, std::memory_order_release);
    FutexWakeAll(m_wakeups);
    return S_OK;
}

void CDsPlaybackBuffer::MarkRefilled(const void* part, DWORD bytes)
{
    if (bytes == 0)
        return;
    const DWORD begin = DWORD(static_cast<const BYTE*>(part) - m_ring);
    const DWORD end = begin + bytes;
    std::uint32_t bits = 0;
    for (int s = 0; s < m_segmentCount; ++s) {
        const Segment& g = m_segments[s];
        const bool wrapsOver = g.end > m_bytes && begin < g.end - m_bytes;
        if ((g.begin < end && begin < g.end) || wrapsOver)
            bits |= 1u << s;
    }
    m_refilled.fetch_or(bits, std::memory_order_release);
}

STDMETHODIMP CDsPlaybackBuffer::SetNotificationPositions(DWORD count, const DSBPOSITIONNOTIFY* positions)
{
    if (m_playing.load())
        return DSERR_INVALIDCALL;
    if (count > DSBNOTIFICATIONS_MAX || (count > 0 && !positions))
        return DSERR_INVALIDPARAM;
    // Each position ends a segment at the frame that holds it.
    std::array<Segment, DSBNOTIFICATIONS_MAX> segments{};
    const DWORD align = m_format.nBlockAlign;
    DWORD begin = 0;
    for (DWORD i = 0; i < count; ++i) {
        const DWORD end = (positions[i].dwOffset / align + 1) * align;
        if (positions[i].dwOffset >= m_bytes || end <= begin)
            return DSERR_INVALIDPARAM;
        segments[i] = {begin, std::min(end, m_bytes), positions[i].hEventNotify};
        begin = segments[i].end;
    }
    int n = static_cast<int>(count);
    if (n == 0) {
        segments[0] = {0, m_bytes, nullptr};
        n = 1;
    } else if (begin < m_bytes) {
        // The stretch after the last position runs on into the first segment.
        segments[0].begin = begin;
        segments[0].end += m_bytes;
    }
    m_segments = segments;
    m_segmentCount = n;
    m_refilled.store(n == 32 ? ~0u : (1u << n) - 1);
    return S_OK;
}

int CDsPlaybackBuffer::SegmentAt(DWORD offset) const
{
    for (int s = 0; s < m_segmentCount; ++s) {
        const Segment& g = m_segments[s];
        if ((offset >= g.begin && offset < g.end) || (g.end > m_bytes && offset < g.end - m_bytes))
            return s;
    }
    return 0;
}

STDMETHODIMP CDsPlaybackBuffer::Play(DWORD, DWORD, DWORD flags)
{
    if (!(flags & DSBPLAY_LOOPING))
        return DSERR_INVALIDPARAM;
    if (m_playing.load())
        return S_OK;
    const int err = snd_pcm_prepare(m_pcm);
    if (err < 0)
        return DSERR_GENERIC;
    m_stopRequest.store(false);
    m_framesSent = 0;
    m_startNs = NowNs();
    m_playing.store(true, std::memory_order_release);
    // The writer is on the audio side: it hands the ring to the device as
    // the device thread refills it, and must never run UI code.
    m_writer = std::thread([this] {
        mv::MarkCurrentThread(mv::ThreadRole::Audio);
        WriterLoop();
    });
    return S_OK;
}

STDMETHODIMP CDsPlaybackBuffer::Stop()
{
    if (!m_writer.joinable())
        return S_OK;
    m_stopRequest.store(true, std::memory_order_release);
    m_wakeups.fetch_add(1, std::memory_order_release);
    FutexWakeAll(m_wakeups);
    m_writer.join();
    snd_pcm_drop(m_pcm);
    m_playing.store(false, std::memory_order_release);
    return S_OK;
}

void CDsPlaybackBuffer::WaitRefilled(int s, long ms)
{
    const std::int64_t deadline = NowNs() + std::int64_t(ms) * 1000000;
    const std::uint32_t bit = 1u << s;
    for (;;) {
        const std::uint32_t seen = m_wakeups.load(std::memory_order_acquire);
        if ((m_refilled.load(std::memory_order_acquire) & bit) || m_stopRequest.load(std::memory_order_acquire))
            return;
        const std::int64_t left = deadline - NowNs();
        if (left <= 0)
            return;
        FutexWait(m_wakeups, seen, static_cast<long>(std::max<std::int64_t>(left / 1000000, 1)));
    }
}

void CDsPlaybackBuffer::WriterLoop()
{
    RaiseWriterPriority();
    const DWORD align = m_format.nBlockAlign;
    DWORD pos = m_playCursor.load();
    int s = SegmentAt(pos);
    HANDLE passed = nullptr;  // the notification the cursor passes on entering segment s
    while (!m_stopRequest.load(std::memory_order_acquire)) {
        const Segment& g = m_segments[s];
        const DWORD end = (g.end > m_bytes && pos < g.begin) ? g.end - m_bytes : g.end;
        const DWORD length = end - pos;
        const long ms = static_cast<long>(std::uint64_t(length / align) * 1000 / m_format.nSamplesPerSec) + 1;
        WaitRefilled(s, ms);
        if (m_stopRequest.load(std::memory_order_acquire))
            break;
        m_refilled.fetch_and(~(1u << s), std::memory_order_acq_rel);
        m_playCursor.store(pos, std::memory_order_release);
        m_writeCursor.store(end % m_bytes, std::memory_order_release);
        if (passed)
            SetEvent(passed);
        // A segment that wraps goes out in two parts.
        const DWORD firstEnd = std::min(end, m_bytes);
        if (!WriteToDevice(m_ring + pos, (firstEnd - pos) / align))
            break;
        if (end > m_bytes && !WriteToDevice(m_ring, (end - m_bytes) / align))
            break;
        passed = g.event;
        pos = end % m_bytes;
        s = (s + 1) % m_segmentCount;
    }
}

bool CDsPlaybackBuffer::WriteToDevice(const BYTE* data, snd_pcm_uframes_t frames)
{
    const DWORD align = m_format.nBlockAlign;
    while (frames > 0) {
        if (m_stopRequest.load(std::memory_order_acquire))
            return false;
        snd_pcm_sframes_t n = snd_pcm_writei(m_pcm, data, frames);
        if (n == -EAGAIN) {
            snd_pcm_wait(m_pcm, kStopCheckMs);
            continue;
        }
        if (n < 0) {
            // An underrun or a suspended device: start it again and go on.
            if (snd_pcm_recover(m_pcm, static_cast<int>(n), 1) < 0)
                return false;
            continue;
        }
        data += std::size_t(n) * align;
        frames -= snd_pcm_uframes_t(n);
        m_framesSent += snd_pcm_uframes_t(n);
        PaceByClock();
    }
    return true;
}

void CDsPlaybackBuffer::PaceByClock()
{
    const std::uint64_t rate = m_format.nSamplesPerSec;
    const std::uint64_t ahead = m_framesSent > m_deviceBufferFrames ? m_framesSent - m_deviceBufferFrames : 0;
    const std::int64_t due = m_startNs + std::int64_t(ahead * kNsPerSecond / rate);
    std::int64_t now = NowNs();
    // Behind by more than the device buffer (the writer waited for a refill,
    // or the device stalled): start counting from here.
    const std::int64_t slack = std::int64_t(m_deviceBufferFrames * kNsPerSecond / rate);
    if (now > due + slack) {
        m_startNs = now - std::int64_t(ahead * kNsPerSecond / rate);
        return;
    }
    while (now < due && !m_stopRequest.load(std::memory_order_acquire)) {
        SleepUntilNs(std::min(due, now + std::int64_t(kStopCheckMs) * 1000000));
        now = NowNs();
    }
}

}  // namespace mvaudio
