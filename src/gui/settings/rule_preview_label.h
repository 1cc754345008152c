#pragma once

#include "core/store/item_record.h"

#include <QLabel>

#include <vector>

namespace tallyhawk
{

// The line under a keyword box: how many of the newest stored items the rule typed so far would let
// through ("Lets through 37 of the last 200 items"), counted again as the user types.
class RulePreviewLabel : public QLabel
{
    Q_OBJECT

public:
    explicit RulePreviewLabel(QWidget* parent = nullptr);

    // The items to count among, newest first (only the first 200 count); until then it says it waits.
    void SetItems(std::vector<ItemRecord> newestFirst);
    // Counts for this rule text.
    void SetRule(const QString& rule);

private:
    void Count();

    std::vector<ItemRecord> items_;
    bool loaded_ = false;
    QString rule_;
};

} // namespace tallyhawk
