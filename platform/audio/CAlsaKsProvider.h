// The kernel-streaming provider over ALSA's hardware devices, opened
// directly (hw:CARD,DEV, no conversion): each PCM device of each card is one
// audio filter, in the render category when it plays and the capture
// category when it records, with one pin per direction whose data ranges
// are what the device's hardware parameters allow. A stream writes packets
// to the device as they come, blocking while it is full.
#pragma once

#include "platform/audio/KsDeviceProvider.h"

namespace mvaudio {

class CAlsaKsProvider : public IKsDeviceProvider {
public:
    std::vector<KsFilterDescription> Filters() override;
    std::unique_ptr<IKsPinStream> OpenPin(const std::string& path, ULONG pinId, const WAVEFORMATEX& format,
                                          DWORD* error) override;
};

}  // namespace mvaudio
