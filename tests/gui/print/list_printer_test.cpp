#include "core/compare/result_list.h"
#include "core/compare/search_record.h"
#include "core/shopping/shopping_record.h"
#include "core/store/id_name_list.h"
#include "core/store/item_record.h"
#include "gui/app/main_tool_bar.h"
#include "gui/app/main_window.h"
#include "gui/app/main_window_fixture.h"
#include "gui/print/list_printer.h"
#include "gui/views/item_list_model.h"
#include "gui/views/list_rows.h"
#include "support/mock_clock.h"
#include "support/preset_message_boxes.h"
#include "support/temp_dir.h"

#include <QApplication>
#include <QPageLayout>
#include <QPageSize>
#include <QPrintDialog>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

const QString kDocument = QStringLiteral("Tallyhawk Shopping Assistant");
// 2024-03-05 14:07:09 UTC, the tests' time zone.
constexpr std::int64_t kPrintTime = 1709647629;
// In ISO 8601, which no reader takes for another date.
const QRegularExpression kPrintTimeText(QStringLiteral("2024-03-05 +14:07:09"));

// A test page in whole screen pixels: at 96 dots per inch every height is the one asked for, so
// 12-pixel title and row lines and a 10-pixel footer. On a page 800 pixels high the title band ends
// at 48 and rows start at 68; a block must end by 800 - 14 - 10 = 776 and takes 60 + 6 pixels, so
// ten rows fit (the tenth starts at 662) and the eleventh starts a page.
constexpr int kRowsPerPage = 10;

class ListPrinterTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        pdftotext_ = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        if (pdftotext_.isEmpty()) {
            GTEST_SKIP() << "pdftotext is not installed (scripts/install-deps installs poppler-utils)";
        }
    }

    // A PDF printer on `file` with a page of `width` x `height` screen pixels and no margins.
    static void SetUpPrinter(QPrinter& printer, const std::string& file, int width = 600, int height = 800)
    {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(file));
        printer.setResolution(96);
        printer.setPageSize(QPageSize(QSizeF(width * 0.75, height * 0.75), QPageSize::Point));
        printer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Point);
    }

    // Prints the model's rows to a PDF and gives the text of each page; nothing when no file came out.
    std::optional<QStringList> PrintPages(const ItemListModel& model,
                                          const IdNameList& stores = {},
                                          int width = 600,
                                          int height = 800,
                                          const PrintScope& scope = {})
    {
        const std::string file = dir_.File("list-" + std::to_string(++prints_) + ".pdf");
        QPrinter printer(QPrinter::HighResolution);
        SetUpPrinter(printer, file, width, height);
        EXPECT_EQ(printer.logicalDpiY(), 96);
        EXPECT_EQ(printer.height(), height);
        ListPrinter listPrinter(model, stores, scope);
        const int printed = listPrinter.PrintTo(printer, kDocument);
        if (!std::filesystem::exists(file)) {
            EXPECT_EQ(printed, 0);
            return std::nullopt;
        }
        EXPECT_EQ(printed, 1);
        return PdfPages(file);
    }

    QStringList PdfPages(const std::string& file) const
    {
        QProcess process;
        process.start(pdftotext_,
                      {QStringLiteral("-layout"),
                       QStringLiteral("-enc"),
                       QStringLiteral("UTF-8"),
                       QString::fromStdString(file),
                       QStringLiteral("-")});
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0);
        // Every page ends with a form feed.
        QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\f'));
        EXPECT_TRUE(pages.back().trimmed().isEmpty());
        pages.removeLast();
        return pages;
    }

    // Each page has the title band and its own number, and the one print time.
    static void ExpectBands(const QStringList& pages)
    {
        for (qsizetype page = 0; page < pages.size(); ++page) {
            SCOPED_TRACE(page + 1);
            EXPECT_EQ(pages[page].count(kDocument), 1);
            const QRegularExpression number(QStringLiteral("Page : (\\d+)"));
            const auto match = number.match(pages[page]);
            ASSERT_TRUE(match.hasMatch());
            EXPECT_EQ(match.captured(1).toLongLong(), page + 1);
            EXPECT_EQ(pages[page].count(kPrintTimeText), 1);
        }
    }

    static std::vector<ItemRecord> Items(int count)
    {
        std::vector<ItemRecord> items;
        for (int i = 1; i <= count; ++i) {
            ItemValues values;
            values.id = i;
            values.kind = 1;
            const std::string title = "Coupon " + std::to_string(i);
            values.title = title;
            values.storeName = "Corner Shop";
            values.extra = "Ends Friday";
            values.description = "Save on bread";
            items.push_back(ItemRecord::Make(values, 0));
        }
        return items;
    }

    static std::vector<ShoppingRecord> Products(int count, std::int32_t storeId)
    {
        std::vector<ShoppingRecord> records;
        for (int i = 1; i <= count; ++i) {
            ShoppingValues values;
            values.name = "Product " + std::to_string(i);
            values.notes = "two packs";
            values.store = {storeId, {}, 0};
            values.quantity = 2.5;
            values.pricePerUnit = 3.99;
            records.push_back(ShoppingRecord::Make(values, i));
        }
        return records;
    }

    static ResultList Offers(int count)
    {
        ResultList offers;
        for (int i = 1; i <= count; ++i) {
            PriceResult offer;
            offer.id = i;
            offer.siteName = "Big Store";
            offer.name = "Kettle " + std::to_string(i);
            offer.price = i + 0.5;
            offer.link = "http://127.0.0.1/kettle";
            offer.text = "Steel";
            offers.Insert(offer);
        }
        return offers;
    }

    MockClock clock_{kPrintTime};
    test::TempDir dir_;
    QString pdftotext_;
    int prints_ = 0;
};

int PagesFor(int rows)
{
    return (rows + kRowsPerPage - 1) / kRowsPerPage;
}

TEST_F(ListPrinterTest, AnEmptyListStartsNoJobAndWritesNoFile)
{
    ItemListModel model;
    EXPECT_EQ(PrintPages(model), std::nullopt);
    ListPrinter printer(model, {});
    EXPECT_TRUE(printer.FirstPage(QSize(100, 100), 96, kDocument).isNull());
}

TEST_F(ListPrinterTest, APrinterThatCannotStartPrintsNothing)
{
    const std::vector<ItemRecord> items = Items(3);
    ItemListModel model;
    model.Reset(ListRows::FromItems(items));
    const std::string file = dir_.File("missing-folder/list.pdf");
    QPrinter printer(QPrinter::HighResolution);
    SetUpPrinter(printer, file);
    EXPECT_EQ(ListPrinter(model, {}).PrintTo(printer, kDocument), 0);
    EXPECT_FALSE(std::filesystem::exists(file));
}

TEST_F(ListPrinterTest, ItemsPrintTenBlocksAPageWithBandsOnEveryPage)
{
    for (int count : {1, 3, 10, 11, 250}) {
        SCOPED_TRACE(count);
        const std::vector<ItemRecord> items = Items(count);
        ItemListModel model;
        model.Reset(ListRows::FromItems(items));
        const std::optional<QStringList> pages = PrintPages(model);
        ASSERT_TRUE(pages.has_value());
        ASSERT_EQ(pages->size(), PagesFor(count));
        ExpectBands(*pages);
        // Every row once, in the list's order, on the page its place gives.
        for (int i = 1; i <= count; ++i) {
            const QString heading = QStringLiteral("Corner Shop - Coupon %1 - Ends Friday").arg(i);
            const qsizetype page = (i - 1) / kRowsPerPage;
            EXPECT_TRUE((*pages)[page].contains(heading + QLatin1Char('\n'))) << i;
        }
        EXPECT_EQ(pages->join(QString()).count(QStringLiteral("Save on bread")), count);
    }
}

TEST_F(ListPrinterTest, TheTitleBandNamesTheFolderItsSpanAndTheStores)
{
    std::vector<ItemRecord> items = Items(3);
    items[1].SetStoreName("Bean Barn");
    items[2].SetStoreName("");
    ItemListModel model;
    model.Reset(ListRows::FromItems(items));
    const PrintScope week{QStringLiteral("Coupons & Deals"),
                          QStringLiteral("Last 7 Days"),
                          static_cast<std::int32_t>(kPrintTime - 6 * 86400),
                          static_cast<std::int32_t>(kPrintTime)};
    const struct
    {
        const char* name;
        PrintScope scope;
        QString expected;
    } cases[] = {
        {"a span and two stores",
         week,
         QStringLiteral(
             "Coupons & Deals - Last 7 Days (2024-02-28 to 2024-03-05) - Stores: Bean Barn, Corner Shop")},
        {"no span",
         {QStringLiteral("Shopping List"), {}, 0, 0},
         QStringLiteral("Shopping List - Stores: Bean Barn, Corner Shop")},
    };
    for (const auto& expected : cases) {
        SCOPED_TRACE(expected.name);
        const std::optional<QStringList> pages = PrintPages(model, {}, 1200, 800, expected.scope);
        ASSERT_TRUE(pages.has_value());
        ASSERT_EQ(pages->size(), 1);
        EXPECT_TRUE(pages->front().simplified().contains(expected.expected)) << pages->front().toStdString();
        ExpectBands(*pages);
    }
    const std::optional<QStringList> plain = PrintPages(model);
    ASSERT_TRUE(plain.has_value());
    EXPECT_FALSE(plain->front().contains(QStringLiteral("Stores:"))) << "no scope, no line";
}

TEST_F(ListPrinterTest, OffersPrintTheirPriceWithTwoDecimalsAndNoCurrency)
{
    for (int count : {1, 250}) {
        SCOPED_TRACE(count);
        const ResultList offers = Offers(count);
        ItemListModel model;
        model.Reset(ListRows::FromOffers(offers));
        const std::optional<QStringList> pages = PrintPages(model);
        ASSERT_TRUE(pages.has_value());
        ASSERT_EQ(pages->size(), PagesFor(count));
        ExpectBands(*pages);
        // The list shows the lowest price first.
        EXPECT_TRUE(pages->front().contains(QStringLiteral("Big Store - Kettle 1 - 1.50\n")));
        EXPECT_TRUE(pages->front().contains(QStringLiteral("Steel URL: http://127.0.0.1/kettle")));
        EXPECT_FALSE(pages->join(QString()).contains(QLatin1Char('$')));
    }
}

TEST_F(ListPrinterTest, ProductsPrintQuantityAndUnitPriceWithTheirStoreName)
{
    IdNameList stores;
    stores.AddOrCount(7, "Corner Shop", 1);
    for (int count : {1, 250}) {
        SCOPED_TRACE(count);
        const std::vector<ShoppingRecord> records = Products(count, 7);
        ItemListModel model;
        model.Reset(ListRows::FromShopping(records, {}, {}));
        const std::optional<QStringList> pages = PrintPages(model, stores);
        ASSERT_TRUE(pages.has_value());
        ASSERT_EQ(pages->size(), PagesFor(count));
        ExpectBands(*pages);
        EXPECT_TRUE(pages->front().contains(QStringLiteral("Corner Shop - Product 1 - (2.50) x $3.99\n")));
        EXPECT_EQ(pages->join(QString()).count(QStringLiteral("two packs")), count);
    }
}

TEST_F(ListPrinterTest, AProductOfAStoreNotInTheListPrintsNoStoreName)
{
    IdNameList stores;
    stores.AddOrCount(7, "Corner Shop", 1);
    const std::vector<ShoppingRecord> records = Products(1, 8);
    ItemListModel model;
    model.Reset(ListRows::FromShopping(records, {}, {}));
    const std::optional<QStringList> pages = PrintPages(model, stores);
    ASSERT_TRUE(pages.has_value());
    const QRegularExpression heading(QStringLiteral("^\\s*- Product 1 - \\(2\\.50\\) x \\$3\\.99$"),
                                     QRegularExpression::MultilineOption);
    EXPECT_TRUE(heading.match(pages->front()).hasMatch()) << pages->front().toStdString();
    EXPECT_FALSE(pages->front().contains(QStringLiteral("Corner Shop")));
}

TEST_F(ListPrinterTest, ABlockTallerThanThePageRoomPrintsAloneOnEachPage)
{
    // 140 pixels: rows start at 68 and must end by 116, so no block fits whole; each is printed on a
    // page of its own rather than never.
    const std::vector<ItemRecord> items = Items(3);
    ItemListModel model;
    model.Reset(ListRows::FromItems(items));
    const std::optional<QStringList> pages = PrintPages(model, {}, 600, 140);
    ASSERT_TRUE(pages.has_value());
    ASSERT_EQ(pages->size(), 3);
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE((*pages)[i].contains(QStringLiteral("Coupon %1 ").arg(i + 1))) << i;
        EXPECT_TRUE((*pages)[i].contains(QStringLiteral("Page : %1").arg(i + 1))) << i;
    }
}

TEST_F(ListPrinterTest, LongTextsEndInAnEllipsisAndAmpersandsPrintAsTheyAre)
{
    std::string description;
    for (int word = 1; description.size() < 230; ++word) {
        description += "word" + std::to_string(word) + " ";
    }
    description += "omega";
    ItemValues values;
    values.id = 1;
    values.kind = 1;
    values.storeName = "Salt & Pepper";
    const std::string longTitle(49, 't');
    values.title = longTitle;
    values.extra = "Ends Friday";
    values.description = description;
    std::vector<ItemRecord> items{ItemRecord::Make(values, 0)};
    values.title = "Short";
    values.description = "Fits";
    items.push_back(ItemRecord::Make(values, 0));
    ItemListModel model;
    model.Reset(ListRows::FromItems(items));

    // 300 pixels leave 282 for the texts: neither the first heading nor three lines of its text fit.
    const std::optional<QStringList> pages = PrintPages(model, {}, 300, 800);
    ASSERT_TRUE(pages.has_value());
    ASSERT_EQ(pages->size(), 1);
    const QString page = pages->front();
    const QStringList lines = page.split(QLatin1Char('\n'));
    const auto lineWith = [&](const QString& text) {
        for (const QString& line : lines) {
            if (line.contains(text)) {
                return line.trimmed();
            }
        }
        return QString();
    };
    EXPECT_TRUE(lineWith(QStringLiteral("Salt & Pepper - ttt")).endsWith(QChar(0x2026)))
        << page.toStdString();
    EXPECT_EQ(lineWith(QStringLiteral("Salt & Pepper - Short")),
              QStringLiteral("Salt & Pepper - Short - Ends Friday"));
    // The text stops at a whole word, with the ellipsis after it.
    const QRegularExpression cut(QStringLiteral("word\\d+\u2026$"), QRegularExpression::MultilineOption);
    EXPECT_TRUE(cut.match(page).hasMatch()) << page.toStdString();
    EXPECT_FALSE(page.contains(QStringLiteral("omega")));
    EXPECT_TRUE(page.contains(QStringLiteral("word1 ")));
    EXPECT_EQ(page.count(QChar(0x2026)), 2);
}

TEST_F(ListPrinterTest, PrintsOnAPrinterAtItsOwnResolution)
{
    // The printer's own 1200 dots per inch, A4 and its default margins: the heights scale with the
    // resolution, and every row still prints once, under the bands of its page.
    const std::vector<ItemRecord> items = Items(250);
    ItemListModel model;
    model.Reset(ListRows::FromItems(items));
    const std::string file = dir_.File("a4.pdf");
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(file));
    printer.setPageSize(QPageSize(QPageSize::A4));
    ASSERT_EQ(printer.logicalDpiY(), 1200);
    EXPECT_EQ(ListPrinter(model, {}).PrintTo(printer, kDocument), 1);
    const QStringList high = PdfPages(file);

    ASSERT_GT(high.size(), 1);
    ExpectBands(high);
    for (int i = 1; i <= 250; ++i) {
        EXPECT_EQ(high.join(QString()).count(QStringLiteral(" - Coupon %1 - ").arg(i)), 1) << i;
    }
}

TEST_F(ListPrinterTest, TheFirstPageAsAnImageHoldsTheBandsAndTheRowsOnly)
{
    const std::vector<ItemRecord> items = Items(3);
    ItemListModel model;
    model.Reset(ListRows::FromItems(items));
    const QImage page = ListPrinter(model, {}).FirstPage(QSize(827, 1169), 100, kDocument);
    ASSERT_FALSE(page.isNull());
    ASSERT_EQ(page.size(), QSize(827, 1169));
    const auto inkIn = [&](int top, int bottom) {
        int ink = 0;
        for (int y = top; y < bottom; ++y) {
            for (int x = 0; x < page.width(); ++x) {
                ink += qGray(page.pixel(x, y)) < 128 ? 1 : 0;
            }
        }
        return ink;
    };
    // At 100 dots per inch: 13-pixel lines, a title band 52 high, rows from 72, three blocks of 65 and
    // 6 pixels up to 285, a footer from 1169 - 10 - 4 = 1155.
    EXPECT_GT(inkIn(0, 52), 200);
    EXPECT_GT(inkIn(72, 285), 500);
    EXPECT_EQ(inkIn(290, 1150), 0);
    EXPECT_GT(inkIn(1155, 1169), 100);
}

// Rejects the print dialog as soon as it is up; counts the dialogs seen.
class DialogRejecter : public QObject
{
public:
    DialogRejecter()
    {
        timer_.setInterval(20);
        QObject::connect(&timer_, &QTimer::timeout, this, [this] {
            if (auto* dialog = qobject_cast<QPrintDialog*>(QApplication::activeModalWidget())) {
                ++seen;
                dialog->reject();
            }
        });
        timer_.start();
    }

    int seen = 0;

private:
    QTimer timer_;
};

TEST_F(ListPrinterTest, ACancelledPrintDialogPrintsNothing)
{
    const std::vector<ItemRecord> items = Items(3);
    ItemListModel model;
    model.Reset(ListRows::FromItems(items));
    DialogRejecter rejecter;
    EXPECT_EQ(ListPrinter(model, {}).Print(nullptr, kDocument), 0);
    EXPECT_EQ(rejecter.seen, 1);
}

class MainWindowPrintTest : public MainWindowFixture
{ };

TEST_F(MainWindowPrintTest, ThePrintButtonOpensThePrintDialog)
{
    AddItem("deal.lst", 1, 1, "a coupon", kTen - 60);
    const auto window = StartHidden();
    QAction* print = Command(*window, "actionPrint");
    EXPECT_TRUE(print->isEnabled());
    EXPECT_EQ(print->text(), QStringLiteral("Print Coupons"));
    DialogRejecter rejecter;
    print->trigger();
    EXPECT_EQ(rejecter.seen, 1);
}

TEST_F(MainWindowPrintTest, AnEmptyListTellsThatNothingWasPrinted)
{
    const auto window = StartHidden();
    PresetMessageBoxes boxes;
    DialogRejecter rejecter;
    Command(*window, "actionPrint")->trigger();
    EXPECT_EQ(rejecter.seen, 0) << "no print dialog for nothing";
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.lastText(), QStringLiteral("The list is empty, so nothing was printed."));
    EXPECT_EQ(boxes.shown()[0].icon, QMessageBox::Information);
}

} // namespace
} // namespace tallyhawk
