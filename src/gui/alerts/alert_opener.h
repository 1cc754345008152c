#pragma once

#include "core/store/item_record.h"
#include "gui/alerts/alert_actions.h"
#include "gui/alerts/alert_counters.h"

#include <functional>
#include <memory>
#include <string>

namespace tallyhawk
{

class BrowserLauncher;
class Settings;

// How the main window's alert queue puts one alert on screen: it hands over the record and its
// counters of open popups.
using AlertOpener = std::function<void(std::unique_ptr<ItemRecord> record, AlertCounters& counters)>;

// An opener over one AlertDelivery for the platform (popups, or desktop notifications on Wayland).
// The settings and the browser must outlive every copy of the opener; the popups still open when the
// last copy goes are closed with it.
AlertOpener MakeAlertOpener(const Settings& settings, BrowserLauncher& browser);
// The same with links opened through `openLink` (true when a browser was started), for an owner
// whose launcher may be replaced after the opener is made, and the alerts' actions.
AlertOpener MakeAlertOpener(const Settings& settings,
                            std::function<bool(const std::string& address)> openLink,
                            AlertActions actions = {});

} // namespace tallyhawk
