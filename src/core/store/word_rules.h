#pragma once

#include "core/store/keyword_rule.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tallyhawk
{

// Search texts and keyword lists both read as a KeywordRule (keyword_rule.h): words separated by
// spaces or commas must all occur, and "|", -word, "phrase" and word* extend that.

// A search text prepared once, so that many texts can be tested without parsing it again.
class WordMatcher
{
public:
    explicit WordMatcher(std::string_view words)
        : rule_(words)
    { }
    bool Matches(std::string_view text) const { return rule_.Matches(text); }
    bool empty() const { return rule_.empty(); }
    const KeywordRule& rule() const { return rule_; }

private:
    KeywordRule rule_;
};

// A comma-separated keyword list: a text matches when it holds every entry's words (empty entries are
// skipped), so "sony tv, 42 in" needs SONY, TV, 42 and IN in the one text.
class KeywordList
{
public:
    explicit KeywordList(std::string_view list)
        : rule_(list)
    { }
    bool Matches(std::string_view text) const { return rule_.Matches(text); }
    const KeywordRule& rule() const { return rule_; }

private:
    KeywordRule rule_;
};

// True when every word of `words` occurs in `text`; a missing text or missing words never match.
bool MatchesAllWords(std::optional<std::string_view> text, std::optional<std::string_view> words);

// True when `text` satisfies the keyword list; a missing text or list never matches.
bool MatchesKeywordList(std::optional<std::string_view> text, std::optional<std::string_view> keywordList);

// Cleans a downloaded description in place: tags removed, "&amp;" and "&nbsp;" resolved, control
// bytes turned into spaces, leading spaces dropped. Linear in the text's length.
std::string& CleanDescription(std::string& text);

} // namespace tallyhawk
