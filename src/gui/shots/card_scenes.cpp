#include "gui/shots/card_scenes.h"

#include "core/common/clock.h"
#include "core/compare/result_list.h"
#include "core/compare/search_index.h"
#include "core/shopping/purchase_type.h"
#include "core/shopping/shopping_database.h"
#include "gui/app/folder_pane.h"
#include "gui/app/main_window.h"
#include "gui/app/view_tree.h"
#include "gui/shots/screenshot_scenes.h"

#include <QTreeView>

#include <array>
#include <string_view>
#include <tuple>

namespace tallyhawk
{
namespace
{

constexpr std::int32_t kDay = 86400;

void AddShoppingSamples(std::int32_t kind)
{
    ShoppingDatabase shopping;
    shopping.Open();
    if (shopping.CountRecords(kind) > 0) {
        return;
    }
    const std::int32_t now = Clock::Now();
    // Products are due on their day (one without a day shows it as unknown); purchases were bought then.
    const std::array samples{
        std::tuple{"Semi-skimmed milk", "Two bottles for the week", "Corner Shop", "Dairy", 2.0, 1.19, 0},
        std::tuple{"Coffee beans", "The dark roast, whole beans", "Big Mart", "Groceries", 1.0, 8.49, -2},
        std::tuple{"Garden hose reel", "Wall mounted, 30 m", "", "Garden", 0.0, 34.99, 1},
        std::tuple{"Printer paper", "", "Office World", "", 5.0, 0.0, -5},
    };
    for (const auto& [name, notes, store, category, quantity, price, days] : samples) {
        ShoppingValues values;
        values.name = name;
        values.notes = notes;
        values.store.name = store;
        values.category.name = category;
        values.quantity = quantity;
        values.pricePerUnit = price;
        if (days <= 0) {
            values.purchaseType = PurchaseTypeNumber(PurchaseType::OneTime);
            values.startDate = now + days * kDay;
        }
        // One product that comes back every week, whose card says so.
        if (kind == ShoppingDatabase::kProducts && std::string_view(name) == "Coffee beans") {
            values.purchaseType = PurchaseTypeNumber(PurchaseType::Weekly);
            values.interval = 1;
            values.dayValue = 0;
        }
        shopping.AddRecord(kind, values);
    }
}

// A saved comparison of a few offers, unless there is one already.
void AddComparisonSample()
{
    SearchIndex index;
    index.Load();
    if (!index.records().empty()) {
        return;
    }
    ResultList offers;
    const std::array samples{
        std::tuple{"Trail running shoes, red", "Men's, sizes 7 to 12, free returns", "Shoe Site", 59.95},
        std::tuple{"Red running shoe", "Lightweight mesh", "Big Mart", 44.5},
        std::tuple{"Running shoes (red/black)", "", "Outlet Online", 0.0},
        std::tuple{"Red trainers", "Last pairs in stock", "Corner Sports", 38.0},
    };
    for (const auto& [name, text, site, price] : samples) {
        PriceResult offer;
        offer.name = name;
        if (*text != '\0') {
            offer.text = text;
        }
        offer.link = "http://127.0.0.1/offer";
        offer.siteName = site;
        offer.price = price;
        offers.Insert(offer);
    }
    index.SaveSearch(0, "red running shoes", offers);
}

} // namespace

QWidget* SetUpCardScene(const QString& name, MainWindow& window)
{
    if (!name.startsWith(QStringLiteral("cards-"))) {
        return nullptr;
    }
    // The window read the store and category lists when it started: names that the samples add show
    // from the next start on, so every card scene writes all samples and the first one of a run
    // (coupons) prepares the others.
    AddShoppingSamples(ShoppingDatabase::kProducts);
    AddShoppingSamples(ShoppingDatabase::kPurchases);
    if (name == QStringLiteral("cards-coupons")) {
        window.ShowFolder(FolderKind::CouponsAndDeals);
    } else if (name == QStringLiteral("cards-topics")) {
        window.ShowFolder(FolderKind::ForumTopics);
    } else if (name == QStringLiteral("cards-shopping")) {
        window.ShowFolder(FolderKind::ShoppingList);
    } else if (name == QStringLiteral("cards-purchases")) {
        window.ShowFolder(FolderKind::PurchaseHistory);
    } else if (name == QStringLiteral("cards-comparison")) {
        AddComparisonSample();
        window.ShowFolder(FolderKind::PriceComparisons);
        WaitForView(window);
        // The newest comparison is the first under the root.
        ViewTree* tree = window.findChild<FolderPane*>(QStringLiteral("folderPane"))->tree();
        if (tree->topLevelItemCount() > 0 && tree->topLevelItem(0)->childCount() > 0) {
            tree->topLevelItem(0)->child(0)->setSelected(true);
        }
    } else {
        return nullptr;
    }
    WaitForView(window);
    // The second row chosen shows a highlighted card next to plain ones.
    auto* list = window.findChild<QTreeView*>(QStringLiteral("itemList"));
    if (list->model()->rowCount() > 1) {
        list->setCurrentIndex(list->model()->index(1, 0));
    }
    return &window;
}

} // namespace tallyhawk
