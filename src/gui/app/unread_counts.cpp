#include "gui/app/unread_counts.h"

#include "core/store/item_store.h"
#include "gui/folders/folder_runner.h"

#include <QTimer>

#include <algorithm>

namespace tallyhawk
{

UnreadCounts::UnreadCounts(FolderRunner& runner, ItemStore& deals, ItemStore& topics, QObject* parent)
    : QObject(parent)
    , runner_(runner)
    , dealsStore_(deals)
    , topicsStore_(topics)
    , later_(new QTimer(this))
{
    later_->setSingleShot(true);
    later_->setInterval(0);
    connect(later_, &QTimer::timeout, this, &UnreadCounts::Count);
}

void UnreadCounts::Recount(const ItemFilter& view)
{
    span_ = ItemFilter();
    span_.from = view.from;
    span_.to = view.to;
    later_->start();
}

void UnreadCounts::Count()
{
    runner_.Behind([this, span = span_] {
        // Only the files are read: the stores' views, which the window shows, stay as they are.
        const int deals = std::max(0, dealsStore_.CountUnread(span));
        const int topics = std::max(0, topicsStore_.CountUnread(span));
        return std::function<void()>([this, deals, topics] {
            if (deals != deals_ || topics != topics_) {
                deals_ = deals;
                topics_ = topics;
                emit changed(deals, topics);
            }
        });
    });
}

} // namespace tallyhawk
