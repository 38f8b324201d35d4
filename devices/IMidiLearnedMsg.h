// A learned MIDI message as the input router files and fires it: its kind
// and numbers decide the keys it is filed under, and the three match
// operations decode an incoming message and drive the message's listeners
// when it fires. The learned message of a remote-control target implements
// it. The router calls the matches on the MIDI input thread and reads the
// rest on the UI thread while it rebuilds.
#pragma once

#include "platform/win/WinTypes.h"

class IMidiLearnedMsg {
public:
    static constexpr WORD kAnyChannel = 0xFFFF;

    // 0 controller, 1 controller by value, 2 prefixed controller, 3 and 4
    // 14-bit controller pairs, 5 NRPN, 6 RPN, 7 to 10 system exclusive,
    // 11 pitch wheel, 12 note, 13 any note, 14 channel pressure.
    virtual int GetKind() = 0;
    virtual WORD GetChannel() = 0;  // 0..15 or kAnyChannel
    virtual WORD GetKind1Number() = 0;
    virtual WORD GetNrpnNumber() = 0;
    virtual WORD GetRpnNumber() = 0;
    virtual WORD GetNoteNumber() = 0;
    // Fires only for one decoded value when set.
    virtual BOOL IsValueQualified() = 0;
    virtual LONG GetQualifyingValue() = 0;
    virtual DWORD GetLongPrefixLength() = 0;
    virtual DWORD GetLongPrefix(DWORD i) = 0;  // byte i of the prefix
    // The i-th short message of the kind with `value` inserted.
    virtual DWORD BuildShortMsg(int value, int i) = 0;
    virtual int GetShortMsgCount() = 0;

    // Non-zero when the message fired; fires at most once per pass.
    virtual int Match(DWORD pass, DWORD message, int port) = 0;
    virtual int MatchLong(DWORD pass, DWORD length, const BYTE* bytes, int port) = 0;
    virtual int MatchNrpn(DWORD pass, DWORD parserKind, int number, int channel, int value, int port) = 0;

protected:
    ~IMidiLearnedMsg() = default;
};
