// Feeds arbitrary bytes to the phaser's state loader, as a project's
// stored effect state reaches it, then saves the state again.
#include "CPhaser.h"
#include "plugins/synthframework/fuzz/SynthStateFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return mvsynth::FuzzSynthState(mvphaser::CPhaser::Class(), data, size);
}
