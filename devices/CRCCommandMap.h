// The song's remote-controlled transport commands: command index to its
// target. Assigning, changing and removing are undo steps named "Assign
// remote control.", "Modify remote control." and "Unassign remote
// control."; each also attaches or detaches the target. The map owns its
// targets.
//
// Saved (format 0x601D, chunk 0): u32 count, then per entry in key order
// the command index as one byte and the target as a nested chunk; loading
// creates, loads, registers and inserts each without an undo step.
//
// UI thread (dialogs, undo and redo).
#pragma once

#include "devices/CMvRCCommand.h"
#include "devices/CRCTargetMap.h"
#include "model/CKelPersistObject.h"
#include "model/CUndoPtrTraits.h"

class CMvCommand;
class ICommandDocument;

template <>
struct CUndoPtrTraits<CMvRCCommand> {
    static void Destroy(CMvRCCommand* p) { CRCTarget::Destroy(p); }
};

using RCCommandMap = CRCTargetMap<DWORD, CMvRCCommand>;

class CRCCommandMap : public CKelPersistObject {
public:
    static constexpr WORD kMajor = 0x601D;

    // `document` runs the undo steps; `router` is where loaded targets file
    // their messages.
    CRCCommandMap(ICommandDocument* document, CMidiInputRouter* router);
    ~CRCCommandMap() override;
    CRCCommandMap(const CRCCommandMap&) = delete;
    CRCCommandMap& operator=(const CRCCommandMap&) = delete;

    // Within `command`, or in a command of their own when it is null (then
    // the command's result is returned). E_FAIL for an id that is not a
    // transport command.
    HRESULT AssignCommand(LONG commandId, CMvRCCommand* target, CMvCommand* command);
    HRESULT ModifyCommand(LONG commandId, CMvRCCommand* target, CMvCommand* command);
    HRESULT UnassignCommand(LONG commandId, CMvCommand* command);

    RCCommandMap& GetMap() { return m_map; }
    // Where targets loaded from now on file their messages; null: nowhere.
    void SetRouter(CMidiInputRouter* router) { m_router = router; }
    CMidiInputRouter* GetRouter() const { return m_router; }

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    RCCommandMap m_map;
    ICommandDocument* m_document;
    CMidiInputRouter* m_router;
};
