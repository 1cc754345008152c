#include "core/shopping/shopping_database.h"
#include "core/store/id_name_list.h"
#include "gui/app/main_tool_bar.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"
#include "gui/compare/compare_prices_dialog.h"
#include "gui/shopping/product_editor.h"
#include "gui/views/item_list_model.h"
#include "support/compare_site.h"
#include "support/preset_message_boxes.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <utility>
#include <variant>
#include <vector>

namespace tallyhawk
{
namespace
{

class MainWindowDialogsTest : public MainWindowFixture
{
protected:
    // Runs `step` on the modal dialog that the next command opens.
    template <typename Dialog, typename Step>
    static void OnNextDialog(Step step)
    {
        QTimer::singleShot(0, [step] {
            QWidget* modal = QApplication::activeModalWidget();
            auto* dialog = qobject_cast<Dialog*>(modal);
            EXPECT_NE(dialog, nullptr) << (modal != nullptr ? modal->metaObject()->className() : "none");
            if (dialog != nullptr) {
                step(*dialog);
            }
            // A dialog the step left open would hold the test for ever.
            if (modal != nullptr && modal->isVisible()) {
                ADD_FAILURE() << "the dialog stayed open";
                QTimer::singleShot(0, modal, [modal] { modal->close(); });
            }
        });
    }
};

// The window's commands with the program's own dialogs behind them: New Product saves into the
// Shopping List that the window shows, Open edits the chosen product, Compare Prices cancelled
// leaves the folder as it was.
TEST_F(MainWindowDialogsTest, NewProductOpenAndComparePricesRunTheProgramDialogs)
{
    PresetMessageBoxes boxes;
    auto window = StartHidden();
    EXPECT_FALSE(Command(*window, "actionNewProduct")->isEnabled());
    window->UseProgramDialogs();
    ASSERT_TRUE(Command(*window, "actionNewProduct")->isEnabled());
    EXPECT_TRUE(Command(*window, "actionComparePrices")->isEnabled());

    OnNextDialog<ProductEditor>([](ProductEditor& editor) {
        editor.nameEdit()->setText(QStringLiteral("Coffee beans"));
        QComboBox* type = editor.purchaseTypeBox();
        type->setCurrentIndex(type->findText(QStringLiteral("One Time")));
        editor.okButton()->click();
    });
    Command(*window, "actionNewProduct")->trigger();
    WaitForView(*window);
    EXPECT_EQ(boxes.lastText(), QString());
    EXPECT_EQ(window->folder(), FolderKind::ShoppingList);
    ASSERT_EQ(ListModel(*window)->rowCount(), 1);
    const RowRecord row = ListModel(*window)->record(0);
    ASSERT_TRUE(std::holds_alternative<const ShoppingRecord*>(row));
    EXPECT_EQ(std::get<const ShoppingRecord*>(row)->name(), "Coffee beans");

    ItemList(*window)->setCurrentIndex(ListModel(*window)->index(0, 0));
    WaitForView(*window);
    ASSERT_TRUE(Command(*window, "actionOpen")->isEnabled());
    QString shown;
    OnNextDialog<ProductEditor>([&shown](ProductEditor& editor) {
        shown = editor.nameEdit()->text();
        editor.nameEdit()->setText(QStringLiteral("Coffee beans, dark"));
        editor.okButton()->click();
    });
    window->OpenSelected();
    WaitForView(*window);
    EXPECT_EQ(shown, QStringLiteral("Coffee beans"));
    ShoppingDatabase file;
    file.Open();
    EXPECT_EQ(file.CountRecords(ShoppingDatabase::kProducts), 1);
    EXPECT_EQ(ListModel(*window)->index(0, 0).data().toString(), QStringLiteral("Coffee beans, dark"));

    OnNextDialog<ComparePricesDialog>([](ComparePricesDialog& dialog) { dialog.reject(); });
    Command(*window, "actionComparePrices")->trigger();
    WaitForView(*window);
    // Cancelled: the view stays as it was.
    EXPECT_EQ(window->folder(), FolderKind::ShoppingList);
    EXPECT_EQ(View(*window)->caption(), QStringLiteral("Shopping List"));
    EXPECT_EQ(FirstColumn(*window), QStringList{QStringLiteral("Coffee beans, dark")});
}

// The agents' categories are a list of their own: the one the editor's category names is chosen, not
// the one that happens to have the same id.
TEST_F(MainWindowDialogsTest, ComparePricesFromTheEditorChoosesTheCategoryOfTheSameName)
{
    PresetMessageBoxes boxes;
    {
        IdNameList categories;
        categories.AddOrCount(2, "Groceries", 0);
        categories.AddOrCount(4, "Garden", 0);
        ASSERT_EQ(categories.Save("category.lst"), kOk);
    }
    test::WriteFileBytes(dir_.File("webspider.xml"),
                         test::ConfigurationXml({test::CategoryXml(2, "Electronics"),
                                                 test::CategoryXml(9, "GROCERIES"),
                                                 test::CategoryXml(4, "Toys")},
                                                {}));
    auto window = StartHidden();
    window->UseProgramDialogs();

    // The editor's category as typed, and which agent category the comparison then shows first.
    const std::vector<std::pair<QString, QString>> cases{
        {QStringLiteral("Groceries"), QStringLiteral("GROCERIES")},
        {QStringLiteral(" groceries "), QStringLiteral("GROCERIES")},
        {QStringLiteral("Garden"), QString()},
        {QString(), QString()},
    };
    for (const auto& [category, expected] : cases) {
        SCOPED_TRACE(category.toStdString());
        QString chosen = QStringLiteral("not asked");
        OnNextDialog<ProductEditor>([&](ProductEditor& editor) {
            editor.nameEdit()->setText(QStringLiteral("Coffee beans"));
            editor.categoryBox()->setEditText(category);
            OnNextDialog<ComparePricesDialog>([&chosen](ComparePricesDialog& dialog) {
                chosen = dialog.categoryBox()->currentText();
                dialog.reject();
            });
            editor.comparePricesButton()->click();
            WaitForView(*window);
            editor.cancelButton()->click();
            WaitForView(*window);
        });
        Command(*window, "actionNewProduct")->trigger();
        WaitForView(*window);
        EXPECT_EQ(chosen, expected);
    }
}

// A product saved with its first due day ahead of every time filter's end is not lost from sight: the
// window says when it is due and shows it on request.
TEST_F(MainWindowDialogsTest, AProductSavedOutOfViewIsToldAndShownOnRequest)
{
    PresetMessageBoxes boxes;
    auto window = StartHidden();
    window->UseProgramDialogs();
    OnNextDialog<ProductEditor>([](ProductEditor& editor) {
        editor.nameEdit()->setText(QStringLiteral("Coffee beans"));
        QComboBox* type = editor.purchaseTypeBox();
        type->setCurrentIndex(type->findText(QStringLiteral("Every Month")));
        editor.dayBox()->setCurrentIndex(editor.dayBox()->findText(QStringLiteral("16")));
        editor.okButton()->click();
    });
    Command(*window, "actionNewProduct")->trigger();
    WaitForView(*window);
    EXPECT_EQ(boxes.lastText(), QString());
    ASSERT_EQ(window->folder(), FolderKind::ShoppingList);
    EXPECT_EQ(ListModel(*window)->rowCount(), 0);

    auto* notice = window->findChild<QWidget*>(QStringLiteral("dueNotice"));
    ASSERT_NE(notice, nullptr);
    EXPECT_TRUE(notice->isVisibleTo(window.get()));
    auto* text = notice->findChild<QLabel*>(QStringLiteral("dueNoticeText"));
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->text(), QStringLiteral("Coffee beans is due on 16 Mar 2026."));

    auto* show = notice->findChild<QPushButton*>(QStringLiteral("dueNoticeShow"));
    ASSERT_NE(show, nullptr);
    show->click();
    WaitForView(*window);
    ASSERT_EQ(ListModel(*window)->rowCount(), 1);
    EXPECT_EQ(ListModel(*window)->index(0, 0).data().toString(), QStringLiteral("Coffee beans"));
    EXPECT_TRUE(ItemList(*window)->selectionModel()->isRowSelected(0, {}));
    EXPECT_FALSE(notice->isVisibleTo(window.get()));
    EXPECT_TRUE(View(*window)->caption().contains(QStringLiteral("16 Mar 2026")));

    // The time filter brings the views back to their own spans.
    window->ChooseTimeSpan(TimeSpan::kLast7Days);
    WaitForView(*window);
    EXPECT_EQ(ListModel(*window)->rowCount(), 0);
}

// A product saved inside the view is shown chosen, with no notice.
TEST_F(MainWindowDialogsTest, AProductSavedInViewIsChosen)
{
    PresetMessageBoxes boxes;
    auto window = StartHidden();
    window->UseProgramDialogs();
    for (const char* name : {"Tea", "Milk"}) {
        OnNextDialog<ProductEditor>([name](ProductEditor& editor) {
            editor.nameEdit()->setText(QString::fromLatin1(name));
            QComboBox* type = editor.purchaseTypeBox();
            type->setCurrentIndex(type->findText(QStringLiteral("One Time")));
            editor.okButton()->click();
        });
        Command(*window, "actionNewProduct")->trigger();
        WaitForView(*window);
    }
    ASSERT_EQ(ListModel(*window)->rowCount(), 2);
    const QModelIndexList chosen = ItemList(*window)->selectionModel()->selectedRows();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.front().data().toString(), QStringLiteral("Milk"));
    auto* notice = window->findChild<QWidget*>(QStringLiteral("dueNotice"));
    EXPECT_TRUE(notice == nullptr || !notice->isVisibleTo(window.get()));
}

} // namespace
} // namespace tallyhawk
