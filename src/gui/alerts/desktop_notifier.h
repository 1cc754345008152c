#pragma once

#include "gui/alerts/alert_texts.h"

#include <QDBusConnection>
#include <QObject>
#include <QStringList>
#include <QVariantList>

#include <cstdint>
#include <functional>
#include <map>
#include <string>

namespace tallyhawk
{

// Alerts through the desktop's notification service (org.freedesktop.Notifications), for sessions
// where a program cannot place its own windows. Each notification carries the alert's texts and a
// default action that opens its link; the service stacks, times out and closes them.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    // Opens an address in the browser; false when no browser could be started.
    using OpenLink = std::function<bool(const std::string& address)>;

    static constexpr const char* kService = "org.freedesktop.Notifications";
    static constexpr const char* kPath = "/org/freedesktop/Notifications";
    static constexpr const char* kInterface = "org.freedesktop.Notifications";

    DesktopNotifier(const QDBusConnection& bus, OpenLink openLink, QObject* parent = nullptr);

    // Whether the bus has the service running or can start it.
    bool Available() const;
    // Runs the action of that key ("add", "mute", "snooze") that the user chose on a notification.
    using ActionHandler = std::function<void(const QString& key)>;

    // Sends one notification; `failed` runs when the service refuses it or does not answer. `actions`
    // are further actions (key, then label, as the service takes them) besides the default one that
    // opens the link; `handler` runs the chosen one.
    void Notify(const AlertTexts& texts,
                std::int32_t notifyTimeout,
                std::function<void()> failed,
                const QStringList& actions = {},
                ActionHandler handler = {});

    // The arguments of Notify: application, replaced id, icon, summary (the link line), body (the
    // description and the extra text, the latter bold where the service reads markup), the "default"
    // action and the further `actions`, hints and the timeout in milliseconds.
    static QVariantList NotifyArguments(const AlertTexts& texts,
                                        std::int32_t notifyTimeout,
                                        bool bodyMarkup,
                                        const QStringList& actions = {});

    // Whether the service said it reads markup in bodies.
    bool bodyMarkup() const { return bodyMarkup_; }
    // Notifications shown and not yet closed.
    std::size_t openNotifications() const { return addresses_.size(); }
    // Where a notification's action leads (its id is the service's answer to Notify).
    void Track(std::uint32_t id, std::string address, ActionHandler handler = {})
    {
        addresses_[id] = std::move(address);
        if (handler) {
            handlers_[id] = std::move(handler);
        }
    }

public Q_SLOTS:
    // The service's signals: the user chose an action; a notification closed.
    void OnActionInvoked(uint id, const QString& action);
    void OnClosed(uint id, uint reason);

private:
    void AskCapabilities();

    QDBusConnection bus_;
    OpenLink openLink_;
    std::map<std::uint32_t, std::string> addresses_;
    std::map<std::uint32_t, ActionHandler> handlers_;
    bool bodyMarkup_ = false;
};

} // namespace tallyhawk
