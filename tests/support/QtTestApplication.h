// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/CDialog.h"

#include <QApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// The one QApplication of a GUI test program. It lives from before the first
// test to after the last, and goes before the program's static objects do,
// which Qt needs for a clean exit.
class QtApplicationEnvironment : public ::testing::Environment
{
public:
    void SetUp() override { m_app = std::make_unique<QApplication>(m_argc, m_argv); }
    void TearDown() override { m_app.reset(); }
    QApplication& App() { return *m_app; }

private:
    int m_argc = 1;
    char m_name[16] = "quillon-tests";
    char* m_argv[2] = {m_name, nullptr};
    std::unique_ptr<QApplication> m_app;
};

inline QtApplicationEnvironment* const g_qtEnvironment = static_cast<QtApplicationEnvironment*>(
    ::testing::AddGlobalTestEnvironment(new QtApplicationEnvironment));

inline QApplication& TestApplication()
{
    return g_qtEnvironment->App();
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
