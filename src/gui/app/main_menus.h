#pragma once

#include "gui/folders/folder_kind.h"

#include <QObject>

#include <map>

class QAction;
class QMainWindow;
class QMenu;

namespace tallyhawk
{

class MainToolBar;

// The main window's menu bar: File, Edit, View, Tools and Help carry every command of the toolbar and
// the folders, each showing its shortcut. The toolbar's commands are the very same actions, so
// captions and enabled states follow the folder; the folders, Find's entry, Home, About and Exit are
// the menus' own.
class MainMenus : public QObject
{
    Q_OBJECT

public:
    MainMenus(QMainWindow& window, MainToolBar& toolBar);

    QAction* folder(FolderKind folder) const;
    QAction* find() const { return find_; }
    QAction* home() const { return home_; }
    QAction* about() const { return about_; }
    QAction* agentWorkshop() const { return workshop_; }
    QAction* exit() const { return exit_; }
    QMenu* menu(const char* objectName) const;

    // Marks the folder shown in the View menu.
    void ShowFolder(FolderKind folder);

signals:
    void folderChosen(tallyhawk::FolderKind folder);

private:
    QMenu* AddMenu(const char* objectName, const char* title);
    QAction* AddOwn(QMenu* menu, const char* objectName, const char* text, const char* iconName);

    QMainWindow& window_;
    std::map<FolderKind, QAction*> folders_;
    QAction* find_ = nullptr;
    QAction* home_ = nullptr;
    QAction* about_ = nullptr;
    QAction* workshop_ = nullptr;
    QAction* exit_ = nullptr;
};

} // namespace tallyhawk
