#include "compare_fixture.h"
#include "gui/compare/compare_prices_dialog.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace tallyhawk
{
namespace
{

using test::CategoryXml;

class ComparePricesDialogTest : public test::CompareFixture
{ };

TEST_F(ComparePricesDialogTest, ListsTheCategoriesByNameAndSelectsTheOneNamed)
{
    WriteConfiguration({CategoryXml(7, "Toys"), CategoryXml(3, "Books"), CategoryXml(5, "Garden")},
                       {Agent(1, "3", "fast")});
    ComparePricesDialog dialog(spider, QStringLiteral("blue kite"), QStringLiteral("garden"));
    dialog.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Compare Prices"));
    EXPECT_EQ(dialog.nameEdit()->text(), QStringLiteral("blue kite"));
    QComboBox* box = dialog.categoryBox();
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->itemText(0), QStringLiteral("Books"));
    EXPECT_EQ(box->itemText(1), QStringLiteral("Garden"));
    EXPECT_EQ(box->itemText(2), QStringLiteral("Toys"));
    EXPECT_EQ(box->currentText(), QStringLiteral("Garden"));

    // Enter searches with the name and the chosen category.
    box->setCurrentIndex(2);
    QTest::keyClick(dialog.nameEdit(), Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.itemName(), QStringLiteral("blue kite"));
    EXPECT_EQ(dialog.categoryId(), 7);
}

TEST_F(ComparePricesDialogTest, RefusesAMissingNameOrCategoryAndStaysOpen)
{
    WriteConfiguration({CategoryXml(1, "Kitchen")}, {Agent(1, "1", "fast")});
    ComparePricesDialog dialog(spider, QString(), QString());
    dialog.show();
    QCoreApplication::processEvents();
    // No category named: nothing is selected.
    EXPECT_EQ(dialog.categoryBox()->currentIndex(), -1);

    QSignalSpy finished(&dialog, &QDialog::finished);
    dialog.searchButton()->click();
    EXPECT_EQ(boxes.lastText(),
              QStringLiteral("You must first enter the item name for the item that you want to search for."));
    EXPECT_EQ(boxes.shown().back().icon, QMessageBox::Warning);
    EXPECT_EQ(boxes.shown().back().title, QStringLiteral("Tallyhawk"));

    // Spaces alone are no name either.
    dialog.nameEdit()->setText(QStringLiteral("   "));
    dialog.searchButton()->click();
    EXPECT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.lastText(),
              QStringLiteral("You must first enter the item name for the item that you want to search for."));

    dialog.nameEdit()->setText(QStringLiteral(" teapot "));
    dialog.searchButton()->click();
    EXPECT_EQ(
        boxes.lastText(),
        QStringLiteral("You must first select the item category for the item that you want to search for."));
    EXPECT_EQ(finished.count(), 0);
    EXPECT_TRUE(dialog.isVisible());

    dialog.categoryBox()->setCurrentIndex(0);
    dialog.searchButton()->click();
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.itemName(), QStringLiteral("teapot"));
    EXPECT_EQ(dialog.categoryId(), 1);
}

TEST_F(ComparePricesDialogTest, EscapeCancels)
{
    WriteConfiguration({CategoryXml(1, "Kitchen")}, {});
    ComparePricesDialog dialog(spider, QStringLiteral("teapot"), QStringLiteral("Kitchen"));
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_FALSE(dialog.isVisible());
}

TEST_F(ComparePricesDialogTest, TellsOfAMissingOrEmptyConfigurationOnceItIsUp)
{
    {
        ComparePricesDialog dialog(spider, QString(), QString());
        EXPECT_TRUE(boxes.shown().empty());
        dialog.show();
        ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.shown().size() == 1u; }, 2000));
        EXPECT_EQ(
            boxes.lastText(),
            QStringLiteral("There was an error while loading the web search agents configuration file."));
        EXPECT_EQ(dialog.categoryBox()->count(), 0);
        EXPECT_TRUE(dialog.isVisible());
    }
    boxes.Clear();
    WriteConfiguration({}, {Agent(1, "1", "fast")});
    ComparePricesDialog dialog(spider, QString(), QString());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return boxes.shown().size() == 1u; }, 2000));
    EXPECT_EQ(boxes.lastText(),
              QStringLiteral(
                  "There are no search categories defined in the web search agents configuration file."));
}

TEST_F(ComparePricesDialogTest, TabFollowsTheFieldsThenTheButtons)
{
    WriteConfiguration({CategoryXml(1, "Kitchen")}, {});
    ComparePricesDialog dialog(spider, QString(), QString());
    EXPECT_TRUE(dialog.searchButton()->isDefault());
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.nameEdit()->setFocus();
    std::vector<QWidget*> order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order.push_back(QApplication::focusWidget());
    }
    EXPECT_EQ(order,
              (std::vector<QWidget*>{
                  dialog.categoryBox(), dialog.searchButton(), dialog.cancelButton(), dialog.nameEdit()}));
    for (QWidget* control : {static_cast<QWidget*>(dialog.nameEdit()),
                             static_cast<QWidget*>(dialog.categoryBox()),
                             static_cast<QWidget*>(dialog.searchButton()),
                             static_cast<QWidget*>(dialog.cancelButton())}) {
        EXPECT_FALSE(control->accessibleName().isEmpty());
    }
}

} // namespace
} // namespace tallyhawk
