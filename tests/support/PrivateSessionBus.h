#pragma once

#include "support/TempFolder.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QString>

// A session bus of the test's own: a dbus-daemon that starts with this object
// and ends with it, with no services to activate, so a test sees exactly the
// services it puts there itself.
class PrivateSessionBus
{
public:
    PrivateSessionBus()
    {
        const auto config = m_folder.Path() / "session.conf";
        WriteBytes(config, "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                           "Configuration 1.0//EN\" "
                           "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                           "<busconfig><type>session</type><listen>unix:dir=" +
                               m_folder.Path().string() +
                               "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
                               "<allow send_destination=\"*\" eavesdrop=\"true\"/>"
                               "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                               "</busconfig>\n");
        m_daemon.start(
            QStringLiteral("dbus-daemon"),
            {QStringLiteral("--nofork"), QStringLiteral("--print-address=1"),
             QStringLiteral("--config-file=") + QString::fromStdString(config.string())});
        QElapsedTimer waited;
        waited.start();
        QByteArray printed;
        while (!printed.contains('\n') && waited.elapsed() < 10000 &&
               m_daemon.state() != QProcess::NotRunning)
        {
            m_daemon.waitForReadyRead(100);
            printed += m_daemon.readAllStandardOutput();
        }
        m_address = QString::fromUtf8(printed).trimmed();
    }
    ~PrivateSessionBus()
    {
        m_daemon.terminate();
        if (!m_daemon.waitForFinished(5000))
        {
            m_daemon.kill();
            m_daemon.waitForFinished(5000);
        }
    }

    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    // Empty when the daemon did not come up.
    const QString& Address() const { return m_address; }

private:
    TempFolder m_folder;
    QProcess m_daemon;
    QString m_address;
};
