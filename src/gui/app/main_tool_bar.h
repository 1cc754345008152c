#pragma once

#include "gui/folders/folder_captions.h"

#include <QKeySequence>
#include <QWidget>

class QAction;
class QToolBar;

namespace tallyhawk
{

class TimeFilterButton;

// The row of commands along the top of the main window, with the captions and enabled states each
// folder gives them. Each command is one named action ("actionNewProduct", "actionDelete", ...) with its
// shortcut, and a tool tip that shows the shortcut: the toolbar shows the actions, and tests and other
// menus find them by name.
class MainToolBar : public QWidget
{
    Q_OBJECT

public:
    explicit MainToolBar(QWidget* parent = nullptr);

    // Captions and enabled states for a folder just switched to: Details, Open and Delete start
    // disabled; Print keeps its caption where the folder gives none.
    void ShowCaptions(const FolderCaptions& captions);

    TimeFilterButton* timeFilter() const { return timeFilter_; }
    QAction* newProduct() const { return newProduct_; }
    QAction* comparePrices() const { return comparePrices_; }
    QAction* open() const { return open_; }
    QAction* details() const { return details_; }
    QAction* remove() const { return remove_; }
    QAction* find() const { return find_; }
    QAction* print() const { return print_; }
    QAction* refresh() const { return refresh_; }
    QAction* settings() const { return settings_; }
    QAction* home() const { return home_; }
    // Marks every row of the view read; the menus show it, the toolbar does not.
    QAction* markAllRead() const { return markAllRead_; }

private:
    QAction* AddCommand(const char* objectName,
                        const char* caption,
                        const char* toolTip,
                        const char* iconName,
                        const QKeySequence& shortcut = {});

    QToolBar* bar_;
    TimeFilterButton* timeFilter_;
    QAction* newProduct_;
    QAction* comparePrices_;
    QAction* open_;
    QAction* details_;
    QAction* remove_;
    QAction* find_;
    QAction* print_;
    QAction* refresh_;
    QAction* settings_;
    QAction* home_;
    QAction* markAllRead_;
};

} // namespace tallyhawk
