#include "core/store/keyword_rule.h"

#include <algorithm>

namespace tallyhawk
{

namespace
{

char Upper(char c)
{
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

// Letters, digits and every byte of a multi-byte character belong to words.
bool IsWordByte(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z')
        || byte >= 0x80;
}

bool IsSeparator(char c)
{
    return c == ' ' || c == ',' || c == '\t';
}

bool EqualsUpperAt(std::string_view text, std::size_t at, std::string_view upper)
{
    for (std::size_t j = 0; j < upper.size(); ++j) {
        if (Upper(text[at + j]) != upper[j]) {
            return false;
        }
    }
    return true;
}

std::string_view Trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(" ,\t");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" ,\t") - first + 1);
}

// Splits at the "|" that stand outside quotes.
std::vector<std::string_view> SplitAlternatives(std::string_view text)
{
    std::vector<std::string_view> parts;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '"') {
            quoted = !quoted;
        } else if (text[i] == '|' && !quoted) {
            parts.push_back(text.substr(start, i - start));
            start = i + 1;
        }
    }
    parts.push_back(text.substr(start));
    return parts;
}

std::string UpperCopy(std::string_view text)
{
    std::string upper(text);
    std::transform(upper.begin(), upper.end(), upper.begin(), Upper);
    return upper;
}

} // namespace

KeywordRule::KeywordRule(std::string_view text)
{
    for (std::string_view part : SplitAlternatives(text)) {
        Alternative alternative = ParseAlternative(part);
        if (!alternative.terms.empty()) {
            alternatives_.push_back(std::move(alternative));
        }
    }
}

KeywordRule::Alternative KeywordRule::ParseAlternative(std::string_view text)
{
    Alternative alternative;
    alternative.written = std::string(Trimmed(text));
    std::size_t at = 0;
    while (at < text.size()) {
        if (IsSeparator(text[at])) {
            ++at;
            continue;
        }
        Term term;
        // A lone "-" is a word of its own, as before.
        if (text[at] == '-' && at + 1 < text.size() && !IsSeparator(text[at + 1])) {
            term.excluded = true;
            ++at;
        }
        if (text[at] == '"') {
            // An unclosed quote runs to the end of the text.
            const std::size_t close = std::min(text.find('"', at + 1), text.size());
            std::string_view phrase = Trimmed(text.substr(at + 1, close - at - 1));
            at = close + 1;
            if (phrase.empty()) {
                continue;
            }
            term.form = Form::Phrase;
            term.upper = UpperCopy(phrase);
        } else {
            std::size_t end = at;
            while (end < text.size() && !IsSeparator(text[end])) {
                ++end;
            }
            std::string_view word = text.substr(at, end - at);
            at = end;
            if (word.size() > 1 && word.back() == '*') {
                term.form = Form::Prefix;
                word.remove_suffix(1);
            }
            term.upper = UpperCopy(word);
        }
        alternative.terms.push_back(std::move(term));
    }
    return alternative;
}

bool KeywordRule::Holds(const Term& term, std::string_view text)
{
    const std::string_view upper = term.upper;
    if (upper.size() > text.size()) {
        return false;
    }
    const std::size_t last = text.size() - upper.size();
    for (std::size_t i = 0; i <= last; ++i) {
        if (!EqualsUpperAt(text, i, upper)) {
            continue;
        }
        const bool startsWord = i == 0 || !IsWordByte(text[i - 1]) || !IsWordByte(upper.front());
        const bool endsWord = i == last || !IsWordByte(text[i + upper.size()]) || !IsWordByte(upper.back());
        switch (term.form) {
        case Form::Substring:
            return true;
        case Form::Prefix:
            if (startsWord) {
                return true;
            }
            break;
        case Form::Phrase:
            if (startsWord && endsWord) {
                return true;
            }
            break;
        }
    }
    return false;
}

bool KeywordRule::Passes(const Alternative& alternative, std::span<const std::string_view> texts)
{
    for (const Term& term : alternative.terms) {
        if (term.excluded && std::any_of(texts.begin(), texts.end(), [&](std::string_view text) {
                return Holds(term, text);
            })) {
            return false;
        }
    }
    const bool needsAny = std::any_of(
        alternative.terms.begin(), alternative.terms.end(), [](const Term& term) { return !term.excluded; });
    if (!needsAny) {
        return true;
    }
    return std::any_of(texts.begin(), texts.end(), [&](std::string_view text) {
        return std::all_of(alternative.terms.begin(), alternative.terms.end(), [&](const Term& term) {
            return term.excluded || Holds(term, text);
        });
    });
}

bool KeywordRule::Matches(std::string_view text) const
{
    return Passes(std::span<const std::string_view>(&text, 1));
}

std::optional<std::string> KeywordRule::Match(std::span<const std::string_view> texts) const
{
    if (alternatives_.empty()) {
        return std::string();
    }
    for (const Alternative& alternative : alternatives_) {
        if (Passes(alternative, texts)) {
            return alternative.written;
        }
    }
    return std::nullopt;
}

} // namespace tallyhawk
