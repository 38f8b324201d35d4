// What the engine owner asks of the application shell: the splash window's
// status line while the engine is built, and posting a message to the main
// window. The application implements it and hands it to the engine owner
// before start-up; without one the engine shows and posts nothing.
#pragma once

#include "platform/win/WinTypes.h"

class IEngineShell {
public:
    // Writes the text into the splash window's status line, when it is shown.
    virtual void SetStatusText(const char* text) = 0;
    // Posts the message to the calling thread's main window; nothing when
    // the thread has none.
    virtual void PostToMainWindow(UINT message, WPARAM wParam, LPARAM lParam) = 0;

protected:
    ~IEngineShell() = default;
};
