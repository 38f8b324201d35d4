#include "platform/sync/CSpscByteRing.h"

#include <algorithm>
#include <cstring>

namespace {

std::size_t RoundUpToPowerOfTwo(std::size_t n)
{
    std::size_t p = 1;
    while (p < n)
        p <<= 1;
    return p;
}

}  // namespace

CSpscByteRing::CSpscByteRing(std::size_t capacity)
    : m_bytes(new char[RoundUpToPowerOfTwo(std::max<std::size_t>(capacity, 1))]),
      m_mask(RoundUpToPowerOfTwo(std::max<std::size_t>(capacity, 1)) - 1)
{
}

std::size_t CSpscByteRing::WriteSpace() const
{
    const std::size_t written = m_written.load(std::memory_order_relaxed);
    return Capacity() - (written - m_read.load(std::memory_order_acquire));
}

bool CSpscByteRing::Write(const void* bytes, std::size_t length)
{
    if (length > WriteSpace())
        return false;
    if (length == 0)
        return true;
    const std::size_t written = m_written.load(std::memory_order_relaxed);
    const std::size_t at = written & m_mask;
    const std::size_t first = std::min(length, Capacity() - at);
    const auto* in = static_cast<const char*>(bytes);
    std::memcpy(m_bytes.get() + at, in, first);
    std::memcpy(m_bytes.get(), in + first, length - first);
    m_written.store(written + length, std::memory_order_release);
    return true;
}

std::size_t CSpscByteRing::ReadSpace() const
{
    return m_written.load(std::memory_order_acquire) - m_read.load(std::memory_order_relaxed);
}

void CSpscByteRing::CopyOut(std::size_t from, void* out, std::size_t length) const
{
    if (length == 0)
        return;
    const std::size_t at = from & m_mask;
    const std::size_t first = std::min(length, Capacity() - at);
    auto* to = static_cast<char*>(out);
    std::memcpy(to, m_bytes.get() + at, first);
    std::memcpy(to + first, m_bytes.get(), length - first);
}

bool CSpscByteRing::Peek(void* out, std::size_t length) const
{
    if (length > ReadSpace())
        return false;
    CopyOut(m_read.load(std::memory_order_relaxed), out, length);
    return true;
}

bool CSpscByteRing::Read(void* out, std::size_t length)
{
    if (!Peek(out, length))
        return false;
    m_read.store(m_read.load(std::memory_order_relaxed) + length, std::memory_order_release);
    return true;
}

void CSpscByteRing::Skip(std::size_t length)
{
    const std::size_t n = std::min(length, ReadSpace());
    m_read.store(m_read.load(std::memory_order_relaxed) + n, std::memory_order_release);
}
