// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/CDecodePool.h"
#include "directory/DvrEntry.h"
#include "wall/CWallTile.h"
#include "wall/WallSettings.h"

#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class CLookBackControl;
class IMessagePump;
class QGridLayout;

// The grid of tiles. Tiles that keep their camera across a change of grid keep
// their connection; only the ones added connect and only the ones dropped log out.
class CCameraWall final : public QWidget
{
public:
    CCameraWall(IMessagePump& messagePump, const WallSettings& settings, QWidget* parent = nullptr);
    ~CCameraWall() override;

    // columns x columns tiles showing these cameras in order; nothing for "No channel".
    void SetTiles(int columns, const std::vector<std::optional<DvrEntry>>& cameras);
    // Every tile logs out at once; a DVR that does not answer holds the wall for
    // the logout wait at most, not for one command time-out per tile.
    void DisconnectAll();
    // Tiles with a camera and no connection, not even a refused one, connect.
    void ConnectAll();
    // Decoding follows what the user can see: the wall on screen. A covered tile still
    // keeps its frames and looks for motion in them, so its timeline and Follow Motion see it.
    void SetShown(bool shown);

    int GetColumns() const { return m_nColumns; }
    int GetTileCount() const { return static_cast<int>(m_tiles.size()); }
    CWallTile& GetTile(int index) { return *m_tiles[static_cast<size_t>(index)]; }
    int GetSelected() const { return m_nSelected; }
    void Select(int index);
    int GetPaintedPictures() const;
    // On screen, with at least one tile live.
    bool IsAnyTileLive() const;
    // The tiles' pictures as the workers placed them, one slot a tile.
    const CDecodePool& GetPictures() const { return m_decoders; }
    // Every tile shows its own frame of one moment; one timeline along the wall's bottom.
    CLookBackControl& GetLookBack() { return *m_pLookBack; }

    // A double click or Enter on a tile.
    std::function<void(int index)> onOpen;
    // A tile's menu asked for, once the tile is selected.
    std::function<void(int index, const QPoint& globalPosition)> onTileMenu;

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    int IndexOf(const CWallTile& tile) const;
    void RepaintNewPictures();
    bool IsExposed() const;
    void StartOrStopTick();

    IMessagePump& m_messagePump;
    const WallSettings m_settings;
    QGridLayout* m_pGrid; // a child
    CLookBackControl* m_pLookBack; // a child QObject
    // Decode the tiles' frames, one worker a core; started for each set of tiles
    // and stopped before it changes. Tile i's pictures are in slot i.
    CDecodePool m_decoders;
    std::vector<uint8_t> m_handOver; // the buffer a frame's JPEG goes round in
    // One repaint of the wall per refresh of the screen.
    QTimer m_repaintTick;
    std::vector<std::unique_ptr<CWallTile>> m_tiles;
    int m_nColumns = 0;
    int m_nSelected = 0;
    bool m_bShown = false;
};
