// What the window-layer tests share: a Qt application for the whole
// program (offscreen under tools/run-tests), clean input and system tables
// per test, and PNG shots of what a test builds when MORVANE_SHOTS names a
// folder, so anyone can look at what the user would see.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QString>
#include <QTimer>
#include <cstdlib>
#include <functional>
#include <string>

#include "platform/ui/CWnd.h"
#include "platform/ui/InputState.h"
#include "platform/ui/QtBridge.h"
#include "platform/ui/SystemMetrics.h"

namespace mvtest {

// Writes `image` as <MORVANE_SHOTS>/<name>.png; nothing without the variable.
inline void Shot(const QImage& image, const char* name)
{
    const char* folder = std::getenv("MORVANE_SHOTS");
    if (!folder || !*folder || image.isNull())
        return;
    QDir().mkpath(QString::fromUtf8(folder));
    const QString path = QDir(QString::fromUtf8(folder)).filePath(QString::fromUtf8(name) + ".png");
    EXPECT_TRUE(image.save(path, "PNG")) << path.toStdString();
}

// The window's whole surface, frame included, painted up to date first;
// a shown window comes with its child windows on it.
inline void Shot(CWnd& wnd, const char* name)
{
    wnd.UpdateWindow();
    QWidget* widget = mvui::WindowWidget(wnd.m_hWnd);
    if (widget && widget->isVisible())
        Shot(widget->grab().toImage(), name);
    else
        Shot(mvui::WindowSurface(wnd.m_hWnd), name);
}

// Answers the next file or folder dialog once its modal loop runs: picks
// `path` when `accept`, else cancels.
inline void AnswerNextFileDialog(const std::string& path, bool accept)
{
    QTimer::singleShot(0, [path, accept] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* d = qobject_cast<QFileDialog*>(w);
            if (!d || !d->isVisible())
                continue;
            if (!accept) {
                d->reject();
                continue;
            }
            d->setDirectory(QString::fromStdString(path));
            d->selectFile(QString::fromStdString(path));
            QMetaObject::invokeMethod(d, "accept");
        }
    });
}

// Runs `act` once the event loop runs again (inside a modal loop, say).
inline void RunLater(std::function<void()> act)
{
    QTimer::singleShot(0, std::move(act));
}

// Runs `act` on the file dialog once it shows.
inline void OnNextFileDialog(std::function<void(QFileDialog&)> act)
{
    QTimer::singleShot(0, [act] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* d = qobject_cast<QFileDialog*>(w); d && d->isVisible()) {
                act(*d);
                return;
            }
        ADD_FAILURE() << "no file dialog";
    });
}

// Types `text` into the file dialog's name field, as the user would.
inline void SetFileDialogText(QFileDialog& d, const char* text)
{
    auto* edit = d.findChild<QLineEdit*>("fileNameEdit");
    ASSERT_NE(edit, nullptr);
    edit->setText(QString::fromUtf8(text));
}

// A fixture base: the application exists, the tables are at their defaults.
class UiTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        mvui::EnsureApplication();
        mvui::ResetInput();
        mvui::ResetSystemTables();
    }
    void TearDown() override
    {
        ReleaseCapture();
        mvui::PumpMessages();
        mvui::ResetInput();
        mvui::ResetSystemTables();
    }
};

}  // namespace mvtest
