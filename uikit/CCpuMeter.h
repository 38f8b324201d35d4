// The engine's processor load as a bar of ten segments over its background
// bitmap (320), with the load in percent at the right; the tool-tip text is
// that number. The load comes from the engine owner (a fraction, shown up
// to 1.0). UI thread only.
#pragma once

#include <functional>

#include "platform/ui/CPen.h"
#include "uikit/CNWBitmap.h"

class CCpuMeter : public CNWBitmap {
public:
    static constexpr UINT kBackground = 320;

    explicit CCpuMeter(CNWControlSite* site);
    ~CCpuMeter() override;

    // Where the load is read from (the engine owner's CPU load); none reads 0.
    void SetLoadSource(std::function<float()> load) { m_load = std::move(load); }
    void Draw(CDC* dc) override;

private:
    CPen m_litPen;
    CPen m_darkPen;
    int m_segments = 10;
    int m_step = 3;
    std::function<float()> m_load;
};
