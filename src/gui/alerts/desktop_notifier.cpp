#include "gui/alerts/desktop_notifier.h"

#include <QApplication>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QStringList>
#include <QVariantMap>

#include <algorithm>
#include <climits>
#include <utility>

namespace tallyhawk
{

namespace
{

constexpr std::int32_t kDefaultTimeout = 30;

QString Latin(const char* text)
{
    return QString::fromLatin1(text);
}

QDBusMessage Call(const QString& method)
{
    return QDBusMessage::createMethodCall(Latin(DesktopNotifier::kService),
                                          Latin(DesktopNotifier::kPath),
                                          Latin(DesktopNotifier::kInterface),
                                          method);
}

} // namespace

DesktopNotifier::DesktopNotifier(const QDBusConnection& bus, OpenLink openLink, QObject* parent)
    : QObject(parent)
    , bus_(bus)
    , openLink_(std::move(openLink))
{
    if (!bus_.isConnected()) {
        return;
    }
    bus_.connect(Latin(kService),
                 Latin(kPath),
                 Latin(kInterface),
                 QStringLiteral("ActionInvoked"),
                 this,
                 SLOT(OnActionInvoked(uint, QString)));
    bus_.connect(Latin(kService),
                 Latin(kPath),
                 Latin(kInterface),
                 QStringLiteral("NotificationClosed"),
                 this,
                 SLOT(OnClosed(uint, uint)));
    AskCapabilities();
}

bool DesktopNotifier::Available() const
{
    if (!bus_.isConnected() || bus_.interface() == nullptr) {
        return false;
    }
    const QString service = Latin(kService);
    if (bus_.interface()->isServiceRegistered(service).value()) {
        return true;
    }
    return bus_.interface()->activatableServiceNames().value().contains(service);
}

void DesktopNotifier::AskCapabilities()
{
    // Asked without waiting: the answer only decides whether later bodies carry markup.
    auto* watcher
        = new QDBusPendingCallWatcher(bus_.asyncCall(Call(QStringLiteral("GetCapabilities"))), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* call) {
        const QDBusPendingReply<QStringList> reply = *call;
        if (reply.isValid()) {
            bodyMarkup_ = reply.value().contains(QStringLiteral("body-markup"));
        }
        call->deleteLater();
    });
}

QVariantList DesktopNotifier::NotifyArguments(const AlertTexts& texts,
                                              std::int32_t notifyTimeout,
                                              bool bodyMarkup,
                                              const QStringList& actions)
{
    QString body;
    if (bodyMarkup) {
        body = texts.description.toHtmlEscaped();
        if (!texts.extra.isEmpty()) {
            body += QStringLiteral("\n<b>%1</b>").arg(texts.extra.toHtmlEscaped());
        }
    } else {
        body = texts.description;
        if (!texts.extra.isEmpty()) {
            body += QLatin1Char('\n') + texts.extra;
        }
    }
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("com.quillmarch.Tallyhawk"));
    const long long seconds = notifyTimeout < 1 ? kDefaultTimeout : notifyTimeout;
    const int milliseconds = static_cast<int>(std::min<long long>(seconds * 1000, INT_MAX));
    return {QStringLiteral("Tallyhawk"),
            QVariant::fromValue(0u),
            QString(),
            texts.link,
            body,
            QStringList{QStringLiteral("default"), QStringLiteral("Open")} + actions,
            hints,
            milliseconds};
}

void DesktopNotifier::Notify(const AlertTexts& texts,
                             std::int32_t notifyTimeout,
                             std::function<void()> failed,
                             const QStringList& actions,
                             ActionHandler handler)
{
    QDBusMessage message = Call(QStringLiteral("Notify"));
    message.setArguments(NotifyArguments(texts, notifyTimeout, bodyMarkup_, actions));
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(message), this);
    connect(watcher,
            &QDBusPendingCallWatcher::finished,
            this,
            [this, address = texts.address, failed = std::move(failed), handler = std::move(handler)](
                QDBusPendingCallWatcher* call) {
                const QDBusPendingReply<uint> reply = *call;
                call->deleteLater();
                if (reply.isValid()) {
                    Track(reply.value(), address, handler);
                } else if (failed) {
                    failed();
                }
            });
}

void DesktopNotifier::OnActionInvoked(uint id, const QString& action)
{
    const auto found = addresses_.find(id);
    if (found == addresses_.end()) {
        return;
    }
    if (action != QStringLiteral("default")) {
        if (const auto handler = handlers_.find(id); handler != handlers_.end() && handler->second) {
            handler->second(action);
        }
        return;
    }
    if (!openLink_ || !openLink_(found->second)) {
        QApplication::beep();
    }
}

void DesktopNotifier::OnClosed(uint id, uint)
{
    addresses_.erase(id);
    handlers_.erase(id);
}

} // namespace tallyhawk
