// The jog pop-up of a CZoomFader: its whole height spans the scale, linearly,
// and the pointer is held in a six-pixel column over its slot. It reports
// like CZoomedFader. UI thread only.
#pragma once

#include "uikit/CZoomedFader.h"

class CJogFader : public CZoomedFader {
public:
    static constexpr const char* kClassName = "CC:JogFader";
    explicit CJogFader(CZoomFader* fader) : CZoomedFader(fader) {}

    float ValueAt(CPoint point) const override;

protected:
    CRect KeepInside(CRect rect) const override;
    CRect PointerClip() const override;
    const char* WindowClass() const override { return kClassName; }
};
