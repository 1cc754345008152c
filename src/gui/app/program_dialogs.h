#pragma once

#include "gui/folders/folder_host.h"
#include "gui/shopping/product_editor.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QWidget;

namespace tallyhawk
{

class BrowserLauncher;
class WebSpider;

// The program's own dialogs behind New Product, Open in the shopping folders and Compare Prices: the
// product editor and the two price comparison dialogs, over one comparison manager made on first use.
// It goes after every dialog that used it.
class ProgramDialogs
{
public:
    // Runs a comparison for `itemName` and gives the id of the comparison it saved, 0 for none.
    using ComparisonRunner = std::function<std::int32_t(QWidget* parent, const QString& itemName)>;

    ProgramDialogs();
    ~ProgramDialogs();
    ProgramDialogs(const ProgramDialogs&) = delete;
    ProgramDialogs& operator=(const ProgramDialogs&) = delete;

    // The product editor; the site's address and the browser are asked for each time it opens.
    ProductEditorOpener ProductEditor(std::function<std::string()> siteBase,
                                      std::function<BrowserLauncher&()> browser);
    ComparisonRunner PriceComparison();
    // The product editor on a new product filled in from a deal (Add to Shopping List).
    using DealProductOpener = std::function<std::optional<ShoppingRecord>(
        QWidget* parent, ShoppingDatabase& shopping, const ItemRecord& deal)>;
    DealProductOpener ProductFromDeal(std::function<std::string()> siteBase,
                                      std::function<BrowserLauncher&()> browser);

private:
    WebSpider& Spider();
    // What the product editor gets: the site, the browser and the price comparison.
    ProductEditor::Services EditorServices(std::string siteBase, BrowserLauncher& browser);

    std::unique_ptr<WebSpider> spider_;
};

} // namespace tallyhawk
