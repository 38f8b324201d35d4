// One chain of the phaser: eight first-order allpass stages whose corner
// follows the LFO between the two ends of the sweep, with feedback from
// the last stage's previous output. The engine owns two, one a side.
//
// Threads: the audio thread only, inside the engine's per-frame step.
#pragma once

namespace mvphaser {

class CAllpassChain {
public:
    static constexpr int kStages = 8;
    // Magnitudes below this become exactly 0, keeping denormals out of the
    // state.
    static constexpr float kFlushBelow = 1e-18f;

    // One sample through the chain: the dry input plus depth times the
    // last stage's output. Audio thread: no allocation, no blocking.
    float Process(float x);

    float state[kStages] = {};
    float modulation = 0.0f;  // -1..1
    float sweepLow = 0.0f;    // normalised frequency, 2 Hz / sample rate
    float sweepHigh = 0.0f;
    float feedback = 0.0f;
    float depth = 0.0f;
    float lastOutput = 0.0f;
};

}  // namespace mvphaser
