#include "core/update/update_texts.h"
#include "gui/app/window_update_host.h"
#include "gui/controls/message_boxes.h"
#include "support/preset_message_boxes.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

namespace tallyhawk
{
namespace
{

using namespace std::chrono_literals;

// Runs `work` on a thread of its own, as a pass does, and keeps the window thread's events going
// until it ends.
template <typename Work>
auto OnPassThread(Work work)
{
    auto result = std::async(std::launch::async, std::move(work));
    while (result.wait_for(5ms) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    return result.get();
}

class WindowUpdateHostTest : public ::testing::Test
{
protected:
    WindowUpdateHostTest()
    {
        WindowUpdateHost::Targets targets;
        targets.setTitle = [this](const QString& title) {
            Note(QStringLiteral("title ") + title);
        };
        targets.ask = [](const QString& caption, const QString& text, std::function<void(bool)> answered) {
            MessageBoxes::AskLater(nullptr, caption, text, [answered](QMessageBox::StandardButton button) {
                answered(button == QMessageBox::Yes);
            });
        };
        targets.openPage = [this](const std::string& url) {
            Note(QStringLiteral("page ") + QString::fromStdString(url));
        };
        targets.endProgram = [this](int result) {
            Note(QStringLiteral("end %1").arg(result));
        };
        targets.refreshView = [this](bool rebuild) {
            Note(QStringLiteral("refresh %1").arg(rebuild));
        };
        targets.stopTimers = [this] {
            Note(QStringLiteral("stop"));
        };
        targets.startTimers = [this](std::chrono::milliseconds download, std::chrono::milliseconds queue) {
            Note(QStringLiteral("start %1 %2").arg(download.count()).arg(queue.count()));
        };
        targets.postAlert = [this](std::unique_ptr<ItemRecord> record) {
            Note(QStringLiteral("alert %1").arg(record->id));
        };
        host = std::make_unique<WindowUpdateHost>(std::move(targets));
    }

    void Note(const QString& call)
    {
        calls << call;
        if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
            offThread = true;
        }
    }

    std::unique_ptr<WindowUpdateHost> host;
    QStringList calls;
    bool offThread = false;
};

TEST_F(WindowUpdateHostTest, EveryCallOfAPassIsCarriedOutOnTheWindowThreadInOrder)
{
    OnPassThread([&] {
        host->SetTitle("Tallyhawk - Online [127.0.0.1]");
        host->StopTimers();
        auto record = std::make_unique<ItemRecord>();
        record->id = 42;
        host->PostAlert(std::move(record));
        host->PostAlert(nullptr);
        host->RefreshView(true);
        host->StartTimers(180000ms, 2000ms);
        host->OpenPage("http://127.0.0.1/download.aspx");
        host->EndProgram(-2);
    });
    QCoreApplication::processEvents();
    EXPECT_EQ(calls,
              (QStringList{QStringLiteral("title Tallyhawk - Online [127.0.0.1]"),
                           QStringLiteral("stop"),
                           QStringLiteral("alert 42"),
                           QStringLiteral("refresh 1"),
                           QStringLiteral("start 180000 2000"),
                           QStringLiteral("page http://127.0.0.1/download.aspx"),
                           QStringLiteral("end -2")}));
    EXPECT_FALSE(offThread);
}

TEST_F(WindowUpdateHostTest, PromptsWaitForTheAnswerOfTheMessageBox)
{
    PresetMessageBoxes boxes;
    boxes.Answer(QMessageBox::Yes);
    boxes.Answer(QMessageBox::No);
    EXPECT_TRUE(OnPassThread([&] { return host->AskDownloadNewVersion(); }));
    EXPECT_FALSE(OnPassThread([&] { return host->AskExitNow(); }));
    ASSERT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.shown()[0].title, QStringLiteral("New Tallyhawk version"));
    EXPECT_EQ(boxes.shown()[0].icon, QMessageBox::Question);
    EXPECT_EQ(boxes.shown()[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(boxes.shown()[0].text,
              QStringLiteral("There is a new version of Tallyhawk available for download.\n"
                             "Would you like to download and install the new version?"));
    EXPECT_TRUE(boxes.shown()[1].text.startsWith(
        QStringLiteral("You must close the current Tallyhawk instance before installing")));
    EXPECT_TRUE(boxes.shown()[1].text.endsWith(QStringLiteral("\nWould you like to exit Tallyhawk now?")));
    EXPECT_FALSE(boxes.shown()[1].text.contains(QLatin1Char('\r')));
}

TEST_F(WindowUpdateHostTest, CloseAnswersAWaitingPromptNoAndDropsLateCalls)
{
    PresetMessageBoxes boxes;
    boxes.Answer(QMessageBox::Yes);
    std::atomic<bool> asking{false};
    // The window thread is busy (shutting down) and never gets to the prompt.
    auto answer = std::async(std::launch::async, [&] {
        asking = true;
        return host->AskDownloadNewVersion();
    });
    while (!asking) {
        std::this_thread::sleep_for(1ms);
    }
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(answer.wait_for(0ms), std::future_status::timeout);
    host->Close();
    ASSERT_EQ(answer.wait_for(2s), std::future_status::ready);
    EXPECT_FALSE(answer.get());

    OnPassThread([&] {
        host->SetTitle("late");
        auto record = std::make_unique<ItemRecord>();
        host->PostAlert(std::move(record)); // freed, never delivered
        return host->AskExitNow();
    });
    QCoreApplication::processEvents();
    EXPECT_TRUE(calls.isEmpty());
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(WindowUpdateHostTest, AnAlertStillOnItsWayWhenTheHostGoesIsFreed)
{
    OnPassThread([&] {
        auto record = std::make_unique<ItemRecord>();
        host->PostAlert(std::move(record));
    });
    // Destroyed before the window thread got to the call: the leak check sees the record freed.
    host.reset();
    QCoreApplication::processEvents();
    EXPECT_TRUE(calls.isEmpty());
}

// The open question box, if any.
QMessageBox* OpenQuestion()
{
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<QMessageBox*>(widget); box != nullptr && box->isVisible()) {
            return box;
        }
    }
    return nullptr;
}

// The question returns at once and runs no event loop of its own; the answer comes when the box closes.
TEST(MessageBoxesAskLater, ReturnsAtOnceAndAnswersWhenTheBoxCloses)
{
    struct Case
    {
        const char* name;
        std::function<void(QMessageBox&)> close;
        QMessageBox::StandardButton expected;
    };
    const std::vector<Case> cases{
        {"yes", [](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); }, QMessageBox::Yes},
        {"no", [](QMessageBox& box) { box.button(QMessageBox::No)->click(); }, QMessageBox::No},
        {"escape", [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }, QMessageBox::No},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        std::optional<QMessageBox::StandardButton> answer;
        MessageBoxes::AskLater(nullptr,
                               QStringLiteral("New Tallyhawk version"),
                               QStringLiteral("Download?"),
                               [&](QMessageBox::StandardButton button) { answer = button; });
        EXPECT_FALSE(answer);
        QMessageBox* box = OpenQuestion();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->text(), QStringLiteral("Download?"));
        test.close(*box);
        EXPECT_EQ(answer, test.expected);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(OpenQuestion(), nullptr);
    }
}

} // namespace
} // namespace tallyhawk
