// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/TempFolder.h"

#include <QByteArray>
#include <QtGlobal>

#include <filesystem>

// While it lives, the user's home is a folder of the test's, so clips land in its
// Videos/Quillon and never in the real one.
class ClipHome
{
public:
    explicit ClipHome(const std::filesystem::path& home)
        : m_home(qgetenv("HOME")), m_configHome(qgetenv("XDG_CONFIG_HOME")),
          m_hadConfigHome(qEnvironmentVariableIsSet("XDG_CONFIG_HOME")),
          m_clips(home / "Videos" / "Quillon")
    {
        qputenv("HOME", QByteArray::fromStdString(home.string()));
        qunsetenv("XDG_CONFIG_HOME");
    }
    ~ClipHome()
    {
        qputenv("HOME", m_home);
        if (m_hadConfigHome)
        {
            qputenv("XDG_CONFIG_HOME", m_configHome);
        }
    }
    ClipHome(const ClipHome&) = delete;
    ClipHome& operator=(const ClipHome&) = delete;

    const std::filesystem::path& Clips() const { return m_clips; }

private:
    QByteArray m_home;
    QByteArray m_configHome;
    bool m_hadConfigHome;
    std::filesystem::path m_clips;
};
