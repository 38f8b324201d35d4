// How the program's engine factory makes the recorder. The recorder's class
// lives in the hosting layer, above the engine, since it writes takes into
// the song document; it installs its maker here when its library is part
// of the program, and the factory calls it. Without one the factory makes
// no recorder and the engine owner's start-up stops there.
#pragma once

class ITransportRecorder;

using RecorderMaker = ITransportRecorder* (*)();

// Any thread; the maker is installed during static initialisation.
void SetRecorderMaker(RecorderMaker make);
RecorderMaker GetRecorderMaker();
