// Asking an allocator for buffers when a pin sizes it: the properties are
// set and the grant checked, since an allocator may round a request down.
#pragma once

#include "platform/media/MediaInterfaces.h"

// SetProperties' failure, or E_FAIL when fewer or smaller buffers than
// asked were granted.
HRESULT RequestBuffers(IMemAllocator* allocator, const ALLOCATOR_PROPERTIES& request);
