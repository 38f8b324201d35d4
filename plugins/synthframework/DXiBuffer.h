// What the instrument's Process gets for the input and each output: the
// media sample, where in it the slice starts and how many frames it spans.
// 20 bytes on the 32-bit layout the format was made for; here the sample
// pointer takes its native width.
//
// Threads: filled and read on the streaming thread under the synth's lock.
#pragma once

#include "platform/media/MediaInterfaces.h"

namespace mvsynth {

struct DXiBuffer {
    DWORD frames;            // frames of this slice (before rendering: the capacity)
    DWORD offset;            // byte offset of the slice in the sample
    DWORD pinId;             // the output pin's id, 0 for the input
    IMediaSample* sample;
    DWORD zeroFillPending;   // 1: holds no data yet; the instrument clears it when it writes
};

}  // namespace mvsynth
