// Feeds arbitrary bytes to the loop player's state loader, as a project's
// stored synth state reaches it, then saves the state again.
#include "CTamblor.h"
#include "plugins/synthframework/fuzz/SynthStateFuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return mvsynth::FuzzSynthState(mvtamblor::CTamblor::Class(), data, size);
}
