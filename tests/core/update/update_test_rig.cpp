#include "update_test_rig.h"

#include <algorithm>

namespace tallyhawk::test
{

bool RecordingHost::Saw(const std::string& event) const
{
    std::vector<std::string> events = Events();
    return std::find(events.begin(), events.end(), event) != events.end();
}

UpdateRig::UpdateRig(std::uint16_t dealPort, const std::string& siteUrl)
    : settings(dir.File("settings.conf"))
    , context{settings, connection, fetcher, deals, topics}
{
    settings.serverAddress = "127.0.0.1";
    settings.serverPort = dealPort;
    settings.siteUrl = siteUrl;
    context.folder = dir.path();
    connection.link().timeoutOverride = std::chrono::milliseconds(500);
    connection.link().headerPieceWait = std::chrono::milliseconds(500);
    connection.SetRequestLimit(std::chrono::milliseconds(5000));
    connection.Configure(settings.serverAddress, settings.serverPort);
    LoadStores();
}

void UpdateRig::LoadStores()
{
    deals.Open("deal.lst", dir.path().string());
    topics.Open("topic.lst", dir.path().string());
    deals.Load();
    topics.Load();
}

} // namespace tallyhawk::test
