#include "devices/CPCMAudioFilter.h"

std::unique_ptr<CKsPin> CPCMAudioFilter::MakePin(ULONG id, ULONG dataFlow, ULONG communication,
                                                 const std::vector<KSDATARANGE_AUDIO>& ranges)
{
    return std::make_unique<CPCMAudioPin>(this, id, dataFlow, communication, CPCMAudioPin::CapabilitiesOf(ranges));
}

CPCMAudioPin* CPCMAudioFilter::FindViablePin(const WAVEFORMATEX* format) const
{
    for (CKsPin* pin : m_renderSink) {
        auto* pcm = static_cast<CPCMAudioPin*>(pin);
        if (pcm->IsViableFor(*format))
            return pcm;
    }
    return nullptr;
}

bool CPCMAudioFilter::CreateRenderPin(const WAVEFORMATEX* format, int packetCount, ULONG frames, ULONG framesMax,
                                      bool looped, ULONG alignment)
{
    const CPCMAudioPin* viable = FindViablePin(format);
    if (!viable) {
        SetLastError(ERROR_BAD_FORMAT);
        return false;
    }
    auto pin = std::make_shared<CPCMAudioPin>(this, viable->GetId(), viable->GetDataFlow(),
                                              viable->GetCommunication(), viable->GetCapabilities());
    m_renderPin = pin;
    pin->SetFormat(format);
    return pin->Create(packetCount, looped) && pin->AllocateBuffers(frames, framesMax, alignment);
}
