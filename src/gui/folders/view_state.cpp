#include "gui/folders/view_state.h"

#include <algorithm>

namespace tallyhawk
{

void ViewState::ShowFolder(FolderKind folder)
{
    EndStretch();
    Narrow({});
    if (folder != FolderKind::PriceComparisons) {
        searchId_ = 0;
    }
    folder_ = folder;
}

void ViewState::SetRange(std::int32_t from, std::int32_t to)
{
    EndStretch();
    filter_.from = from;
    filter_.to = to;
}

void ViewState::ChooseStore(std::int32_t id, const QString& text)
{
    filter_.storeId = id;
    filter_.categoryId = 0;
    captionTail_ = QStringLiteral(": ") + text;
}

void ViewState::ChooseCategory(std::int32_t id, const QString& text)
{
    filter_.categoryId = id;
    filter_.storeId = 0;
    captionTail_ = QStringLiteral(": ") + text;
}

void ViewState::ChooseSearch(std::int32_t id, const QString& text)
{
    searchId_ = id;
    captionTail_ = QStringLiteral(": ") + text;
}

void ViewState::Search(const QString& text)
{
    Narrow(text.isEmpty() ? QString() : QStringLiteral(": search results for ") + text);
    if (!text.isEmpty()) {
        filter_.keyword = text.toStdString();
    }
}

void ViewState::StretchTo(std::int32_t dueEnd, const QString& dueText)
{
    if (!ownEnd_) {
        ownEnd_ = filter_.to;
    }
    Narrow(QStringLiteral(": due by ") + dueText);
    filter_.to = std::max(filter_.to, dueEnd);
}

void ViewState::EndStretch()
{
    if (ownEnd_) {
        filter_.to = *ownEnd_;
        ownEnd_.reset();
    }
}

void ViewState::Narrow(const QString& tail)
{
    filter_.keyword.reset();
    filter_.storeId = 0;
    filter_.categoryId = 0;
    captionTail_ = tail;
}

} // namespace tallyhawk
