// Where remote-control assignments live, as the remote-control dialogs, the
// learning code and the views reach them without knowing which kind of
// mixer object (or the document) they talk to. Parameter ids are those of
// the container's parameter set. UI thread.
#pragma once

#include <vector>

#include "platform/win/CString.h"
#include "platform/win/WinTypes.h"

class CMvCommand;
class CRCContainer;
class IRCParam;
class IRCTarget;

// One assignment as the dialogs list it.
struct RCParamRecord {
    CRCContainer* container;
    IRCParam* param;
    DWORD state;  // 0 as listed; the dialogs keep their own state here
    CString text;
};

class CRCContainer {
public:
    virtual ~CRCContainer() = default;
    // A new remote-controlled parameter for the id, its message preset, not
    // yet assigned. E_INVALIDARG when no group holds the id.
    virtual HRESULT CreateRCParam(DWORD id, IRCParam** param) = 0;
    // E_FAIL when the target is not a remote-controlled parameter.
    virtual HRESULT DestroyRCParam(IRCTarget* target) = 0;
    // Appends one record per assignment of every group.
    virtual HRESULT ListRCParams(std::vector<RCParamRecord>* records) = 0;
    // The assignment edits, undoable within `command` (or a command of
    // their own when it is null).
    virtual HRESULT UnassignRCParam(DWORD id, CMvCommand* command) = 0;
    virtual HRESULT AssignRCParam(DWORD id, IRCTarget* target, CMvCommand* command) = 0;
    virtual HRESULT ModifyRCParam(DWORD id, IRCTarget* target, CMvCommand* command) = 0;
};
