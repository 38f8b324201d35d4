// The output pin "MixerOutput" of a summing mixer. It offers the graph's
// float type, stereo first and then mono, as far as the mixer allows them,
// asks the connected downstream pin before accepting a new type, and sizes
// its allocator through the mixer.
//
// The pin's lock is the mixer's filter lock.
// Threads: connection, type and allocator calls on the UI thread; blocks
// leave through Deliver on the audio thread.
#pragma once

#include "platform/media/CBaseOutputPin.h"

class CBaseAudioMixer;

class CAudioMixerOPin : public CBaseOutputPin {
public:
    CAudioMixerOPin(CBaseAudioMixer* mixer, CCritSec* lock, HRESULT* phr);

    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT SetMediaType(const CMediaType* mt) override;
    HRESULT GetMediaType(int position, CMediaType* mt) override;
    // The mixer's own input pins are refused (E_FAIL).
    HRESULT CheckConnect(IPin* pin) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;
    HRESULT InitAllocator(IMemAllocator** allocator) override;

private:
    CBaseAudioMixer* m_mixer;
};
