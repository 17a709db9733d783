// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "motion/CMotionFollower.h"
#include "motion/MotionSensitivity.h"
#include "view/CMotionNotifier.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

class CPictureConnection;
class CWallSwitcher;
class IMenuItems;
class ISingleView;
class QMainWindow;
class QMenu;
class QPoint;

// What the viewer does with the motion its cameras' detectors find, on the GUI thread:
// the red frame of a tile and the mark of the single view while a camera shows motion,
// each camera's Motion Sensitivity, Follow Motion and Notify on Motion. It looks at
// every camera on a tick of its own, by the wall's clock.
class CMotionWatch final : public QObject
{
public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::milliseconds kTick{200};

    struct Services
    {
        std::filesystem::path settingsFile; // empty: the user's configuration folder
        QString sessionBusAddress;          // empty: the desktop's session bus
        std::function<Clock::time_point()> now;
    };

    CMotionWatch(QMainWindow& frame, const IMenuItems& items, ISingleView& view,
                 CWallSwitcher& switcher, const Services& services);
    ~CMotionWatch() override;

    CMotionNotifier& GetNotifier() const { return *m_pNotifier; }
    // The menu a tile's right click opens.
    QMenu& GetTileMenu() const { return *m_pTileMenu; }
    // Looks at every camera now, as the tick does.
    void Look();

private:
    using Camera = CMotionNotifier::Camera;
    struct Watched
    {
        CPictureConnection* picture;
        Camera camera;
        int tile; // -1: the single view's own camera
    };

    std::vector<Watched> WatchedCameras() const;
    std::optional<Camera> FocusedCamera() const;
    MotionSensitivity SensitivityOf(const Camera& camera);
    void SetSensitivity(MotionSensitivity sensitivity);
    void UpdateSensitivityItems();
    void Follow(const std::vector<Watched>& watched, Clock::time_point now);
    void Open(const Camera& camera);

    QMainWindow& m_frame;
    const IMenuItems& m_items;
    ISingleView& m_view;
    CWallSwitcher& m_switcher;
    const std::filesystem::path m_settingsFile;
    const std::function<Clock::time_point()> m_now;
    CMotionNotifier* m_pNotifier; // a child QObject
    std::unique_ptr<QMenu> m_pTileMenu;
    CMotionFollower m_follower;
    // The tile Follow Motion opened, or -1; any other state of the switcher is the user's choice.
    int m_nFollowed = -1;
    // The tile the user went back to the wall from while it showed motion, or -1.
    int m_nLeft = -1;
    int m_nFollowedTiles = 0;
    std::map<Camera, MotionSensitivity> m_sensitivities; // read from the settings once
    std::set<Camera> m_moving;                           // showed motion at the last look
    bool m_bSwitcherGone = false;
    QTimer m_tick;
};
