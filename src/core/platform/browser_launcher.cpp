#include "core/platform/browser_launcher.h"

#include "core/platform/process_runner.h"
#include "core/platform/text_file.h"

#include <cctype>
#include <chrono>
#include <cstdlib>
#include <filesystem>

namespace tallyhawk
{

namespace
{

constexpr std::size_t kMaxDesktopFileSize = 1 << 20;
constexpr std::size_t kMaxQueryOutput = 64 * 1024;
constexpr auto kQueryTimeout = std::chrono::seconds(3);

struct ExecWord
{
    std::string text;
    bool quoted = false;
};

// Splits an Exec value into words: blanks separate them, double quotes group them, and a backslash
// takes the next character literally.
std::vector<ExecWord> SplitExec(std::string_view exec)
{
    std::vector<ExecWord> words;
    std::size_t i = 0;
    while (i < exec.size()) {
        if (exec[i] == ' ' || exec[i] == '\t' || exec[i] == '\n') {
            ++i;
            continue;
        }
        ExecWord word;
        bool inQuotes = false;
        for (; i < exec.size(); ++i) {
            char c = exec[i];
            if (!inQuotes && (c == ' ' || c == '\t' || c == '\n')) {
                break;
            }
            if (c == '"') {
                inQuotes = !inQuotes;
                word.quoted = true;
            } else if (c == '\\' && i + 1 < exec.size()) {
                word.text += exec[++i];
            } else {
                word.text += c;
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

bool IsFieldCode(const ExecWord& word)
{
    return !word.quoted && word.text.size() == 2 && word.text[0] == '%'
        && std::string_view("fFuUdDnNickvm").find(word.text[1]) != std::string_view::npos;
}

// Applies the escapes of a desktop entry's string values.
std::string UnescapeValue(std::string_view value)
{
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            out += '\\';
            out += value[i];
            break;
        }
    }
    return out;
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) {
        text.remove_prefix(1);
    }
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
        text.remove_suffix(1);
    }
    return text;
}

// The Exec value of the [Desktop Entry] group, escapes applied; nothing when there is none.
std::optional<std::string> ReadExecValue(const std::filesystem::path& file)
{
    std::error_code ec;
    TextFileBytes bytes;
    if (!std::filesystem::is_regular_file(file, ec)
        || std::filesystem::file_size(file, ec) > kMaxDesktopFileSize
        || ReadTextFile(file.string(), bytes) != 0) {
        return std::nullopt;
    }
    std::string_view rest = bytes.view();
    bool inMainGroup = false;
    while (!rest.empty()) {
        const std::size_t newline = rest.find('\n');
        std::string_view text = Trim(rest.substr(0, newline));
        rest = newline == std::string_view::npos ? std::string_view() : rest.substr(newline + 1);
        if (text.empty() || text.front() == '#') {
            continue;
        }
        if (text.front() == '[') {
            inMainGroup = text == "[Desktop Entry]";
            continue;
        }
        std::size_t eq = text.find('=');
        if (!inMainGroup || eq == std::string_view::npos || Trim(text.substr(0, eq)) != "Exec") {
            continue;
        }
        return UnescapeValue(Trim(text.substr(eq + 1)));
    }
    return std::nullopt;
}

std::vector<std::filesystem::path> ApplicationFolders()
{
    std::vector<std::filesystem::path> folders;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    const char* home = std::getenv("HOME");
    if (dataHome && dataHome[0] == '/') {
        folders.emplace_back(std::filesystem::path(dataHome) / "applications");
    } else if (home && home[0] == '/') {
        folders.emplace_back(std::filesystem::path(home) / ".local/share/applications");
    }
    const char* dataDirs = std::getenv("XDG_DATA_DIRS");
    std::string_view dirs = dataDirs && dataDirs[0] ? dataDirs : "/usr/local/share:/usr/share";
    while (!dirs.empty()) {
        std::size_t colon = dirs.find(':');
        std::string_view dir = dirs.substr(0, colon);
        if (!dir.empty() && dir.front() == '/') {
            folders.emplace_back(std::filesystem::path(dir) / "applications");
        }
        dirs = colon == std::string_view::npos ? std::string_view() : dirs.substr(colon + 1);
    }
    return folders;
}

// A desktop file id names a file in an applications folder; a "-" may stand for a sub-folder.
std::optional<std::string> FindExecOfDesktopId(const std::string& id)
{
    for (const std::filesystem::path& folder : ApplicationFolders()) {
        std::string candidate = id;
        for (std::size_t dash = 0;;) {
            if (auto exec = ReadExecValue(folder / candidate)) {
                return exec;
            }
            dash = candidate.find('-', dash);
            if (dash == std::string::npos) {
                break;
            }
            candidate[dash] = '/';
        }
    }
    return std::nullopt;
}

bool IsPlausibleDesktopId(std::string_view id)
{
    constexpr std::string_view kSuffix = ".desktop";
    return id.size() > kSuffix.size() && id.substr(id.size() - kSuffix.size()) == kSuffix
        && id.find('/') == std::string_view::npos && id.find('\0') == std::string_view::npos
        && id.front() != '.';
}

} // namespace

BrowserLauncher::BrowserLauncher()
    : BrowserLauncher(SpawnDetached, [](const std::vector<std::string>& argv) {
        // A desktop query answers at once with a line or two; anything else is not an answer.
        return RunAndCapture(argv, kQueryTimeout, kMaxQueryOutput);
    })
{ }

BrowserLauncher::BrowserLauncher(Spawner spawner, Query query)
    : spawner_(std::move(spawner))
    , query_(std::move(query))
{
    LookUp();
}

void BrowserLauncher::LookUp()
{
    if (!command_.empty()) {
        return;
    }
    command_ = FromEnvironment();
    if (command_.empty()) {
        command_ = FromDefaultDesktopEntry();
    }
}

std::string BrowserLauncher::FromEnvironment() const
{
    const char* browser = std::getenv("BROWSER");
    if (!browser) {
        return {};
    }
    std::string_view first(browser);
    first = first.substr(0, first.find(':'));
    return ExecutableOfExecLine(first);
}

std::string BrowserLauncher::FromDefaultDesktopEntry() const
{
    if (!query_) {
        return {};
    }
    const std::vector<std::vector<std::string>> questions = {
        {"xdg-settings", "get", "default-web-browser"},
        {"xdg-mime", "query", "default", "x-scheme-handler/http"},
    };
    for (const auto& question : questions) {
        std::optional<std::string> answer = query_(question);
        if (!answer) {
            continue;
        }
        // xdg-mime may name several entries separated by ";"; the first is the default.
        std::string id(Trim(std::string_view(*answer).substr(0, answer->find(';'))));
        if (!IsPlausibleDesktopId(id)) {
            continue;
        }
        std::optional<std::string> exec = FindExecOfDesktopId(id);
        // An entry that needs its own arguments (a sandbox runner, "env VAR=... browser") cannot be
        // reduced to one executable; xdg-open runs such an entry properly.
        if (exec && ExecLineTakesOnlyFieldCodes(*exec)) {
            return ExecutableOfExecLine(*exec);
        }
    }
    return {};
}

bool BrowserLauncher::Open(std::string_view url, bool newWindow)
{
    if (url.empty() || url.front() == '-' || url.find('\0') != std::string_view::npos || !spawner_) {
        return false;
    }
    if (newWindow && !command_.empty() && spawner_({command_, std::string(url)})) {
        return true;
    }
    // No browser known, or it could not be started: let the desktop's opener pick one.
    return spawner_({"xdg-open", std::string(url)});
}

std::string BrowserLauncher::ExecutableOfExecLine(std::string_view exec)
{
    for (ExecWord& word : SplitExec(exec)) {
        if (IsFieldCode(word)) {
            continue;
        }
        if (!word.quoted) {
            // "%%" stands for a percent sign.
            std::string text;
            for (std::size_t i = 0; i < word.text.size(); ++i) {
                text += word.text[i];
                if (word.text[i] == '%' && i + 1 < word.text.size() && word.text[i + 1] == '%') {
                    ++i;
                }
            }
            word.text = std::move(text);
        }
        return word.text;
    }
    return {};
}

bool BrowserLauncher::ExecLineTakesOnlyFieldCodes(std::string_view exec)
{
    std::vector<ExecWord> words = SplitExec(exec);
    for (std::size_t i = 1; i < words.size(); ++i) {
        if (!IsFieldCode(words[i])) {
            return false;
        }
    }
    return !words.empty();
}

} // namespace tallyhawk
