#pragma once

#include "core/shopping/shopping_record.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class QWidget;

namespace tallyhawk
{

class BrowserLauncher;
class ItemListModel;
class ShoppingDatabase;

// The product editor: returns the record it saved, none when it was cancelled. `id` 0 makes a new
// record of `kind`.
using ProductEditorOpener = std::function<std::optional<ShoppingRecord>(
    QWidget* parent, ShoppingDatabase& shopping, std::int32_t kind, std::int32_t id)>;

// What a folder's commands may ask of the window that shows it. Window thread only.
class FolderHost
{
public:
    virtual ~FolderHost() = default;

    // The owner of the folder's questions and dialogs.
    virtual QWidget* DialogParent() = 0;
    virtual BrowserLauncher& Browser() = 0;
    virtual std::string SiteBase() const = 0;
    // The rows shown.
    virtual ItemListModel& Rows() = 0;
    // Removes a row and leaves no row chosen, so that no other row is marked read.
    virtual void RemoveRow(int row) = 0;
    // Fills the view again from the files, then calls `shown` once the new rows show (never when a
    // newer load replaced this one first).
    virtual void Reload(bool rebuildTree, std::function<void()> shown) = 0;
    // Chooses the row of record `id`, if the list shows it.
    virtual bool ChooseRowOf(std::int32_t id) = 0;
    // After a save in the Shopping List: the product chosen, or the view or notice that shows it.
    virtual void ShowSaved(const ShoppingRecord& product) = 0;
    // The product editor; empty until it is set.
    virtual const ProductEditorOpener& ProductEditor() const = 0;
    // Runs `write` (file work) away from the window, then `done` on the window thread with its
    // status, unless the window went meanwhile. Writes run in the order they were asked for.
    virtual void Write(std::function<int()> write, std::function<void(int status)> done) = 0;
    // A failure that needs no answer, shown without stopping the user.
    virtual void ReportQuietly(const QString& text) = 0;
};

} // namespace tallyhawk
