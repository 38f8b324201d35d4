// A step-sequencer MIDI effect's own interface, as the host uses it: it is
// told the channel's synth filter, the channel's id and the song's shuffle.
// The slots between are the plug-in's own and this host never calls them;
// they hold their places so the three it does call land where the plug-in
// has them.
#pragma once

#include "platform/com/Unknown.h"

MV_DEFINE_GUID(IID_IStepSeqPlugIn, 0xC0BE3AD8, 0xA3AE, 0x4A37, 0x84, 0xC6, 0x22, 0x1C, 0x31, 0x60, 0xB9, 0xCC);

struct IStepSeqPlugIn : IUnknown {
    STDMETHOD(Slot3)() = 0;
    STDMETHOD(SetSynth)(IUnknown* synthFilter) = 0;
    STDMETHOD(Slot5)() = 0;
    STDMETHOD(Slot6)() = 0;
    STDMETHOD(Slot7)() = 0;
    STDMETHOD(SetChannelId)(WORD channelId) = 0;
    STDMETHOD(Slot9)() = 0;
    STDMETHOD(Slot10)() = 0;
    STDMETHOD(Slot11)() = 0;
    STDMETHOD(Slot12)() = 0;
    STDMETHOD(Slot13)() = 0;
    STDMETHOD(Slot14)() = 0;
    STDMETHOD(Slot15)() = 0;
    STDMETHOD(Slot16)() = 0;
    STDMETHOD(Slot17)() = 0;
    STDMETHOD(Slot18)() = 0;
    STDMETHOD(Slot19)() = 0;
    STDMETHOD(Slot20)() = 0;
    // 50 for no shuffle to 100 for full.
    STDMETHOD(SetShuffle)(LONG amount) = 0;
};
