#include "gui/app/program_dialogs.h"

#include "core/compare/web_spider.h"
#include "gui/compare/price_comparison_run.h"
#include "gui/shopping/product_editor.h"

#include <utility>

namespace tallyhawk
{

ProgramDialogs::ProgramDialogs() = default;

ProgramDialogs::~ProgramDialogs() = default;

WebSpider& ProgramDialogs::Spider()
{
    if (!spider_) {
        spider_ = std::make_unique<WebSpider>();
    }
    return *spider_;
}

ProgramDialogs::ComparisonRunner ProgramDialogs::PriceComparison()
{
    return [this](QWidget* parent, const QString& itemName) {
        return RunPriceComparison(parent, Spider(), itemName);
    };
}

ProductEditor::Services ProgramDialogs::EditorServices(std::string siteBase, BrowserLauncher& browser)
{
    ProductEditor::Services services;
    services.siteBaseUrl = std::move(siteBase);
    services.browser = &browser;
    services.comparePrices = [this](QWidget* owner, const QString& name, const QString& category) {
        return RunPriceComparison(owner, Spider(), name, category);
    };
    return services;
}

ProductEditorOpener ProgramDialogs::ProductEditor(std::function<std::string()> siteBase,
                                                  std::function<BrowserLauncher&()> browser)
{
    return [this, siteBase = std::move(siteBase), browser = std::move(browser)](
               QWidget* parent, ShoppingDatabase& shopping, std::int32_t kind, std::int32_t id) {
        return ProductEditor::Edit(parent, shopping, kind, id, EditorServices(siteBase(), browser()));
    };
}

ProgramDialogs::DealProductOpener ProgramDialogs::ProductFromDeal(std::function<std::string()> siteBase,
                                                                  std::function<BrowserLauncher&()> browser)
{
    return [this, siteBase = std::move(siteBase), browser = std::move(browser)](
               QWidget* parent, ShoppingDatabase& shopping, const ItemRecord& deal) {
        return ProductEditor::EditFromDeal(parent, shopping, deal, EditorServices(siteBase(), browser()));
    };
}

} // namespace tallyhawk
