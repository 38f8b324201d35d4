#include "engine/mixer/GainPanText.h"

#include <cmath>

#include "uikit/core/CPropDBFine.h"
#include "uikit/core/CPropPan.h"

void FormatGainPanValue(DWORD rule, const MP_PARAMINFO& info, float value, CString* text)
{
    const float native = info.mpdMinValue + (info.mpdMaxValue - info.mpdMinValue) * value;
    switch (rule) {
    case 1: {
        CPropDBFine db;
        db.SetFromParamValue(value);
        db.FormatText(*text);
        if (db.GetValue() > CPropDBFine::kMinimumDb)
            *text += "dB";
        return;
    }
    case 4: {
        CPropPan pan(native, info.mpdMinValue, info.mpdMaxValue);
        pan.FormatText(*text);
        return;
    }
    case 3:
        // The masculine ordinal serves as the degree sign.
        text->Format("%d%s", static_cast<int>(native + 0.5f), "\u00BA");
        return;
    case 5:
        *text = native >= 0.5f ? "On" : "Off";
        return;
    default:
        if (info.mpType == MPT_BOOL)
            *text = value >= 0.5f ? "On" : "Off";
        else
            text->Format("%d%%", static_cast<int>(std::lround(value * 100.0f)));
        return;
    }
}
