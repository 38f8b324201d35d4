// One incoming MIDI control the user assigned (learned) to something: the
// kind of message, its channel and port, and how a value is read out of
// it. When the input router finds a match, the message decodes the value
// and hands it to its listeners. Every remote-control target owns one.
//
// Kinds: 0 controller, 1 controller by value, 2 controller after a fixed
// prefix controller, 3 and 4 14-bit controller pairs (high or low part
// first), 5 NRPN, 6 RPN, 7 to 9 system exclusive with one or two value
// bytes, 10 system exclusive that never fires, 11 pitch wheel, 12 one
// note, 13 any note, 14 channel pressure.
//
// Threads: the fields and the listener set change on the UI thread while
// the message is not registered with the router (or before the router
// rebuilds); the matches run on the MIDI input thread.
#pragma once

#include <set>
#include <vector>

#include "devices/CMidiMsgListener.h"
#include "devices/IMidiLearnedMsg.h"
#include "model/CKelPersistObject.h"

class CMidiInputRouter;

class CMidiMsg : public CKelPersistObject, public IMidiLearnedMsg {
public:
    static constexpr WORD kMajor = 0x6011;
    static constexpr DWORD kAnyPort = 0xFFFFFFFF;
    static constexpr int kKinds = 15;

    // `router` is where the message files itself while it has listeners;
    // none keeps it to itself.
    explicit CMidiMsg(CMidiInputRouter* router = nullptr);
    ~CMidiMsg() override;
    // The fields, not the listeners nor the router registration.
    CMidiMsg& CopyFieldsFrom(const CMidiMsg& other);

    // E_POINTER for null. The first listener files the message with the
    // router, the last one leaving takes it out; S_FALSE when absent.
    HRESULT AddListener(CMidiMsgListener* listener);
    HRESULT RemoveListener(CMidiMsgListener* listener);
    bool HasListeners() const { return !m_listeners.empty(); }
    CMidiInputRouter* Router() const { return m_router; }

    // IMidiLearnedMsg
    int GetKind() override { return static_cast<int>(m_kind); }
    WORD GetChannel() override { return m_channel; }
    WORD GetKind1Number() override { return m_kind1Number; }
    WORD GetNrpnNumber() override { return m_nrpnNumber; }
    WORD GetRpnNumber() override { return m_rpnNumber; }
    WORD GetNoteNumber() override { return m_noteNumber; }
    BOOL IsValueQualified() override { return m_valueQualified; }
    LONG GetQualifyingValue() override { return m_qualifyingValue; }
    DWORD GetLongPrefixLength() override { return static_cast<DWORD>(m_prefix.size()); }
    DWORD GetLongPrefix(DWORD i) override { return i < m_prefix.size() ? m_prefix[i] : 0; }
    DWORD BuildShortMsg(int value, int i) override;
    int GetShortMsgCount() override;
    // MIDI input thread: no allocation, no blocking (these three).
    int Match(DWORD pass, DWORD message, int port) override;
    int MatchLong(DWORD pass, DWORD length, const BYTE* bytes, int port) override;
    int MatchNrpn(DWORD pass, DWORD parserKind, int number, int channel, int value, int port) override;

    void GetLongPrefix(const BYTE** bytes, DWORD* length) const;
    void GetLongSuffix(const BYTE** bytes, DWORD* length) const;
    void SetLongPrefix(const BYTE* bytes, DWORD length) { m_prefix.assign(bytes, bytes + length); }
    void SetLongSuffix(const BYTE* bytes, DWORD length) { m_suffix.assign(bytes, bytes + length); }

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

    DWORD m_kind = 0;
    WORD m_controllerA = 0;
    WORD m_controllerB = 0;
    WORD m_kind1Number = 0;
    WORD m_prefixController = 0;
    WORD m_prefixValue = 0;
    WORD m_nrpnNumber = 0;
    WORD m_rpnNumber = 0;
    WORD m_noteNumber = 0;
    WORD m_channel = kAnyChannel;
    DWORD m_port = kAnyPort;
    DWORD m_maxValue = 127;
    LONG m_currentValue = 0;
    BOOL m_valueQualified = FALSE;
    LONG m_qualifyingValue = 0;
    BOOL m_secondFlag = TRUE;  // saved and restored; nothing reads it

private:
    // Decodes `m` by kind; false when it is not this message's.
    bool Decode(DWORD m, LONG* value);
    int Fire(DWORD pass, LONG value);

    CMidiInputRouter* m_router;
    std::vector<BYTE> m_prefix;
    std::vector<BYTE> m_suffix;
    std::vector<CMidiMsgListener*> m_listeners;  // each once, in the order added
    DWORD m_previous = 0;
    DWORD m_firedInPass = 0xFFFFFFFF;
};
