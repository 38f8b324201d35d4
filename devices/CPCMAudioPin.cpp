#include "devices/CPCMAudioPin.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstring>

#include "devices/KsLibrary.h"

namespace {

struct Bit {
    ULONG value;
    ULONG bit;
};
constexpr Bit kWidthBits[] = {{8, 0x01}, {16, 0x02}, {20, 0x04}, {22, 0x08}, {24, 0x10}, {32, 0x20}};
constexpr Bit kRateBits[] = {{8000, 0x100},   {11025, 0x200}, {16000, 0x400},  {22050, 0x800},
                             {32000, 0x1000}, {44100, 0x2000}, {48000, 0x4000}, {96000, 0x8000}};
constexpr Bit kChannelBits[] = {{1, 0x10000}, {2, 0x20000}, {4, 0xC0000}, {6, 0x100000}, {8, 0x200000}};
constexpr Bit kAskedChannelBits[] = {{1, 0x10000}, {2, 0x20000}, {4, 0xC0000}, {6, 0x100000}, {7, 0x200000}};
constexpr ULONG kPageBytes = 4096;

}  // namespace

CPCMAudioPin::CPCMAudioPin(CKsFilter* filter, ULONG id, ULONG dataFlow, ULONG communication, ULONG capabilities)
    : CKsPin(filter, id, dataFlow, communication), m_capabilities(capabilities)
{
}

ULONG CPCMAudioPin::CapabilitiesOf(const std::vector<KSDATARANGE_AUDIO>& ranges)
{
    ULONG word = 0;
    for (const KSDATARANGE_AUDIO& r : ranges) {
        const GUID& sub = r.DataRange.SubFormat;
        if (r.DataRange.MajorFormat != KSDATAFORMAT_TYPE_AUDIO || (sub != KSDATAFORMAT_SUBTYPE_PCM && sub != GUID_NULL))
            continue;
        for (const Bit& w : kWidthBits)
            if (r.MinimumBitsPerSample <= w.value && w.value <= r.MaximumBitsPerSample)
                word |= w.bit;
        for (const Bit& rate : kRateBits)
            if (r.MinimumSampleFrequency <= rate.value && rate.value <= r.MaximumSampleFrequency)
                word |= rate.bit;
        for (const Bit& c : kChannelBits)
            if (r.MaximumChannels >= c.value)
                word |= c.bit;
    }
    return word;
}

ULONG CPCMAudioPin::BitsAskedBy(const WAVEFORMATEX& format)
{
    ULONG asked = 0;
    for (const Bit& w : kWidthBits)
        if (w.value == format.wBitsPerSample && w.value != 22)
            asked |= w.bit;
    for (const Bit& rate : kRateBits)
        if (rate.value == format.nSamplesPerSec && rate.value != 96000)
            asked |= rate.bit;
    for (const Bit& c : kAskedChannelBits)
        if (c.value == format.nChannels)
            asked |= c.bit;
    return asked;
}

bool CPCMAudioPin::IsViableFor(const WAVEFORMATEX& format) const
{
    const ULONG asked = BitsAskedBy(format);
    return (m_capabilities & asked) == asked;
}

void CPCMAudioPin::SetFormat(const WAVEFORMATEX* format)
{
    std::memcpy(m_format, format, kKsWaveFormatRoom);
    KSDATAFORMAT* header = DataFormat();
    header->FormatSize = sizeof(KSDATAFORMAT) + sizeof(WAVEFORMATEX) + format->cbSize;
    header->Flags = 0;
    header->SampleSize = static_cast<ULONG>(format->nChannels * format->wBitsPerSample / 8);
    header->Reserved = 0;
    header->MajorFormat = KSDATAFORMAT_TYPE_AUDIO;
    header->SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
    header->Specifier = KSDATAFORMAT_SPECIFIER_WAVEFORMATEX;
}

ULONG CPCMAudioPin::ReadAllocatorFrameSize()
{
    KSALLOCATOR_FRAMING framing{};
    if (KsGetProperty(m_handle, KSPROPSETID_Connection, KSPROPERTY_CONNECTION_ALLOCATORFRAMING, &framing,
                      sizeof framing) &&
        framing.FrameSize)
        return framing.FrameSize;
    KSALLOCATOR_FRAMING_EX framingEx{};
    if (KsGetProperty(m_handle, KSPROPSETID_Connection, KSPROPERTY_CONNECTION_ALLOCATORFRAMING_EX, &framingEx,
                      sizeof framingEx) &&
        framingEx.FramingItem[0].FramingRange.Range.MinFrameSize)
        return framingEx.FramingItem[0].FramingRange.Range.MinFrameSize;
    return m_format->nSamplesPerSec / 100 * m_format->nBlockAlign;
}

bool CPCMAudioPin::AllocateBuffers(ULONG frames, ULONG framesMax, ULONG alignment)
{
    const ULONG frameSize = ReadAllocatorFrameSize();
    if (frameSize == 0)
        return false;
    const auto packetBytesOf = [&](ULONG n) {
        return (m_format->nBlockAlign * n + frameSize - 1) / frameSize * frameSize;
    };
    m_packetBytes = packetBytesOf(frames);
    m_alignment = alignment;
    const ULONG room = alignment + std::max(m_packetBytes, packetBytesOf(framesMax));
    const ULONG allocationBytes = (room + kPageBytes - 1) / kPageBytes * kPageBytes;
    m_allocationBytes = allocationBytes;
    for (Packet& p : m_packets) {
        ReleasePacketMemory(p);
        // Whole zero-filled pages of their own, as the device wants them.
        void* pages = mmap(nullptr, allocationBytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pages == MAP_FAILED)
            return false;
        p.allocation = static_cast<BYTE*>(pages);
        p.allocationBytes = allocationBytes;
        p.buffer = p.allocation + alignment;
    }
    return true;
}
