#include "gui/shots/compare_scenes.h"

#include "core/compare/web_spider.h"
#include "gui/compare/agent_workshop.h"
#include "gui/compare/compare_prices_dialog.h"
#include "gui/compare/comparing_prices_dialog.h"

#include <QLineEdit>
#include <QObject>
#include <QPushButton>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <sstream>
#include <string>

namespace tallyhawk
{
namespace
{

// A port on 127.0.0.1 that takes connections and never answers, so an agent aimed at it stays
// "searching" for the picture. The socket lives as long as the process.
int SilentPort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return 0;
    }
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(fd, 8) != 0
        || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        ::close(fd);
        return 0;
    }
    return ntohs(address.sin_port);
}

std::string ExtraAgent(int siteId, const std::string& name, const std::string& searchAddress)
{
    return "<WebAgent><SiteId>" + std::to_string(siteId) + "</SiteId><SiteType>1</SiteType><SiteName>" + name
        + "</SiteName><SiteAddress>http://127.0.0.1/</SiteAddress><FormatString>" + searchAddress
        + " KEYWORD </FormatString><StartResult><li></StartResult><EndResult></li></EndResult>"
          "<StartItem><b></StartItem><EndItem></b></EndItem><StartURL><a href=\"</StartURL>"
          "<EndURL>\"</EndURL></WebAgent>\n";
}

// The demo's configuration with every shop serving category 1, a shop that is slow to answer and one
// that is down.
std::string SceneConfiguration(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    text = std::regex_replace(text, std::regex("<SiteType>[^<]*</SiteType>"), "<SiteType>1</SiteType>");
    const int silent = SilentPort();
    text += ExtraAgent(91, "Lakeside Goods", "http://127.0.0.1:" + std::to_string(silent) + "/search?q=");
    text += ExtraAgent(92, "Northwind Market", "http://127.0.0.1:1/search?q=");
    return text;
}

} // namespace

// The workshop on the demo's first shop, its result page for "tv" fetched and its hits marked.
QWidget* ShowWorkshopScene(QWidget* parent)
{
    auto* workshop = new AgentWorkshop(".", HttpFetcher(), parent);
    workshop->setAttribute(Qt::WA_DeleteOnClose);
    workshop->findChild<QLineEdit*>(QStringLiteral("searchText"))->setText(QStringLiteral("tv"));
    workshop->ChooseAgent(1);
    QObject::connect(
        workshop,
        &AgentWorkshop::AgentsLoaded,
        workshop,
        [workshop] {
            if (auto* fetch = workshop->findChild<QPushButton*>(QStringLiteral("fetch"));
                fetch && fetch->isEnabled()) {
                fetch->click();
            }
        },
        Qt::SingleShotConnection);
    workshop->show();
    return workshop;
}

QWidget* ShowCompareScene(const QString& name, QWidget* parent)
{
    if (name == QStringLiteral("agent-workshop")) {
        return ShowWorkshopScene(parent);
    }
    if (name != QStringLiteral("compare") && name != QStringLiteral("comparing")) {
        return nullptr;
    }
    auto* spider = new WebSpider;
    QDialog* dialog = nullptr;
    if (name == QStringLiteral("compare")) {
        dialog = new ComparePricesDialog(
            *spider, QStringLiteral("noise-cancelling headphones"), QStringLiteral("Electronics"), parent);
    } else {
        spider->configuration().LoadText(SceneConfiguration(spider->configurationPath()));
        dialog = new ComparingPricesDialog(*spider, QStringLiteral("guide"), 1, parent);
    }
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    // The dialog detaches from the spider before it goes; the spider goes right after.
    QObject::connect(dialog, &QObject::destroyed, [spider] { delete spider; });
    dialog->show();
    return dialog;
}

} // namespace tallyhawk
