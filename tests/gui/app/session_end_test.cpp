#include "gui/app/session_end.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTest>

#include <gtest/gtest.h>
#include <signal.h>

#include <memory>

namespace tallyhawk
{
namespace
{

TEST(SessionEndTest, TheSessionsQuitRequestAndSigtermEndTheProgramTheCleanWay)
{
    int ends = 0;
    auto end = std::make_unique<SessionEnd>([&] { ++ends; });

    // What the platform sends when the session ends.
    QEvent quit(QEvent::Quit);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
    EXPECT_EQ(ends, 1);
    // Other events pass untouched.
    QEvent other(QEvent::User);
    QCoreApplication::sendEvent(QCoreApplication::instance(), &other);
    EXPECT_EQ(ends, 1);

    ASSERT_EQ(::raise(SIGTERM), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ends == 2; }, 5000));
    ASSERT_EQ(::raise(SIGHUP), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return ends == 3; }, 5000));

    // Gone, it leaves nothing behind: a later one catches the signals again, and no quit request
    // reaches the old one.
    end.reset();
    QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
    EXPECT_EQ(ends, 3);
    int laterEnds = 0;
    SessionEnd later([&] { ++laterEnds; });
    ASSERT_EQ(::raise(SIGINT), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return laterEnds == 1; }, 5000));
    EXPECT_EQ(ends, 3);
}

} // namespace
} // namespace tallyhawk
