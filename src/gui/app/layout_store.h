#pragma once

#include <QRect>
#include <QString>

#include <vector>

class QHeaderView;
class QWidget;

namespace tallyhawk
{

// Where the main window stood and how wide its list columns were, kept apart from the settings in an
// INI file of integers: section "MainWindow" (Show, Left, Right, Top, Bottom) and "PageList" (NumCols,
// Col0, Col1, ...). A missing value reads as its default.
class LayoutStore
{
public:
    // The user's file unless another is given (tests).
    explicit LayoutStore(QString filePath = DefaultPath());

    // ~/.config/Quillmarch/tallyhawk-layout.ini, or its place under XDG_CONFIG_HOME.
    static QString DefaultPath();

    // The window's normal (not minimized or maximized) rectangle and show state.
    void SavePlacement(const QWidget& window) const;
    // The saved normal rectangle (1000 by 700 at left 40, top 40 when none was saved), moved onto a
    // screen when no screen shows enough of it to grab, and fitted to its screen.
    QRect SavedPlacement() const;
    // Applies SavedPlacement to the window; the caller shows it.
    void RestorePlacement(QWidget& window) const;

    void SaveColumns(const QHeaderView& header) const;
    void SaveColumns(const std::vector<int>& widths) const;
    // The saved column widths by index; 0 where none (or an unusable one) was saved.
    std::vector<int> SavedColumns() const;

    // The folder pane's width (MainWindow/FolderPaneWidth), 0 when none was saved.
    void SaveFolderPaneWidth(int width) const;
    int SavedFolderPaneWidth() const;

    const QString& filePath() const { return filePath_; }

private:
    QString filePath_;
};

// `rect` when some screen shows a grabbable part of it (its top edge), else the same size, shrunk to
// fit, in the top left corner of the first screen's free area.
QRect OnSomeScreen(const QRect& rect);

// `rect` shrunk to the free area of the screen that shows most of it, and moved as little as needed to
// lie wholly on it.
QRect FittedToScreen(const QRect& rect);

} // namespace tallyhawk
