// A filter that takes PCM audio: finds the render sink pin that covers a
// format and creates a render pin for it with its streaming packets. The
// render pin is a new connection of the viable pin (the enumerated pins
// stay as they are), shared with the streaming code that holds it.
#pragma once

#include "devices/CKsFilter.h"
#include "devices/CPCMAudioPin.h"

class CPCMAudioFilter : public CKsFilter {
public:
    explicit CPCMAudioFilter(const std::vector<std::string>& texts) : CKsFilter(texts, kPCMAudio) {}

    // The first render sink pin whose capability word holds the format's
    // bits, or null.
    CPCMAudioPin* FindViablePin(const WAVEFORMATEX* format) const;
    // False with the last error set (ERROR_BAD_FORMAT when no pin covers the
    // format); the half-made pin stays the render pin until ReleaseRenderPin.
    bool CreateRenderPin(const WAVEFORMATEX* format, int packetCount, ULONG frames, ULONG framesMax, bool looped,
                         ULONG alignment);
    std::shared_ptr<CPCMAudioPin> GetRenderPin() const { return std::static_pointer_cast<CPCMAudioPin>(m_renderPin); }
    // Lets go of the render pin: it closes once its last holder lets go.
    void ReleaseRenderPin() { m_renderPin.reset(); }

protected:
    std::unique_ptr<CKsPin> MakePin(ULONG id, ULONG dataFlow, ULONG communication,
                                    const std::vector<KSDATARANGE_AUDIO>& ranges) override;
};
