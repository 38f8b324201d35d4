// The remote-control assignments of one parameter group of a parameter set:
// parameter id to remote-controlled parameter. The map holds pointers only;
// the objects belong to the owning set, which destroys them when it goes.
// Copying a map copies its entries (ids and pointers), not the objects.
// Assigning, changing and removing attach and detach the targets, undo and
// redo included.
//
// Saved as chunk 0 (format 0x6013): u32 count, then per assignment the u32
// parameter id and the object as a nested chunk; loading creates each object
// for the owning set, loads it, registers it and inserts it.
//
// UI thread (dialogs, undo and redo).
#pragma once

#include "devices/CRCTargetMap.h"
#include "engine/mixer/IRCParam.h"
#include "model/CKelPersistObject.h"
#include "model/CUndoMap.h"
#include "model/CUndoPtrTraits.h"

class CControlParamSet;
class CMvCommand;

template <>
struct CUndoPtrTraits<IRCParam> {
    static void Destroy(IRCParam* p) { DestroyRCTarget(p); }
};

using RCParamMap = CRCTargetMap<DWORD, IRCParam>;

class CRCParamMap : public CKelPersistObject {
public:
    static constexpr WORD kMajor = 0x6013;

    explicit CRCParamMap(CControlParamSet* owner);
    CRCParamMap(const CRCParamMap& other) = default;
    CRCParamMap& operator=(const CRCParamMap& other) = default;
    ~CRCParamMap() override = default;

    // Undoable within `command`, or in a command of their own when it is
    // null: "Assign remote control.", "Modify remote control.",
    // "Unassign remote control.". A failure is a negative HRESULT.
    HRESULT AssignParam(DWORD id, IRCParam* param, CMvCommand* command);
    HRESULT ModifyParam(DWORD id, IRCParam* param, CMvCommand* command);
    HRESULT UnassignParam(DWORD id, CMvCommand* command);

    RCParamMap& GetMap() { return m_map; }
    const RCParamMap& GetMap() const { return m_map; }
    CControlParamSet* GetOwner() const { return m_owner; }

    STDMETHOD(PersistChunk)(DWORD versionWord, CKelPersistArchive* archive) override;

private:
    RCParamMap m_map;
    CControlParamSet* m_owner;
};
