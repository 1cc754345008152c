#pragma once

#include "gui/folders/folder_kind.h"

#include <QWidget>

#include <map>

class QLabel;
class QPushButton;

namespace tallyhawk
{

class ViewTree;

// The left pane: the folder name, the seven folder buttons in their order, and the store and
// category tree below them.
class FolderPane : public QWidget
{
    Q_OBJECT

public:
    explicit FolderPane(QWidget* parent = nullptr);

    void SetCaption(const QString& text);
    QString caption() const;
    QPushButton* button(FolderKind folder) const;
    // The folder's button names how many of its items are unread, "Forum Topics (3)"; none for 0.
    void SetUnread(FolderKind folder, int count);
    ViewTree* tree() const { return tree_; }
    // The width the widest folder button asks for; the tree scrolls within it.
    int ButtonsWidth() const;

signals:
    void folderChosen(tallyhawk::FolderKind folder);

protected:
    void changeEvent(QEvent* event) override;

private:
    void MarkChosen(QPushButton* button);

    QLabel* caption_;
    std::map<FolderKind, QPushButton*> buttons_;
    ViewTree* tree_;
};

} // namespace tallyhawk
