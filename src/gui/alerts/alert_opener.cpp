#include "gui/alerts/alert_opener.h"

#include "core/platform/browser_launcher.h"
#include "gui/alerts/alert_delivery.h"

#include <utility>

namespace tallyhawk
{

AlertOpener MakeAlertOpener(const Settings& settings, BrowserLauncher& browser)
{
    return MakeAlertOpener(settings,
                           [&browser](const std::string& address) { return browser.Open(address, true); });
}

AlertOpener MakeAlertOpener(const Settings& settings,
                            std::function<bool(const std::string& address)> openLink,
                            AlertActions actions)
{
    auto delivery = std::make_shared<AlertDelivery>(settings, std::move(openLink));
    delivery->SetActions(std::move(actions));
    return [delivery](std::unique_ptr<ItemRecord> record, AlertCounters& counters) {
        delivery->Open(std::move(record), counters);
    };
}

} // namespace tallyhawk
