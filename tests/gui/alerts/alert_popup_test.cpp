#include "alert_test_records.h"
#include "core/common/site_addresses.h"
#include "gui/alerts/alert_link.h"
#include "gui/alerts/alert_popup.h"
#include "gui/controls/system_colors.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

const std::string kBase = "http://127.0.0.1:8080";
const QRect kScreen(0, 0, 1920, 1080);

class AlertPopupTest : public ::testing::Test
{
protected:
    ~AlertPopupTest() override
    {
        for (const QPointer<AlertPopup>& popup : popups_) {
            delete popup.data();
        }
    }

    AlertPopup* Open(std::unique_ptr<ItemRecord> record, QRect area = kScreen, std::int32_t timeout = 30)
    {
        AlertPopup::Setup setup;
        setup.siteBase = kBase;
        setup.notifyTimeout = timeout;
        setup.screenArea = area;
        setup.openLink = [this](const std::string& address) {
            opened_.push_back(address);
            return launches_;
        };
        auto* popup = new AlertPopup(std::move(record), counters_, std::move(setup));
        popups_.emplace_back(popup);
        return popup;
    }

    // Runs the deferred deletion of closed popups.
    static void Settle() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

    AlertCounters counters_;
    std::vector<std::string> opened_;
    bool launches_ = true;
    std::vector<QPointer<AlertPopup>> popups_;
};

TEST_F(AlertPopupTest, IsAFramelessTopmostToolWindowThatNeverTakesTheFocus)
{
    AlertPopup* popup = Open(test::AlertRecord(5));
    const Qt::WindowFlags flags = popup->windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::Tool));
    EXPECT_TRUE(flags.testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(popup->testAttribute(Qt::WA_ShowWithoutActivating));
    EXPECT_EQ(popup->parentWidget(), nullptr);
    EXPECT_NEAR(popup->windowOpacity(), 240 / 255.0, 0.002);
    EXPECT_TRUE(popup->isVisible());
    EXPECT_FALSE(popup->isActiveWindow());
}

TEST_F(AlertPopupTest, ThreePopupsStackUpwardFromTheLowerRightCornerOneBorderApart)
{
    AlertPopup* first = Open(test::AlertRecord(1));
    AlertPopup* second = Open(test::AlertRecord(2));
    AlertPopup* third = Open(test::AlertRecord(3, 1, "A coupon with a much longer title than the others"));
    EXPECT_EQ(counters_.openAlerts, 3);

    const int w = first->width();
    const int h = first->height();
    EXPECT_EQ(second->size(), first->size());
    EXPECT_EQ(third->size(), first->size());
    EXPECT_EQ(first->pos(), QPoint(1920 - w - 5, 1080 - (h - 1) - 30));
    EXPECT_EQ(second->pos(), QPoint(1920 - w - 5, 1080 - 2 * (h - 1) - 30));
    EXPECT_EQ(third->pos(), QPoint(1920 - w - 5, 1080 - 3 * (h - 1) - 30));
    // Each bottom border lies on the top border of the one below.
    EXPECT_EQ(second->geometry().bottom(), first->geometry().top());
    EXPECT_EQ(counters_.maxAlerts, 1080 / h - 1);
}

TEST_F(AlertPopupTest, StacksInTheAvailableAreaWhereverItLies)
{
    // A panel on the left and one at the top take part of the screen.
    const QRect area(48, 32, 1000, 700);
    AlertPopup* popup = Open(test::AlertRecord(1), area);
    const int h = popup->height();
    EXPECT_EQ(popup->pos(), QPoint(48 + 1000 - popup->width() - 5, 32 + 700 - (h - 1) - 30));
    EXPECT_EQ(counters_.maxAlerts, 700 / h - 1);
}

TEST_F(AlertPopupTest, OnAScreenTooSmallThePopupStandsAtTheTopAndOneIsShownAtATime)
{
    AlertPopup* probe = Open(test::AlertRecord(1));
    const int h = probe->height();
    probe->close();
    Settle();
    ASSERT_EQ(counters_.openAlerts, 0);

    AlertPopup* popup = Open(test::AlertRecord(2), QRect(0, 0, 800, h + 10));
    EXPECT_EQ(popup->y(), 0);
    // (h + 10) / h - 1 is 0, which the main window would read as no limit.
    EXPECT_EQ(counters_.maxAlerts, 1);
    AlertPopup* narrow = Open(test::AlertRecord(3), QRect(0, 0, 200, 20));
    EXPECT_LE(narrow->width(), 200);
    EXPECT_EQ(narrow->pos(), QPoint(200 - narrow->width() - 5, 0));
    EXPECT_EQ(counters_.maxAlerts, 1);
}

TEST_F(AlertPopupTest, WhenOneOfTwoClosesTheNextTakesTheSecondPlaceAgain)
{
    AlertPopup* first = Open(test::AlertRecord(1));
    AlertPopup* second = Open(test::AlertRecord(2));
    const QPoint secondPlace = second->pos();
    first->closeButton()->click();
    EXPECT_EQ(counters_.openAlerts, 1);
    Settle();
    EXPECT_TRUE(popups_[0].isNull());
    AlertPopup* third = Open(test::AlertRecord(3));
    EXPECT_EQ(counters_.openAlerts, 2);
    EXPECT_EQ(third->pos(), secondPlace);
}

// Open popups always stand in the lowest places, in the order they came, one border apart: whichever
// closes, the ones above it move down, and a new one takes the place above the highest.
TEST_F(AlertPopupTest, InAnyOrderOfClosingTheOpenPopupsNeverOverlap)
{
    const auto expectStacked = [this](const std::vector<AlertPopup*>& open) {
        ASSERT_EQ(counters_.openAlerts, static_cast<std::int32_t>(open.size()));
        for (std::size_t i = 0; i < open.size(); ++i) {
            const int h = open[i]->height();
            EXPECT_EQ(open[i]->y(), 1080 - static_cast<int>(i + 1) * (h - 1) - 30) << "place " << i + 1;
            if (i > 0) {
                EXPECT_EQ(open[i]->geometry().bottom(), open[i - 1]->geometry().top());
            }
        }
    };
    for (const unsigned seed : {1u, 2u, 3u, 4u, 5u, 6u, 7u, 8u}) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        std::vector<AlertPopup*> open;
        std::int32_t next = 1;
        for (int step = 0; step < 24; ++step) {
            // Mostly closing once a few are open, so the stack both grows and shrinks.
            const bool close = !open.empty() && (open.size() >= 6 || random() % 3 == 0);
            if (close) {
                const std::size_t which = random() % open.size();
                open[which]->close();
                open.erase(open.begin() + static_cast<std::ptrdiff_t>(which));
                Settle();
            } else {
                open.push_back(Open(test::AlertRecord(next++)));
            }
            expectStacked(open);
        }
        for (AlertPopup* popup : open) {
            popup->close();
        }
        Settle();
    }
}

// A popup the user dragged away stays where it was put and gives up its place.
TEST_F(AlertPopupTest, ADraggedPopupLeavesTheStack)
{
    AlertPopup* first = Open(test::AlertRecord(1));
    AlertPopup* second = Open(test::AlertRecord(2));
    AlertPopup* third = Open(test::AlertRecord(3));
    const QPoint firstPlace = first->pos();
    const QPoint secondPlace = second->pos();

    QMouseEvent press(QEvent::MouseButtonPress,
                      QPointF(10, 5),
                      second->mapToGlobal(QPointF(10, 5)),
                      Qt::LeftButton,
                      Qt::LeftButton,
                      {});
    QApplication::sendEvent(second, &press);
    second->move(100, 100);
    EXPECT_EQ(third->pos(), secondPlace);

    first->close();
    Settle();
    EXPECT_EQ(second->pos(), QPoint(100, 100));
    EXPECT_EQ(third->pos(), firstPlace);
    // The dragged one still counts as open.
    EXPECT_EQ(counters_.openAlerts, 2);
    AlertPopup* fourth = Open(test::AlertRecord(4));
    EXPECT_EQ(fourth->pos(), secondPlace);
}

TEST_F(AlertPopupTest, ClosesAfterTheAlertTimeoutAndCountsItselfOff)
{
    AlertPopup* popup = Open(test::AlertRecord(1), kScreen, 7);
    QTimer* timer = popup->closeTimer();
    EXPECT_TRUE(timer->isActive());
    EXPECT_TRUE(timer->isSingleShot());
    EXPECT_EQ(timer->interval(), 7000);
    EXPECT_EQ(counters_.openAlerts, 1);

    // The same timer, run short.
    timer->start(1);
    QPointer<AlertPopup> watched(popup);
    ASSERT_TRUE(QTest::qWaitFor([&] { return watched.isNull(); }, 5000));
    EXPECT_EQ(counters_.openAlerts, 0);
}

TEST_F(AlertPopupTest, ATimeoutBelowOneSecondIsTheDefaultAndAHugeOneStillFitsTheTimer)
{
    EXPECT_EQ(Open(test::AlertRecord(1), kScreen, 0)->closeTimer()->interval(), 30'000);
    EXPECT_EQ(Open(test::AlertRecord(2), kScreen, -4)->closeTimer()->interval(), 30'000);
    EXPECT_EQ(Open(test::AlertRecord(3), kScreen, 2'147'483'647)->closeTimer()->interval(), 2'147'483'647);
}

TEST_F(AlertPopupTest, TheCloseButtonAndEscapeCloseIt)
{
    AlertPopup* byButton = Open(test::AlertRecord(1));
    AlertPopup* byKey = Open(test::AlertRecord(2));
    EXPECT_EQ(byButton->closeButton()->accessibleName(), QStringLiteral("Close"));
    QTest::mouseClick(byButton->closeButton(), Qt::LeftButton);
    EXPECT_FALSE(byButton->isVisible());
    EXPECT_EQ(counters_.openAlerts, 1);
    QTest::keyClick(byKey, Qt::Key_Escape);
    EXPECT_FALSE(byKey->isVisible());
    EXPECT_EQ(counters_.openAlerts, 0);
    Settle();
    EXPECT_TRUE(popups_[0].isNull());
    EXPECT_TRUE(popups_[1].isNull());
    // Deleting a closed popup does not count it off twice.
    EXPECT_EQ(counters_.openAlerts, 0);
}

TEST_F(AlertPopupTest, ShowsTheItemsTextsAndLinksToItsRedirectPage)
{
    AlertPopup* popup = Open(test::AlertRecord(42, 1, "Ten percent off"));
    EXPECT_EQ(popup->link()->text(), QStringLiteral("Corner Shop - Ten percent off"));
    EXPECT_EQ(popup->link()->address().toStdString(), RedirectPageUrl(kBase, 1, 42));
    EXPECT_EQ(popup->link()->toolTip().toStdString(), RedirectPageUrl(kBase, 1, 42));
    EXPECT_EQ(popup->description()->text(), QStringLiteral("Every kettle in the shop at half price."));
    EXPECT_EQ(popup->extra()->text(), QStringLiteral("$9.99"));
    EXPECT_TRUE(popup->extra()->font().bold());
}

TEST_F(AlertPopupTest, WithoutARecordItStillCountsItselfAndClosesCleanly)
{
    AlertPopup* popup = Open(nullptr);
    EXPECT_EQ(counters_.openAlerts, 1);
    EXPECT_EQ(popup->link()->text(), QStringLiteral(" - "));
    popup->close();
    EXPECT_EQ(counters_.openAlerts, 0);
}

TEST_F(AlertPopupTest, AProgramNoticeLinksItsTitleToTheHomePage)
{
    auto notice = test::AlertRecord(
        1, 99, "Tallyhawk Auto Update", 0, "", "", "Tallyhawk has downloaded 5 new coupons and deals.");
    AlertPopup* popup = Open(std::move(notice));
    EXPECT_EQ(popup->link()->text(), QStringLiteral("Tallyhawk Auto Update"));
    EXPECT_EQ(popup->link()->address().toStdString(), kBase + "/");
    EXPECT_EQ(popup->description()->text(),
              QStringLiteral("Tallyhawk has downloaded 5 new coupons and deals."));
}

TEST_F(AlertPopupTest, ClickingTheLinkOpensThePageAndLeavesThePopupOpenWithItsTimerRunning)
{
    AlertPopup* popup = Open(test::AlertRecord(17, 2), kScreen, 30);
    AlertLink* link = popup->link();
    const QColor normal = link->currentColor();
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(4, link->height() / 2));
    ASSERT_EQ(opened_.size(), 1u);
    EXPECT_EQ(opened_[0], RedirectPageUrl(kBase, 2, 17));
    EXPECT_TRUE(popup->isVisible());
    EXPECT_TRUE(popup->closeTimer()->isActive());
    EXPECT_EQ(counters_.openAlerts, 1);
    EXPECT_TRUE(link->visited());
    EXPECT_NE(link->currentColor(), normal);

    // A press on the link never drags the popup.
    const QPoint before = popup->pos();
    QTest::mousePress(link, Qt::LeftButton, {}, QPoint(4, 4));
    QMouseEvent move(QEvent::MouseMove,
                     QPointF(40, 40),
                     link->mapToGlobal(QPointF(40, 40)),
                     Qt::NoButton,
                     Qt::LeftButton,
                     {});
    QApplication::sendEvent(link, &move);
    QTest::mouseRelease(link, Qt::LeftButton, {}, QPoint(400, 400));
    EXPECT_EQ(popup->pos(), before);
    // Released outside the link: no second page.
    EXPECT_EQ(opened_.size(), 1u);
}

TEST_F(AlertPopupTest, AFailedLaunchLeavesTheLinkUnvisited)
{
    launches_ = false;
    AlertPopup* popup = Open(test::AlertRecord(17));
    QTest::mouseClick(popup->link(), Qt::LeftButton, {}, QPoint(4, 4));
    EXPECT_EQ(opened_.size(), 1u);
    EXPECT_FALSE(popup->link()->visited());
    EXPECT_TRUE(popup->isVisible());
}

TEST_F(AlertPopupTest, AHotItemsLinkIsRedInEveryStateButVisited)
{
    AlertPopup* hot = Open(test::AlertRecord(1, 2, "Hot", 1));
    AlertPopup* plain = Open(test::AlertRecord(2, 2, "Plain", 0));
    AlertLink* link = hot->link();
    const QColor normal = link->currentColor();
    EXPECT_GT(normal.red(), 150);
    EXPECT_LT(normal.green(), 80);
    EXPECT_LT(normal.blue(), 80);
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), link->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(link, &enter);
    EXPECT_TRUE(link->hovered());
    EXPECT_EQ(link->currentColor(), normal);
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(link, &leave);
    EXPECT_FALSE(link->hovered());
    link->SetVisited();
    EXPECT_NE(link->currentColor(), normal);

    // An ordinary item is blue, lighter under the pointer.
    const QColor blue = plain->link()->currentColor();
    EXPECT_GT(blue.blue(), blue.red());
    QApplication::sendEvent(plain->link(), &enter);
    EXPECT_NE(plain->link()->currentColor(), blue);
}

TEST_F(AlertPopupTest, ItsColoursStayReadableOnADarkPalette)
{
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    dark.setColor(QPalette::WindowText, QColor(230, 230, 230));
    QApplication::setPalette(dark);
    AlertPopup* hot = Open(test::AlertRecord(1, 2, "Hot", 1));
    AlertPopup* plain = Open(test::AlertRecord(2, 2, "Plain", 0));
    QApplication::setPalette(light);
    const QColor background(30, 30, 30);
    EXPECT_GE(SystemColors::Contrast(hot->link()->currentColor(), background), 4.5);
    EXPECT_GE(SystemColors::Contrast(plain->link()->currentColor(), background), 4.5);
    EXPECT_GE(SystemColors::Contrast(hot->extra()->palette().color(QPalette::WindowText), background), 4.5);
    plain->link()->SetVisited();
    EXPECT_GE(SystemColors::Contrast(plain->link()->currentColor(), background), 4.5);
}

TEST_F(AlertPopupTest, DraggingAnywhereButTheLinkMovesThePopup)
{
    AlertPopup* popup = Open(test::AlertRecord(1));
    const QPoint start = popup->pos();
    QLabel* description = popup->description();
    const QPointF local(10, 5);
    const QPointF global = description->mapToGlobal(local);
    QMouseEvent press(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(description, &press);
    QMouseEvent move(QEvent::MouseMove,
                     local + QPointF(-120, -80),
                     global + QPointF(-120, -80),
                     Qt::NoButton,
                     Qt::LeftButton,
                     {});
    QApplication::sendEvent(description, &move);
    QMouseEvent release(
        QEvent::MouseButtonRelease, local, global + QPointF(-120, -80), Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(description, &release);
    EXPECT_EQ(popup->pos(), start + QPoint(-120, -80));
    EXPECT_TRUE(opened_.empty());
}

} // namespace
} // namespace tallyhawk
