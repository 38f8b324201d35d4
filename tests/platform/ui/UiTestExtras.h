// More for window tests: a pump that waits for timers, and bitmaps drawn
// with antialiasing for controls under test (a button face, a spinner, a
// knob filmstrip), registered as the program's resources.
#pragma once

#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QThread>
#include <cmath>

#include "platform/ui/BitmapResources.h"
#include "platform/ui/CWnd.h"
#include "platform/ui/QtBridge.h"

namespace mvtest {

// Runs the queue until `done` holds or `limitMs` have passed (timers of 1 ms
// and more need the clock to move).
template <class F>
bool PumpUntil(F done, int limitMs = 1000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs) {
        mvui::PumpMessages();
        QThread::msleep(1);
    }
    return done();
}

// Bitmaps drawn for the tests, registered as the program's resources.
inline void RegisterImage(UINT id, const QImage& image)
{
    CBitmap b;
    mvui::SetBitmapImage(b, image);
    mvui::RegisterBitmapResource(nullptr, id, b);
}

inline QImage ButtonFace(int w, int h, QColor face, QColor lamp, bool lit)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(58, 62, 70));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QColor(30, 32, 36));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 3, 3);
    p.setPen(Qt::NoPen);
    p.setBrush(lit ? lamp : lamp.darker(300));
    p.drawRoundedRect(QRectF(4, 3, w - 8, 3), 1, 1);
    return img;
}

inline QImage SpinnerFace(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(QColor(28, 30, 34));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    const int ax = w * 2 / 3;
    p.fillRect(QRect(ax, 0, w - ax, h), QColor(80, 86, 96));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(220, 224, 230));
    const double cx = ax + (w - ax) / 2.0;
    QPolygonF up{{cx - 4, h / 2.0 - 2}, {cx + 4, h / 2.0 - 2}, {cx, h / 2.0 - 7}};
    QPolygonF down{{cx - 4, h / 2.0 + 2}, {cx + 4, h / 2.0 + 2}, {cx, h / 2.0 + 7}};
    p.drawPolygon(up);
    p.drawPolygon(down);
    return img;
}

// `frames` knob images across, a second row with a lit ring.
inline QImage KnobStrip(int frames, int size)
{
    QImage img(frames * size, 2 * size, QImage::Format_RGB32);
    img.fill(QColor(58, 62, 70));
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    for (int row = 0; row < 2; ++row)
        for (int i = 0; i < frames; ++i) {
            const QPointF c(i * size + size / 2.0, row * size + size / 2.0);
            const double r = size / 2.0 - 3;
            p.setPen(QPen(row ? QColor(255, 170, 40) : QColor(24, 26, 30), 2));
            p.setBrush(QColor(120, 126, 136));
            p.drawEllipse(c, r, r);
            const double a = (-135.0 + 270.0 * i / (frames - 1)) * M_PI / 180.0;
            p.setPen(QPen(QColor(245, 245, 245), 2, Qt::SolidLine, Qt::RoundCap));
            p.drawLine(c, QPointF(c.x() + std::sin(a) * (r - 2), c.y() - std::cos(a) * (r - 2)));
        }
    return img;
}

}  // namespace mvtest
