#pragma once

#include <QDialog>

#include <functional>

class QLabel;

namespace tallyhawk
{

// The About box: the program's name, its version and a link to the service's home page.
class AboutDialog : public QDialog
{
    Q_OBJECT

public:
    // `openLink` opens the home page when the link is clicked.
    AboutDialog(const QString& homePage, std::function<void()> openLink, QWidget* parent = nullptr);

    QLabel* versionLabel() const { return version_; }
    QLabel* link() const { return link_; }

private:
    QLabel* version_;
    QLabel* link_;
};

} // namespace tallyhawk
