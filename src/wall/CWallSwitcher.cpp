// SPDX-License-Identifier: GPL-3.0-or-later
#include "wall/CWallSwitcher.h"

#include "directory/DirectoryEntries.h"
#include "directory/DvrConnectInfo.h"
#include "directory/DvrDirectory.h"
#include "directory/GridLayout.h"
#include "platform/MessageBox.h"
#include "platform/SilentMessageBox.h"
#include "platform/TextCodec.h"
#include "res/ResourceIds.h"
#include "view/IMenuItems.h"
#include "view/CClipActions.h"
#include "view/CLookBackControl.h"
#include "view/ISingleView.h"
#include "view/ViewerSettings.h"
#include "wall/CEditWallDlg.h"

#include <QAction>
#include <QKeyEvent>
#include <QMainWindow>
#include <QStackedWidget>
#include <QStandardPaths>

namespace
{
constexpr int kMaxChannels = 16;
const QString kLayoutKey = QStringLiteral("wall/layout");
const QString kDvrKey = QStringLiteral("wall/dvr");

struct LayoutItem
{
    unsigned id;
    int columns;
};
constexpr LayoutItem kLayoutItems[] = {
    {ID_LAYOUT_SINGLE, 1}, {ID_LAYOUT_2X2, 2}, {ID_LAYOUT_3X3, 3}, {ID_LAYOUT_4X4, 4}};

QString LayoutName(int columns)
{
    return QString::fromStdU16String(GridLayoutName(columns));
}

// Whether the connection record is the one a connect to this camera made.
bool ShowsCamera(const DvrConnectInfo& info, const std::optional<DvrEntry>& camera)
{
    if (!camera)
    {
        return false;
    }
    const DvrConnectInfo expected =
        MakeConnectInfo(camera->Name, camera->Address, camera->Port, camera->Channel, camera->User,
                        camera->Password);
    return FieldText(info.Name) == FieldText(expected.Name) &&
           FieldText(info.Address) == FieldText(expected.Address) && info.Port == expected.Port &&
           info.ChannelMask == expected.ChannelMask;
}

// The walls file lives beside the viewer's settings.
std::filesystem::path WallsFileBeside(const std::filesystem::path& settingsFile)
{
    if (!settingsFile.empty())
    {
        return settingsFile.parent_path() / "walls.conf";
    }
    return std::filesystem::path(
               QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
                   .toStdString()) /
           "quillon" / "walls.conf";
}
} // namespace

CWallSwitcher::CWallSwitcher(QMainWindow& frame, const IMenuItems& items, ISingleView& view,
                             const Services& services, const WallSettings& settings)
    : QObject(&frame), m_frame(frame), m_items(items), m_view(view), m_viewWidget(view.GetWidget()),
      m_messageBox(services.messageBox), m_directoryFile(services.directoryFile),
      m_settingsFile(services.settingsFile), m_wallFile(WallsFileBeside(services.settingsFile)),
      m_pStack(new QStackedWidget), m_pWall(new CCameraWall(services.messagePump, settings))
{
    frame.takeCentralWidget();
    m_pStack->addWidget(&view.GetWidget());
    m_pStack->addWidget(m_pWall);
    frame.setCentralWidget(m_pStack);
    m_pWall->onOpen = [this](int index) { OpenTile(index); };
    view.GetWidget().installEventFilter(this);
    frame.installEventFilter(this);
    m_tour.setInterval(settings.tourStep);
    connect(&m_tour, &QTimer::timeout, this, [this] { NextTourStop(); });
    for (const LayoutItem& item : kLayoutItems)
    {
        connect(items.FindAction(item.id), &QAction::triggered, this,
                [this, columns = item.columns] { SetLayout(columns); });
    }
    connect(items.FindAction(ID_LAYOUT_EDIT), &QAction::triggered, this, [this] { OnEditWall(); });
    // Runs after the frame's own handler: a DVR connected from the wall shows in the single view.
    connect(items.FindAction(ID_CONNECT), &QAction::triggered, this, [this] { AfterConnect(); });
    connect(items.FindAction(ID_LAYOUT_TOUR), &QAction::triggered, this,
            [this] { SetTour(!IsTourOn()); });
    // While the wall is on screen the Look Back items are its own; the frame gives them to the view.
    for (unsigned id = ID_LOOKBACK_PAUSE; id <= ID_LOOKBACK_NEXT_MOTION; ++id)
    {
        if (!IsLookBackCommand(id))
        {
            continue;
        }
        connect(items.FindAction(id), &QAction::triggered, this,
                [this, id]
                {
                    if (m_pStack->currentWidget() == m_pWall)
                    {
                        m_pWall->GetLookBack().OnCommand(id);
                    }
                });
    }
    m_pWall->GetLookBack().SetPauseItem(items.FindAction(ID_LOOKBACK_PAUSE));
    m_pWall->GetLookBack().GetClips().SetRecordItem(items.FindAction(ID_LOOKBACK_RECORD));
    m_pWall->GetLookBack().GetClips().SetMessageBox(&m_messageBox);
    UpdateItems();
}

CWallSwitcher::~CWallSwitcher() = default;

bool CWallSwitcher::RestoreLastWall(const std::filesystem::path& directoryFile)
{
    const auto settings = OpenViewerSettings(m_settingsFile);
    const QString layout = settings->value(kLayoutKey).toString();
    const std::optional<int> columns = ParseGridLayout(layout.toStdU16String());
    const QString name = settings->value(kDvrKey).toString();
    QString error;
    if (!columns && !layout.isEmpty())
    {
        return ShowNamedWall(layout.toStdU16String(), error);
    }
    if (!columns || *columns <= 1 || name.isEmpty())
    {
        return false;
    }
    const std::optional<DvrEntry> dvr =
        FindDirectoryEntry(directoryFile, name.toStdU16String(), error, m_view.GetPasswordStore());
    if (!dvr)
    {
        return false;
    }
    ShowWall(*columns, *dvr);
    return true;
}

void CWallSwitcher::AfterConnect()
{
    if (m_nColumns <= 1)
    {
        return;
    }
    // The user has chosen what the single view shows: the tour no longer moves it on.
    m_tour.stop();
    const bool chosen = IsTileOpen() ? !ShowsCamera(m_view.GetConnectInfo(),
                                                    m_pWall->GetTile(m_nOpenTile).GetEntry())
                                     : m_view.GetClient().IsStarted();
    if (chosen)
    {
        m_nOpenTile = -1;
        m_pWall->DisconnectAll();
        ShowViewAlone();
    }
    UpdateItems();
}

void CWallSwitcher::SetLayout(int columns)
{
    m_tour.stop();
    if (columns <= 1)
    {
        ShowSingle();
        return;
    }
    // While the view shows a DVR, the wall shows that one.
    const DvrConnectInfo info = m_view.GetConnectInfo();
    std::optional<DvrEntry> dvr = m_wallDvr;
    if ((m_view.GetClient().IsLoggedIn() || !dvr) && info.Address[0] != u'\0')
    {
        dvr = DvrEntry{FieldText(info.Name),
                       FieldText(info.Address),
                       QString::number(info.Port).toStdU16String(),
                       0,
                       FieldText(info.User),
                       FieldText(info.Password)};
    }
    // With no DVR yet, the tiles say "No channel" until one is chosen.
    ShowWall(columns, dvr.value_or(DvrEntry{}));
}

void CWallSwitcher::ShowWall(int columns, const DvrEntry& dvr)
{
    // The DVR may limit its clients: the view lets its own go before the tiles log in.
    const bool knownCount = m_view.GetClient().IsLoggedIn();
    std::vector<bool> present(kMaxChannels, true);
    for (int channel = 0; knownCount && channel < kMaxChannels; ++channel)
    {
        present[static_cast<size_t>(channel)] = m_view.GetClient().HasChannel(channel);
    }
    std::vector<std::optional<DvrEntry>> cameras;
    for (int channel = 0; channel < columns * columns; ++channel)
    {
        if (dvr.Address.empty() || !present[static_cast<size_t>(channel)])
        {
            cameras.emplace_back();
            continue;
        }
        DvrEntry camera = dvr;
        camera.Channel = channel;
        cameras.emplace_back(std::move(camera));
    }
    if (!dvr.Address.empty())
    {
        m_wallDvr = dvr;
    }
    ShowCameras(columns, cameras, LayoutName(columns));
}

void CWallSwitcher::ShowCameras(int columns, const std::vector<std::optional<DvrEntry>>& cameras,
                                const QString& layoutName)
{
    m_tour.stop();
    m_nOpenTile = -1;
    StopView();
    // The wall's cameras take the memory the view's history held.
    m_view.GetClient().GetPictureDisplay().GetHistory().Reset();
    m_pWall->SetTiles(columns, cameras);
    m_pStack->setCurrentWidget(m_pWall);
    m_pWall->setFocus();
    m_nColumns = columns;
    m_layoutName = layoutName;
    Remember();
    UpdateItems();
}

std::vector<NamedWall> CWallSwitcher::LoadWalls()
{
    std::vector<NamedWall> walls;
    std::string error;
    if (!m_wallFile.Load(walls, error) && !std::exchange(m_bDamageTold, true))
    {
        m_messageBox.Show(FromUtf8(error), u"", MessageBoxIcon::Exclamation, MessageBoxButtons::Ok);
    }
    return walls;
}

bool CWallSwitcher::ShowNamedWall(const std::u16string& name, QString& error)
{
    for (const NamedWall& wall : LoadWalls())
    {
        if (wall.name == name)
        {
            ShowNamedWall(wall);
            return true;
        }
    }
    error = QStringLiteral("no wall named \"%1\" in %2")
                .arg(QString::fromStdU16String(name),
                     QString::fromStdString(m_wallFile.Path().string()));
    return false;
}

void CWallSwitcher::ShowNamedWall(const NamedWall& wall)
{
    std::vector<std::optional<DvrEntry>> cameras;
    for (const WallTile& tile : wall.tiles)
    {
        QString ignored;
        std::optional<DvrEntry> camera =
            tile.dvrName.empty() ? std::nullopt
                                 : FindDirectoryEntry(m_directoryFile, tile.dvrName, ignored,
                                                      m_view.GetPasswordStore());
        if (camera)
        {
            camera->Channel = tile.channel;
        }
        cameras.push_back(std::move(camera));
    }
    ShowCameras(wall.columns, cameras, QString::fromStdU16String(wall.name));
}

void CWallSwitcher::OnEditWall()
{
    std::vector<NamedWall> walls = LoadWalls();
    SilentMessageBox quiet;
    DvrRowList rows;
    LoadDirectory(rows, m_directoryFile, quiet);
    std::vector<std::u16string> names;
    for (const DvrRow& row : rows.Rows)
    {
        names.push_back(row.Columns[kColumnName]);
    }
    CEditWallDlg dialog(m_wallFile, std::move(walls), names, &m_frame);
    if (dialog.exec() == QDialog::Accepted && dialog.GetShown())
    {
        ShowNamedWall(*dialog.GetShown());
    }
}

void CWallSwitcher::StopView()
{
    m_view.GetClient().Stop();
    m_viewWidget.update();
}

void CWallSwitcher::ShowSingle()
{
    const int selected = IsTileOpen() ? m_nOpenTile : m_pWall->GetSelected();
    const bool fromWall = m_nColumns > 1 || IsTileOpen();
    m_nOpenTile = -1;
    if (fromWall && selected < m_pWall->GetTileCount())
    {
        const std::optional<DvrEntry> camera = m_pWall->GetTile(selected).GetEntry();
        const bool takeCamera = camera && !m_view.GetClient().IsLoggedIn();
        if (takeCamera)
        {
            m_pWall->GetTile(selected).HandOverTo(m_view.GetClient().GetPictureDisplay());
        }
        m_pWall->DisconnectAll();
        if (takeCamera)
        {
            m_view.ConnectTo(*camera);
        }
    }
    ShowViewAlone();
    UpdateItems();
}

void CWallSwitcher::ShowViewAlone()
{
    m_pStack->setCurrentWidget(&m_viewWidget);
    m_nColumns = 1;
    m_layoutName = LayoutName(1);
    Remember();
}

void CWallSwitcher::OpenTile(int index)
{
    if (index < 0 || index >= m_pWall->GetTileCount())
    {
        return;
    }
    CWallTile& tile = m_pWall->GetTile(index);
    const std::optional<DvrEntry> camera = tile.GetEntry();
    if (!camera)
    {
        return;
    }
    CClipActions& clips = m_pWall->GetLookBack().GetClips();
    // A recorder never reads a history while it is handed over: the receiving side records anew.
    clips.StopTile(static_cast<size_t>(index));
    tile.HandOverTo(m_view.GetClient().GetPictureDisplay());
    m_nOpenTile = index;
    m_pStack->setCurrentWidget(&m_viewWidget);
    m_view.ConnectTo(*camera);
    m_view.GetLookBack().GetClips().SetRecording(clips.IsRecording());
    // Opened while the wall looks back, the camera shows the same moment.
    m_view.GetLookBack().GetLookBack().Follow(m_pWall->GetLookBack().GetLookBack());
    m_viewWidget.setFocus();
    UpdateItems();
}

void CWallSwitcher::BackToWall()
{
    if (!IsTileOpen())
    {
        return;
    }
    m_tour.stop();
    HandBackOpenTile();
    m_nOpenTile = -1;
    m_pStack->setCurrentWidget(m_pWall);
    m_pWall->setFocus();
    UpdateItems();
}

void CWallSwitcher::HandBackOpenTile()
{
    m_view.GetLookBack().GetClips().SetRecording(false);
    StopView();
    CWallTile& tile = m_pWall->GetTile(m_nOpenTile);
    tile.TakeBackFrom(m_view.GetClient().GetPictureDisplay());
    tile.Connect();
    m_pWall->GetLookBack().GetClips().ResumeTile(static_cast<size_t>(m_nOpenTile));
}

void CWallSwitcher::SwitchToTile(int index)
{
    if (index == m_nOpenTile || index < 0 || index >= m_pWall->GetTileCount() ||
        !m_pWall->GetTile(index).GetEntry())
    {
        return;
    }
    if (IsTileOpen())
    {
        HandBackOpenTile();
    }
    m_pWall->Select(index);
    OpenTile(index);
}

void CWallSwitcher::SetTour(bool on)
{
    if (!on || m_nColumns <= 1)
    {
        m_tour.stop();
        BackToWall();
        UpdateItems();
        return;
    }
    m_tour.start();
    OpenTile(m_pWall->GetSelected());
    UpdateItems();
}

// The view hands its camera back to its tile, and the next tile with a camera takes
// it; a camera that shows motion holds the tour until it shows none.
void CWallSwitcher::NextTourStop()
{
    if (IsTileOpen() && m_view.GetClient().GetPictureDisplay().GetMotion().IsMotion(
                            std::chrono::steady_clock::now()))
    {
        return;
    }
    const int count = m_pWall->GetTileCount();
    const int from = IsTileOpen() ? m_nOpenTile : m_pWall->GetSelected();
    for (int step = 1; step <= count; ++step)
    {
        const int next = (from + step) % count;
        if (m_pWall->GetTile(next).GetEntry())
        {
            if (next == m_nOpenTile)
            {
                return;
            }
            if (IsTileOpen())
            {
                HandBackOpenTile();
            }
            else
            {
                m_view.GetLookBack().GetClips().SetRecording(false);
                StopView();
            }
            m_pWall->Select(next);
            OpenTile(next);
            return;
        }
    }
}

bool CWallSwitcher::eventFilter(QObject* watched, QEvent* event)
{
    // A tour step during the shutdown would start a login.
    if (watched == &m_frame && event->type() == QEvent::Close)
    {
        m_tour.stop();
    }
    if (watched == &m_viewWidget && IsTileOpen())
    {
        const bool back = event->type() == QEvent::MouseButtonDblClick ||
                          (event->type() == QEvent::KeyPress &&
                           static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape);
        if (back)
        {
            BackToWall();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void CWallSwitcher::UpdateItems()
{
    for (const LayoutItem& item : kLayoutItems)
    {
        QAction* action = m_items.FindAction(item.id);
        action->setCheckable(true);
        action->setChecked(item.columns == m_nColumns && !IsTileOpen());
    }
    QAction* tour = m_items.FindAction(ID_LAYOUT_TOUR);
    tour->setCheckable(true);
    tour->setChecked(IsTourOn());
    tour->setEnabled(m_nColumns > 1);
}

void CWallSwitcher::Remember()
{
    const auto settings = OpenViewerSettings(m_settingsFile);
    settings->setValue(kLayoutKey, m_layoutName);
    if (m_wallDvr)
    {
        settings->setValue(kDvrKey, QString::fromStdU16String(m_wallDvr->Name));
    }
}
