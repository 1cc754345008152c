#pragma once

#include "core/compare/price_result.h"
#include "core/compare/result_list.h"
#include "core/platform/browser_launcher.h"
#include "core/store/item_filter.h"
#include "core/store/item_record.h"
#include "core/store/item_store.h"

#include <QDialog>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QPushButton;
class QSplitter;
class QTreeWidget;
class QTreeWidgetItem;

namespace tallyhawk
{

class GradientCaption;

// Picks one item for the product being edited: a downloaded coupon or deal of the last 30 days that
// matches the product (coupon mode, over "deal.lst" with a tree of its stores), or an offer of one
// saved price comparison (results mode, cheapest first). Ends with kSelected and the choice, or
// kClosed. Its size and tree width are kept in the layout file's "CouponPicker" section.
class CouponPicker : public QDialog
{
    Q_OBJECT

public:
    enum class Mode
    {
        Coupons = 1,
        PriceResults = 2,
    };

    static constexpr int kSelected = 0;
    static constexpr int kClosed = 2;
    // Coupon mode lists what arrived within this long before tonight.
    static constexpr std::int32_t kWindowSeconds = 2592000;

    // Where Search Coupons asks for its text: nothing for Cancel. The Search dialog unless a test sets
    // another.
    using SearchPrompt = std::function<std::optional<QString>(const QString& initialText)>;

    // `storeId` chooses the store shown first (0: all); `comparisonId` is the saved comparison that
    // results mode shows. Reads its files at once.
    CouponPicker(Mode mode,
                 const QString& searchText,
                 std::int32_t storeId,
                 std::int32_t comparisonId,
                 QWidget* parent = nullptr);
    ~CouponPicker() override;

    // The site the item pages are on, and the browser that opens them (one of its own when not set).
    void SetSiteBaseUrl(std::string base) { siteBaseUrl_ = std::move(base); }
    void SetBrowser(BrowserLauncher* browser) { browser_ = browser; }
    void SetSearchPrompt(SearchPrompt prompt) { searchPrompt_ = std::move(prompt); }

    // exec() as the picker's result: kSelected or kClosed.
    int Run();
    // The choice after kSelected; an unset choice has id 0.
    const ItemRecord& ChosenItem() const { return chosenItem_; }
    const PriceResult& ChosenResult() const { return chosenResult_; }

    // The commands of the buttons.
    void Select();
    void OpenSelected();
    void ShowSelectedDetails();
    void SearchCoupons();
    // Shows the coupons and deals matching `text` (all of them for an empty one).
    void ApplySearchText(const QString& text);

    Mode mode() const { return mode_; }
    QString searchText() const { return searchText_; }
    std::int32_t currentStoreId() const { return storeId_; }
    QTreeWidget* list() const { return list_; }
    QTreeWidget* storeTree() const { return tree_; }
    QPushButton* selectButton() const { return select_; }
    QPushButton* openButton() const { return open_; }
    QPushButton* detailsButton() const { return details_; }
    QPushButton* searchButton() const { return search_; }
    GradientCaption* leftHeader() const { return leftHeader_; }
    GradientCaption* rightHeader() const { return rightHeader_; }

    // The layout file (an INI file beside the settings) that keeps the picker's size.
    static QString LayoutSection() { return QStringLiteral("CouponPicker"); }

protected:
    void done(int result) override;

private:
    void Fill(bool rebuildTree);
    void FillItems(bool rebuildTree);
    void FillResults(bool rebuildTree);
    void StoreChosen(QTreeWidgetItem* item);
    void RowChanged();
    // The view index of the selected row's record; nothing when no row is selected.
    std::optional<std::size_t> SelectedRecord() const;
    BrowserLauncher& Browser();
    void RestoreLayout();
    void SaveLayout() const;

    Mode mode_;
    QString searchText_;
    std::int32_t storeId_;
    std::int32_t comparisonId_;
    ItemStore store_;
    ItemFilter filter_;
    std::vector<ItemRecord> items_; // the rows of coupon mode refer to these
    ResultList results_;
    std::vector<PriceResult> offers_; // the rows of results mode refer to these
    ItemRecord chosenItem_;
    PriceResult chosenResult_;
    std::string siteBaseUrl_;
    BrowserLauncher* browser_ = nullptr;
    std::unique_ptr<BrowserLauncher> ownBrowser_;
    SearchPrompt searchPrompt_;
    bool starting_ = true;

    QPushButton* select_;
    QPushButton* open_;
    QPushButton* details_;
    QPushButton* search_;
    GradientCaption* leftHeader_;
    GradientCaption* rightHeader_;
    QTreeWidget* tree_;
    QTreeWidget* list_;
    QSplitter* splitter_;
};

} // namespace tallyhawk
