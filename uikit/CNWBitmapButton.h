// A toggle drawn from cached bitmaps: the normal bitmap, the on bitmap while
// on (or, when asked, while pressed) and the disabled bitmap while not
// editable; sized to the normal bitmap. A pressed button shows a sunken
// frame; the caption is centred. It holds a cache reference on each of its
// bitmaps. UI thread only.
#pragma once

#include "uikit/CNWToggleControl.h"

class CNWBitmapButton : public CNWToggleControl {
public:
    // 0 for no on or disabled bitmap.
    CNWBitmapButton(CNWControlSite* site, UINT normalId, UINT onId, UINT disabledId, int mode);
    ~CNWBitmapButton() override;

    void Draw(CDC* dc) override;
    void DrawFocus(CDC* dc) override;
    // Releases the old ids and takes the new ones; the size stays.
    virtual void SetBitmaps(UINT normalId, UINT onId, UINT disabledId);

    void SetShowOnWhilePressed(bool on) { m_showOnWhilePressed = on; }
    void SetSunkenWhilePressed(bool on) { m_sunkenWhilePressed = on; }
    // Magenta (255, 0, 255) shows what lies below.
    void SetTransparent(bool on) { m_transparent = on; }

private:
    void Hold(UINT normalId, UINT onId, UINT disabledId);
    void Drop();

    UINT m_normalId = 0;
    UINT m_onId = 0;
    UINT m_disabledId = 0;
    bool m_showOnWhilePressed = false;
    bool m_sunkenWhilePressed = true;
    bool m_transparent = false;
};
