#include "alert_test_records.h"
#include "core/common/site_addresses.h"
#include "core/platform/browser_launcher.h"
#include "core/settings/settings.h"
#include "core/settings/site_url.h"
#include "gui/alerts/alert_delivery.h"
#include "gui/alerts/alert_link.h"
#include "gui/alerts/alert_opener.h"
#include "gui/alerts/alert_popup.h"
#include "gui/alerts/desktop_notifier.h"
#include "support/temp_dir.h"

#include <QDBusConnection>
#include <QPointer>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

class AlertDeliveryTest : public ::testing::Test
{
protected:
    static std::string WrittenSettings(const test::TempDir& dir)
    {
        const std::string path = dir.File("settings.conf");
        test::WriteFileBytes(path, "[General]\nNotifyTimeout=12\nSiteUrl=http://127.0.0.1:9000\n");
        return path;
    }

    AlertDelivery::OpenLink Recorder()
    {
        return [this](const std::string& address) {
            opened_.push_back(address);
            return true;
        };
    }

    test::TempDir dir_;
    Settings settings_{WrittenSettings(dir_)};
    AlertCounters counters_;
    std::vector<std::string> opened_;
};

TEST_F(AlertDeliveryTest, OpensAPopupPerAlertWithTheSettingsOfTheMoment)
{
    AlertDelivery delivery(settings_, Recorder(), AlertDelivery::Route::Popups);
    delivery.SetScreenArea(QRect(0, 0, 1280, 800));
    delivery.Open(test::AlertRecord(1), counters_);
    settings_.notifyTimeout = 3;
    delivery.Open(test::AlertRecord(2), counters_);
    const std::vector<AlertPopup*> popups = delivery.openPopups();
    ASSERT_EQ(popups.size(), 2u);
    EXPECT_EQ(counters_.openAlerts, 2);
    EXPECT_EQ(popups[0]->closeTimer()->interval(), 12'000);
    EXPECT_EQ(popups[1]->closeTimer()->interval(), 3'000);
    EXPECT_EQ(popups[0]->pos().x(), 1280 - popups[0]->width() - 5);
    EXPECT_LT(popups[1]->y(), popups[0]->y());

    QTest::mouseClick(popups[1]->link(), Qt::LeftButton, {}, QPoint(4, 4));
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], RedirectPageUrl("http://127.0.0.1:9000", 2, 2));
}

TEST_F(AlertDeliveryTest, AnAlertWithoutARecordChangesNothing)
{
    AlertDelivery delivery(settings_, Recorder(), AlertDelivery::Route::Popups);
    delivery.Open(nullptr, counters_);
    EXPECT_TRUE(delivery.openPopups().empty());
    EXPECT_EQ(counters_.openAlerts, 0);
    EXPECT_EQ(counters_.maxAlerts, 0);
}

TEST_F(AlertDeliveryTest, PopupsStillOpenWhenItGoesCloseWithoutTouchingTheCounters)
{
    QPointer<AlertPopup> left;
    {
        AlertDelivery delivery(settings_, Recorder(), AlertDelivery::Route::Popups);
        delivery.Open(test::AlertRecord(1), counters_);
        delivery.Open(test::AlertRecord(2), counters_);
        left = delivery.openPopups().back();
        // One closed by the user already.
        delivery.openPopups().front()->close();
        EXPECT_EQ(counters_.openAlerts, 1);
    }
    EXPECT_TRUE(left.isNull());
    // The counters may already be gone with their window; the delivery leaves them as they were.
    EXPECT_EQ(counters_.openAlerts, 1);
}

TEST_F(AlertDeliveryTest, WithoutANotificationServiceTheNotificationRouteShowsPopups)
{
    AlertDelivery delivery(settings_, Recorder(), AlertDelivery::Route::DesktopNotifications);
    // A bus that is not connected stands for a session without the service.
    delivery.SetNotifier(
        std::make_unique<DesktopNotifier>(QDBusConnection(QStringLiteral("tallyhawk-no-bus")), Recorder()));
    delivery.Open(test::AlertRecord(1), counters_);
    EXPECT_EQ(delivery.openPopups().size(), 1u);
    EXPECT_EQ(counters_.openAlerts, 1);
}

TEST_F(AlertDeliveryTest, TheRouteFollowsThePlatform)
{
    // The tests run offscreen, where windows are placed as asked.
    EXPECT_EQ(AlertDelivery::RouteForPlatform(), AlertDelivery::Route::Popups);
}

TEST_F(AlertDeliveryTest, TheOpenerHandsAlertsToPopupsThatOpenLinksThroughTheLauncher)
{
    std::vector<std::vector<std::string>> started;
    BrowserLauncher browser(
        [&](const std::vector<std::string>& argv) {
            started.push_back(argv);
            return true;
        },
        [](const std::vector<std::string>&) { return std::optional<std::string>(); });
    QPointer<AlertPopup> popup;
    {
        AlertOpener opener = MakeAlertOpener(settings_, browser);
        opener(test::AlertRecord(31, 3), counters_);
        EXPECT_EQ(counters_.openAlerts, 1);
        EXPECT_GE(counters_.maxAlerts, 1);
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* shown = qobject_cast<AlertPopup*>(widget); shown != nullptr && shown->isVisible()) {
                popup = shown;
            }
        }
        ASSERT_FALSE(popup.isNull());
        QTest::mouseClick(popup->link(), Qt::LeftButton, {}, QPoint(4, 4));
        ASSERT_EQ(started.size(), 1u);
        EXPECT_EQ(started[0].back(), RedirectPageUrl("http://127.0.0.1:9000", 3, 31));
        EXPECT_TRUE(popup->isVisible());
    }
    EXPECT_TRUE(popup.isNull());
}

TEST(DesktopNotifierTest, NotifiesWithTheAlertsTextsItsTimeoutAndADefaultAction)
{
    AlertTexts texts;
    texts.link = QStringLiteral("Corner Shop - Kettles <half>");
    texts.description = QStringLiteral("Tea & coffee");
    texts.extra = QStringLiteral("$9.99");
    texts.address = "http://127.0.0.1:9000/redir.aspx?srcType=2&srcId=5";

    const QVariantList plain = DesktopNotifier::NotifyArguments(texts, 12, false);
    ASSERT_EQ(plain.size(), 8);
    EXPECT_EQ(plain[0].toString(), QStringLiteral("Tallyhawk"));
    EXPECT_EQ(plain[1].toUInt(), 0u);
    EXPECT_EQ(plain[3].toString(), texts.link);
    EXPECT_EQ(plain[4].toString(), QStringLiteral("Tea & coffee\n$9.99"));
    EXPECT_EQ(plain[5].toStringList(), (QStringList{QStringLiteral("default"), QStringLiteral("Open")}));
    EXPECT_EQ(plain[7].toInt(), 12'000);

    // Where the service reads markup the texts are escaped and the extra text is bold.
    const QVariantList marked = DesktopNotifier::NotifyArguments(texts, 0, true);
    EXPECT_EQ(marked[4].toString(), QStringLiteral("Tea &amp; coffee\n<b>$9.99</b>"));
    EXPECT_EQ(marked[7].toInt(), 30'000);
}

TEST(DesktopNotifierTest, TheDefaultActionOfItsOwnNotificationsOpensTheLink)
{
    std::vector<std::string> opened;
    DesktopNotifier notifier(QDBusConnection(QStringLiteral("tallyhawk-no-bus")),
                             [&](const std::string& address) {
                                 opened.push_back(address);
                                 return true;
                             });
    EXPECT_FALSE(notifier.Available());
    notifier.Track(7, "http://127.0.0.1:9000/");
    notifier.OnActionInvoked(8, QStringLiteral("default"));
    notifier.OnActionInvoked(7, QStringLiteral("other"));
    EXPECT_TRUE(opened.empty());
    notifier.OnActionInvoked(7, QStringLiteral("default"));
    EXPECT_EQ(opened, std::vector<std::string>{"http://127.0.0.1:9000/"});
    notifier.OnClosed(7, 1);
    EXPECT_EQ(notifier.openNotifications(), 0u);
    notifier.OnActionInvoked(7, QStringLiteral("default"));
    EXPECT_EQ(opened.size(), 1u);
}

} // namespace
} // namespace tallyhawk
