// The names of one MIDI channel of a ReWire device, as the host reads them
// through the soft-synth interface: the channel's own name and the notes the
// device names on it. The bridge keeps one per MIDI channel and refills it
// from the device after attach and whenever the device says it changed; a
// channel the device does not use is empty.
//
// Threads: the host's control thread reads, the bridge refills on its
// control or idle thread; both under the instrument's own lock.
#pragma once

#include <map>
#include <string>

#include "plugins/synthframework/CInstrument.h"

namespace mvrewire {

class CReWireInstrument : public mvsynth::CInstrument {
public:
    CReWireInstrument();

    // The device's channel: its name and its named notes. `notesFailed`:
    // the device did not answer for every note it marks, so the note list
    // is not given until the next refill. The lists made so far go: they
    // carry the old name and the old notes.
    void SetChannel(std::string name, std::map<LONG, std::string> notes, bool notesFailed);
    // A channel the device does not use.
    void Clear() { SetChannel({}, {}, false); }
    bool Used() const { return m_used; }

    STDMETHODIMP GetNoteNames(LONG bank, LONG patch, mvsynth::IMfxNameList** list) override;

protected:
    HRESULT CreateNoteNames(LONG bank, LONG patch) override;

private:
    bool m_used = false;
    bool m_notesFailed = false;
    std::map<LONG, std::string> m_noteNames;
};

}  // namespace mvrewire
