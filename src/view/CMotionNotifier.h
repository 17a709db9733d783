// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>

#include <chrono>
#include <functional>
#include <map>
#include <string>
#include <utility>

// "Motion on Gate CH-03" as a desktop notification through the session's notification
// service, at most one a minute for each camera; a click on it opens that camera. With
// no bus or no service nothing shows and nothing else changes. GUI thread.
class CMotionNotifier final : public QObject
{
    // QtDBus hands a bus's signals only to slots.
    Q_OBJECT

public:
    using Clock = std::chrono::steady_clock;
    static constexpr std::chrono::minutes kQuietTime{1};

    struct Camera
    {
        std::u16string entryName;
        int channel = 0; // 0-based
        auto operator<=>(const Camera&) const = default;
    };

    // busAddress empty: the session bus, when the session has one.
    explicit CMotionNotifier(
        std::function<void(const Camera&)> open, const QString& busAddress = {},
        std::function<Clock::time_point()> now = [] { return Clock::now(); },
        QObject* parent = nullptr);
    ~CMotionNotifier() override;

    // Off until turned on.
    void SetEnabled(bool on);
    bool IsEnabled() const { return m_bEnabled; }

    // Motion began on the camera. True when a notification was asked for.
    bool OnMotion(const Camera& camera);

private slots:
    void OnActionInvoked(uint id, const QString& action);
    void OnNotificationClosed(uint id, uint reason);

private:
    std::function<void(const Camera&)> m_open;
    std::function<Clock::time_point()> m_now;
    const QString m_busName;
    QDBusConnection m_bus;
    bool m_bEnabled = false;
    std::map<Camera, Clock::time_point> m_lastAsked;
    // The notifications on screen, by the service's id.
    std::map<uint, Camera> m_shown;
};
