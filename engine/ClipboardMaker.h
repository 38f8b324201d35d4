// How the program's engine factory makes the edit and drag-and-drop
// clipboards. Their class lives in the hosting layer, above the engine,
// since cut and paste edit the song document; it installs its maker here
// when its library is part of the program, and the factory calls it.
// Without one the factory makes no clipboard and the engine owner's
// start-up stops there.
#pragma once

class ITransportClipboard;

using ClipboardMaker = ITransportClipboard* (*)(bool dragAndDrop);

// Any thread; the maker is installed during static initialisation.
void SetClipboardMaker(ClipboardMaker make);
ClipboardMaker GetClipboardMaker();
