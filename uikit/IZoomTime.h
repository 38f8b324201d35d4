// What a zoom scroll bar tells its parent during a zoom drag: the model
// position the drag keeps fixed, so a view can mark the zoom centre, and
// whether the bar zooms at all (the time axis does). UI thread only.
#pragma once

class IZoomTime {
public:
    virtual int GetZoomTarget() = 0;
    virtual int IsZoomEnabled() = 0;

protected:
    ~IZoomTime() = default;
};
