#pragma once

#include "server/feeds/parsed_feed.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace tallyhawk::server
{

// The one-line text an item shows for a feed's text: markup removed (with what scripts and styles
// hold), HTML entities read, control characters dropped and every run of white space made one space.
class FeedTextCleaner
{
public:
    static std::string Clean(const FeedText& text);
    // Tags removed and entities read, nothing else.
    static std::string StripMarkup(std::string_view html);
    // Named and numeric character references read; an unknown name stays as written.
    static std::string DecodeEntities(std::string_view text);
    // One line: C0 and C1 controls and DEL dropped, white space (the no-break space too) folded.
    static std::string OneLine(std::string_view text);
    static void AppendUtf8(std::string& out, std::uint32_t codePoint);
};

} // namespace tallyhawk::server
