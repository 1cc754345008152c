#pragma once

#include "core/store/item_record.h"
#include "gui/alerts/alert_actions.h"
#include "gui/alerts/alert_counters.h"
#include "gui/alerts/alert_texts.h"

#include <QFrame>
#include <QPoint>
#include <QRect>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class QLabel;
class QTimer;
class QToolButton;

namespace tallyhawk
{

class AlertLink;

// The small, slightly transparent, always-on-top strip that announces one alert in the lower right
// corner of the screen: the link line, the description and the extra text. It never takes the focus
// and has no taskbar entry; it can be dragged, its link opens the item's page and leaves it open, and
// it closes itself after the alert timeout, with its close button or with Escape. It counts itself in
// the main window's open popups while it is open and deletes itself once closed. Open popups stand one
// above the other with no gaps: a new one takes the place above the highest, and when one closes, the
// ones above it move down. Under the description it offers the alert's actions as buttons that the
// Tab key reaches (Open, Add to Shopping List, Mute Store, Snooze 1 hour); the summary of held alerts
// opens the Coupons & Deals folder instead of a page.
class AlertPopup : public QFrame
{
    Q_OBJECT

public:
    struct Setup
    {
        // The site's base URL, for the link's address.
        std::string siteBase;
        // Seconds the popup stays open; a value below 1 counts as the default 30.
        std::int32_t notifyTimeout = 30;
        // Opens an address in the browser; false when no browser could be started.
        std::function<bool(const std::string& address)> openLink;
        // Where popups stack: the screen's available area. The primary screen's when not given.
        std::optional<QRect> screenArea;
        // The buttons under the description; none for an action that is not set.
        AlertActions actions;
    };

    // Adds itself to counters.openAlerts, rewrites counters.maxAlerts, takes the place above the stacked
    // popups and shows itself without taking the focus. The record is shown and released when the popup
    // closes.
    AlertPopup(std::unique_ptr<ItemRecord> record, AlertCounters& counters, Setup setup);
    ~AlertPopup() override;
    AlertPopup(const AlertPopup&) = delete;
    AlertPopup& operator=(const AlertPopup&) = delete;

    // The available area of the primary screen; empty without a screen.
    static QRect PrimaryScreenArea();

    // Stops counting itself in the counters (their owner is going away before the popup).
    void DetachCounters() { counters_ = nullptr; }

    const ItemRecord& record() const { return *record_; }
    const AlertTexts& texts() const { return texts_; }
    AlertLink* link() const { return link_; }
    QLabel* description() const { return description_; }
    QLabel* extra() const { return extra_; }
    QToolButton* closeButton() const { return close_; }
    // The button of an action; null when the popup does not offer it.
    QToolButton* actionButton(AlertAction action) const;
    QTimer* closeTimer() const { return timer_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void BuildControls();
    // The row of action buttons, or null when the alert offers none.
    QLayout* BuildActions();
    QToolButton* AddAction(AlertAction action, const QString& text, std::function<void()> run);
    void Act(AlertAction action);
    void ApplyColors();
    void FollowLink();
    // Moves to the n-th place of the stack, counted from 1 at the bottom.
    void TakePlace(std::size_t place);
    // Leaves the stack; the popups above move down.
    void Unstack();
    // Takes itself off the open popups, once.
    void Uncount();

    std::unique_ptr<ItemRecord> record_;
    AlertCounters* counters_;
    Setup setup_;
    AlertTexts texts_;
    AlertLink* link_;
    QLabel* description_;
    QLabel* extra_;
    QToolButton* close_;
    std::vector<std::pair<AlertAction, QToolButton*>> actionButtons_;
    QTimer* timer_;
    QRect area_;
    // Where the stack put it last; a move elsewhere after a press is the user's drag.
    QPoint placed_;
    bool pressed_ = false;
    // Where a drag took hold of the popup, when the window system does not move it itself.
    std::optional<QPoint> dragOffset_;
};

} // namespace tallyhawk
