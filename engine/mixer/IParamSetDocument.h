// What a parameter set needs of the song document that holds it: its
// project commands (remote-control assignments are undoable edits), the
// track number of a channel's set, the remote-control assignment dialog, the
// remote-control objects of the device subsystem, the main window for the
// end-of-touch notice, and the engine's time converter for recorded
// automation. The song document implements it. UI thread unless said.
#pragma once

#include "model/ICommandDocument.h"
#include "platform/com/Unknown.h"

class CControlParamSet;
class CRCContainer;
class IRCParam;
struct IMfxTimeConverter;

class IParamSetDocument : public ICommandDocument {
public:
    // The set's 1-based position among the document's channels; 0 when the
    // set is not one of its channels.
    virtual int GetChannelPosition(const CControlParamSet* set) = 0;
    // Runs the remote-control assignment dialog for a parameter of the
    // container under the title; its result.
    virtual HRESULT RunRemoteControlDialog(CRCContainer* container, DWORD id, const char* title, LONG a, LONG b) = 0;
    // A new remote-controlled parameter bound to the set and group key;
    // E_POINTER, E_OUTOFMEMORY.
    virtual HRESULT CreateRCParam(CControlParamSet* set, REFGUID classId, REFGUID instanceId, IRCParam** param) = 0;
    // Posts to the calling thread's main window; nothing when it has none.
    // Any thread.
    virtual void PostToMainWindow(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The engine's MIDI-effect host site's time converter (no reference
    // added); null while there is no engine.
    virtual IMfxTimeConverter* GetTimeConverter() = 0;

protected:
    ~IParamSetDocument() = default;
};
