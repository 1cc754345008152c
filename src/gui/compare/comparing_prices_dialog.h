#pragma once

#include "core/compare/search_observer.h"

#include <QDialog>

#include <cstdint>

class QLabel;
class QPushButton;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace tallyhawk
{

class WebSpider;

// "Comparing Prices": runs the search for one item and category, shows each agent's progress, and on
// Done saves what was found as a new comparison.
//
// The spider reports on its workers' threads; each report is queued onto the window thread, so a
// report never waits for the window. The dialog detaches itself when it goes, stopping a run that is
// still going: reports that come later are dropped by the spider, and queued ones go with the dialog.
class ComparingPricesDialog : public QDialog, public SearchObserver
{
    Q_OBJECT

public:
    static constexpr int kStartDelayMs = 500;
    static constexpr int kAgentColumn = 0;
    static constexpr int kStatusColumn = 1;

    enum class State
    {
        Starting, // the start is pending: both buttons disabled
        Running, // agents are searching: Stop enabled
        Finished, // every agent reported, the run was stopped, or the start failed: Done enabled
    };

    ComparingPricesDialog(WebSpider& spider,
                          const QString& itemName,
                          std::int32_t categoryId,
                          QWidget* parent = nullptr);
    ~ComparingPricesDialog() override;

    // The new comparison's id after Done saved it; 0 when nothing was saved.
    std::int32_t savedId() const { return savedId_; }
    State state() const { return state_; }

    QLabel* statusLine() const { return status_; }
    QTreeWidget* agentList() const { return agents_; }
    QPushButton* doneButton() const { return done_; }
    QPushButton* stopButton() const { return stop_; }

    // Escape, and closing the window: Stop while agents search, Done once they have all reported.
    void reject() override;

    // SearchObserver: called on the reporting thread, queued onto the window thread.
    void AgentStarted(const WebAgent& agent) override;
    void AgentDone(const WebAgent& agent, std::int32_t count) override;
    void AgentFailed(const WebAgent& agent, std::int32_t status) override;
    void SearchDone(std::int32_t total) override;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void StartSearch();
    void Finish();
    void Stop();
    void Done();

    // On the window thread.
    void AddAgentRow(std::int32_t siteId, const QString& name);
    void SetAgentStatus(std::int32_t siteId, const QString& status);
    void ShowSearchDone(std::int32_t total);
    // The first row of that agent from the top, or null.
    QTreeWidgetItem* FindAgentRow(std::int32_t siteId) const;

    WebSpider& spider_;
    QString itemName_;
    std::int32_t categoryId_;
    State state_ = State::Starting;
    bool started_ = false;
    std::int32_t savedId_ = 0;

    QLabel* status_;
    QTreeWidget* agents_;
    QPushButton* done_;
    QPushButton* stop_;
    QTimer* startTimer_;
};

} // namespace tallyhawk
