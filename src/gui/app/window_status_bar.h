#pragma once

#include <QStatusBar>

#include <cstdint>
#include <optional>

class QLabel;

namespace tallyhawk
{

// The main window's status bar: the deal server's state ("Online", or "Offline: no answer from
// HOST:PORT since 10:42"), the time of the last pass that reached it, and how many rows the view
// shows. Passing messages take the space on the left.
class WindowStatusBar : public QStatusBar
{
    Q_OBJECT

public:
    explicit WindowStatusBar(QWidget* parent = nullptr);

    // The deal server the passes ask, as "HOST:PORT"; named until a pass says how it went.
    void SetServer(const QString& server);
    // After a pass ended at `now`: Online, or Offline since the first pass of a run that found no
    // answer; a pass that reached the server is the last update.
    void ServerReached(bool reached, std::int64_t now);
    // The rows of the view; none where the folder shows a page instead of rows.
    void SetRows(std::optional<int> rows);

    // The time of day of `when`, with its date when it is not the day of `now`.
    static QString TimeText(std::int64_t when, std::int64_t now);

private:
    void ShowConnection(std::int64_t now);

    QLabel* connection_;
    QLabel* lastUpdate_;
    QLabel* rows_;
    QString server_;
    std::optional<bool> reached_;
    std::int64_t offlineSince_ = 0;
};

} // namespace tallyhawk
