// The main window's event loop while another process holds "deal.lst" and the user refreshes the view
// and clicks rows: the worst delay of an event posted to the window thread, against 50 ms (the longest
// pause a user does not notice as a stall). Not a Google Benchmark program: one whole scene, timed by
// a thread that posts an event every 5 ms and the window thread that stamps its arrival.
#include "core/store/item_filter.h"
#include "core/store/item_store.h"
#include "deal_file.h"
#include "gui/app/main_window.h"
#include "gui/folders/folder_kind.h"
#include "support/mock_clock.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QItemSelectionModel>
#include <QTimer>
#include <QTreeView>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

namespace
{

using Clock = std::chrono::steady_clock;

constexpr int kItems = 10000;
// The clock stands just after the last item, so the week's view holds them all.
constexpr std::int32_t kNow = 1100000000 + kItems + 60;
// The other process holds the file's lock this long, then lets go briefly, for the whole scene.
constexpr auto kHold = std::chrono::milliseconds(2500);
constexpr auto kGap = std::chrono::milliseconds(300);
constexpr auto kScene = std::chrono::seconds(8);
constexpr auto kActionEvery = std::chrono::milliseconds(250);
constexpr auto kProbeEvery = std::chrono::milliseconds(5);
constexpr double kTargetMs = 50.0;

// Stands in for "tallyhawk-cli" holding the file: flock on its own descriptor, in a process of its own,
// until the parent kills it. Writes a byte to `heldFd` once it holds the lock the first time.
[[noreturn]] void HoldLockOverAndOver(const std::string& path, int heldFd)
{
    const int fd = ::open(path.c_str(), O_RDWR);
    if (fd < 0) {
        std::_Exit(2);
    }
    // The first hold begins at once; the parent waits for this byte before the scene starts.
    if (::flock(fd, LOCK_EX) != 0) {
        std::_Exit(2);
    }
    (void)!::write(heldFd, "h", 1);
    for (;;) {
        std::this_thread::sleep_for(kHold);
        ::flock(fd, LOCK_UN);
        std::this_thread::sleep_for(kGap);
        ::flock(fd, LOCK_EX);
    }
}

// Receives the probe's events on the window thread and keeps the worst wait between post and arrival.
class DelayProbe : public QObject
{
public:
    struct Stamp : QEvent
    {
        explicit Stamp(Clock::time_point posted)
            : QEvent(QEvent::User)
            , posted(posted)
        { }
        Clock::time_point posted;
    };

    bool event(QEvent* event) override
    {
        if (event->type() != QEvent::User) {
            return QObject::event(event);
        }
        const auto waited = Clock::now() - static_cast<Stamp*>(event)->posted;
        worst = std::max(worst, std::chrono::duration<double, std::milli>(waited).count());
        ++arrived;
        return true;
    }

    double worst = 0;
    long arrived = 0;
};

std::string SettingsFile(const std::string& folder)
{
    const std::string path = folder + "/events.conf";
    tallyhawk::Settings settings(path);
    settings.showSummary = 0;
    settings.Save();
    // The update cycle reaches only 127.0.0.1, where port 1 refuses at once.
    settings.WriteText("ServerAddress", "127.0.0.1");
    settings.WriteNumber("ServerPort", 1);
    settings.WriteText("SiteUrl", "http://127.0.0.1:1");
    return path;
}

QTreeView* ItemList(tallyhawk::MainWindow& window)
{
    return window.findChild<QTreeView*>(QStringLiteral("itemList"));
}

// Turns the event loop until `ready` holds or `limit` passes.
template <typename Ready>
bool TurnUntil(Ready ready, std::chrono::milliseconds limit)
{
    const auto end = Clock::now() + limit;
    while (!ready() && Clock::now() < end) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return ready();
}

} // namespace

int main(int /*argc*/, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    tallyhawk::bench::DealFile data(kItems);
    const std::string settingsFile = SettingsFile(data.folder);

    // The holder is forked before Qt starts any thread.
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return 1;
    }
    const pid_t holder = ::fork();
    if (holder == 0) {
        ::close(pipeFds[0]);
        HoldLockOverAndOver(data.path, pipeFds[1]);
    }
    ::close(pipeFds[1]);
    // The holder goes with the scene, however it ends.
    struct Reaper
    {
        pid_t pid;
        ~Reaper()
        {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    } reaper{holder};

    int qtArgc = 1;
    QApplication app(qtArgc, argv);
    std::filesystem::current_path(data.folder);
    tallyhawk::MockClock clock(kNow);

    auto window = std::make_unique<tallyhawk::MainWindow>(settingsFile);
    window->Start(true);
    window->ShowFolder(tallyhawk::FolderKind::CouponsAndDeals);
    QTreeView* list = ItemList(*window);
    if (list == nullptr) {
        std::fprintf(stderr, "the window has no item list\n");
        return 1;
    }
    // The first view may wait for the file like any other; the scene starts once it shows.
    const auto rows = [list] {
        return list->model() != nullptr ? list->model()->rowCount() : 0;
    };
    if (!TurnUntil([&] { return rows() > 0; }, std::chrono::seconds(30))) {
        std::fprintf(stderr, "the view never showed the items\n");
        return 1;
    }

    char held = 0;
    if (::read(pipeFds[0], &held, 1) != 1) {
        std::fprintf(stderr, "the other process could not lock the file\n");
        return 1;
    }

    DelayProbe probe;
    std::atomic<bool> probing{true};
    std::thread poster([&] {
        while (probing.load()) {
            QCoreApplication::postEvent(&probe, new DelayProbe::Stamp(Clock::now()));
            std::this_thread::sleep_for(kProbeEvery);
        }
    });

    // The user: a refresh, then two row clicks, over and over.
    int action = 0;
    int refreshes = 0;
    int clicks = 0;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        if (action++ % 3 == 0) {
            window->RefreshView(true);
            ++refreshes;
            return;
        }
        const int count = rows();
        if (count == 0) {
            return;
        }
        const QModelIndex index = list->model()->index((action * 37) % count, 0);
        list->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        ++clicks;
    });
    user.start(kActionEvery);

    const auto sceneEnd = Clock::now() + kScene;
    TurnUntil([&] { return Clock::now() >= sceneEnd; }, kScene + std::chrono::seconds(1));
    user.stop();
    probing = false;
    poster.join();
    QCoreApplication::sendPostedEvents(&probe);

    window->Shutdown();
    window.reset();

    std::printf("%d items; %d refreshes and %d row clicks in %lld s while another process held \"deal.lst\" "
                "%lld ms of every %lld ms; %ld probe events, worst delay %.1f ms\n",
                kItems,
                refreshes,
                clicks,
                static_cast<long long>(kScene.count()),
                static_cast<long long>(kHold.count()),
                static_cast<long long>((kHold + kGap).count()),
                probe.arrived,
                probe.worst);
    std::printf("RATIO event_delay_worst_vs_50ms %.2f target <=1\n", probe.worst / kTargetMs);
    return 0;
}
