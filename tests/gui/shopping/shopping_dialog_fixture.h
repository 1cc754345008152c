#pragma once

#include "core/common/status.h"
#include "core/common/time_span.h"
#include "core/compare/result_list.h"
#include "core/compare/search_index.h"
#include "core/platform/browser_launcher.h"
#include "core/store/item_store.h"
#include "support/mock_clock.h"
#include "support/preset_message_boxes.h"
#include "support/scoped_current_folder.h"
#include "support/temp_dir.h"

#include <QSettings>
#include <QStringList>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

// Readable texts in test failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace tallyhawk
{

// 2026-03-10 10:00:00 (ctest runs in UTC).
inline const std::int32_t kTen = *LocalTime(2026, 3, 10, 10, 0, 0);

// The shopping dialogs' tests run in a data folder of their own as the current folder, at a pinned time,
// with message boxes answered from a preset, a layout file of their own and a browser that only records.
class ShoppingDialogFixture : public ::testing::Test
{
protected:
    ShoppingDialogFixture()
        : cwd_(dir_.path())
        , browser_(
              [this](const std::vector<std::string>& argv) {
                  started_.push_back(argv);
                  return true;
              },
              [](const std::vector<std::string>&) { return std::optional<std::string>(); })
    {
        std::filesystem::create_directory(dir_.path() / "WebSearch");
        std::filesystem::create_directory(dir_.path() / "config");
        QSettings::setPath(
            QSettings::IniFormat, QSettings::UserScope, QString::fromStdString(dir_.File("config")));
    }

    // Appends an item to "deal.lst" as the download pass would, arrived at `arrivedAt`.
    void AddItem(std::int32_t id,
                 std::int32_t kind,
                 const char* title,
                 std::int32_t arrivedAt,
                 std::int32_t storeId,
                 const char* storeName,
                 const char* extra = "",
                 std::int32_t expires = 0)
    {
        clock_.Set(arrivedAt);
        ItemStore store;
        store.Open("deal.lst");
        ItemValues values;
        values.id = id;
        values.kind = kind;
        values.storeId = storeId;
        values.title = title;
        values.storeName = storeName;
        values.extra = extra;
        values.date = expires;
        ASSERT_EQ(store.Append(values), kOk);
        clock_.Set(kTen);
    }

    // Saves a comparison of `text` with offers of these names and prices; its id.
    static std::int32_t SaveComparison(const std::string& text,
                                       const std::vector<std::pair<std::string, double>>& offers)
    {
        ResultList results;
        std::int32_t id = 0;
        for (const auto& [name, price] : offers) {
            PriceResult offer;
            offer.id = ++id;
            offer.name = name;
            offer.price = price;
            offer.siteName = name + " Store";
            offer.link = "https://shop.example/" + std::to_string(id);
            offer.text = "About " + name;
            results.Insert(offer);
        }
        SearchIndex index;
        return index.SaveSearch(0, text, results);
    }

    static QStringList Texts(const QTreeWidget& list)
    {
        QStringList texts;
        for (int row = 0; row < list.topLevelItemCount(); ++row) {
            texts << list.topLevelItem(row)->text(0);
        }
        return texts;
    }

    static QTreeWidgetItem* Row(const QTreeWidget& list, const QString& text)
    {
        for (int row = 0; row < list.topLevelItemCount(); ++row) {
            if (list.topLevelItem(row)->text(0) == text) {
                return list.topLevelItem(row);
            }
        }
        return nullptr;
    }

    test::TempDir dir_;
    test::ScopedCurrentFolder cwd_;
    MockClock clock_{kTen};
    PresetMessageBoxes boxes_;
    std::vector<std::vector<std::string>> started_;
    BrowserLauncher browser_;
};

} // namespace tallyhawk
