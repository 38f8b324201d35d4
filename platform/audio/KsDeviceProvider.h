// What the kernel-streaming stand-in serves its filters from: a provider
// that describes the machine's audio filters (their texts, interface
// categories, pins with data ranges and allocator framing, topology nodes)
// and opens a stream on a pin. The ALSA provider (CAlsaKsProvider) is the
// default; tests install one of their own, since these machines have no
// sound card.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/audio/KsMedia.h"

// A data range of PCM audio described by a wave format, as a pin offers it.
inline KSDATARANGE_AUDIO PcmAudioRange(ULONG channels, ULONG minBits, ULONG maxBits, ULONG minRate, ULONG maxRate)
{
    KSDATARANGE_AUDIO r{};
    r.DataRange.FormatSize = sizeof r;
    r.DataRange.MajorFormat = KSDATAFORMAT_TYPE_AUDIO;
    r.DataRange.SubFormat = KSDATAFORMAT_SUBTYPE_PCM;
    r.DataRange.Specifier = KSDATAFORMAT_SPECIFIER_WAVEFORMATEX;
    r.MaximumChannels = channels;
    r.MinimumBitsPerSample = minBits;
    r.MaximumBitsPerSample = maxBits;
    r.MinimumSampleFrequency = minRate;
    r.MaximumSampleFrequency = maxRate;
    return r;
}

struct KsPinDescription {
    ULONG dataFlow = KSPIN_DATAFLOW_IN;
    ULONG communication = KSPIN_COMMUNICATION_SINK;
    bool standardStreaming = true;  // offers the standard interface set
    bool standardMedium = true;     // offers the standard medium set
    std::vector<KSDATARANGE_AUDIO> ranges;
    ULONG allocatorFrameSize = 0;     // KSALLOCATOR_FRAMING's frame size; 0: no such property
    ULONG framingExMinFrameSize = 0;  // the extended framing's minimum frame size; 0: none
};

struct KsNodeDescription {
    GUID type;
    std::u16string name;
    // Bit i - 1 for audio property id i: supported for get, for set.
    std::uint64_t getMask = 0;
    std::uint64_t setMask = 0;
};

struct KsFilterDescription {
    std::string path;  // the device interface path that opens it
    std::string friendlyName;
    std::string description;
    std::string hardwareId;
    std::string driverKey;
    std::string service;            // the driver behind it
    std::vector<GUID> categories;   // the interface classes it belongs to
    std::vector<KsPinDescription> pins;
    std::vector<KsNodeDescription> nodes;
};

// The device end of an open pin. Called on the pin's own worker thread.
class IKsPinStream {
public:
    virtual ~IKsPinStream() = default;
    // The pin goes to `state`: the device starts or stops taking data.
    virtual void SetState(KSSTATE state) = 0;
    // Plays `bytes` of the pin's format; may block while the device is
    // full. False when the device failed.
    virtual bool Write(const void* data, ULONG bytes) = 0;
};

class IKsDeviceProvider {
public:
    virtual ~IKsDeviceProvider() = default;
    // The filters present now.
    virtual std::vector<KsFilterDescription> Filters() = 0;
    // A stream on pin `pinId` of the filter at `path` in `format` (already
    // checked against the pin's data ranges); null with a Win32 error in
    // `error` when the device will not open so.
    virtual std::unique_ptr<IKsPinStream> OpenPin(const std::string& path, ULONG pinId, const WAVEFORMATEX& format,
                                                  DWORD* error) = 0;
};

// Replaces the provider for the kernel-streaming calls that follow; null
// puts the ALSA provider back. Filters and pins already open keep theirs.
void KsSetDeviceProvider(std::shared_ptr<IKsDeviceProvider> provider);
