// What the aux buses and the master bus need of the song document beyond
// the mixer objects' common needs: the engine's audio properties for their
// sum mixers, whether any channel output sends to an aux bus, the bus's
// place among the document's aux buses, the mute-state cache, the undoable
// end of a parameter touch, the recorder's parameter gestures, the engine's
// automation switch and the metronome's click player. The song document
// implements it. UI thread unless said.
#pragma once

#include "engine/mixer/IMixerDocument.h"

class IAudioProperties;
class IMetronomePlayer;

class IBusDocument : public IMixerDocument {
public:
    // The audio renderer's properties (sample rate and position); null
    // while the engine has no renderer.
    virtual IAudioProperties* GetAudioProperties() = 0;
    // Some channel output sends to aux bus `index`.
    virtual BOOL IsAuxBusUsed(WORD index) = 0;
    // The 0-based position of aux bus `index` among the document's aux
    // buses; -1 when it is not one of them.
    virtual int GetAuxBusPosition(WORD index) = 0;
    // The cached "some output is muted" state is stale.
    virtual void InvalidateMuteState() = 0;
    // An undoable change of a bus parameter (a touch ended).
    virtual HRESULT SetAuxBusParam(WORD index, DWORD id, float value) = 0;
    virtual HRESULT SetMainBusParam(DWORD id, float value) = 0;

    // ---- Recorder (on the calling thread), by bus index ----
    virtual HRESULT RecordBusParamValue(DWORD id, WORD busIndex, float value) = 0;
    virtual HRESULT BeginBusParamTouch(DWORD id, WORD busIndex) = 0;
    virtual HRESULT EndBusParamTouch(DWORD id, WORD busIndex) = 0;

    // The engine's switch that lets playback render recorded automation.
    // Audio thread: no allocation, no blocking.
    virtual BOOL IsAutomationPlaybackOn() = 0;

    // A new click player of the metronome (the loop player created by its
    // class and connected to the engine's MIDI-effect host site), one
    // reference for the caller; its failure when it cannot be made.
    virtual HRESULT CreateMetronomePlayer(IMetronomePlayer** player) = 0;

protected:
    ~IBusDocument() = default;
};
