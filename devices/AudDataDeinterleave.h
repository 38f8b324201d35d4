// Part of the sample-format conversion at the device edge: splitting an
// interleaved stereo block in the device format into the two channel
// buffers of a driver that keeps one buffer per channel (ASIO).
//
// `bits` is the container width of one sample: 16 (a 32-bit source word
// holds the left sample in its low half and the right in its high half, as
// little-endian memory has it), 24 (packed 3-byte samples) or 32 (pairs of
// 32-bit words). Other widths write nothing. The source is little-endian, as
// the engine writes it; the big-endian variant reverses the bytes of every
// sample, for channels whose sample type is MSB.
//
// Audio thread: no allocation, no blocking.
#pragma once

void Deinterleave(int bits, const void* source, void* left, void* right, int frames);
void DeinterleaveBigEndian(int bits, const void* source, void* left, void* right, int frames);
