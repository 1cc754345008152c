#include "core/platform/browser_launcher.h"
#include "core/shopping/shopping_database.h"
#include "core/store/item_store.h"
#include "gui/app/folder_pane.h"
#include "gui/app/main_tool_bar.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"
#include "gui/app/view_tree.h"
#include "gui/app/window_update_host.h"
#include "gui/controls/time_filter_button.h"
#include "gui/views/item_list_model.h"
#include "support/preset_message_boxes.h"

#include <QApplication>
#include <QImage>
#include <QItemSelectionModel>
#include <QTest>
#include <QToolButton>
#include <QTreeView>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

// The list as the user meets it: the window shown and active, three unread deals in it.
class MainWindowSelectionTest : public MainWindowFixture
{
public:
    void SetUp() override
    {
        AddDeals();
        window_ = StartHidden();
        window_->SetBrowser(std::make_unique<BrowserLauncher>(
            [this](const std::vector<std::string>& argv) {
                opened_.push_back(argv.back());
                return true;
            },
            [](const std::vector<std::string>&) { return std::optional<std::string>(); }));
        window_->ShowFromTray();
        WaitForView(*window_);
        ASSERT_TRUE(QTest::qWaitForWindowActive(window_.get()));
        ASSERT_EQ(ListModel(*window_)->rowCount(), 3);
    }

    // Newest first in the list: 1, 2, 3; none read.
    void AddDeals()
    {
        std::filesystem::remove("deal.lst");
        AddItem("deal.lst", 3, 1, "Bread coupon", kTen - 50);
        AddItem("deal.lst", 2, 2, "Kettle", kTen - 40);
        AddItem("deal.lst", 1, 2, "Pocket Bluetooth speaker", kTen - 30);
    }

    // A deal the download pass brings while the window shows the list.
    void Arrive(std::int32_t id, const char* title) { AddItem("deal.lst", id, 2, title, kTen - 10); }

    QTreeView* List() const { return ItemList(*window_); }

    // The ids of the deals whose `read` is set in the file.
    static std::vector<std::int32_t> ReadInFile()
    {
        ItemStore check;
        check.Open("deal.lst");
        EXPECT_EQ(check.Load(), kOk);
        std::vector<std::int32_t> read;
        for (std::size_t i = 0; i < check.Count(); ++i) {
            if (check.At(i)->read != 0) {
                read.push_back(check.At(i)->id);
            }
        }
        return read;
    }

    static std::size_t CountInFile()
    {
        ItemStore check;
        check.Open("deal.lst");
        EXPECT_EQ(check.Load(), kOk);
        return check.Count();
    }

    bool AnyRowCommandEnabled() const
    {
        const MainToolBar* bar = Bar(*window_);
        return bar->open()->isEnabled() || bar->details()->isEnabled() || bar->remove()->isEnabled();
    }

    void ClickRow(int row, Qt::KeyboardModifiers modifiers = {})
    {
        const QRect rect = List()->visualRect(ListModel(*window_)->index(row, 0));
        QTest::mouseClick(List()->viewport(), Qt::LeftButton, modifiers, rect.center());
    }

    std::unique_ptr<MainWindow> window_;
    std::vector<std::string> opened_;
};

struct WayIn
{
    const char* name;
    std::function<void(MainWindowSelectionTest& test)> act;
};

// None of the ways the list gets refilled and then the focus, picks a row for the user. Each starts
// afresh with the focus in the folder pane; each ends with the focus coming into the list the way it
// does after that command: from a menu, a dialog, a command button that went off, the tray.
TEST_F(MainWindowSelectionTest, NoWayIntoTheListMarksARowOrEnablesItsCommands)
{
    const std::vector<WayIn> ways{
        {"Tab into the list",
         [](MainWindowSelectionTest& test) {
             test.List()->setFocus(Qt::TabFocusReason);
         }},
        {"F5",
         [](MainWindowSelectionTest& test) {
             QTest::keyClick(test.window_.get(), Qt::Key_F5);
             WaitForView(*test.window_);
             test.List()->setFocus(Qt::OtherFocusReason);
         }},
        {"a Find cleared",
         [](MainWindowSelectionTest& test) {
             test.window_->SetSearchPrompt([](const QString&) { return std::optional<QString>(QString()); });
             QTest::keyClick(test.window_.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
             WaitForView(*test.window_);
             test.List()->setFocus(Qt::ActiveWindowFocusReason);
         }},
        {"another time filter",
         [](MainWindowSelectionTest& test) {
             Bar(*test.window_)->timeFilter()->Choose(TimeSpan::kLast30Days);
             WaitForView(*test.window_);
             test.List()->setFocus(Qt::PopupFocusReason);
         }},
        {"items arriving",
         [](MainWindowSelectionTest& test) {
             test.Arrive(4, "Toaster");
             test.window_->findChild<WindowUpdateHost*>(QStringLiteral("updateHost"))->RefreshView(true);
             WaitForView(*test.window_);
             QApplication::processEvents();
             test.List()->setFocus(Qt::ActiveWindowFocusReason);
         }},
    };
    for (const WayIn& way : ways) {
        SCOPED_TRACE(way.name);
        AddDeals();
        window_->RefreshView(true);
        WaitForView(*window_);
        Pane(*window_)->tree()->setFocus(Qt::OtherFocusReason);
        ASSERT_FALSE(List()->hasFocus());

        way.act(*this);
        QApplication::processEvents();
        ASSERT_TRUE(List()->hasFocus());
        EXPECT_TRUE(ReadInFile().empty());
        EXPECT_TRUE(List()->selectionModel()->selectedRows().isEmpty());
        EXPECT_FALSE(AnyRowCommandEnabled());

        // Delete acts on nothing.
        const int rows = ListModel(*window_)->rowCount();
        const std::size_t stored = CountInFile();
        PresetMessageBoxes boxes;
        QTest::keyClick(List(), Qt::Key_Delete);
        window_->DeleteSelected();
        EXPECT_EQ(ListModel(*window_)->rowCount(), rows);
        EXPECT_EQ(CountInFile(), stored);
        EXPECT_TRUE(boxes.shown().empty());
    }
}

// The row the keyboard is on shows, although nothing is chosen yet.
TEST_F(MainWindowSelectionTest, TheKeyboardsRowIsDrawn)
{
    List()->setFocus(Qt::TabFocusReason);
    ASSERT_TRUE(List()->currentIndex().isValid());
    const QRect row = List()->visualRect(List()->currentIndex());
    const QImage onIt = List()->viewport()->grab(row).toImage();
    // The same row, the same data, the keyboard elsewhere.
    Pane(*window_)->tree()->setFocus(Qt::TabFocusReason);
    ASSERT_FALSE(List()->hasFocus());
    const QImage away = List()->viewport()->grab(row).toImage();
    EXPECT_NE(onIt, away);
}

struct Pick
{
    const char* name;
    std::function<void(MainWindowSelectionTest& test)> act;
    // The deal the pick lands on.
    std::int32_t id;
    bool opens;
};

TEST_F(MainWindowSelectionTest, OnlyAPickMarksTheRowRead)
{
    const std::vector<Pick> picks{
        {"a click", [](MainWindowSelectionTest& test) { test.ClickRow(1); }, 2, false},
        {"a keyboard move",
         [](MainWindowSelectionTest& test) {
             test.List()->setFocus(Qt::TabFocusReason);
             QTest::keyClick(test.List(), Qt::Key_Down);
         },
         2,
         false},
        {"Enter on the keyboard's row",
         [](MainWindowSelectionTest& test) {
             test.List()->setFocus(Qt::TabFocusReason);
             QTest::keyClick(test.List(), Qt::Key_Return);
         },
         1,
         true},
    };
    for (const Pick& pick : picks) {
        SCOPED_TRACE(pick.name);
        // Each pick starts from the same three unread deals, none chosen.
        AddDeals();
        window_->RefreshView(true);
        WaitForView(*window_);
        // A refresh keeps the row chosen before; the user leaves it.
        List()->selectionModel()->clear();
        Pane(*window_)->tree()->setFocus(Qt::OtherFocusReason);
        opened_.clear();

        pick.act(*this);
        WaitForView(*window_);
        EXPECT_EQ(ReadInFile(), std::vector<std::int32_t>{pick.id});
        ASSERT_EQ(List()->selectionModel()->selectedRows().size(), 1);
        EXPECT_EQ(ListModel(*window_)->key(List()->selectionModel()->selectedRows().front().row()).id,
                  pick.id);
        EXPECT_TRUE(Command(*window_, "actionDelete")->isEnabled());
        EXPECT_EQ(opened_.size(), pick.opens ? 1u : 0u);
    }
}

TEST_F(MainWindowSelectionTest, OneRowAtATimeAndCtrlClickUnchoosesIt)
{
    ClickRow(0);
    ClickRow(2, Qt::ControlModifier);
    ASSERT_EQ(List()->selectionModel()->selectedRows().size(), 1);
    EXPECT_EQ(List()->selectionModel()->selectedRows().front().row(), 2);
    QTest::keyClick(List(), Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(List()->selectionModel()->selectedRows().size(), 1);

    // Unchosen again: the commands go off and Delete does nothing.
    const int chosen = List()->selectionModel()->selectedRows().front().row();
    ClickRow(chosen, Qt::ControlModifier);
    EXPECT_TRUE(List()->selectionModel()->selectedRows().isEmpty());
    EXPECT_FALSE(AnyRowCommandEnabled());
    QTest::keyClick(List(), Qt::Key_Delete);
    EXPECT_EQ(CountInFile(), 3u);
}

} // namespace
} // namespace tallyhawk
