// The reference clock of the engine's filter graph: its time is the number of
// sample frames the engine has rendered, in 100-ns units, so every filter runs
// on audio time rather than on the system clock. The engine owner creates it
// after the audio renderer and keeps it for the whole run.
//
// GetTime may be called from any thread while the audio thread advances the
// position.
#pragma once

#include "engine/graph/IAudioProperties.h"
#include "platform/media/CBaseReferenceClock.h"

class CAudioReferenceClock : public CBaseReferenceClock {
public:
    // `audio` gives the rate and the sample position (the renderer, or the
    // engine owner's view of it); it must outlive the clock's use.
    CAudioReferenceClock(const char* objectName, IUnknown* outer, HRESULT* phr, IAudioProperties* audio);
    ~CAudioReferenceClock() override;

    // The private time as it stands, without the base's hold against steps back.
    STDMETHODIMP GetTime(REFERENCE_TIME* time) override;
    // position x 10,000,000 / rate, truncated; 0x7FFFFFFFFFFFFFFF (unknown)
    // when the rate is not positive or there is no source.
    REFERENCE_TIME GetPrivateTime() override;

    int GetLogSource() const { return m_logSource; }

private:
    IAudioProperties* m_audio;
    int m_logSource = -1;
};
