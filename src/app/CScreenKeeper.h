// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <filesystem>
#include <functional>

class QAction;
class QWidget;

// "Keep Screen On": while a live picture is on screen and the window is not
// minimised, the session is asked not to blank the screen, through the desktop
// portal where it runs, else through the screen saver's own service. Every call
// is asynchronous and bounded, so a hung service never holds up the window; no
// bus or no such service on it means nothing is held and nothing is said.
class CScreenKeeper final : public QObject
{
public:
    // Who holds the screen on for us now.
    enum class Holder
    {
        None,
        Portal,
        ScreenSaver,
    };
    static constexpr std::chrono::milliseconds kCheckInterval{500};
    static constexpr std::chrono::milliseconds kCallTimeout{3000};

    // `isLive`: a live picture is on screen now. An empty `busAddress` is the
    // desktop's session bus.
    CScreenKeeper(QWidget& window, QAction& item, std::function<bool()> isLive,
                  std::filesystem::path settingsFile, const QString& busAddress = {});
    ~CScreenKeeper() override;

    Holder GetHolder() const { return m_holder; }
    // Looks again at once instead of at the next check.
    void Check();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool IsWanted() const;
    void InhibitThroughPortal();
    void InhibitThroughScreenSaver(size_t path);
    void Release();
    // Runs `answered` with the reply once it comes, or with an error after the timeout.
    void Call(const QDBusMessage& call, std::function<void(const QDBusMessage&)> answered);

    QWidget& m_window;
    QAction& m_item;
    const std::function<bool()> m_isLive;
    const std::filesystem::path m_settingsFile;
    const QString m_busName; // ours to close; empty for the session bus
    QDBusConnection m_bus;
    QTimer m_check;
    Holder m_holder = Holder::None;
    bool m_bAsking = false;  // an Inhibit call waits for its answer
    bool m_bRefused = false; // no service would hold it; asked again once no longer wanted
    QDBusObjectPath m_portalRequest;
    QString m_screenSaverPath;
    uint m_nCookie = 0;
};
