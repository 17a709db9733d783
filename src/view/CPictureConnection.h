// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "display/CPictureAge.h"
#include "net/CDVRClient.h"
#include "platform/PictureWindow.h"

#include <QColor>
#include <QRect>
#include <QSize>
#include <QString>
#include <QTimer>

#include <atomic>
#include <chrono>
#include <optional>

class CPictureZoom;
class QImage;
class QPainter;
class QRegion;
class QWidget;

// The colour of motion: a tile's frame, the single view's mark, the timeline's stretches.
inline constexpr QRgb kMotionRed = 0xffe61e1e;

// Everything one connection's picture needs: the DVR client with its display
// and decoder, the window it repaints, and the watch on the picture's age. The
// single view owns one, and so does every tile of the wall.
class CPictureConnection final : public IPictureWindow
{
public:
    struct Services
    {
        INotifyWindow& notifyWindow;
        IMessageBox& messageBox;
        IMessagePump& messagePump;
        IBusyCursor& busyCursor;
        DvrClientTimeouts timeouts;
        // The program's memory for looking back; null keeps no history.
        CHistoryBudget* historyBudget = nullptr;
    };
    // What a frozen picture says about its age, with %1 for the seconds.
    enum class AgeWording
    {
        Long,  // "Last picture 12 s ago"
        Short, // "12 s ago"
    };

    CPictureConnection(QWidget& widget, const Services& services, AgeWording wording,
                       CPictureAge age = CPictureAge());
    ~CPictureConnection() override;

    CPictureConnection(const CPictureConnection&) = delete;
    CPictureConnection& operator=(const CPictureConnection&) = delete;

    CDVRClient& GetClient() { return m_client; }
    CPictureDisplay& GetDisplay() { return m_client.GetPictureDisplay(); }
    const CPictureDisplay& GetDisplay() const { return m_client.GetPictureDisplay(); }

    // The widget's new size; GUI thread.
    void Resize(const QSize& size);
    // GUI thread, before the first frame: a frame wakes nobody, and the owner's
    // tick looks for new frames itself, so many connections share one wake-up and
    // one paint of the window instead of one each, and the tick watches the
    // picture's age (AgeChanged) in place of a timer of the connection's own.
    void RepaintOnTick();
    // An age to show that the last paint did not.
    bool AgeChanged();
    // Paints the committed picture into the widget, dimmed with its age once it
    // is frozen; the rectangle it covered, empty when there is none. A zoom
    // shows its part of the picture in the same rectangle; without one, the whole.
    QRect Paint(QPainter& painter, const QRegion& region, CPictureZoom* zoom = nullptr);
    // Paints a picture decoded and placed elsewhere at the widget's device size (a
    // wall's workers), dimmed with its age as Paint does; covered is where it lies.
    void PaintPlaced(QPainter& painter, const QRegion& region, const QImage& placed,
                     const QRect& covered);
    // The age the last paint showed: nothing while the picture was live.
    std::optional<std::chrono::seconds> GetShownAge() const { return m_shownAge; }
    QString AgeText(std::chrono::seconds age) const;
    // Paints that placed the picture straight into the window's raster rather
    // than through the painter's general path: the cheap one, at every scale.
    int GetRasterPaints() const { return m_nRasterPaints; }

    // Whether the picture is marked as showing motion: set on the GUI thread by what
    // watches the cameras, and the widget repaints when it changes.
    void SetMotionShown(bool shown);
    bool IsMotionShown() const { return m_bMotionShown; }

    // IPictureWindow; RepaintNow may come from the receiver thread.
    bool Exists() const override { return m_bExists; }
    int ClientWidth() const override { return m_nClientWidth; }
    int ClientHeight() const override { return m_nClientHeight; }
    void RepaintNow() override;

private:
    // Takes the receiver's repaint requests on the GUI thread. A plain event
    // carries nothing the receiver wrote, so the GUI thread reads none of it
    // before it takes the hand-over (a posted lambda's copy of its captures is
    // written by the receiver and read before its body runs).
    class RepaintRequests final : public QObject
    {
    public:
        explicit RepaintRequests(CPictureConnection& connection) : m_connection(connection) {}
        bool event(QEvent* event) override;

    private:
        CPictureConnection& m_connection;
    };

    void CheckAge();
    void PaintAge(QPainter& painter, const QRect& covered);
    std::optional<std::chrono::seconds> AgeToShow();

    QWidget& m_widget;
    const AgeWording m_wording;
    const CPictureAge m_age;
    // Read by the receiver thread, written by the GUI thread.
    std::atomic<bool> m_bExists{false};
    std::atomic<int> m_nClientWidth{0};
    std::atomic<int> m_nClientHeight{0};
    // Set by the receiver when it asks for a repaint, cleared by the GUI thread
    // when it takes the request, so a slow screen gets one repaint per frame shown.
    std::atomic<bool> m_bRepaintPending{false};
    std::atomic<bool> m_bRepaintOnTick{false};
    std::optional<std::chrono::seconds> m_shownAge;
    int m_nRasterPaints = 0;
    bool m_bMotionShown = false;
    // No frame means no repaint: the age is looked at on a timer instead.
    QTimer m_ageTimer;
    // Destroyed after the client has joined its receivers, so no request outlives it.
    RepaintRequests m_repaintRequests{*this};
    CDVRClient m_client;
};
