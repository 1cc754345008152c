#pragma once

#include "gui/folders/folder_controller.h"

namespace tallyhawk
{

class ItemStore;
class ShoppingDatabase;

// Today's Summary: no rows, but the day's counts and hot deals, counted each time the folder loads.
class SummaryFolder : public FolderController
{
public:
    // `hotDeals` is a store of its own on the deals' file, so its hot list never replaces the view the
    // Coupons & Deals folder shows.
    SummaryFolder(FolderHost& host,
                  ItemStore& deals,
                  ItemStore& topics,
                  ShoppingDatabase& shopping,
                  ItemStore& hotDeals);

    FolderKind kind() const override { return FolderKind::TodaysSummary; }
    Page page() const override { return Page::Summary; }
    FolderCaptions captions() const override { return {}; }
    // Counts today, from 00:00:00 to 23:59:59 around the query's time.
    FolderLoad Load(const FolderQuery& query) override;

private:
    ItemStore& deals_;
    ItemStore& topics_;
    ShoppingDatabase& shopping_;
    ItemStore& hotDeals_;
};

} // namespace tallyhawk
