#pragma once

#include <string_view>

namespace tallyhawk
{

// The update cycle's own texts.
inline constexpr std::string_view kConnectingTitle = "Tallyhawk - Connecting [%s]";
inline constexpr std::string_view kOnlineTitle = "Tallyhawk - Online [%s]";
// After a pass that could not reach the deal server.
inline constexpr std::string_view kOfflineTitle = "Tallyhawk - Offline [%s]";
inline constexpr std::string_view kNewVersionCaption = "New Tallyhawk version";
inline constexpr std::string_view kNewVersionQuestion
    = "There is a new version of Tallyhawk available for download.\r\n"
      "Would you like to download and install the new version?";
inline constexpr std::string_view kExitNowQuestion
    = "You must close the current Tallyhawk instance before installing the new Tallyhawk version.\r\n"
      "You can close Tallyhawk at any time by selecting the Exit command from the Tallyhawk tray icon "
      "menu.\r\nWould you like to exit Tallyhawk now?";

} // namespace tallyhawk
