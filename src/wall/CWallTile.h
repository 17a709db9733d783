// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "directory/DvrEntry.h"
#include "display/CDecodePool.h"
#include "net/CRetryBackoff.h"
#include "platform/BusyCursor.h"
#include "platform/NotifyWindow.h"
#include "platform/SilentMessageBox.h"
#include "view/CPictureConnection.h"
#include "wall/WallSettings.h"

#include <QPixmap>
#include <QStaticText>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

class CLogoutBatch;

// One camera of the wall: its own connection to its DVR and channel, painted by
// the wall into the tile's rectangle. It says what it shows in its caption and its status,
// never in a box; a lost connection is tried again after a growing wait.
class CWallTile final : public QWidget, public INotifyWindow
{
public:
    enum class State
    {
        NoChannel,
        Idle,
        Connecting,
        Live,
        WaitingToRetry,
        Refused, // a wrong user or password: nothing is tried until the user acts
    };

    // The wall's workers decode the tile's frames into slot of pictures.
    CWallTile(IMessagePump& messagePump, const WallSettings& settings,
              const CDecodePool& pictures, size_t slot, QWidget* parent = nullptr);
    ~CWallTile() override;

    // The DVR entry with the tile's channel; nothing for "No channel".
    void Assign(const std::optional<DvrEntry>& entry);
    const std::optional<DvrEntry>& GetEntry() const { return m_entry; }
    void Connect();
    // A DVR that does not answer its logout holds the tile for the wall's logout wait at most.
    void Disconnect();
    // The logout joins `logouts`, which the caller waits for with the other tiles'.
    // A disconnected tile keeps no history.
    void Disconnect(CLogoutBatch& logouts);
    // GUI thread. The tile stops and its camera moves to `view` with the frames it
    // has shown, which view's next connection keeps.
    void HandOverTo(CPictureDisplay& view);
    // GUI thread, with `view` stopped: the camera comes back with what view has
    // shown since, and the tile's next Connect keeps it.
    void TakeBackFrom(CPictureDisplay& view);
    void SetSelected(bool selected);

    State GetState() const { return m_state; }
    QString GetCaption() const;
    QString GetStatusText() const { return m_status; }
    CPictureConnection& GetPictureConnection() { return m_picture; }
    // Pictures painted, each counted once however often it is painted.
    int GetPaintedPictures() const { return m_nPaintedPictures; }
    uint64_t GetPaintedSerial() const { return m_nPaintedSerial; }
    // Logged in, a picture painted, and neither frozen nor of the past when it was.
    bool IsLive() const
    {
        return m_state == State::Live && m_nPaintedPictures > 0 && !m_picture.GetShownAge() &&
               !m_picture.GetDisplay().IsShowingPast();
    }
    // While the wall looks back: the time of the frame shown, or that there is none.
    void SetPastText(const QString& text);
    // While the tile's camera is recorded: "REC 00:03:12 · 41 MB".
    void SetRecordingText(const QString& text);
    const QString& GetRecordingText() const { return m_recordingText; }

    std::function<void(CWallTile&)> onSelect;
    std::function<void(CWallTile&)> onOpen;
    // A right click or a long press: the tile's menu, at this point of the screen.
    std::function<void(CWallTile&, const QPoint& globalPosition)> onMenu;

    // The wall's one paint pass, with the painter's origin at the tile's top left and
    // region in the tile's pixels: the picture its worker placed, and what the tile says.
    void Paint(QPainter& painter, const QRegion& region);

    // The client's notifications; GUI thread only.
    intptr_t SendMessage(unsigned message, uintptr_t wParam, intptr_t lParam) override;

protected:
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    // Connecting a tile must not turn the whole window's cursor busy.
    class QuietCursor final : public IBusyCursor
    {
    public:
        void Begin() override {}
        void End() override {}
    };

    // What the tile says over the picture, laid out once for as long as it says it.
    struct Overlay
    {
        QSize size;
        qreal ratio = 0;
        QString status;
        QString caption;
        QString past;
        QString recording;
        QPixmap pixmap;
        std::vector<QRect> parts; // where the pixmap holds anything
    };

    const Overlay& CurrentOverlay();
    void Stop(CLogoutBatch& logouts);
    void WaitToRetry(const QString& why);
    void SetState(State state, const QString& status);

    IMessagePump& m_messagePump;
    const std::chrono::milliseconds m_logoutWait;
    CRetryBackoff m_backoff;
    std::optional<DvrEntry> m_entry;
    State m_state = State::NoChannel;
    QString m_status;
    QString m_lastFailure; // why the last try failed; empty once a login is answered
    QString m_pastText;
    QString m_recordingText;
    // Laid out once per camera, not once per picture.
    QStaticText m_caption;
    Overlay m_overlay;
    bool m_bSelected = false;
    const CDecodePool& m_pictures;
    const size_t m_nSlot;
    int m_nPaintedPictures = 0;
    uint64_t m_nPaintedSerial = 0;
    QTimer m_retryTimer;
    SilentMessageBox m_silentBox;
    QuietCursor m_cursor;
    // Last, so the connection ends while the rest of the tile is whole.
    CPictureConnection m_picture;
};
