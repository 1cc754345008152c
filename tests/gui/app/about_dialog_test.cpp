#include "core/common/program_version.h"
#include "gui/app/about_dialog.h"

#include <QLabel>

#include <gtest/gtest.h>

namespace tallyhawk
{
namespace
{

TEST(AboutDialogTest, ShowsTheVersionAndOpensTheHomePageFromItsLink)
{
    int opened = 0;
    AboutDialog about(QStringLiteral("http://127.0.0.1:8080"), [&] { ++opened; });
    EXPECT_EQ(about.windowTitle(), QStringLiteral("About Tallyhawk"));
    EXPECT_EQ(about.versionLabel()->text().toStdString(), "Version " + std::string(kReleaseVersion));
    EXPECT_TRUE(about.link()->text().contains(QStringLiteral("href=\"http://127.0.0.1:8080\"")));
    EXPECT_EQ(opened, 0);
    emit about.link()->linkActivated(QStringLiteral("http://127.0.0.1:8080"));
    EXPECT_EQ(opened, 1);
}

} // namespace
} // namespace tallyhawk
