#include "alert_test_records.h"
#include "core/settings/settings.h"
#include "gui/alerts/alert_delivery.h"
#include "gui/alerts/desktop_notifier.h"
#include "support/temp_dir.h"

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QVariantMap>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tallyhawk
{
namespace
{

// The desktop's notification service as a test plays it: records each notification and answers
// with the next id, or refuses them all.
class FakeNotificationService : public QObject, protected QDBusContext
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

public:
    struct Shown
    {
        QString summary;
        QString body;
        QStringList actions;
        int timeout;
    };

    std::vector<Shown> shown;
    bool refuse = false;
    QStringList capabilities{QStringLiteral("actions")};

public Q_SLOTS:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString&,
                uint,
                const QString&,
                const QString& summary,
                const QString& body,
                const QStringList& actions,
                const QVariantMap&,
                int timeout)
    {
        if (refuse) {
            sendErrorReply(QDBusError::Failed, QStringLiteral("refused"));
            return 0;
        }
        shown.push_back({summary, body, actions, timeout});
        return static_cast<uint>(shown.size() + 40);
    }
};

// A session bus of the test's own, so no desktop's service answers.
class PrivateBus
{
public:
    PrivateBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty()) {
            return;
        }
        process_.start(
            daemon,
            {QStringLiteral("--session"), QStringLiteral("--nofork"), QStringLiteral("--print-address=1")});
        if (!process_.waitForStarted(5000)) {
            return;
        }
        while (!process_.canReadLine() && process_.waitForReadyRead(5000)) {
        }
        address_ = QString::fromUtf8(process_.readLine()).trimmed();
    }
    ~PrivateBus()
    {
        QDBusConnection::disconnectFromBus(QStringLiteral("service"));
        QDBusConnection::disconnectFromBus(QStringLiteral("client"));
        process_.kill();
        process_.waitForFinished(5000);
    }
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    const QString& address() const { return address_; }
    QDBusConnection Connect(const QString& name) { return QDBusConnection::connectToBus(address_, name); }

private:
    QProcess process_;
    QString address_;
};

class DesktopNotifierBusTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (bus_.address().isEmpty()) {
            GTEST_SKIP() << "no dbus-daemon to run a private bus";
        }
        service_ = bus_.Connect(QStringLiteral("service"));
        ASSERT_TRUE(service_.isConnected());
        ASSERT_TRUE(service_.registerObject(
            QString::fromLatin1(DesktopNotifier::kPath), &fake_, QDBusConnection::ExportAllSlots));
        ASSERT_TRUE(service_.registerService(QString::fromLatin1(DesktopNotifier::kService)));
        client_ = bus_.Connect(QStringLiteral("client"));
        ASSERT_TRUE(client_.isConnected());
    }

    std::unique_ptr<DesktopNotifier> MakeNotifier()
    {
        return std::make_unique<DesktopNotifier>(client_, [this](const std::string& address) {
            opened_.push_back(address);
            return true;
        });
    }

    void Emit(const QString& name, const QVariantList& arguments)
    {
        QDBusMessage signal = QDBusMessage::createSignal(QString::fromLatin1(DesktopNotifier::kPath),
                                                         QString::fromLatin1(DesktopNotifier::kInterface),
                                                         name);
        signal.setArguments(arguments);
        ASSERT_TRUE(service_.send(signal));
    }

    PrivateBus bus_;
    QDBusConnection service_{QString()};
    QDBusConnection client_{QString()};
    FakeNotificationService fake_;
    std::vector<std::string> opened_;
};

TEST_F(DesktopNotifierBusTest, TheServiceShowsTheAlertAndItsDefaultActionOpensTheLink)
{
    test::TempDir dir;
    test::WriteFileBytes(dir.File("settings.conf"),
                         "[General]\nNotifyTimeout=9\nSiteUrl=http://127.0.0.1:9000\n");
    const Settings settings(dir.File("settings.conf"));
    AlertDelivery delivery(
        settings,
        [this](const std::string& address) {
            opened_.push_back(address);
            return true;
        },
        AlertDelivery::Route::DesktopNotifications);
    auto notifier = MakeNotifier();
    DesktopNotifier* watched = notifier.get();
    ASSERT_TRUE(watched->Available());
    delivery.SetNotifier(std::move(notifier));

    AlertCounters counters;
    delivery.Open(test::AlertRecord(5, 2, "Kettles"), counters);
    ASSERT_TRUE(QTest::qWaitFor([&] { return watched->openNotifications() == 1; }, 5000));
    ASSERT_EQ(fake_.shown.size(), 1u);
    EXPECT_EQ(fake_.shown[0].summary, QStringLiteral("Corner Shop - Kettles"));
    EXPECT_EQ(fake_.shown[0].body, QStringLiteral("Every kettle in the shop at half price.\n$9.99"));
    EXPECT_EQ(fake_.shown[0].actions, (QStringList{QStringLiteral("default"), QStringLiteral("Open")}));
    EXPECT_EQ(fake_.shown[0].timeout, 9000);
    // The service keeps its own stack: no popup, and nothing for the main window to hold back.
    EXPECT_TRUE(delivery.openPopups().empty());
    EXPECT_EQ(counters.openAlerts, 0);
    EXPECT_EQ(counters.maxAlerts, 0);

    Emit(QStringLiteral("ActionInvoked"), {QVariant::fromValue(41u), QStringLiteral("default")});
    ASSERT_TRUE(QTest::qWaitFor([&] { return !opened_.empty(); }, 5000));
    EXPECT_EQ(opened_, std::vector<std::string>{"http://127.0.0.1:9000/redir.aspx?srcType=2&srcId=5"});

    Emit(QStringLiteral("NotificationClosed"), {QVariant::fromValue(41u), QVariant::fromValue(1u)});
    EXPECT_TRUE(QTest::qWaitFor([&] { return watched->openNotifications() == 0; }, 5000));
}

TEST_F(DesktopNotifierBusTest, ANotificationTheServiceRefusesBecomesAPopup)
{
    fake_.refuse = true;
    test::TempDir dir;
    const Settings settings(dir.File("settings.conf"));
    AlertDelivery delivery(settings, {}, AlertDelivery::Route::DesktopNotifications);
    delivery.SetNotifier(MakeNotifier());
    AlertCounters counters;
    delivery.Open(test::AlertRecord(6), counters);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !delivery.openPopups().empty(); }, 5000));
    EXPECT_EQ(counters.openAlerts, 1);
}

TEST_F(DesktopNotifierBusTest, TheExtraTextIsBoldWhereTheServiceReadsMarkup)
{
    fake_.capabilities << QStringLiteral("body-markup");
    auto notifier = MakeNotifier();
    // The capabilities are asked without waiting.
    ASSERT_TRUE(QTest::qWaitFor([&] { return notifier->bodyMarkup(); }, 5000));
    AlertTexts texts;
    texts.link = QStringLiteral("Shop - Deal");
    texts.description = QStringLiteral("Fish & chips");
    texts.extra = QStringLiteral("$5");
    notifier->Notify(texts, 30, {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return fake_.shown.size() == 1; }, 5000));
    EXPECT_EQ(fake_.shown[0].body, QStringLiteral("Fish &amp; chips\n<b>$5</b>"));
}

} // namespace
} // namespace tallyhawk

#include "desktop_notifier_bus_test.moc"
