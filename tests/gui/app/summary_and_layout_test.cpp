#include "core/common/site_addresses.h"
#include "core/settings/settings.h"
#include "core/settings/site_url.h"
#include "core/shopping/shopping_database.h"
#include "gui/app/folder_pane.h"
#include "gui/app/layout_store.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"
#include "gui/app/summary_page.h"
#include "support/preset_message_boxes.h"

#include <QCheckBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSplitter>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

class SummaryPageTest : public MainWindowFixture
{
protected:
    void SetShowSummary(std::int32_t value)
    {
        Settings settings(SettingsFile());
        settings.showSummary = value;
        ASSERT_EQ(settings.Save(), 0);
    }

    // A hot deal as the download pass stores it.
    void AddHot(std::int32_t id, const char* title, std::int32_t arrivedAt, bool deleted = false)
    {
        clock_.Set(arrivedAt);
        ItemStore store;
        store.Open("deal.lst");
        ItemValues values;
        values.id = id;
        values.kind = 2;
        values.hot = 1;
        values.title = title;
        values.storeName = "Corner Shop";
        values.extra = "$5";
        values.description = "cheap today";
        ASSERT_EQ(store.Append(values), kOk);
        if (deleted) {
            ASSERT_GE(store.Delete(id, 2), 0);
        }
        clock_.Set(kTen);
    }

    std::unique_ptr<MainWindow> StartShown()
    {
        auto window = std::make_unique<MainWindow>(SettingsFile());
        Tray(*window).OverrideAvailable(true);
        window->Start(false);
        WaitForView(*window);
        return window;
    }

    QString LayoutFile() const { return QString::fromStdString(dir_.File("tallyhawk-layout.ini")); }
};

TEST_F(SummaryPageTest, CountsWhatArrivedTodayByLocalDay)
{
    const std::int32_t midnight = *LocalTime(2026, 3, 10, 0, 0, 0);
    AddItem("deal.lst", 1, 1, "yesterday's coupon", midnight - 1);
    AddItem("deal.lst", 2, 1, "first coupon of the day", midnight);
    AddItem("deal.lst", 3, 2, "a deal", kTen);
    // Today runs from 00:00:00 to 23:59:59: the last second counts, the next day's first does not.
    AddItem("deal.lst", 6, 1, "last coupon of the day", kTonight);
    AddItem("deal.lst", 7, 2, "tomorrow's deal", kTonight + 1);
    AddItem("topic.lst", 4, 3, "yesterday's topic", midnight - 1);
    AddItem("topic.lst", 5, 3, "a topic", midnight);
    {
        ShoppingDatabase shopping;
        shopping.Open();
        ShoppingValues product;
        product.name = "Milk";
        product.startDate = kTen - 60;
        ASSERT_TRUE(shopping.AddRecord(ShoppingDatabase::kProducts, product));
    }
    SetShowSummary(1);
    auto window = StartHidden();
    EXPECT_EQ(window->folder(), FolderKind::TodaysSummary);
    EXPECT_EQ(View(*window)->currentPage(), Summary(*window));
    SummaryPage* page = Summary(*window);
    EXPECT_EQ(page->dealsCount()->text(), QStringLiteral(" - 3 new deals and coupons"));
    EXPECT_EQ(page->topicsCount()->text(), QStringLiteral(" - 1 new forum topics"));
    EXPECT_EQ(page->shoppingCount()->text(), QStringLiteral(" - 1 items in your shopping list"));
    EXPECT_FALSE(page->startInDeals()->isChecked());

    // The next day the same items count as yesterday's; Refresh View follows the clock.
    clock_.Set(kTonight + 1);
    window->RefreshView(true);
    WaitForView(*window);
    EXPECT_EQ(page->dealsCount()->text(), QStringLiteral(" - 1 new deals and coupons"));
    EXPECT_EQ(page->topicsCount()->text(), QStringLiteral(" - 0 new forum topics"));
}

TEST_F(SummaryPageTest, ShowsTheTwoNewestHotDealsThatAreNotDeleted)
{
    AddHot(1, "yesterday", *LocalTime(2026, 3, 9, 12, 0, 0));
    AddHot(2, "oldest", kTen - 300);
    AddHot(3, "middle", kTen - 200);
    AddHot(4, "newest", kTen - 100);
    AddHot(5, "deleted", kTen - 50, true);
    AddItem("deal.lst", 6, 2, "not hot", kTen - 10);
    SetShowSummary(1);
    auto window = StartHidden();
    std::vector<std::string> opened;
    window->SetBrowser(std::make_unique<BrowserLauncher>(
        [&](const std::vector<std::string>& argv) {
            opened.push_back(argv.back());
            return true;
        },
        [](const std::vector<std::string>&) { return std::optional<std::string>(); }));
    SummaryPage* page = Summary(*window);
    const std::string base = SiteBaseUrl(Settings(SettingsFile()));
    EXPECT_TRUE(page->hotDealLink(0)->text().contains(QStringLiteral("Corner Shop - newest - $5")));
    EXPECT_EQ(page->hotDealTarget(0).toStdString(), RedirectPageUrl(base, 2, 4));
    EXPECT_EQ(page->hotDealLink(0)->toolTip(), page->hotDealTarget(0));
    EXPECT_EQ(page->hotDealText(0)->text(), QStringLiteral("cheap today"));
    EXPECT_TRUE(page->hotDealLink(1)->text().contains(QStringLiteral("middle")));
    EXPECT_EQ(page->dealsCount()->text(), QStringLiteral(" - 4 new deals and coupons"));
    // The hot list is a store of its own: the deals folder still lists every deal of the week.
    Pane(*window)->button(FolderKind::CouponsAndDeals)->click();
    WaitForView(*window);
    EXPECT_EQ(ListModel(*window)->rowCount(), 5);
    Pane(*window)->button(FolderKind::TodaysSummary)->click();
    WaitForView(*window);

    emit page->hotDealLink(0)->linkActivated(page->hotDealTarget(0));
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], RedirectPageUrl(base, 2, 4));

    // A day with no hot deals clears both slots.
    clock_.Set(kTonight + 1);
    window->RefreshView(false);
    WaitForView(*window);
    EXPECT_TRUE(page->hotDealTarget(0).isEmpty());
    EXPECT_TRUE(page->hotDealLink(1)->text().isEmpty());
    EXPECT_TRUE(page->hotDealText(0)->text().isEmpty());
}

TEST_F(SummaryPageTest, LinksStayReadableOnADarkPanel)
{
    SummaryPage page([](const std::string&) {});
    QPalette dark = page.palette();
    dark.setColor(QPalette::Base, Qt::black);
    dark.setColor(QPalette::Link, QColor(0, 0, 255));
    dark.setColor(QPalette::LinkVisited, QColor(40, 40, 40));
    page.setPalette(dark);
    EXPECT_GT(qGray(page.palette().color(QPalette::Link).rgb()), 128);
    EXPECT_GT(qGray(page.palette().color(QPalette::LinkVisited).rgb()), 128);
    EXPECT_EQ(page.palette().color(QPalette::Base), QColor(Qt::black));
    // The links name their colour themselves: rich text would take the application's.
    EXPECT_TRUE(page.folderLink(FolderKind::ShoppingList)
                    ->text()
                    .contains(page.palette().color(QPalette::Link).name()));
    // On a light panel the palette's own links stay.
    QPalette light = page.palette();
    light.setColor(QPalette::Base, Qt::white);
    light.setColor(QPalette::Link, QColor(0, 0, 255));
    page.setPalette(light);
    EXPECT_EQ(page.palette().color(QPalette::Link), QColor(0, 0, 255));
}

TEST_F(SummaryPageTest, LinksAndQuickTasksSwitchFolders)
{
    SetShowSummary(1);
    auto window = StartHidden();
    SummaryPage* page = Summary(*window);
    for (FolderKind folder : {FolderKind::CouponsAndDeals,
                              FolderKind::CashBackStores,
                              FolderKind::ShoppingList,
                              FolderKind::PurchaseHistory,
                              FolderKind::PriceComparisons,
                              FolderKind::ForumTopics}) {
        window->ShowFolder(FolderKind::TodaysSummary);
        WaitForView(*window);
        ASSERT_NE(page->folderLink(folder), nullptr);
        emit page->folderLink(folder)->linkActivated(QStringLiteral("go"));
        EXPECT_EQ(window->folder(), folder);
        EXPECT_TRUE(Pane(*window)->button(folder)->isChecked());
    }
    window->ShowFolder(FolderKind::TodaysSummary);
    WaitForView(*window);
    emit page->quickTask(SummaryPage::QuickTask::CashBack)->linkActivated(QStringLiteral("go"));
    EXPECT_EQ(window->folder(), FolderKind::CashBackStores);

    // Find deals: Coupons & Deals, then the search prompt.
    window->ShowFolder(FolderKind::TodaysSummary);
    WaitForView(*window);
    int prompts = 0;
    window->SetSearchPrompt([&](const QString&) -> std::optional<QString> {
        ++prompts;
        return QStringLiteral("milk");
    });
    emit page->quickTask(SummaryPage::QuickTask::FindDeals)->linkActivated(QStringLiteral("go"));
    EXPECT_EQ(window->folder(), FolderKind::CouponsAndDeals);
    EXPECT_EQ(prompts, 1);
    EXPECT_EQ(window->viewFilter().keyword, std::optional<std::string>("milk"));
}

TEST_F(SummaryPageTest, StartPageFollowsShowSummaryAndTheCheckBoxSavesIt)
{
    AddItem("deal.lst", 1, 1, "a coupon", kTen - 60);
    SetShowSummary(0);
    {
        auto window = StartHidden();
        EXPECT_EQ(window->folder(), FolderKind::CouponsAndDeals);
        // The list is filled at once rather than at the first refresh.
        EXPECT_EQ(ListModel(*window)->rowCount(), 1);
        QCheckBox* box = Summary(*window)->startInDeals();
        EXPECT_TRUE(box->isChecked());
        EXPECT_EQ(Summary(*window)->startCaption()->text(),
                  QStringLiteral("When starting, go directly to the Coupons & Deals folder"));
        // A click on the caption toggles the box.
        QTest::mouseClick(Summary(*window)->startCaption(), Qt::LeftButton);
        WaitForView(*window);
        EXPECT_FALSE(box->isChecked());
    }
    EXPECT_EQ(Settings(SettingsFile()).showSummary, 1);
    {
        auto window = StartHidden();
        EXPECT_EQ(window->folder(), FolderKind::TodaysSummary);
        EXPECT_EQ(ListModel(*window)->rowCount(), 0);
        EXPECT_EQ(Pane(*window)->caption(), QStringLiteral("Today's Summary"));
        EXPECT_FALSE(Summary(*window)->startInDeals()->isChecked());

        // A settings file that cannot be written is told.
        PresetMessageBoxes boxes;
        std::filesystem::remove(dir_.File("settings.conf"));
        std::filesystem::create_directory(dir_.File("settings.conf"));
        Summary(*window)->startInDeals()->setChecked(true);
        ASSERT_EQ(boxes.shown().size(), 1u);
        EXPECT_EQ(boxes.shown()[0].title, QStringLiteral("Tallyhawk"));
    }
}

TEST_F(SummaryPageTest, AShownSummaryIsPaintedBeforeTheStoresLoadAndTheCycleStarts)
{
    SetShowSummary(1);
    {
        auto window = StartShown();
        EXPECT_EQ(window->passes(), nullptr);
        // The page's first paint lets the loads and the update cycle follow.
        Summary(*window)->repaint();
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->passes() != nullptr; }, 5000));
    }
    {
        // A hidden start paints nothing, so nothing waits for a paint: the passes follow the loads.
        auto window = StartHidden();
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->passes() != nullptr; }, 5000));
    }
    {
        // A page that is never painted still gets its start.
        auto window = StartShown();
        window->hide();
        EXPECT_TRUE(QTest::qWaitFor([&] { return window->passes() != nullptr; }, 5000));
    }
}

TEST_F(SummaryPageTest, LayoutRoundTripKeepsPlacementAndColumns)
{
    AddItem("deal.lst", 1, 1, "a coupon", kTen - 60);
    int folderPane = 0;
    {
        // First run: about 1000 by 700, within the screen.
        auto window = StartShown();
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        EXPECT_TRUE(screen.contains(window->frameGeometry()));
        EXPECT_GT(window->geometry().width(), std::min(1000, screen.width()) - 40);
        window->setGeometry(QRect(70, 60, 700, 420));
        ItemList(*window)->header()->resizeSection(0, 333);
        auto* splitter = window->findChild<QSplitter*>(QStringLiteral("panes"));
        ASSERT_NE(splitter, nullptr);
        const QList<int> panes = splitter->sizes();
        splitter->setSizes({panes[0] + 90, panes[1] - 90});
        folderPane = splitter->sizes()[0];
        window->close();
        EXPECT_FALSE(window->isVisible());
    }
    QSettings file(LayoutFile(), QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("MainWindow/Left")).toInt(), 70);
    EXPECT_EQ(file.value(QStringLiteral("MainWindow/Right")).toInt(), 770);
    EXPECT_EQ(file.value(QStringLiteral("MainWindow/Top")).toInt(), 60);
    EXPECT_EQ(file.value(QStringLiteral("MainWindow/Bottom")).toInt(), 480);
    EXPECT_EQ(file.value(QStringLiteral("MainWindow/Show")).toInt(), 1);
    EXPECT_GE(file.value(QStringLiteral("PageList/NumCols")).toInt(), 2);
    EXPECT_EQ(file.value(QStringLiteral("PageList/Col0")).toInt(), 333);

    auto window = StartShown();
    EXPECT_EQ(window->geometry(), QRect(70, 60, 700, 420));
    EXPECT_EQ(ItemList(*window)->header()->sectionSize(0), 333);
    // The folder pane keeps the width it was dragged to.
    EXPECT_EQ(window->findChild<QSplitter*>(QStringLiteral("panes"))->sizes()[0], folderPane);
    // The width stays through refreshes and folder switches, and a close on the summary page (which
    // has no columns) keeps it.
    window->RefreshView(true);
    WaitForView(*window);
    window->ShowFolder(FolderKind::TodaysSummary);
    WaitForView(*window);
    window->close();
    QSettings again(LayoutFile(), QSettings::IniFormat);
    EXPECT_EQ(again.value(QStringLiteral("PageList/Col0")).toInt(), 333);
    window->ShowFromTray();
    WaitForView(*window);
    window->ShowFolder(FolderKind::CouponsAndDeals);
    WaitForView(*window);
    EXPECT_EQ(ItemList(*window)->header()->sectionSize(0), 333);
}

TEST_F(SummaryPageTest, HiddenStartPlacesTheWindowAtItsFirstShow)
{
    {
        QSettings file(LayoutFile(), QSettings::IniFormat);
        file.setValue(QStringLiteral("MainWindow/Left"), 100);
        file.setValue(QStringLiteral("MainWindow/Right"), 700);
        file.setValue(QStringLiteral("MainWindow/Top"), 50);
        file.setValue(QStringLiteral("MainWindow/Bottom"), 450);
        // One column saved: only column 0 takes it.
        file.setValue(QStringLiteral("PageList/NumCols"), 1);
        file.setValue(QStringLiteral("PageList/Col0"), 250);
        file.setValue(QStringLiteral("PageList/Col1"), 157);
    }
    AddItem("deal.lst", 1, 1, "a coupon", kTen - 60);
    auto window = StartHidden();
    EXPECT_FALSE(window->isVisible());
    // Minimizing or closing before the first show keeps the saved placement.
    window->close();
    window->ShowFromTray();
    WaitForView(*window);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->geometry(), QRect(100, 50, 600, 400));
    EXPECT_EQ(ItemList(*window)->header()->sectionSize(0), 250);
    EXPECT_NE(ItemList(*window)->header()->sectionSize(1), 157);
    // Later shows keep where the user put it.
    window->setGeometry(QRect(120, 80, 600, 400));
    window->close();
    window->ShowFromTray();
    WaitForView(*window);
    EXPECT_EQ(window->geometry(), QRect(120, 80, 600, 400));
}

TEST_F(SummaryPageTest, APlacementOffEveryScreenComesBackOntoOne)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    {
        QSettings file(LayoutFile(), QSettings::IniFormat);
        file.setValue(QStringLiteral("MainWindow/Left"), screen.right() + 2000);
        file.setValue(QStringLiteral("MainWindow/Right"), screen.right() + 2600);
        file.setValue(QStringLiteral("MainWindow/Top"), -3000);
        file.setValue(QStringLiteral("MainWindow/Bottom"), -2600);
    }
    const LayoutStore store(LayoutFile());
    const QRect placed = store.SavedPlacement();
    EXPECT_TRUE(screen.contains(placed.topLeft()));
    EXPECT_EQ(placed.width(), std::min(600, screen.width() - 40));
    // Partly on screen, with the title bar reachable: left where it is.
    EXPECT_EQ(OnSomeScreen(QRect(screen.right() - 100, 10, 600, 400)),
              QRect(screen.right() - 100, 10, 600, 400));
    // Only a sliver of the top edge showing is not enough to grab.
    EXPECT_NE(OnSomeScreen(QRect(screen.right() - 5, 10, 600, 400)).left(), screen.right() - 5);
    // Edges the wrong way round read as the default size.
    {
        QSettings file(LayoutFile(), QSettings::IniFormat);
        file.setValue(QStringLiteral("MainWindow/Left"), 300);
        file.setValue(QStringLiteral("MainWindow/Right"), 100);
        file.setValue(QStringLiteral("MainWindow/Top"), 40);
        file.setValue(QStringLiteral("MainWindow/Bottom"), 400);
    }
    EXPECT_EQ(store.SavedPlacement().size(), QSize(1000, 700).boundedTo(screen.size()));
}

} // namespace
} // namespace tallyhawk
