#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tallyhawk
{

// The one rule for keyword lists and search texts. Alternatives are separated by "|"; each is a list
// of terms separated by commas or spaces, all of which must hold:
//   word        occurs anywhere, even inside another word (the old rule, so old lists match as before)
//   word*       begins a word
//   "two words" occurs as these words, next to each other and whole
//   -term       must not occur (any of the forms above)
// Case is ignored for the letters a to z only. Empty alternatives are skipped; a rule with none at all
// lets everything through, as a list made only of commas always did.
class KeywordRule
{
public:
    explicit KeywordRule(std::string_view text);

    // Whether one text passes.
    bool Matches(std::string_view text) const;
    // The alternative that lets an item with these texts through, as the user wrote it (trimmed); an
    // empty text when the rule has none. Nothing when the item does not pass. Every term that must
    // hold holds in one of the texts on its own; a term that must not occur occurs in none of them.
    std::optional<std::string> Match(std::span<const std::string_view> texts) const;
    bool Passes(std::span<const std::string_view> texts) const { return Match(texts).has_value(); }

    bool empty() const { return alternatives_.empty(); }

private:
    enum class Form
    {
        Substring,
        Prefix,
        Phrase,
    };
    struct Term
    {
        std::string upper;
        Form form = Form::Substring;
        bool excluded = false;
    };
    struct Alternative
    {
        std::string written;
        std::vector<Term> terms;
    };

    static Alternative ParseAlternative(std::string_view text);
    static bool Holds(const Term& term, std::string_view text);
    static bool Passes(const Alternative& alternative, std::span<const std::string_view> texts);

    std::vector<Alternative> alternatives_;
};

} // namespace tallyhawk
