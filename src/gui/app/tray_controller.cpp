#include "gui/app/tray_controller.h"

#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>

#include <algorithm>

namespace tallyhawk
{

TrayController::TrayController(const QIcon& icon, QObject* parent)
    : QObject(parent)
    , menu_(new QMenu)
    , icon_(new QSystemTrayIcon(icon, this))
    , plainIcon_(icon)
{
    show_ = menu_->addAction(QStringLiteral("Show Tallyhawk"));
    settings_ = menu_->addAction(QStringLiteral("View Settings"));
    menu_->addSeparator();
    pause_ = menu_->addAction(QStringLiteral("Pause alerts for 1 hour"));
    pause_->setObjectName(QStringLiteral("pauseAlerts"));
    resume_ = menu_->addAction(QStringLiteral("Resume alerts"));
    resume_->setObjectName(QStringLiteral("resumeAlerts"));
    SetAlertsPaused(false);
    menu_->addSeparator();
    exit_ = menu_->addAction(QStringLiteral("Exit"));
    menu_->setDefaultAction(show_);
    connect(show_, &QAction::triggered, this, &TrayController::showRequested);
    connect(settings_, &QAction::triggered, this, &TrayController::settingsRequested);
    connect(exit_, &QAction::triggered, this, &TrayController::exitRequested);
    connect(pause_, &QAction::triggered, this, &TrayController::pauseAlertsRequested);
    connect(resume_, &QAction::triggered, this, &TrayController::resumeAlertsRequested);
    icon_->setContextMenu(menu_);
    connect(icon_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick) {
            DoubleClick();
        }
    });
}

// The menu has no parent widget (a tray menu must not be a child of a window that hides).
TrayController::~TrayController()
{
    delete menu_;
}

void TrayController::SetAlertsPaused(bool paused)
{
    pause_->setEnabled(!paused);
    resume_->setEnabled(paused);
}

void TrayController::Show()
{
    if (QSystemTrayIcon::isSystemTrayAvailable()) {
        icon_->show();
    }
}

void TrayController::Hide()
{
    icon_->hide();
}

void TrayController::ShowMessage(const QString& title, const QString& text)
{
    if (icon_->isVisible()) {
        icon_->showMessage(title, text, icon_->icon());
    }
}

void TrayController::SetTip(const QString& title)
{
    title_ = title.left(kMaxTipLength);
    ShowTip();
}

void TrayController::SetUnread(int deals, int topics)
{
    unread_ = UnreadText(deals, topics);
    icon_->setIcon(Badged(plainIcon_, std::max(0, deals) + std::max(0, topics)));
    ShowTip();
}

void TrayController::ShowTip()
{
    icon_->setToolTip(unread_.isEmpty() ? title_ : title_ + QLatin1Char('\n') + unread_);
}

QIcon TrayController::icon() const
{
    return icon_->icon();
}

QString TrayController::UnreadText(int deals, int topics)
{
    QStringList parts;
    if (deals > 0) {
        parts << (deals == 1 ? QStringLiteral("1 new deal") : QStringLiteral("%1 new deals").arg(deals));
    }
    if (topics > 0) {
        parts << (topics == 1 ? QStringLiteral("1 new topic") : QStringLiteral("%1 new topics").arg(topics));
    }
    return parts.isEmpty() ? QString() : QStringLiteral("Tallyhawk: ") + parts.join(QStringLiteral(", "));
}

QIcon TrayController::Badged(const QIcon& icon, int count)
{
    if (count <= 0) {
        return icon;
    }
    const QString text = count > 99 ? QStringLiteral("99+") : QString::number(count);
    QIcon badged;
    for (int size : {16, 22, 24, 32, 48, 64}) {
        // Drawn to the full size, so a small source does not leave the badge off its picture.
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        painter.drawPixmap(QRect(0, 0, size, size), icon.pixmap(size, size));
        QFont font = painter.font();
        font.setBold(true);
        font.setPixelSize(std::max(7, size * 9 / 20));
        painter.setFont(font);
        // A red disc (a pill for more digits) in the lower right corner, white figures on it.
        const int height = std::max(9, size * 11 / 20);
        const int width = std::max(height, painter.fontMetrics().horizontalAdvance(text) + height / 2);
        const QRectF badge(size - width, size - height, width, height);
        painter.setPen(QPen(QColor(0xff, 0xff, 0xff), std::max(1.0, size / 32.0)));
        painter.setBrush(QColor(0xc6, 0x28, 0x28));
        painter.drawRoundedRect(badge.adjusted(0.5, 0.5, -0.5, -0.5), height / 2.0, height / 2.0);
        painter.setPen(Qt::white);
        painter.drawText(badge, Qt::AlignCenter, text);
        painter.end();
        badged.addPixmap(pixmap);
    }
    return badged;
}

QString TrayController::tip() const
{
    return icon_->toolTip();
}

bool TrayController::available() const
{
    return availableOverride_.value_or(QSystemTrayIcon::isSystemTrayAvailable());
}

} // namespace tallyhawk
