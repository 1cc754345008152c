#include "core/store/word_rules.h"

#include <algorithm>

namespace tallyhawk
{
namespace
{

// Replaces every `pattern` by `replacement` in one pass, in place. Only valid when a replacement can
// never form a new occurrence together with the bytes around it.
void ReplaceAllOnce(std::string& text, std::string_view pattern, char replacement)
{
    std::size_t found = text.find(pattern);
    if (found == std::string::npos) {
        return;
    }
    std::size_t out = found;
    std::size_t in = found;
    while (in < text.size()) {
        if (text.compare(in, pattern.size(), pattern) == 0) {
            text[out++] = replacement;
            in += pattern.size();
        } else {
            text[out++] = text[in++];
        }
    }
    text.resize(out);
}

} // namespace

bool MatchesAllWords(std::optional<std::string_view> text, std::optional<std::string_view> words)
{
    return text && words && WordMatcher(*words).Matches(*text);
}

bool MatchesKeywordList(std::optional<std::string_view> text, std::optional<std::string_view> keywordList)
{
    return text && keywordList && KeywordList(*keywordList).Matches(*text);
}

std::string& CleanDescription(std::string& text)
{
    // Tags. Removing the first "<" through the first ">" leaves nothing of either before the cut, so
    // the next search starts there; one pass with a read and a write position does it all.
    {
        std::size_t in = 0;
        std::size_t out = 0;
        for (;;) {
            const std::size_t open = text.find('<', in);
            const std::size_t close = text.find('>', in);
            if (open == std::string::npos || close == std::string::npos || open > close) {
                break;
            }
            if (out != in) {
                std::copy(text.begin() + static_cast<std::ptrdiff_t>(in),
                          text.begin() + static_cast<std::ptrdiff_t>(open),
                          text.begin() + static_cast<std::ptrdiff_t>(out));
            }
            out += open - in;
            in = close + 1;
        }
        if (in != out) {
            std::copy(text.begin() + static_cast<std::ptrdiff_t>(in),
                      text.end(),
                      text.begin() + static_cast<std::ptrdiff_t>(out));
            text.resize(out + (text.size() - in));
        }
    }

    // "&amp;" to "&", as often as a replacement forms a new one ("&amp;amp;" ends as "&"). A new one
    // can only end where the copy stands, so checking the written end after each byte finds them all.
    if (text.find("&amp;") != std::string::npos) {
        constexpr std::string_view kAmp = "&amp;";
        std::size_t out = 0;
        for (std::size_t in = 0; in < text.size(); ++in) {
            text[out++] = text[in];
            if (out >= kAmp.size()
                && std::string_view(text.data() + out - kAmp.size(), kAmp.size()) == kAmp) {
                out -= kAmp.size() - 1;
            }
        }
        text.resize(out);
    }

    // A space never forms a new "&nbsp;", so one pass replaces them all.
    ReplaceAllOnce(text, "&nbsp;", ' ');

    std::replace_if(
        text.begin(), text.end(), [](char c) { return c >= 1 && c <= 31; }, ' ');
    text.erase(0, std::min(text.find_first_not_of(' '), text.size()));
    return text;
}

} // namespace tallyhawk
