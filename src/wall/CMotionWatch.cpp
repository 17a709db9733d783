// SPDX-License-Identifier: GPL-3.0-or-later
#include "wall/CMotionWatch.h"

#include "directory/DvrConnectInfo.h"
#include "net/CDVRClient.h"
#include "res/MenuTemplate.h"
#include "res/ResourceIds.h"
#include "view/CPictureConnection.h"
#include "view/IMenuItems.h"
#include "view/ISingleView.h"
#include "view/ViewerSettings.h"
#include "wall/CWallSwitcher.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>

#include <bit>

namespace
{
constexpr int kNone = -1;
const QString kFollowKey = QStringLiteral("motion/follow");
const QString kNotifyKey = QStringLiteral("motion/notify");

constexpr MotionSensitivity kSensitivities[] = {MotionSensitivity::Low, MotionSensitivity::Medium,
                                                MotionSensitivity::High};
static_assert(std::size(kSensitivities) ==
              ID_MOTION_SENSITIVITY_LAST - ID_MOTION_SENSITIVITY_FIRST + 1);
} // namespace

CMotionWatch::CMotionWatch(QMainWindow& frame, const IMenuItems& items, ISingleView& view,
                           CWallSwitcher& switcher, const Services& services)
    : QObject(&frame), m_frame(frame), m_items(items), m_view(view), m_switcher(switcher),
      m_settingsFile(services.settingsFile), m_now(services.now),
      m_pNotifier(new CMotionNotifier([this](const Camera& camera) { Open(camera); },
                                      services.sessionBusAddress, services.now, this)),
      m_pTileMenu(std::make_unique<QMenu>())
{
    const auto settings = OpenViewerSettings(m_settingsFile);
    QMenu* sensitivity = m_pTileMenu->addMenu(QString::fromStdU16String(kMotionSensitivityText));
    for (size_t i = 0; i < std::size(kSensitivities); ++i)
    {
        QAction* item = items.FindAction(ID_MOTION_SENSITIVITY_FIRST + static_cast<unsigned>(i));
        item->setCheckable(true);
        sensitivity->addAction(item);
        connect(item, &QAction::triggered, this,
                [this, level = kSensitivities[i]] { SetSensitivity(level); });
    }
    QAction* follow = items.FindAction(ID_FOLLOW_MOTION);
    follow->setCheckable(true);
    follow->setChecked(settings->value(kFollowKey, false).toBool());
    connect(follow, &QAction::triggered, this,
            [this](bool on)
            {
                OpenViewerSettings(m_settingsFile)->setValue(kFollowKey, on);
                m_follower.Stop();
                m_nFollowed = kNone;
            });
    QAction* notify = items.FindAction(ID_NOTIFY_ON_MOTION);
    notify->setCheckable(true);
    notify->setChecked(settings->value(kNotifyKey, false).toBool());
    m_pNotifier->SetEnabled(notify->isChecked());
    connect(notify, &QAction::triggered, this,
            [this](bool on)
            {
                OpenViewerSettings(m_settingsFile)->setValue(kNotifyKey, on);
                m_pNotifier->SetEnabled(on);
            });
    switcher.GetWall().onTileMenu = [this](int, const QPoint& at)
    {
        UpdateSensitivityItems();
        m_pTileMenu->popup(at);
    };
    // The switcher goes before this watch as the frame closes, and the tiles' logouts
    // that follow dispatch events: nothing is looked at from then on.
    connect(&switcher, &QObject::destroyed, this,
            [this]
            {
                m_bSwitcherGone = true;
                m_tick.stop();
            });
    m_tick.setInterval(kTick);
    connect(&m_tick, &QTimer::timeout, this, [this] { Look(); });
    m_tick.start();
    UpdateSensitivityItems();
}

CMotionWatch::~CMotionWatch() = default;

// A tile open in the single view shows its camera through the view's connection.
std::vector<CMotionWatch::Watched> CMotionWatch::WatchedCameras() const
{
    std::vector<Watched> watched;
    CCameraWall& wall = m_switcher.GetWall();
    if (m_switcher.GetColumns() > 1)
    {
        for (int i = 0; i < wall.GetTileCount(); ++i)
        {
            const std::optional<DvrEntry>& entry = wall.GetTile(i).GetEntry();
            if (entry)
            {
                CPictureConnection& picture = i == m_switcher.GetOpenTile()
                                                  ? m_view.GetPictureConnection()
                                                  : wall.GetTile(i).GetPictureConnection();
                watched.push_back({&picture, Camera{entry->Name, entry->Channel}, i});
            }
        }
        return watched;
    }
    const DvrConnectInfo& info = m_view.GetConnectInfo();
    if (m_view.GetClient().IsStarted() && info.ChannelMask != 0)
    {
        watched.push_back({&m_view.GetPictureConnection(),
                           Camera{FieldText(info.Name), std::countr_zero(info.ChannelMask)}, -1});
    }
    return watched;
}

// What the sensitivity items act on: the selected tile on the wall, else the single view's camera.
std::optional<CMotionWatch::Camera> CMotionWatch::FocusedCamera() const
{
    const int selected =
        m_switcher.IsTileOpen() ? m_switcher.GetOpenTile() : m_switcher.GetWall().GetSelected();
    for (const Watched& w : WatchedCameras())
    {
        if (w.tile < 0 || w.tile == selected)
        {
            return w.camera;
        }
    }
    return std::nullopt;
}

MotionSensitivity CMotionWatch::SensitivityOf(const Camera& camera)
{
    const auto known = m_sensitivities.find(camera);
    if (known != m_sensitivities.end())
    {
        return known->second;
    }
    const MotionSensitivity kept =
        GetMotionSensitivity(*OpenViewerSettings(m_settingsFile), camera.entryName, camera.channel);
    m_sensitivities.emplace(camera, kept);
    return kept;
}

void CMotionWatch::SetSensitivity(MotionSensitivity sensitivity)
{
    if (const std::optional<Camera> camera = FocusedCamera())
    {
        SetMotionSensitivity(*OpenViewerSettings(m_settingsFile), camera->entryName,
                             camera->channel, sensitivity);
        m_sensitivities[*camera] = sensitivity;
    }
    Look();
}

void CMotionWatch::UpdateSensitivityItems()
{
    const std::optional<Camera> camera = FocusedCamera();
    const std::optional<MotionSensitivity> level =
        camera ? std::optional(SensitivityOf(*camera)) : std::nullopt;
    for (size_t i = 0; i < std::size(kSensitivities); ++i)
    {
        QAction* item = m_items.FindAction(ID_MOTION_SENSITIVITY_FIRST + static_cast<unsigned>(i));
        item->setEnabled(camera.has_value());
        item->setChecked(level == kSensitivities[i]);
    }
}

// The detectors date motion by the frames' arrival; how long the wall follows it is
// timed by the wall's clock.
void CMotionWatch::Look()
{
    if (m_bSwitcherGone)
    {
        return;
    }
    const Clock::time_point arrivedBy = Clock::now();
    const std::vector<Watched> watched = WatchedCameras();
    std::set<Camera> moving;
    std::set<CPictureConnection*> marked;
    for (const Watched& w : watched)
    {
        CMotionDetector& detector = w.picture->GetDisplay().GetMotion();
        detector.SetSensitivity(SensitivityOf(w.camera));
        const bool motion = detector.IsMotion(arrivedBy);
        w.picture->SetMotionShown(motion);
        marked.insert(w.picture);
        if (motion && moving.insert(w.camera).second && !m_moving.contains(w.camera))
        {
            m_pNotifier->OnMotion(w.camera);
        }
    }
    // A picture no longer watched keeps no mark from before.
    CCameraWall& wall = m_switcher.GetWall();
    if (!marked.contains(&m_view.GetPictureConnection()))
    {
        m_view.GetPictureConnection().SetMotionShown(false);
    }
    for (int i = 0; i < wall.GetTileCount(); ++i)
    {
        if (!marked.contains(&wall.GetTile(i).GetPictureConnection()))
        {
            wall.GetTile(i).GetPictureConnection().SetMotionShown(false);
        }
    }
    m_moving = std::move(moving);
    UpdateSensitivityItems();
    if (m_items.FindAction(ID_FOLLOW_MOTION)->isChecked() && !m_switcher.IsTourOn())
    {
        Follow(watched, m_now());
    }
}

// Follow Motion moves only what it opened itself: a tile the user opened stays, and a
// tile the user left keeps them on the wall until its motion ends.
void CMotionWatch::Follow(const std::vector<Watched>& watched, Clock::time_point now)
{
    const int tiles = m_switcher.GetWall().GetTileCount();
    if (m_switcher.GetColumns() <= 1 || tiles != m_nFollowedTiles)
    {
        m_nFollowedTiles = tiles;
        m_follower.Stop();
        m_nFollowed = kNone;
        m_nLeft = kNone;
        return;
    }
    const int shown = m_switcher.GetOpenTile();
    if (shown != m_nFollowed)
    {
        m_nLeft = shown == kNone ? m_nFollowed : kNone;
        m_follower.Stop();
        m_nFollowed = kNone;
        if (shown != kNone)
        {
            return;
        }
    }
    std::vector<bool> motion(static_cast<size_t>(tiles), false);
    for (const Watched& w : watched)
    {
        motion[static_cast<size_t>(w.tile)] = w.picture->IsMotionShown();
    }
    if (m_nLeft != kNone)
    {
        const auto left = static_cast<size_t>(m_nLeft);
        m_nLeft = motion[left] ? m_nLeft : kNone;
        motion[left] = false;
    }
    const std::optional<size_t> decided = m_follower.Decide(motion, now);
    const int next = decided ? static_cast<int>(*decided) : kNone;
    if (next == shown)
    {
        return;
    }
    if (next != kNone)
    {
        m_switcher.SwitchToTile(next);
    }
    else
    {
        m_switcher.BackToWall();
    }
    m_nFollowed = m_switcher.GetOpenTile();
}

// A click on a notification: the window comes forward with that camera alone, if the wall has it.
void CMotionWatch::Open(const Camera& camera)
{
    if (m_bSwitcherGone)
    {
        return;
    }
    m_frame.raise();
    m_frame.activateWindow();
    for (const Watched& w : WatchedCameras())
    {
        if (w.camera == camera && w.tile >= 0)
        {
            m_switcher.SwitchToTile(w.tile);
            return;
        }
    }
}
