#pragma once

#include "core/shopping/shopping_record.h"
#include "gui/folders/folder_kind.h"

#include <QString>

#include <cstdint>
#include <functional>

namespace tallyhawk
{

class FolderHost;
class ShoppingDatabase;
class ViewState;

// The Shopping List's flows after a product is saved: New Product, the product chosen when the list
// shows it, the whole list when a search or the tree hides it, and when it is due after the view's
// end the notice that says when, whose "Show It" stretches the view to that day.
class SavedProductView
{
public:
    // What the flows change on the window besides its rows.
    struct Window
    {
        std::function<FolderKind()> folder;
        std::function<void(FolderKind folder)> showFolder;
        // The view state changed what narrows the view: its caption follows.
        std::function<void()> viewChanged;
        // The notice over the list: shown for the product `id`, due at `due`, or hidden.
        std::function<void(const QString& name, std::int32_t id, std::int32_t due)> tellDue;
        std::function<void()> hideDue;
    };

    SavedProductView(FolderHost& host, ViewState& view, ShoppingDatabase& shopping, Window window);

    // Opens the product editor on a new product, then shows the Shopping List with it.
    void NewProduct();
    void ShowSaved(const ShoppingRecord& product);
    // Shows the Shopping List up to the end of the day `due` (`dayText` in the caption), with the
    // product `id` chosen; the folder and the time filter bring the views back to their own span.
    void ShowDueBy(std::int32_t id, std::int32_t due, const QString& dayText);
    // Ends a view that ShowDueBy stretched, and its notice.
    void EndDueView();

private:
    FolderHost& host_;
    ViewState& view_;
    ShoppingDatabase& shopping_;
    Window window_;
};

} // namespace tallyhawk
