#include "compare_fixture.h"
#include "core/compare/search_index.h"
#include "gui/compare/compare_prices_dialog.h"
#include "gui/compare/comparing_prices_dialog.h"
#include "gui/compare/price_comparison_run.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace tallyhawk
{
namespace
{

using namespace std::chrono_literals;
using test::CategoryXml;
using test::HttpResponse;
using test::ResultPage;

class ComparingPricesDialogTest : public test::CompareFixture
{
protected:
    // "Agent: status" for each row, top to bottom.
    static QStringList Rows(const ComparingPricesDialog& dialog)
    {
        QStringList rows;
        for (int i = 0; i < dialog.agentList()->topLevelItemCount(); ++i) {
            const QTreeWidgetItem* row = dialog.agentList()->topLevelItem(i);
            rows << row->text(0) + QStringLiteral(": ") + row->text(1);
        }
        return rows;
    }

    static bool WaitFor(const std::function<bool()>& condition) { return QTest::qWaitFor(condition, 10000); }

    // Waits until the three agents of ThreeAgents are in and only the slow one still searches.
    static bool WaitForSlowAlone(const ComparingPricesDialog& dialog)
    {
        return WaitFor([&] {
            return Rows(dialog)
                == QStringList({QStringLiteral("broken: failed"),
                                QStringLiteral("slow: searching"),
                                QStringLiteral("fast: 2 results")});
        });
    }

    SearchRecord OnlySavedRecord()
    {
        SearchIndex index(dir.File("pricecmp.dat"), dir.File("WebSearch"));
        EXPECT_EQ(index.Load(), 0);
        EXPECT_EQ(index.Count(), 1u);
        return index.Count() == 1 ? index.records().front() : SearchRecord();
    }
};

TEST_F(ComparingPricesDialogTest, StopWhileTheSlowAgentSearchesThenDoneSavesTheComparison)
{
    ThreeAgents();
    ComparingPricesDialog dialog(spider, QStringLiteral("red"), 1);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Comparing Prices"));
    dialog.show();
    EXPECT_EQ(dialog.statusLine()->text(), QStringLiteral("Starting the price comparison search agents...."));
    EXPECT_FALSE(dialog.doneButton()->isEnabled());
    EXPECT_FALSE(dialog.stopButton()->isEnabled());
    // Nothing starts before the dialog has been up for a moment.
    QTest::qWait(ComparingPricesDialog::kStartDelayMs / 2);
    EXPECT_EQ(server.RequestCount(), 0u);

    // The last agent started stands at the top; the failure ends only its own row.
    ASSERT_TRUE(WaitForSlowAlone(dialog)) << Rows(dialog).join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(dialog.statusLine()->text(), QStringLiteral("Tallyhawk is comparing prices for your item...."));
    EXPECT_EQ(dialog.state(), ComparingPricesDialog::State::Running);
    EXPECT_FALSE(dialog.doneButton()->isEnabled());
    EXPECT_TRUE(dialog.stopButton()->isEnabled());
    EXPECT_FALSE(dialog.agentList()->topLevelItem(0)->icon(0).isNull());

    dialog.stopButton()->click();
    // Stopping does not close the dialog: the slow agent reports first.
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_TRUE(WaitFor([&] { return dialog.doneButton()->isEnabled(); }));
    EXPECT_EQ(Rows(dialog),
              QStringList({QStringLiteral("broken: failed"),
                           QStringLiteral("slow: failed"),
                           QStringLiteral("fast: 2 results")}));
    EXPECT_EQ(dialog.statusLine()->text(), QStringLiteral("Tallyhawk found 2 price comparison results."));
    EXPECT_FALSE(dialog.stopButton()->isEnabled());

    dialog.doneButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(boxes.shown().empty());
    ASSERT_GE(dialog.savedId(), 2);
    const SearchRecord record = OnlySavedRecord();
    EXPECT_EQ(record.id, dialog.savedId());
    EXPECT_EQ(record.name, "red");
    EXPECT_EQ(record.categoryId, 1);
    EXPECT_EQ(record.savedAt, 1700000000);
    const std::string results = test::ReadFileBytes(spider.index().ResultsPath(dialog.savedId()));
    EXPECT_NE(results.find("red kettle"), std::string::npos);
    EXPECT_NE(results.find("red mug"), std::string::npos);
}

TEST_F(ComparingPricesDialogTest, ThroughBothDialogsWithTheKeyboard)
{
    ThreeAgents();
    // Each step acts on the modal dialog that is up, once its moment has come.
    std::vector<std::function<bool(QWidget*)>> steps;
    steps.push_back([&](QWidget* modal) {
        auto* ask = qobject_cast<ComparePricesDialog*>(modal);
        if (ask == nullptr) {
            return false;
        }
        QTest::keyClicks(ask->nameEdit(), QStringLiteral("red"));
        ask->categoryBox()->setCurrentIndex(ask->categoryBox()->findText(QStringLiteral("Kitchen")));
        QTest::keyClick(ask->nameEdit(), Qt::Key_Return);
        return true;
    });
    steps.push_back([&](QWidget* modal) {
        auto* run = qobject_cast<ComparingPricesDialog*>(modal);
        if (run == nullptr || Rows(*run).size() != 3
            || !Rows(*run).contains(QStringLiteral("fast: 2 results"))
            || !Rows(*run).contains(QStringLiteral("broken: failed"))) {
            return false;
        }
        // Escape is Stop while agents search.
        QTest::keyClick(run, Qt::Key_Escape);
        EXPECT_TRUE(run->isVisible());
        return true;
    });
    steps.push_back([&](QWidget* modal) {
        auto* run = qobject_cast<ComparingPricesDialog*>(modal);
        if (run == nullptr || !run->doneButton()->isEnabled()) {
            return false;
        }
        QTest::keyClick(run, Qt::Key_Return);
        return true;
    });
    std::size_t next = 0;
    QTimer driver;
    driver.setInterval(20);
    QObject::connect(&driver, &QTimer::timeout, &driver, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal != nullptr && next < steps.size() && steps[next](modal)) {
            ++next;
        }
    });
    driver.start();
    // Gives up on its own should a step never come, rather than hang the test.
    QTimer::singleShot(15000, &driver, [] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            qobject_cast<QDialog*>(modal)->done(QDialog::Rejected);
        }
    });

    const std::int32_t id = RunPriceComparison(nullptr, spider, QString());
    driver.stop();
    EXPECT_EQ(next, steps.size());
    ASSERT_GE(id, 2);
    EXPECT_EQ(OnlySavedRecord().id, id);
    EXPECT_EQ(OnlySavedRecord().name, "red");
}

TEST_F(ComparingPricesDialogTest, CancelAtTheFirstDialogRunsNothing)
{
    ThreeAgents();
    QTimer::singleShot(0, [] {
        if (auto* ask = qobject_cast<ComparePricesDialog*>(QApplication::activeModalWidget())) {
            ask->cancelButton()->click();
        }
    });
    // Should the dialog not be found, this ends it as well.
    QTimer::singleShot(5000, [] {
        if (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            modal->done(QDialog::Rejected);
        }
    });
    EXPECT_EQ(RunPriceComparison(nullptr, spider, QStringLiteral("red"), QStringLiteral("Kitchen")), 0);
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(ComparingPricesDialogTest, ClosedWhileAgentsSearchLeavesNothingBehind)
{
    ThreeAgents();
    auto dialog = std::make_unique<ComparingPricesDialog>(spider, QStringLiteral("red"), 1);
    dialog->show();
    ASSERT_TRUE(WaitForSlowAlone(*dialog));
    // The window goes with the slow agent still fetching: it is stopped, and its late report must find
    // no dialog (the sanitizer would see a report reaching freed memory).
    dialog.reset();
    const auto closed = std::chrono::steady_clock::now();
    spider.WaitForWorkers();
    EXPECT_LT(std::chrono::steady_clock::now() - closed, 5s);
    QCoreApplication::processEvents();

    // The spider takes the next run as if nothing had happened, and only its own agents show.
    server.Respond("/slow?q=red", HttpResponse::Make(200, ResultPage({{"red pan", "p", "30"}})));
    ComparingPricesDialog again(spider, QStringLiteral("red"), 1);
    again.show();
    ASSERT_TRUE(WaitFor([&] { return again.doneButton()->isEnabled(); }));
    EXPECT_EQ(Rows(again),
              QStringList({QStringLiteral("broken: failed"),
                           QStringLiteral("slow: 1 results"),
                           QStringLiteral("fast: 2 results")}));
    EXPECT_EQ(again.statusLine()->text(), QStringLiteral("Tallyhawk found 3 price comparison results."));
}

TEST_F(ComparingPricesDialogTest, ClosedWithReportsStillQueuedDropsThem)
{
    ThreeAgents();
    auto dialog = std::make_unique<ComparingPricesDialog>(spider, QStringLiteral("red"), 1);
    dialog->show();
    ASSERT_TRUE(WaitFor([&] { return dialog->state() == ComparingPricesDialog::State::Running; }));
    // The fast and broken agents report on their own threads while the window thread is busy: their
    // reports wait in the queue for a dialog that is gone before they are handled.
    for (int i = 0; i < 1000 && spider.ResultCount() < 2; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    ASSERT_EQ(spider.ResultCount(), 2u);
    dialog.reset();
    spider.WaitForWorkers();
    QCoreApplication::processEvents();
    EXPECT_EQ(spider.ResultCount(), 2u);
}

TEST_F(ComparingPricesDialogTest, DoneAfterTheStopWithAStoppedAgentStillToReport)
{
    server.Respond("/fast?q=red", HttpResponse::Make(200, ResultPage({{"red kettle", "k", "25.00"}})));
    server.Respond("/slow?q=red", HttpResponse::Stall());
    server.Respond("/slow2?q=red", HttpResponse::Stall());
    WriteConfiguration({CategoryXml(1, "Kitchen")},
                       {Agent(1, "1", "fast"), Agent(2, "1", "slow"), Agent(3, "1", "slow2")});
    ASSERT_EQ(spider.LoadConfiguration(), 0);
    auto dialog = std::make_unique<ComparingPricesDialog>(spider, QStringLiteral("red"), 1);
    dialog->show();
    ASSERT_TRUE(WaitFor([&] { return Rows(*dialog).contains(QStringLiteral("fast: 1 results")); }));
    dialog->stopButton()->click();
    // The first stopped agent's report finishes the run; Done closes the dialog at once, whatever the
    // other agent still has to say.
    ASSERT_TRUE(WaitFor([&] { return dialog->doneButton()->isEnabled(); }));
    dialog->doneButton()->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    const std::int32_t id = dialog->savedId();
    dialog.reset();
    spider.WaitForWorkers();
    QCoreApplication::processEvents();
    EXPECT_GE(id, 2);
    EXPECT_EQ(OnlySavedRecord().id, id);
}

TEST_F(ComparingPricesDialogTest, ACategoryNoAgentServesCannotStart)
{
    ThreeAgents();
    ComparingPricesDialog dialog(spider, QStringLiteral("red"), 2);
    dialog.show();
    ASSERT_TRUE(WaitFor([&] { return dialog.doneButton()->isEnabled(); }));
    EXPECT_EQ(
        boxes.lastText(),
        QStringLiteral("There was an error while starting the search agents for the selected category."));
    EXPECT_EQ(dialog.statusLine()->text(),
              QStringLiteral("There was an error while starting the price comparison."));
    EXPECT_FALSE(dialog.stopButton()->isEnabled());
    EXPECT_EQ(dialog.agentList()->topLevelItemCount(), 0);
    dialog.doneButton()->click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.savedId(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "pricecmp.dat"));
}

TEST_F(ComparingPricesDialogTest, NothingFoundSavesNothing)
{
    server.Respond("/fast?q=red", HttpResponse::Make(200, ResultPage({})));
    WriteConfiguration({CategoryXml(1, "Kitchen")}, {Agent(1, "1", "fast"), Agent(1, "1", "twin")});
    ASSERT_EQ(spider.LoadConfiguration(), 0);
    ComparingPricesDialog dialog(spider, QStringLiteral("red"), 1);
    dialog.show();
    ASSERT_TRUE(WaitFor([&] { return dialog.doneButton()->isEnabled(); }));
    EXPECT_EQ(dialog.statusLine()->text(), QStringLiteral("Tallyhawk found no price comparison results."));
    // Two agents with one SiteId: both reports land on the first row found from the top, so the second
    // row keeps "searching" whatever the order of the reports.
    ASSERT_EQ(dialog.agentList()->topLevelItemCount(), 2);
    EXPECT_EQ(dialog.agentList()->topLevelItem(1)->text(1), QStringLiteral("searching"));
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.savedId(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "pricecmp.dat"));
}

TEST_F(ComparingPricesDialogTest, ASaveThatFailsIsToldAndGivesNoId)
{
    ThreeAgents();
    std::filesystem::remove(dir.path() / "WebSearch");
    ComparingPricesDialog dialog(spider, QStringLiteral("red"), 1);
    dialog.show();
    ASSERT_TRUE(WaitForSlowAlone(dialog));
    dialog.stopButton()->click();
    ASSERT_TRUE(WaitFor([&] { return dialog.doneButton()->isEnabled(); }));
    dialog.doneButton()->click();
    EXPECT_EQ(boxes.lastText(),
              QStringLiteral("There was an error while saving the price comparison results.\n"
                             "Please try your search again."));
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.savedId(), 0);
}

TEST_F(ComparingPricesDialogTest, KeyboardOrderAndNames)
{
    ThreeAgents();
    ComparingPricesDialog dialog(spider, QStringLiteral("red"), 1);
    EXPECT_TRUE(dialog.doneButton()->isDefault());
    // Both buttons are enabled once the run is over; Tab then goes list, Done, Stop.
    dialog.doneButton()->setEnabled(true);
    dialog.stopButton()->setEnabled(true);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.agentList()->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.doneButton());
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), dialog.stopButton());
    EXPECT_EQ(dialog.agentList()->headerItem()->text(0), QStringLiteral("Agent"));
    EXPECT_EQ(dialog.agentList()->headerItem()->text(1), QStringLiteral("Status"));
    for (QWidget* control : {static_cast<QWidget*>(dialog.statusLine()),
                             static_cast<QWidget*>(dialog.agentList()),
                             static_cast<QWidget*>(dialog.doneButton()),
                             static_cast<QWidget*>(dialog.stopButton())}) {
        EXPECT_FALSE(control->accessibleName().isEmpty());
    }
    // Escape before the start closes without starting anything.
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    QTest::qWait(ComparingPricesDialog::kStartDelayMs + 200);
    EXPECT_EQ(server.RequestCount(), 0u);
}

} // namespace
} // namespace tallyhawk
