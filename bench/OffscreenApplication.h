// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Qt application of a benchmark that runs the real viewer: offscreen
// unless QT_QPA_PLATFORM asks for another platform.
#include <QApplication>

#include <cstdlib>

class OffscreenApplication
{
public:
    explicit OffscreenApplication(char** argv) : m_app((ChoosePlatform(), m_argc), argv) {}

private:
    static void ChoosePlatform()
    {
        if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        }
    }

    int m_argc = 1; // Qt keeps a reference to it
    QApplication m_app;
};
