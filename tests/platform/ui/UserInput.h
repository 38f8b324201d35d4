// Input as a user gives it, for window tests above the layer: presses,
// releases and moves of the mouse at screen points and the keys a drag
// listens to, all delivered through Qt to the window's widget, and a shot
// of several top windows as they stand on the desktop.
#pragma once

#include <QPainter>
#include <QTest>
#include <initializer_list>

#include "tests/platform/ui/UiTestSupport.h"

namespace mvtest {

inline QPoint LocalPoint(const CWnd& target, CPoint screen)
{
    CRect w;
    target.GetWindowRect(&w);
    return QPoint(screen.x - w.left, screen.y - w.top);
}

inline void PressAt(CWnd& target, CPoint screen, bool right = false)
{
    QTest::mousePress(mvui::WindowWidget(target.m_hWnd), right ? Qt::RightButton : Qt::LeftButton, Qt::NoModifier,
                      LocalPoint(target, screen));
}

inline void ReleaseAt(CWnd& target, CPoint screen)
{
    QTest::mouseRelease(mvui::WindowWidget(target.m_hWnd), Qt::LeftButton, Qt::NoModifier, LocalPoint(target, screen));
}

inline void MoveAt(CWnd& target, CPoint screen)
{
    QTest::mouseMove(mvui::WindowWidget(target.m_hWnd), LocalPoint(target, screen));
}

enum class Key { Control, Escape };

inline void KeyDown(CWnd& target, Key key)
{
    QTest::keyPress(mvui::WindowWidget(target.m_hWnd), key == Key::Control ? Qt::Key_Control : Qt::Key_Escape);
}

inline void KeyUp(CWnd& target, Key key)
{
    QTest::keyRelease(mvui::WindowWidget(target.m_hWnd), key == Key::Control ? Qt::Key_Control : Qt::Key_Escape);
}

// The windows over a desktop-coloured ground, each at its screen place.
inline void ShotDesktop(std::initializer_list<CWnd*> windows, const char* name)
{
    CRect all;
    for (CWnd* w : windows) {
        CRect r;
        w->GetWindowRect(&r);
        all.UnionRect(all, r);
    }
    all.InflateRect(10, 10);
    QImage desktop(all.Width(), all.Height(), QImage::Format_RGB32);
    desktop.fill(QColor(58, 110, 165));
    {
        QPainter p(&desktop);
        for (CWnd* w : windows) {
            CRect r;
            w->GetWindowRect(&r);
            p.drawImage(r.left - all.left, r.top - all.top, mvui::WindowWidget(w->m_hWnd)->grab().toImage());
        }
    }
    Shot(desktop, name);
}

}  // namespace mvtest
