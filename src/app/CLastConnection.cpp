// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CLastConnection.h"

#include "app/CMainFrame.h"
#include "app/CZentrelView.h"
#include "directory/DirectoryEntries.h"
#include "res/ResourceIds.h"
#include "view/ViewerSettings.h"

#include <QAction>
#include <QEvent>

namespace
{
const QString kReconnectKey = QStringLiteral("ReconnectAtStart");
const QString kEntryKey = QStringLiteral("LastConnection/Entry");
const QString kChannelKey = QStringLiteral("LastConnection/Channel");
} // namespace

CLastConnection::CLastConnection(CMainFrame& frame, CZentrelView& view,
                                 std::filesystem::path settingsFile,
                                 std::filesystem::path directoryFile)
    : QObject(&frame), m_frame(frame), m_view(view), m_settingsFile(std::move(settingsFile)),
      m_directoryFile(std::move(directoryFile)), m_pItem(frame.FindAction(ID_RECONNECT_AT_START))
{
    m_pItem->setCheckable(true);
    m_pItem->setChecked(OpenViewerSettings(m_settingsFile)->value(kReconnectKey, true).toBool());
    connect(m_pItem, &QAction::toggled, this,
            [this](bool on) { OpenViewerSettings(m_settingsFile)->setValue(kReconnectKey, on); });
    m_frame.installEventFilter(this);
}

bool CLastConnection::IsOn() const
{
    return m_pItem->isChecked();
}

bool CLastConnection::Reconnect()
{
    const auto settings = OpenViewerSettings(m_settingsFile);
    const QString name = settings->value(kEntryKey).toString();
    if (!m_pItem->isChecked() || name.isEmpty())
    {
        return false;
    }
    QString error;
    auto entry = FindDirectoryEntry(m_directoryFile, name.toStdU16String(), error,
                                    m_view.GetPasswordStore());
    if (!entry)
    {
        return false;
    }
    const int channel = settings->value(kChannelKey, entry->Channel).toInt();
    if (channel >= 0 && channel <= static_cast<int>(ID_CHANNEL_LAST - ID_CHANNEL_FIRST))
    {
        entry->Channel = channel;
    }
    m_view.ConnectTo(*entry);
    return true;
}

bool CLastConnection::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &m_frame && event->type() == QEvent::Close)
    {
        Remember();
    }
    return QObject::eventFilter(watched, event);
}

// Only a connection the DVR accepted is worth coming back to; a refused login
// or a closed connection leaves nothing to reconnect.
void CLastConnection::Remember()
{
    const auto settings = OpenViewerSettings(m_settingsFile);
    if (m_view.GetClient().IsLoggedIn())
    {
        settings->setValue(kEntryKey,
                           QString::fromStdU16String(FieldText(m_view.GetConnectInfo().Name)));
        settings->setValue(kChannelKey, m_view.GetChannel());
    }
    else
    {
        settings->remove(QStringLiteral("LastConnection"));
    }
}
