// What a timer client needs of the timer service: to be (re)scheduled at an
// interval, or left out with interval 0. CTimer is the one the program
// runs; tests drive clients through a stand-in with a clock of their own.
#pragma once

#include "platform/win/WinTypes.h"

class CTimerClient;

class IClientTimer {
public:
    virtual HRESULT SetClientInterval(CTimerClient* client, DWORD intervalMs) = 0;

protected:
    ~IClientTimer() = default;
};
