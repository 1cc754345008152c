#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;
class QStackedLayout;

namespace tallyhawk
{

// The Cash Back Stores folder: the site's cash back page in an embedded browser where one was built
// in, loaded when the folder is first shown. Without one, or while the page cannot be loaded, a page of
// its own stands in: what cash back is, the page's address and a button that opens it in the user's
// browser.
class CashBackPane : public QWidget
{
    Q_OBJECT

public:
    // Whether this build shows the page itself.
    static bool Embedded();
    // What the embedded browser needs set before the QApplication is made: shared drawing contexts,
    // and, for root (containers, the screenshots), no sandbox of its own, which it cannot start as root.
    static void PrepareEngine();

    CashBackPane(const QString& address, std::function<void()> openInBrowser, QWidget* parent = nullptr);

    // Refresh View: loads the page again, when it is on screen.
    void ReloadIfShown();

    QLabel* address() const { return address_; }
    QLabel* link() const { return link_; }
    QPushButton* openButton() const { return open_; }
    // The embedded browser once the page was first shown; none before, and none without one.
    QWidget* browser() const { return browser_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* BuildFallback();
    void ShowBrowser();
    void LoadFinished(bool loaded);

    QString url_;
    QStackedLayout* pages_;
    QWidget* fallback_;
    QLabel* address_;
    QLabel* link_;
    QPushButton* open_;
    QWidget* browser_ = nullptr;
};

} // namespace tallyhawk
