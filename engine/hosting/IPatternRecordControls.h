// The recorder as the pattern editor drives it: the record button begins
// and ends takes (mode 1 pattern recording, mode 2 step recording), the
// controls view sets the replace and fixed-velocity switches and the step
// length, the step keys move the step position, and a length change of a
// pattern being recorded reaches its take. The recorder implements it.
// UI thread.
#pragma once

#include "platform/win/WinTypes.h"

class IPatternRecordControls {
public:
    static constexpr DWORD kModePattern = 1;
    static constexpr DWORD kModeStep = 2;
    static constexpr DWORD kModeArrangement = 3;
    // Step modifiers.
    static constexpr DWORD kStepPlain = 0;
    static constexpr DWORD kStepDotted = 1;
    static constexpr DWORD kStepTriplet = 2;

    virtual BOOL IsRecording() = 0;
    virtual HRESULT BeginTake(DWORD mode) = 0;
    virtual HRESULT EndTake() = 0;
    virtual BOOL GetReplace() = 0;
    virtual void SetReplace(BOOL replace) = 0;
    // Toggles the switch.
    virtual void SetFixedVelocity() = 0;
    virtual BOOL GetFixedVelocity() = 0;
    // 0..7; anything else stores 2.
    virtual void SetStepSize(DWORD index) = 0;
    virtual DWORD GetStepSize() = 0;
    virtual void SetStepModifier(DWORD modifier) = 0;
    virtual DWORD GetStepModifier() = 0;
    // S_FALSE when not recording, E_UNEXPECTED outside step recording.
    virtual HRESULT StepForward() = 0;
    // S_FALSE when not recording or in arrangement recording; E_FAIL when
    // the pattern is no target of the take.
    virtual HRESULT SetTakeDuration(SHORT patternId, LONG ticks) = 0;

protected:
    ~IPatternRecordControls() = default;
};
