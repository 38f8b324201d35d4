// A channel's soft synth as playback drives it: the transport, the events
// of each span and the live events of each buffer, the program the wrapper
// stores per MIDI channel, and the two switches of a loop player's clips.
// The plug-in hosting layer's wrapper implements it over the synth's own
// interfaces.
//
// Threads: Start, Stop and AdvanceTime on the thread that changes the
// transport; the rest on the audio thread: no allocation, no blocking.
#pragma once

#include <vector>

#include "model/Mfx.h"

class ISynthPlayer {
public:
    static constexpr LONG kNoBank = -1;
    static constexpr int kNoPatch = 255;

    virtual HRESULT Start(LONG time) = 0;
    virtual HRESULT Stop() = 0;
    virtual HRESULT AdvanceTime(LONG loopStart, LONG loopEnd) = 0;
    // The span's events, in ticks, from channel `channelId`.
    virtual HRESULT ProcessEvents(LONG from, LONG to, SHORT channelId, IMfxEventQueue* queue) = 0;
    virtual HRESULT ProcessLiveEvents(SHORT channelId, IMfxDataQueue* queue) = 0;
    // kNoBank and kNoPatch when none is stored for the MIDI channel.
    virtual LONG GetChannelBank(int midiChannel) = 0;
    virtual int GetChannelPatch(int midiChannel) = 0;
    // UI thread: a bank -1 (none) .. 16383, a patch -1 (none) .. 127 stored
    // for the MIDI channel; the synth's bank numbers, in its order. E_NOTIMPL
    // from a synth that stores or lists none.
    virtual HRESULT SetChannelBank(int, LONG) { return E_NOTIMPL; }
    virtual HRESULT SetChannelPatch(int, int) { return E_NOTIMPL; }
    virtual HRESULT GetBankList(int, std::vector<LONG>*) { return E_NOTIMPL; }
    // A loop player's clips play from the timeline while playing is on and
    // are recorded while recording is on; other synths ignore both.
    virtual HRESULT SetClipsPlaying(BOOL on) = 0;
    virtual HRESULT SetClipsRecording(BOOL on) = 0;

protected:
    ~ISynthPlayer() = default;
};
