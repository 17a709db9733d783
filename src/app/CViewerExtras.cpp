#include "app/CViewerExtras.h"

#include "app/CMainFrame.h"
#include "app/CStatisticsOverlay.h"
#include "app/CZentrelView.h"
#include "app/PictureSnapshot.h"
#include "platform/MessageBox.h"
#include "platform/WindowMessages.h"
#include "res/ResourceIds.h"
#include "res/StringTable.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QMenuBar>
#include <QMouseEvent>
#include <QShortcut>
#include <QStandardPaths>

namespace
{
QString ChooseWithDialog(QWidget* parent, const QString& suggested)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save Picture"), suggested,
                                        QStringLiteral("PNG picture (*.png);;JPEG picture (*.jpg "
                                                       "*.jpeg)"));
}
} // namespace

CViewerExtras::CViewerExtras(CMainFrame& frame, IMessageBox& messageBox)
    : QObject(&frame), m_frame(frame), m_messageBox(messageBox), m_chooser(ChooseWithDialog)
{
    AddCameraKey(QKeySequence(Qt::Key_Left), WM_PTZ_LEFT);
    AddCameraKey(QKeySequence(Qt::Key_Right), WM_PTZ_RIGHT);
    AddCameraKey(QKeySequence(Qt::Key_Up), WM_PTZ_UP);
    AddCameraKey(QKeySequence(Qt::Key_Down), WM_PTZ_DOWN);
    AddCameraKey(QKeySequence(Qt::Key_Plus), WM_PTZ_ZOOM_IN);
    AddCameraKey(QKeySequence(Qt::Key_Equal), WM_PTZ_ZOOM_IN); // + without Shift
    AddCameraKey(QKeySequence(Qt::KeypadModifier | Qt::Key_Plus), WM_PTZ_ZOOM_IN);
    AddCameraKey(QKeySequence(Qt::Key_Minus), WM_PTZ_ZOOM_OUT);
    AddCameraKey(QKeySequence(Qt::KeypadModifier | Qt::Key_Minus), WM_PTZ_ZOOM_OUT);
    m_pEscape = new QShortcut(QKeySequence(Qt::Key_Escape), &m_frame);
    m_pEscape->setEnabled(false);
    connect(m_pEscape, &QShortcut::activated, this,
            [this]
            {
                if (m_frame.isFullScreen())
                {
                    OnFullScreen();
                }
            });
}

CViewerExtras::~CViewerExtras() = default;

// Each key goes the way of its button, as the panel's message; the keypad's keys are the same.
void CViewerExtras::AddCameraKey(const QKeySequence& key, unsigned message)
{
    m_pCameraKeys->Add(key[0].key(), message);
}

void CViewerExtras::SetView(CZentrelView* view)
{
    if (m_pView != nullptr)
    {
        m_pView->removeEventFilter(this);
    }
    m_pView = view;
    m_pCameraKeys->SetView(view);
    delete m_pOverlay;
    if (m_pView != nullptr)
    {
        m_pView->installEventFilter(this);
        m_pOverlay = new CStatisticsOverlay(m_pView->GetClient().GetPictureDisplay(), *m_pView);
    }
}

bool CViewerExtras::OnCommand(unsigned id)
{
    switch (id)
    {
    case ID_SAVE_PICTURE:
        OnSavePicture();
        return true;
    case ID_FULL_SCREEN:
        OnFullScreen();
        return true;
    case ID_STATISTICS:
        OnStatistics();
        return true;
    default:
        return false;
    }
}

void CViewerExtras::UpdateCommandUI()
{
    if (QAction* save = m_frame.FindAction(ID_SAVE_PICTURE))
    {
        save->setEnabled(HasPictureOnScreen());
    }
    if (QAction* full = m_frame.FindAction(ID_FULL_SCREEN))
    {
        full->setCheckable(true);
        full->setChecked(m_frame.isFullScreen());
    }
    if (QAction* statistics = m_frame.FindAction(ID_STATISTICS))
    {
        statistics->setCheckable(true);
        statistics->setChecked(m_pOverlay && m_pOverlay->isVisible());
    }
}

bool CViewerExtras::HasPictureOnScreen() const
{
    // What the view's paint draws: a committed picture while logged in.
    return m_pView != nullptr && m_pView->GetClient().IsLoggedIn() &&
           m_pView->GetClient().GetPictureDisplay().PaintCommitted(
               [](const CJpegDecoder&, const PictureRect&) {});
}

bool CViewerExtras::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pView)
    {
        if (event->type() == QEvent::MouseButtonDblClick &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
        {
            OnFullScreen();
            return true;
        }
        // Frames arrive between menu openings; Ctrl+S follows the picture on screen.
        if (event->type() == QEvent::Paint)
        {
            if (QAction* save = m_frame.FindAction(ID_SAVE_PICTURE))
            {
                save->setEnabled(HasPictureOnScreen());
            }
        }
    }
    return QObject::eventFilter(watched, event);
}

// The picture is taken when the command is given, before the dialog opens.
void CViewerExtras::OnSavePicture()
{
    if (m_pView == nullptr || !HasPictureOnScreen())
    {
        return;
    }
    const QImage picture = CommittedPicture(m_pView->GetClient().GetPictureDisplay());
    if (picture.isNull())
    {
        return;
    }
    QString folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (folder.isEmpty())
    {
        folder = QDir::homePath();
    }
    const QString name =
        SnapshotFileName(QString::fromStdU16String(FieldText(m_pView->GetConnectInfo().Name)),
                         m_pView->GetChannel(), QDateTime::currentDateTime());
    const QString path = m_chooser(&m_frame, QDir(folder).filePath(name));
    if (path.isEmpty())
    {
        return;
    }
    QString error;
    if (!SavePicture(picture, path, error))
    {
        m_messageBox.Show(LoadString(IDS_SAVE_PICTURE_FAILED) + u"\n" +
                              (path + QStringLiteral(": ") + error).toStdU16String(),
                          u"", MessageBoxIcon::Exclamation, MessageBoxButtons::Ok);
    }
}

// Full screen hides the menu bar; its keys stay with the frame's own actions.
void CViewerExtras::OnFullScreen()
{
    const bool full = !m_frame.isFullScreen();
    m_frame.menuBar()->setVisible(!full);
    m_frame.setWindowState(full ? (m_frame.windowState() | Qt::WindowFullScreen)
                                : (m_frame.windowState() & ~Qt::WindowFullScreen));
    m_pEscape->setEnabled(full);
    UpdateCommandUI();
}

void CViewerExtras::OnStatistics()
{
    if (m_pOverlay)
    {
        m_pOverlay->SetShown(!m_pOverlay->isVisible());
    }
    UpdateCommandUI();
}
