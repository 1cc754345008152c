#include "core/settings/settings.h"
#include "gui/settings/alert_settings_box.h"
#include "gui/settings/rule_preview_label.h"
#include "gui/settings/settings_dialog.h"
#include "support/preset_message_boxes.h"
#include "support/scoped_env.h"
#include "support/temp_dir.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimeEdit>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace tallyhawk
{
namespace
{

const QString kTimeoutMessage = QStringLiteral("The alert timeout must be a valid number.");

class SettingsDialogTest : public ::testing::Test
{
protected:
    SettingsDialogTest()
        : config_("XDG_CONFIG_HOME", dir_.File("config"))
    { }

    std::string SettingsFile() const { return dir_.File("settings.conf"); }
    std::filesystem::path AutostartFile() const
    {
        return dir_.path() / "config" / "autostart" / "tallyhawk.desktop";
    }

    static void ClickOk(SettingsDialog& dialog)
    {
        auto* buttons = dialog.findChild<QDialogButtonBox*>();
        ASSERT_NE(buttons, nullptr);
        buttons->button(QDialogButtonBox::Ok)->click();
    }

    // A click on the box itself: a check box wider than its caption takes no click beside it.
    static void ClickBox(QCheckBox* box)
    {
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(6, box->height() / 2));
    }

    // The next widget Tab reaches from `widget`.
    static QWidget* NextTabStop(QWidget* widget)
    {
        QWidget* next = widget->nextInFocusChain();
        // A spin box's own line edit is part of the box.
        while (next != widget && (!(next->focusPolicy() & Qt::TabFocus) || widget->isAncestorOf(next))) {
            next = next->nextInFocusChain();
        }
        return next;
    }

    test::TempDir dir_;
    test::ScopedEnv config_;
    PresetMessageBoxes boxes_;
};

TEST_F(SettingsDialogTest, ShowsEverySettingWithItsCaptions)
{
    test::WriteFileBytes(
        SettingsFile(),
        "[General]\nAutoRun=0\nShowNotify=1\nNotifyTimeout=45\nGetDeals=1\nUseDealsFilter=1\n"
        "DealsFilter=\"tv, laptop\"\nGetTopics=0\nUseTopicsFilter=1\nTopicsFilter=camera\nQuietHours=1\n");
    Settings settings(SettingsFile());
    SettingsDialog dialog(settings);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Tallyhawk Settings"));
    EXPECT_EQ(dialog.autoRun()->text(), QStringLiteral("Automatically run Tallyhawk when I log in"));
    EXPECT_FALSE(dialog.autoRun()->isChecked());
    EXPECT_EQ(dialog.showNotify()->text(), QStringLiteral("Display new deal alerts for"));
    EXPECT_TRUE(dialog.showNotify()->isChecked());
    EXPECT_EQ(dialog.notifyTimeout()->text(), QStringLiteral("45"));
    EXPECT_EQ(dialog.getDeals()->text(), QStringLiteral("Subscribe to coupons and deals"));
    EXPECT_EQ(dialog.useDealsFilter()->text(),
              QStringLiteral("Download only the deals matching these keywords:"));
    EXPECT_EQ(dialog.dealsFilter()->text(), QStringLiteral("tv, laptop"));
    EXPECT_EQ(dialog.getTopics()->text(), QStringLiteral("Subscribe to forum topics"));
    EXPECT_EQ(dialog.useTopicsFilter()->text(),
              QStringLiteral("Download only the topics matching these keywords:"));
    EXPECT_EQ(dialog.topicsFilter()->text(), QStringLiteral("camera"));

    QStringList groups;
    for (const QGroupBox* group : dialog.findChildren<QGroupBox*>()) {
        groups << group->title();
    }
    EXPECT_EQ(groups,
              (QStringList{QStringLiteral("General Settings"),
                           QStringLiteral("Alerts"),
                           QStringLiteral("Subscriptions")}));
    QStringList labels;
    for (const QLabel* label : dialog.findChildren<QLabel*>()) {
        labels << label->text();
    }
    EXPECT_TRUE(labels.contains(QStringLiteral("seconds")));
    // Each keyword box says what its rule means.
    EXPECT_EQ(labels
                  .filter(QStringLiteral("Only items whose title, description or store contain all of these "
                                         "words (separated by commas)."))
                  .size(),
              2);

    // Tab runs through the controls in their order.
    const QList<QWidget*> order{dialog.autoRun(),
                                dialog.showNotify(),
                                dialog.notifyTimeout(),
                                dialog.alertSettings()->alertAgainDays(),
                                dialog.alertSettings()->quietHours(),
                                dialog.alertSettings()->quietStart(),
                                dialog.alertSettings()->quietEnd(),
                                dialog.getDeals(),
                                dialog.useDealsFilter(),
                                dialog.dealsFilter(),
                                dialog.getTopics(),
                                dialog.useTopicsFilter(),
                                dialog.topicsFilter()};
    for (qsizetype i = 0; i + 1 < order.size(); ++i) {
        EXPECT_EQ(NextTabStop(order[i]), order[i + 1]) << i;
        EXPECT_FALSE(order[i]->accessibleName().isEmpty()) << i;
    }
    // The topics are not subscribed: their filter stays out of reach, though it is checked.
    EXPECT_TRUE(dialog.useTopicsFilter()->isChecked());
    EXPECT_FALSE(dialog.useTopicsFilter()->isEnabled());
    EXPECT_FALSE(dialog.topicsFilter()->isEnabled());
    EXPECT_TRUE(dialog.useDealsFilter()->isEnabled());
    EXPECT_TRUE(dialog.dealsFilter()->isEnabled());
}

TEST_F(SettingsDialogTest, TheFiltersFollowTheirSubscriptionAndTheirCheckBox)
{
    Settings settings(SettingsFile());
    SettingsDialog dialog(settings);
    dialog.show();
    // Defaults: subscribed, no filters.
    EXPECT_TRUE(dialog.useDealsFilter()->isEnabled());
    EXPECT_FALSE(dialog.dealsFilter()->isEnabled());

    ClickBox(dialog.useDealsFilter());
    EXPECT_TRUE(dialog.dealsFilter()->isEnabled());
    ClickBox(dialog.getDeals());
    EXPECT_FALSE(dialog.getDeals()->isChecked());
    EXPECT_FALSE(dialog.useDealsFilter()->isEnabled());
    EXPECT_FALSE(dialog.dealsFilter()->isEnabled());
    // Subscribed again: the edit follows the filter check box, which kept its state.
    ClickBox(dialog.getDeals());
    EXPECT_TRUE(dialog.useDealsFilter()->isEnabled());
    EXPECT_TRUE(dialog.dealsFilter()->isEnabled());

    ClickBox(dialog.getTopics());
    EXPECT_FALSE(dialog.useTopicsFilter()->isEnabled());
    EXPECT_FALSE(dialog.topicsFilter()->isEnabled());
    ClickBox(dialog.getTopics());
    EXPECT_TRUE(dialog.useTopicsFilter()->isEnabled());
    EXPECT_FALSE(dialog.topicsFilter()->isEnabled());
    QTest::keyClick(dialog.useTopicsFilter(), Qt::Key_Space);
    EXPECT_TRUE(dialog.topicsFilter()->isEnabled());
    // The deals' rule did not move with the topics'.
    EXPECT_TRUE(dialog.dealsFilter()->isEnabled());
}

TEST_F(SettingsDialogTest, RefusesATimeoutBelowOneAndSavesNothing)
{
    Settings settings(SettingsFile());
    for (const QString& text : {QStringLiteral("0"),
                                QStringLiteral("-5"),
                                QStringLiteral("abc"),
                                QString(),
                                QStringLiteral("99999999999")}) {
        SettingsDialog dialog(settings);
        dialog.open();
        dialog.autoRun()->setChecked(false);
        dialog.notifyTimeout()->setText(text);
        boxes_.Clear();
        ClickOk(dialog);
        ASSERT_EQ(boxes_.shown().size(), 1u) << text.toStdString();
        EXPECT_EQ(boxes_.lastText(), kTimeoutMessage);
        EXPECT_EQ(boxes_.shown()[0].icon, QMessageBox::Warning);
        EXPECT_EQ(boxes_.shown()[0].title, QStringLiteral("Tallyhawk"));
        EXPECT_TRUE(dialog.isVisible()) << text.toStdString();
        EXPECT_NE(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(settings.autoRun, 1);
        EXPECT_EQ(settings.notifyTimeout, 30);
        EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
        EXPECT_FALSE(std::filesystem::exists(AutostartFile()));
    }
}

TEST_F(SettingsDialogTest, ReadsTheTimeoutFromItsLeadingDigits)
{
    EXPECT_EQ(SettingsDialog::ReadTimeout(QStringLiteral("7x")), 7);
    EXPECT_EQ(SettingsDialog::ReadTimeout(QStringLiteral("  12 seconds")), 12);
    EXPECT_EQ(SettingsDialog::ReadTimeout(QStringLiteral("+3")), 3);
    EXPECT_EQ(SettingsDialog::ReadTimeout(QStringLiteral("-5")), -5);
    EXPECT_EQ(SettingsDialog::ReadTimeout(QStringLiteral("x7")), 0);
    EXPECT_EQ(SettingsDialog::ReadTimeout(QStringLiteral("2147483647")), 2147483647);
    EXPECT_EQ(SettingsDialog::ReadTimeout(QStringLiteral("2147483648")), std::nullopt);
}

TEST_F(SettingsDialogTest, OkSavesEveryValueAndWritesTheAutostartEntry)
{
    test::WriteFileBytes(SettingsFile(),
                         "[General]\nServerAddress=deals.example\nServerPort=4000\nLastArchive=77\n");
    Settings settings(SettingsFile());
    SettingsDialog dialog(settings);
    dialog.open();
    dialog.notifyTimeout()->setText(QStringLiteral("7x"));
    ClickBox(dialog.showNotify());
    ClickBox(dialog.useDealsFilter());
    dialog.dealsFilter()->setText(QStringLiteral("tv, laptop"));
    ClickBox(dialog.getTopics());
    dialog.topicsFilter()->setText(QStringLiteral("camera"));
    ClickOk(dialog);
    EXPECT_TRUE(boxes_.shown().empty()) << boxes_.lastText().toStdString();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);

    const Settings saved(SettingsFile());
    EXPECT_EQ(saved.notifyTimeout, 7);
    EXPECT_EQ(saved.showNotify, 0);
    EXPECT_EQ(saved.autoRun, 1);
    EXPECT_EQ(saved.getDeals, 1);
    EXPECT_EQ(saved.useDealsFilter, 1);
    EXPECT_EQ(saved.dealsFilter, "tv, laptop");
    EXPECT_EQ(saved.getTopics, 0);
    EXPECT_EQ(saved.useTopicsFilter, 0);
    EXPECT_EQ(saved.topicsFilter, "camera");
    // Values the program never writes keep what they held.
    EXPECT_EQ(saved.serverAddress, "deals.example");
    EXPECT_EQ(saved.serverPort, 4000);
    EXPECT_EQ(saved.ReadLastArchive(), 77);
    // The object the dialog was given holds the new values too.
    EXPECT_EQ(settings.notifyTimeout, 7);
    ASSERT_TRUE(std::filesystem::exists(AutostartFile()));
    EXPECT_NE(test::ReadFileBytes(AutostartFile().string()).find(" m"), std::string::npos);

    // A keyword list stops where the settings would cut it at the next start.
    SettingsDialog longer(settings);
    longer.dealsFilter()->setText(QString(250, QLatin1Char('k')));
    EXPECT_EQ(longer.dealsFilter()->text().size(), 199);
    longer.topicsFilter()->setText(QString(250, QLatin1Char('k')));
    EXPECT_EQ(longer.topicsFilter()->text().size(), 199);

    // Unchecked, the next OK removes the entry.
    SettingsDialog again(settings);
    again.open();
    ClickBox(again.autoRun());
    ClickOk(again);
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_FALSE(std::filesystem::exists(AutostartFile()));
    EXPECT_EQ(Settings(SettingsFile()).autoRun, 0);
}

TEST_F(SettingsDialogTest, ASaveThatFailsIsToldAndKeepsTheDialogOpen)
{
    // The settings folder is a file, which no one can write into.
    test::WriteFileBytes(dir_.File("blocked"), "");
    Settings settings(dir_.File("blocked") + "/settings.conf");
    SettingsDialog dialog(settings);
    dialog.open();
    dialog.notifyTimeout()->setText(QStringLiteral("9"));
    ClickOk(dialog);
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_EQ(
        boxes_.lastText(),
        QStringLiteral("There was an error while saving the Tallyhawk settings in the settings file.\n"
                       "Please check that you have the required permissions to modify the settings file."));
    EXPECT_EQ(boxes_.shown()[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_NE(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(settings.notifyTimeout, 9);
    // No autostart entry is written for settings that were not saved.
    EXPECT_FALSE(std::filesystem::exists(AutostartFile()));
}

TEST_F(SettingsDialogTest, ASaveIntoAReadOnlyFolderFails)
{
    if (::geteuid() == 0) {
        GTEST_SKIP() << "the superuser writes into read-only folders";
    }
    const std::filesystem::path folder = dir_.path() / "locked";
    std::filesystem::create_directory(folder);
    std::filesystem::permissions(folder,
                                 std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    Settings settings((folder / "settings.conf").string());
    SettingsDialog dialog(settings);
    dialog.open();
    ClickOk(dialog);
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all);
    ASSERT_EQ(boxes_.shown().size(), 1u);
    EXPECT_TRUE(boxes_.lastText().startsWith(QStringLiteral("There was an error while saving")));
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(SettingsDialogTest, TheAlertSettingsShowAndSave)
{
    test::WriteFileBytes(SettingsFile(),
                         "[General]\nAlertAgainDays=3\nQuietHours=0\nQuietStart=1380\nQuietEnd=360\n");
    Settings settings(SettingsFile());
    SettingsDialog dialog(settings);
    AlertSettingsBox* box = dialog.alertSettings();
    EXPECT_EQ(box->alertAgainDays()->value(), 3);
    EXPECT_FALSE(box->quietHours()->isChecked());
    EXPECT_FALSE(box->quietStart()->isEnabled());
    EXPECT_EQ(box->quietStart()->time(), QTime(23, 0));
    EXPECT_EQ(box->quietEnd()->time(), QTime(6, 0));
    // Never more days than the memory keeps.
    box->alertAgainDays()->setValue(1000);
    EXPECT_EQ(box->alertAgainDays()->value(), 90);

    box->alertAgainDays()->setValue(0);
    ClickBox(box->quietHours());
    EXPECT_TRUE(box->quietStart()->isEnabled());
    box->quietStart()->setTime(QTime(21, 30));
    ClickOk(dialog);
    const Settings saved(SettingsFile());
    EXPECT_EQ(saved.alertAgainDays, 0);
    EXPECT_EQ(saved.quietHours, 1);
    EXPECT_EQ(saved.quietStart, 21 * 60 + 30);
    EXPECT_EQ(saved.quietEnd, 6 * 60);
}

// Under each keyword box: how many of the newest stored items its rule lets through, as the user types.
TEST_F(SettingsDialogTest, EachKeywordBoxCountsTheRecentItemsItsRuleLetsThrough)
{
    const auto item = [](const char* title, const char* store) {
        ItemValues values;
        values.title = title;
        values.storeName = store;
        return ItemRecord::Make(values, 0);
    };
    std::vector<ItemRecord> deals{
        item("Sony TV", "Big Shop"), item("LG TV", "Big Shop"), item("Kettle", "Corner")};
    // More topics than the count looks at: only the newest 200 count.
    std::vector<ItemRecord> topics(250, item("Which TV?", "Forum"));
    Settings settings(SettingsFile());
    settings.dealsFilter = "tv";
    settings.useDealsFilter = 1;
    SettingsDialog dialog(settings, nullptr, [&](bool forTopics) { return forTopics ? topics : deals; });
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return dialog.topicsPreview()->text() == QStringLiteral("Lets through 200 of the last 200 items");
        },
        5000));
    EXPECT_EQ(dialog.dealsPreview()->text(), QStringLiteral("Lets through 2 of the last 3 items"));
    struct Case
    {
        const char* rule;
        const char* count;
    };
    const Case cases[] = {
        {"tv, -lg", "1"},
        {"kettle | lg", "2"},
        {"\"big shop\"", "2"},
        {"", "3"},
        {"camera", "0"},
    };
    for (const Case& c : cases) {
        dialog.dealsFilter()->clear();
        QTest::keyClicks(dialog.dealsFilter(), QString::fromUtf8(c.rule));
        EXPECT_EQ(dialog.dealsPreview()->text(),
                  QStringLiteral("Lets through %1 of the last 3 items").arg(QString::fromLatin1(c.count)))
            << c.rule;
    }
}

TEST_F(SettingsDialogTest, WithoutRecentItemsNoCountShows)
{
    Settings settings(SettingsFile());
    SettingsDialog dialog(settings);
    dialog.show();
    EXPECT_FALSE(dialog.dealsPreview()->isVisible());
    EXPECT_FALSE(dialog.topicsPreview()->isVisible());
}

TEST_F(SettingsDialogTest, CancelChangesNothing)
{
    Settings settings(SettingsFile());
    SettingsDialog dialog(settings);
    dialog.open();
    dialog.notifyTimeout()->setText(QStringLiteral("5"));
    ClickBox(dialog.autoRun());
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(settings.notifyTimeout, 30);
    EXPECT_EQ(settings.autoRun, 1);
    EXPECT_FALSE(std::filesystem::exists(SettingsFile()));
    EXPECT_FALSE(std::filesystem::exists(AutostartFile()));
    EXPECT_TRUE(boxes_.shown().empty());
}

} // namespace
} // namespace tallyhawk
