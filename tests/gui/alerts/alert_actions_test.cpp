#include "alert_test_records.h"
#include "core/common/item_kind.h"
#include "core/settings/settings.h"
#include "core/store/alert_record.h"
#include "gui/alerts/alert_delivery.h"
#include "gui/alerts/alert_link.h"
#include "gui/alerts/alert_popup.h"
#include "gui/alerts/desktop_notifier.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QDBusConnection>
#include <QPointer>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

const QRect kScreen(0, 0, 1920, 1080);

// Records what each action was asked to do.
struct ActionLog
{
    std::vector<std::string> calls;

    AlertActions Actions()
    {
        AlertActions actions;
        actions.addToShoppingList = [this](const ItemRecord& item) {
            calls.push_back("add " + std::string(item.title()));
        };
        actions.muteStore = [this](const ItemRecord& item) {
            calls.push_back("mute " + std::string(item.storeName()));
        };
        actions.snooze = [this] {
            calls.push_back("snooze");
        };
        actions.openDealsFolder = [this] {
            calls.push_back("deals folder");
        };
        return actions;
    }
};

class AlertActionsTest : public ::testing::Test
{
protected:
    ~AlertActionsTest() override
    {
        for (const QPointer<AlertPopup>& popup : popups_) {
            delete popup.data();
        }
    }

    AlertPopup* Open(std::unique_ptr<ItemRecord> record, AlertActions actions)
    {
        AlertPopup::Setup setup;
        setup.siteBase = "http://127.0.0.1:8080";
        setup.screenArea = kScreen;
        setup.openLink = [this](const std::string& address) {
            log_.calls.push_back("link " + address);
            return true;
        };
        setup.actions = std::move(actions);
        auto* popup = new AlertPopup(std::move(record), counters_, std::move(setup));
        popups_.emplace_back(popup);
        return popup;
    }

    static std::vector<std::string> ButtonNames(const AlertPopup* popup)
    {
        std::vector<std::string> names;
        for (const QToolButton* button : popup->findChildren<QToolButton*>()) {
            if (button != popup->closeButton()) {
                names.push_back(button->objectName().toStdString());
            }
        }
        std::sort(names.begin(), names.end());
        return names;
    }

    AlertCounters counters_;
    ActionLog log_;
    std::vector<QPointer<AlertPopup>> popups_;
};

// Each action runs once with the alert's item, after the popup closed; Open keeps the popup open.
TEST_F(AlertActionsTest, EachButtonRunsItsActionWithTheItem)
{
    struct Case
    {
        const char* button;
        std::string call;
        bool closes;
    };
    const Case cases[] = {
        {"alertOpen", "link http://127.0.0.1:8080/redir.aspx?srcType=2&srcId=5", false},
        {"alertAddToShoppingList", "add Half price kettles", true},
        {"alertMuteStore", "mute Corner Shop", true},
        {"alertSnooze", "snooze", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.button);
        log_.calls.clear();
        QPointer<AlertPopup> popup = Open(test::AlertRecord(5), log_.Actions());
        auto* button = popup->findChild<QToolButton*>(QString::fromLatin1(c.button));
        ASSERT_NE(button, nullptr);
        QTest::mouseClick(button, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !log_.calls.empty(); }, 2000));
        EXPECT_EQ(log_.calls, std::vector<std::string>{c.call});
        EXPECT_EQ(popup && popup->isVisible(), !c.closes);
        if (popup) {
            popup->close();
        }
    }
    EXPECT_EQ(counters_.openAlerts, 0);
}

TEST_F(AlertActionsTest, TheKeyboardReachesEveryActionInOrderAndEachHasAnAccessibleName)
{
    AlertPopup* popup = Open(test::AlertRecord(5), log_.Actions());
    std::vector<QWidget*> chain;
    for (QWidget* next = popup->link()->nextInFocusChain(); next != popup->closeButton();
         next = next->nextInFocusChain()) {
        ASSERT_NE(next, popup->link()) << "the chain never reaches the close button";
        if (next->focusPolicy() & Qt::TabFocus) {
            chain.push_back(next);
        }
    }
    ASSERT_EQ(chain.size(), 4u);
    const char* names[] = {"Open", "Add to Shopping List", "Mute Store", "Snooze 1 hour"};
    for (std::size_t i = 0; i < chain.size(); ++i) {
        EXPECT_EQ(chain[i]->accessibleName(), QString::fromLatin1(names[i]));
    }
    // Space on a button is a click.
    QTest::keyClick(popup->actionButton(AlertAction::Snooze), Qt::Key_Space);
    EXPECT_TRUE(QTest::qWaitFor([&] { return log_.calls == std::vector<std::string>{"snooze"}; }, 2000));
}

TEST_F(AlertActionsTest, EachAlertOffersWhatFitsIt)
{
    struct Case
    {
        const char* what;
        std::unique_ptr<ItemRecord> record;
        bool withActions;
        std::vector<std::string> buttons;
    };
    Case cases[] = {
        {"deal",
         test::AlertRecord(5),
         true,
         {"alertAddToShoppingList", "alertMuteStore", "alertOpen", "alertSnooze"}},
        {"topic", test::AlertRecord(6, 3), true, {"alertMuteStore", "alertOpen", "alertSnooze"}},
        {"no store",
         test::AlertRecord(7, 2, "Kettles", 0, "", ""),
         true,
         {"alertAddToShoppingList", "alertOpen", "alertSnooze"}},
        {"notice", MakeProgramNotice(3), true, {"alertOpen"}},
        {"summary", MakeAwaySummary(3, 1), true, {"alertOpen"}},
        {"summary, no folder", MakeAwaySummary(3, 1), false, {}},
        {"no actions", test::AlertRecord(8), false, {"alertOpen"}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        AlertPopup* popup = Open(std::move(c.record), c.withActions ? log_.Actions() : AlertActions{});
        EXPECT_EQ(ButtonNames(popup), c.buttons);
        popup->close();
    }
}

TEST_F(AlertActionsTest, TheSummaryOfHeldAlertsOpensTheDealsFolder)
{
    QPointer<AlertPopup> popup = Open(MakeAwaySummary(14, 2), log_.Actions());
    EXPECT_EQ(popup->link()->text(), QStringLiteral("While you were away"));
    QTest::mouseClick(popup->link(), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !log_.calls.empty(); }, 2000));
    EXPECT_EQ(log_.calls, std::vector<std::string>{"deals folder"});
    EXPECT_TRUE(popup.isNull() || !popup->isVisible());
}

// On Wayland the notification carries the same actions, and the service's answer runs them.
TEST(AlertNotificationActions, CarryTheSameActionsAndRunThem)
{
    test::TempDir dir;
    const Settings settings(dir.File("settings.conf"));
    AlertDelivery delivery(settings, {}, AlertDelivery::Route::DesktopNotifications);
    ActionLog log;
    delivery.SetActions(log.Actions());
    const auto deal = test::AlertRecord(5);
    EXPECT_EQ(delivery.NotificationActions(*deal),
              (QStringList{QStringLiteral("add"),
                           QStringLiteral("Add to Shopping List"),
                           QStringLiteral("mute"),
                           QStringLiteral("Mute Store"),
                           QStringLiteral("snooze"),
                           QStringLiteral("Snooze 1 hour")}));
    EXPECT_TRUE(delivery.NotificationActions(*MakeProgramNotice(1)).isEmpty());

    DesktopNotifier notifier(QDBusConnection(QStringLiteral("tallyhawk-no-bus")), {});
    notifier.Track(
        7, "http://127.0.0.1:9000/", [&](const QString& key) { delivery.RunNotificationAction(*deal, key); });
    for (const char* key : {"add", "mute", "snooze", "unknown"}) {
        notifier.OnActionInvoked(7, QString::fromLatin1(key));
    }
    notifier.OnActionInvoked(8, QStringLiteral("mute"));
    EXPECT_EQ(log.calls, (std::vector<std::string>{"add Half price kettles", "mute Corner Shop", "snooze"}));
    const QVariantList arguments
        = DesktopNotifier::NotifyArguments(AlertTexts{}, 5, false, delivery.NotificationActions(*deal));
    EXPECT_EQ(arguments[5].toStringList().mid(0, 4),
              (QStringList{QStringLiteral("default"),
                           QStringLiteral("Open"),
                           QStringLiteral("add"),
                           QStringLiteral("Add to Shopping List")}));
}

} // namespace
} // namespace tallyhawk
