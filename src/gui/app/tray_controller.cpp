#include "gui/app/tray_controller.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace tallyhawk
{

TrayController::TrayController(const QIcon& icon, QObject* parent)
    : QObject(parent)
    , menu_(new QMenu)
    , icon_(new QSystemTrayIcon(icon, this))
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
    icon_->setToolTip(title.left(kMaxTipLength));
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
