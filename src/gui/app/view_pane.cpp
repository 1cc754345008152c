#include "gui/app/view_pane.h"

#include "gui/app/due_notice.h"
#include "gui/app/empty_state_page.h"
#include "gui/folders/folder_controller.h"

#include <QAbstractItemView>
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
    , emptyState_(new EmptyStatePage)
{
    for (QWidget* page : {list_, empty_, cashBack_, summary_, static_cast<QWidget*>(emptyState_)}) {
        pages_->addWidget(page);
    }
    emptyState_->setObjectName(QStringLiteral("emptyState"));
    // Rows that come in place of an empty list (a pass that stored items) bring the list back.
    // The list page may be the list itself or a page holding it (with its search field).
    const auto* view = qobject_cast<QAbstractItemView*>(list_);
    if (view == nullptr && list_ != nullptr) {
        view = list_->findChild<QAbstractItemView*>();
    }
    if (view != nullptr && view->model() != nullptr) {
        connect(view->model(), &QAbstractItemModel::rowsInserted, this, [this] {
            if (pages_->currentWidget() == emptyState_) {
                pages_->setCurrentWidget(list_);
            }
        });
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

void ViewPane::ShowEmptyState(const std::optional<EmptyState>& state)
{
    if (pages_->currentWidget() != list_ && pages_->currentWidget() != emptyState_) {
        return;
    }
    if (state) {
        emptyState_->Show(*state);
        pages_->setCurrentWidget(emptyState_);
    } else {
        pages_->setCurrentWidget(list_);
    }
}

QWidget* ViewPane::currentPage() const
{
    return pages_->currentWidget();
}

} // namespace tallyhawk
