// A remote-control target that runs one of the transport commands of the
// main window: rewind, play/stop, jog back and forward, record. Every time
// its listener drives it, the command is posted (the mode decides how
// often: a trigger posts once per press).
//
// Saved (format 0x601C, chunk 0): the listener fields, the learned message
// as a nested chunk, the command index as one byte.
//
// Threads: created, set and saved on the UI thread; Trigger on the MIDI
// input thread.
#pragma once

#include "devices/CRCTarget.h"
#include "devices/IRCCommandSink.h"
#include "model/CKelPersistObject.h"

class CMvRCCommand : public CRCTarget, public CKelPersistObject {
public:
    static constexpr WORD kMajor = 0x601C;
    static constexpr int kCommands = 6;

    // E_POINTER, E_OUTOFMEMORY.
    static HRESULT Create(CMidiInputRouter* router, CMvRCCommand** out);
    // The main window's command ids, by index; -1 for "Invalid".
    static LONG CommandIdAt(int index);
    // The row of an id; 0 ("Invalid") for an id that is not in the table.
    static int IndexOf(LONG commandId);
    // The row's name; empty for "Invalid" and unknown ids.
    static const char* GetCommandName(LONG commandId);
    // Where commands are posted; none drops them.
    static void SetCommandSink(IRCCommandSink* sink);

    // Stores the row of the id; an unknown id and -1 store 0 and give E_FAIL.
    HRESULT SetCommand(LONG commandId);
    int GetCommandIndex() const { return m_index; }

    IRCParam* AsParam() override { return nullptr; }
    int GetTargetKind() override { return 1; }
    LONG GetTargetId() override { return CommandIdAt(m_index); }
    int GetValueType() override { return kSwitchValue; }
    // Posts the command (not for "Invalid"); `on` is not looked at.
    // MIDI input thread: no allocation, no blocking.
    HRESULT SetState(CMidiMsg* msg, bool on) override;
    HRESULT Trigger(CMidiMsg* msg, bool on) { return SetState(msg, on); }

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    explicit CMvRCCommand(CMidiInputRouter* router);

    int m_index = 0;
};
