#pragma once

#include "core/store/item_filter.h"
#include "gui/folders/folder_kind.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace tallyhawk
{

// What the folder shown is narrowed to, and the caption that says so: the time filter's range (which
// a due day can stretch for a while), a keyword, a store or category from the tree, or the saved
// comparison whose offers show.
class ViewState
{
public:
    const ItemFilter& filter() const { return filter_; }
    std::int32_t searchId() const { return searchId_; }
    // The folder's name, with what narrows it.
    QString caption() const { return FolderName(folder_) + captionTail_; }

    // A folder switched to: the whole folder over the range. Only Price Comparisons keeps the
    // comparison, which Compare Prices sets just before it switches there.
    void ShowFolder(FolderKind folder);
    // The time filter's range; a stretched range ends.
    void SetRange(std::int32_t from, std::int32_t to);
    // The store, category or comparison chosen in the tree, with the text the tree shows for it.
    void ChooseStore(std::int32_t id, const QString& text);
    void ChooseCategory(std::int32_t id, const QString& text);
    void ChooseSearch(std::int32_t id, const QString& text);
    void SetSearchId(std::int32_t id) { searchId_ = id; }
    // Records with `text` (the whole folder for an empty text), in any store and category.
    void Search(const QString& text);
    // Every store and category and no keyword.
    void ShowWhole() { Search({}); }
    // The range runs at least to the end of the day `dueEnd`, as `dueText` says, until EndStretch.
    void StretchTo(std::int32_t dueEnd, const QString& dueText);
    void EndStretch();

private:
    void Narrow(const QString& tail);

    FolderKind folder_ = FolderKind::None;
    ItemFilter filter_;
    std::int32_t searchId_ = 0;
    // The range's own end while StretchTo has stretched it.
    std::optional<std::int32_t> ownEnd_;
    QString captionTail_;
};

} // namespace tallyhawk
