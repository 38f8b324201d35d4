// A ring of bytes that hands messages from one thread to one other without
// a lock: the producer writes whole messages or nothing, the consumer reads
// them in order. Made for the audio thread's side of a queue: after
// construction neither side allocates, blocks or waits.
//
// Invariant: 0 <= written - read <= capacity, the two counters running on
// modulo 2^64; the producer alone moves `written` (release, after its
// bytes), the consumer alone moves `read` (release, after its copy).
#pragma once

#include <atomic>
#include <cstddef>
#include <memory>

class CSpscByteRing {
public:
    // The capacity is rounded up to a power of two.
    explicit CSpscByteRing(std::size_t capacity);

    std::size_t Capacity() const { return m_mask + 1; }

    // Producer thread. No allocation, no blocking.
    std::size_t WriteSpace() const;
    // Producer thread: all `length` bytes, or nothing when they don't fit.
    // No allocation, no blocking.
    bool Write(const void* bytes, std::size_t length);

    // Consumer thread. No allocation, no blocking.
    std::size_t ReadSpace() const;
    // Consumer thread: copies the next `length` bytes without taking them;
    // false, copying nothing, when fewer are there. No allocation, no
    // blocking.
    bool Peek(void* out, std::size_t length) const;
    // Consumer thread: as Peek, then takes them. No allocation, no blocking.
    bool Read(void* out, std::size_t length);
    // Consumer thread: takes up to `length` bytes unread. No allocation, no
    // blocking.
    void Skip(std::size_t length);

private:
    void CopyOut(std::size_t from, void* out, std::size_t length) const;

    std::unique_ptr<char[]> m_bytes;
    std::size_t m_mask;
    std::atomic<std::size_t> m_written{0};
    std::atomic<std::size_t> m_read{0};
};
