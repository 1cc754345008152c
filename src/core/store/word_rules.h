#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tallyhawk
{

// Case is ignored for the letters a to z only; every other byte matches itself.

// The space-separated words of a search text, upper-cased once, so that many texts can be tested
// without copying them. A text matches when it holds every word; no words at all match every text.
class WordMatcher
{
public:
    explicit WordMatcher(std::string_view words);
    bool Matches(std::string_view text) const;
    bool empty() const { return words_.empty(); }

private:
    std::string upper_;
    std::vector<std::pair<std::size_t, std::size_t>> words_; // offset and length in upper_
};

// A comma-separated keyword list: a text matches when it matches every entry (empty entries are
// skipped), so "sony tv, 42 in" needs SONY, TV, 42 and IN in the one text.
class KeywordList
{
public:
    explicit KeywordList(std::string_view list);
    bool Matches(std::string_view text) const;

private:
    std::vector<WordMatcher> entries_;
};

// True when every word of `words` occurs in `text`; a missing text or missing words never match.
bool MatchesAllWords(std::optional<std::string_view> text, std::optional<std::string_view> words);

// True when `text` satisfies the keyword list; a missing text or list never matches.
bool MatchesKeywordList(std::optional<std::string_view> text, std::optional<std::string_view> keywordList);

// Cleans a downloaded description in place: tags removed, "&amp;" and "&nbsp;" resolved, control
// bytes turned into spaces, leading spaces dropped. Linear in the text's length.
std::string& CleanDescription(std::string& text);

} // namespace tallyhawk
