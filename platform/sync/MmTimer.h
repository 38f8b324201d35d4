// The multimedia timer service: timer events that call a function once after
// a delay or periodically, and the timer-resolution requests that go with
// them. Times are milliseconds of the clock timeGetTime reads
// (platform/sync/Time.h).
//
// Each event runs on a timer thread of its own that sleeps to absolute due
// times on the monotonic clock, so a periodic event does not drift: its n-th
// call is due n periods after it was set, and a call that could not be made
// in its period is skipped rather than made late in a burst. The thread asks
// for real-time scheduling, below the audio device threads; where the system
// refuses it (a user without the right, a container) the thread keeps the
// ordinary scheduler: calls may come later, they never fail.
//
// A callback runs with no lock of this service held, so it may set new
// events and kill any event, its own included. After timeKillEvent returns
// no call of that event begins; with TIME_KILL_SYNCHRONOUS, a kill from any
// thread but the event's own also waits until a call in progress has
// returned, so the callback's data may be freed at once.
// Any thread but the audio thread (the calls take locks and start threads).
#pragma once

#include "platform/win/WinTypes.h"

using MMRESULT = UINT;

constexpr MMRESULT TIMERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;
constexpr MMRESULT TIMERR_NOCANDO = 97;

// timeSetEvent flags. Only function callbacks are offered.
constexpr UINT TIME_ONESHOT = 0x0000;
constexpr UINT TIME_PERIODIC = 0x0001;
constexpr UINT TIME_CALLBACK_FUNCTION = 0x0000;
constexpr UINT TIME_KILL_SYNCHRONOUS = 0x0100;

struct TIMECAPS {
    UINT wPeriodMin;
    UINT wPeriodMax;
};

// Called on the event's timer thread with the event's id and the user value
// given to timeSetEvent; msg, dw1 and dw2 are 0.
using LPTIMECALLBACK = void (*)(UINT timerId, UINT msg, DWORD_PTR user, DWORD_PTR dw1, DWORD_PTR dw2);

// The shortest and longest delay and period: 1 ms and 1000000 ms.
// TIMERR_NOCANDO for a null record or a size other than sizeof(TIMECAPS).
MMRESULT timeGetDevCaps(TIMECAPS* caps, UINT size);

// Requests for a timer resolution of `period` ms, counted per period: every
// timeEndPeriod must match an earlier timeBeginPeriod of the same period.
// The clock here is always as fine as any request, so a request changes no
// timing. TIMERR_NOCANDO for a period outside the capabilities, or for an
// end without a begin.
MMRESULT timeBeginPeriod(UINT period);
MMRESULT timeEndPeriod(UINT period);

// A new event, due `delay` ms from now and, with TIME_PERIODIC, every `delay`
// ms after that. `resolution` is accepted and not needed. Returns the
// event's id, never 0 and never reused within a run, or 0 for a delay
// outside the capabilities, a null callback, unknown flags, or when no
// thread could be started. A one-shot event's id is gone once its call has
// returned.
UINT timeSetEvent(UINT delay, UINT resolution, LPTIMECALLBACK callback, DWORD_PTR user, UINT flags);

// Ends an event (see above). MMSYSERR_INVALPARAM for an id that names no
// event (never set, killed, or a one-shot already called).
MMRESULT timeKillEvent(UINT timerId);
