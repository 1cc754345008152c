#include "server/feeds/feed_text.h"

#include <array>
#include <cctype>

namespace tallyhawk::server
{

namespace
{

constexpr std::size_t kLongestReference = 32;

struct NamedEntity
{
    std::string_view name;
    std::uint32_t codePoint;
};

// The references deal titles and summaries use; HTML has many more, which stay as written.
constexpr std::array<NamedEntity, 52> kNamedEntities = {{
    {"amp", '&'},      {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
    {"nbsp", 0xA0},    {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122}, {"hellip", 0x2026},
    {"mdash", 0x2014}, {"ndash", 0x2013}, {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"sbquo", 0x201A},
    {"ldquo", 0x201C}, {"rdquo", 0x201D}, {"bdquo", 0x201E}, {"laquo", 0xAB},   {"raquo", 0xBB},
    {"bull", 0x2022},  {"middot", 0xB7},  {"euro", 0x20AC},  {"pound", 0xA3},   {"yen", 0xA5},
    {"cent", 0xA2},    {"deg", 0xB0},     {"times", 0xD7},   {"divide", 0xF7},  {"frac12", 0xBD},
    {"frac14", 0xBC},  {"frac34", 0xBE},  {"sect", 0xA7},    {"para", 0xB6},    {"plusmn", 0xB1},
    {"eacute", 0xE9},  {"egrave", 0xE8},  {"ecirc", 0xEA},   {"aacute", 0xE1},  {"agrave", 0xE0},
    {"acirc", 0xE2},   {"auml", 0xE4},    {"ouml", 0xF6},    {"uuml", 0xFC},    {"Auml", 0xC4},
    {"Ouml", 0xD6},    {"Uuml", 0xDC},    {"szlig", 0xDF},   {"ccedil", 0xE7},  {"ntilde", 0xF1},
    {"iacute", 0xED},  {"oacute", 0xF3},
}};

// Elements whose content is never shown as text.
bool IsHiddenElement(std::string_view name)
{
    auto same = [&](std::string_view other) {
        if (name.size() != other.size()) {
            return false;
        }
        for (std::size_t i = 0; i < name.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(name[i])) != other[i]) {
                return false;
            }
        }
        return true;
    };
    return same("script") || same("style");
}

bool IsNameByte(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == ':' || c == '_';
}

// Past the tag that starts at `lt`, or the comment.
std::size_t SkipTag(std::string_view html, std::size_t lt)
{
    if (html.compare(lt, 4, "<!--") == 0) {
        std::size_t end = html.find("-->", lt + 4);
        return end == std::string_view::npos ? html.size() : end + 3;
    }
    // Quoted attribute values may hold '>'.
    char quote = '\0';
    for (std::size_t i = lt + 1; i < html.size(); ++i) {
        char c = html[i];
        if (quote != '\0') {
            quote = c == quote ? '\0' : quote;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return i + 1;
        }
    }
    return html.size();
}

bool StartsTag(std::string_view html, std::size_t i)
{
    if (i + 1 >= html.size()) {
        return false;
    }
    char next = html[i + 1];
    return std::isalpha(static_cast<unsigned char>(next)) || next == '/' || next == '!' || next == '?';
}

} // namespace

void FeedTextCleaner::AppendUtf8(std::string& out, std::uint32_t codePoint)
{
    if (codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint == 0) {
        codePoint = 0xFFFD;
    }
    if (codePoint < 0x80) {
        out += static_cast<char>(codePoint);
    } else if (codePoint < 0x800) {
        out += static_cast<char>(0xC0 | (codePoint >> 6));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else if (codePoint < 0x10000) {
        out += static_cast<char>(0xE0 | (codePoint >> 12));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (codePoint >> 18));
        out += static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (codePoint & 0x3F));
    }
}

std::string FeedTextCleaner::StripMarkup(std::string_view html)
{
    std::string text;
    text.reserve(html.size());
    std::size_t i = 0;
    while (i < html.size()) {
        if (html[i] != '<' || !StartsTag(html, i)) {
            text += html[i++];
            continue;
        }
        std::size_t nameStart = i + 1;
        std::size_t nameEnd = nameStart;
        while (nameEnd < html.size() && IsNameByte(html[nameEnd])) {
            ++nameEnd;
        }
        std::string_view name = html.substr(nameStart, nameEnd - nameStart);
        i = SkipTag(html, i);
        // "<br>", "</p>" and the like part words; a space too many is folded away later.
        text += ' ';
        if (IsHiddenElement(name)) {
            // Up to the matching end tag, whatever the script holds.
            std::size_t search = i;
            std::size_t end = std::string_view::npos;
            while ((search = html.find("</", search)) != std::string_view::npos) {
                std::string_view rest = html.substr(search + 2, name.size());
                if (rest.size() == name.size() && IsHiddenElement(rest)
                    && (search + 2 + name.size() >= html.size()
                        || !IsNameByte(html[search + 2 + name.size()]))) {
                    end = search;
                    break;
                }
                search += 2;
            }
            i = end == std::string_view::npos ? html.size() : SkipTag(html, end);
        }
    }
    return DecodeEntities(text);
}

std::string FeedTextCleaner::DecodeEntities(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '&') {
            out += text[i++];
            continue;
        }
        // References are short: a ';' far away ends none, and the search stays bounded.
        std::size_t semicolon = text.substr(i + 1, kLongestReference).find(';');
        if (semicolon == std::string_view::npos) {
            out += text[i++];
            continue;
        }
        semicolon += i + 1;
        std::string_view name = text.substr(i + 1, semicolon - i - 1);
        bool read = false;
        if (name.size() >= 2 && name[0] == '#') {
            bool hex = name[1] == 'x' || name[1] == 'X';
            std::string_view digits = name.substr(hex ? 2 : 1);
            std::uint32_t value = 0;
            bool valid = !digits.empty();
            for (char c : digits) {
                int digit = std::isdigit(static_cast<unsigned char>(c))
                    ? c - '0'
                    : (hex && std::isxdigit(static_cast<unsigned char>(c))
                           ? std::tolower(static_cast<unsigned char>(c)) - 'a' + 10
                           : -1);
                if (digit < 0) {
                    valid = false;
                    break;
                }
                value = value * (hex ? 16 : 10) + static_cast<std::uint32_t>(digit);
                if (value > 0x10FFFF) {
                    value = 0x110000; // stays out of range however many digits follow
                }
            }
            if (valid) {
                AppendUtf8(out, value);
                read = true;
            }
        } else {
            for (const NamedEntity& entity : kNamedEntities) {
                if (entity.name == name) {
                    AppendUtf8(out, entity.codePoint);
                    read = true;
                    break;
                }
            }
        }
        if (read) {
            i = semicolon + 1;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string FeedTextCleaner::OneLine(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    bool pendingSpace = false;
    std::size_t i = 0;
    while (i < text.size()) {
        auto byte = static_cast<unsigned char>(text[i]);
        bool space
            = byte == ' ' || byte == '\t' || byte == '\n' || byte == '\r' || byte == '\f' || byte == '\v';
        std::size_t length = 1;
        if (byte == 0xC2 && i + 1 < text.size()) {
            auto next = static_cast<unsigned char>(text[i + 1]);
            if (next == 0xA0) {
                space = true; // no-break space
                length = 2;
            } else if (next >= 0x80 && next <= 0x9F) {
                i += 2; // a C1 control
                continue;
            }
        }
        if (space) {
            pendingSpace = !out.empty();
            i += length;
            continue;
        }
        if (byte < 0x20 || byte == 0x7F) {
            ++i;
            continue;
        }
        if (pendingSpace) {
            out += ' ';
            pendingSpace = false;
        }
        out += text[i++];
    }
    return out;
}

std::string FeedTextCleaner::Clean(const FeedText& text)
{
    return OneLine(text.html ? StripMarkup(text.text) : text.text);
}

} // namespace tallyhawk::server
