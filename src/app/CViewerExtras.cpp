// SPDX-License-Identifier: GPL-3.0-or-later
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
#include <QGestureEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QShortcut>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

namespace
{
const QString kPngFilter = QStringLiteral("PNG picture (*.png)");
const QString kJpegFilter = QStringLiteral("JPEG picture (*.jpg *.jpeg)");

QString ChooseWithDialog(QWidget* parent, const QString& suggested, QString& suffix)
{
    QFileDialog dialog(parent, QStringLiteral("Save Picture"), suggested,
                       kPngFilter + QStringLiteral(";;") + kJpegFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    // The dialog adds the suffix itself, so its overwrite question sees the real name.
    dialog.setDefaultSuffix(QStringLiteral("png"));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                     [&dialog](const QString& filter)
                     { dialog.setDefaultSuffix(filter == kJpegFilter ? "jpg" : "png"); });
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    {
        return {};
    }
    suffix = dialog.defaultSuffix();
    return dialog.selectedFiles().first();
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
    // Full screen may come and go by the window manager's hand too.
    m_frame.installEventFilter(this);
    m_pSavedNoteTimer = new QTimer(this);
    m_pSavedNoteTimer->setSingleShot(true);
    connect(m_pSavedNoteTimer, &QTimer::timeout, this,
            [this]
            {
                if (m_pSavedNote)
                {
                    m_pSavedNote->hide();
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
    delete m_pSavedNote;
    if (m_pView != nullptr)
    {
        m_pView->installEventFilter(this);
        // A long press is a touch screen's right click.
        m_pView->grabGesture(Qt::TapAndHoldGesture);
        m_pOverlay = new CStatisticsOverlay(m_pView->GetClient().GetPictureDisplay(), *m_pView);
        m_pSavedNote = new QLabel(m_pView);
        m_pSavedNote->setObjectName(QStringLiteral("savedNote"));
        m_pSavedNote->setStyleSheet(m_pOverlay->styleSheet());
        m_pSavedNote->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_pSavedNote->hide();
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
    if (watched == &m_frame && event->type() == QEvent::WindowStateChange)
    {
        FollowWindowState();
    }
    if (watched == m_pView)
    {
        if (event->type() == QEvent::ContextMenu)
        {
            PopUpMenu(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        if (event->type() == QEvent::Gesture)
        {
            auto* hold = static_cast<QTapAndHoldGesture*>(
                static_cast<QGestureEvent*>(event)->gesture(Qt::TapAndHoldGesture));
            if (hold != nullptr && hold->state() == Qt::GestureFinished)
            {
                PopUpMenu(hold->hotSpot().toPoint());
                return true;
            }
        }
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
                         m_pView->GetChannel(),
                         ShownPictureTime(m_pView->GetClient().GetPictureDisplay()));
    // Made when missing, so the dialog opens where the pictures go.
    folder = QDir(folder).filePath(QStringLiteral("Quillon"));
    QDir().mkpath(folder);
    QString suffix = QStringLiteral("png");
    const QString chosen = m_chooser(&m_frame, QDir(folder).filePath(name), suffix);
    if (chosen.isEmpty())
    {
        return;
    }
    const QString path = WithPictureSuffix(chosen, suffix);
    QString error;
    if (!SavePicture(picture, path, error))
    {
        m_messageBox.Show(LoadString(IDS_SAVE_PICTURE_FAILED) + u"\n" +
                              (path + QStringLiteral(": ") + error).toStdU16String(),
                          u"", MessageBoxIcon::Exclamation, MessageBoxButtons::Ok);
        return;
    }
    ShowSavedNote(path);
}

void CViewerExtras::ShowSavedNote(const QString& path)
{
    if (!m_pSavedNote || m_pView == nullptr)
    {
        return;
    }
    m_pSavedNote->setText(QStringLiteral("Saved %1").arg(QDir::toNativeSeparators(path)));
    m_pSavedNote->adjustSize();
    m_pSavedNote->move(4, std::max(0, m_pView->height() - m_pSavedNote->height() - 4));
    m_pSavedNote->show();
    m_pSavedNote->raise();
    m_pSavedNoteTimer->start(kSavedNoteMs);
}

void CViewerExtras::OnFullScreen()
{
    m_frame.setWindowState(m_frame.windowState() ^ Qt::WindowFullScreen);
}

// Full screen hides the menu bar, whoever entered it; its keys stay with the
// frame's own actions, and the picture opens the Menu pop-up.
void CViewerExtras::FollowWindowState()
{
    const bool full = m_frame.isFullScreen();
    m_frame.menuBar()->setVisible(!full);
    m_pEscape->setEnabled(full);
    UpdateCommandUI();
}

void CViewerExtras::PopUpMenu(const QPoint& globalPosition)
{
    if (auto* menu = m_frame.menuBar()->findChild<QMenu*>(
            QStringLiteral("id%1").arg(ID_SOFTKEY_MENU), Qt::FindDirectChildrenOnly))
    {
        menu->popup(globalPosition);
    }
}

void CViewerExtras::OnStatistics()
{
    if (m_pOverlay)
    {
        m_pOverlay->SetShown(!m_pOverlay->isVisible());
    }
    UpdateCommandUI();
}
