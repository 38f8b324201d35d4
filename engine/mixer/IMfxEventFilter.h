// A MIDI-effect plug-in's event filter, as its host drives it: the
// transport's start, loop and stop, the playback events of a span (from one
// queue into another) and the live input data. Slots 3 and 4 are the
// plug-in's connection to its host, made by its wrapper.
#pragma once

#include "model/Mfx.h"

struct IMfxEventFilter : IUnknown {
    STDMETHOD(Connect)(IUnknown* hostSite) = 0;
    STDMETHOD(Disconnect)() = 0;
    STDMETHOD(OnStart)(LONG time) = 0;
    STDMETHOD(OnLoop)(LONG a, LONG b, LONG c) = 0;
    STDMETHOD(OnStop)(LONG time) = 0;
    // Audio thread: no allocation, no blocking.
    STDMETHOD(OnEvents)(LONG from, LONG to, IMfxEventQueue* in, IMfxEventQueue* out) = 0;
    STDMETHOD(OnInput)(IMfxDataQueue* in, IMfxDataQueue* out) = 0;
};
