// What the mixer objects (effect chains, output branches, channels) need of
// the song document that holds them and, through it, of the engine owner
// and the views: the graph-dirty mark that the engine's rebuild polls, the
// keep-alive set for filters leaving the graph, the engine's filter graph
// and error list, new effect wrappers made with the engine's MIDI-effect
// host site, the effects' property windows, and the bus mixer inputs that
// output branches connect to. The song document implements it.
// UI thread.
#pragma once

#include "engine/mixer/IParamSetDocument.h"
#include "platform/media/MediaInterfaces.h"
#include "platform/win/CString.h"

class CDxFilterGraph;
class IFxWrap;

class IMixerDocument : public IParamSetDocument {
public:
    // The audio thread plays silence until the next rebuild has run.
    virtual HRESULT SetGraphDirty() = 0;
    // Takes a reference that lasts until the next rebuild has taken the
    // object out of the graph, so the audio thread never meets it released.
    virtual HRESULT KeepObjectAlive(IUnknown* object) = 0;
    // The engine's graph; null before the engine is initialised.
    virtual CDxFilterGraph* GetFilterGraph() = 0;
    // Appends a text to the audio-engine errors shown after a rebuild.
    virtual void AddErrorMessage(const CString& text) = 0;
    // A new effect wrapper for the class, made in the engine's graph with
    // its MIDI-effect host site; GUID_NULL and no name give an empty one to
    // be loaded from a stream.
    virtual HRESULT CreateFxWrap(REFCLSID clsid, const char* name, IFxWrap** wrap) = 0;
    virtual HRESULT ShowFxPropertyPage(IFxWrap* wrap, HWND parent) = 0;
    virtual HRESULT CloseFxPropertyPage(IFxWrap* wrap) = 0;
    // The open project has unsaved changes.
    virtual void SetModifiedFlag() = 0;
    // A free input of the master bus's (or aux bus `aux`'s) sum mixer, marked
    // used, no reference added; null when there is none.
    virtual IPin* GetMainBusMixInPin() = 0;
    virtual IPin* GetAuxBusMixInPin(int aux) = 0;
    // Aux bus `aux` re-checks which channel outputs send to it.
    virtual HRESULT RefreshAuxBusRouting(int aux) = 0;

protected:
    ~IMixerDocument() = default;
};
