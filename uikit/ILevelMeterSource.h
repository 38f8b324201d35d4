// What a level meter reads: a channel output's level source, handed by
// the mixer to its strip. Reference-counted; the meter holds one reference.
// Levels and peaks come as 3 floats per channel in dB (the first and the
// third are levels; the rest is the source's own). UI thread only.
#pragma once

#include "platform/com/Unknown.h"

struct ILevelMeterSource : IUnknown {
    // Three settings a meter passes once when it attaches (5, 50 and 20, in
    // this order); what they mean is the source's business.
    virtual void SetFirstSetting(int value) = 0;
    virtual void SetSecondSetting(int value) = 0;
    virtual void SetThirdSetting(int value) = 0;
    // Fills channels x 3 floats.
    virtual void GetLevels(int channels, float* levels) = 0;
    virtual void GetPeaks(int channels, float* peaks) = 0;
    // The user clicked the meter: clear held peaks and clips.
    virtual void Reset() = 0;
};
