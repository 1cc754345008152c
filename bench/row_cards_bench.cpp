// Painting 1,000 rows of each kind as cards against painting the same texts, in the same boxes and
// fonts, with plain drawText calls: what the cards add is making the texts from the records, eliding
// and the frame.
#include "bench_support.h"
#include "core/common/time_span.h"
#include "core/compare/result_list.h"
#include "core/shopping/shopping_record.h"
#include "core/store/item_record.h"
#include "deal_file.h"
#include "gui/app/row_card_delegate.h"
#include "gui/views/item_list_model.h"
#include "gui/views/list_rows.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QStyleOptionViewItem>

#include <benchmark/benchmark.h>

#include <array>
#include <cstdlib>
#include <string>
#include <vector>

namespace
{

using namespace tallyhawk;

constexpr int kRows = 1000;
// A list window shows about this many rows at once; the rows take turns on them.
constexpr int kVisibleRows = 20;
constexpr int kCard = RowCardDelegate::kCardColumnWidth;
constexpr int kSide = RowCardDelegate::kSideColumnWidth;

std::string Text(unsigned seed, int words)
{
    return bench::Words(seed, words);
}

ListRows Items()
{
    std::vector<ItemRecord> items;
    for (int i = 0; i < kRows; ++i) {
        const std::string title
            = std::string("Deal ").append(std::to_string(i)).append(" ").append(Text(i, 4));
        const std::string description = Text(i + 7, 6 + i % 30);
        const std::string extra
            = i % 3 == 0 ? std::string() : std::string("$").append(std::to_string(i % 90)).append(" off");
        const std::string store = "Store " + Text(i + 3, 1);
        const std::string category = Text(i + 5, 2);
        ItemValues values;
        values.id = i + 1;
        values.kind = 1 + i % 3;
        values.date = i % 10 == 0 ? 0 : *LocalTime(2026, 1, 1 + i % 28, 12, 0, 0);
        values.hot = i % 17 == 0 ? 1 : 0;
        values.title = title;
        values.description = description;
        values.extra = extra;
        values.storeName = store;
        values.categoryName = category;
        ItemRecord record = ItemRecord::Make(values, 1000);
        record.read = i % 2;
        items.push_back(record);
    }
    return ListRows::FromItems(std::move(items));
}

ListRows Offers()
{
    ResultList offers;
    for (int i = 0; i < kRows; ++i) {
        PriceResult offer;
        offer.id = i + 1;
        offer.name = "Offer " + Text(i, 5);
        if (i % 4 != 0) {
            offer.text = Text(i + 11, 8 + i % 25);
        }
        offer.siteName = "Site " + Text(i + 2, 1);
        offer.price = i % 9 == 0 ? 0.0 : 5.0 + i * 0.37;
        offers.Insert(offer);
    }
    return ListRows::FromOffers(offers);
}

ListRows Shopping(bool purchases)
{
    IdNameList stores;
    IdNameList categories;
    for (int id = 1; id <= 40; ++id) {
        stores.AddOrCount(id, "Store " + Text(id, 1), 1);
        categories.AddOrCount(id, Text(id + 100, 2), 1);
    }
    std::vector<ShoppingRecord> records;
    for (int i = 0; i < kRows; ++i) {
        ShoppingValues values;
        values.name = (purchases ? "Bought " : "Product ") + Text(i, 3);
        values.notes = Text(i + 13, 3 + i % 20);
        values.store.id = 1 + i % 45; // a few not in the list: "Any Store"
        values.category.id = 1 + i % 43;
        values.quantity = i % 3 == 0 ? 0 : i % 7 + 1;
        values.pricePerUnit = i % 5 == 0 ? 0 : 0.99 + i % 50;
        values.startDate = purchases || i % 2 ? *LocalTime(2026, 2, 1 + i % 28, 1, 0, 0) : 0;
        records.push_back(ShoppingRecord::Make(values, i + 1));
    }
    return ListRows::FromShopping(std::move(records), std::move(stores), std::move(categories));
}

ListRows RowsOfKind(int kind)
{
    switch (kind) {
    case 0:
        return Items();
    case 1:
        return Offers();
    case 2:
        return Shopping(false);
    default:
        return Shopping(true);
    }
}

const char* const kKindNames[] = {"items", "offers", "products", "purchases"};

struct Canvas
{
    QFont font = QApplication::font();
    int rowHeight = RowCardDelegate::RowHeight(font);
    QImage image{kCard + kSide,
                 RowCardDelegate::RowHeight(QApplication::font()) * kVisibleRows,
                 QImage::Format_ARGB32_Premultiplied};

    QRect Cell(int row, int column) const
    {
        const int top = (row % kVisibleRows) * rowHeight;
        return column == 0 ? QRect(0, top, kCard, rowHeight) : QRect(kCard, top, kSide, rowHeight);
    }
};

void BM_Cards(benchmark::State& state)
{
    ItemListModel model;
    model.Reset(RowsOfKind(static_cast<int>(state.range(0))));
    Canvas canvas;
    RowCardDelegate delegate;
    QStyleOptionViewItem option;
    option.font = canvas.font;
    option.palette = QApplication::palette();
    for (auto _ : state) {
        QPainter painter(&canvas.image);
        for (int row = 0; row < kRows; ++row) {
            option.state = QStyle::State_Enabled | (row == 3 ? QStyle::State_Selected : QStyle::State_None);
            for (int column = 0; column < 2; ++column) {
                option.rect = canvas.Cell(row, column);
                option.viewItemPosition
                    = column == 0 ? QStyleOptionViewItem::Beginning : QStyleOptionViewItem::End;
                delegate.paint(&painter, option, model.index(row, column));
            }
        }
    }
    state.SetLabel(kKindNames[state.range(0)]);
}
BENCHMARK(BM_Cards)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// The same five texts of each row, made beforehand, each drawn by one drawText in its font and colour.
void BM_PlainDrawText(benchmark::State& state)
{
    ItemListModel model;
    model.Reset(RowsOfKind(static_cast<int>(state.range(0))));
    struct RowTexts
    {
        QString title, detail, corner, side, sideDetail;
    };
    std::vector<RowTexts> texts;
    for (int row = 0; row < kRows; ++row) {
        texts.push_back({model.index(row, 0).data().toString(),
                         model.index(row, 0).data(ItemListModel::DetailRole).toString(),
                         model.index(row, 0).data(ItemListModel::CornerRole).toString(),
                         model.index(row, 1).data().toString(),
                         model.index(row, 1).data(ItemListModel::DetailRole).toString()});
    }
    Canvas canvas;
    QFont bold = canvas.font;
    bold.setBold(true);
    QFont boldUnderlined = bold;
    boldUnderlined.setUnderline(true);
    const QPalette palette = QApplication::palette();
    const QPen text(palette.color(QPalette::Text));
    const QPen red(QColor(200, 0, 0));
    const int line = canvas.rowHeight / 3;
    const int single = Qt::AlignVCenter | Qt::TextSingleLine;
    const int wrapped = Qt::AlignTop | Qt::TextWordWrap;
    for (auto _ : state) {
        QPainter painter(&canvas.image);
        for (int row = 0; row < kRows; ++row) {
            const RowTexts& row_ = texts[static_cast<std::size_t>(row)];
            const QRect card = canvas.Cell(row, 0);
            const QRect side = canvas.Cell(row, 1);
            painter.setFont(boldUnderlined);
            painter.setPen(text);
            painter.drawText(QRect(card.left() + 4, card.top() + 2, kCard - 114, line), single, row_.title);
            painter.setFont(bold);
            painter.setPen(red);
            painter.drawText(
                QRect(card.right() - 104, card.top() + 2, 100, line), single | Qt::AlignRight, row_.corner);
            painter.setFont(canvas.font);
            painter.setPen(text);
            painter.drawText(
                QRect(card.left() + 4, card.top() + line + 5, kCard - 8, 2 * line), wrapped, row_.detail);
            painter.setFont(bold);
            painter.drawText(QRect(side.left() + 2, side.top() + 2, kSide - 6, line), single, row_.side);
            painter.setFont(canvas.font);
            painter.drawText(
                QRect(side.left() + 2, side.top() + line + 5, kSide - 6, 2 * line), wrapped, row_.sideDetail);
        }
    }
    state.SetLabel(kKindNames[state.range(0)]);
}
BENCHMARK(BM_PlainDrawText)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    std::vector<bench::Ratio> ratios;
    for (int kind = 0; kind < 4; ++kind) {
        const std::string range = std::string("/").append(std::to_string(kind));
        ratios.push_back({std::string("row_cards_").append(kKindNames[kind]).append("_vs_drawText"),
                          std::string("BM_Cards").append(range),
                          std::string("BM_PlainDrawText").append(range),
                          2.0});
    }
    return bench::RunWithRatios(argc, argv, ratios);
}
