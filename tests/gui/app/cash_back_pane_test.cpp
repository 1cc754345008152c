#include "gui/app/cash_back_pane.h"
#include "support/server_process.h"
#include "support/temp_dir.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace tallyhawk
{
namespace
{

TEST(CashBackPaneTest, ItsOwnPageSaysWhatCashBackIsAndOpensTheAddress)
{
    int opened = 0;
    CashBackPane pane(QStringLiteral("http://127.0.0.1:9/cbstores.aspx"), [&] { ++opened; });
    EXPECT_EQ(pane.address()->text(), QStringLiteral("http://127.0.0.1:9/cbstores.aspx"));
    const QStringList texts = [&] {
        QStringList all;
        for (const QLabel* label : pane.findChildren<QLabel*>()) {
            all << label->text();
        }
        return all;
    }();
    EXPECT_TRUE(texts.join(QLatin1Char(' ')).contains(QStringLiteral("pay part of what you spend back")));
    pane.openButton()->click();
    emit pane.link()->linkActivated(QStringLiteral("open"));
    EXPECT_EQ(opened, 2);
}

TEST(CashBackPaneTest, ShowsTheDemoSitesPageAndLoadsItAgainOnRefresh)
{
    if (!CashBackPane::Embedded()) {
        GTEST_SKIP() << "built without Qt WebEngine: the pane links to the page instead";
    }
#ifndef TALLYHAWK_SERVER_PATH
    GTEST_SKIP() << "built without tallyhawk-server, whose demo site serves the page";
#else
    test::TempDir dir;
    test::ServerProcess server(TALLYHAWK_SERVER_PATH, {"--demo"}, dir.path());
    ASSERT_TRUE(server.started()) << server.output();
    const QString url = QString::fromStdString(server.siteUrl() + "/cbstores.aspx");
    int opened = 0;
    CashBackPane pane(url, [&] { ++opened; });
    pane.resize(800, 600);
    EXPECT_EQ(pane.browser(), nullptr) << "nothing loads before the folder is shown";
    pane.show();
    ASSERT_NE(pane.browser(), nullptr);
    QSignalSpy loads(pane.browser(), SIGNAL(loadFinished(bool)));
    QTRY_COMPARE_WITH_TIMEOUT(loads.size(), 1, 60000);
    EXPECT_TRUE(loads.at(0).at(0).toBool());
    EXPECT_EQ(pane.browser()->property("title").toString(), QStringLiteral("Cash Back Stores"));
    EXPECT_EQ(pane.browser()->property("url").toUrl(), QUrl(url));
    EXPECT_TRUE(pane.browser()->isVisible());

    pane.ReloadIfShown();
    QTRY_COMPARE_WITH_TIMEOUT(loads.size(), 2, 60000);
    EXPECT_TRUE(loads.at(1).at(0).toBool());

    // A site that went away leaves the page of our own, with its way to the browser.
    ASSERT_EQ(server.Stop(), 0);
    pane.ReloadIfShown();
    QTRY_COMPARE_WITH_TIMEOUT(loads.size(), 3, 60000);
    EXPECT_FALSE(loads.at(2).at(0).toBool());
    EXPECT_FALSE(pane.browser()->isVisible());
    EXPECT_TRUE(pane.openButton()->isVisible());
    EXPECT_EQ(opened, 0);
#endif
}

} // namespace
} // namespace tallyhawk
