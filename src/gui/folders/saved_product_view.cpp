#include "gui/folders/saved_product_view.h"

#include "core/common/time_span.h"
#include "core/shopping/shopping_database.h"
#include "core/shopping/shopping_filter.h"
#include "gui/controls/record_text.h"
#include "gui/folders/folder_host.h"
#include "gui/folders/view_state.h"

#include <optional>
#include <utility>

namespace tallyhawk
{

SavedProductView::SavedProductView(FolderHost& host,
                                   ViewState& view,
                                   ShoppingDatabase& shopping,
                                   Window window)
    : host_(host)
    , view_(view)
    , shopping_(shopping)
    , window_(std::move(window))
{ }

void SavedProductView::NewProduct()
{
    if (!host_.ProductEditor()) {
        return;
    }
    const std::optional<ShoppingRecord> saved
        = host_.ProductEditor()(host_.DialogParent(), shopping_, ShoppingDatabase::kProducts, 0);
    if (!saved) {
        return;
    }
    const auto show = [this, product = *saved] {
        ShowSaved(product);
    };
    if (window_.folder() == FolderKind::ShoppingList) {
        host_.Reload(true, show);
    } else {
        window_.showFolder(FolderKind::ShoppingList);
        show();
    }
}

void SavedProductView::ShowSaved(const ShoppingRecord& product)
{
    window_.hideDue();
    if (window_.folder() != FolderKind::ShoppingList || host_.ChooseRowOf(product.id)) {
        return;
    }
    ViewState whole = view_;
    whole.ShowWhole();
    // The filter's own rule, which also works out when the product is due.
    ShoppingRecord due = product;
    if (PassesFilter(due, whole.filter(), ShoppingFilterMode::Products)) {
        view_ = whole;
        window_.viewChanged();
        host_.Reload(true, [this, id = product.id] { host_.ChooseRowOf(id); });
        return;
    }
    if (due.nextDue > view_.filter().to) {
        window_.tellDue(RecordText(product.name()), product.id, due.nextDue);
    }
}

void SavedProductView::ShowDueBy(std::int32_t id, std::int32_t due, const QString& dayText)
{
    if (window_.folder() != FolderKind::ShoppingList) {
        return;
    }
    window_.hideDue();
    view_.StretchTo(LocalTimeOnDayOf(due, 23, 59, 59), dayText);
    window_.viewChanged();
    host_.Reload(true, [this, id] { host_.ChooseRowOf(id); });
}

void SavedProductView::EndDueView()
{
    window_.hideDue();
    view_.EndStretch();
}

} // namespace tallyhawk
