// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/CWallFile.h"
#include "directory/DvrEntry.h"
#include "wall/CCameraWall.h"
#include "wall/WallSettings.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <filesystem>
#include <optional>

class IMenuItems;
class IMessageBox;
class IMessagePump;
class ISingleView;
class QMainWindow;
class QStackedWidget;
class QWidget;

// The Layout pop-up: the single view or a wall of 2 x 2, 3 x 3 or 4 x 4 cameras
// in the frame's place of the view, a tile opened in the single view and back,
// and the tour. The wall and the view never both hold the same camera: a tile
// opened in the single view hands its connection over to the view.
class CWallSwitcher final : public QObject
{
public:
    struct Services
    {
        IMessagePump& messagePump;
        IMessageBox& messageBox; // tells of a damaged walls file, once
        std::filesystem::path directoryFile;
        std::filesystem::path settingsFile; // empty: the user's configuration folder
    };

    CWallSwitcher(QMainWindow& frame, const IMenuItems& items, ISingleView& view,
                  const Services& services, const WallSettings& settings);
    ~CWallSwitcher() override;

    // 1 is the single view; a grid shows the DVR the view shows, or the last wall's.
    void SetLayout(int columns);
    // A grid of the channels of this DVR, CH-01 first.
    void ShowWall(int columns, const DvrEntry& dvr);
    // A wall of the walls file, each tile's DVR looked up in the directory; false
    // with `error` set when there is no wall of that name.
    bool ShowNamedWall(const std::u16string& name, QString& error);
    void OnEditWall();
    // 1 while the single view shows, also for an open tile.
    int GetColumns() const { return m_nColumns; }
    bool IsTileOpen() const { return m_nOpenTile >= 0; }
    // The tile shown in the single view, or -1.
    int GetOpenTile() const { return m_nOpenTile; }
    void OpenTile(int index);
    // The open tile, if another, goes back to the wall first.
    void SwitchToTile(int index);
    void BackToWall();
    void SetTour(bool on);
    bool IsTourOn() const { return m_tour.isActive(); }
    CCameraWall& GetWall() { return *m_pWall; }
    int GetPaintedPictures() const { return m_pWall->GetPaintedPictures(); }

    // The wall the last run ended on, if its DVR is still in the directory with a
    // saved user; false when there is none to show.
    bool RestoreLastWall(const std::filesystem::path& directoryFile);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void AfterConnect();
    void ShowSingle();
    // The single view in the wall's place, remembered as the layout.
    void ShowViewAlone();
    void ShowCameras(int columns, const std::vector<std::optional<DvrEntry>>& cameras,
                     const QString& layoutName);
    void ShowNamedWall(const NamedWall& wall);
    std::vector<NamedWall> LoadWalls();
    void StopView();
    void UpdateItems();
    void Remember();
    void NextTourStop();
    // The view gives the open tile's camera back, and the tile goes on live.
    void HandBackOpenTile();

    QMainWindow& m_frame;
    const IMenuItems& m_items;
    ISingleView& m_view;
    // Kept apart from the view: the frame's events still come while the view is destroyed.
    QWidget& m_viewWidget;
    IMessageBox& m_messageBox;
    const std::filesystem::path m_directoryFile;
    const std::filesystem::path m_settingsFile;
    CWallFile m_wallFile;
    bool m_bDamageTold = false;
    QString m_layoutName;     // what the last layout is remembered as
    QStackedWidget* m_pStack; // the frame's central widget
    CCameraWall* m_pWall;     // a child of the stack
    int m_nColumns = 1;
    int m_nOpenTile = -1;
    std::optional<DvrEntry> m_wallDvr;
    QTimer m_tour;
};
