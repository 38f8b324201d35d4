// The multimedia MIDI calls the program makes: input and output ports by
// index and name, open, start, stop and close, short and long messages with
// time stamps. Ports come from a device provider (MidiDeviceProvider.h):
// JACK MIDI ports when a JACK server answers, otherwise the ALSA sequencer.
//
// Input: every open input port has its own delivery thread, marked as the
// MIDI input thread, which calls the port's callback with MIM_DATA (short
// message packed status | d1 << 8 | d2 << 16, milliseconds since
// midiInStart) and MIM_LONGDATA (a MIDIHDR valid for the call only, holding
// one whole system-exclusive message). Nothing is delivered before
// midiInStart or after midiInStop; midiInClose returns only after the last
// callback has returned, so the instance may be freed after it.
//
// Output: midiOutShortMsg and midiOutLongMsg queue the bytes for the port
// and return at once; they may be called from any thread but the audio
// thread, and from several threads at once. midiOutClose waits until the
// port is no longer being written. Any call on a closed handle gives
// MMSYSERR_INVALHANDLE.
#pragma once

#include <cstdint>

#include "platform/win/WinTypes.h"

struct MidiInPort;
struct MidiOutPort;
using HMIDIIN = MidiInPort*;
using HMIDIOUT = MidiOutPort*;
using MMRESULT = UINT;

constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_ERROR = 1;
constexpr MMRESULT MMSYSERR_BADDEVICEID = 2;
constexpr MMRESULT MMSYSERR_ALLOCATED = 4;
constexpr MMRESULT MMSYSERR_INVALHANDLE = 5;
constexpr MMRESULT MMSYSERR_NOMEM = 7;
constexpr MMRESULT MMSYSERR_INVALPARAM = 11;

constexpr UINT MIM_OPEN = 0x3C1;
constexpr UINT MIM_CLOSE = 0x3C2;
constexpr UINT MIM_DATA = 0x3C3;
constexpr UINT MIM_LONGDATA = 0x3C4;

constexpr DWORD CALLBACK_NULL = 0x00000000;
constexpr DWORD CALLBACK_FUNCTION = 0x00030000;

constexpr WORD MOD_MIDIPORT = 1;
constexpr WORD MOD_SYNTH = 2;

constexpr std::size_t MAXPNAMELEN = 32;

struct MIDIINCAPSA {
    WORD wMid;
    WORD wPid;
    DWORD vDriverVersion;
    char szPname[MAXPNAMELEN];
    DWORD dwSupport;
};

struct MIDIOUTCAPSA {
    WORD wMid;
    WORD wPid;
    DWORD vDriverVersion;
    char szPname[MAXPNAMELEN];
    WORD wTechnology;
    WORD wVoices;
    WORD wNotes;
    WORD wChannelMask;
    DWORD dwSupport;
};

struct MIDIHDR {
    LPSTR lpData;
    DWORD dwBufferLength;
    DWORD dwBytesRecorded;
    DWORD_PTR dwUser;
    DWORD dwFlags;
};

// Callback of an input port: (handle, MIM_*, instance, parameter 1,
// parameter 2). On the port's MIDI input thread.
using MIDIINPROC = void (*)(HMIDIIN, UINT, DWORD_PTR, DWORD_PTR, DWORD_PTR);

UINT midiInGetNumDevs();
// The product name is the port's name, cut to MAXPNAMELEN - 1 bytes.
MMRESULT midiInGetDevCapsA(UINT_PTR deviceId, MIDIINCAPSA* caps, UINT size);
// flags CALLBACK_FUNCTION with `callback` a MIDIINPROC, or CALLBACK_NULL.
MMRESULT midiInOpen(HMIDIIN* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
MMRESULT midiInStart(HMIDIIN handle);
MMRESULT midiInStop(HMIDIIN handle);
MMRESULT midiInClose(HMIDIIN handle);

UINT midiOutGetNumDevs();
MMRESULT midiOutGetDevCapsA(UINT_PTR deviceId, MIDIOUTCAPSA* caps, UINT size);
// Only CALLBACK_NULL: nothing is reported back.
MMRESULT midiOutOpen(HMIDIOUT* handle, UINT deviceId, DWORD_PTR callback, DWORD_PTR instance, DWORD flags);
// The message's length follows from its status byte (1 to 3 bytes).
MMRESULT midiOutShortMsg(HMIDIOUT handle, DWORD message);
// One whole message of header->dwBufferLength bytes.
MMRESULT midiOutLongMsg(HMIDIOUT handle, MIDIHDR* header, UINT size);
MMRESULT midiOutClose(HMIDIOUT handle);

// The number of data bytes that follow a status byte (0 for system real
// time and for status bytes that carry none); -1 for a system-exclusive
// start or a byte that is not a status.
int MidiDataBytesAfter(BYTE status);
