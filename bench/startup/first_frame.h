#pragma once

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>

// Shows `window` and ends the process as soon as its first frame is on screen, skipping the
// teardown: the time from the exec to the exit is then the start-up a user waits through.
inline int showFirstFrameAndExit(QWidget &window)
{
    class FirstPaint final : public QObject
    {
    public:
        bool eventFilter(QObject *, QEvent *event) override
        {
            // The window's first paint starts a pass that paints and flushes every child; a
            // zero timer runs once that pass is over.
            if (event->type() == QEvent::Paint && !m_seen) {
                m_seen = true;
                QTimer::singleShot(0, [] { std::_Exit(0); });
            }
            return false;
        }

    private:
        bool m_seen = false;
    } firstPaint;
    window.installEventFilter(&firstPaint);
    QTimer::singleShot(30'000, [] {
        std::fprintf(stderr, "the window was not painted within 30 s\n");
        std::_Exit(1);
    });
    window.show();
    return QApplication::exec();
}
