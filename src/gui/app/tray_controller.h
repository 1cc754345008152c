#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

#include <optional>

class QAction;
class QMenu;
class QSystemTrayIcon;

namespace tallyhawk
{

// The icon in the notification area: its tip, its menu and its double click, behind a small seam so
// tests can drive it without a desktop's tray.
class TrayController : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxTipLength = 127;

    explicit TrayController(const QIcon& icon, QObject* parent = nullptr);
    ~TrayController() override;

    // Shows the icon where the desktop has a tray.
    void Show();
    // Takes the icon away (shutdown).
    void Hide();
    // A message balloon from the icon (the alerts until popups show them).
    void ShowMessage(const QString& title, const QString& text);
    // The tip is the window title, cut to what the tray takes, over a line with the unread counts.
    void SetTip(const QString& title);
    QString tip() const;
    // The unread items: the icon carries their number in a badge, the tip names them ("Tallyhawk:
    // 12 new deals, 3 new topics").
    void SetUnread(int deals, int topics);
    // The line the tip gives the counts; empty when nothing is unread.
    static QString UnreadText(int deals, int topics);
    // `icon` with a badge of `count` in its corner; `icon` itself for 0.
    static QIcon Badged(const QIcon& icon, int count);
    QIcon icon() const;

    // Whether the desktop has a tray; a test may decide it instead.
    bool available() const;
    void OverrideAvailable(std::optional<bool> available) { availableOverride_ = available; }

    QMenu* menu() const { return menu_; }
    QAction* showAction() const { return show_; }
    QAction* settingsAction() const { return settings_; }
    QAction* exitAction() const { return exit_; }
    QAction* pauseAlertsAction() const { return pause_; }
    QAction* resumeAlertsAction() const { return resume_; }
    // While alerts are paused only "Resume alerts" is on, else only "Pause alerts for 1 hour".
    void SetAlertsPaused(bool paused);

    // What a double click on the icon does.
    void DoubleClick() { emit showRequested(); }

signals:
    void showRequested();
    void settingsRequested();
    void exitRequested();
    void pauseAlertsRequested();
    void resumeAlertsRequested();

private:
    QMenu* menu_;
    void ShowTip();

    QAction* show_;
    QAction* settings_;
    QAction* exit_;
    QAction* pause_;
    QAction* resume_;
    QSystemTrayIcon* icon_;
    QIcon plainIcon_;
    QString title_;
    QString unread_;
    std::optional<bool> availableOverride_;
};

} // namespace tallyhawk
