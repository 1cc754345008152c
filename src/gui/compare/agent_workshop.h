#pragma once

#include "core/compare/agent_configuration.h"
#include "core/compare/result_list.h"
#include "core/compare/scrape_trace.h"
#include "core/net/http_fetcher.h"

#include <QDialog>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace tallyhawk
{

class AgentFieldsForm;
class PageSourceView;

// "Agent Workshop": write, try and repair a site agent. Pick an agent or start a new one, fetch its
// result page for a search text (or open a saved page), and see the page with each marker pair's hits
// marked and the offers the agent takes from it, with why each block was dropped. Every edit scrapes the
// same page again; Save writes the agent to the user's own file, which the site's refresh leaves alone.
// Files are read and written, pages fetched and scraped, off the window thread.
class AgentWorkshop : public QDialog
{
    Q_OBJECT

public:
    AgentWorkshop(std::string dataFolder, HttpFetcher fetcher, QWidget* parent = nullptr);
    ~AgentWorkshop() override;

    // Shows this page, as if fetched or opened, and scrapes it. `source` names it in the status line.
    void ShowPage(std::string page, const QString& source);
    // Chooses the agent with this SiteId once the agents are loaded.
    void ChooseAgent(std::int32_t siteId);

signals:
    // The agents were read (also after a save).
    void AgentsLoaded();
    // A scrape of the page with the current agent ended and the table shows it.
    void Scraped();
    void Saved();

private:
    void LoadAgents();
    void TakeAgents(std::shared_ptr<AgentConfiguration> configuration, std::int32_t status);
    void AgentPicked();
    void Fetch();
    void StopFetch();
    void FetchEnded(std::uint64_t run, std::optional<std::string> page, QString failure, QString url);
    void OpenFile();
    void Rescrape();
    void
    ShowScrape(std::uint64_t run, std::shared_ptr<const ScrapeTrace> trace, std::optional<ResultList> list);
    void Save();
    void SetBusy(bool fetching);
    void SetStatus(const QString& text);

    std::string dataFolder_;
    HttpFetcher fetcher_;
    std::shared_ptr<AgentConfiguration> configuration_;
    std::shared_ptr<const std::string> page_;
    std::int32_t wantedSiteId_ = 0;

    QComboBox* agentBox_;
    QLineEdit* searchEdit_;
    QPushButton* fetchButton_;
    QPushButton* stopButton_;
    QPushButton* openButton_;
    QPushButton* saveButton_;
    QProgressBar* progress_;
    QLabel* status_;
    QLabel* problem_;
    AgentFieldsForm* form_;
    PageSourceView* source_;
    QTableWidget* offers_;
    QTimer* rescrapeTimer_;

    // A newer fetch or scrape makes an older one's result stale.
    std::uint64_t fetchRun_ = 0;
    std::uint64_t scrapeRun_ = 0;
    std::jthread fileWork_;
    std::jthread fetchWork_;
    std::jthread scrapeWork_;
};

} // namespace tallyhawk
