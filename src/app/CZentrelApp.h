// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/CZentrelDoc.h"
#include "history/CHistoryBudget.h"
#include "net/CDVRClient.h"
#include "platform/QtBusyCursor.h"
#include "platform/QtMessageBox.h"
#include "platform/QtMessagePump.h"
#include "wall/WallSettings.h"

#include <QSize>
#include <QString>

#include <chrono>
#include <filesystem>
#include <memory>

class CLastConnection;
class CScreenKeeper;
class IPasswordStore;
class CMainFrame;
class CMotionWatch;
class CWallSwitcher;
class CZentrelView;

// What a run may set apart from the defaults: the command line and the tests.
struct AppSettings
{
    std::filesystem::path directoryFile; // empty: beside the program, or the user's data folder
    DvrClientTimeouts timeouts;
    std::chrono::milliseconds autoCloseDelay{60000};
    std::filesystem::path settingsFile; // empty: the user's configuration folder
    // --size: wins over the remembered placement, and a run with it is not remembered.
    QSize windowSize;
    IPasswordStore* passwordStore = nullptr; // empty: the desktop's keyring
    WallSettings wall;                       // its timeouts are the ones above
    QString sessionBusAddress;               // empty: the desktop's session bus
    bool keepHistory = true;                 // off only to measure what the history costs
};

// The application: starts the HTTP layer, then creates the frame, the empty
// document and the view, and shows the frame. The QApplication is the caller's.
class CZentrelApp
{
public:
    explicit CZentrelApp(AppSettings settings = {});
    ~CZentrelApp();

    CZentrelApp(const CZentrelApp&) = delete;
    CZentrelApp& operator=(const CZentrelApp&) = delete;

    // False when the program cannot run; the user has been told why.
    bool InitInstance();
    void OnAppAbout();
    // Connects to what was on view at the last close, unless "Reconnect at Start" is off.
    bool RestoreLastConnection();

    CMainFrame* GetMainFrame() const { return m_pMainWnd.get(); }
    CZentrelView* GetView() const;
    CWallSwitcher* GetWallSwitcher() const { return m_pWallSwitcher; }
    CScreenKeeper* GetScreenKeeper() const { return m_pScreenKeeper; }
    CMotionWatch* GetMotionWatch() const { return m_pMotionWatch; }
    const std::filesystem::path& GetDirectoryFile() const { return m_settings.directoryFile; }
    IMessageBox& GetMessageBox() { return m_messageBox; }
    CHistoryBudget& GetHistoryBudget() { return m_historyBudget; }

private:
    AppSettings m_settings;
    QtMessageBox m_messageBox;
    QtMessagePump m_messagePump;
    QtBusyCursor m_busyCursor;
    CZentrelDoc m_document;
    std::unique_ptr<IPasswordStore> m_pKeyring;
    // The one memory for looking back, of the single view and every tile; it
    // outlives the frame, whose connections give their shares back to it.
    CHistoryBudget m_historyBudget;
    // Last, so the frame and its view go before the services they use.
    std::unique_ptr<CMainFrame> m_pMainWnd;
    CLastConnection* m_pLastConnection = nullptr; // a child of the frame
    CWallSwitcher* m_pWallSwitcher = nullptr;     // a child of the frame
    CScreenKeeper* m_pScreenKeeper = nullptr;     // a child of the frame
    CMotionWatch* m_pMotionWatch = nullptr;       // a child of the frame
};
