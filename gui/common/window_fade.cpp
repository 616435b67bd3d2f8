// SPDX-License-Identifier: GPL-3.0-or-later
#include "gui/common/window_fade.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QTimer>
#include <QWidget>
#include <QtMath>

namespace kelvarn {
namespace {

// Drops the keyboard and mouse input of every window while it lives; close requests pass.
class InputBlocker final : public QObject {
public:
    InputBlocker() { QCoreApplication::instance()->installEventFilter(this); }
    ~InputBlocker() override { QCoreApplication::instance()->removeEventFilter(this); }
    InputBlocker(const InputBlocker&) = delete;
    InputBlocker& operator=(const InputBlocker&) = delete;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override {
        return isUserInput(event->type());
    }

private:
    static bool isUserInput(QEvent::Type type) {
        switch (type) {
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonRelease:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseMove:
            case QEvent::Wheel:
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
            case QEvent::Shortcut:
            case QEvent::ShortcutOverride:
            case QEvent::ContextMenu:
            case QEvent::TouchBegin:
            case QEvent::TouchUpdate:
            case QEvent::TouchEnd:
            case QEvent::TabletPress:
            case QEvent::TabletRelease:
            case QEvent::TabletMove:
                return true;
            default:
                return false;
        }
    }
};

}  // namespace

void pauseWindows(const AppContext& context, int milliseconds) {
    if (context.sleep) {
        context.sleep(milliseconds);
        return;
    }
    // Input is dropped, not held back: Qt counts a close request from the window system as
    // input, and held-back input is handed on only when the event loop next wakes for something
    // else, so a close held back here could go unanswered for as long as nothing else happens.
    InputBlocker blocker;
    QEventLoop wait;
    QTimer::singleShot(milliseconds, &wait, &QEventLoop::quit);
    wait.exec();
}

void fadeWindow(QWidget* window, const AppContext& context, int step, int steps) {
    int opacity = qRound(window->windowOpacity() * 255);
    for (int i = 0; i < steps; ++i) {
        opacity += step;
        window->setWindowOpacity(opacity / 255.0);
        // Painting hands each step to the window system now; otherwise it would see only the
        // last, and the window would vanish or come back at once.
        window->repaint();
        pauseWindows(context, kFadeStepMilliseconds);
    }
}

}  // namespace kelvarn
