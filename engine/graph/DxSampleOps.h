// The operations every filter of the graph library applies to samples and
// allocators: testing and setting the deferred silence of a sample, getting a
// pointer for a writer that overwrites the whole block, and recognising and
// making the engine's allocator.
#pragma once

#include "engine/graph/CDxAllocator.h"

// Audio thread: no allocation, no blocking (the first three).
// TRUE when the sample has deferred silence pending (FALSE for a foreign one).
BOOL IsZeroFillPending(IMediaSample* sample);
// Marks the sample silent without writing it; a foreign sample gets the
// silence pattern written over its whole buffer.
HRESULT MarkSilent(IMediaSample* sample);
// The buffer for a writer that will overwrite it all: no silence is filled.
HRESULT GetWritePointer(IMediaSample* sample, BYTE** buffer);

// TRUE, with the object in *out, when the allocator is a CDxAllocator.
BOOL IsDxAllocator(IMemAllocator* allocator, CDxAllocator** out);
// A new CDxAllocator with one reference.
HRESULT CreateDxAllocator(CDxAllocator** out);
