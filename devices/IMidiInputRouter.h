// The MIDI input router as the engine owner sees it: the remote-control
// receiver that it places first among the MIDI source's priority receivers.
// Created with the engine owner and owned by it.
#pragma once

class CMidiSink;

class IMidiInputRouter {
public:
    virtual ~IMidiInputRouter() = default;

    virtual CMidiSink* GetMidiSink() = 0;
};
