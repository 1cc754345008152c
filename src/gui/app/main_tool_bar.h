#pragma once

#include "gui/app/folder_kind.h"

#include <QWidget>

class QToolBar;
class QToolButton;

namespace tallyhawk
{

class TimeFilterButton;

// The row of commands along the top of the main window, with the captions and enabled states each
// folder gives them.
class MainToolBar : public QWidget
{
    Q_OBJECT

public:
    explicit MainToolBar(QWidget* parent = nullptr);

    // Captions and enabled states for a folder just switched to: Details, Open and Delete start
    // disabled; Print keeps its caption in the folders without a list.
    void ShowFolder(FolderKind folder);

    TimeFilterButton* timeFilter() const { return timeFilter_; }
    QToolButton* newProduct() const { return newProduct_; }
    QToolButton* comparePrices() const { return comparePrices_; }
    QToolButton* open() const { return open_; }
    QToolButton* details() const { return details_; }
    QToolButton* remove() const { return remove_; }
    QToolButton* find() const { return find_; }
    QToolButton* print() const { return print_; }
    QToolButton* refresh() const { return refresh_; }
    QToolButton* settings() const { return settings_; }
    QToolButton* home() const { return home_; }

private:
    QToolButton* AddButton(const char* caption, const char* toolTip, const char* iconName);

    QToolBar* bar_;
    TimeFilterButton* timeFilter_;
    QToolButton* newProduct_;
    QToolButton* comparePrices_;
    QToolButton* open_;
    QToolButton* details_;
    QToolButton* remove_;
    QToolButton* find_;
    QToolButton* print_;
    QToolButton* refresh_;
    QToolButton* settings_;
    QToolButton* home_;
};

} // namespace tallyhawk
