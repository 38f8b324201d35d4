// An on/off windowless control: value 0.0 (off) or 1.0 (on). In press mode
// it switches on the button press; in release mode on the release, even
// outside the control, but it reports a click only for a release inside.
// Drawing belongs to the derived forms. UI thread only.
#pragma once

#include "uikit/CNWControl.h"

class CNWToggleControl : public CNWControl {
public:
    static constexpr int kSwitchOnPress = 0;
    static constexpr int kSwitchOnRelease = 1;

    CNWToggleControl(CNWControlSite* site, int mode);

    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnRButtonUp(UINT flags, POINT point) override;
    // 0, 2, 4 off; 1, 3, 5 on; 6 the other state. A change (and 6 always)
    // is reported as a click.
    int OnKeyAction(int code) override;
    // A user change (notify) only when clicks may change the value; a
    // programmatic one always.
    virtual void SetCheck(bool on, bool notify);
    bool IsOn() const;
    int GetMode() const { return m_mode; }

protected:
    int m_mode;
};
