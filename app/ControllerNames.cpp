#include "app/ControllerNames.h"

#include <cstdio>

namespace mvapp {

namespace {
// The controller assignments of the MIDI standard; null where it
// leaves a number undefined.
const char* const kNames[128] = {
    "Bank Select", "Modulation Wheel", "Breath Controller", nullptr, "Foot Controller", "Portamento Time",
    "Data Entry MSB", "Channel Volume", "Balance", nullptr, "Pan", "Expression Controller", "Effect Control 1",
    "Effect Control 2", nullptr, nullptr, "General Purpose Controller 1", "General Purpose Controller 2",
    "General Purpose Controller 3", "General Purpose Controller 4", nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "Bank Select LSB", "Modulation Wheel LSB",
    "Breath Controller LSB", nullptr, "Foot Controller LSB", "Portamento Time LSB", "Data Entry LSB",
    "Channel Volume LSB", "Balance LSB", nullptr, "Pan LSB", "Expression Controller LSB", "Effect Control 1 LSB",
    "Effect Control 2 LSB", nullptr, nullptr, "General Purpose Controller 1 LSB", "General Purpose Controller 2 LSB",
    "General Purpose Controller 3 LSB", "General Purpose Controller 4 LSB", nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "Sustain Pedal", "Portamento",
    "Sostenuto", "Soft Pedal", "Legato Footswitch", "Hold 2", "Sound Variation", "Timbre/Harmonic Intensity",
    "Release Time", "Attack Time", "Brightness", "Decay Time", "Vibrato Rate", "Vibrato Depth", "Vibrato Delay",
    "Sound Controller 10", "General Purpose Controller 5", "General Purpose Controller 6",
    "General Purpose Controller 7", "General Purpose Controller 8", "Portamento Control", nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, "Reverb Send Level", "Tremolo Depth", "Chorus Send Level",
    "Celeste Depth", "Phaser Depth", "Data Increment", "Data Decrement", "NRPN LSB", "NRPN MSB", "RPN LSB",
    "RPN MSB", nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "All Sound Off", "Reset All Controllers",
    "Local Control", "All Notes Off", "Omni Mode Off", "Omni Mode On", "Mono Mode On", "Poly Mode On"};
}  // namespace

CString GetControllerName(int controller)
{
    if (controller < 0 || controller > 127)
        return CString();
    char text[64];
    const char* name = kNames[controller];
    std::snprintf(text, sizeof text, "%d - %s", controller, name ? name : "Undefined");
    return CString(text);
}

}  // namespace mvapp
