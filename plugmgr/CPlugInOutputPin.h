// The plug-in filter's output: the input's format for the in-place and
// buffer-to-buffer kinds, the plug-in's accepted candidates for the async
// kind.
#pragma once

#include "platform/media/CBaseOutputPin.h"

class CPlugInFilter;

class CPlugInOutputPin : public CBaseOutputPin {
public:
    CPlugInOutputPin(CPlugInFilter* filter, CCritSec* lock, HRESULT* phr);

    HRESULT CheckMediaType(const CMediaType* mt) override;
    HRESULT GetMediaType(int position, CMediaType* mt) override;
    HRESULT DecideBufferSize(IMemAllocator* allocator, ALLOCATOR_PROPERTIES* props) override;

private:
    CPlugInFilter* m_filter;
};
