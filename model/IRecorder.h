// What pattern-instance rendering asks the recorder while a take may be
// running: whether the take records into a pattern, whether an automation
// parameter is being touched live, and whether recording replaces what the
// pattern holds. The device subsystem's recorder implements it.
//
// Audio thread: no allocation, no blocking (every call).
#pragma once

#include "platform/win/WinTypes.h"

class IRecorder {
public:
    static constexpr DWORD kOverwriteOn = 1;

    virtual BOOL IsRecordingPattern(SHORT patternId) = 0;
    virtual BOOL IsParamTouched(DWORD paramId) = 0;
    // kOverwriteOn while recording replaces the events of its patterns.
    virtual DWORD GetOverwriteRecordMode() = 0;

protected:
    ~IRecorder() = default;
};
