#pragma once

#include <QWidget>

#include <functional>

class QLabel;

namespace tallyhawk
{

// The Cash Back Stores folder where no embedded browser was built in: the page's address and a link
// that opens it in the user's browser.
class CashBackPane : public QWidget
{
    Q_OBJECT

public:
    CashBackPane(const QString& address, std::function<void()> openInBrowser, QWidget* parent = nullptr);

    QLabel* address() const { return address_; }
    QLabel* link() const { return link_; }

private:
    QLabel* address_;
    QLabel* link_;
};

} // namespace tallyhawk
