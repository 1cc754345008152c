#pragma once

#include "core/common/time_span.h"
#include "core/settings/settings.h"
#include "core/store/item_store.h"
#include "gui/app/folder_pane.h"
#include "gui/app/main_tool_bar.h"
#include "gui/app/main_window.h"
#include "gui/app/tray_controller.h"
#include "gui/app/view_pane.h"
#include "gui/views/item_list_model.h"
#include "support/mock_clock.h"
#include "support/scoped_current_folder.h"
#include "support/temp_dir.h"

#include <QAction>
#include <QStringList>
#include <QTest>
#include <QTreeView>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

namespace tallyhawk
{

// The main window's tests run in a data folder of their own, at a pinned time, with settings of their own.
// 2026-03-10 10:00:00 (ctest runs in UTC).
inline const std::int32_t kTen = *LocalTime(2026, 3, 10, 10, 0, 0);
inline const std::int32_t kTonight = *LocalTime(2026, 3, 10, 23, 59, 59);

// The window's child of type T named `objectName`; a failure when there is none.
template <typename T>
T* Named(const QObject& window, const char* objectName)
{
    auto* child = window.findChild<T*>(QString::fromLatin1(objectName));
    EXPECT_NE(child, nullptr) << objectName;
    return child;
}

// A command of the window, found by its object name as a user's script or a menu would.
inline QAction* Command(const QWidget& window, const char* objectName)
{
    return Named<QAction>(window, objectName);
}

// Waits until the window shows the rows of the load it asked for last and its writes came back; at
// once when nothing is running.
inline bool WaitForView(const MainWindow& window)
{
    if (!window.busy()) {
        return true;
    }
    const bool done = QTest::qWaitFor([&] { return !window.busy(); }, 10000);
    EXPECT_TRUE(done) << "the view's load never showed";
    return done;
}

// The list of rows.
inline QTreeView* ItemList(const MainWindow& window)
{
    return Named<QTreeView>(window, "itemList");
}

// The rows the list shows: its model, reached through the list.
inline ItemListModel* ListModel(const MainWindow& window)
{
    auto* model = qobject_cast<ItemListModel*>(ItemList(window)->model());
    EXPECT_NE(model, nullptr);
    return model;
}

// The folder pane (folder buttons and tree).
inline FolderPane* Pane(const MainWindow& window)
{
    return Named<FolderPane>(window, "folderPane");
}

// The row of commands.
inline MainToolBar* Bar(const MainWindow& window)
{
    return Named<MainToolBar>(window, "toolBar");
}

// The window's tray icon.
inline TrayController& Tray(const MainWindow& window)
{
    return *Named<TrayController>(window, "tray");
}

// Today's Summary.
inline SummaryPage* Summary(const MainWindow& window)
{
    return Named<SummaryPage>(window, "summaryPage");
}

// The right pane (the view's caption and the page shown).
inline ViewPane* View(const MainWindow& window)
{
    return Named<ViewPane>(window, "viewPane");
}

class MainWindowFixture : public ::testing::Test
{
protected:
    MainWindowFixture()
        : cwd_(dir_.path())
    {
        std::filesystem::create_directory(dir_.path() / "WebSearch");
        // The window tests start in Coupons & Deals; the summary page's tests turn this back on.
        {
            Settings settings(SettingsFile());
            settings.showSummary = 0;
            EXPECT_EQ(settings.Save(), 0);
        }
        // The window's update cycle starts with it: it reaches only 127.0.0.1, where port 1 refuses at
        // once. Tests that serve it give their own port.
        PointAtServer(1);
    }

    // The deal server and site the window's passes use.
    void PointAtServer(std::uint16_t dealPort, std::uint16_t sitePort = 1)
    {
        Settings settings(SettingsFile());
        settings.WriteText("ServerAddress", "127.0.0.1");
        settings.WriteNumber("ServerPort", dealPort);
        settings.WriteText("SiteUrl", "http://127.0.0.1:" + std::to_string(sitePort));
    }

    // Appends an item to a list file as the download pass would, arrived at `arrivedAt`.
    void AddItem(const char* file,
                 std::int32_t id,
                 std::int32_t kind,
                 const char* title,
                 std::int32_t arrivedAt,
                 std::int32_t storeId = 7,
                 const char* storeName = "Corner Shop",
                 std::int32_t categoryId = 3,
                 const char* categoryName = "Food")
    {
        clock_.Set(arrivedAt);
        ItemStore store;
        store.Open(file);
        ItemValues values;
        values.id = id;
        values.kind = kind;
        values.storeId = storeId;
        values.categoryId = categoryId;
        values.title = title;
        values.storeName = storeName;
        values.categoryName = categoryName;
        ASSERT_EQ(store.Append(values), kOk);
        clock_.Set(kTen);
    }

    // The settings of the window under test: a file of its own, never the user's.
    std::string SettingsFile() const { return dir_.File("settings.conf"); }

    std::unique_ptr<MainWindow> StartHidden()
    {
        auto window = std::make_unique<MainWindow>(SettingsFile());
        Tray(*window).OverrideAvailable(true);
        window->Start(true);
        WaitForView(*window);
        return window;
    }

    static QStringList TreeTexts(const QTreeWidget& tree)
    {
        QStringList texts;
        for (int root = 0; root < tree.topLevelItemCount(); ++root) {
            const QTreeWidgetItem* item = tree.topLevelItem(root);
            texts << item->text(0);
            for (int child = 0; child < item->childCount(); ++child) {
                texts << QStringLiteral("  ") + item->child(child)->text(0);
            }
        }
        return texts;
    }

    static QStringList FirstColumn(const MainWindow& window)
    {
        WaitForView(window);
        QStringList texts;
        const ItemListModel* model = ListModel(window);
        for (int row = 0; row < model->rowCount(); ++row) {
            texts << model->index(row, 0).data().toString();
        }
        return texts;
    }

    test::TempDir dir_;
    test::ScopedCurrentFolder cwd_;
    MockClock clock_{kTen};
};

} // namespace tallyhawk
