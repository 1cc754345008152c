#include "gui/alerts/alert_delivery.h"

#include "core/common/item_kind.h"
#include "core/settings/settings.h"
#include "core/settings/site_url.h"
#include "gui/alerts/alert_popup.h"
#include "gui/alerts/alert_texts.h"
#include "gui/alerts/desktop_notifier.h"

#include <QDBusConnection>
#include <QGuiApplication>

#include <algorithm>
#include <utility>

namespace tallyhawk
{

AlertDelivery::AlertDelivery(const Settings& settings, OpenLink openLink, Route route)
    : settings_(settings)
    , openLink_(std::move(openLink))
    , route_(route)
{ }

AlertDelivery::~AlertDelivery()
{
    for (const QPointer<AlertPopup>& popup : popups_) {
        if (popup) {
            popup->DetachCounters();
            delete popup.data();
        }
    }
}

AlertDelivery::Route AlertDelivery::RouteForPlatform()
{
    return QGuiApplication::platformName().startsWith(QStringLiteral("wayland")) ? Route::DesktopNotifications
                                                                                 : Route::Popups;
}

void AlertDelivery::SetNotifier(std::unique_ptr<DesktopNotifier> notifier)
{
    // One whose service cannot be reached leaves the alerts to popups.
    notifier_ = notifier && notifier->Available() ? std::move(notifier) : nullptr;
    notifierTried_ = true;
}

std::vector<AlertPopup*> AlertDelivery::openPopups() const
{
    std::vector<AlertPopup*> open;
    for (const QPointer<AlertPopup>& popup : popups_) {
        if (popup && popup->isVisible()) {
            open.push_back(popup.data());
        }
    }
    return open;
}

void AlertDelivery::Open(std::unique_ptr<ItemRecord> record, AlertCounters& counters)
{
    if (!record) {
        return;
    }
    DesktopNotifier* notifier = route_ == Route::DesktopNotifications ? Notifier() : nullptr;
    if (notifier == nullptr) {
        OpenPopup(std::move(record), counters);
        return;
    }
    const AlertTexts texts = MakeAlertTexts(*record, SiteBaseUrl(settings_));
    // The record is kept for a popup in case the service turns the notification down.
    std::shared_ptr<ItemRecord> kept(std::move(record));
    notifier->Notify(
        texts,
        settings_.notifyTimeout,
        [this, kept, &counters] { OpenPopup(std::make_unique<ItemRecord>(*kept), counters); },
        NotificationActions(*kept),
        [this, kept](const QString& key) { RunNotificationAction(*kept, key); });
}

QStringList AlertDelivery::NotificationActions(const ItemRecord& record) const
{
    QStringList actions;
    if (!IsStoredKind(record.kind)) {
        return actions;
    }
    if (actions_.addToShoppingList && !IsKind(record.kind, ItemKind::Topic)) {
        actions << QStringLiteral("add") << QStringLiteral("Add to Shopping List");
    }
    if (actions_.muteStore && !record.storeName().empty()) {
        actions << QStringLiteral("mute") << QStringLiteral("Mute Store");
    }
    if (actions_.snooze) {
        actions << QStringLiteral("snooze") << QStringLiteral("Snooze 1 hour");
    }
    return actions;
}

void AlertDelivery::RunNotificationAction(const ItemRecord& record, const QString& key) const
{
    if (key == QStringLiteral("add") && actions_.addToShoppingList) {
        actions_.addToShoppingList(record);
    } else if (key == QStringLiteral("mute") && actions_.muteStore) {
        actions_.muteStore(record);
    } else if (key == QStringLiteral("snooze") && actions_.snooze) {
        actions_.snooze();
    }
}

void AlertDelivery::OpenPopup(std::unique_ptr<ItemRecord> record, AlertCounters& counters)
{
    // Forget the popups that have gone.
    popups_.erase(std::remove_if(popups_.begin(),
                                 popups_.end(),
                                 [](const QPointer<AlertPopup>& popup) { return popup.isNull(); }),
                  popups_.end());
    AlertPopup::Setup setup;
    setup.siteBase = SiteBaseUrl(settings_);
    setup.notifyTimeout = settings_.notifyTimeout;
    setup.openLink = [this](const std::string& address) {
        return Follow(address);
    };
    setup.screenArea = screenArea_;
    setup.actions = actions_;
    popups_.emplace_back(new AlertPopup(std::move(record), counters, std::move(setup)));
}

bool AlertDelivery::Follow(const std::string& address)
{
    return openLink_ && openLink_(address);
}

DesktopNotifier* AlertDelivery::Notifier()
{
    if (!notifierTried_) {
        notifierTried_ = true;
        auto notifier = std::make_unique<DesktopNotifier>(
            QDBusConnection::sessionBus(), [this](const std::string& address) { return Follow(address); });
        if (notifier->Available()) {
            notifier_ = std::move(notifier);
        }
    }
    return notifier_.get();
}

} // namespace tallyhawk
