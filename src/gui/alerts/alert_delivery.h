#pragma once

#include "core/store/item_record.h"
#include "gui/alerts/alert_actions.h"
#include "gui/alerts/alert_counters.h"

#include <QPointer>
#include <QRect>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk
{

class AlertPopup;
class DesktopNotifier;
class Settings;

// Puts alerts before the user: as popups stacked in the lower right corner of the screen, or, where
// the session does not let a program place its own windows (Wayland), through the desktop's
// notification service, falling back to popups when there is none. Reads the alert timeout and the
// site's address from the settings at every alert, so a change in the settings dialog counts from
// the next one. Popups still open when it goes are closed without touching the counters.
class AlertDelivery
{
public:
    enum class Route
    {
        Popups,
        DesktopNotifications,
    };

    // Opens an address in the browser; false when no browser could be started.
    using OpenLink = std::function<bool(const std::string& address)>;

    AlertDelivery(const Settings& settings, OpenLink openLink, Route route = RouteForPlatform());
    ~AlertDelivery();
    AlertDelivery(const AlertDelivery&) = delete;
    AlertDelivery& operator=(const AlertDelivery&) = delete;

    // Desktop notifications on Wayland sessions, popups elsewhere.
    static Route RouteForPlatform();

    // Shows one alert. A popup counts itself in `counters`; desktop notifications leave them alone,
    // since the service keeps its own stack (maxAlerts stays 0: nothing waits in the queue).
    void Open(std::unique_ptr<ItemRecord> record, AlertCounters& counters);

    // Test seams: the area popups stack in (the primary screen's available area by default), and the
    // notifier used on the notification route (the session bus's by default).
    void SetScreenArea(QRect area) { screenArea_ = area; }
    void SetNotifier(std::unique_ptr<DesktopNotifier> notifier);
    // What alerts offer besides their link, from the next alert on.
    void SetActions(AlertActions actions) { actions_ = std::move(actions); }

    // The further actions a desktop notification of `record` carries (key, then label), and what each
    // key does.
    QStringList NotificationActions(const ItemRecord& record) const;
    void RunNotificationAction(const ItemRecord& record, const QString& key) const;

    Route route() const { return route_; }
    // The popups open now.
    std::vector<AlertPopup*> openPopups() const;

private:
    void OpenPopup(std::unique_ptr<ItemRecord> record, AlertCounters& counters);
    bool Follow(const std::string& address);
    DesktopNotifier* Notifier();

    const Settings& settings_;
    OpenLink openLink_;
    Route route_;
    std::optional<QRect> screenArea_;
    AlertActions actions_;
    std::vector<QPointer<AlertPopup>> popups_;
    std::unique_ptr<DesktopNotifier> notifier_;
    // Whether the notifier was tried; without a service the popups serve.
    bool notifierTried_ = false;
};

} // namespace tallyhawk
