// A source of notes played live (a MIDI input), polled by a property editor
// that fills a note value from the keyboard. UI thread only.
#pragma once

class CNoteSource {
public:
    virtual ~CNoteSource() = default;
    // Forgets whatever was played before the editor took the focus.
    virtual void Prime() = 0;
    // The note played since the last call; false when none was.
    virtual bool GetPlayedNote(int* note) = 0;
};
