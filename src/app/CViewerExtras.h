// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CCameraKeys.h"
#include "app/CStatisticsOverlay.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class CMainFrame;
class CZentrelView;
class IMessageBox;
class QAction;
class QLabel;
class QTimer;
class QShortcut;

// The main frame's commands beyond the handset's: Save Picture, Full Screen,
// the statistics overlay, and the camera keys (arrows, + and -) that move
// the camera while the panels are shown.
class CViewerExtras : public QObject
{
public:
    // Asks where to save and sets `suffix` to the chosen type's ("png", "jpg");
    // an empty answer cancels. Tests put their own in.
    using PathChooser =
        std::function<QString(QWidget* parent, const QString& suggested, QString& suffix)>;
    static constexpr int kSavedNoteMs = 4000;

    CViewerExtras(CMainFrame& frame, IMessageBox& messageBox);
    ~CViewerExtras() override;

    void SetView(CZentrelView* view);
    // True when the command is one of these.
    bool OnCommand(unsigned id);
    void UpdateCommandUI();

    void SetPathChooser(PathChooser chooser) { m_chooser = std::move(chooser); }
    CStatisticsOverlay* GetStatisticsOverlay() const { return m_pOverlay; }
    // Where the last save went, shown over the picture for a while.
    QLabel* GetSavedNote() const { return m_pSavedNote; }
    // Whether the view paints a picture now: what Save Picture needs.
    bool HasPictureOnScreen() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OnSavePicture();
    void OnFullScreen();
    void FollowWindowState();
    void PopUpMenu(const QPoint& globalPosition);
    void ShowSavedNote(const QString& path);
    void OnStatistics();
    void AddCameraKey(const QKeySequence& key, unsigned message);

    CMainFrame& m_frame;
    IMessageBox& m_messageBox;
    CZentrelView* m_pView = nullptr;
    QPointer<CStatisticsOverlay> m_pOverlay;
    QPointer<QLabel> m_pSavedNote;
    QTimer* m_pSavedNoteTimer = nullptr;
    QShortcut* m_pEscape = nullptr;
    CCameraKeys* m_pCameraKeys = new CCameraKeys(this); // a child
    PathChooser m_chooser;
};
