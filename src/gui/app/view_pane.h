#pragma once

#include "gui/folders/empty_state.h"

#include <QWidget>

#include <optional>

class QLabel;
class QStackedWidget;

namespace tallyhawk
{

class DueNotice;
class EmptyStatePage;
class FolderController;

// The right pane of the main window: the view's caption, the due notice under it, and the page of the
// folder shown (the list, the summary page, the cash back pane, or an empty page before any folder).
// An empty list gives way to the page that says why, until rows come.
class ViewPane : public QWidget
{
    Q_OBJECT

public:
    ViewPane(
        DueNotice* dueNotice, QWidget* list, QWidget* summary, QWidget* cashBack, QWidget* parent = nullptr);

    void SetCaption(const QString& text);
    QString caption() const;
    // Shows the page of `folder`; the empty page without one.
    void ShowPageOf(const FolderController* folder);
    QWidget* currentPage() const;
    // After a load of a list: the page of `state` instead of the list while it is empty; the list for
    // none.
    void ShowEmptyState(const std::optional<EmptyState>& state);
    EmptyStatePage* emptyStatePage() const { return emptyState_; }

private:
    QLabel* caption_;
    QStackedWidget* pages_;
    QWidget* list_;
    QWidget* summary_;
    QWidget* cashBack_;
    QWidget* empty_;
    EmptyStatePage* emptyState_;
};

} // namespace tallyhawk
