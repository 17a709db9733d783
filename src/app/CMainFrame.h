// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "platform/NotifyWindow.h"
#include "res/MenuTemplate.h"
#include "view/IMenuItems.h"

#include <QMainWindow>

#include <chrono>
#include <map>
#include <span>

class CViewerExtras;
class CZentrelView;
class IMessageBox;
class QAction;
class QMenu;

// The top-level window: the menu bar with "Exit" and the "Menu" pop-up, the
// channel menu, and the receiver of the client's notifications, which it
// reports in message boxes. "Can't connect the DVR." closes itself after a
// while and the same DVR is tried again.
class CMainFrame : public QMainWindow, public INotifyWindow, public IMenuItems
{
public:
    static constexpr std::chrono::milliseconds kAutoCloseDelay{60000};

    explicit CMainFrame(IMessageBox& messageBox, QWidget* parent = nullptr);
    ~CMainFrame() override;

    // The view becomes the central widget; the frame owns it from here.
    void SetView(CZentrelView* view);

    // Runs the handler of one of the client's notifications; GUI thread only.
    intptr_t SendMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;

    QAction* FindAction(unsigned id) const override;
    // Runs every update handler, as when a menu opens or the connection changes.
    void UpdateCommandUI();

    // Save Picture, Full Screen, statistics and the camera keys.
    CViewerExtras& Extras() { return *m_pExtras; }

    int GetCheckedChannel() const { return m_nChannel; }
    bool IsAutoCloseTimerRunning() const { return m_nTimerID != 0; }
    // Tests shorten the time the "Can't connect the DVR." box waits for the user.
    void SetAutoCloseDelay(std::chrono::milliseconds delay) { m_autoCloseDelay = delay; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    void OnCreate();
    void AddMenuItems(QMenu& menu, std::span<const MenuItemTemplate> items);
    void OnCommand(unsigned id);
    void OnExit();
    intptr_t OnDvrConnected();
    intptr_t OnDvrConnectFailed();
    intptr_t OnDvrError(uintptr_t code);
    void OnChannel(int channel);
    void OnUpdateChannel(QAction& item, int channel);
    void KillAutoCloseTimer();
    bool CloseConnectFailedBox();

    IMessageBox& m_messageBox;
    CZentrelView* m_pView = nullptr;
    std::map<unsigned, QAction*> m_actions;
    int m_nChannel = -1;
    int m_nTimerID = 0;
    std::chrono::milliseconds m_autoCloseDelay = kAutoCloseDelay;
    CViewerExtras* m_pExtras = nullptr; // a child QObject
};
