#pragma once

#include "gui/folders/folder_captions.h"
#include "gui/folders/folder_kind.h"
#include "gui/folders/folder_load.h"

#include <QString>

#include <string>

namespace tallyhawk
{

class FolderHost;

// One kind of folder's part of the main window: its captions, its load, and what its row commands do.
// The window keeps the wiring and hands each command to the controller of the folder shown. Load runs
// on the window's worker and touches only the files; everything else runs on the window thread.
class FolderController
{
public:
    // The page the right pane shows for the folder.
    enum class Page
    {
        List,
        Summary,
        CashBack,
    };

    explicit FolderController(FolderHost& host)
        : host_(host)
    { }
    virtual ~FolderController() = default;
    FolderController(const FolderController&) = delete;
    FolderController& operator=(const FolderController&) = delete;

    virtual FolderKind kind() const = 0;
    virtual Page page() const { return Page::List; }
    virtual FolderCaptions captions() const = 0;

    // Whether the folder has anything to load (the cash back page has not).
    virtual bool HasLoad() const { return true; }
    // The rows, and the tree when the query asks for it, read from the files. Worker thread.
    virtual FolderLoad Load(const FolderQuery& query) = 0;
    // The load of `query` is what the view shows now.
    virtual void Shown(const FolderQuery& query) { static_cast<void>(query); }

    // Whether Open and Details act on a chosen row.
    virtual bool CanOpen() const { return page() == Page::List; }
    virtual bool HasDetails() const { return false; }
    // A row was chosen: an unread item is shown read at once and marked in its file behind.
    virtual void RowChosen(int row) { static_cast<void>(row); }
    virtual void Open(int row) { static_cast<void>(row); }
    // The address a row's page has (what Open shows in the browser); empty for rows without one.
    virtual std::string Link(int row) const
    {
        static_cast<void>(row);
        return {};
    }
    virtual void Details(int row) { static_cast<void>(row); }
    virtual void Delete(int row) { static_cast<void>(row); }

protected:
    // The title of every message box, whatever the window title says about the connection.
    static QString BoxTitle() { return QStringLiteral("Tallyhawk"); }

    FolderHost& host_;
};

} // namespace tallyhawk
