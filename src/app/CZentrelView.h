// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/DvrConnectInfo.h"
#include "directory/DvrEntry.h"
#include "display/CPictureZoom.h"
#include "net/CDVRClient.h"
#include "platform/NotifyWindow.h"
#include "ptz/CPTZPanels.h"
#include "view/CPictureConnection.h"
#include "view/ISingleView.h"

#include <QWidget>

#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>

class CConnectHint;
class CHistoryBudget;
class CLookBackControl;
class CZoomInput;
class IBusyCursor;
class IMessageBox;
class IMessagePump;
class INotifyWindow;
class IPasswordStore;
class QAction;
class QPainter;

// The one view: it owns one connection's picture and turns the user's commands
// into client operations. The client's receiver decodes frames and asks for a
// repaint; the view paints the committed picture on the GUI thread.
class CZentrelView : public QWidget, public INotifyWindow, public ISingleView
{
public:
    struct Services
    {
        INotifyWindow& notifyWindow; // the main frame
        IMessageBox& messageBox;
        IMessagePump& messagePump;
        IBusyCursor& busyCursor;
        std::filesystem::path directoryFile;
        DvrClientTimeouts timeouts;
        CPictureAge pictureAge{};                // its clock decides when a picture is frozen
        CHistoryBudget* historyBudget = nullptr; // null: the view keeps no history
    };

    CZentrelView(const Services& services, QWidget* parent = nullptr);
    ~CZentrelView() override;

    // Menu commands and their update handlers.
    void OnConnect();
    void OnDisconnect();
    void OnDVRInformation();
    void OnPTZControl();
    void OnUpdateConnect(QAction& item);
    void OnUpdateConnected(QAction& item);
    void OnUpdatePTZControl(QAction& item);

    // For the main frame.
    void SetChannel(int channel);
    void UpdateChannelItem(QAction& item, int channel);
    void ReconnectIfIdle();
    // The client has told the frame how a connection went: connected, failed or refused.
    void OnConnectionAnswered();
    // The logo and the line of what to do, while no picture and no connection are on view.
    void UpdateConnectHint();
    CConnectHint& GetConnectHint() const { return *m_pConnectHint; }
    QWidget& GetWidget() override { return *this; }
    CDVRClient& GetClient() override { return m_client; }
    CPictureConnection& GetPictureConnection() override { return m_picture; }
    int GetChannel() const { return m_nChannel; }
    const DvrConnectInfo& GetConnectInfo() const override { return m_connectInfo; }

    // One camera action: its one or two requests with the receiver held throughout.
    void SendPTZCommand(int code, bool recall);
    // A camera key's press sends the action's move alone, its release the stop alone.
    void SendPTZKey(unsigned message, bool pressed);
    CPTZPanels* GetPTZPanels() const { return m_pPTZPanels.get(); }
    // Told after each panel click's camera action how long its wait held the user's input back.
    void SetPanelWaitObserver(std::function<void(std::chrono::milliseconds)> observer)
    {
        m_panelWaitObserver = std::move(observer);
    }
    // The panels' WM_PTZ_* notifications; GUI thread only.
    intptr_t SendMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;

    // What Connect does once the Connect DVR dialog has returned an entry.
    void ConnectTo(const DvrEntry& entry) override;
    // The window is going away: the connection ends while everything is whole.
    void OnDestroy();
    // True when a command waits: the close is then carried out once it is done.
    bool DeferClose();
    // How many times a picture has been painted; the start-up screenshot waits for one.
    int GetPaintedPictures() const { return m_nPaintedPictures; }
    // On screen, logged in, and its last paint showed a live picture that was not frozen.
    bool IsPictureLive() const;
    // Pause, 10 seconds back or on, a frame back or on, Live; and the timeline.
    CLookBackControl& GetLookBack() override { return *m_pLookBack; }
    void OnLookBack(unsigned id);
    // Where the saved logins are kept when not in the directory file; none: in the file.
    void SetPasswordStore(IPasswordStore* passwords) { m_pPasswords = passwords; }
    IPasswordStore* GetPasswordStore() const override { return m_pPasswords; }
    // The digital zoom into the picture and the gestures that move it.
    CPictureZoom& GetZoom() { return m_zoom; }
    CZoomInput& GetZoomInput() { return *m_pZoomInput; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    static void PaintMotionMark(QPainter& painter, const QRect& picture);
    void BeginCommand() { ++m_nCommandDepth; }
    void EndCommand();

    IMessageBox& m_messageBox;
    const std::filesystem::path m_directoryFile;
    IPasswordStore* m_pPasswords = nullptr;
    int m_nPaintedPictures = 0;
    bool m_bPictureShown = false; // by the last paint

    CPictureConnection m_picture;
    CDVRClient& m_client;
    int m_nChannel = -1;
    DvrConnectInfo m_connectInfo{};
    std::unique_ptr<CPTZPanels> m_pPTZPanels;
    std::function<void(std::chrono::milliseconds)> m_panelWaitObserver;
    // Commands on the stack, whose waits let a close of the window in.
    int m_nCommandDepth = 0;
    bool m_bClosePending = false;
    CPictureZoom m_zoom;
    CZoomInput* m_pZoomInput = nullptr; // a child QObject
    CConnectHint* m_pConnectHint;       // a child
    CLookBackControl* m_pLookBack;      // a child QObject
    bool m_bAwaitingAnswer = false;     // started, and the client has not told how it went
};

// The one view of the process, for the main frame; set by the view's constructor.
extern CZentrelView* g_pView;
