// What a MIDI-effect chain needs of its channel (and, through it, of the
// song document, the engine owner and the views): its name, id and first
// synth, the song's shuffle, new wrappers made with the engine's MIDI-effect
// host site, the effects' property windows, and the document's commands and
// step-preview upkeep. The channel implements it. UI thread.
#pragma once

#include "platform/com/Unknown.h"
#include "platform/win/CString.h"
#include "uikit/core/CHeapCriticalSection.h"

class ICommandDocument;
class IMfxFilterWrap;

class IMfxChainOwner {
public:
    virtual CString GetDisplayName() = 0;
    virtual WORD GetChannelId() = 0;
    // The plug-in filter of the channel's first synth; null when it has none.
    virtual IUnknown* GetFirstSynthFilter() = 0;
    // The document's shuffle, 0..1.
    virtual double GetShuffleAmount() = 0;
    // The document the chain's edits are commands of.
    virtual ICommandDocument* GetCommandDocument() = 0;
    // A new wrapper for the class made with the engine's MIDI-effect host
    // site (GUID_NULL and no name: an empty one to be loaded).
    virtual HRESULT CreateMfxWrap(REFCLSID clsid, const char* name, IMfxFilterWrap** wrap) = 0;
    // The document re-checks whether every MIDI-effect chain is ready.
    virtual HRESULT UpdateStepPreview() = 0;
    virtual HRESULT ShowPropertyPage(IMfxFilterWrap* wrap, HWND parent) = 0;
    virtual HRESULT ClosePropertyPage(IMfxFilterWrap* wrap) = 0;
    // The lock playback and the chain's edits share; null for none.
    virtual CHeapCriticalSection* GetChainLock() = 0;

protected:
    ~IMfxChainOwner() = default;
};
