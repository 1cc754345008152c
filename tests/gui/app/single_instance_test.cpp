#include "core/common/program_version.h"
#include "gui/app/single_instance.h"
#include "support/temp_dir.h"

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <optional>

namespace tallyhawk
{
namespace
{

using namespace std::chrono_literals;

// A later start on a thread of its own: the running one answers on the window thread meanwhile.
SingleInstance::Claim StartElsewhere(const QString& name, const QStringList& arguments)
{
    auto claim = std::async(std::launch::async, [&] {
        SingleInstance later(name);
        later.SetAnswerWait(5000ms);
        return later.Start(arguments);
    });
    while (claim.wait_for(5ms) != std::future_status::ready) {
        QCoreApplication::processEvents();
    }
    return claim.get();
}

TEST(SingleInstanceTest, TheNameFollowsTheCanonicalDataFolder)
{
    test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "a");
    std::filesystem::create_directories(dir.path() / "b");
    const QString a = SingleInstance::ServerName(dir.path() / "a");
    EXPECT_EQ(SingleInstance::ServerName(dir.path() / "b" / ".." / "a" / "."), a);
    EXPECT_NE(SingleInstance::ServerName(dir.path() / "b"), a);
    EXPECT_TRUE(a.contains(QStringLiteral("tallyhawk-%1-").arg(::getuid())));
}

TEST(SingleInstanceTest, AnArgumentStartingWithMKeepsTheProgramInTheTray)
{
    EXPECT_TRUE(SingleInstance::AsksHidden({QStringLiteral("m")}));
    EXPECT_TRUE(SingleInstance::AsksHidden({QStringLiteral("x"), QStringLiteral("minimized")}));
    EXPECT_FALSE(SingleInstance::AsksHidden({}));
    EXPECT_FALSE(SingleInstance::AsksHidden({QStringLiteral("M"), QStringLiteral("--data-dir")}));
}

TEST(SingleInstanceTest, ASecondStartHandsItsArgumentsToTheFirst)
{
    test::TempDir dir;
    const QString name = QString::fromStdString(dir.File("guard"));
    SingleInstance first(name);
    QSignalSpy received(&first, &SingleInstance::argumentsReceived);
    ASSERT_EQ(first.Start({}), SingleInstance::Claim::Running);

    EXPECT_EQ(StartElsewhere(name, {QStringLiteral("m"), QStringLiteral("two words"), QStringLiteral("é")}),
              SingleInstance::Claim::HandedOver);
    EXPECT_EQ(StartElsewhere(name, {}), SingleInstance::Claim::HandedOver);
    ASSERT_EQ(received.count(), 2);
    EXPECT_EQ(received[0][0].toStringList(),
              (QStringList{QStringLiteral("m"), QStringLiteral("two words"), QStringLiteral("é")}));
    EXPECT_EQ(received[1][0].toStringList(), QStringList());
}

TEST(SingleInstanceTest, ASocketLeftByACrashDoesNotBlockTheStart)
{
    test::TempDir dir;
    const std::string path = dir.File("guard");
    // A socket file nobody listens on, as a killed program leaves it.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(std::filesystem::exists(path));

    SingleInstance first(QString::fromStdString(path));
    EXPECT_EQ(first.Start({}), SingleInstance::Claim::Running);
    EXPECT_EQ(StartElsewhere(QString::fromStdString(path), {}), SingleInstance::Claim::HandedOver);
}

TEST(SingleInstanceTest, ANameHeldByOneThatNeverAnswersFails)
{
    test::TempDir dir;
    const std::string path = dir.File("guard");
    // Listens but never accepts or answers: a hung program.
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ASSERT_EQ(::listen(fd, 4), 0);
    SingleInstance later(QString::fromStdString(path));
    later.SetAnswerWait(200ms);
    EXPECT_EQ(later.Start({}), SingleInstance::Claim::Failed);
    ::close(fd);
}

// The program itself, started on a profile of its own, offscreen, with its passes aimed at a port
// that refuses.
class ProgramRun
{
public:
    explicit ProgramRun(const test::TempDir& dir)
    {
        std::filesystem::create_directories(dir.path() / "config" / "Quillmarch");
        std::filesystem::create_directories(dir.path() / "run");
        std::filesystem::create_directories(dir.path() / "home");
        std::ofstream(dir.File("config/Quillmarch/Tallyhawk.conf"))
            << "[General]\nServerAddress=127.0.0.1\nServerPort=1\nSiteUrl=http://127.0.0.1:1\n";
        environment_ = QProcessEnvironment::systemEnvironment();
        environment_.insert(QStringLiteral("HOME"), QString::fromStdString(dir.File("home")));
        environment_.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir.File("config")));
        environment_.insert(QStringLiteral("XDG_RUNTIME_DIR"), QString::fromStdString(dir.File("run")));
        environment_.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment_.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        runtime_ = QString::fromStdString(dir.File("run"));
    }

    std::unique_ptr<QProcess> Start(const QStringList& arguments) const
    {
        auto process = std::make_unique<QProcess>();
        process->setProcessEnvironment(environment_);
        process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process->start(QStringLiteral(TALLYHAWK_PROGRAM), arguments);
        return process;
    }

    // Whether a program listens for later starts.
    bool Listening() const
    {
        return !QDir(runtime_).entryList({QStringLiteral("tallyhawk-*")}, QDir::System).isEmpty();
    }

private:
    QProcessEnvironment environment_;
    QString runtime_;
};

TEST(SingleInstanceTest, TheProgramStartedTwiceRunsOnceAndEndsCleanlyOnTerminate)
{
    test::TempDir dir;
    const QString data = QString::fromStdString(dir.File("data"));
    ProgramRun run(dir);
    std::unique_ptr<QProcess> first = run.Start({QStringLiteral("--data-dir"), data, QStringLiteral("m")});
    ASSERT_TRUE(first->waitForStarted(10000));
    ASSERT_TRUE(QTest::qWaitFor([&] { return run.Listening(); }, 30000));

    std::unique_ptr<QProcess> second = run.Start({QStringLiteral("--data-dir"), data + QStringLiteral("/.")});
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);

    // The session's end: the program stops its passes and ends normally.
    first->terminate();
    ASSERT_TRUE(first->waitForFinished(30000));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
    EXPECT_FALSE(run.Listening());

    // Killed outright, it leaves its socket behind; the next start runs all the same.
    std::unique_ptr<QProcess> killed = run.Start({QStringLiteral("--data-dir"), data, QStringLiteral("m")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return run.Listening(); }, 30000));
    killed->kill();
    ASSERT_TRUE(killed->waitForFinished(10000));
    ASSERT_TRUE(run.Listening());
    std::unique_ptr<QProcess> next = run.Start({QStringLiteral("--data-dir"), data, QStringLiteral("m")});
    ASSERT_TRUE(next->waitForStarted(10000));
    QTest::qWait(1500);
    EXPECT_EQ(next->state(), QProcess::Running);
    next->terminate();
    ASSERT_TRUE(next->waitForFinished(30000));
    EXPECT_EQ(next->exitCode(), 0);
}

// The screenshot scenes are a tool of their own: the program takes no scene arguments, so such a start
// is an ordinary one, guarded against a second start, and writes no sample records or pictures.
TEST(SingleInstanceTest, TheProgramHasNoScreenshotScenesAndWritesNoSamples)
{
    test::TempDir dir;
    const QString data = QString::fromStdString(dir.File("data"));
    const QString picture = QString::fromStdString(dir.File("shot.png"));
    ProgramRun run(dir);
    std::unique_ptr<QProcess> program = run.Start({QStringLiteral("--data-dir"),
                                                   data,
                                                   QStringLiteral("--screenshot"),
                                                   picture,
                                                   QStringLiteral("--shot"),
                                                   QStringLiteral("cards-shopping"),
                                                   QStringLiteral("m")});
    ASSERT_TRUE(program->waitForStarted(10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return run.Listening(); }, 30000));
    // Past the moment a screenshot run would have saved its picture and ended.
    QTest::qWait(2500);
    EXPECT_EQ(program->state(), QProcess::Running);
    program->terminate();
    ASSERT_TRUE(program->waitForFinished(30000));
    EXPECT_EQ(program->exitCode(), 0);
    EXPECT_FALSE(std::filesystem::exists(dir.File("shot.png")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("data/product.dat")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("data/purchase.dat")));
}

// Runs the program with one argument on a system with no display at all; its standard output.
std::string OutputWithoutDisplay(const QString& argument)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.remove(QStringLiteral("DISPLAY"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TALLYHAWK_PROGRAM), {argument});
    EXPECT_TRUE(process.waitForFinished(30000));
    EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(process.exitCode(), 0);
    return process.readAllStandardOutput().toStdString();
}

// --version and --help answer before the application starts, so packaging checks and users without a
// display get them.
TEST(SingleInstanceTest, TheProgramPrintsTheReleaseVersionWithoutADisplay)
{
    EXPECT_EQ(OutputWithoutDisplay(QStringLiteral("--version")),
              "tallyhawk " + std::string(kReleaseVersion) + "\n");
}

TEST(SingleInstanceTest, TheProgramPrintsItsUsageWithoutADisplay)
{
    for (const QString& argument : {QStringLiteral("--help"), QStringLiteral("-h")}) {
        const std::string usage = OutputWithoutDisplay(argument);
        EXPECT_EQ(usage.rfind("Usage: tallyhawk [--data-dir DIR] [--download-interval SECONDS] [m]\n", 0), 0u)
            << usage;
    }
}

} // namespace
} // namespace tallyhawk
