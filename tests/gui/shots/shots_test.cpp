#include "support/temp_dir.h"

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace tallyhawk
{
namespace
{

// What one run of tallyhawk-shots left.
struct ShotRun
{
    int exitCode = -1;
    std::string err;
};

// tallyhawk-shots on a profile of its own, offscreen, its passes aimed at a port that refuses.
class ShotsTest : public ::testing::Test
{
protected:
    ShotsTest()
    {
        std::filesystem::create_directories(dir_.path() / "config" / "Quillmarch");
        std::filesystem::create_directories(dir_.path() / "home");
        std::ofstream(dir_.File("config/Quillmarch/Tallyhawk.conf"))
            << "[General]\nServerAddress=127.0.0.1\nServerPort=1\nSiteUrl=http://127.0.0.1:1\n";
    }

    ShotRun Shoot(QStringList arguments)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("HOME"), QString::fromStdString(dir_.File("home")));
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir_.File("config")));
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        environment.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));
        QProcess process;
        process.setProcessEnvironment(environment);
        arguments << QStringLiteral("--data-dir") << QString::fromStdString(dir_.File("data"));
        process.start(QStringLiteral(TALLYHAWK_SHOTS), arguments);
        ShotRun run;
        if (process.waitForFinished(60000) && process.exitStatus() == QProcess::NormalExit) {
            run.exitCode = process.exitCode();
        }
        run.err = process.readAllStandardError().toStdString();
        return run;
    }
    QString File(const std::string& name) const { return QString::fromStdString(dir_.File(name)); }

    test::TempDir dir_;
};

TEST_F(ShotsTest, SavesTheWindowAndADialogAsPictures)
{
    for (const QString& scene : {QStringLiteral("main"), QStringLiteral("settings")}) {
        const QString picture = File(scene.toStdString() + ".png");
        const ShotRun run = Shoot({picture, QStringLiteral("--shot"), scene});
        EXPECT_EQ(run.exitCode, 0) << scene.toStdString() << ": " << run.err;
        const QImage image(picture);
        EXPECT_FALSE(image.isNull()) << scene.toStdString();
        EXPECT_GT(image.width(), 100) << scene.toStdString();
    }
}

TEST_F(ShotsTest, RefusesAnUnknownSceneAndAMissingFile)
{
    ShotRun run = Shoot({File("x.png"), QStringLiteral("--shot"), QStringLiteral("nowhere")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("tallyhawk-shots: no screenshot scene nowhere"), std::string::npos) << run.err;
    EXPECT_FALSE(std::filesystem::exists(dir_.File("x.png")));

    run = Shoot({QStringLiteral("--dark")});
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_NE(run.err.find("usage: tallyhawk-shots FILE.png"), std::string::npos) << run.err;
}

} // namespace
} // namespace tallyhawk
