// A windowless text with a drop-down arrow. The host fills, shows and acts
// on the menu: a click (on release, or on press when asked) hands it an
// empty pop-up menu through the site's context-menu notification. With a
// text area, a click on the text is reported as a click instead; with an
// arrow area, only a click on the arrow opens the menu. A double click is
// reported as a click and never resets the value. The arrow glyphs come
// from one image list shared by all drop-downs (bitmap 151: twelve glyphs
// 9 pixels wide, magenta transparent). UI thread only.
#pragma once

#include "uikit/CNWControl.h"

class CDropDownCtrl : public CNWControl {
public:
    static constexpr UINT kArrowBitmap = 151;
    static constexpr int kGlyphWidth = 9;
    static constexpr int kGlyphCount = 12;

    explicit CDropDownCtrl(CNWControlSite* site);
    ~CDropDownCtrl() override;

    // Glyph indexes of the arrow while editable and while not; outside
    // 0..11 they become 0 and 1.
    void SetArrowImages(int editable, int notEditable);
    void EnableArrowArea(bool on) { m_hasArrowArea = on; }
    void EnableTextArea(bool on) { m_hasTextArea = on; }
    // True: the menu opens on the button release (the default); false: on the press.
    void SetOpenOnRelease(bool on) { m_openOnRelease = on; }

    void Draw(CDC* dc) override;
    void SetSize(SIZE size) override;
    void SetPosition(POINT point, bool redraw) override;
    void OnLButtonDown(UINT flags, POINT point) override;
    void OnLButtonUp(UINT flags, POINT point) override;
    void OnLButtonDblClk(UINT flags, POINT point) override;

    const CRect& GetArrowRect() const { return m_arrowRect; }
    const CRect& GetTextRect() const { return m_textRect; }
    int GetArrowImage(bool editable) const { return editable ? m_editableGlyph : m_lockedGlyph; }

protected:
    void Layout();
    // The text in the text rectangle and the arrow glyph in the arrow rectangle.
    void DrawTextAndArrow(CDC* dc);

private:
    void Open(UINT flags, POINT point);

    bool m_hasArrowArea = false;
    CRect m_arrowRect;
    bool m_hasTextArea = false;
    CRect m_textRect;
    bool m_openOnRelease = true;
    int m_editableGlyph = 0;
    int m_lockedGlyph = 1;
};
