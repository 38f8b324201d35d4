// The sine test instrument: every sounding note adds a sine at its pitch
// (equal temperament, A4 = 440 Hz) with amplitude velocity / 127 times the
// "Level" parameter, starting in phase 0 at the note's sample. A note ends
// on its note-off, or when its length (in the host's ticks) has passed.
// It renders float audio only, and says its tail is done as soon as no note
// sounds.
#pragma once

#include "plugins/synthframework/CDXi.h"
#include "plugins/synthframework/CFilter.h"

namespace mvtest {

class CSineSynth : public mvsynth::CDXi {
public:
    static const mvsynth::SynthClass& Class();

    HRESULT CheckInputFormat(const WAVEFORMATEX* format) override;
    HRESULT CheckOutputFormat(const WAVEFORMATEX* format) override;
    // Audio thread: no allocation, no blocking.
    HRESULT Process(LONGLONG position, const mvsynth::DXiBuffer* input, mvsynth::DXiBuffer* outputs,
                    DWORD outputCount, LONGLONG renderedTotal, const mvsynth::DXiEventList& events) override;
    // Over once its note-off came or its end sample was rendered.
    // Audio thread: no allocation, no blocking.
    HRESULT UpdateNote(const mvsynth::DXiEvent& event, bool flush) override;

    static double Frequency(int key);

private:
    // The sample after the note's last, on the rendered-total scale; no end
    // for a note held until its note-off.
    LONGLONG NoteEnd(const mvsynth::DXiEvent& note);

    // Where the last slice ended.
    LONGLONG m_renderedEnd = 0;
};

}  // namespace mvtest
