#include "app/CZentrelApp.h"

#include "app/CAboutDlg.h"
#include "app/CMainFrame.h"
#include "app/CWallSwitcher.h"
#include "app/CZentrelView.h"
#include "directory/DirectoryFileLocation.h"
#include "net/HttpLayer.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

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
}

CZentrelApp::~CZentrelApp() = default;

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
    const CZentrelView::Services services{
        *m_pMainWnd,        m_messageBox, m_messagePump, m_busyCursor, m_settings.directoryFile,
        m_settings.timeouts};
    auto* view = new CZentrelView(services);
    m_pMainWnd->SetView(view);
    WallSettings wall = m_settings.wall;
    wall.timeouts = m_settings.timeouts;
    m_pWallSwitcher = new CWallSwitcher(
        *m_pMainWnd, *view,
        CWallSwitcher::Services{m_messagePump, m_messageBox, m_settings.directoryFile,
                                m_settings.settingsFile},
        wall);
    QObject::connect(m_pMainWnd->FindAction(ID_APP_ABOUT), &QAction::triggered, m_pMainWnd.get(),
                     [this] { OnAppAbout(); });
    m_pMainWnd->show();
    m_pMainWnd->repaint();
    return true;
}

void CZentrelApp::OnAppAbout()
{
    CAboutDlg dialog(m_pMainWnd.get());
    dialog.DoModal();
}

CZentrelView* CZentrelApp::GetView() const
{
    return g_pView;
}
