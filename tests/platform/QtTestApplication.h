#pragma once

#include "platform/Dialog.h"

#include <QApplication>
#include <QElapsedTimer>

#include <functional>

// The one QApplication of a GUI test program, made on first use.
inline QApplication& TestApplication()
{
    static int argc = 1;
    static char name[] = "quillon-tests";
    static char* argv[] = {name, nullptr};
    static QApplication app(argc, argv);
    return app;
}

// Handles events until `done` holds or `milliseconds` pass; returns whether it held.
inline bool ProcessEventsUntil(const std::function<bool()>& done, int milliseconds = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done())
    {
        if (timer.elapsed() > milliseconds)
        {
            return false;
        }
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

template <class T> T* FindControl(QWidget& dialog, unsigned id)
{
    return dialog.findChild<T*>(CDialog::ControlObjectName(id));
}
