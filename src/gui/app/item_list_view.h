#pragma once

#include <QList>
#include <QTreeView>

#include <cstdint>
#include <vector>

class QMenu;

namespace tallyhawk
{

class ItemListModel;
class LayoutStore;
class ListRows;

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
    // Takes a newer load of the rows shown, in place: the chosen row stays chosen (and is not chosen
    // anew, so nothing is marked read), and the rows in sight stay where they were, unless the list
    // was scrolled to its top, where the newest arrive. A chosen row whose record went leaves none chosen.
    void TakeRows(ListRows rows);
    // The commands of the rows' context menu, in order; a null entry stands for a separator.
    void SetMenuActions(const QList<QAction*>& actions);
    QMenu* menu() const { return menu_; }

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

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    ItemListModel* model_;
    QMenu* menu_;
    bool takingRows_ = false;
    std::vector<int> columnWidths_;
    bool applyingColumns_ = false;
};

} // namespace tallyhawk
