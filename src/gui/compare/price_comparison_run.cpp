#include "gui/compare/price_comparison_run.h"

#include "gui/compare/compare_prices_dialog.h"
#include "gui/compare/comparing_prices_dialog.h"

namespace tallyhawk
{

std::int32_t
RunPriceComparison(QWidget* parent, WebSpider& spider, const QString& itemName, const QString& categoryName)
{
    QString name;
    std::int32_t category = 0;
    {
        ComparePricesDialog ask(spider, itemName, categoryName, parent);
        if (ask.exec() != QDialog::Accepted) {
            return 0;
        }
        name = ask.itemName();
        category = ask.categoryId();
    }
    ComparingPricesDialog run(spider, name, category, parent);
    if (run.exec() != QDialog::Accepted) {
        return 0;
    }
    return run.savedId();
}

} // namespace tallyhawk
