#include "gui/app/main_tool_bar.h"

#include "gui/controls/time_filter_button.h"

#include <QHBoxLayout>
#include <QToolBar>
#include <QToolButton>

namespace tallyhawk
{
namespace
{

struct FolderCaptions
{
    const char* details;
    const char* open;
    const char* remove;
    const char* find;
    const char* print; // null: unchanged
    bool findEnabled;
};

FolderCaptions CaptionsOf(FolderKind folder)
{
    switch (folder) {
    case FolderKind::CouponsAndDeals:
        return {"Coupon Details", "Open In Browser", "Delete Coupon", "Find Coupons", "Print Coupons", true};
    case FolderKind::ForumTopics:
        return {"Topic Details", "Open In Browser", "Delete Topic", "Find Topics", "Print Topics", true};
    case FolderKind::PriceComparisons:
        return {"Result Details", "Open In Browser", "Delete Result", "Find Results", "Print Results", false};
    case FolderKind::ShoppingList:
    case FolderKind::PurchaseHistory:
        return {
            "Purchase Product", "Edit Product", "Delete Product", "Find Products", "Print Products", true};
    case FolderKind::TodaysSummary:
    case FolderKind::CashBackStores:
    case FolderKind::None:
        break;
    }
    return {"Details", "Open", "Delete", "Find", nullptr, false};
}

} // namespace

MainToolBar::MainToolBar(QWidget* parent)
    : QWidget(parent)
    , bar_(new QToolBar(this))
    , timeFilter_(new TimeFilterButton(this))
{
    // A tool bar rather than a plain row: in a narrow window the buttons that do not fit move to its
    // extension menu instead of making the window wider than the screen.
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(bar_);
    bar_->setMovable(false);
    bar_->setFloatable(false);
    bar_->setAccessibleName(QStringLiteral("Commands"));
    bar_->addWidget(timeFilter_);
    newProduct_ = AddButton("New Product", "Add a new product to your shopping list", "list-add");
    comparePrices_ = AddButton(
        "Compare Prices", "Compare prices for your item at tens of online stores", "edit-find-replace");
    open_ = AddButton("Open In Browser", "Open the selected item", "document-open");
    details_ = AddButton(
        "Coupon Details", "View the selected item on the Quillmarch web site", "dialog-information");
    remove_ = AddButton("Delete Coupon", "Delete the selected item(s)", "edit-delete");
    find_ = AddButton("Find Coupons", "Find items that match your search criteria", "edit-find");
    print_ = AddButton("Print Coupons", "Print the current view", "document-print");
    refresh_ = AddButton("Refresh View", "Refresh the current view", "view-refresh");
    settings_ = AddButton(
        "Edit Settings", "View and edit the options for the Tallyhawk program", "preferences-system");
    home_ = AddButton("Tallyhawk Home", "Open the Quillmarch web site in a new browser window", "go-home");

    // Their dialogs are set from outside; until then a disabled button says so, a silent one would not.
    for (QToolButton* waiting : {newProduct_, comparePrices_}) {
        waiting->setEnabled(false);
    }
}

QToolButton* MainToolBar::AddButton(const char* caption, const char* toolTip, const char* iconName)
{
    auto* button = new QToolButton(this);
    button->setText(QString::fromLatin1(caption));
    button->setToolTip(QString::fromLatin1(toolTip));
    button->setAccessibleName(QString::fromLatin1(caption));
    button->setIcon(QIcon::fromTheme(QString::fromLatin1(iconName)));
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setAutoRaise(true);
    bar_->addWidget(button);
    return button;
}

void MainToolBar::ShowFolder(FolderKind folder)
{
    const FolderCaptions captions = CaptionsOf(folder);
    details_->setText(QString::fromLatin1(captions.details));
    open_->setText(QString::fromLatin1(captions.open));
    remove_->setText(QString::fromLatin1(captions.remove));
    find_->setText(QString::fromLatin1(captions.find));
    if (captions.print != nullptr) {
        print_->setText(QString::fromLatin1(captions.print));
    }
    for (QToolButton* button : {details_, open_, remove_, find_, print_}) {
        button->setAccessibleName(button->text());
    }
    find_->setEnabled(captions.findEnabled);
    details_->setEnabled(false);
    open_->setEnabled(false);
    remove_->setEnabled(false);
}

} // namespace tallyhawk
