#pragma once

#include "core/store/item_filter.h"

#include <QObject>

class QTimer;

namespace tallyhawk
{

class FolderRunner;
class ItemStore;

// How many coupons and deals, and how many forum topics, are not read yet within the time span the
// views show. Counted from the files on the folders' worker behind what was posted before, so a
// mark just asked for is in; the requests of one turn of the event loop make one count.
class UnreadCounts : public QObject
{
    Q_OBJECT

public:
    UnreadCounts(FolderRunner& runner, ItemStore& deals, ItemStore& topics, QObject* parent = nullptr);

    // Counts again over the span of `view` (its store, category and keyword do not narrow the count).
    void Recount(const ItemFilter& view);

    int deals() const { return deals_; }
    int topics() const { return topics_; }

signals:
    void changed(int deals, int topics);

private:
    void Count();

    FolderRunner& runner_;
    ItemStore& dealsStore_;
    ItemStore& topicsStore_;
    QTimer* later_;
    ItemFilter span_;
    int deals_ = 0;
    int topics_ = 0;
};

} // namespace tallyhawk
