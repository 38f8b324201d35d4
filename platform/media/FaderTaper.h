// The studio's volume taper: a normalised fader position (0..1) to a
// linear gain. Piecewise exponential; unity gain at 101/127 (a narrow band
// around it gives exactly 1), gain 2 (+6.02 dB) at the top, silence at 0.
// The gain-pan filter applies it to its volume parameter, so the decibels
// the program shows for a position are the decibels heard.
#pragma once

namespace mvmedia {

// Audio thread: no allocation, no blocking.
float FaderPositionToGain(float position);

}  // namespace mvmedia
