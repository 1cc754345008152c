#pragma once

#include "gui/folders/item_list_folder.h"

namespace tallyhawk
{

// Forum Topics: the forum topics downloaded into "topic.lst", listed by the users who posted them.
class TopicsFolder : public ItemListFolder
{
public:
    using ItemListFolder::ItemListFolder;

    FolderKind kind() const override { return FolderKind::ForumTopics; }
    FolderCaptions captions() const override;
    // Opens the topic's messages on the site.
    void Open(int row) override;
    std::string Link(int row) const override;

protected:
    QString StoreRoot() const override { return QStringLiteral("All Users"); }
};

} // namespace tallyhawk
