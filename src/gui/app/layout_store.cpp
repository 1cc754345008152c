#include "gui/app/layout_store.h"

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QSettings>
#include <QStandardPaths>
#include <QStyle>
#include <QWidget>

#include <algorithm>
#include <utility>
#include <vector>

namespace tallyhawk
{
namespace
{

constexpr int kDefaultLeft = 40;
constexpr int kDefaultTop = 40;
// The first start's size: room for the list's cards and the folder pane side by side.
constexpr int kFirstWidth = 1000;
constexpr int kFirstHeight = 700;
// Enough of the title bar to grab the window with the mouse.
constexpr int kGrabWidth = 48;
constexpr int kGrabHeight = 8;

// The show states as the file stores them (those of the original layout files).
constexpr int kShowNormal = 1;
constexpr int kShowMinimized = 2;
constexpr int kShowMaximized = 3;

int ShowState(const QWidget& window)
{
    if (window.isMinimized()) {
        return kShowMinimized;
    }
    return window.isMaximized() ? kShowMaximized : kShowNormal;
}

// The window manager's frame around the window; before the window was first shown, a title bar's
// height over thin borders, as most window managers draw them.
QMargins FrameOf(const QWidget& window)
{
    const QRect outer = window.frameGeometry();
    const QRect inner = window.geometry();
    if (outer != inner) {
        return {inner.left() - outer.left(),
                inner.top() - outer.top(),
                outer.right() - inner.right(),
                outer.bottom() - inner.bottom()};
    }
    constexpr int kBorder = 4;
    return {kBorder, window.style()->pixelMetric(QStyle::PM_TitleBarHeight) + kBorder, kBorder, kBorder};
}

} // namespace

LayoutStore::LayoutStore(QString filePath)
    : filePath_(std::move(filePath))
{ }

QString LayoutStore::DefaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/Quillmarch/tallyhawk-layout.ini");
}

void LayoutStore::SavePlacement(const QWidget& window) const
{
    // The folder may not exist on a first run; QSettings does not make it.
    QDir().mkpath(QFileInfo(filePath_).absolutePath());
    QSettings file(filePath_, QSettings::IniFormat);
    const QRect normal = window.normalGeometry().isValid() ? window.normalGeometry() : window.geometry();
    file.beginGroup(QStringLiteral("MainWindow"));
    file.setValue(QStringLiteral("Show"), ShowState(window));
    file.setValue(QStringLiteral("Left"), normal.left());
    file.setValue(QStringLiteral("Right"), normal.left() + normal.width());
    file.setValue(QStringLiteral("Top"), normal.top());
    file.setValue(QStringLiteral("Bottom"), normal.top() + normal.height());
    file.endGroup();
}

QRect LayoutStore::SavedPlacement() const
{
    QSettings file(filePath_, QSettings::IniFormat);
    file.beginGroup(QStringLiteral("MainWindow"));
    const auto read = [&file](const char* key, int fallback) {
        bool ok = false;
        const int value = file.value(QString::fromLatin1(key), fallback).toInt(&ok);
        return ok ? value : fallback;
    };
    const int left = read("Left", kDefaultLeft);
    const int right = read("Right", kDefaultLeft + kFirstWidth);
    const int top = read("Top", kDefaultTop);
    const int bottom = read("Bottom", kDefaultTop + kFirstHeight);
    QRect rect(left, top, right - left, bottom - top);
    // Edges the wrong way round (a hand-edited file) would give a window of no size.
    if (rect.width() < kGrabWidth || rect.height() < kGrabHeight) {
        rect = QRect(left, top, kFirstWidth, kFirstHeight);
    }
    return FittedToScreen(OnSomeScreen(rect));
}

void LayoutStore::RestorePlacement(QWidget& window) const
{
    if (window.isMaximized() || window.isMinimized()) {
        window.setWindowState(window.windowState() & ~(Qt::WindowMaximized | Qt::WindowMinimized));
    }
    // Fitted with its frame, so that the title bar stays on the screen too.
    const QMargins frame = FrameOf(window);
    window.setGeometry(FittedToScreen(SavedPlacement().marginsAdded(frame)).marginsRemoved(frame));
}

void LayoutStore::SaveColumns(const QHeaderView& header) const
{
    std::vector<int> widths;
    for (int column = 0; column < header.count(); ++column) {
        widths.push_back(header.sectionSize(column));
    }
    SaveColumns(widths);
}

void LayoutStore::SaveColumns(const std::vector<int>& widths) const
{
    QDir().mkpath(QFileInfo(filePath_).absolutePath());
    QSettings file(filePath_, QSettings::IniFormat);
    file.beginGroup(QStringLiteral("PageList"));
    file.setValue(QStringLiteral("NumCols"), static_cast<int>(widths.size()));
    for (std::size_t column = 0; column < widths.size(); ++column) {
        file.setValue(QStringLiteral("Col%1").arg(column), widths[column]);
    }
    file.endGroup();
}

std::vector<int> LayoutStore::SavedColumns() const
{
    QSettings file(filePath_, QSettings::IniFormat);
    file.beginGroup(QStringLiteral("PageList"));
    const int count = std::clamp(file.value(QStringLiteral("NumCols"), 0).toInt(), 0, 64);
    std::vector<int> widths;
    widths.reserve(static_cast<std::size_t>(count));
    for (int column = 0; column < count; ++column) {
        // Widths are 16-bit; a width of 0 would make the column vanish, so it counts as none saved.
        const int width = file.value(QStringLiteral("Col%1").arg(column), 0).toInt() & 0xFFFF;
        widths.push_back(width);
    }
    return widths;
}

QRect OnSomeScreen(const QRect& rect)
{
    const QRect grab(rect.left(), rect.top(), rect.width(), kGrabHeight);
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect visible = screen->availableGeometry().intersected(grab);
        if (visible.width() >= std::min(kGrabWidth, rect.width()) && visible.height() >= kGrabHeight / 2) {
            return rect;
        }
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (screen == nullptr) {
        return rect;
    }
    const QRect area = screen->availableGeometry();
    QRect moved(area.topLeft() + QPoint(kDefaultLeft, kDefaultTop), rect.size());
    moved.setWidth(std::min(moved.width(), area.width() - kDefaultLeft));
    moved.setHeight(std::min(moved.height(), area.height() - kDefaultTop));
    return moved;
}

QRect FittedToScreen(const QRect& rect)
{
    // Its screen is the one that shows most of it.
    const QScreen* best = QGuiApplication::primaryScreen();
    qint64 bestArea = -1;
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect shown = screen->availableGeometry().intersected(rect);
        const qint64 area = shown.isEmpty() ? 0 : qint64(shown.width()) * shown.height();
        if (area > bestArea) {
            best = screen;
            bestArea = area;
        }
    }
    if (best == nullptr) {
        return rect;
    }
    // Sizes are in the screen's own units, so a placement saved at another scale factor fits too.
    const QRect area = best->availableGeometry();
    QRect fitted(rect.topLeft(), rect.size().boundedTo(area.size()));
    fitted.moveLeft(std::clamp(fitted.left(), area.left(), area.right() - fitted.width() + 1));
    fitted.moveTop(std::clamp(fitted.top(), area.top(), area.bottom() - fitted.height() + 1));
    return fitted;
}

void LayoutStore::SaveFolderPaneWidth(int width) const
{
    if (width <= 0) {
        return;
    }
    QDir().mkpath(QFileInfo(filePath_).absolutePath());
    QSettings file(filePath_, QSettings::IniFormat);
    file.setValue(QStringLiteral("MainWindow/FolderPaneWidth"), width);
}

int LayoutStore::SavedFolderPaneWidth() const
{
    QSettings file(filePath_, QSettings::IniFormat);
    bool ok = false;
    const int width = file.value(QStringLiteral("MainWindow/FolderPaneWidth"), 0).toInt(&ok);
    // A width no screen could show is no saved width.
    return ok && width > 0 && width < 8192 ? width : 0;
}

} // namespace tallyhawk
