#pragma once

#include <QTreeView>

#include <cstdint>
#include <vector>

namespace tallyhawk
{

class ItemListModel;
class LayoutStore;

// The main window's list ("itemList"): the row cards, one chosen row at a time, and the column widths
// the user gave, kept across the model's resets and saved with the layout.
class ItemListView : public QTreeView
{
    Q_OBJECT

public:
    explicit ItemListView(ItemListModel* model, QWidget* parent = nullptr);

    // The row the user chose, shown selected; -1 while nothing is selected.
    int ChosenRow() const;
    // Chooses the row of record `id` and scrolls to it; false when the list does not show it.
    bool ChooseRowOf(std::int32_t id);
    // Removes a row and leaves no row chosen, so that no other row is marked read.
    void RemoveRow(int row);

    // The saved column widths over the header's own (after a model reset gave it new columns).
    void UseColumnWidths(std::vector<int> widths);
    void ApplyColumnWidths();
    // The widths shown, or the ones last shown while the list has no columns.
    void SaveColumns(const LayoutStore& layout) const;

signals:
    // The chosen row changed: a click, a keyboard move onto it, Enter; none after a reset.
    void rowChosen(const QModelIndex& row);
    // Delete, pressed in the list.
    void deleteRequested();
    // Enter or a double click on a row, after it was chosen.
    void openRequested();

private:
    ItemListModel* model_;
    std::vector<int> columnWidths_;
    bool applyingColumns_ = false;
};

} // namespace tallyhawk
