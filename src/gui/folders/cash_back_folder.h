#pragma once

#include "gui/folders/folder_controller.h"

namespace tallyhawk
{

// Cash Back Stores: the site's cash back page, with nothing to load and no row commands.
class CashBackFolder : public FolderController
{
public:
    using FolderController::FolderController;

    FolderKind kind() const override { return FolderKind::CashBackStores; }
    Page page() const override { return Page::CashBack; }
    FolderCaptions captions() const override { return {}; }
    bool HasLoad() const override { return false; }
    FolderLoad Load(const FolderQuery& query) override
    {
        static_cast<void>(query);
        return {};
    }
};

} // namespace tallyhawk
