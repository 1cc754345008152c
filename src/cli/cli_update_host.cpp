#include "cli/cli_update_host.h"

#include "cli/item_output.h"
#include "cli/site_lists_output.h"
#include "core/common/display_text.h"
#include "core/update/update_texts.h"

#include <unistd.h>

#include <iostream>
#include <ostream>
#include <string>

namespace tallyhawk::cli
{

namespace
{

// The prompt texts use Windows line ends.
std::string Lines(std::string_view text)
{
    std::string lines;
    for (char c : text) {
        if (c != '\r') {
            lines.push_back(c);
        }
    }
    return lines;
}

} // namespace

CliUpdateHost::CliUpdateHost(std::ostream& out, std::optional<bool> presetAnswer)
    : out_(out)
    , presetAnswer_(presetAnswer)
{ }

void CliUpdateHost::SetTitle(const std::string& title)
{
    std::lock_guard<std::mutex> lock(mutex_);
    out_ << "Title: " << TerminalText(title) << "\n";
}

bool CliUpdateHost::Ask(std::string_view question)
{
    std::lock_guard<std::mutex> lock(mutex_);
    out_ << kNewVersionCaption << ": " << Lines(question) << " [y/N] ";
    bool yes = false;
    if (presetAnswer_) {
        yes = *presetAnswer_;
    } else if (::isatty(STDIN_FILENO) == 1) {
        out_.flush();
        std::string line;
        std::getline(std::cin, line);
        yes = !line.empty() && (line[0] == 'y' || line[0] == 'Y');
    }
    out_ << (yes ? "Yes" : "No") << "\n";
    return yes;
}

bool CliUpdateHost::AskDownloadNewVersion()
{
    return Ask(kNewVersionQuestion);
}

bool CliUpdateHost::AskExitNow()
{
    return Ask(kExitNowQuestion);
}

void CliUpdateHost::OpenPage(const std::string& url)
{
    std::lock_guard<std::mutex> lock(mutex_);
    out_ << "Download page: " << TerminalText(url) << "\n";
}

void CliUpdateHost::EndProgram(int)
{
    std::lock_guard<std::mutex> lock(mutex_);
    endRequested_ = true;
    out_ << "Tallyhawk exits for the new version.\n";
}

void CliUpdateHost::StartTimers(std::chrono::milliseconds download, std::chrono::milliseconds)
{
    std::lock_guard<std::mutex> lock(mutex_);
    downloadInterval_ = download;
}

void CliUpdateHost::ListsRefreshed(const SiteListsRefresh& refresh)
{
    std::lock_guard<std::mutex> lock(mutex_);
    PrintSiteListsRefresh(out_, refresh);
}

void CliUpdateHost::PostAlert(std::unique_ptr<ItemRecord> record)
{
    std::lock_guard<std::mutex> lock(mutex_);
    out_ << "alert: ";
    PrintRecord(out_, *record);
    out_.flush();
}

} // namespace tallyhawk::cli
