#include "core/common/time_span.h"
#include "gui/app/empty_state_page.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"
#include "gui/app/view_pane.h"
#include "gui/controls/time_filter_button.h"
#include "gui/folders/empty_state.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace tallyhawk
{
namespace
{

using Step = EmptyState::Step;

QStringList StepTexts(const std::vector<Step>& steps)
{
    QStringList texts;
    for (const Step step : steps) {
        texts << EmptyState::StepText(step);
    }
    return texts;
}

TEST(EmptyStateTest, EachEmptyFolderSaysWhyAndOffersItsNextSteps)
{
    const struct
    {
        FolderKind folder;
        std::int32_t span;
        std::optional<std::string> keyword;
        std::optional<QString> dueBy;
        const char* why;
        QStringList steps;
    } cases[] = {
        {FolderKind::ShoppingList,
         TimeSpan::kLast7Days,
         {},
         {},
         "No products are due in the last 7 days.",
         {QStringLiteral("New Product\u2026"), QStringLiteral("Show upcoming")}},
        {FolderKind::CouponsAndDeals,
         TimeSpan::kToday,
         {},
         {},
         "No coupons or deals arrived today.",
         {QStringLiteral("Show the Last 180 Days")}},
        {FolderKind::PriceComparisons,
         TimeSpan::kLast30Days,
         {},
         {},
         "No price comparisons were saved in the last 30 days.",
         {QStringLiteral("Compare Prices\u2026"), QStringLiteral("Show the Last 180 Days")}},
        {FolderKind::PurchaseHistory,
         TimeSpan::kLast180Days,
         {},
         {},
         "No purchases were made in the last 180 days.",
         {}},
        {FolderKind::ForumTopics,
         TimeSpan::kLast3Days,
         std::string("kettle"),
         {},
         "Nothing in Forum Topics matches \u201ckettle\u201d in the last 3 days.",
         {QStringLiteral("Clear Search"), QStringLiteral("Show the Last 180 Days")}},
        {FolderKind::ShoppingList,
         TimeSpan::kLast7Days,
         {},
         QStringLiteral("9 Apr 2026"),
         "No products are due by 9 Apr 2026.",
         {QStringLiteral("New Product\u2026")}},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.why);
        const std::optional<EmptyState> state
            = EmptyState::For(expected.folder, expected.span, expected.keyword, expected.dueBy);
        ASSERT_TRUE(state.has_value());
        EXPECT_EQ(state->why, QString::fromUtf8(expected.why));
        EXPECT_EQ(StepTexts(state->steps), expected.steps);
    }
    EXPECT_FALSE(EmptyState::For(FolderKind::TodaysSummary, TimeSpan::kLast7Days, {}));
    EXPECT_FALSE(EmptyState::For(FolderKind::CashBackStores, TimeSpan::kLast7Days, {}));
}

class EmptyStateWindowTest : public MainWindowFixture
{
protected:
    static EmptyStatePage* Page(const MainWindow& window)
    {
        return Named<EmptyStatePage>(window, "emptyState");
    }

    static QPushButton* StepButton(const MainWindow& window, const QString& text)
    {
        for (QPushButton* button : Page(window)->stepButtons()) {
            if (button->text() == text) {
                return button;
            }
        }
        return nullptr;
    }
};

TEST_F(EmptyStateWindowTest, AnEmptyShoppingListSaysSoAndShowsWhatIsUpcoming)
{
    const auto window = StartHidden();
    window->ShowFolder(FolderKind::ShoppingList);
    WaitForView(*window);
    ASSERT_EQ(View(*window)->currentPage(), Page(*window));
    EXPECT_EQ(Page(*window)->why()->text(), QStringLiteral("No products are due in the last 7 days."));
    QPushButton* upcoming = StepButton(*window, QStringLiteral("Show upcoming"));
    ASSERT_NE(upcoming, nullptr);
    ASSERT_NE(StepButton(*window, QStringLiteral("New Product\u2026")), nullptr);

    upcoming->click();
    WaitForView(*window);
    EXPECT_EQ(window->viewFilter().to, kTonight + MainWindow::kUpcomingDays * 86400);
    EXPECT_TRUE(Page(*window)->why()->text().startsWith(QStringLiteral("No products are due by ")));
}

TEST_F(EmptyStateWindowTest, TheLongerSpanStepChoosesItAndRowsBringTheListBack)
{
    AddItem("deal.lst", 1, 1, "an old coupon", kTen - 20 * 86400);
    const auto window = StartHidden();
    ASSERT_EQ(View(*window)->currentPage(), Page(*window));
    EXPECT_EQ(Page(*window)->why()->text(),
              QStringLiteral("No coupons or deals arrived in the last 7 days."));

    StepButton(*window, QStringLiteral("Show the Last 180 Days"))->click();
    WaitForView(*window);
    EXPECT_EQ(Bar(*window)->timeFilter()->span(), TimeSpan::kLast180Days);
    EXPECT_EQ(View(*window)->currentPage(), Named<QWidget>(*window, "listPage"));
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("an old coupon")});
}

} // namespace
} // namespace tallyhawk
