#pragma once

#include <QWidget>

class QLabel;
class QStackedWidget;

namespace tallyhawk
{

class DueNotice;
class FolderController;

// The right pane of the main window: the view's caption, the due notice under it, and the page of the
// folder shown (the list, the summary page, the cash back pane, or an empty page before any folder).
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

private:
    QLabel* caption_;
    QStackedWidget* pages_;
    QWidget* list_;
    QWidget* summary_;
    QWidget* cashBack_;
    QWidget* empty_;
};

} // namespace tallyhawk
