#include "gui/app/window_status_bar.h"

#include <QDateTime>
#include <QLabel>

namespace tallyhawk
{
namespace
{

QLabel* AddField(QStatusBar& bar, const char* objectName, const char* accessibleName)
{
    auto* label = new QLabel(&bar);
    label->setObjectName(QString::fromLatin1(objectName));
    label->setAccessibleName(QString::fromLatin1(accessibleName));
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    bar.addPermanentWidget(label);
    return label;
}

} // namespace

WindowStatusBar::WindowStatusBar(QWidget* parent)
    : QStatusBar(parent)
    , connection_(AddField(*this, "connectionStatus", "Connection"))
    , lastUpdate_(AddField(*this, "lastUpdateStatus", "Last update"))
    , rows_(AddField(*this, "rowsStatus", "Rows"))
{
    lastUpdate_->setText(QStringLiteral("No update yet"));
    rows_->hide();
}

void WindowStatusBar::SetServer(const QString& server)
{
    server_ = server;
    if (!reached_) {
        connection_->setText(QStringLiteral("Connecting to %1").arg(server_));
    }
}

void WindowStatusBar::ServerReached(bool reached, std::int64_t now)
{
    if (!reached && reached_ != false) {
        offlineSince_ = now;
    }
    reached_ = reached;
    if (reached) {
        lastUpdate_->setText(QStringLiteral("Last update: %1").arg(TimeText(now, now)));
    }
    ShowConnection(now);
}

void WindowStatusBar::ShowConnection(std::int64_t now)
{
    if (reached_.value_or(false)) {
        connection_->setText(QStringLiteral("Online"));
        connection_->setToolTip(QStringLiteral("The deal server at %1 answered").arg(server_));
        return;
    }
    connection_->setText(
        QStringLiteral("Offline: no answer from %1 since %2").arg(server_, TimeText(offlineSince_, now)));
    connection_->setToolTip(QStringLiteral("The program keeps asking every few minutes"));
}

void WindowStatusBar::SetRows(std::optional<int> rows)
{
    rows_->setVisible(rows.has_value());
    if (rows) {
        rows_->setText(*rows == 1 ? QStringLiteral("1 item") : QStringLiteral("%1 items").arg(*rows));
    }
}

QString WindowStatusBar::TimeText(std::int64_t when, std::int64_t now)
{
    const QDateTime at = QDateTime::fromSecsSinceEpoch(when);
    if (at.date() == QDateTime::fromSecsSinceEpoch(now).date()) {
        return at.toString(QStringLiteral("HH:mm"));
    }
    return at.toString(QStringLiteral("yyyy-MM-dd HH:mm"));
}

} // namespace tallyhawk
