// A pin that takes PCM audio: its capability word, built from its audio
// data ranges, says which sample widths, rates and channel counts it covers,
// and a format is tried only on a pin whose word holds every bit the format
// asks for. Created, it has its format in the connect request and packet
// buffers sized to the device's allocator frames.
//
// Capability word: low byte widths (8 0x01, 16 0x02, 20 0x04, 22 0x08,
// 24 0x10, 32 0x20); second byte rates (8000 0x01, 11025 0x02, 16000 0x04,
// 22050 0x08, 32000 0x10, 44100 0x20, 48000 0x40, 96000 0x80); channels by
// the range's maximum (1 0x10000, 2 0x20000, 4 0xC0000, 6 0x100000,
// 8 0x200000, each including those below).
#pragma once

#include <vector>

#include "devices/CKsPin.h"

class CPCMAudioPin : public CKsPin {
public:
    CPCMAudioPin(CKsFilter* filter, ULONG id, ULONG dataFlow, ULONG communication, ULONG capabilities);

    // The word of a pin with these data ranges (others than audio PCM or
    // audio with no sub-format are passed over).
    static ULONG CapabilitiesOf(const std::vector<KSDATARANGE_AUDIO>& ranges);
    // The bits a format asks for (88200 and 96000 Hz ask no rate bit).
    static ULONG BitsAskedBy(const WAVEFORMATEX& format);
    bool IsViableFor(const WAVEFORMATEX& format) const;

    // Copies 40 bytes of the format record into the connect request and
    // fills the data format header.
    void SetFormat(const WAVEFORMATEX* format);
    // Packets of `frames` frames (the largest of `framesMax`), rounded up to
    // whole allocator frames; each buffer starts `alignment` bytes into its
    // page-rounded, zero-filled allocation.
    bool AllocateBuffers(ULONG frames, ULONG framesMax, ULONG alignment);
    // The allocator frame size of the connected pin: its allocator framing,
    // else its extended framing's minimum, else 10 ms of the format.
    ULONG ReadAllocatorFrameSize();

    ULONG GetCapabilities() const { return m_capabilities; }
    const WAVEFORMATEX* GetFormat() const { return m_format; }
    ULONG GetAllocationBytes() const { return m_allocationBytes; }

private:
    const ULONG m_capabilities;
    ULONG m_allocationBytes = 0;
};
