#include "gui/app/main_tool_bar.h"

#include "gui/controls/theme_icon.h"
#include "gui/controls/time_filter_button.h"

#include <QAction>
#include <QHBoxLayout>
#include <QToolBar>
#include <QToolButton>

namespace tallyhawk
{

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
    bar_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    newProduct_ = AddCommand("actionNewProduct",
                             "New Product",
                             "Add a new product to your shopping list",
                             "list-add",
                             QKeySequence::New);
    comparePrices_ = AddCommand("actionComparePrices",
                                "Compare Prices",
                                "Compare prices for your item at tens of online stores",
                                "edit-find-replace");
    open_ = AddCommand("actionOpen", "Open In Browser", "Open the selected item", "document-open");
    details_ = AddCommand("actionDetails",
                          "Coupon Details",
                          "View the selected item on the Quillmarch web site",
                          "dialog-information");
    remove_ = AddCommand(
        "actionDelete", "Delete Coupon", "Delete the selected item(s)", "edit-delete", QKeySequence::Delete);
    // Delete acts in the list only (the list has its own key); the menus and the tip still show the key.
    remove_->setShortcutContext(Qt::WidgetShortcut);
    find_ = AddCommand("actionFind",
                       "Find Coupons",
                       "Find items that match your search criteria",
                       "edit-find",
                       // Ctrl+F goes to the search field above the list; the dialog keeps a key of its own.
                       QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));
    print_ = AddCommand(
        "actionPrint", "Print Coupons", "Print the current view", "document-print", QKeySequence::Print);
    refresh_ = AddCommand(
        "actionRefresh", "Refresh View", "Refresh the current view", "view-refresh", QKeySequence::Refresh);
    settings_ = AddCommand("actionEditSettings",
                           "Edit Settings",
                           "View and edit the options for the Tallyhawk program",
                           "preferences-system");
    home_ = AddCommand(
        "actionHome", "Tallyhawk Home", "Open the Quillmarch web site in a new browser window", "go-home");

    // A menu command: the toolbar has no room for it.
    markAllRead_ = new QAction(ThemeIcon("mail-mark-read"), QStringLiteral("Mark All Read"), this);
    markAllRead_->setObjectName(QStringLiteral("actionMarkAllRead"));
    markAllRead_->setToolTip(QStringLiteral("Mark every item of the current view as read"));
    markAllRead_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    markAllRead_->setShortcutContext(Qt::WindowShortcut);
    markAllRead_->setEnabled(false);
    addAction(markAllRead_);

    // Their dialogs are set from outside; until then a disabled command says so, a silent one would not.
    for (QAction* waiting : {newProduct_, comparePrices_}) {
        waiting->setEnabled(false);
    }
}

QAction* MainToolBar::AddCommand(const char* objectName,
                                 const char* caption,
                                 const char* toolTip,
                                 const char* iconName,
                                 const QKeySequence& shortcut)
{
    auto* action = new QAction(ThemeIcon(iconName), QString::fromLatin1(caption), this);
    action->setObjectName(QString::fromLatin1(objectName));
    QString tip = QString::fromLatin1(toolTip);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
        // The window's, wherever its focus is; a disabled action ignores its shortcut.
        action->setShortcutContext(Qt::WindowShortcut);
        tip += QStringLiteral(" (%1)").arg(shortcut.toString(QKeySequence::NativeText));
    }
    action->setToolTip(tip);
    bar_->addAction(action);
    if (QWidget* button = bar_->widgetForAction(action)) {
        button->setObjectName(QString::fromLatin1(objectName) + QStringLiteral("Button"));
    }
    return action;
}

void MainToolBar::ShowCaptions(const FolderCaptions& captions)
{
    details_->setText(QString::fromLatin1(captions.details));
    open_->setText(QString::fromLatin1(captions.open));
    remove_->setText(QString::fromLatin1(captions.remove));
    find_->setText(QString::fromLatin1(captions.find));
    if (captions.print != nullptr) {
        print_->setText(QString::fromLatin1(captions.print));
    }
    find_->setEnabled(captions.findEnabled);
    details_->setEnabled(false);
    open_->setEnabled(false);
    remove_->setEnabled(false);
}

} // namespace tallyhawk
