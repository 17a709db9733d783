// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "support/TempFolder.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QString>

// A session bus of the test's own, with no services to activate, so a test sees
// exactly the services it puts there; the daemon starts and ends with this object.
class PrivateSessionBus
{
public:
    PrivateSessionBus()
    {
        const std::string config = (m_folder.Path() / "session.conf").string();
        WriteBytes(config,
                   "<busconfig><type>session</type><listen>unix:dir=" + m_folder.Path().string() +
                       "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                       "<allow send_destination=\"*\" eavesdrop=\"true\"/><allow "
                       "eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
        m_daemon.start("dbus-daemon", {"--nofork", "--print-address=1",
                                       "--config-file=" + QString::fromStdString(config)});
        QByteArray printed;
        for (QDeadlineTimer deadline(10000); !printed.contains('\n') && !deadline.hasExpired() &&
                                             m_daemon.state() != QProcess::NotRunning;)
        {
            m_daemon.waitForReadyRead(100);
            printed += m_daemon.readAllStandardOutput();
        }
        m_address = QString::fromUtf8(printed).trimmed();
    }
    ~PrivateSessionBus()
    {
        m_daemon.kill();
        m_daemon.waitForFinished(5000);
    }

    // Empty when the daemon did not come up.
    const QString& Address() const { return m_address; }

private:
    TempFolder m_folder;
    QProcess m_daemon;
    QString m_address;
};
