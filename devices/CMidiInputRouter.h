// The remote-control front end of live MIDI input: first among the MIDI
// source's priority receivers, it finds the learned messages an incoming
// message may match, lets them fire, and consumes the message when one
// fired in its main pass, so the song document and the recorder never hear
// a learned control. It also assembles RPN and NRPN values per port and
// channel (its base) and offers each completed one to the learned messages.
//
// Learned messages are filed in sixteen dispatch lists by the low nibble of
// a key byte (status XOR d1, the status alone for channel pressure and
// pitch wheel), with masks that let most messages find nothing at once.
//
// Threads: Register, Unregister and Rebuild run on the UI thread and build
// new lists, which are swapped in atomically; the MIDI input thread walks
// the lists it found when its message arrived, and the UI thread frees the
// replaced lists once no message walks them. A learned message unregistered
// here is not matched after Unregister returned.
#pragma once

#include <array>
#include <atomic>
#include <set>
#include <utility>
#include <vector>

#include "devices/CMidiSink.h"
#include "devices/CNrpnContext.h"
#include "devices/IMidiInputRouter.h"
#include "devices/IMidiLearnedMsg.h"

class IEngineOwner;

class CMidiInputRouter : public CNrpnContext, public CMidiSink, public IMidiInputRouter {
public:
    explicit CMidiInputRouter(IEngineOwner* owner);
    ~CMidiInputRouter() override;
    CMidiInputRouter(const CMidiInputRouter&) = delete;
    CMidiInputRouter& operator=(const CMidiInputRouter&) = delete;

    // 1 when the message was new (removed), 0 when it was there (absent).
    int Register(IMidiLearnedMsg* msg);
    int Unregister(IMidiLearnedMsg* msg);
    // After a registered message changed what it matches.
    void Rebuild();

    int OnShortMsg(DWORD message, DWORD time, int port) override;
    int OnLongMsg(DWORD length, const BYTE* bytes, int port) override;
    void OnNrpnComplete(DWORD parserKind, int number, int channel, int value, int port) override;

    CMidiSink* GetMidiSink() override { return this; }
    IEngineOwner* GetOwner() const { return m_owner; }

private:
    struct Entry {
        BYTE key;
        BOOL valueQualified;
        IMidiLearnedMsg* msg;
    };
    struct Tables {
        WORD listMask = 0;
        std::array<WORD, 16> keyMasks{};
        std::array<std::vector<Entry>, 16> lists;  // each sorted by key
        LONG shortestPrefix = 0x7FFFFFFF;
        bool byData2 = false;
        bool valueQualified = false;
        bool anyNote = false;

        bool Allows(BYTE key) const;
        void Add(BYTE key, BOOL qualified, IMidiLearnedMsg* msg);
    };

    static void FileUnder(Tables& t, IMidiLearnedMsg* msg, int channel);
    // Entries under exactly `key` (or its whole list) without (with) the
    // value-qualified flag; true when one fired.
    bool MatchKey(const Tables& t, BYTE key, bool wholeList, bool qualified, DWORD message, int port);

    IEngineOwner* m_owner;
    std::set<IMidiLearnedMsg*> m_registered;
    std::atomic<Tables*> m_tables;
    std::atomic<int> m_walking{0};
    // Only the MIDI input thread touches it (and the NRPN completion it
    // calls from there).
    DWORD m_pass = 0;
    const Tables* m_current = nullptr;  // the lists of the message in hand
};
