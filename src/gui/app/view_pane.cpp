#include "gui/app/view_pane.h"

#include "gui/app/due_notice.h"
#include "gui/folders/folder_controller.h"

#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace tallyhawk
{

ViewPane::ViewPane(DueNotice* dueNotice, QWidget* list, QWidget* summary, QWidget* cashBack, QWidget* parent)
    : QWidget(parent)
    , caption_(new QLabel)
    , pages_(new QStackedWidget)
    , list_(list)
    , summary_(summary)
    , cashBack_(cashBack)
    , empty_(new QWidget)
{
    for (QWidget* page : {list_, empty_, cashBack_, summary_}) {
        pages_->addWidget(page);
    }
    QFont bold = caption_->font();
    bold.setBold(true);
    caption_->setFont(bold);
    caption_->setAccessibleName(QStringLiteral("View"));

    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(2);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(caption_);
    layout->addWidget(dueNotice);
    layout->addWidget(pages_, 1);
}

void ViewPane::SetCaption(const QString& text)
{
    caption_->setText(text);
}

QString ViewPane::caption() const
{
    return caption_->text();
}

void ViewPane::ShowPageOf(const FolderController* folder)
{
    if (folder == nullptr) {
        pages_->setCurrentWidget(empty_);
        return;
    }
    switch (folder->page()) {
    case FolderController::Page::List:
        pages_->setCurrentWidget(list_);
        break;
    case FolderController::Page::Summary:
        pages_->setCurrentWidget(summary_);
        break;
    case FolderController::Page::CashBack:
        pages_->setCurrentWidget(cashBack_);
        break;
    }
}

QWidget* ViewPane::currentPage() const
{
    return pages_->currentWidget();
}

} // namespace tallyhawk
