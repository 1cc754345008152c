#include "core/compare/agent_configuration.h"
#include "gui/compare/agent_workshop.h"
#include "gui/compare/page_source_view.h"
#include "support/compare_site.h"
#include "support/temp_dir.h"
#include "support/test_http_server.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace tallyhawk
{
namespace
{

using test::HttpResponse;

template <typename T>
T* Named(QWidget& window, const char* name)
{
    T* child = window.findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(child, nullptr) << name;
    return child;
}

class AgentWorkshopTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        test::WriteFileBytes(dir.File("webspider.xml"),
                             test::ConfigurationXml(
                                 {test::CategoryXml(1, "Kitchen")},
                                 {test::AgentXml(7, "1", "Shop", server.Url("/shop?q="), "http://s.test")}));
    }

    // Opens the workshop and waits until it has read the agents.
    void Open()
    {
        workshop = std::make_unique<AgentWorkshop>(
            dir.path().string(),
            HttpFetcher(
                HttpFetcher::Timeouts{std::chrono::milliseconds(2000), std::chrono::milliseconds(4000)}));
        QSignalSpy loaded(workshop.get(), &AgentWorkshop::AgentsLoaded);
        ASSERT_TRUE(loaded.wait(5000));
    }

    // Shows a page and waits for the table.
    void Show(const std::string& page)
    {
        QSignalSpy scraped(workshop.get(), &AgentWorkshop::Scraped);
        workshop->ShowPage(page, QStringLiteral("page.html"));
        ASSERT_TRUE(scraped.wait(5000));
    }

    QStringList Column(int column)
    {
        QStringList texts;
        auto* table = Named<QTableWidget>(*workshop, "offers");
        for (int row = 0; row < table->rowCount(); ++row) {
            texts << table->item(row, column)->text();
        }
        return texts;
    }

    // Types into an agent field the way a user does, and waits for the scrape it brings.
    void Edit(const char* field, const QString& text)
    {
        QSignalSpy scraped(workshop.get(), &AgentWorkshop::Scraped);
        auto* line = Named<QLineEdit>(*workshop, field);
        line->selectAll();
        QTest::keyClicks(line, text);
        ASSERT_TRUE(scraped.wait(5000));
    }

    test::TempDir dir;
    test::TestHttpServer server;
    std::unique_ptr<AgentWorkshop> workshop;
    const std::string page = test::ResultPage({{"red kettle", "/k", "25.00"}, {"red mug", "/m", "4.50"}});
};

TEST_F(AgentWorkshopTest, ListsTheSitesAndTheUsersAgentsWithAFreshOneLast)
{
    test::WriteFileBytes(
        dir.File("useragents.xml"),
        test::ConfigurationXml({}, {test::AgentXml(9, "1", "Mine", "http://m.test/?q=", "http://m.test")}));
    Open();
    auto* box = Named<QComboBox>(*workshop, "agentBox");
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->itemText(0), QStringLiteral("7  Shop  (the site's)"));
    EXPECT_EQ(box->itemText(1), QStringLiteral("9  Mine  (your own)"));
    EXPECT_EQ(box->itemText(2), QStringLiteral("New agent"));
    EXPECT_EQ(Named<QLineEdit>(*workshop, "fieldStartItem")->text(), QStringLiteral("<b>"));
    box->setCurrentIndex(2);
    EXPECT_EQ(Named<QLineEdit>(*workshop, "fieldSiteName")->text(), QStringLiteral("New shop"));
    // A fresh agent has no markers yet: it says what it lacks and cannot be saved.
    EXPECT_EQ(Named<QLabel>(*workshop, "problem")->text(),
              QStringLiteral("This agent cannot be used yet: the agent needs its StartResult."));
    EXPECT_FALSE(Named<QPushButton>(*workshop, "save")->isEnabled());
}

TEST_F(AgentWorkshopTest, AnEditedMarkerChangesTheOffersWithoutAnotherFetch)
{
    Open();
    Named<QLineEdit>(*workshop, "searchText")->setText(QStringLiteral("red"));
    Show(page);
    EXPECT_EQ(Column(0), (QStringList{QStringLiteral("red kettle"), QStringLiteral("red mug")}));
    EXPECT_EQ(Column(1), (QStringList{QStringLiteral("25.00"), QStringLiteral("4.50")}));
    // The price markers now cut nothing: both offers are dropped for it, and the table says so.
    Edit("fieldStartPrice", QStringLiteral("<u>"));
    EXPECT_EQ(Column(3),
              (QStringList{QStringLiteral("dropped: price 0"), QStringLiteral("dropped: price 0")}));
    EXPECT_EQ(server.RequestCount(), 0u);
}

TEST_F(AgentWorkshopTest, ThePageSourceMarksWhatEachMarkerPairCut)
{
    Open();
    Named<QLineEdit>(*workshop, "searchText")->setText(QStringLiteral("red"));
    // Line ends of either kind and letters of more than one byte before the hits.
    Show("<p>Caf\xC3\xA9 \xF0\x9F\x98\x80</p>\r\n" + page);
    auto* source = Named<PageSourceView>(*workshop, "pageSource");
    QStringList marked;
    for (const QTextEdit::ExtraSelection& selection : source->extraSelections()) {
        marked << selection.cursor.selectedText();
    }
    EXPECT_TRUE(marked.contains(QStringLiteral("red kettle"))) << marked.join(QLatin1Char('|')).toStdString();
    EXPECT_TRUE(marked.contains(QStringLiteral("4.50"))) << marked.join(QLatin1Char('|')).toStdString();
}

TEST_F(AgentWorkshopTest, FetchShowsThePageAndAFailedFetchSaysWhy)
{
    server.Respond("/shop?q=red", HttpResponse::Make(200, page));
    server.Respond("/shop?q=gone", HttpResponse::Make(404, "no"));
    Open();
    auto* search = Named<QLineEdit>(*workshop, "searchText");
    search->setText(QStringLiteral("red"));
    QSignalSpy scraped(workshop.get(), &AgentWorkshop::Scraped);
    QTest::mouseClick(Named<QPushButton>(*workshop, "fetch"), Qt::LeftButton);
    ASSERT_TRUE(scraped.wait(5000));
    EXPECT_EQ(Column(0).size(), 2);

    search->setText(QStringLiteral("gone"));
    QTest::mouseClick(Named<QPushButton>(*workshop, "fetch"), Qt::LeftButton);
    auto* status = Named<QLabel>(*workshop, "status");
    QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith(QStringLiteral("The page could not be fetched: ")),
                             5000);
    EXPECT_TRUE(status->text().contains(QStringLiteral("404"))) << status->text().toStdString();
    EXPECT_TRUE(Named<QPushButton>(*workshop, "fetch")->isEnabled());
}

TEST_F(AgentWorkshopTest, SaveKeepsTheAgentInTheUsersOwnFile)
{
    Open();
    Show(page);
    Edit("fieldSiteName", QStringLiteral("Shop, repaired"));
    QSignalSpy saved(workshop.get(), &AgentWorkshop::Saved);
    QTest::mouseClick(Named<QPushButton>(*workshop, "save"), Qt::LeftButton);
    ASSERT_TRUE(saved.wait(5000));
    AgentConfiguration mine(AgentOrigin::User);
    ASSERT_EQ(mine.Load(dir.File("useragents.xml")), 0);
    ASSERT_EQ(mine.AgentCount(), 1u);
    EXPECT_EQ(mine.agents()[0]->siteName, "Shop, repaired");
    EXPECT_EQ(mine.agents()[0]->startItem, "<b>");
    QSignalSpy reloaded(workshop.get(), &AgentWorkshop::AgentsLoaded);
    ASSERT_TRUE(reloaded.wait(5000));
    EXPECT_EQ(Named<QComboBox>(*workshop, "agentBox")->currentText(),
              QStringLiteral("7  Shop, repaired  (your own)"));
}

} // namespace
} // namespace tallyhawk
