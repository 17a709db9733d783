// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

#include <filesystem>

class CMainFrame;
class CZentrelView;
class QAction;

// Come back where you were: at close, the directory entry and channel on view
// are kept in the viewer's settings; at the next start Reconnect connects to
// them again, unless the "Reconnect at Start" item is off.
class CLastConnection : public QObject
{
public:
    CLastConnection(CMainFrame& frame, CZentrelView& view, std::filesystem::path settingsFile,
                    std::filesystem::path directoryFile);

    // False when there is nothing to come back to: the item is off, nothing was
    // on view at the last close, or the entry is gone or has no saved user.
    bool Reconnect();
    // The "Reconnect at Start" item is checked.
    bool IsOn() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Remember();

    CMainFrame& m_frame;
    CZentrelView& m_view;
    const std::filesystem::path m_settingsFile;
    const std::filesystem::path m_directoryFile;
    QAction* m_pItem;
};
