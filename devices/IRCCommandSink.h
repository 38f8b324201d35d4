// Where remote-controlled transport commands go: the application's main
// window, which takes each as the menu command of the same id. The
// program sets it once its main window exists.
//
// Threads: PostCommand is called on the MIDI input thread and must only
// post.
#pragma once

#include "platform/win/WinTypes.h"

class IRCCommandSink {
public:
    // MIDI input thread: no allocation, no blocking.
    virtual void PostCommand(UINT commandId) = 0;

protected:
    ~IRCCommandSink() = default;
};
