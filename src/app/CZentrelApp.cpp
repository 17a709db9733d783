// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CZentrelApp.h"

#include "app/CAboutDlg.h"
#include "app/CKeyringSwitch.h"
#include "app/CLastConnection.h"
#include "app/CLookBackMemory.h"
#include "app/CMainFrame.h"
#include "app/CScreenKeeper.h"
#include "app/CZentrelView.h"
#include "app/WindowPlacement.h"
#include "directory/DirectoryFileLocation.h"
#include "directory/QtKeychainStore.h"
#include "net/HttpLayer.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"
#include "view/ViewerSettings.h"
#include "wall/CMotionWatch.h"
#include "wall/CWallSwitcher.h"

#include <QAction>
#include <QApplication>
#include <QIcon>

namespace
{
QIcon ApplicationIcon()
{
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
    {
        icon.addFile(QStringLiteral(":/icons/quillon-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}
} // namespace

CZentrelApp::CZentrelApp(AppSettings settings) : m_settings(std::move(settings))
{
    if (m_settings.directoryFile.empty())
    {
        m_settings.directoryFile = DirectoryFileLocation();
    }
    if (m_settings.passwordStore == nullptr)
    {
        m_pKeyring = std::make_unique<QtKeychainStore>();
        m_settings.passwordStore = m_pKeyring.get();
    }
}

CZentrelApp::~CZentrelApp()
{
    // It lets go of the screen, and asks the view no more while the frame takes it down.
    delete m_pScreenKeeper;
    if (m_pMainWnd && !m_settings.windowSize.isValid())
    {
        SaveWindowPlacement(*m_pMainWnd, *OpenViewerSettings(m_settings.settingsFile));
    }
}

bool CZentrelApp::InitInstance()
{
    if (!InitHttpLayer())
    {
        m_messageBox.Show(LoadString(IDS_SOCKETS_INIT_FAILED));
        return false;
    }
    QApplication::setWindowIcon(ApplicationIcon());
    m_pMainWnd = std::make_unique<CMainFrame>(m_messageBox);
    m_pMainWnd->SetAutoCloseDelay(m_settings.autoCloseDelay);
    CHistoryBudget* const historyBudget = m_settings.keepHistory ? &m_historyBudget : nullptr;
    const CZentrelView::Services services{
        *m_pMainWnd,         m_messageBox, m_messagePump, m_busyCursor, m_settings.directoryFile,
        m_settings.timeouts, CPictureAge(), historyBudget};
    auto* view = new CZentrelView(services);
    m_pMainWnd->SetView(view);
    new CKeyringSwitch(*m_pMainWnd, *view, m_messageBox, *m_settings.passwordStore,
                       m_settings.settingsFile, m_settings.directoryFile);
    m_pLastConnection =
        new CLastConnection(*m_pMainWnd, *view, m_settings.settingsFile, m_settings.directoryFile);
    WallSettings wall = m_settings.wall;
    wall.timeouts = m_settings.timeouts;
    wall.historyBudget = historyBudget;
    m_pWallSwitcher = new CWallSwitcher(*m_pMainWnd, *m_pMainWnd, *view,
                                        CWallSwitcher::Services{m_messagePump, m_messageBox,
                                                                m_settings.directoryFile,
                                                                m_settings.settingsFile},
                                        wall);
    new CLookBackMemory(*m_pMainWnd, *m_pMainWnd, m_historyBudget, m_settings.settingsFile);
    m_pMotionWatch = new CMotionWatch(
        *m_pMainWnd, *m_pMainWnd, *view, *m_pWallSwitcher,
        CMotionWatch::Services{m_settings.settingsFile, m_settings.sessionBusAddress, wall.now});
    m_pScreenKeeper = new CScreenKeeper(
        *m_pMainWnd, *m_pMainWnd->FindAction(ID_KEEP_SCREEN_ON),
        [view, wall = m_pWallSwitcher]
        { return view->IsPictureLive() || wall->GetWall().IsAnyTileLive(); },
        m_settings.settingsFile, m_settings.sessionBusAddress);
    QObject::connect(m_pMainWnd->FindAction(ID_APP_ABOUT), &QAction::triggered, m_pMainWnd.get(),
                     [this] { OnAppAbout(); });
    RestoreWindowPlacement(*m_pMainWnd, *OpenViewerSettings(m_settings.settingsFile));
    if (m_settings.windowSize.isValid())
    {
        ApplyWindowSize(*m_pMainWnd, m_settings.windowSize);
    }
    m_pMainWnd->show();
    KeepWindowOnScreens(*m_pMainWnd);
    m_pMainWnd->repaint();
    return true;
}

void CZentrelApp::OnAppAbout()
{
    CAboutDlg dialog(m_pMainWnd.get());
    dialog.DoModal();
}

// A wall on screen at the last close comes back as that wall; otherwise the single
// view's DVR and channel.
bool CZentrelApp::RestoreLastConnection()
{
    if (m_pLastConnection == nullptr || !m_pLastConnection->IsOn())
    {
        return false;
    }
    return m_pWallSwitcher->RestoreLastWall(m_settings.directoryFile) ||
           m_pLastConnection->Reconnect();
}

CZentrelView* CZentrelApp::GetView() const
{
    return g_pView;
}
